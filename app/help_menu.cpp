#include "app/help_menu.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "tolv_version.h"

namespace {

QString librnpNotice()
{
    QFile notice(":/tolv/librnp-LICENSE.md");
    return notice.open(QIODevice::ReadOnly) ? QString::fromUtf8(notice.readAll()) : QString();
}

// A page of help text in a window of its own beside the frame (no prompt:
// it asks nothing), closed by its button; one of each at a time.
void showPage(QWidget* parent, const QString& title, const QString& name, const QString& markdown)
{
    if (auto* open = parent->findChild<QDialog*>(name)) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* page = new QDialog(parent);
    page->setAttribute(Qt::WA_DeleteOnClose);
    page->setObjectName(name);
    page->setWindowTitle(title);
    page->resize(560, 480);
    auto* text = new QTextBrowser(page);
    text->setObjectName("helpText");
    text->setOpenExternalLinks(false);
    text->setMarkdown(markdown);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, page);
    QObject::connect(buttons, &QDialogButtonBox::rejected, page, &QDialog::reject);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(text);
    layout->addWidget(buttons);
    page->show();
}

}  // namespace

QString aboutText()
{
    return QString("# Tolv %1\n\n"
                   "Signs and encrypts files and text, decrypts and verifies messages, and manages OpenPGP keys.\n\n"
                   "Tolv's own code, manual pages and icon are by the Tolv developers; the copyright file installed "
                   "with Tolv says under which terms.\n\n"
                   "Tolv's SDK library contains librnp 0.18.1 (https://github.com/rnpgp/rnp). Its notice follows.\n\n"
                   "---\n\n")
               .arg(TOLV_VERSION) +
           librnpNotice();
}

QString gettingStartedText()
{
    return "# Getting started\n\n"
           "**Where the keys live.** Tolv keeps its keys in two key ring files, a public and a secret one. "
           "*File → Settings* shows and changes where they are; the settings are kept in the ini file Tolv was "
           "started with.\n\n"
           "**The demo rings.** Started on the demo rings, Tolv has keys to try: Alice (passphrase `alice`) and "
           "Bob (passphrase `bob`) are key pairs; Carol and Dave are public keys, Rex is revoked and Eve has "
           "expired. Messages between Alice and Bob can be made and read at once.\n\n"
           "**Your first key.** Open *PGP → Key list* and choose *Generate…*: give your name, your e-mail address "
           "and a passphrase you will remember. Then *Export…* or *Copy public key* gives the public key to the "
           "people who will write to you. Keep the secret key ring safe, and back it up.\n\n"
           "**Sending.** *PGP → Encode PGP*: type or load the text, choose on the Options tab who signs and who "
           "reads it, and press *Encode*; *Save* writes the message.\n\n"
           "**Reading.** *PGP → Decode PGP*: load the message and press *Decode*. The line above the text says "
           "who signed it and whether the signature holds.\n\n"
           "**Passphrases.** A passphrase typed once is kept for a short while (the time-out of the settings), "
           "then forgotten.\n";
}

void addHelpMenu(QMenuBar* bar, QWidget* parent)
{
    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("menuHelp");
    QAction* about = help->addAction("About Tolv", parent, [parent] {
        showPage(parent, "About Tolv", "aboutTolv", aboutText());
    });
    about->setObjectName("actionAbout");
    QAction* start = help->addAction("Getting started", parent, [parent] {
        showPage(parent, "Getting started", "gettingStarted", gettingStartedText());
    });
    start->setObjectName("actionGettingStarted");
}
