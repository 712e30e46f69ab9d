// Committing and reverting the changes to an open key ring pair.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <limits>

#include "boundary.h"
#include "entry_point.h"
#include "file_output.h"
#include "key_model.h"
#include "ring_changes.h"
#include "ring_files.h"
#include "ring_lock.h"
#include "ring_sync.h"
#include "platform/parent_folder.h"

namespace pgpsdk {

namespace {

// One ring file written under a temporary name in its folder.
PGPError writeRing(rnp_ffi_t ffi, std::uint32_t which, FileOutput& file)
{
    if (PGPError e = file.open())
        return e;
    OutputHandle out(rnpOutputTo(file));
    if (!out)
        return kPGPError_OutOfMemory;
    const rnp_result_t saved = rnp_save_keys(ffi, "GPG", out.get(), which);
    out.reset();
    if (PGPError e = file.failure())
        return e;
    if (saved != RNP_SUCCESS)
        return kPGPError_WriteFailed;
    return file.prepare(true);
}

// The file as it is now, kept as FILE.bak: a second name for the same
// file where the file system allows it, else a copy.
PGPError keepBackup(const std::string& target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_regular_file(target, ec))
        return kPGPError_NoErr;  // nothing to keep yet
    const std::string backup = target + ".bak";
    if (fs::equivalent(target, backup, ec))
        return kPGPError_NoErr;  // a commit that stopped after the backup: it holds these bytes already
    const std::string temp = backup + ".tolv-" + std::to_string(::getpid());
    fs::remove(temp, ec);
    if (::link(target.c_str(), temp.c_str()) != 0 &&
        !fs::copy_file(target, temp, fs::copy_options::overwrite_existing, ec))
        return kPGPError_WriteFailed;
    if (::rename(temp.c_str(), backup.c_str()) != 0) {
        fs::remove(temp, ec);
        return kPGPError_WriteFailed;
    }
    return kPGPError_NoErr;
}

void syncFolder(const std::string& file)
{
    const int fd = ::open(platform::parentFolder(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

namespace {

// Writes both files and puts them in place; the caller holds the lock.
PGPError writeRingPair(KeyStore& store, const std::string& pubFile, const std::string& secFile)
{
    constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();
    FileOutput sec(secFile, kNoLimit, true), pub(pubFile, kNoLimit);
    if (PGPError e = writeRing(store.ffi.get(), RNP_LOAD_SAVE_SECRET_KEYS, sec))
        return e;
    if (PGPError e = writeRing(store.ffi.get(), RNP_LOAD_SAVE_PUBLIC_KEYS, pub))
        return e;
    if (PGPError e = keepBackup(secFile))
        return e;
    if (PGPError e = keepBackup(pubFile))
        return e;
    // The secret ring first: were the second rename to fail, a new key
    // pair would still be whole in it (its public part included). Readers
    // take the lock shared, so none sees one file new and the other old.
    if (PGPError e = sec.publish())
        return e;
    if (PGPError e = pub.publish())
        return e;
    syncFolder(pubFile);
    if (platform::parentFolder(secFile) != platform::parentFolder(pubFile))
        syncFolder(secFile);
    return kPGPError_NoErr;
}

}  // namespace

PGPError commitRingPair(const StoreRef& store, const CoreRef& core)
{
    RingLock lock;
    if (PGPError e = lock.acquire(store->pubPath, store->secPath, true))
        return e;
    const std::string pubFile = ringTarget(store->pubPath), secFile = ringTarget(store->secPath);
    removeWriterLeftovers(secFile);
    removeWriterLeftovers(pubFile);
    bool changed = false;
    if (filesMoved(*store))
        if (PGPError e = absorbFileChanges(store, core, changed))
            return e;
    if (PGPError e = writeRingPair(*store, pubFile, secFile))
        return e;
    store->pubStamp = stampOf(pubFile);
    store->secStamp = stampOf(secFile);
    store->pending.clear();
    store->dirty = false;
    return kPGPError_NoErr;
}

}  // namespace pgpsdk

using namespace pgpsdk;

namespace {

// Runs change on the store of a changeable set, under the context's lock,
// when the store has changes (or always, with always); nothing to do
// otherwise.
template <typename Change> PGPError withStore(PGPKeySetRef keySet, bool always, Change change)
{
    return onObject<KeySet>(keySet, Tag::KeySet, true, [&](KeySet* set) -> PGPError {
        StoreRef store;
        if (PGPError e = changeableStore(*set, store))
            return e;
        return store->dirty || always ? change(store, set->core) : kPGPError_NoErr;
    });
}

}  // namespace

extern "C" {

PGPError PGPCommitKeyRingChanges(PGPKeySetRef keySet)
{
    return withStore(keySet, false, commitRingPair);
}

PGPError PGPRevertKeyRingChanges(PGPKeySetRef keySet)
{
    return withStore(keySet, false, [](const StoreRef& store, const CoreRef&) -> PGPError {
        // A new store from the files; objects of the old one keep it alive.
        LoadedRings loaded;
        if (PGPError e = loadRingPair(store->pubPath, store->secPath, loaded))
            return e;
        KeySet* ring = store->ring;
        store->ring = nullptr;
        if (ring) {
            ring->store = loaded.store;
            ring->retired.insert(ring->retired.end(), ring->keys.begin(), ring->keys.end());
            ring->keys = buildKeys(ring->core, loaded.store);
            ring->indexed = false;
            loaded.store->ring = ring;
        }
        return kPGPError_NoErr;
    });
}

PGPError tolvSyncKeyRing(PGPKeySetRef keySet, PGPBoolean* changed)
{
    if (changed)
        *changed = 0;
    return withStore(keySet, true, [&](const StoreRef& store, const CoreRef& core) -> PGPError {
        if (!filesMoved(*store))
            return kPGPError_NoErr;
        RingLock lock;
        if (PGPError e = lock.acquire(store->pubPath, store->secPath, false))
            return e;
        bool moved = false;
        const PGPError e = absorbFileChanges(store, core, moved);
        if (changed)
            *changed = moved;
        return e;
    });
}

PGPBoolean PGPKeySetNeedsCommit(PGPKeySetRef keySet)
{
    const PGPError e = onObject<KeySet>(keySet, Tag::KeySet, true, [&](KeySet* set) -> PGPError {
        return set->store && set->store->dirty ? kPGPError_NoErr : kPGPError_ItemNotFound;
    });
    return e == kPGPError_NoErr ? 1 : 0;
}

}  // extern "C"
