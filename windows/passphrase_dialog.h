#pragma once
#include <QDialog>

#include "app/prompts.h"

class QLabel;
class QLineEdit;

// The small modal dialog that asks for a passphrase: a masked entry of at
// most 80 characters, "Ok" and "Cancel". Asked again after a passphrase
// that did not unlock a key, it names the key and the try.
class PassphraseDialog : public QDialog {
    Q_OBJECT
public:
    explicit PassphraseDialog(QWidget* parent = nullptr,
                              const std::optional<Prompts::PassphraseRequest>& again = std::nullopt);
    ~PassphraseDialog() override;

    // Shows the dialog and returns what was typed and whether "Ok" was pressed.
    static Prompts::PassphraseAnswer ask(QWidget* parent, const std::optional<Prompts::PassphraseRequest>& again);

    QLineEdit* entry() const { return entry_; }

private:
    QLabel* againNote(const Prompts::PassphraseRequest& again);

    QLineEdit* entry_;
};

// Makes the prompt seam use this dialog.
void installPassphraseDialog();
