#pragma once
// A keyserver's machine-readable key listing (op=index with options=mr):
//   info:VERSION:COUNT
//   pub:KEYID:ALGO:BITS:CREATED:EXPIRES:FLAGS
//   uid:ESCAPED USER ID:CREATED:EXPIRES:FLAGS
// KEYID is a fingerprint or a key ID in hex; dates are seconds since 1970;
// FLAGS holds r (revoked), d (disabled) and e (expired). The listing comes
// from the network: whatever it holds, reading it never fails.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace net {

struct IndexedKey {
    QString keyId;  // upper-case hex: 40 or 64 digits of a fingerprint, or 16 of a key ID
    qint64 created = 0, expires = 0;
    bool revoked = false, disabled = false, expired = false;
    QStringList userIds;
};

// At most this many keys are read from one listing.
constexpr std::size_t kMaxIndexedKeys = 500;

// The keys of a listing, in its order. A "pub" line whose key ID is not hex
// of a known length is skipped with its user IDs.
std::vector<IndexedKey> parseKeyIndex(const QByteArray& listing);

}  // namespace net
