#pragma once
// One key of a store as librnp writes it (public, then secret, with its
// subkeys): to tell whether a key changed, and to carry it to another store.
#include <rnp/rnp.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pgpsdk {

// Wiped when it goes: it may hold secret key packets.
struct KeyImage {
    std::vector<std::uint8_t> bytes;
    KeyImage() = default;
    KeyImage(KeyImage&&) = default;
    KeyImage& operator=(KeyImage&&) = default;
    ~KeyImage();
};

// False when the store has no key of that fingerprint.
bool imageOf(rnp_ffi_t ffi, const std::string& fingerprint, KeyImage& image);

// Merges the image into the store, as an import does.
bool importImage(rnp_ffi_t ffi, const KeyImage& image);

// Removes the key (public and secret parts, with its subkeys) from the store.
bool removeWholeKey(rnp_ffi_t ffi, const std::string& fingerprint);

}  // namespace pgpsdk
