#include "windows/frame_commands.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QStatusBar>

#include "app/main_frame.h"
#include "sdk/ring_watcher.h"
#include "sdk/sdk_session.h"
#include "windows/batch_window.h"
#include "windows/decode_window.h"
#include "windows/encode_window.h"
#include "windows/job_runner.h"
#include "windows/key_list_window.h"
#include "windows/open_files.h"

namespace {

// Runs a toggle's SDK work on the frame's own worker, with the wait cursor
// and a status text meanwhile, so that the frame never waits for a load. A
// toggle chosen while one runs is refused with a note.
void runToggle(MainFrame& frame, JobRunner* jobs, const QString& status, std::function<void()> work)
{
    const bool started = jobs->start(std::move(work), [&frame] {
        QApplication::restoreOverrideCursor();
        frame.statusBar()->clearMessage();
    });
    if (!started) {
        frame.statusBar()->showMessage("A load is in progress: try again when it has ended", 5000);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    frame.statusBar()->showMessage(status);
}

}  // namespace

void wireFrameCommands(MainFrame& frame)
{
    auto* jobs = new JobRunner(&frame);
    jobs->setObjectName("frameJobs");
    // Keys another program writes to the open rings show in every window.
    auto* watcher = new sdk::RingWatcher(&frame);
    watcher->setObjectName("ringWatcher");
    // The two toggles decide by the session's state when they are chosen,
    // which the item's text shows, never by the state after a load under way.
    frame.setCommandHandler(MainFrame::Command::LoadKeys, [&frame, jobs] {
        if (sdk::sessionSnapshot().KeySet)
            runToggle(frame, jobs, "Unloading the key rings...", [] { sdk::PGP_UnloadKeys(); });
        else
            runToggle(frame, jobs, "Loading the key rings...", [] { sdk::PGP_LoadKeys(); });
    });
    frame.setCommandHandler(MainFrame::Command::EncodePGP, [&frame] { EncodeWindow::open(frame); });
    frame.setCommandHandler(MainFrame::Command::DecodePGP, [&frame] { DecodeWindow::open(frame); });
    frame.setCommandHandler(MainFrame::Command::KeyList, [&frame] { KeyListWindow::open(frame); });
    frame.setCommandHandler(MainFrame::Command::EncryptClipboard, [&frame] {
        EncodeWindow::openWithText(frame, QGuiApplication::clipboard()->text().toUtf8());
    });
    frame.setCommandHandler(MainFrame::Command::DecryptClipboard, [&frame] {
        DecodeWindow::openWithText(frame, QGuiApplication::clipboard()->text().toUtf8());
    });
    frame.setCommandHandler(MainFrame::Command::EncryptFiles,
                            [&frame] { BatchWindow::open(frame, BatchWindow::Mode::Encrypt); });
    frame.setCommandHandler(MainFrame::Command::DecryptFiles,
                            [&frame] { BatchWindow::open(frame, BatchWindow::Mode::Decrypt); });
    frame.setDropHandler([&frame](const QStringList& files) { openFiles(frame, files); });
    frame.setCommandHandler(MainFrame::Command::LoadPGP, [&frame, jobs] {
        if (sdk::sessionSnapshot().LibraryLoaded)
            runToggle(frame, jobs, "Unloading the SDK library...", [] { sdk::UnLoad_PGP(); });
        else
            runToggle(frame, jobs, "Loading the SDK library and the key rings...", [] { sdk::PGP_LoadRings(); });
    });
}
