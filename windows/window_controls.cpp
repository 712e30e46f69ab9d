#include "windows/window_controls.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>

#include "app/dialog_units.h"
#include "core/shared_passphrase.h"
#include "platform/secret_text.h"

QString sizeText(std::int64_t n) { return n == 0 ? QString() : QString::number(n); }

QLineEdit* makePassphraseEntry(QWidget* parent)
{
    auto* entry = new QLineEdit(parent);
    entry->setObjectName("passphrase");
    entry->setEchoMode(QLineEdit::Password);
    entry->setMaxLength(SharedPassphrase::kMaxChars);
    // The copies made here are wiped as soon as they were compared or stored.
    auto show = [entry] {
        const SecretText now = SharedPassphrase::instance().get();
        QByteArray shown = entry->text().toUtf8();
        if (std::string_view(shown.constData(), static_cast<std::size_t>(shown.size())) != now.str())
            entry->setText(QString::fromUtf8(now.c_str(), static_cast<qsizetype>(now.size())));
        wipeMemory(shown.data(), static_cast<std::size_t>(shown.size()));
    };
    show();
    QObject::connect(entry, &QLineEdit::textEdited, entry, [](const QString& text) {
        QByteArray utf8 = text.toUtf8();
        SharedPassphrase::instance().set(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        wipeMemory(utf8.data(), static_cast<std::size_t>(utf8.size()));
    });
    // Changes come from any thread (the timer, a worker's dialog).
    QObject::connect(&SharedPassphrase::instance(), &SharedPassphrase::changed, entry, show, Qt::QueuedConnection);
    return entry;
}

QString withoutTrailingBlanks(QString s)
{
    while (!s.isEmpty() && s.back() == ' ')
        s.chop(1);
    return s;
}

QPushButton* makeButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& text, const QString& objectName)
{
    auto* b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(objectName);
    b->setMinimumWidth(dluX(parent->font(), 60));
    return b;
}

void setTitleWithFile(QWidget* window, const QString& caption, const QString& filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    window->setWindowTitle(name.isEmpty() ? caption : caption + " - " + name);
}

void showStatusNote(QWidget* window, const QString& text)
{
    for (QWidget* w = window; w; w = w->parentWidget())
        if (auto* main = qobject_cast<QMainWindow*>(w)) {
            main->statusBar()->showMessage(text, 8000);
            return;
        }
}

QGridLayout* makeSizeDisplays(QLabel* inputSize, QLabel* outputSize)
{
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(0);
    grid->addWidget(new QLabel("Input bytes:"), 0, 0);
    grid->addWidget(inputSize, 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel("Output bytes:"), 1, 0);
    grid->addWidget(outputSize, 1, 1, Qt::AlignRight);
    for (QLabel* size : {inputSize, outputSize}) {
        size->setMinimumWidth(size->fontMetrics().horizontalAdvance(QString(11, '0')));
        size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return grid;
}
