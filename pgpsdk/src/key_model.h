// Builds the SDK's key objects from a loaded librnp key store.
#pragma once

#include <string>
#include <vector>

#include "objects.h"

namespace pgpsdk {

// Every primary key of the store, with user IDs, certifications and
// validity worked out against the other keys of the same store.
std::vector<KeyRef> buildKeys(const CoreRef& core, const StoreRef& store);

// The object of one primary key (it takes over handle).
KeyRef buildKey(const CoreRef& core, const StoreRef& store, rnp_key_handle_t handle);

// Works out each key's validity against the usable key pairs among keys.
void assignValidity(std::vector<KeyRef>& keys);

// Hex digits in upper case, as key IDs are compared here.
std::string upperHex(std::string s);

// Key ID bytes <-> the SDK's PGPKeyID record and hex text.
void keyIdFromHex(const std::string& hex, PGPKeyID& out);
std::string hexFromKeyId(const PGPKeyID& id);

}  // namespace pgpsdk
