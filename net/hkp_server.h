#pragma once
// The requests of an HKP keyserver, over HTTPS only: getting keys by
// address, fingerprint or key ID, listing the keys a text finds, and
// sending a public key.
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace net {

// The server a keyserver setting names: "hkps://host[:port]" or
// "https://host[:port]". Nothing for any other (plain hkp:// or http://).
std::optional<QUrl> keyserverBase(const QString& setting);

// /pks/lookup?op=get&options=mr&search=… for what (an address, or "0x" and
// the hex digits of a fingerprint or key ID).
QUrl keyserverGet(const QUrl& base, const QString& what);

// /pks/lookup?op=index&options=mr&search=…: the keys the server lists for
// what, which may be any text (a name, part of an address).
QUrl keyserverIndex(const QUrl& base, const QString& what);

// /pks/add, and the form that sends an armoured public key to it.
QUrl keyserverAdd(const QUrl& base);
QByteArray keyserverAddForm(const QByteArray& armouredKey);

}  // namespace net
