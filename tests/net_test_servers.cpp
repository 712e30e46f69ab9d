#include "tests/net_test_servers.h"

#include <QDir>
#include <QFile>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>

#include <cstdlib>

namespace {

void run(const std::string& command)
{
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

// The request's head and body once whole; false while more is to come.
bool wholeRequest(const QByteArray& in, QByteArray& head, QByteArray& body)
{
    const qsizetype end = in.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    head = in.left(end);
    qsizetype length = 0;
    for (const QByteArray& line : head.split('\n'))
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    if (in.size() < end + 4 + length)
        return false;
    body = in.mid(end + 4, length);
    return true;
}

QByteArray answerBytes(const TestAnswer& a)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(a.status) + " X\r\nConnection: close\r\nContent-Length: " +
                     QByteArray::number(a.body.size()) + "\r\n";
    if (!a.location.isEmpty())
        out += "Location: " + a.location + "\r\n";
    return out + "\r\n" + a.body;
}

}  // namespace

TestCa::TestCa(const std::string& f) : folder(f)
{
    run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=TolvTestCA -keyout '" + folder + "/ca.key' -out '" +
        folder + "/ca.pem'");
}

void TestCa::makeServerCertificate(const std::string& name, const QStringList& hostNames) const
{
    QString sans;
    for (const QString& h : hostNames)
        sans += (sans.isEmpty() ? "DNS:" : ",DNS:") + h;
    const std::string base = folder + "/" + name;
    run("openssl req -newkey rsa:2048 -nodes -subj /CN=" + hostNames.value(0).toStdString() + " -keyout '" + base +
        ".key' -out '" + base + ".csr'");
    QFile ext(QString::fromStdString(base + ".ext"));
    ext.open(QIODevice::WriteOnly);
    ext.write(("subjectAltName=" + sans + "\n").toUtf8());
    ext.close();
    run("openssl x509 -req -in '" + base + ".csr' -CA '" + folder + "/ca.pem' -CAkey '" + folder +
        "/ca.key' -CAcreateserial -days 2 -extfile '" + base + ".ext' -out '" + base + ".pem'");
}

void TestCa::makeExpiredCertificate(const std::string& name, const QString& hostName) const
{
    const std::string base = folder + "/" + name, host = hostName.toStdString();
    QFile config(QString::fromStdString(folder + "/ca.cnf"));
    config.open(QIODevice::WriteOnly);
    config.write(("[ca]\ndefault_ca = test\n[test]\ndatabase = " + folder + "/index.txt\nnew_certs_dir = " + folder +
                  "\nserial = " + folder + "/serial\ndefault_md = sha256\npolicy = any\ncopy_extensions = copy\n"
                  "[any]\ncommonName = supplied\n").c_str());
    config.close();
    for (const auto& [file, text] : {std::pair<const char*, const char*> {"/index.txt", ""}, {"/serial", "01\n"}}) {
        QFile f(QString::fromStdString(folder + file));
        f.open(QIODevice::WriteOnly);
        f.write(text);
    }
    run("openssl req -newkey rsa:2048 -nodes -subj /CN=" + host + " -addext subjectAltName=DNS:" + host + " -keyout '" +
        base + ".key' -out '" + base + ".csr'");
    run("openssl ca -batch -notext -config '" + folder + "/ca.cnf' -cert '" + folder + "/ca.pem' -keyfile '" + folder +
        "/ca.key' -in '" + base + ".csr' -out '" + base + ".pem' -startdate 20200101000000Z -enddate 20200201000000Z");
}

HttpsTestServer::HttpsTestServer(const TestCa& ca, const std::string& name, TestHandler handler)
    : certificate_(ca.folder + "/" + name + ".pem"), key_(ca.folder + "/" + name + ".key"), handler_(std::move(handler))
{
    start();
    while (!port_)
        QThread::msleep(5);
}

HttpsTestServer::~HttpsTestServer()
{
    quit();
    wait();
}

void HttpsTestServer::run()
{
    QSslServer server;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate::fromPath(QString::fromStdString(certificate_)).value(0));
    QFile keyFile(QString::fromStdString(key_));
    keyFile.open(QIODevice::ReadOnly);
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    server.setSslConfiguration(tls);
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&] {
        while (auto* socket = qobject_cast<QSslSocket*>(server.nextPendingConnection())) {
            auto* received = new QByteArray;
            QObject::connect(socket, &QObject::destroyed, [received] { delete received; });
            QObject::connect(socket, &QIODevice::readyRead, socket, [this, socket, received] {
                *received += socket->readAll();
                QByteArray head, body;
                if (!wholeRequest(*received, head, body))
                    return;
                const QList<QByteArray> first = head.left(head.indexOf('\r')).split(' ');
                const TestAnswer a = handler_(first.value(0), first.value(1), body);
                QTimer::singleShot(a.delayMs, socket, [socket, a] {
                    socket->write(answerBytes(a));
                    socket->disconnectFromHost();
                });
            });
            QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    server.listen(QHostAddress::LocalHost, 0);
    port_ = server.serverPort();
    exec();
}

TestProxy::TestProxy(QMap<QString, quint16> routes) : routes_(std::move(routes))
{
    start();
    while (!port_)
        QThread::msleep(5);
}

TestProxy::~TestProxy()
{
    quit();
    wait();
}

void TestProxy::run()
{
    QTcpServer server;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* client = server.nextPendingConnection()) {
            QObject::connect(client, &QAbstractSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QIODevice::readyRead, client, [this, client] {
                if (client->property("tunnel").toBool())
                    return;
                const QByteArray request = client->peek(4096);
                if (!request.contains("\r\n\r\n"))
                    return;
                client->read(request.indexOf("\r\n\r\n") + 4);
                const QString host = QString::fromLatin1(request.split(' ').value(1)).section(':', 0, 0);
                if (!routes_.contains(host)) {
                    client->write("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
                    client->disconnectFromHost();
                    return;
                }
                client->setProperty("tunnel", true);
                auto* upstream = new QTcpSocket(client);
                QObject::connect(upstream, &QIODevice::readyRead, client, [client, upstream] { client->write(upstream->readAll()); });
                QObject::connect(client, &QIODevice::readyRead, upstream, [client, upstream] { upstream->write(client->readAll()); });
                QObject::connect(upstream, &QAbstractSocket::disconnected, client, &QAbstractSocket::disconnectFromHost);
                QObject::connect(upstream, &QAbstractSocket::connected, client, [client] {
                    client->write("HTTP/1.1 200 Connection established\r\n\r\n");
                });
                upstream->connectToHost(QHostAddress::LocalHost, routes_.value(host));
            });
        }
    });
    server.listen(QHostAddress::LocalHost, 0);
    port_ = server.serverPort();
    exec();
}

namespace {

// A gpg --with-colons field; user IDs escape ":" as \x3a.
QByteArray colonField(const QByteArray& line, int index)
{
    return line.split(':').value(index).replace("\\x3a", ":");
}

}  // namespace

TestKeyserver::TestKeyserver(std::string folder) : folder_(std::move(folder))
{
    run("mkdir -p -m 700 '" + folder_ + "/.gnupg'");
}

void TestKeyserver::add(const QByteArray& keyData)
{
    std::lock_guard<std::mutex> hold(lock_);
    QFile incoming(QString::fromStdString(folder_ + "/.incoming"));
    incoming.open(QIODevice::WriteOnly);
    incoming.write(keyData);
    incoming.close();
    const QByteArray fingerprint = listed(folder_ + "/.incoming").fingerprint;
    if (fingerprint.isEmpty())
        throw std::runtime_error("the test keyserver was given no key");
    run("gpg --homedir '" + folder_ + "/.gnupg' --batch --yes --dearmor -o '" + folder_ + "/" +
        fingerprint.toStdString() + "' '" + folder_ + "/.incoming' || cp '" + folder_ + "/.incoming' '" + folder_ + "/" +
        fingerprint.toStdString() + "'");
}

void TestKeyserver::clear()
{
    std::lock_guard<std::mutex> hold(lock_);
    run("find '" + folder_ + "' -maxdepth 1 -type f -delete");
}

TestKeyserver::Listed TestKeyserver::listed(const std::string& file) const
{
    Listed key;
    const std::string command = "gpg --homedir '" + folder_ + "/.gnupg' --batch --with-colons --show-keys '" + file + "'";
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    QByteArray pub;
    for (char buffer[4096]; pipe && std::fgets(buffer, sizeof buffer, pipe);) {
        const QByteArray line = QByteArray(buffer).trimmed();
        if (line.startsWith("pub:"))
            pub = line;
        else if (line.startsWith("fpr:") && key.fingerprint.isEmpty()) {
            key.fingerprint = colonField(line, 9);
            key.listing += "pub:" + key.fingerprint + ":" + colonField(pub, 3) + ":" + colonField(pub, 2) + ":" +
                           colonField(pub, 5) + ":" + colonField(pub, 6) + ":" + (colonField(pub, 1) == "r" ? "r" : "") + "\n";
        } else if (line.startsWith("uid:")) {
            const QByteArray uid = colonField(line, 9);
            key.userIds << QString::fromUtf8(uid);
            key.listing += "uid:" + uid.toPercentEncoding(" <>@()!.,-_'") + ":" + colonField(line, 5) + "::\n";
        }
    }
    if (pipe)
        pclose(pipe);
    return key;
}

std::vector<TestKeyserver::Listed> TestKeyserver::keysFor(const QString& search) const
{
    std::vector<Listed> found;
    const QDir dir(QString::fromStdString(folder_));
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (name.startsWith('.'))
            continue;
        Listed key = listed(dir.filePath(name).toStdString());
        const bool byId = search.startsWith("0x") && key.fingerprint.endsWith(search.mid(2).toUpper().toLatin1());
        const bool byText = !search.startsWith("0x") &&
                            std::any_of(key.userIds.begin(), key.userIds.end(),
                                        [&](const QString& u) { return u.contains(search, Qt::CaseInsensitive); });
        if (byId || byText)
            found.push_back(std::move(key));
    }
    return found;
}

std::optional<TestAnswer> TestKeyserver::answer(const QByteArray& method, const QByteArray& target, const QByteArray& body)
{
    if (method == "POST" && target == "/pks/add") {
        add(QByteArray::fromPercentEncoding(body.mid(body.indexOf("keytext=") + 8).replace('+', ' ')));
        return TestAnswer {200, "Key added", {}, 0};
    }
    const QUrlQuery query(QUrl(QString::fromLatin1(target)));
    if (!target.startsWith("/pks/lookup?") || query.queryItemValue("options") != "mr")
        return std::nullopt;
    std::lock_guard<std::mutex> hold(lock_);
    const std::vector<Listed> found = keysFor(query.queryItemValue("search", QUrl::FullyDecoded));
    if (found.empty())
        return TestAnswer {404, "No keys found", {}, 0};
    QByteArray out;
    if (query.queryItemValue("op") == "index") {
        out = "info:1:" + QByteArray::number(found.size()) + "\n";
        for (const Listed& k : found)
            out += k.listing;
        return TestAnswer {200, out, {}, 0};
    }
    for (const Listed& k : found) {
        QFile file(QString::fromStdString(folder_) + "/" + QString::fromLatin1(k.fingerprint));
        file.open(QIODevice::ReadOnly);
        out += file.readAll();
    }
    return TestAnswer {200, out + alsoSend, {}, delayMs};
}
