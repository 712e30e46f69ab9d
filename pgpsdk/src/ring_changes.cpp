#include "ring_changes.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "key_model.h"
#include "rnp_handles.h"

namespace pgpsdk {

void retireKeys(KeyStore& store, const std::vector<std::string>& fingerprints, bool removed)
{
    const std::unordered_set<std::string> wanted(fingerprints.begin(), fingerprints.end());
    for (const auto& weak : store.issued) {
        KeyRef key = weak.lock();
        if (!key || key->retired || !wanted.count(key->fingerprint))
            continue;
        for (auto& uid : key->userIds) {
            uid->evaluate();
            for (auto& sig : uid->sigs)
                sig->handle.reset();
        }
        key->retired = true;
        if (removed && key->handle) {
            rnp_key_handle_destroy(key->handle);
            key->handle = nullptr;
        }
    }
}

namespace {

KeyRef freshKey(const StoreRef& store, const CoreRef& core, const std::string& fingerprint)
{
    rnp_key_handle_t handle = nullptr;
    if (rnp_locate_key(store->ffi.get(), "fingerprint", fingerprint.c_str(), &handle) != RNP_SUCCESS || !handle)
        return nullptr;
    return buildKey(core, store, handle);
}

}  // namespace

std::vector<KeyRef> refreshRing(const StoreRef& store, const CoreRef& core,
                                const std::vector<std::string>& fingerprints, bool asChange)
{
    std::vector<KeyRef> fresh;
    std::unordered_map<std::string, KeyRef> byFingerprint;
    for (const std::string& fp : fingerprints) {
        if (byFingerprint.count(fp))
            continue;
        KeyRef key = freshKey(store, core, fp);
        byFingerprint.emplace(fp, key);
        if (key)
            fresh.push_back(key);
        if (asChange)
            store->pending[fp] |= !key;
    }
    store->dirty = store->dirty || asChange;
    KeySet* ring = store->ring;
    if (!ring)
        return fresh;
    auto& keys = ring->keys;
    for (KeyRef& k : keys) {
        auto it = byFingerprint.find(k->fingerprint);
        if (it != byFingerprint.end()) {
            ring->retired.push_back(k);
            k = it->second;  // null for a removed key
            byFingerprint.erase(it);
        }
    }
    keys.erase(std::remove(keys.begin(), keys.end(), nullptr), keys.end());
    for (const KeyRef& k : fresh)
        if (byFingerprint.count(k->fingerprint))
            keys.push_back(k);
    assignValidity(keys);
    ring->indexed = false;
    return fresh;
}

std::vector<std::string> keysSharingSubkeys(const KeyStore& store, const std::vector<std::string>& fingerprints)
{
    std::vector<std::string> sharing;
    if (!store.ring)
        return sharing;
    const std::unordered_set<std::string> changed(fingerprints.begin(), fingerprints.end());
    std::unordered_set<std::string> ids;
    for (const KeyRef& k : store.ring->keys)
        if (changed.count(k->fingerprint))
            ids.insert(k->subkeyIds.begin(), k->subkeyIds.end());
    for (const KeyRef& k : store.ring->keys)
        if (!changed.count(k->fingerprint) &&
            std::any_of(k->subkeyIds.begin(), k->subkeyIds.end(), [&](const std::string& id) { return ids.count(id); }))
            sharing.push_back(k->fingerprint);
    return sharing;
}

void refreshSharing(const StoreRef& store, const CoreRef& core, const std::vector<std::string>& sharing)
{
    if (sharing.empty())
        return;
    retireKeys(*store, sharing, false);
    refreshRing(store, core, sharing, false);
}

PGPError changeableStore(const KeySet& set, StoreRef& store)
{
    if (!set.isMutable)
        return kPGPError_KeySetImmutable;
    if (!set.store || set.store->pubPath.empty())
        return kPGPError_BadParams;
    store = set.store;
    return kPGPError_NoErr;
}

PGPError storeOfKey(const Key& key, StoreRef& store)
{
    if (!key.handle || !key.store || key.store->pubPath.empty())
        return kPGPError_ItemNotFound;
    store = key.store;
    return kPGPError_NoErr;
}

std::vector<std::string> primaryFingerprints(rnp_ffi_t ffi)
{
    std::vector<std::string> out;
    rnp_identifier_iterator_t it = nullptr;
    if (rnp_identifier_iterator_create(ffi, &it, "fingerprint") != RNP_SUCCESS)
        return out;
    const char* fpr = nullptr;
    while (rnp_identifier_iterator_next(it, &fpr) == RNP_SUCCESS && fpr) {
        rnp_key_handle_t raw = nullptr;
        if (rnp_locate_key(ffi, "fingerprint", fpr, &raw) != RNP_SUCCESS || !raw)
            continue;
        KeyHandle handle(raw);
        bool primary = false;
        if (rnp_key_is_primary(handle.get(), &primary) == RNP_SUCCESS && primary)
            out.emplace_back(fpr);
    }
    rnp_identifier_iterator_destroy(it);
    return out;
}

}  // namespace pgpsdk
