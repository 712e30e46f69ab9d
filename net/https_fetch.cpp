#include "net/https_fetch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTimer>

#include <memory>

#include "net/proxy_env.h"

namespace net {

namespace {

constexpr int kMaxRedirects = 5;

// The system's certificates and those SSL_CERT_FILE and SSL_CERT_DIR name.
QSslConfiguration checkedTls()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities = config.caCertificates();
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (!file.isEmpty())
        authorities += QSslCertificate::fromPath(file, QSsl::Pem);
    for (const QString& dir : qEnvironmentVariable("SSL_CERT_DIR").split(':', Qt::SkipEmptyParts))
        authorities += QSslCertificate::fromPath(dir + "/*", QSsl::Pem, QSslCertificate::PatternSyntax::Wildcard);
    config.setCaCertificates(authorities);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return config;
}

FetchFailure failureOf(QNetworkReply::NetworkError e, bool proxied)
{
    // Through a proxy, a host that cannot be reached is a tunnel the proxy
    // refuses (502), which Qt tells as an unknown network error.
    if (proxied && e == QNetworkReply::UnknownNetworkError)
        return FetchFailure::NoSuchHost;
    switch (e) {
    case QNetworkReply::HostNotFoundError: return FetchFailure::NoSuchHost;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError: return FetchFailure::Refused;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError: return FetchFailure::TimedOut;
    case QNetworkReply::SslHandshakeFailedError: return FetchFailure::Tls;
    case QNetworkReply::ContentNotFoundError: return FetchFailure::NotFound;
    case QNetworkReply::ProxyNotFoundError: return FetchFailure::NoSuchHost;
    default: return e >= QNetworkReply::ContentAccessDenied ? FetchFailure::Http : FetchFailure::Other;
    }
}

QString messageOf(FetchFailure f, const QUrl& url, const QString& detail)
{
    const QString host = url.host();
    switch (f) {
    case FetchFailure::NoSuchHost: return "No such host: " + host;
    case FetchFailure::Refused: return host + " refused the connection";
    case FetchFailure::TimedOut: return host + " did not answer in time";
    case FetchFailure::Tls: return "The certificate of " + host + " is not valid: " + detail;
    case FetchFailure::NotFound: return "Not found on " + host;
    case FetchFailure::TooLarge: return "The answer of " + host + " is too large";
    case FetchFailure::Insecure: return host + " sent the request on to plain HTTP: refused";
    case FetchFailure::Redirects: return host + " sent the request on too many times";
    case FetchFailure::Cancelled: return "Cancelled";
    default: return host + ": " + detail;
    }
}

// One request and the redirects it takes, on its own event loop.
class Fetcher {
public:
    explicit Fetcher(const FetchRequest& r) : request_(r) {}
    FetchResult run();
    void closeConnections() { manager_.clearConnectionCache(); }

private:
    void send(const QUrl& url);
    void onFinished();
    void fail(FetchFailure f, const QString& detail = {});

    const FetchRequest& request_;
    QNetworkAccessManager manager_;
    QEventLoop loop_;
    QNetworkReply* reply_ = nullptr;
    QString tlsErrors_;
    FetchResult result_;
    int redirects_ = 0;
    bool done_ = false;
};

FetchResult Fetcher::run()
{
    manager_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    QTimer deadline, stopCheck;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [this] { fail(FetchFailure::TimedOut); });
    QObject::connect(&stopCheck, &QTimer::timeout, [this] {
        if (request_.stop && request_.stop->load())
            fail(FetchFailure::Cancelled);
    });
    deadline.start(request_.timeoutMs);
    stopCheck.start(50);
    if (request_.url.scheme() != "https")
        fail(FetchFailure::Insecure);
    else
        send(request_.url);
    if (!done_)
        loop_.exec();
    return result_;
}

void Fetcher::send(const QUrl& url)
{
    result_.url = url;
    manager_.setProxy(proxyFor(url));
    QNetworkRequest r(url);
    r.setSslConfiguration(checkedTls());
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    r.setTransferTimeout(request_.timeoutMs);
    if (!request_.post.isEmpty())
        r.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    reply_ = request_.post.isEmpty() ? manager_.get(r) : manager_.post(r, request_.post);
    QObject::connect(reply_, &QNetworkReply::sslErrors, [this](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            tlsErrors_ += (tlsErrors_.isEmpty() ? "" : "; ") + e.errorString();
    });
    QObject::connect(reply_, &QNetworkReply::readyRead, [this] {
        if (result_.body.size() + reply_->bytesAvailable() > request_.maxBytes)
            return fail(FetchFailure::TooLarge);
        result_.body += reply_->readAll();
    });
    QObject::connect(reply_, &QNetworkReply::finished, [this] { onFinished(); });
}

void Fetcher::onFinished()
{
    if (done_)
        return;
    QNetworkReply* reply = reply_;
    reply->deleteLater();
    result_.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl next = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (next.isValid() && result_.status >= 300 && result_.status < 400) {
        const QUrl target = reply->url().resolved(next);
        if (target.scheme() != "https")
            return fail(FetchFailure::Insecure);
        if (++redirects_ > kMaxRedirects)
            return fail(FetchFailure::Redirects);
        result_.body.clear();
        return send(target);
    }
    if (reply->error() != QNetworkReply::NoError)
        return fail(failureOf(reply->error(), manager_.proxy().type() != QNetworkProxy::NoProxy),
                    tlsErrors_.isEmpty() ? reply->errorString() : tlsErrors_);
    if (result_.body.size() + reply->bytesAvailable() > request_.maxBytes)
        return fail(FetchFailure::TooLarge);
    result_.body += reply->readAll();
    done_ = true;
    loop_.quit();
}

void Fetcher::fail(FetchFailure f, const QString& detail)
{
    if (done_)
        return;
    done_ = true;
    result_.failure = f;
    result_.message = messageOf(f, result_.url.isValid() ? result_.url : request_.url, detail);
    result_.body.clear();
    if (reply_)
        reply_->abort();
    loop_.quit();
}

}  // namespace

FetchResult fetch(const FetchRequest& request)
{
    FetchResult result;
    {
        Fetcher fetcher(request);
        result = fetcher.run();
        // The connections the manager keeps for reuse go now, not at exit.
        fetcher.closeConnections();
    }
    // Replies and connections are deleted later, by an event loop this
    // thread may never run again: they go now, with their TLS state.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}

}  // namespace net
