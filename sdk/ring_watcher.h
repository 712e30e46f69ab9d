#pragma once
// Notices when the open key rings change on disk (another tolv-cli,
// another Tolv, gpg writing them) and brings the open rings up to the
// files, so that every window shows the new keys within a second or two.
// Lives on the thread that made it (the GUI thread); the files are read on
// a worker, one read at a time.
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

namespace sdk {

class RingWatcher : public QObject {
    Q_OBJECT
public:
    explicit RingWatcher(QObject* parent = nullptr);
    ~RingWatcher() override;

    // Looks at the files now (a worker does the work).
    void checkSoon();

private:
    // True when the settings named other paths than those watched.
    bool watchRingPaths();
    void startCheck();

    QFileSystemWatcher watcher_;
    QTimer settle_;  // gathers the burst of events one write makes
    QTimer rearm_;   // follows the settings to other rings
    // A read under way, and a change seen meanwhile (read again after it).
    struct Reading {
        std::atomic<bool> busy {false}, again {false};
    };
    std::shared_ptr<Reading> reading_;
};

}  // namespace sdk
