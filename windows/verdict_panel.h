#pragma once
// The lines above a decode's text that say what its signatures are worth:
// one per verdict, each with a colour and an icon.
#include <QWidget>

#include <vector>

#include "sdk/decode_verdict.h"

class QVBoxLayout;

class VerdictPanel : public QWidget {
    Q_OBJECT
public:
    explicit VerdictPanel(QWidget* parent = nullptr);

    // Each line begins with subject (the file the verdicts are about), when given.
    void showVerdicts(const std::vector<sdk::Verdict>& verdicts, const QString& subject = {});
    void showPending();  // while a decode runs
    void clear();
    QStringList texts() const;

signals:
    // "Look up" was pressed beside an unknown signer's verdict.
    void lookUpRequested(const QString& keyId);

private:
    QWidget* addLine(sdk::VerdictTone tone, const QString& text);

    QVBoxLayout* lines_;
};
