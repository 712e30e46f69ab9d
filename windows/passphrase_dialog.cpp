#include "windows/passphrase_dialog.h"

#include <QHBoxLayout>

#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/dialog_units.h"
#include "core/shared_passphrase.h"

PassphraseDialog::PassphraseDialog(QWidget* parent, const std::optional<Prompts::PassphraseRequest>& again)
    : QDialog(parent)
{
    setObjectName("PASSPHRASEDIALOG");
    setWindowTitle("Enter PassPhrase");
    setModal(true);
    resize(dluSize(font(), 226, 65));
    auto* label = new QLabel("You have to enter passphrase:", this);
    entry_ = new QLineEdit(this);
    entry_->setObjectName("passphraseEntry");
    entry_->setEchoMode(QLineEdit::Password);
    entry_->setMaxLength(SharedPassphrase::kMaxChars);
    entry_->setMinimumWidth(dluX(font(), 209));
    auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), "Ok", this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
    cancel->setObjectName("cancelButton");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    if (again)
        layout->addWidget(againNote(*again));
    layout->addWidget(entry_);
    layout->addLayout(buttons);
    if (again)  // tall enough for the wrapped note
        resize(width(), std::max(height(), layout->totalHeightForWidth(width())));
}

QLabel* PassphraseDialog::againNote(const Prompts::PassphraseRequest& again)
{
    // As pinentry does: which key the passphrase is for, and why it is asked again.
    const QString forKey = again.keyName.isEmpty() ? QString("for this message") : "for the key " + again.keyName;
    auto* note = new QLabel(QString("That passphrase did not unlock the key this needs.\nEnter the passphrase %1 "
                                    "(try %2 of %3):")
                                .arg(forKey)
                                .arg(again.attempt)
                                .arg(again.attempts),
                            this);
    note->setObjectName("againNote");
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    return note;
}

PassphraseDialog::~PassphraseDialog()
{
    // Overwrite the entry's text before it goes.
    entry_->setText(QString(entry_->text().size(), QChar(' ')));
    entry_->clear();
}

Prompts::PassphraseAnswer PassphraseDialog::ask(QWidget* parent, const std::optional<Prompts::PassphraseRequest>& again)
{
    PassphraseDialog dialog(parent, again);
    Prompts::PassphraseAnswer answer;
    answer.accepted = dialog.exec() == QDialog::Accepted;
    QByteArray utf8 = dialog.entry()->text().toUtf8();
    answer.text = SecretText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    wipeMemory(utf8.data(), static_cast<std::size_t>(utf8.size()));
    return answer;
}

void installPassphraseDialog() { Prompts::setPassphraseDialog(&PassphraseDialog::ask); }
