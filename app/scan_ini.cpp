#include "app/scan_ini.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

#include "app/app_config.h"
#include "app/dialog_units.h"

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
    }
    ~ScanIniProgress()
    {
        if (!window_)
            return;
        QApplication::restoreOverrideCursor();
        window_->close();
        delete window_;
    }
    ScanIniProgress(const ScanIniProgress&) = delete;
    ScanIniProgress& operator=(const ScanIniProgress&) = delete;

private:
    QDialog* window_ = nullptr;
};

}  // namespace

void SCAN_INI(ScanIniMode mode, const char* firstArgument)
{
    AppConfig& config = AppConfig::instance();
    if (mode == ScanIniMode::Read) {
        const std::string iniPath = chooseIniPath(firstArgument ? firstArgument : "");
        ScanIniProgress progress(QString::fromStdString(iniPath));
        config.assign(readSettingsFile(iniPath));
    } else {
        const AppConfigValues values = config.snapshot();
        ScanIniProgress progress(QString::fromStdString(values.IniPath));
        writeSettingsFile(values);
    }
}
