#include "net/proxy_env.h"

#include <QByteArrayList>

namespace net {

namespace {

QByteArray environment(const char* lower, const char* upper)
{
    const QByteArray value = qgetenv(lower).trimmed();
    return value.isEmpty() ? qgetenv(upper).trimmed() : value;
}

// no_proxy: host names or domain suffixes, separated by commas; "*" for all.
bool listedInNoProxy(const QString& host)
{
    for (QByteArray entry : environment("no_proxy", "NO_PROXY").split(',')) {
        entry = entry.trimmed();
        if (entry.isEmpty())
            continue;
        if (entry == "*")
            return true;
        const QString suffix = QString::fromUtf8(entry.startsWith('.') ? entry.mid(1) : entry).toLower();
        if (host == suffix || host.endsWith("." + suffix))
            return true;
    }
    return false;
}

}  // namespace

QNetworkProxy proxyFor(const QUrl& url)
{
    const QByteArray setting = environment("https_proxy", "HTTPS_PROXY");
    if (setting.isEmpty() || url.scheme() != "https" || listedInNoProxy(url.host().toLower()))
        return QNetworkProxy(QNetworkProxy::NoProxy);
    const QUrl proxy = QUrl::fromUserInput(QString::fromUtf8(setting));
    if (!proxy.isValid() || proxy.host().isEmpty())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    return QNetworkProxy(QNetworkProxy::HttpProxy, proxy.host(), static_cast<quint16>(proxy.port(8080)),
                         proxy.userName(), proxy.password());
}

}  // namespace net
