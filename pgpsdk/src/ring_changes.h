#pragma once
// Changing the keys of an open ring pair. librnp changes a key in place and
// frees what its handles point into, so each change goes in three steps:
// the objects of the keys it touches are retired first, librnp changes the
// store, and the ring's key set gets new objects for those keys.
#include <string>
#include <vector>

#include "objects.h"

namespace pgpsdk {

// Retires the objects of these keys (by fingerprint): their certifications
// are checked while the handles are still good, then the handles go (a
// removed key's own handle too). A retired object keeps what it showed.
void retireKeys(KeyStore& store, const std::vector<std::string>& fingerprints, bool removed);

// After the change: new objects for these keys replace the old ones in the
// ring's key set, keys gone from the store leave it, new keys join it, and
// validity is worked out again. A change of the store's own (asChange)
// is remembered as pending, and the store needs a commit from now on;
// keys brought in from the files are not. Returns the new objects of the
// keys still in the store.
std::vector<KeyRef> refreshRing(const StoreRef& store, const CoreRef& core,
                                const std::vector<std::string>& fingerprints, bool asChange = true);

// The other keys of the ring that list a subkey of one of these keys (an
// impostor may bind someone else's subkey). A change to these keys can
// move such a subkey's ownership, so their objects are made anew too.
std::vector<std::string> keysSharingSubkeys(const KeyStore& store, const std::vector<std::string>& fingerprints);
void refreshSharing(const StoreRef& store, const CoreRef& core, const std::vector<std::string>& sharing);

// The store behind a key set that may be changed: kPGPError_KeySetImmutable
// for a set opened read-only, kPGPError_BadParams for a set of no ring.
PGPError changeableStore(const KeySet& set, StoreRef& store);

// The store of a key that belongs to an open ring pair and has not been
// removed; kPGPError_ItemNotFound otherwise.
PGPError storeOfKey(const Key& key, StoreRef& store);

// Primary-key fingerprints of every key in an rnp key store.
std::vector<std::string> primaryFingerprints(rnp_ffi_t ffi);

}  // namespace pgpsdk
