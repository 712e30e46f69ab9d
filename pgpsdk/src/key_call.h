#pragma once
// One change to one key of an open ring pair: the options such calls take
// (passphrases, a revocation reason, whether a certification is exported,
// an output), gathered under the context's lock before the change runs.
#include <algorithm>
#include <cstdarg>
#include <memory>
#include <optional>
#include <vector>

#include "boundary.h"
#include "entry_point.h"
#include "key_image.h"
#include "options.h"
#include "ring_edit.h"

#ifndef TOLV_RNP_UID_EDITS
// The system's librnp lacks the bundled one's user-ID calls: they answer as
// calls that are not there.
inline rnp_result_t rnp_uid_certify(rnp_uid_handle_t, rnp_key_handle_t, const char*) { return RNP_ERROR_NOT_IMPLEMENTED; }
inline rnp_result_t rnp_uid_certify_local(rnp_uid_handle_t, rnp_key_handle_t, const char*)
{
    return RNP_ERROR_NOT_IMPLEMENTED;
}
inline rnp_result_t rnp_uid_set_primary(rnp_uid_handle_t) { return RNP_ERROR_NOT_IMPLEMENTED; }
inline rnp_result_t rnp_uid_revoke(rnp_uid_handle_t, const char*, const char*, const char*)
{
    return RNP_ERROR_NOT_IMPLEMENTED;
}
#endif

namespace pgpsdk {

// A new signature made, or why not.
inline PGPError signedOrFailed(rnp_result_t r)
{
    if (r == RNP_ERROR_NOT_IMPLEMENTED)
        return kPGPError_FeatureNotAvailable;
    return r == RNP_SUCCESS ? kPGPError_NoErr : kPGPError_SigningFailed;
}

struct EditOptions {
    OptionList holder;  // owns the options
    std::vector<const SecretText*> passphrases;  // in the order given
    const Option* reason = nullptr;              // RevocationReason
    std::optional<bool> exportable;
    const Option* output = nullptr;  // AllocatedOutput or OutputFile
    bool armor = false;
};

inline bool gatherEditOptions(PGPOptionListRef first, va_list args, EditOptions& out)
{
    return takeOptions(first, args, out.holder, [&](const Option& o) {
        switch (o.kind) {
        case OptionKind::Passphrase: out.passphrases.push_back(&o.passphrase); return true;
        case OptionKind::RevocationReason: out.reason = &o; return true;
        case OptionKind::Exportable: out.exportable = o.armor; return true;
        case OptionKind::AllocatedOutput:
        case OptionKind::OutputFile: out.output = &o; return true;
        case OptionKind::Armor: out.armor = o.armor; return true;
        default: return false;
        }
    });
}

// The secret parts of a key: the primary key's and each subkey's.
inline std::vector<KeyHandle> secretParts(rnp_ffi_t ffi, const Key& key)
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

// librnp's handle of a user ID: its place among its key's user IDs.
inline PGPError uidHandleOf(const UserID& userId, UidHandle& out)
{
    const Key& target = *userId.key;
    const auto at = std::find_if(target.userIds.begin(), target.userIds.end(),
                                 [&](const auto& u) { return u.get() == &userId; });
    rnp_uid_handle_t raw = nullptr;
    if (at == target.userIds.end() ||
        rnp_key_get_uid_handle_at(target.handle, static_cast<size_t>(at - target.userIds.begin()), &raw) != RNP_SUCCESS)
        return kPGPError_ItemNotFound;
    out.reset(raw);
    return kPGPError_NoErr;
}

// librnp's words for a revocation reason option (none: no reason given);
// a null code for a code that has none.
struct RevocationReason {
    const char* code = "no";
    const char* text = "";
};

inline RevocationReason revocationReason(const Option* o)
{
    if (!o)
        return {};
    switch (o->code) {
    case kTolvRevocation_NoReason: return {"no", o->name.c_str()};
    case kTolvRevocation_Superseded: return {"superseded", o->name.c_str()};
    case kTolvRevocation_Compromised: return {"compromised", o->name.c_str()};
    case kTolvRevocation_Retired: return {"retired", o->name.c_str()};
    case kTolvRevocation_UserIDInvalid: return {"no longer valid", o->name.c_str()};
    default: return {nullptr, nullptr};
    }
}

// A call on one key of an open ring pair, under the context's lock, with
// exactly this many passphrases among its options.
template <typename Run>
PGPError keyCall(PGPKeyRef keyRef, std::size_t passphrases, PGPOptionListRef first, va_list args, Run run)
{
    return withOptions<Key>(keyRef, Tag::Key, [&](Key* key) -> PGPError {
        EditOptions options;
        const bool ok = gatherEditOptions(first, args, options);
        if (!key || !ok || options.passphrases.size() != passphrases)
            return kPGPError_BadParams;
        StoreRef store;
        if (PGPError e = storeOfKey(*key, store))
            return e;
        return run(*key, store, options);
    });
}

}  // namespace pgpsdk
