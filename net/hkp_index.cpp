#include "net/hkp_index.h"

#include <algorithm>
#include <cctype>

namespace net {

namespace {

constexpr qsizetype kMaxUserIdsPerKey = 100;

QString hexKeyId(const QByteArray& field)
{
    QByteArray hex = field.trimmed().toUpper();
    if (hex.startsWith("0X"))
        hex = hex.mid(2);
    const bool allHex = std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    const bool knownLength = hex.size() == 16 || hex.size() == 40 || hex.size() == 64;
    return allHex && knownLength ? QString::fromLatin1(hex) : QString();
}

qint64 date(const QByteArray& field)
{
    bool ok = false;
    const qint64 t = field.trimmed().toLongLong(&ok);
    return ok && t > 0 ? t : 0;
}

// The user ID's text: the listing escapes ":" and bytes outside ASCII as %XX.
QString userIdText(const QByteArray& field)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field)).trimmed();
}

IndexedKey keyOf(const QList<QByteArray>& f)
{
    IndexedKey k;
    k.keyId = hexKeyId(f.value(1));
    k.created = date(f.value(4));
    k.expires = date(f.value(5));
    const QByteArray flags = f.value(6);
    k.revoked = flags.contains('r');
    k.disabled = flags.contains('d');
    k.expired = flags.contains('e');
    return k;
}

}  // namespace

std::vector<IndexedKey> parseKeyIndex(const QByteArray& listing)
{
    std::vector<IndexedKey> keys;
    bool inKey = false;  // whether uid lines belong to a key that was kept
    for (const QByteArray& rawLine : listing.split('\n')) {
        const QByteArray line = rawLine.endsWith('\r') ? rawLine.chopped(1) : rawLine;
        const QList<QByteArray> f = line.split(':');
        if (f.value(0) == "pub") {
            if (keys.size() == kMaxIndexedKeys)
                break;
            IndexedKey k = keyOf(f);
            inKey = !k.keyId.isEmpty();
            if (inKey)
                keys.push_back(std::move(k));
        } else if (f.value(0) == "uid" && inKey && keys.back().userIds.size() < kMaxUserIdsPerKey) {
            const QString uid = userIdText(f.value(1));
            if (!uid.isEmpty())
                keys.back().userIds << uid;
        }
    }
    return keys;
}

}  // namespace net
