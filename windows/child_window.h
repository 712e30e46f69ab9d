#pragma once
// Common ground of the encode, decode and key list windows: a worker for
// their jobs, a busy indicator, and a close that waits for a running job.
#include <QProgressBar>
#include <QWidget>

#include "windows/job_runner.h"

class MainFrame;


class ChildWindow : public QWidget {
    Q_OBJECT
public:
    explicit ChildWindow(QWidget* parent = nullptr);

    bool busy() const { return jobs_->busy(); }
    JobRunner* jobs() const { return jobs_; }

    // Opens the SDK (library, context, key rings) on the worker, then runs
    // prepare there too; the window joins the frame when both succeed and
    // is discarded otherwise.
    void openIn(MainFrame& frame, std::function<bool()> prepare, std::function<void()> ready);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Widgets that start a job are disabled while one runs.
    virtual void setControlsEnabled(bool enabled) = 0;
    QProgressBar* busyIndicator() const { return busyIndicator_; }
    // The bar as a thin busy line, or with the running job's percent.
    void showBusy();
    void showProgress(int permille);

private:
    JobRunner* jobs_;
    QProgressBar* busyIndicator_;
    bool closePending_ = false;
};
