#pragma once
// Taking in what other writers put in a ring pair's files since a store
// last read or wrote them, without losing the store's own pending changes.
#include <sys/stat.h>

#include <string>

#include "objects.h"

namespace pgpsdk {

// The file's identity, size and times now; exists is false when it is not there.
FileStamp stampOf(const std::string& path);
FileStamp stampOf(const struct stat& st);

// Whether either file differs from what the store last read or wrote.
bool filesMoved(const KeyStore& store);

// Reads both files (the caller holds the ring lock) and brings the store
// up to them, key by key:
// - a key the store changed (pending) keeps those changes and gains what
//   the file adds to it (user IDs, certifications, subkeys), unless the
//   store removed it;
// - any other key is taken as the file has it: added, replaced or removed.
// The ring's key set follows. changed tells whether any key changed.
PGPError absorbFileChanges(const StoreRef& store, const CoreRef& core, bool& changed);

}  // namespace pgpsdk
