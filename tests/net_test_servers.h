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
#include <mutex>
#include <optional>
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

// An HKP keyserver over a folder of keys, one file per key named by its
// fingerprint. /pks/lookup answers op=get (the keys' packets) and op=index
// with options=mr (their listing) for "0x" and a fingerprint or key ID, or
// for text in a user ID; /pks/add puts the posted key in the folder, where
// later look-ups find it. What a key holds is read by gpg, not by Tolv.
class TestKeyserver {
public:
    explicit TestKeyserver(std::string folder);
    // The answer for a keyserver request; nothing for any other target.
    std::optional<TestAnswer> answer(const QByteArray& method, const QByteArray& target, const QByteArray& body);
    void add(const QByteArray& keyData);  // armoured or binary, one key
    void clear();
    QByteArray alsoSend;  // added to every op=get answer, as a careless server might
    int delayMs = 0;      // before each op=get answer

private:
    struct Listed {
        QByteArray fingerprint, listing;  // the listing: its pub and uid lines
        QStringList userIds;
    };
    std::vector<Listed> keysFor(const QString& search) const;
    Listed listed(const std::string& file) const;
    std::string folder_;
    mutable std::mutex lock_;
};
