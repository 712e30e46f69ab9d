#include "app/scan_ini.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>
#include <QLabel>
#include <QVBoxLayout>

#include "app/dialog_units.h"
#include "core/first_start.h"
#include "core/path_text.h"

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
    const std::string iniPath = iniPathForScan(mode, firstArgument);
    if (iniPath.empty())
        return;
    // Its notice comes before the progress window and its wait cursor.
    if (mode == ScanIniMode::Read)
        prepareFirstStart(iniPath);
    ScanIniProgress progress(pathToQString(iniPath));
    scanIniFile(mode, iniPath);
}
