// Changes to the keys of an open ring pair: removing keys, a new
// passphrase, certifying a user ID and revoking a key.
#include <algorithm>
#include <cstdarg>
#include <functional>

#include "boundary.h"
#include "key_call.h"
#include "key_image.h"

using namespace pgpsdk;

namespace {

PGPError protectAnew(const UnlockedParts& key, const SecretText& old, const SecretText& fresh)
{
    for (const KeyHandle& part : key.parts()) {
        const rnp_result_t r = fresh.empty() ? rnp_key_unprotect(part.get(), old.c_str())
                                             : rnp_key_protect(part.get(), fresh.c_str(), "AES256", nullptr,
                                                               "SHA256", 0);
        if (r != RNP_SUCCESS)
            return kPGPError_UnknownError;
    }
    return kPGPError_NoErr;
}

PGPError certify(const UserID& userId, const Key& certifier, bool exportable)
{
    UidHandle uid;
    if (PGPError e = uidHandleOf(userId, uid))
        return e;
    const auto make = exportable ? rnp_uid_certify : rnp_uid_certify_local;
    return signedOrFailed(make(uid.get(), certifier.handle, "SHA256"));
}

}  // namespace

extern "C" {

PGPError PGPRemoveKeys(PGPKeySetRef keysToRemove, PGPKeySetRef fromSet)
{
    auto* gone = as<KeySet>(keysToRemove, Tag::KeySet);
    return onObject<KeySet>(fromSet, Tag::KeySet, gone, [&](KeySet* from) -> PGPError {
        StoreRef store;
        if (PGPError e = changeableStore(*from, store))
            return e;
        std::vector<std::string> fingerprints;
        for (const KeyRef& k : gone->keys)
            fingerprints.push_back(k->fingerprint);
        const std::vector<std::string> sharing = keysSharingSubkeys(*store, fingerprints);
        const PGPError e = changeKeys(store, from->core, fingerprints, true, [&]() -> PGPError {
            for (const std::string& fp : fingerprints)
                if (!removeWholeKey(store->ffi.get(), fp))
                    return kPGPError_UnknownError;
            return kPGPError_NoErr;
        });
        refreshSharing(store, from->core, sharing);
        auto removed = [&](const KeyRef& k) { return !k->handle; };
        const auto cut = std::stable_partition(from->keys.begin(), from->keys.end(), std::not_fn(removed));
        from->retired.insert(from->retired.end(), cut, from->keys.end());
        from->keys.erase(cut, from->keys.end());
        from->indexed = false;
        return e;
    });
}

PGPError PGPChangePassphrase(PGPKeyRef key, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = keyCall(key, 2, firstOption, args, [](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        const auto& pass = o.passphrases;
        // A wrong passphrase is found before anything changes.
        UnlockedParts unlocked(store->ffi.get(), k, *pass[0]);
        if (!unlocked.ok())
            return k.secret ? kPGPError_BadPassphrase : kPGPError_ItemNotFound;
        return changeKeys(store, k.core, {k.fingerprint}, false,
                          [&] { return protectAnew(unlocked, *pass[0], *pass[1]); });
    });
    va_end(args);
    return result;
}

PGPError PGPRevokeKey(PGPKeyRef key, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = keyCall(key, 1, firstOption, args, [](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        if (!k.secret)
            return kPGPError_ItemNotFound;
        rnp_key_handle_t handle = k.handle;
        UnlockedKey unlocked(handle, *o.passphrases[0]);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        const RevocationReason why = revocationReason(o.reason);
        if (!why.code)
            return kPGPError_BadParams;
        return changeKeys(store, k.core, {k.fingerprint}, false, [&]() -> PGPError {
            return rnp_key_revoke(handle, 0, "SHA256", why.code, why.text) == RNP_SUCCESS ? kPGPError_NoErr
                                                                                           : kPGPError_SigningFailed;
        });
    });
    va_end(args);
    return result;
}

PGPError PGPSignUserID(PGPUserIDRef userID, PGPKeyRef certifyingKey, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    auto* uid = as<UserID>(userID, Tag::UserID);
    const PGPKeyRef target = uid ? reinterpret_cast<PGPKeyRef>(uid->key) : nullptr;
    auto* certifier = as<Key>(certifyingKey, Tag::Key);
    const PGPError result = keyCall(target, 1, firstOption, args, [&](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        if (!certifier || !certifier->handle || certifier->store != store || !certifier->secret)
            return kPGPError_BadParams;
        if (uid->isPhoto || k.retired)
            return kPGPError_BadParams;
        UnlockedKey unlocked(certifier->handle, *o.passphrases[0]);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        const bool exportable = o.exportable.value_or(true);
        return changeKeys(store, k.core, {k.fingerprint}, false, [&] { return certify(*uid, *certifier, exportable); });
    });
    va_end(args);
    return result;
}

}  // extern "C"
