#pragma once
// The facts the key list's details pane shows about one key: its
// fingerprint, and the primary key and each subkey with its use.
#include <optional>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace sdk {

struct KeyPart {
    std::string keyId;      // "0x" and 16 hex digits
    std::string use;        // "sign, certify", "encrypt", ...
    std::string algorithm;  // "RSA", "EdDSA", ...
    int bits = 0;
    PGPTime created = 0, expires = 0;  // expires 0: never
    bool revoked = false, expired = false, secret = false;
};

struct KeyDetails {
    std::string fingerprint;  // hex digits
    std::string userId;
    std::vector<KeyPart> parts;  // the primary key first
};

// The key with this key ID or fingerprint in the open rings; nothing when
// the rings hold no such key (nothing is told: the list may be stale).
std::optional<KeyDetails> keyDetails(const std::string& keyIdText);

// Hex digits in groups of four: "ABCD 0123 ...".
std::string groupedFingerprint(const std::string& hex);

}  // namespace sdk
