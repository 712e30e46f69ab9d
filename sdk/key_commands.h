#pragma once
// Key commands on the open key rings. Each works on the one key that a
// piece of user-ID text selects (as --recipient does), and tells the user
// of any failure through the front end.
#include <functional>
#include <string>

#include "pgpsdk/pgpsdk.h"

namespace sdk {

// The key's fingerprint as 40 upper-case hex digits; empty on failure.
std::string keyFingerprint(const std::string& text);

// Writes the key into the file path, ASCII-armoured or binary; with secret
// its secret key (still protected by its passphrase) instead. The file
// appears only when the export succeeded.
bool exportKeyToFile(const std::string& text, const std::string& path, bool armour, bool secret);

// The public key text selects, ASCII-armoured; empty on failure.
std::string armouredPublicKey(const std::string& text);

// What an export of the key text selects writes, as text: exportTo gets
// the key's set and the output option to add. Empty (told under caption,
// with label) on failure.
std::string exportedText(const char* caption, const char* label, const std::string& text,
                         const std::function<PGPError(PGPContextRef, PGPKeySetRef, PGPOptionListRef)>& exportTo);

}  // namespace sdk
