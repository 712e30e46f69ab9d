// Changes to the keys of an open ring pair: removing keys, a new
// passphrase, certifying a user ID and revoking a key.
#include <algorithm>
#include <cstdarg>
#include <functional>

#include "boundary.h"
#include "entry_point.h"
#include "key_image.h"
#include "options.h"
#include "ring_edit.h"

using namespace pgpsdk;

namespace {

// The passphrases of a call, in the order given.
bool gatherPassphrases(PGPOptionListRef first, va_list args, OptionList& holder, std::vector<const SecretText*>& out)
{
    return takeOptions(first, args, holder, [&](const Option& o) {
        if (o.kind != OptionKind::Passphrase)
            return false;
        out.push_back(&o.passphrase);
        return true;
    });
}

// The secret parts of a key: the primary key's and each subkey's.
std::vector<KeyHandle> secretParts(rnp_ffi_t ffi, const Key& key)
{
    std::vector<KeyHandle> parts;
    auto add = [&](const std::string& fp) {
        rnp_key_handle_t raw = nullptr;
        bool secret = false;
        if (rnp_locate_key(ffi, "fingerprint", fp.c_str(), &raw) == RNP_SUCCESS && raw &&
            rnp_key_have_secret(raw, &secret) == RNP_SUCCESS && secret)
            parts.emplace_back(raw);
        else if (raw)
            rnp_key_handle_destroy(raw);
    };
    add(key.fingerprint);
    size_t count = 0;
    rnp_key_get_subkey_count(key.handle, &count);
    for (size_t i = 0; i < count; ++i) {
        rnp_key_handle_t raw = nullptr;
        if (rnp_key_get_subkey_at(key.handle, i, &raw) != RNP_SUCCESS || !raw)
            continue;
        KeyHandle sub(raw);
        add(rnpText(rnp_key_get_fprint, sub.get()));
    }
    return parts;
}

// Every secret part of a key, unlocked with its passphrase for as long as
// the object lives; ok() only when all of them were.
class UnlockedParts {
public:
    UnlockedParts(rnp_ffi_t ffi, const Key& key, const SecretText& passphrase) : parts_(secretParts(ffi, key))
    {
        for (const KeyHandle& part : parts_) {
            unlocked_.push_back(std::make_unique<UnlockedKey>(part.get(), passphrase));
            if (!unlocked_.back()->ok())
                return;
        }
        ok_ = !parts_.empty();
    }
    bool ok() const { return ok_; }
    const std::vector<KeyHandle>& parts() const { return parts_; }

private:
    std::vector<KeyHandle> parts_;
    std::vector<std::unique_ptr<UnlockedKey>> unlocked_;
    bool ok_ = false;
};

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

PGPError certify(const UserID& userId, const Key& certifier)
{
    const Key& target = *userId.key;
    const auto at = std::find_if(target.userIds.begin(), target.userIds.end(),
                                 [&](const auto& u) { return u.get() == &userId; });
    rnp_uid_handle_t raw = nullptr;
    if (rnp_key_get_uid_handle_at(target.handle, static_cast<size_t>(at - target.userIds.begin()), &raw) !=
        RNP_SUCCESS)
        return kPGPError_ItemNotFound;
    UidHandle uid(raw);
#ifdef TOLV_RNP_UID_CERTIFY
    return rnp_uid_certify(uid.get(), certifier.handle, "SHA256") == RNP_SUCCESS ? kPGPError_NoErr
                                                                                 : kPGPError_SigningFailed;
#else
    (void)certifier;
    return kPGPError_FeatureNotAvailable;  // the system's librnp cannot certify
#endif
}

// A call on one key of an open ring pair, under the context's lock, with
// the passphrase options it takes.
template <typename Run>
PGPError keyCall(PGPKeyRef keyRef, std::size_t passphrases, PGPOptionListRef first, va_list args, Run run)
{
    return withOptions<Key>(keyRef, Tag::Key, [&](Key* key) -> PGPError {
        OptionList holder;
        std::vector<const SecretText*> given;
        const bool ok = gatherPassphrases(first, args, holder, given);
        if (!key || !ok || given.size() != passphrases)
            return kPGPError_BadParams;
        StoreRef store;
        if (PGPError e = storeOfKey(*key, store))
            return e;
        return run(*key, store, given);
    });
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
    const PGPError result = keyCall(key, 2, firstOption, args, [](Key& k, const StoreRef& store, auto& pass) -> PGPError {
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
    const PGPError result = keyCall(key, 1, firstOption, args, [](Key& k, const StoreRef& store, auto& pass) -> PGPError {
        if (!k.secret)
            return kPGPError_ItemNotFound;
        rnp_key_handle_t handle = k.handle;
        UnlockedKey unlocked(handle, *pass[0]);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        return changeKeys(store, k.core, {k.fingerprint}, false, [&]() -> PGPError {
            return rnp_key_revoke(handle, 0, "SHA256", "no", "") == RNP_SUCCESS ? kPGPError_NoErr
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
    const PGPError result = keyCall(target, 1, firstOption, args, [&](Key& k, const StoreRef& store, auto& pass) -> PGPError {
        if (!certifier || !certifier->handle || certifier->store != store || !certifier->secret)
            return kPGPError_BadParams;
        if (uid->isPhoto || k.retired)
            return kPGPError_BadParams;
        UnlockedKey unlocked(certifier->handle, *pass[0]);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        return changeKeys(store, k.core, {k.fingerprint}, false, [&] { return certify(*uid, *certifier); });
    });
    va_end(args);
    return result;
}

}  // extern "C"
