#include <QAction>
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/main_frame.h"
#include "app/prompts.h"
#include "app/scan_ini.h"
#include "app/single_instance.h"
#include "core/app_config.h"
#include "platform/profile.h"
#include "platform/stderr_filter.h"
#include "windows/frame_commands.h"
#include "windows/job_runner.h"
#include "windows/open_files.h"
#include "windows/passphrase_dialog.h"
#include "tolv_version.h"

namespace {

// How long exit waits for the windows' workers to end their jobs.
constexpr int kExitWaitMs = 3000;

// For scripted runs and the exit tests: TOLV_AUTOMATE="ms:action,..."
// triggers the frame's menu actions (by object name) after so many
// milliseconds.
void scheduleAutomation(MainFrame& frame)
{
    const QStringList steps = qEnvironmentVariable("TOLV_AUTOMATE").split(',', Qt::SkipEmptyParts);
    for (const QString& step : steps) {
        const int ms = step.section(':', 0, 0).toInt();
        const QString name = step.section(':', 1);
        QTimer::singleShot(ms, &frame, [&frame, name] {
            if (auto* action = frame.findChild<QAction*>(name))
                action->trigger();
        });
    }
}

}  // namespace

int main(int argc, char** argv)
{
#ifndef TOLV_UNFILTERED_STDERR
    auto quietLibrary = std::make_unique<platform::StderrFilter>();
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolv");
    QApplication::setApplicationVersion(TOLV_VERSION);
    // Lets the desktop match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName("org.tolv.Tolv");

    // The first argument names the settings (as ever); the words after it
    // are files to open. A Tolv already running on the same settings takes
    // them, and this start ends.
    QStringList files;
    for (int i = 2; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    SingleInstance instance(QString::fromStdString(platform::resolveProfilePath(chooseIniPath(argc > 1 ? argv[1] : ""))));
    if (instance.handOver(files))
        return 0;

    installPassphraseDialog();
    Prompts::installAsFrontend();
    MainFrame frame;
    wireFrameCommands(frame);
    frame.show();
    SCAN_INI(ScanIniMode::Read, argc > 1 ? argv[1] : "");
    instance.listen();
    QObject::connect(&instance, &SingleInstance::filesArrived, &frame, [&frame](const QStringList& more) {
        frame.showNormal();
        frame.raise();
        frame.activateWindow();
        openFiles(frame, more);
    });
    if (!files.isEmpty())
        QTimer::singleShot(0, &frame, [&frame, files] { openFiles(frame, files); });
    // For the start-up benchmark: leave as soon as the frame is up.
    if (qEnvironmentVariableIsSet("TOLV_EXIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    scheduleAutomation(frame);
    const int result = app.exec();

    // Closing the frame ends the program without SDK clean-up. A worker's
    // prompt is now answered at once, and every worker may end its job.
    Prompts::setQuitting(true);
    if (!JobRunner::finishAll(kExitWaitMs)) {
        // A job is still inside the SDK (a ring load cannot be interrupted):
        // end here, rather than tear down state or unmap the library under it.
        instance.stop();
        std::fflush(nullptr);
#ifndef TOLV_UNFILTERED_STDERR
        quietLibrary.reset();
#endif
        std::_Exit(result);
    }
    return result;
}
