#pragma once
#include <QDialog>

#include "app/prompts.h"

class QLineEdit;

// The small modal dialog that asks for a passphrase: a masked entry of at
// most 80 characters, "Ok" and "Cancel".
class PassphraseDialog : public QDialog {
    Q_OBJECT
public:
    explicit PassphraseDialog(QWidget* parent = nullptr);
    ~PassphraseDialog() override;

    // Shows the dialog and returns what was typed and whether "Ok" was pressed.
    static Prompts::PassphraseAnswer ask(QWidget* parent);

    QLineEdit* entry() const { return entry_; }

private:
    QLineEdit* entry_;
};

// Makes the prompt seam use this dialog.
void installPassphraseDialog();
