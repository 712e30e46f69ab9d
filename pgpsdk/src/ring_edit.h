#pragma once
// One change to keys of an open ring pair, made the safe way (see
// ring_changes.h): retire, change, refresh.
#include "ring_changes.h"

namespace pgpsdk {

// Runs change() on the keys of these fingerprints. Whatever it answers, the
// ring's objects for them are made anew; a failed change leaves the store
// needing a commit only if it needed one before. fresh (when given)
// receives the new objects.
template <typename Change>
PGPError changeKeys(const StoreRef& store, const CoreRef& core, const std::vector<std::string>& fingerprints,
                    bool removing, Change change, std::vector<KeyRef>* fresh = nullptr)
{
    retireKeys(*store, fingerprints, removing);
    const bool wasDirty = store->dirty;
    const auto wasPending = store->pending;
    const PGPError e = change();
    std::vector<KeyRef> keys = refreshRing(store, core, fingerprints);
    if (e) {
        store->dirty = wasDirty;
        store->pending = wasPending;
    }
    if (fresh)
        *fresh = std::move(keys);
    return e;
}

// Unlocks a secret key (or subkey) for the length of a scope.
class UnlockedKey {
public:
    UnlockedKey(rnp_key_handle_t key, const SecretText& passphrase)
        : key_(key), ok_(rnp_key_unlock(key, passphrase.c_str()) == RNP_SUCCESS)
    {
    }
    ~UnlockedKey()
    {
        if (ok_)
            rnp_key_lock(key_);
    }
    UnlockedKey(const UnlockedKey&) = delete;
    UnlockedKey& operator=(const UnlockedKey&) = delete;
    bool ok() const { return ok_; }

private:
    rnp_key_handle_t key_;
    bool ok_;
};

}  // namespace pgpsdk
