// Looking after one's own key pair: user IDs added, made primary and
// revoked, subkeys revoked, expiry dates changed, and revocation
// certificates written. Each change is a new self-signature, made with the
// key's secret key while its passphrase unlocks it.
#include <cstdarg>

#include "key_call.h"
#include "key_output.h"

using namespace pgpsdk;

namespace {

// Runs change() on a key pair of the ring with its primary key unlocked;
// with allParts, every secret part (a subkey's new binding may need the
// subkey's own signature).
template <typename Change>
PGPError ownKeyChange(Key& k, const StoreRef& store, const EditOptions& o, bool allParts, Change change)
{
    if (!k.secret || k.retired)
        return kPGPError_ItemNotFound;
    if (allParts) {
        UnlockedParts unlocked(store->ffi.get(), k, *o.passphrases[0]);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        return changeKeys(store, k.core, {k.fingerprint}, false, change);
    }
    UnlockedKey unlocked(k.handle, *o.passphrases[0]);
    if (!unlocked.ok())
        return kPGPError_BadPassphrase;
    return changeKeys(store, k.core, {k.fingerprint}, false, change);
}

// librnp's handle of a subkey of the key; empty for none.
KeyHandle subkeyHandle(const StoreRef& store, const SubKey& sub)
{
    rnp_key_handle_t raw = nullptr;
    rnp_locate_key(store->ffi.get(), "fingerprint", sub.fingerprint.c_str(), &raw);
    return KeyHandle(raw);
}

// A user ID call: the change runs on the user ID's own key pair.
template <typename Change>
PGPError userIdCall(PGPUserIDRef userID, PGPOptionListRef first, va_list args, Change change)
{
    auto* uid = as<UserID>(userID, Tag::UserID);
    const PGPKeyRef key = uid ? reinterpret_cast<PGPKeyRef>(uid->key) : nullptr;
    return keyCall(key, 1, first, args, [&](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        if (uid->isPhoto)
            return kPGPError_BadParams;
        UidHandle handle;
        if (PGPError e = uidHandleOf(*uid, handle))
            return e;
        return ownKeyChange(k, store, o, false, [&] { return change(handle.get(), o); });
    });
}

// Seconds from the creation to the expiry date (0 for never); false for a
// date not after the creation.
bool secondsToExpiry(PGPTime creation, PGPTime expiration, std::uint32_t& seconds)
{
    if (expiration == 0)
        return seconds = 0, true;
    if (expiration <= creation)
        return false;
    seconds = static_cast<std::uint32_t>(expiration - creation);
    return true;
}

}  // namespace

extern "C" {

PGPError PGPAddUserID(PGPKeyRef key, char const* name, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = keyCall(key, 1, firstOption, args, [&](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        if (!name || !*name)
            return kPGPError_BadParams;
        const std::uint8_t flags = static_cast<std::uint8_t>((k.usage.certify ? 0x01 : 0) | (k.usage.sign ? 0x02 : 0));
        // The new user ID's self-signature keeps the key's expiry: should it
        // become the primary one, the key must not lose its date.
        const std::uint32_t expiry = k.expiration > k.creation ? static_cast<std::uint32_t>(k.expiration - k.creation) : 0;
        rnp_key_handle_t handle = k.handle;
        return ownKeyChange(k, store, o, false, [&] {
            return rnp_key_add_uid(handle, name, "SHA256", expiry, flags, false) == RNP_SUCCESS ? kPGPError_NoErr
                                                                                               : kPGPError_BadParams;
        });
    });
    va_end(args);
    return result;
}

PGPError PGPSetPrimaryUserID(PGPUserIDRef userID, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = userIdCall(userID, firstOption, args, [](rnp_uid_handle_t uid, const EditOptions&) -> PGPError {
        return signedOrFailed(rnp_uid_set_primary(uid));
    });
    va_end(args);
    return result;
}

PGPError tolvRevokeUserID(PGPUserIDRef userID, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = userIdCall(userID, firstOption, args, [](rnp_uid_handle_t uid, const EditOptions& o) -> PGPError {
        const RevocationReason why = revocationReason(o.reason);
        if (!why.code || (o.reason && o.reason->code != kTolvRevocation_NoReason &&
                          o.reason->code != kTolvRevocation_UserIDInvalid))
            return kPGPError_BadParams;
        return signedOrFailed(rnp_uid_revoke(uid, "SHA256", why.code, why.text));
    });
    va_end(args);
    return result;
}

PGPError PGPRevokeSubKey(PGPSubKeyRef subKey, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    auto* sub = as<SubKey>(subKey, Tag::SubKey);
    const PGPKeyRef key = sub ? reinterpret_cast<PGPKeyRef>(sub->owner) : nullptr;
    const PGPError result = keyCall(key, 1, firstOption, args, [&](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        const RevocationReason why = revocationReason(o.reason);
        KeyHandle handle = subkeyHandle(store, *sub);
        if (!why.code || !handle)
            return kPGPError_BadParams;
        return ownKeyChange(k, store, o, false, [&] {
            return signedOrFailed(rnp_key_revoke(handle.get(), 0, "SHA256", why.code, why.text));
        });
    });
    va_end(args);
    return result;
}

PGPError tolvSetKeyExpiration(PGPKeyRef key, PGPSubKeyRef subKey, PGPTime expiration, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    auto* sub = subKey ? as<SubKey>(subKey, Tag::SubKey) : nullptr;
    const PGPError result = keyCall(key, 1, firstOption, args, [&](Key& k, const StoreRef& store, EditOptions& o) -> PGPError {
        if (subKey && (!sub || sub->owner->fingerprint != k.fingerprint))
            return kPGPError_BadParams;
        KeyHandle subHandle = sub ? subkeyHandle(store, *sub) : KeyHandle();
        std::uint32_t seconds = 0;
        if ((sub && !subHandle) || !secondsToExpiry(sub ? sub->creation : k.creation, expiration, seconds))
            return kPGPError_BadParams;
        rnp_key_handle_t target = sub ? subHandle.get() : k.handle;
        return ownKeyChange(k, store, o, true, [&] { return signedOrFailed(rnp_key_set_expiration(target, seconds)); });
    });
    va_end(args);
    return result;
}

PGPError tolvExportRevocation(PGPKeyRef key, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = keyCall(key, 1, firstOption, args, [&](Key& k, const StoreRef&, EditOptions& o) -> PGPError {
        const RevocationReason why = revocationReason(o.reason);
        if (!o.output || !why.code)
            return kPGPError_BadParams;
        if (!k.secret || k.retired)
            return kPGPError_ItemNotFound;
        UnlockedKey unlocked(k.handle, *o.passphrases[0]);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        return writeKeyOutput(*o.output, o.armor, false, [&](rnp_output_t target) {
            return signedOrFailed(rnp_key_export_revocation(k.handle, target, 0, "SHA256", why.code, why.text));
        });
    });
    va_end(args);
    return result;
}

}  // extern "C"
