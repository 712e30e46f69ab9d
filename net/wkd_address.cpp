#include "net/wkd_address.h"

#include <QCryptographicHash>

namespace net {

namespace {

QString zBase32(const QByteArray& bytes)
{
    static const char alphabet[] = "ybndrfg8ejkmcpqxot1uwisza345h769";
    QString out;
    int buffer = 0, bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | static_cast<unsigned char>(c);
        bits += 8;
        while (bits >= 5) {
            out += QChar(alphabet[(buffer >> (bits - 5)) & 31]);
            bits -= 5;
        }
    }
    if (bits > 0)
        out += QChar(alphabet[(buffer << (5 - bits)) & 31]);
    return out;
}

// Only ASCII letters are folded, as the draft asks (and gpg does).
QByteArray asciiLower(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    for (char& c : utf8)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return utf8;
}

}  // namespace

QString wkdHash(const QString& localPart)
{
    return zBase32(QCryptographicHash::hash(asciiLower(localPart), QCryptographicHash::Sha1));
}

std::optional<WkdUrls> wkdUrls(const QString& address)
{
    const qsizetype at = address.indexOf('@');
    if (at <= 0 || at != address.lastIndexOf('@'))
        return std::nullopt;
    const QString local = address.left(at);
    const QString domain = QString::fromUtf8(asciiLower(address.mid(at + 1)));
    if (!domain.contains('.') || domain.startsWith('.') || domain.endsWith('.') || domain.contains('/'))
        return std::nullopt;
    const QString hash = wkdHash(local);
    const QString query = "l=" + QString::fromUtf8(QUrl::toPercentEncoding(local));
    WkdUrls urls;
    urls.advanced = QUrl("https://openpgpkey." + domain + "/.well-known/openpgpkey/" + domain + "/hu/" + hash);
    urls.advanced.setQuery(query, QUrl::StrictMode);
    urls.direct = QUrl("https://" + domain + "/.well-known/openpgpkey/hu/" + hash);
    urls.direct.setQuery(query, QUrl::StrictMode);
    return urls;
}

}  // namespace net
