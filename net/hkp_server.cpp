#include "net/hkp_server.h"

#include <QUrlQuery>

namespace net {

std::optional<QUrl> keyserverBase(const QString& setting)
{
    QUrl url(setting.trimmed());
    if (url.scheme() == "hkps")
        url.setScheme("https");
    if (url.scheme() != "https" || url.host().isEmpty())
        return std::nullopt;
    url.setPath({});
    url.setQuery(QString());
    return url;
}

namespace {

QUrl lookupUrl(const QUrl& base, const char* op, const QString& what)
{
    QUrl url = base;
    url.setPath("/pks/lookup");
    QUrlQuery query;
    query.addQueryItem("op", op);
    query.addQueryItem("options", "mr");
    query.addQueryItem("search", QString::fromUtf8(QUrl::toPercentEncoding(what)));
    url.setQuery(query);
    return url;
}

}  // namespace

QUrl keyserverGet(const QUrl& base, const QString& what) { return lookupUrl(base, "get", what); }

QUrl keyserverIndex(const QUrl& base, const QString& what) { return lookupUrl(base, "index", what); }

QUrl keyserverAdd(const QUrl& base)
{
    QUrl url = base;
    url.setPath("/pks/add");
    return url;
}

QByteArray keyserverAddForm(const QByteArray& armouredKey)
{
    return "keytext=" + QUrl::toPercentEncoding(QString::fromLatin1(armouredKey));
}

}  // namespace net
