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
// to the SDK's file error codes. stamp (when given) receives what the
// file was when read.
PGPError readKeyFile(const std::string& path, std::vector<char>& out, FileStamp* stamp = nullptr);

// Loads both files into a new store: every sound key, with a count of the
// damaged ones left out. File errors map to the SDK's file error codes.
// Takes the ring lock shared, so that it never reads one file from
// before a writer's commit and the other from after it.
PGPError loadRingPair(const std::string& pubPath, const std::string& secPath, LoadedRings& out);
// The same, for a caller that holds the ring lock already.
PGPError loadRingFiles(const std::string& pubPath, const std::string& secPath, LoadedRings& out);

// Writes the store's keys back to its two files, under the exclusive ring
// lock. When another writer changed the files since the store read them,
// their keys are taken in first (absorbFileChanges), so that no writer's
// change is lost. Both files are written and flushed under temporary
// names; only then is each old file kept as FILE.bak and the new one
// renamed over it, the secret ring first. A failure before that point
// leaves both files as they were. A ring that is a symbolic link is
// written through to its target, with the backup beside the target.
PGPError commitRingPair(const StoreRef& store, const CoreRef& core);

}  // namespace pgpsdk
