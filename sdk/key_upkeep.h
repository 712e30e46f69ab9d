#pragma once
// Looking after one's own key pairs over the years: expiry dates, user IDs,
// subkeys, revocation certificates, and the local certification that says
// "I checked this key". Each change is written to the ring files at once,
// each failure told through the front end, as for the other key changes.
#include <cstdint>
#include <string>

#include "platform/secret_text.h"
#include "sdk/key_changes.h"

namespace sdk {

// When the key pair text selects expires (0: never): its primary key, or
// with subkeyId (hex, with or without "0x") that subkey.
bool setKeyExpiry(const std::string& text, const std::string& subkeyId, std::int64_t expiration,
                  const SecretText& passphrase);

bool addUserId(const std::string& text, const std::string& userId, const SecretText& passphrase);
bool makePrimaryUserId(const std::string& text, const std::string& userId, const SecretText& passphrase);
// reason: why (may be empty); the user ID is said to be no longer valid.
bool revokeUserId(const std::string& text, const std::string& userId, const std::string& reason,
                  const SecretText& passphrase);

enum class SubkeyUse { Sign, Encrypt };
bool addSubkey(const std::string& text, SubkeyUse use, KeyAlgorithm algorithm, std::uint32_t expiryDays,
               const SecretText& passphrase);
bool revokeSubkey(const std::string& text, const std::string& subkeyId, const std::string& reason,
                  const SecretText& passphrase);

// A local certification of every user ID of the key text selects, by the
// key pair certifier selects: the key counts as checked here, and the
// certification is never exported.
bool verifyKey(const std::string& text, const std::string& certifier, const SecretText& passphrase);

// The armoured revocation certificate of the key pair text selects; empty
// on failure (told).
std::string revocationCertificate(const std::string& text, const SecretText& passphrase);

// Where the revocation certificate of a new key is kept: the folder
// "revocations" beside the settings file, FINGERPRINT.rev.
std::string revocationPath(const std::string& fingerprint);

// Writes the certificate there, with a short explanation at the top, for
// its owner alone (mode 0600); false (told) on failure.
bool keepRevocationCertificate(const std::string& fingerprint, const std::string& certificate);

}  // namespace sdk
