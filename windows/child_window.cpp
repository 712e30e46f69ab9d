#include "windows/child_window.h"

#include <QCloseEvent>
#include <QPointer>
#include <QProgressBar>

#include <memory>

#include "app/main_frame.h"
#include "sdk/sdk_session.h"

ChildWindow::ChildWindow(QWidget* parent) : QWidget(parent), jobs_(new JobRunner(this))
{
    busyIndicator_ = new QProgressBar(this);
    busyIndicator_->setObjectName("busyIndicator");
    showBusy();
    busyIndicator_->hide();
    connect(jobs_, &JobRunner::busyChanged, this, [this](bool busy) {
        showBusy();  // a job's percent is not the next job's
        busyIndicator_->setVisible(busy);
        setControlsEnabled(!busy);
        if (!busy && closePending_)
            closeChildWindow(this);
    });
}

void ChildWindow::showBusy()
{
    busyIndicator_->setRange(0, 0);
    busyIndicator_->setTextVisible(false);
    busyIndicator_->setMaximumHeight(8);
}

void ChildWindow::showProgress(int permille)
{
    busyIndicator_->setMaximumHeight(QWIDGETSIZE_MAX);
    busyIndicator_->setRange(0, 1000);
    busyIndicator_->setFormat(QString::number(permille / 10) + " %");
    busyIndicator_->setTextVisible(true);
    busyIndicator_->setValue(permille);
}

void ChildWindow::openIn(MainFrame& frame, std::function<bool()> prepare, std::function<void()> ready)
{
    QPointer<MainFrame> framePtr(&frame);
    auto ok = std::make_shared<bool>(false);
    jobs_->start(
        [ok, prepare] { *ok = sdk::PGP_LoadRings() == 0 && (!prepare || prepare()); },
        [this, ok, framePtr, ready] {
            if (!*ok || !framePtr) {
                deleteLater();
                return;
            }
            if (ready)
                ready();
            framePtr->addChildWindow(this);
        });
}

void ChildWindow::closeEvent(QCloseEvent* event)
{
    if (jobs_->busy()) {
        // The job uses this window's buffers: close once it has ended.
        closePending_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
