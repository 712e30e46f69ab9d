#include <QApplication>
#include <QTimer>

#include "app/main_frame.h"
#include "app/scan_ini.h"
#include "platform/stderr_filter.h"
#include "windows/frame_commands.h"
#include "windows/passphrase_dialog.h"

int main(int argc, char** argv)
{
#ifndef TOLV_UNFILTERED_STDERR
    platform::StderrFilter quietLibrary;
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolv");

    installPassphraseDialog();
    MainFrame frame;
    wireFrameCommands(frame);
    frame.show();
    SCAN_INI(ScanIniMode::Read, argc > 1 ? argv[1] : "");
    // For the start-up benchmark: leave as soon as the frame is up.
    if (qEnvironmentVariableIsSet("TOLV_EXIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
