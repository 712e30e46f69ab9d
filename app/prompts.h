#pragma once
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "core/frontend.h"
#include "platform/secret_text.h"

class QWidget;

// The one seam through which the program asks the user anything: message
// boxes, file dialogs, the passphrase dialog and other small modal dialogs.
// A prompt asked for on a worker thread is shown on the GUI thread while the
// worker waits. In test mode nothing is shown: message boxes are recorded and
// the other prompts take the answers a test queued, so no modal dialog can
// block a run.
namespace Prompts {

using Icon = frontend::Icon;
using FileMode = frontend::FileMode;
using FileRequest = frontend::FileRequest;

struct ShownMessage {
    QString caption;
    QString text;  // as given, with "|" for line breaks
    Icon icon;
};

// A message box with an OK button; "|" in the text starts a new line.
void message(const QString& caption, const QString& text, Icon icon);

// An open or save file dialog. The chosen path, or nothing when cancelled.
std::optional<QString> chooseFile(const FileRequest& request);

// The passphrase dialog: the entered text and whether "Ok" was pressed.
struct PassphraseAnswer {
    bool accepted = false;
    SecretText text;
};
PassphraseAnswer askPassphrase();

}  // namespace Prompts

class PassphraseBuffer;

// The passphrase dialog bound to buffer: what the user types is written
// into the buffer (also when the dialog is cancelled). Returns the length
// of the text in characters when "Ok" was pressed, else 0; 0 tells the
// caller there is no passphrase.
int PASSPHRASEDIALOG(PassphraseBuffer& buffer);

namespace Prompts {

// A whole number from a small sizing dialog (nothing when cancelled).
std::optional<long long> askNumber(const QString& caption, const QString& label, long long start,
                                   long long minimum, long long maximum, long long step);

// The printer page set-up dialog.
void pageSetup();

// Runs fn on the GUI thread and waits for it (directly when already there).
// While the program quits, a worker's call that has not begun is dropped
// and false returned at once: its prompt counts as cancelled.
bool runOnGuiThread(const std::function<void()>& fn);

// Set at exit, before the workers are waited for.
void setQuitting(bool on);

// ---- answered without dialogs ----
// Test mode: nothing is shown; messages are recorded, other prompts take
// queued answers.
void setTestMode(bool on);
bool testMode();
void queueFileAnswer(std::optional<QString> path);
void queuePassphraseAnswer(bool accepted, const QString& text);
void queueNumberAnswer(std::optional<long long> number);
std::vector<ShownMessage> shownMessages();
std::vector<FileRequest> fileRequests();
int passphraseRequests();
int unansweredPrompts();
void resetTestState();

// Installs the real dialog used for passphrases (set by the windows layer).
using PassphraseDialogFactory = std::function<PassphraseAnswer(QWidget* parent)>;
void setPassphraseDialog(PassphraseDialogFactory factory);

// The widget prompts are parented to (the frame), when there is one.
void setParentWidget(QWidget* parent);

// Makes this seam the core's and the SDK binding's front end: their notices
// become message boxes, their file and passphrase requests dialogs, and the
// SDK's state the frame's menu texts.
void installAsFrontend();

}  // namespace Prompts
