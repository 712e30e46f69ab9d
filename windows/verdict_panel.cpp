#include "windows/verdict_panel.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

struct ToneLook {
    const char* themeIcon;
    QStyle::StandardPixmap fallback;
    const char* style;
};

ToneLook lookOf(sdk::VerdictTone tone)
{
    switch (tone) {
    case sdk::VerdictTone::Good:
        return {"security-high", QStyle::SP_DialogApplyButton, "background:#d4edda; color:#0f5323;"};
    case sdk::VerdictTone::Warning:
        return {"security-medium", QStyle::SP_MessageBoxWarning, "background:#fff3cd; color:#6b4f00;"};
    case sdk::VerdictTone::Bad:
        return {"security-low", QStyle::SP_MessageBoxCritical,
                "background:#c62828; color:#ffffff; font-weight:bold;"};
    case sdk::VerdictTone::Neutral: break;
    }
    return {"dialog-information", QStyle::SP_MessageBoxInformation, "background:#e4e4e4; color:#333333;"};
}

const char* toneName(sdk::VerdictTone tone)
{
    switch (tone) {
    case sdk::VerdictTone::Good: return "good";
    case sdk::VerdictTone::Warning: return "warning";
    case sdk::VerdictTone::Bad: return "bad";
    case sdk::VerdictTone::Neutral: break;
    }
    return "neutral";
}

}  // namespace

VerdictPanel::VerdictPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName("verdictPanel");
    lines_ = new QVBoxLayout(this);
    lines_->setContentsMargins(0, 0, 0, 2);
    lines_->setSpacing(1);
    hide();
}

void VerdictPanel::clear()
{
    while (QLayoutItem* item = lines_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    hide();
}

QWidget* VerdictPanel::addLine(sdk::VerdictTone tone, const QString& text)
{
    const ToneLook look = lookOf(tone);
    auto* line = new QWidget(this);
    line->setObjectName("verdictLine");
    line->setProperty("tone", toneName(tone));
    line->setAttribute(Qt::WA_StyledBackground);
    line->setStyleSheet(QString("#verdictLine { %1 }").arg(look.style));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(6, 3, 6, 3);
    auto* icon = new QLabel(line);
    const int px = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(QIcon::fromTheme(look.themeIcon, style()->standardIcon(look.fallback)).pixmap(px, px));
    auto* label = new QLabel(text, line);
    label->setObjectName("verdict");
    label->setStyleSheet(look.style);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setToolTip(text);
    row->addWidget(icon);
    row->addWidget(label, 1);
    lines_->addWidget(line);
    return line;
}

void VerdictPanel::showVerdicts(const std::vector<sdk::Verdict>& verdicts, const QString& subject)
{
    clear();
    const QString prefix = subject.isEmpty() ? QString() : subject + ": ";
    for (const sdk::Verdict& v : verdicts) {
        QWidget* line = addLine(v.tone, prefix + QString::fromStdString(v.text));
        if (v.keyId.empty())
            continue;
        // Never looked up unasked: the look-up tells a server whose message this is.
        auto* lookUp = new QPushButton("Look up", line);
        lookUp->setObjectName("lookUpSigner");
        lookUp->setToolTip("Look the signer's key up on the network");
        connect(lookUp, &QPushButton::clicked, this,
                [this, id = QString::fromStdString(v.keyId)] { emit lookUpRequested(id); });
        line->layout()->addWidget(lookUp);
    }
    setVisible(!verdicts.empty());
}

void VerdictPanel::showPending()
{
    clear();
    addLine(sdk::VerdictTone::Neutral, "Decoding…");
    show();
}

QStringList VerdictPanel::texts() const
{
    QStringList out;
    for (QLabel* label : findChildren<QLabel*>("verdict"))
        out << label->text();
    return out;
}
