#pragma once
// Changes to the open key rings: new keys, imported keys, deleted keys, a
// new passphrase, certifications and revocations. Each change is written to
// the ring files at once (a failed write undoes it in memory too), every
// failure is told through the front end, and after a change the front end
// hears that the keys changed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/secret_text.h"

namespace sdk {

// Ed25519V6: an RFC 9580 (v6) key, Ed25519 with an X25519 subkey, for
// peers that read v6 keys; the others are v4 keys.
enum class KeyAlgorithm { Ed25519, Rsa3072, Rsa4096, Ed25519V6 };

// The algorithms a new key may have, in the order offered, with the name
// the windows show and the one tolv-cli takes.
struct KeyAlgorithmName {
    KeyAlgorithm algorithm;
    const char* shown;   // "RSA 3072"
    const char* option;  // "rsa3072"
};
const std::vector<KeyAlgorithmName>& keyAlgorithmNames();
// The algorithm either name stands for; Ed25519 for none.
KeyAlgorithm keyAlgorithmNamed(const std::string& name);

struct NewKey {
    std::string name, email;
    KeyAlgorithm algorithm = KeyAlgorithm::Ed25519;
    std::uint32_t expiryDays = 3 * 365;  // 0: never
    SecretText passphrase;               // empty: unprotected (the caller asked the user)
};

// Generates a key pair: a signing key and an encryption subkey of the
// algorithm. The new key's fingerprint, or empty on failure.
std::string generateKey(const NewKey& key);

struct ImportCounts {
    std::uint32_t added = 0, updated = 0, unchanged = 0;
    std::vector<std::string> leftOut;  // what was left out, and why: one line each
    std::vector<std::string> names;    // the primary user IDs of the keys read, in order
};

// Imports the keys of a file, or of a text (armoured or binary), merging
// keys already in the rings. Nothing on failure; garbage changes nothing.
std::optional<ImportCounts> importKeyFile(const std::string& path);
std::optional<ImportCounts> importKeyText(const std::string& bytes);

// Imports each file that can be: the counts summed, each left-out line
// starting with its file. anyRead: some file gave keys; anyFailed: some
// file could not be imported (the user was told why).
struct ImportTotals {
    ImportCounts counts;
    bool anyRead = false, anyFailed = false;
};
ImportTotals importKeyFiles(const std::vector<std::string>& paths);

// "imported: N new, M updated, K unchanged"
std::string importSummary(const ImportCounts& counts);
// "Imported: N new, M updated, K unchanged (Name, Name and 2 more)": the
// one line that confirms an import.
std::string importConfirmation(const ImportCounts& counts);

// Deletes the key text selects (as for export). A key with a secret part is
// deleted only with pair set: both parts go. A key without one is deleted
// either way.
bool deleteKey(const std::string& text, bool pair);

// Changes the passphrase of the key pair text selects.
bool changeKeyPassphrase(const std::string& text, const SecretText& old, const SecretText& fresh);

// Certifies every user ID of the key text selects with the key pair
// certifier selects, unlocked with passphrase; a local certification (not
// exportable) when exportable is false.
bool certifyKey(const std::string& text, const std::string& certifier, const SecretText& passphrase,
                bool exportable = true);

// Revokes the key pair text selects, unlocked with passphrase.
bool revokeKey(const std::string& text, const SecretText& passphrase);


}  // namespace sdk
