#include "sdk/ring_watcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

#include "core/app_config.h"
#include "core/frontend.h"
#include "core/path_text.h"
#include "sdk/sdk_session.h"

namespace sdk {

RingWatcher::RingWatcher(QObject* parent) : QObject(parent), reading_(std::make_shared<Reading>())
{
    settle_.setSingleShot(true);
    settle_.setInterval(200);
    connect(&settle_, &QTimer::timeout, this, &RingWatcher::startCheck);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &RingWatcher::checkSoon);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &RingWatcher::checkSoon);
    // The settings may name other rings: the paths are looked at again now
    // and then (no file is read for that).
    rearm_.setInterval(2000);
    connect(&rearm_, &QTimer::timeout, this, [this] {
        if (watchRingPaths())
            checkSoon();  // what changed before the paths were watched
    });
    rearm_.start();
    watchRingPaths();
}

RingWatcher::~RingWatcher() = default;

void RingWatcher::checkSoon() { settle_.start(); }

// The ring files of the settings now, and their folders: a writer that
// renames a new file over a ring shows only in its folder.
bool RingWatcher::watchRingPaths()
{
    const auto config = AppConfig::instance().snapshot();
    QStringList wanted;
    for (const std::string& ring : {config.PubRing, config.SecRing}) {
        const QFileInfo info(pathToQString(ring));
        const QFileInfo target(info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath());
        wanted << target.absoluteFilePath() << target.absolutePath();
    }
    wanted.removeDuplicates();
    // Paths not there yet are looked at again later.
    wanted.erase(std::remove_if(wanted.begin(), wanted.end(), [](const QString& p) { return !QFileInfo::exists(p); }),
                 wanted.end());
    QStringList watched = watcher_.files() + watcher_.directories();
    watched.sort();
    QStringList sorted = wanted;
    sorted.sort();
    if (watched == sorted)
        return false;
    if (!watched.isEmpty())
        watcher_.removePaths(watched);
    if (!wanted.isEmpty())
        watcher_.addPaths(wanted);
    return true;
}

void RingWatcher::startCheck()
{
    watchRingPaths();
    if (reading_->busy.exchange(true)) {
        reading_->again = true;  // one read at a time: another after this one
        return;
    }
    QPointer<RingWatcher> self(this);
    auto reading = reading_;
    QThreadPool::globalInstance()->start([self, reading] {
        bool changed = false;
        syncKeyRings(changed);
        reading->busy = false;
        if (changed)
            frontend::current().keysChanged();
        if (reading->again.exchange(false))
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [self] {
                    if (self)
                        self->checkSoon();
                },
                Qt::QueuedConnection);
    });
}

}  // namespace sdk
