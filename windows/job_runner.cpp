#include "windows/job_runner.h"

#include <QCoreApplication>
#include <QPointer>

JobRunner::JobRunner(QObject* owner) : QObject(owner)
{
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

JobRunner::~JobRunner()
{
    thread_.quit();
    thread_.wait();
}

bool JobRunner::start(std::function<void()> job, std::function<void()> done)
{
    if (busy_)
        return false;
    busy_ = true;
    emit busyChanged(true);
    QPointer<JobRunner> self(this);
    QMetaObject::invokeMethod(worker_, [self, job = std::move(job), done = std::move(done)]() mutable {
        job();
        // Back on the GUI thread; the runner outlives the job (its
        // destructor waits), so self is valid here unless it is being destroyed.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, done = std::move(done)] {
                if (!self)
                    return;
                self->busy_ = false;
                if (done)
                    done();
                emit self->busyChanged(false);
            },
            Qt::QueuedConnection);
    });
    return true;
}
