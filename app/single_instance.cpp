#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int kWaitMs = 3000;

// The files, one absolute path a line, ended by an empty line.
QByteArray message(const QStringList& files)
{
    QByteArray out;
    for (const QString& f : files)
        out += QFileInfo(f).absoluteFilePath().toUtf8() + '\n';
    return out + '\n';
}

}  // namespace

SingleInstance::SingleInstance(const QString& settingsPath, QObject* parent) : QObject(parent)
{
    const QByteArray settings = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    name_ = "tolv-" + QString::number(::getuid()) + "-" +
            QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha256).toHex().left(16));
    // In the user's runtime folder where there is one (it goes at logout),
    // else in the temporary folder, where Qt puts a bare name.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        name_ = QString::fromLocal8Bit(runtime) + "/" + name_;
}

bool SingleInstance::handOver(const QStringList& files)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    socket.write(message(files));
    if (!socket.waitForBytesWritten(kWaitMs))
        return false;
    // The running Tolv says it took them; without that, this one opens them.
    while (!socket.canReadLine() && socket.waitForReadyRead(kWaitMs)) {
    }
    return socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen()
{
    // Listening would take the name over from a Tolv that still answers.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(name_);  // left by a Tolv that ended without closing it
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_))
        return false;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::receive);
    return true;
}

void SingleInstance::stop()
{
    if (server_)
        server_->close();
}

void SingleInstance::receive()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > 1 << 20)
                return socket->abort();  // no one sends that many names
            const QByteArray all = socket->peek(socket->bytesAvailable());
            if (!all.endsWith("\n\n") && all != "\n")
                return;
            socket->readAll();
            QStringList files;
            for (const QByteArray& line : all.split('\n'))
                if (!line.isEmpty())
                    files << QString::fromUtf8(line);
            socket->write("ok\n");
            socket->flush();
            emit filesArrived(files);
        });
    }
}
