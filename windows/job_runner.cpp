#include "windows/job_runner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>

#include <mutex>
#include <set>

namespace {

// Every runner alive, so that exit can wait for all of their workers.
struct Registry {
    std::mutex mutex;
    std::set<JobRunner*> runners;
};

Registry& registry()
{
    static Registry* r = new Registry;  // outlives every runner, also at exit
    return *r;
}

}  // namespace

JobRunner::JobRunner(QObject* owner) : QObject(owner)
{
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
    std::lock_guard lock(registry().mutex);
    registry().runners.insert(this);
}

JobRunner::~JobRunner()
{
    {
        std::lock_guard lock(registry().mutex);
        registry().runners.erase(this);
    }
    thread_.quit();
    thread_.wait();
}

bool JobRunner::finishAll(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    std::lock_guard lock(registry().mutex);
    bool all = true;
    for (JobRunner* r : registry().runners) {
        r->thread_.quit();  // the job in hand still runs to its end
        all = r->thread_.wait(deadline) && all;
    }
    return all;
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
