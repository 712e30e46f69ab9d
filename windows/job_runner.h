#pragma once
// Runs a child window's SDK and file work on a worker thread of its own,
// one job at a time, and hands the result back to the GUI thread.
#include <QObject>
#include <QThread>

#include <functional>

class JobRunner : public QObject {
    Q_OBJECT
public:
    explicit JobRunner(QObject* owner);
    ~JobRunner() override;  // waits for a running job

    // Starts job on the worker; done runs afterwards on the GUI thread
    // (unless the owner is gone). False when a job is already running.
    bool start(std::function<void()> job, std::function<void()> done);
    bool busy() const { return busy_; }

    // At exit: lets every runner's worker finish its job (windows still
    // opening included) and waits until the deadline. False when a job is
    // still running then.
    static bool finishAll(int timeoutMs);

signals:
    void busyChanged(bool busy);

private:
    QThread thread_;
    QObject* worker_ = nullptr;
    bool busy_ = false;
};
