#pragma once
// Reading a key ring pair from its two files, and writing it back.
#include <string>
#include <vector>

#include "objects.h"

namespace pgpsdk {

struct LoadedRings {
    StoreRef store;  // remembers the two paths
    PGPUInt32 skippedPublic = 0;
    PGPUInt32 skippedSecret = 0;
};

// Reads a key file whole (a regular file only, never a pipe). Errors map
// to the SDK's file error codes.
PGPError readKeyFile(const std::string& path, std::vector<char>& out);

// Loads both files into a new store: every sound key, with a count of the
// damaged ones left out. File errors map to the SDK's file error codes.
PGPError loadRingPair(const std::string& pubPath, const std::string& secPath, LoadedRings& out);

// Writes the store's keys back to its two files. Both are written and
// flushed under temporary names first; only then is each old file kept as
// FILE.bak and the new one renamed over it, the secret ring first. A
// failure before that point leaves both files as they were.
PGPError commitRingPair(KeyStore& store);

}  // namespace pgpsdk
