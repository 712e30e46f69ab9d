#include "app/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrinter>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>

#include "app/form_dialog.h"
#include "app/frame_window.h"
#include "core/key_ring_events.h"
#include "core/shared_passphrase.h"
#include "platform/code_page.h"

namespace Prompts {

namespace {

struct SeamState {
    std::mutex mutex;
    Answerer* answerer = nullptr;
    PassphraseDialogFactory passphraseDialog;
    QPointer<QWidget> parent;
};

SeamState& seam()
{
    static SeamState s;
    return s;
}

Answerer* answerer()
{
    std::lock_guard lock(seam().mutex);
    return seam().answerer;
}

QWidget* parentWidget()
{
    std::lock_guard lock(seam().mutex);
    return seam().parent.data();
}

}  // namespace

namespace {

std::atomic<bool> quitting {false};

// One call handed to the GUI thread; the worker waits for it to end, or
// drops it if the program quits before the call has begun.
struct GuiCall {
    std::mutex mutex;
    std::condition_variable ended;
    bool begun = false;
    bool done = false;
    bool dropped = false;
};

}  // namespace

void setQuitting(bool on) { quitting = on; }

bool runOnGuiThread(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return true;
    }
    if (quitting)
        return false;
    auto call = std::make_shared<GuiCall>();
    QMetaObject::invokeMethod(
        app,
        [call, fn] {
            {
                std::lock_guard lock(call->mutex);
                if (call->dropped)
                    return;
                call->begun = true;
            }
            fn();
            std::lock_guard lock(call->mutex);
            call->done = true;
            call->ended.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(call->mutex);
    while (!call->done) {
        // A call that has begun refers to the caller's data: it is waited for.
        if (quitting && !call->begun) {
            call->dropped = true;
            return false;
        }
        call->ended.wait_for(lock, std::chrono::milliseconds(50));
    }
    return true;
}

void message(const QString& caption, const QString& text, Icon icon)
{
    if (Answerer* a = answerer())
        return a->message({caption, text, icon});
    runOnGuiThread([&] {
        QMessageBox box(parentWidget());
        box.setWindowTitle(caption);
        box.setText(QString(text).replace('|', '\n'));
        box.setIcon(icon == Icon::Stop          ? QMessageBox::Critical
                    : icon == Icon::Exclamation ? QMessageBox::Warning
                                                : QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
    });
}

std::optional<QString> chooseFile(const FileRequest& request)
{
    if (Answerer* a = answerer())
        return a->chooseFile(request);
    std::optional<QString> result;
    runOnGuiThread([&] {
        QFileDialog dialog(parentWidget(), request.title, request.directory);
        dialog.setAcceptMode(request.mode == FileMode::Save ? QFileDialog::AcceptSave
                                                            : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.mode == FileMode::Open       ? QFileDialog::ExistingFile
                           : request.mode == FileMode::OpenMany ? QFileDialog::ExistingFiles
                           : request.mode == FileMode::Folder   ? QFileDialog::Directory
                                                                : QFileDialog::AnyFile);
        dialog.setNameFilters(request.filters);
        if (!request.filters.isEmpty())
            dialog.selectNameFilter(request.filters.first());
        dialog.selectFile(request.fileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            result = dialog.selectedFiles().join('\n');  // one unless OpenMany
    });
    return result;
}

PassphraseAnswer askPassphrase(const std::optional<PassphraseRequest>& again)
{
    if (Answerer* a = answerer())
        return a->askPassphrase(again);
    PassphraseDialogFactory factory;
    {
        std::lock_guard lock(seam().mutex);
        factory = seam().passphraseDialog;
    }
    PassphraseAnswer result;
    runOnGuiThread([&] {
        if (factory) {
            result = factory(parentWidget(), again);
            return;
        }
        bool ok = false;
        QString text = QInputDialog::getText(parentWidget(), "Enter PassPhrase",
                                             "You have to enter passphrase:", QLineEdit::Password,
                                             QString(), &ok);
        result.accepted = ok;
        result.text = SecretText(text.left(80).toStdString());
    });
    return result;
}

std::optional<long long> askNumber(const QString& caption, const QString& label, long long start,
                                   long long minimum, long long maximum, long long step)
{
    if (Answerer* a = answerer())
        return a->askNumber(caption);
    std::optional<long long> result;
    runOnGuiThread([&] {
        QInputDialog dialog(parentWidget());
        dialog.setWindowTitle(caption);
        dialog.setLabelText(label);
        dialog.setInputMode(QInputDialog::IntInput);
        dialog.setIntRange(static_cast<int>(minimum), static_cast<int>(maximum));
        dialog.setIntStep(static_cast<int>(step));
        dialog.setIntValue(static_cast<int>(std::clamp(start, minimum, maximum)));
        dialog.setOkButtonText("Ok");
        dialog.setCancelButtonText("Cancel");
        if (dialog.exec() == QDialog::Accepted)
            result = dialog.intValue();
    });
    return result;
}

bool question(const QString& caption, const QString& text)
{
    if (Answerer* a = answerer())
        return a->question(caption, text);
    bool yes = false;
    runOnGuiThread([&] {
        yes = QMessageBox::question(parentWidget(), caption, QString(text).replace('|', '\n'),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    });
    return yes;
}

std::optional<FormAnswer> askForm(const FormRequest& request)
{
    if (Answerer* a = answerer())
        return a->askForm(request);
    std::optional<FormAnswer> result;
    runOnGuiThread([&] { result = showFormDialog(parentWidget(), request); });
    return result;
}

void pageSetup()
{
    if (Answerer* a = answerer())
        return a->message({"PrintSetup", "page setup", Icon::Information});
    runOnGuiThread([] {
        static QPrinter printer;
        QPageSetupDialog dialog(&printer, parentWidget());
        dialog.exec();
    });
}

void setAnswerer(Answerer* answerer)
{
    std::lock_guard lock(seam().mutex);
    seam().answerer = answerer;
}

void setPassphraseDialog(PassphraseDialogFactory factory)
{
    std::lock_guard lock(seam().mutex);
    seam().passphraseDialog = std::move(factory);
}

void setParentWidget(QWidget* parent)
{
    std::lock_guard lock(seam().mutex);
    seam().parent = parent;
}

}  // namespace Prompts

namespace {

int passphraseDialog(PassphraseBuffer& buffer, const std::optional<Prompts::PassphraseRequest>& again)
{
    Prompts::PassphraseAnswer answer = Prompts::askPassphrase(again);
    std::string_view typed = platform::cutUtf8Chars(answer.text.str(), SharedPassphrase::kMaxChars);
    if (!typed.empty())
        buffer.set(typed);
    if (!answer.accepted)
        return 0;
    return QString::fromUtf8(typed.data(), static_cast<int>(typed.size())).size();
}

}  // namespace

int PASSPHRASEDIALOG(PassphraseBuffer& buffer) { return passphraseDialog(buffer, std::nullopt); }

int PASSPHRASEDIALOG(PassphraseBuffer& buffer, const Prompts::PassphraseRequest& again)
{
    return passphraseDialog(buffer, again);
}

namespace {

// The seam as the front end of the core and the SDK binding.
class PromptsFrontend : public frontend::Frontend {
public:
    void show(const frontend::Notice& n) override { Prompts::message(n.caption, n.text, n.icon); }
    std::optional<QString> chooseFile(const frontend::FileRequest& request) override
    {
        return Prompts::chooseFile(request);
    }
    bool askPassphrase(PassphraseBuffer& buffer) override { return PASSPHRASEDIALOG(buffer) != 0; }
    bool asksAgain() const override { return true; }
    bool askPassphraseAgain(PassphraseBuffer& buffer, const frontend::PassphraseRequest& request) override
    {
        return PASSPHRASEDIALOG(buffer, request) != 0;
    }
    void libraryLoadedChanged(bool loaded) override
    {
        FrameWindow::setMenuText(FrameWindow::MenuItem::Library, loaded ? "Unload PGP" : "Load PGP");
    }
    void keysLoadedChanged(bool loaded) override
    {
        FrameWindow::setMenuText(FrameWindow::MenuItem::KeyRing, loaded ? "Unload keys" : "Load keys");
    }
    void keysChanged() override { emit KeyRingEvents::instance().keysChanged(); }
};

}  // namespace

void Prompts::installAsFrontend()
{
    static PromptsFrontend seam;
    frontend::install(&seam);
}
