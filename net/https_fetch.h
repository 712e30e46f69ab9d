#pragma once
// One HTTPS request with the limits of a key look-up: certificates checked
// (with the extra ones SSL_CERT_FILE and SSL_CERT_DIR name), at most five
// redirects and never to plain HTTP, a time limit and a size limit. Runs on
// the calling thread, which it blocks until the answer is in.
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>

namespace net {

enum class FetchFailure { None, NoSuchHost, Refused, TimedOut, Tls, NotFound, TooLarge, Insecure, Redirects,
                          Cancelled, Http, Other };

struct FetchRequest {
    QUrl url;
    QByteArray post;         // non-empty: sent as a form (POST)
    int timeoutMs = 15000;   // for the whole request, redirects included
    qint64 maxBytes = 4 << 20;
    const std::atomic<bool>* stop = nullptr;  // set: the request ends, cancelled
};

struct FetchResult {
    FetchFailure failure = FetchFailure::None;
    int status = 0;  // the HTTP status of the last answer
    QByteArray body;
    QUrl url;         // where the answer came from, after redirects
    QString message;  // the failure, for the user

    bool ok() const { return failure == FetchFailure::None; }
};

FetchResult fetch(const FetchRequest& request);

}  // namespace net
