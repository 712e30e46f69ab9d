#pragma once
// The rows of the key list: each key, under it its user IDs, under each
// user ID the certifications made by keys of the ring.
#include <cstdint>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

// The validity dots tell a key's state: green valid and certified, yellow
// valid but not certified, grey expired, red revoked.
enum class KeyTreeIcon : std::int32_t {
    None = 0,
    Key = 1,
    UserId = 2,
    Signature = 3,
    ValidityDot = 4,
    UncertifiedDot = 5,
    ExpiredDot = 6,
    RevokedDot = 7,
};
constexpr int kKeyTreeIconCount = 8;

struct KeyTreeRow {
    std::string Name;
    KeyTreeIcon Icon = KeyTreeIcon::None;
    std::int32_t Level = 0;  // negative: shown collapsed
    std::string Validity;    // never filled
    KeyTreeIcon ValidityIcon = KeyTreeIcon::None;
    std::int32_t Trust = 0;  // never filled
    std::int32_t Size = 0;   // 0: blank
    std::string Description;
    std::string KeyIDText;
    std::string Expiration;  // day.month.year the key expires; empty: never
    PGPTime Creation = 0;    // 0: blank
    std::int32_t ADK = 0;    // never filled
    bool IsRevoked = false, IsSecret = false, IsDisabled = false, IsExpired = false, HasUnverifiedRevocation = false;
    std::string Algorithm;
    std::int32_t AlgorithmID = 0;
    std::size_t NameLength = 0;
    std::string Fingerprint;  // key rows: upper-case hex; empty for the others
};

using KeyTreeList = std::vector<KeyTreeRow>;

// Reads the open key rings in the given ordering (run on a worker thread).
KeyTreeList fillKeyTree(std::int32_t ordering);

// The description of a key row.
std::string keyDescription(std::int32_t algorithmId, bool secret, bool revoked, bool expired, bool disabled);
// The description of a certification row, from its properties.
std::string signatureDescription(bool revoked, bool sound, bool checked, bool verified, bool exportable,
                                 std::int32_t trustLevel);
// "RSA", "DSA", "EdDSA", ... or empty.
std::string algorithmName(std::int32_t algorithmId);
// day.month.four-digit year (UTC), empty for 0.
std::string creationDateText(PGPTime seconds);
// The validity dot of a key in the given state.
KeyTreeIcon validityIcon(bool revoked, bool expired, PGPInt32 validity);

// The ordering a double click on a column asks for; -1 keeps the current one.
std::int32_t orderingForColumn(int column);
