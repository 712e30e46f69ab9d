#include "app/scan_ini.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>
#include <QLabel>
#include <QVBoxLayout>

#include "app/app_config.h"
#include "app/dialog_units.h"
#include "app/error_text.h"
#include "app/path_text.h"
#include "app/prompts.h"
#include "platform/file_access.h"
#include "platform/last_error.h"
#include "platform/profile.h"

namespace {

// The small window shown while the ini file is read or written.
class ScanIniProgress {
public:
    explicit ScanIniProgress(const QString& iniPath)
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        window_ = new QDialog(nullptr, Qt::Tool);
        window_->setObjectName("scanIniProgress");
        window_->setWindowTitle("Считываем INI файл");
        window_->setFixedSize(dluSize(window_->font(), 241, 28));
        auto* layout = new QVBoxLayout(window_);
        auto* label = new QLabel(iniPath.left(60), window_);
        layout->addWidget(label);
        window_->show();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Painted now: the read that follows keeps the event loop away.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        window_->repaint();
        shown_.start();
    }
    ~ScanIniProgress()
    {
        if (!window_)
            return;
        // Stays long enough to be seen, with its events still handled.
        while (shown_.elapsed() < kMinimumShownMs)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents), QThread::msleep(10);
        QApplication::restoreOverrideCursor();
        window_->close();
        delete window_;
    }
    ScanIniProgress(const ScanIniProgress&) = delete;
    ScanIniProgress& operator=(const ScanIniProgress&) = delete;

private:
    static constexpr int kMinimumShownMs = 250;
    QDialog* window_ = nullptr;
    QElapsedTimer shown_;
};

}  // namespace

void SCAN_INI(ScanIniMode mode, const char* firstArgument)
{
    AppConfig& config = AppConfig::instance();
    const std::string iniPath =
        mode == ScanIniMode::Read ? chooseIniPath(firstArgument ? firstArgument : "") : config.snapshot().IniPath;
    // A path the system refuses is said so plainly; defaults are used and
    // nothing is written, never a file at a shortened name.
    if (platform::pathTooLong(platform::resolveProfilePath(iniPath))) {
        Prompts::message("SCAN_INI", "The settings file's name is too long:|" + pathToQString(iniPath) + "|" +
                                         QString::fromStdString(errorTextForCode(platform::win::FilenameTooLong)),
                         Prompts::Icon::Stop);
        if (mode == ScanIniMode::Read)
            config.assign(defaultSettings(iniPath));
        return;
    }
    ScanIniProgress progress(pathToQString(iniPath));
    if (mode == ScanIniMode::Read)
        config.assign(readSettingsFile(iniPath));
    else
        writeSettingsFile(config.snapshot());
}
