#pragma once
// One Tolv per user and settings file: a second start hands the files it
// was given to the first one over a local socket (readable by this user
// alone) and ends; the first opens them and comes to the front.
#include <QObject>
#include <QStringList>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& settingsPath, QObject* parent = nullptr);

    // True when a running Tolv took the files (this start should end).
    bool handOver(const QStringList& files);
    // Listens for later starts; false when another Tolv listens already.
    bool listen();
    // Stops listening and removes the socket (as the destructor does), for
    // an exit that runs no destructors.
    void stop();

signals:
    void filesArrived(const QStringList& files);

private:
    void receive();

    QString name_;
    QLocalServer* server_ = nullptr;
};
