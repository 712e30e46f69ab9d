#pragma once
// Tells every window that lists keys when the keys of the open rings
// changed, so that it reads them again. Emitted on any thread; receivers
// connected with a context object get it on their own thread.
#include <QObject>

class KeyRingEvents : public QObject {
    Q_OBJECT
public:
    static KeyRingEvents& instance();

signals:
    void keysChanged();

private:
    KeyRingEvents() = default;
};
