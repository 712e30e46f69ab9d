// PGPImportKeySet on librnp: keys from a block or a file, on their own or
// merged into an open ring pair, with counts of what they changed.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <unordered_map>

#include "boundary.h"
#include "entry_point.h"
#include "flood_limits.h"
#include "key_image.h"
#include "key_model.h"
#include "options.h"
#include "revocation_import.h"
#include "ring_changes.h"
#include "ring_files.h"
#include "ring_import.h"
#include "signature_cache.h"

using namespace pgpsdk;

namespace {

constexpr std::uint32_t kAllKeys = RNP_LOAD_SAVE_PUBLIC_KEYS | RNP_LOAD_SAVE_SECRET_KEYS;

struct ImportOptions {
    OptionList holder;  // owns the options; releases the target set
    const Option* input = nullptr;
    KeySet* target = nullptr;
};

bool gatherImport(PGPOptionListRef first, va_list args, ImportOptions& out)
{
    const bool ok = takeOptions(first, args, out.holder, [&](const Option& o) {
        switch (o.kind) {
        case OptionKind::InputBuffer:
        case OptionKind::InputFile: out.input = &o; return true;
        case OptionKind::ImportKeysTo: out.target = o.keySet; return true;
        default: return false;
        }
    });
    return ok && out.input;
}

PGPError readInput(const Option& input, std::vector<char>& bytes)
{
    if (input.kind == OptionKind::InputFile)
        return readKeyFile(input.path, bytes);
    const auto* data = static_cast<const char*>(input.input);
    bytes.assign(data, data + input.inputSize);
    return kPGPError_NoErr;
}

// The keys of a store as one block of bytes (each public, then secret),
// made at its full size at once: it may hold secret key packets, and a
// block that grew would leave copies of them behind.
std::vector<char> keysOf(rnp_ffi_t ffi, const std::vector<std::string>& fingerprints)
{
    std::vector<KeyImage> images(fingerprints.size());
    std::size_t size = 0;
    for (std::size_t i = 0; i < fingerprints.size(); ++i)
        if (imageOf(ffi, fingerprints[i], images[i]))
            size += images[i].bytes.size();
    std::vector<char> bytes;
    bytes.reserve(size);
    for (const KeyImage& image : images)
        bytes.insert(bytes.end(), image.bytes.begin(), image.bytes.end());
    return bytes;
}

std::unique_ptr<KeySet> newSet(const CoreRef& core, const StoreRef& store, std::vector<KeyRef> keys)
{
    auto set = std::make_unique<KeySet>();
    set->core = core;
    set->store = store;
    set->keys = std::move(keys);
    return set;
}

// Merges the keys into the ring: the objects of keys already there are
// retired first; the counts compare each key before and after.
std::unique_ptr<KeySet> mergeInto(const StoreRef& store, const CoreRef& core, const std::vector<char>& bytes,
                                  const std::vector<std::string>& fingerprints)
{
    std::unordered_map<std::string, KeyImage> before;
    std::vector<std::string> present;
    for (const std::string& fp : fingerprints) {
        KeyImage image;
        if (imageOf(store->ffi.get(), fp, image)) {
            before.emplace(fp, std::move(image));
            present.push_back(fp);
        }
    }
    retireKeys(*store, present, false);
    importRing(store->ffi.get(), bytes, kAllKeys);
    PGPUInt32 added = 0, updated = 0;
    for (const std::string& fp : fingerprints) {
        auto it = before.find(fp);
        KeyImage after;
        const bool isNew = it == before.end();
        const bool changed = isNew || (imageOf(store->ffi.get(), fp, after) && after.bytes != it->second.bytes);
        added += isNew;
        updated += !isNew && changed;
        if (changed)
            store->pending.emplace(fp, false);  // a change of this store's own, to keep
    }
    auto set = newSet(core, store, refreshRing(store, core, fingerprints, false));
    refreshSharing(store, core, keysSharingSubkeys(*store, fingerprints));
    store->dirty = store->dirty || added || updated;
    set->importedNew = added;
    set->importedUpdated = updated;
    set->importedUnchanged = static_cast<PGPUInt32>(fingerprints.size()) - added - updated;
    return set;
}

// Reads the keys into a store of their own first, so that damaged or
// foreign data changes nothing, and bounds flooded keys there; bytes then
// become the bounded keys. What was left out, and why, goes to leftOut.
PGPError readAlone(std::vector<char>& bytes, rnp_ffi_t scratch, std::vector<std::string>& fingerprints,
                   std::vector<std::string>& leftOut)
{
    const RingImport read = importRing(scratch, bytes, kAllKeys);
    fingerprints = primaryFingerprints(scratch);
    for (const std::string& name : read.leftOut)
        leftOut.push_back(name + ": could not be read");
    if (read.error)
        return read.error;
    if (fingerprints.empty())
        return kPGPError_CorruptKeyRing;
    if (!boundFloodedKeys(scratch, leftOut))
        return kPGPError_UnknownError;
    if (leftOut.size() > read.leftOut.size()) {
        wipeMemory(bytes.data(), bytes.size());
        bytes = keysOf(scratch, fingerprints);
    }
    return kPGPError_NoErr;
}

PGPError importKeys(Context& ctx, const ImportOptions& o, PGPKeySetRef* result)
{
    StoreRef target;
    if (o.target)
        if (PGPError e = changeableStore(*o.target, target))
            return e;
    std::vector<char> bytes;
    if (PGPError e = readInput(*o.input, bytes))
        return e;
    FfiHandle scratch = newFfi();
    if (!scratch)
        return kPGPError_OutOfMemory;
    // The keys' signatures are checked once, while they are read on their
    // own: the ring finds the results when it takes the keys in.
    if (target && target->signatures)
        target->signatures->attachTo(scratch.get());
    std::vector<std::string> fingerprints, leftOut;
    PGPError why = readAlone(bytes, scratch.get(), fingerprints, leftOut);
    if (target)
        scratch.reset();  // the ring reads the bytes itself: its keys need not wait beside the scratch copies
    std::unique_ptr<KeySet> set;
    if (why == kPGPError_CorruptKeyRing && fingerprints.empty() && target &&
        (set = importRevocations(target, ctx.core, bytes))) {
        why = kPGPError_NoErr;  // revocation certificates for keys of the ring
    } else if (!why && target) {
        set = mergeInto(target, ctx.core, bytes, fingerprints);
    } else if (!why) {
        auto store = std::make_shared<KeyStore>(std::move(scratch));
        set = newSet(ctx.core, store, buildKeys(ctx.core, store));
        set->importedNew = static_cast<PGPUInt32>(set->keys.size());
    }
    wipeMemory(bytes.data(), bytes.size());
    if (why)
        return why;
    set->importLeftOut = leftOut;
    *result = reinterpret_cast<PGPKeySetRef>(set.release());
    return kPGPError_NoErr;
}

}  // namespace

extern "C" {

PGPError PGPImportKeySet(PGPContextRef context, PGPKeySetRef* importedKeys, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = withOptions<Context>(context, Tag::Context, [&](Context* ctx) -> PGPError {
        ImportOptions options;
        const bool ok = gatherImport(firstOption, args, options);
        if (!ctx || !importedKeys || !ok)
            return kPGPError_BadParams;
        *importedKeys = nullptr;
        return importKeys(*ctx, options, importedKeys);
    });
    va_end(args);
    return result;
}

PGPError tolvGetImportCounts(PGPKeySetRef imported, PGPUInt32* newKeys, PGPUInt32* updatedKeys,
                             PGPUInt32* unchangedKeys)
{
    return onObject<KeySet>(imported, Tag::KeySet, newKeys && updatedKeys && unchangedKeys, [&](KeySet* set) -> PGPError {
        *newKeys = set->importedNew;
        *updatedKeys = set->importedUpdated;
        *unchangedKeys = set->importedUnchanged;
        return kPGPError_NoErr;
    });
}

PGPError tolvGetImportLeftOut(PGPKeySetRef imported, PGPUInt32 index, char* name, PGPSize size)
{
    return onObject<KeySet>(imported, Tag::KeySet, !(!name || size == 0), [&](KeySet* set) -> PGPError {
        name[0] = '\0';
        if (index >= set->importLeftOut.size())
            return kPGPError_EndOfIteration;
        const std::string& text = set->importLeftOut[index];
        const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
        std::memcpy(name, text.data(), n);
        name[n] = '\0';
        return kPGPError_NoErr;
    });
}

}  // extern "C"
