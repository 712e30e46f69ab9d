// File specs and opening a key ring pair.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "boundary.h"
#include "entry_point.h"
#include "ring_import.h"
#include "ring_lock.h"
#include "ring_sync.h"
#include "ring_files.h"
#include "signature_cache.h"
#include "key_model.h"
#include "objects.h"

using namespace pgpsdk;

namespace pgpsdk {

PGPError readKeyFile(const std::string& path, std::vector<char>& out, FileStamp* stamp)
{
    // Never blocks on a pipe: anything but a regular file is refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return kPGPError_FileNotFound;
        if (errno == EACCES || errno == EPERM)
            return kPGPError_FilePermissions;
        return kPGPError_CantOpenFile;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kPGPError_CantOpenFile;
    }
    if (stamp)
        *stamp = stampOf(st);
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return kPGPError_ReadFailed;
        }
        done += static_cast<std::size_t>(n);
    }
    // A file with more bytes than its stated size (/proc and the like) is
    // no ring file.
    char extra;
    const bool longer = ::read(fd, &extra, 1) > 0;
    ::close(fd);
    return longer ? kPGPError_CantOpenFile : kPGPError_NoErr;
}

PGPError loadRingPair(const std::string& pubPath, const std::string& secPath, LoadedRings& out)
{
    RingLock lock;
    if (PGPError e = lock.acquire(pubPath, secPath, false))
        return e;
    return loadRingFiles(pubPath, secPath, out);
}

PGPError loadRingFiles(const std::string& pubPath, const std::string& secPath, LoadedRings& out)
{
    std::vector<char> pubBytes, secBytes;
    FileStamp pubStamp, secStamp;
    if (PGPError e = readKeyFile(pubPath, pubBytes, &pubStamp))
        return e;
    if (PGPError e = readKeyFile(secPath, secBytes, &secStamp))
        return e;
    FfiHandle ownedFfi = newFfi();
    if (!ownedFfi)
        return kPGPError_OutOfMemory;
    rnp_ffi_t ffi = ownedFfi.get();
    auto store = std::make_shared<KeyStore>(std::move(ownedFfi), SignatureCache::forRing(pubPath));
    if (store->signatures)
        store->signatures->attachTo(ffi);
    store->pubPath = pubPath;
    store->secPath = secPath;
    store->pubStamp = pubStamp;
    store->secStamp = secStamp;
    const RingImport pubImport = importRing(ffi, pubBytes, RNP_LOAD_SAVE_PUBLIC_KEYS);
    RingImport secImport;
    if (!pubImport.error)
        secImport = importRing(ffi, secBytes, RNP_LOAD_SAVE_PUBLIC_KEYS | RNP_LOAD_SAVE_SECRET_KEYS);
    // The secret ring's bytes are wiped: they hold (protected) key material.
    wipeMemory(secBytes.data(), secBytes.size());
    if (PGPError e = pubImport.error ? pubImport.error : secImport.error)
        return e;
    out.store = store;
    out.skippedPublic = pubImport.skipped;
    out.skippedSecret = secImport.skipped;
    return kPGPError_NoErr;
}

}  // namespace pgpsdk

extern "C" {

PGPError PGPNewFileSpecFromFullPath(PGPContextRef context, const char* path, PGPFileSpecRef* ref)
{
    return onObject<Context>(context, Tag::Context, path && ref, [&](Context* ctx) -> PGPError {
        *ref = nullptr;
        if (!*path)
            return kPGPError_BadParams;
        auto spec = std::make_unique<FileSpec>();
        spec->core = ctx->core;
        spec->path = path;
        *ref = reinterpret_cast<PGPFileSpecRef>(spec.release());
        return kPGPError_NoErr;
    });
}

PGPError PGPFreeFileSpec(PGPFileSpecRef ref)
{
    return freeObject<FileSpec>(ref, Tag::FileSpec);
}

PGPError PGPOpenKeyRingPair(PGPContextRef context, PGPUInt32 flags, PGPFileSpecRef pubFileRef,
                            PGPFileSpecRef secFileRef, PGPKeySetRef* keySet)
{
    auto* pub = as<FileSpec>(pubFileRef, Tag::FileSpec);
    auto* sec = as<FileSpec>(secFileRef, Tag::FileSpec);
    return onObject<Context>(context, Tag::Context, pub && sec && keySet, [&](Context* ctx) -> PGPError {
        *keySet = nullptr;
        LoadedRings loaded;
        if (PGPError e = loadRingPair(pub->path, sec->path, loaded))
            return e;
        auto set = std::make_unique<KeySet>();
        set->core = ctx->core;
        set->store = loaded.store;
        set->keys = buildKeys(ctx->core, loaded.store);
        set->isMutable = (flags & kPGPKeyRingOpenFlags_Mutable) != 0;
        set->skippedPublic = loaded.skippedPublic;
        set->skippedSecret = loaded.skippedSecret;
        loaded.store->ring = set.get();
        *keySet = reinterpret_cast<PGPKeySetRef>(set.release());
        return kPGPError_NoErr;
    });
}

PGPError tolvGetSignatureCacheCounts(PGPKeySetRef keySet, PGPUInt32* found, PGPUInt32* recorded)
{
    return onObject<KeySet>(keySet, Tag::KeySet, found && recorded, [&](KeySet* set) -> PGPError {
        const auto& cache = set->store ? set->store->signatures : nullptr;
        *found = cache ? static_cast<PGPUInt32>(cache->hits()) : 0;
        *recorded = cache ? static_cast<PGPUInt32>(cache->recorded()) : 0;
        return kPGPError_NoErr;
    });
}

PGPError tolvGetSkippedKeys(PGPKeySetRef keySet, PGPUInt32* pubSkipped, PGPUInt32* secSkipped)
{
    return onObject<KeySet>(keySet, Tag::KeySet, pubSkipped && secSkipped, [&](KeySet* set) -> PGPError {
        *pubSkipped = set->skippedPublic;
        *secSkipped = set->skippedSecret;
        return kPGPError_NoErr;
    });
}

}  // extern "C"
