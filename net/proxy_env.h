#pragma once
// The proxy the environment names for a URL, as curl reads it: https_proxy
// (or HTTPS_PROXY) for https URLs, unless no_proxy lists the host.
#include <QNetworkProxy>
#include <QUrl>

namespace net {

QNetworkProxy proxyFor(const QUrl& url);

}  // namespace net
