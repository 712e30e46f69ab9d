#pragma once
// Looking keys up on the network, only when the user asks: by e-mail
// address in the Web Key Directory and on the keyserver, by fingerprint or
// key ID on the keyserver, by any other text in the keyserver's listing.
// Only keys that match what was asked are kept; what is imported goes
// through the same path as a key file.
#include <QString>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/lookup_settings.h"
#include "pgpsdk/pgpsdk.h"
#include "sdk/key_changes.h"

namespace sdk {

enum class QueryKind { Invalid, Address, Fingerprint, KeyId, Text };

struct KeyQuery {
    QueryKind kind = QueryKind::Invalid;
    std::string text;  // the address in lower case, the upper-case hex digits, or the text
};

// An e-mail address (alone, or in the <> of a user ID), 40 hex digits, or
// 16 (or 8) hex digits of a key ID, each with or without "0x" and blanks.
// Any other text of at least 3 characters without "@", "<", ">" or a
// leading "0x" is a Text, for the keyserver's listing.
KeyQuery parseKeyQuery(const std::string& text);

// The address of a user ID, in lower case: what stands in its <>, or the
// whole when it is a bare address; empty for none.
std::string userIdAddress(const std::string& userId);

struct FoundKey {
    std::string fingerprint;  // upper-case hex
    std::vector<std::string> userIds;
    PGPTime created = 0, expires = 0;
    std::string source;    // where it was found
    std::string keyBytes;  // its public packets; none for a key only listed
    bool revoked = false;
};

struct LookupResult {
    std::vector<FoundKey> keys;
    std::vector<std::string> notes;  // failures and what was left out, one line each
    bool serverFailed = false;       // a server could not be asked (not merely had nothing)
};

// Says why an answer brought nothing; a server that was asked and had
// nothing is no failure.
void noteFailedAnswer(const std::string& source, const QString& message, bool notFound, LookupResult& result);

LookupResult lookUpKeys(const KeyQuery& query, const LookupSettings& settings,
                        const std::atomic<bool>* stop = nullptr);

// The keys of bytes (as a server sent them) that match query; what does
// not match is counted into dropped. Keys are read in a set of their own.
std::vector<FoundKey> matchingKeys(const std::string& bytes, const KeyQuery& query, const std::string& source,
                                   int& dropped);

// The keys the keyserver lists for a text (op=index), without their
// packets: fetchListedKeys gets those for the keys chosen.
LookupResult listKeysOnKeyserver(const std::string& text, const QString& keyserver,
                                 const std::atomic<bool>* stop = nullptr);

// Gets each only listed key from the keyserver by its fingerprint (or key
// ID), keeping only that key. Keys that could not be got are left out and
// said in notes.
void fetchListedKeys(std::vector<FoundKey>& keys, const QString& keyserver, std::vector<std::string>& notes,
                     const std::atomic<bool>* stop = nullptr);

// Imports the chosen keys into the open rings, as a key file would be.
std::optional<ImportCounts> importFoundKeys(const std::vector<FoundKey>& keys);

// Looks each key text selects up again (all keys for none) by its
// fingerprint on the keyserver, and in the Web Key Directory for its
// addresses; what was found is imported. notes says what failed.
struct RefreshResult {
    std::optional<ImportCounts> counts;
    std::vector<std::string> notes;
};
RefreshResult refreshKeys(const std::vector<std::string>& texts, const LookupSettings& settings,
                          const std::atomic<bool>* stop = nullptr);

// Sends the public part of the key text selects to the keyserver; false
// (told) on failure.
bool publishKey(const std::string& text, const LookupSettings& settings);

}  // namespace sdk
