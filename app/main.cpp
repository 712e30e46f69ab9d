#include <QApplication>

#include "app/main_frame.h"
#include "app/scan_ini.h"
#include "windows/frame_commands.h"
#include "windows/passphrase_dialog.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolv");

    installPassphraseDialog();
    MainFrame frame;
    wireFrameCommands(frame);
    frame.show();
    SCAN_INI(ScanIniMode::Read, argc > 1 ? argv[1] : "");
    return app.exec();
}
