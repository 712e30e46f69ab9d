#pragma once
// Where the Web Key Directory keeps the key of an e-mail address: the
// advanced method on openpgpkey.DOMAIN, and the direct one on DOMAIN itself.
#include <QString>
#include <QUrl>

#include <optional>

namespace net {

struct WkdUrls {
    QUrl advanced;
    QUrl direct;
};

// The z-base-32 text of the SHA-1 of the address's local part in lower case.
QString wkdHash(const QString& localPart);

// Both URLs for address; nothing when it is no address (one "@", a local
// part and a domain with a dot).
std::optional<WkdUrls> wkdUrls(const QString& address);

}  // namespace net
