#pragma once
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "core/frontend.h"
#include "platform/secret_text.h"

class QWidget;

// The one seam through which the program asks the user anything: message
// boxes, file dialogs, the passphrase dialog and other small modal dialogs.
// A prompt asked for on a worker thread is shown on the GUI thread while the
// worker waits. With an answerer installed nothing is shown: the answerer
// takes every prompt (a test's scripted answers), so no modal dialog can
// block a run.
namespace Prompts {

using Icon = frontend::Icon;
using FileMode = frontend::FileMode;
using FileRequest = frontend::FileRequest;
using PassphraseRequest = frontend::PassphraseRequest;

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
// Given a request, it asks again for the passphrase of the key it names.
struct PassphraseAnswer {
    bool accepted = false;
    SecretText text;
};
PassphraseAnswer askPassphrase(const std::optional<PassphraseRequest>& again = std::nullopt);

}  // namespace Prompts

class PassphraseBuffer;

// The passphrase dialog bound to buffer: what the user types is written
// into the buffer (also when the dialog is cancelled). Returns the length
// of the text in characters when "Ok" was pressed, else 0; 0 tells the
// caller there is no passphrase.
int PASSPHRASEDIALOG(PassphraseBuffer& buffer);
// The same dialog asking again, for the key the request names.
int PASSPHRASEDIALOG(PassphraseBuffer& buffer, const Prompts::PassphraseRequest& again);

namespace Prompts {

// A whole number from a small sizing dialog (nothing when cancelled).
std::optional<long long> askNumber(const QString& caption, const QString& label, long long start,
                                   long long minimum, long long maximum, long long step);

// A question with Yes and No buttons (No is the default): true for Yes.
bool question(const QString& caption, const QString& text);

// A small form of labelled fields: text, masked text or a choice. The
// answers by field name (a choice answers its chosen text), or nothing when
// cancelled. Masked fields are cleared from the dialog once read.
struct FormField {
    enum class Kind { Text, Masked, Choice };
    QString name, label;
    Kind kind = Kind::Text;
    QStringList choices;  // Choice: the first is chosen at first, unless initial names one
    QString initial;      // Text: the text at first; Choice: the choice at first
};
struct FormRequest {
    QString caption;
    QString text;  // shown above the fields, may be empty
    std::vector<FormField> fields;
};
using FormAnswer = std::map<QString, SecretText>;
std::optional<FormAnswer> askForm(const FormRequest& request);

// The printer page set-up dialog.
void pageSetup();

// Runs fn on the GUI thread and waits for it (directly when already there).
// While the program quits, a worker's call that has not begun is dropped
// and false returned at once: its prompt counts as cancelled.
bool runOnGuiThread(const std::function<void()>& fn);

// Set at exit, before the workers are waited for.
void setQuitting(bool on);

// Takes every prompt in place of the dialogs while it is installed.
class Answerer {
public:
    virtual ~Answerer() = default;
    virtual void message(const ShownMessage& message) = 0;
    virtual std::optional<QString> chooseFile(const FileRequest& request) = 0;
    virtual PassphraseAnswer askPassphrase(const std::optional<PassphraseRequest>& again) = 0;
    virtual std::optional<long long> askNumber(const QString& caption) = 0;
    virtual bool question(const QString& caption, const QString& text) = 0;
    virtual std::optional<FormAnswer> askForm(const FormRequest& request) = 0;
};
// Null puts the dialogs back.
void setAnswerer(Answerer* answerer);

// Installs the real dialog used for passphrases (set by the windows layer).
using PassphraseDialogFactory =
    std::function<PassphraseAnswer(QWidget* parent, const std::optional<PassphraseRequest>& again)>;
void setPassphraseDialog(PassphraseDialogFactory factory);

// The widget prompts are parented to (the frame), when there is one.
void setParentWidget(QWidget* parent);

// Makes this seam the core's and the SDK binding's front end: their notices
// become message boxes, their file and passphrase requests dialogs, and the
// SDK's state the frame's menu texts.
void installAsFrontend();

}  // namespace Prompts
