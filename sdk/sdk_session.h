#pragma once
// The process-wide SDK state and the operations that load and unload the
// SDK library, make the context and open the key rings. Every state change
// happens under the session's lock; messages are shown after the lock is
// released, so a prompt on the GUI thread never waits for a worker that
// holds the lock.
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"
#include "platform/dynamic_library.h"

namespace sdk {

struct SdkSessionState {
    platform::LibraryHandle LibraryHandle = nullptr;
    bool LibraryLoaded = false;
    std::int32_t UseCount = 0;
    PGPContextRef Context = nullptr;
    PGPKeySetRef KeySet = nullptr;
};

// Keeps the loaded library mapped while blocks it handed out are alive:
// unloading lets go of the session's lease, and the library is closed when
// the last block that came from it has been freed.
class LibraryLease {
public:
    LibraryLease(platform::LibraryHandle handle, PGPError (*freeFn)(void*)) : handle_(handle), freeData_(freeFn) {}
    ~LibraryLease();
    LibraryLease(const LibraryLease&) = delete;
    LibraryLease& operator=(const LibraryLease&) = delete;
    void freeData(void* data) const
    {
        if (data && freeData_)
            freeData_(data);
    }

private:
    platform::LibraryHandle handle_;
    PGPError (*freeData_)(void*);
};

// The lease of the library loaded now (null when none).
std::shared_ptr<LibraryLease> currentLibraryLease();

// A copy of the session's state, for display and tests.
SdkSessionState sessionSnapshot();

std::int32_t Load_PGP();
std::int32_t UnLoad_PGP();
std::int32_t PGP_LoadRings();
std::int32_t PGP_LoadKeys();
std::int32_t OpenSessionKeyRings(const std::string& pubRing, const std::string& secRing);
void PGP_UnloadKeys();
void PGP_FreeContext();
std::string PGP_ErrorText(PGPError code);

// Counts one SDK operation in flight (an encode, a decode, a key-list
// fill) from its start to its end; unloading the library is refused
// meanwhile. It holds the context and the key set the operation was given:
// key rings unloaded meanwhile are freed only when the last operation ends.
class SdkUse {
public:
    SdkUse();
    ~SdkUse();
    SdkUse(const SdkUse&) = delete;
    SdkUse& operator=(const SdkUse&) = delete;

    // Opens the key rings when needed (PGP_LoadKeys); false (after its
    // message) when that fails.
    bool loadKeys();
    PGPContextRef context() const { return context_; }
    PGPKeySetRef keySet() const { return keySet_; }

private:
    PGPContextRef context_ = nullptr;
    PGPKeySetRef keySet_ = nullptr;
};

// The loaded library's counts of what an import did (Tolv's extension
// beside the table); kPGPError_FeatureNotAvailable from a library without it.
PGPError importCounts(PGPKeySetRef imported, PGPUInt32& added, PGPUInt32& updated, PGPUInt32& unchanged);

// What an import left out: a line for each key that could not be read or
// brought too much (empty from a library without Tolv's extension).
std::vector<std::string> importLeftOut(PGPKeySetRef imported);

// The option that stops a job at its next read once *flag is set; null
// for no flag, or from a library without Tolv's extension.
PGPOptionListRef stopFlagOption(PGPContextRef context, const PGPUInt32* flag);

// Brings the open key rings up to their files when another program or
// window changed them, keeping changes not yet written; changed tells
// whether any key changed. Nothing happens when no rings are open or the
// library has no such extension. Runs SDK work: call it off the GUI thread.
PGPError syncKeyRings(bool& changed);

// The lines that name the rings another program kept locked; writing:
// the change that waited was not made.
QString ringsBusy(const std::string& pubRing, const std::string& secRing, bool writing);

// For tests: forget everything without any SDK call (the library stays mapped).
void resetSessionForTests();

}  // namespace sdk
