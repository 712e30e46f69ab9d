#include "ring_sync.h"

#include <sys/stat.h>

#include <unordered_set>

#include "key_image.h"
#include "ring_changes.h"
#include "ring_files.h"

namespace pgpsdk {

FileStamp stampOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp {};
}

FileStamp stampOf(const struct stat& st)
{
    FileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

bool filesMoved(const KeyStore& store)
{
    return stampOf(store.pubPath) != store.pubStamp || stampOf(store.secPath) != store.secStamp;
}

namespace {

// What the files ask of each key of the store.
struct Plan {
    std::vector<std::string> replace;  // the file's version wins: removed here, then taken in
    std::vector<std::string> merge;    // changed here too: the file's version is merged in
    std::vector<std::string> add;      // only in the files
    std::vector<std::string> remove;   // removed from the files by another writer
};

Plan planFor(const KeyStore& store, rnp_ffi_t theirs)
{
    Plan plan;
    rnp_ffi_t ours = store.ffi.get();
    std::unordered_set<std::string> onDisk;
    for (const std::string& fp : primaryFingerprints(theirs)) {
        onDisk.insert(fp);
        const auto pending = store.pending.find(fp);
        if (pending != store.pending.end() && pending->second)
            continue;  // removed here: it stays removed
        KeyImage mine, image;
        const bool here = imageOf(ours, fp, mine);
        if (here && imageOf(theirs, fp, image) && mine.bytes == image.bytes)
            continue;
        auto& list = !here ? plan.add : pending == store.pending.end() ? plan.replace : plan.merge;
        list.push_back(fp);
    }
    for (const std::string& fp : primaryFingerprints(ours))
        if (!onDisk.count(fp) && !store.pending.count(fp))
            plan.remove.push_back(fp);
    return plan;
}

bool carry(rnp_ffi_t from, rnp_ffi_t to, const std::string& fp)
{
    KeyImage image;
    return imageOf(from, fp, image) && importImage(to, image);
}

}  // namespace

PGPError absorbFileChanges(const StoreRef& store, const CoreRef& core, bool& changed)
{
    changed = false;
    LoadedRings disk;
    if (PGPError e = loadRingFiles(store->pubPath, store->secPath, disk))
        return e;
    rnp_ffi_t ours = store->ffi.get(), theirs = disk.store->ffi.get();
    const Plan plan = planFor(*store, theirs);
    std::vector<std::string> gone = plan.replace;
    gone.insert(gone.end(), plan.remove.begin(), plan.remove.end());
    retireKeys(*store, gone, true);
    retireKeys(*store, plan.merge, false);
    bool ok = true;
    for (const std::string& fp : gone)
        ok = removeWholeKey(ours, fp) && ok;
    for (const auto* list : {&plan.replace, &plan.merge, &plan.add})
        for (const std::string& fp : *list)
            ok = carry(theirs, ours, fp) && ok;
    std::vector<std::string> affected = gone;
    affected.insert(affected.end(), plan.merge.begin(), plan.merge.end());
    affected.insert(affected.end(), plan.add.begin(), plan.add.end());
    if (!affected.empty())
        refreshRing(store, core, affected, false);
    store->pubStamp = disk.store->pubStamp;
    store->secStamp = disk.store->secStamp;
    changed = !affected.empty();
    return ok ? kPGPError_NoErr : kPGPError_UnknownError;
}

}  // namespace pgpsdk
