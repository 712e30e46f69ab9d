#pragma once
// What the look-ups share: the limits of each request and the keyserver a
// setting names.
#include <QString>
#include <QUrl>

#include <optional>

#include "sdk/key_search.h"

namespace sdk {

constexpr int kLookupTimeoutMs = 15000;
constexpr qint64 kLookupMaxBytes = 4 << 20;

// The keyserver's base address, or nothing with a note in result saying
// why the setting names none.
std::optional<QUrl> keyserverOrNote(const QString& setting, LookupResult& result);

}  // namespace sdk
