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

QUrl keyserverGet(const QUrl& base, const QString& what)
{
    QUrl url = base;
    url.setPath("/pks/lookup");
    QUrlQuery query;
    query.addQueryItem("op", "get");
    query.addQueryItem("options", "mr");
    query.addQueryItem("search", QString::fromUtf8(QUrl::toPercentEncoding(what)));
    url.setQuery(query);
    return url;
}

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
