#include "app/frame_window.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <mutex>

namespace FrameWindow {

namespace {
std::mutex targetMutex;
Target* currentTarget = nullptr;
QPointer<QObject> currentTargetObject;

void apply(const std::function<void(Target*)>& change)
{
    QPointer<QObject> object;
    {
        std::lock_guard lock(targetMutex);
        if (!currentTarget)
            return;
        object = currentTargetObject;
    }
    auto run = [change] {
        Target* target;
        {
            std::lock_guard lock(targetMutex);
            target = currentTarget;
        }
        if (target)
            change(target);
    };
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
        run();
    else if (object)
        QMetaObject::invokeMethod(object, run, Qt::QueuedConnection);
}
}  // namespace

void setTarget(Target* target)
{
    std::lock_guard lock(targetMutex);
    currentTarget = target;
    currentTargetObject = dynamic_cast<QObject*>(target);
}

void setMenuText(MenuItem item, const QString& text)
{
    apply([item, text](Target* t) { t->applyMenuText(item, text); });
}

void setTimerPeriod(int hundredths)
{
    apply([hundredths](Target* t) { t->applyTimerPeriod(hundredths); });
}

}  // namespace FrameWindow
