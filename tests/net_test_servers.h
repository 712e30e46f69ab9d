#pragma once
// Servers for the look-up tests, on 127.0.0.1 only, each on a thread of its
// own that ends with it: an HTTPS server that answers from a function, a
// CONNECT proxy that takes test host names to it, and a test CA that makes
// the server's certificates. Nothing leaves the machine.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <string>

struct TestAnswer {
    int status = 200;
    QByteArray body;
    QByteArray location;  // a redirect's target
    int delayMs = 0;      // before the answer is sent
};
using TestHandler = std::function<TestAnswer(const QByteArray& method, const QByteArray& target, const QByteArray& body)>;

// A CA, and server certificates it signs, made with openssl in folder.
struct TestCa {
    explicit TestCa(const std::string& folder);
    // A certificate (and key) for the names, valid for days from now.
    void makeServerCertificate(const std::string& name, const QStringList& hostNames) const;
    // A certificate for hostName that expired long ago.
    void makeExpiredCertificate(const std::string& name, const QString& hostName) const;
    std::string folder;
    std::string caFile() const { return folder + "/ca.pem"; }
};

class HttpsTestServer : public QThread {
public:
    HttpsTestServer(const TestCa& ca, const std::string& certificateName, TestHandler handler);
    ~HttpsTestServer() override;
    quint16 port() const { return port_.load(); }

protected:
    void run() override;

private:
    std::string certificate_, key_;
    TestHandler handler_;
    std::atomic<quint16> port_ {0};
};

// A CONNECT proxy: a host of routes is taken to its port on 127.0.0.1; any
// other host is answered 502, as a proxy that cannot resolve it does.
class TestProxy : public QThread {
public:
    explicit TestProxy(QMap<QString, quint16> routes);
    ~TestProxy() override;
    quint16 port() const { return port_.load(); }

protected:
    void run() override;

private:
    QMap<QString, quint16> routes_;
    std::atomic<quint16> port_ {0};
};
