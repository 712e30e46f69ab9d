#pragma once
// Bounds on what one key may bring into the rings. A key flooded with
// thousands of subkeys, user IDs or certifications (as keyservers were
// flooded) would slow every later command down to seconds; keyservers
// learned to cap such keys, and so does an import here. Self-signatures
// always stay; what goes is named.
#include <rnp/rnp.h>

#include <string>
#include <vector>

namespace pgpsdk {

constexpr std::size_t kMaxSubkeys = 100;
constexpr std::size_t kMaxUserIds = 100;
constexpr std::size_t kMaxCertifications = 100;  // by other keys, on one user ID or the key itself

// Bounds every key of the store that passes a limit, keeping the first of
// its user IDs, subkeys and certifications. One line per bounded key tells
// what was left out. False when a key could not be put back.
bool boundFloodedKeys(rnp_ffi_t ffi, std::vector<std::string>& notes);

}  // namespace pgpsdk
