// Properties of keys, user IDs and certifications.
#include <algorithm>
#include <cstring>

#include "boundary.h"
#include "entry_point.h"
#include "key_model.h"
#include "objects.h"

using namespace pgpsdk;

namespace {

// Copies text into a caller's buffer: at most size - 1 bytes, never ending
// inside a UTF-8 character, then a NUL.
PGPError copyText(const std::string& text, PGPSize size, char* buffer, PGPSize* length)
{
    if (!buffer || size == 0)
        return kPGPError_BadParams;
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    if (length)
        *length = n;
    return kPGPError_NoErr;
}

// Runs read on a subkey under its context's lock.
template <typename Read> PGPError readSubKey(PGPSubKeyRef ref, void* value, Read read)
{
    return onObject<SubKey>(ref, Tag::SubKey, value, [&](SubKey* sub) -> PGPError {
        return read(*sub);
    });
}

}  // namespace

extern "C" {

PGPError PGPGetSubKeyNumber(PGPSubKeyRef subKey, PGPInt32 property, PGPInt32* value)
{
    return readSubKey(subKey, value, [&](const SubKey& s) {
        if (property != kPGPKeyPropAlgID && property != kPGPKeyPropBits)
            return kPGPError_BadParams;
        *value = property == kPGPKeyPropAlgID ? s.algorithm : s.bits;
        return kPGPError_NoErr;
    });
}

PGPError PGPGetSubKeyTime(PGPSubKeyRef subKey, PGPInt32 property, PGPTime* value)
{
    return readSubKey(subKey, value, [&](const SubKey& s) {
        if (property != kPGPKeyPropCreation && property != kPGPKeyPropExpiration)
            return kPGPError_BadParams;
        *value = property == kPGPKeyPropCreation ? s.creation : s.expiration;
        return kPGPError_NoErr;
    });
}

PGPError PGPGetSubKeyBoolean(PGPSubKeyRef subKey, PGPInt32 property, PGPBoolean* value)
{
    return readSubKey(subKey, value, [&](const SubKey& s) {
        switch (property) {
        case kPGPKeyPropIsSecret: *value = s.secret; break;
        case kPGPKeyPropIsRevoked: *value = s.revoked; break;
        case kPGPKeyPropIsExpired: *value = s.expired; break;
        case kPGPKeyPropCanSign: *value = s.usage.sign; break;
        case kPGPKeyPropCanEncrypt: *value = s.usage.encrypt; break;
        case kPGPKeyPropCanCertify: *value = s.usage.certify; break;
        default: return kPGPError_BadParams;
        }
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyIDFromSubKey(PGPSubKeyRef subKey, PGPKeyID* keyID)
{
    return readSubKey(subKey, keyID, [&](const SubKey& s) {
        keyIdFromHex(s.keyIdHex, *keyID);
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyBoolean(PGPKeyRef keyRef, PGPInt32 property, PGPBoolean* value)
{
    return onObject<Key>(keyRef, Tag::Key, value, [&](Key* key) -> PGPError {
        switch (property) {
        case kPGPKeyPropIsSecret:
        case kPGPKeyPropIsAxiomatic: *value = key->secret; break;
        case kPGPKeyPropIsRevoked: *value = key->revoked; break;
        case kPGPKeyPropIsDisabled: *value = 0; break;
        case kPGPKeyPropIsNotCorrupt: *value = 1; break;
        case kPGPKeyPropIsExpired: *value = key->expired; break;
        case kPGPKeyPropNeedsCommit: *value = key->store && key->store->dirty; break;
        case kPGPKeyPropCanSign: *value = key->usage.sign; break;
        case kPGPKeyPropCanEncrypt: *value = key->usage.encrypt; break;
        case kPGPKeyPropCanCertify: *value = key->usage.certify; break;
        case kPGPKeyPropHasUnverifiedRevocation: *value = key->unverifiedRevocation; break;
        default: return kPGPError_BadParams;
        }
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyNumber(PGPKeyRef keyRef, PGPInt32 property, PGPInt32* value)
{
    return onObject<Key>(keyRef, Tag::Key, value, [&](Key* key) -> PGPError {
        switch (property) {
        case kPGPKeyPropAlgID: *value = key->algorithm; break;
        case kPGPKeyPropBits: *value = key->bits; break;
        case kPGPKeyPropValidity: *value = key->validity; break;
        default: return kPGPError_BadParams;
        }
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyTime(PGPKeyRef keyRef, PGPInt32 property, PGPTime* value)
{
    return onObject<Key>(keyRef, Tag::Key, value, [&](Key* key) -> PGPError {
        switch (property) {
        case kPGPKeyPropCreation: *value = key->creation; break;
        case kPGPKeyPropExpiration: *value = key->expiration; break;
        default: return kPGPError_BadParams;
        }
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyIDFromKey(PGPKeyRef keyRef, PGPKeyID* keyID)
{
    return onObject<Key>(keyRef, Tag::Key, keyID, [&](Key* key) -> PGPError {
        keyIdFromHex(key->keyIdHex, *keyID);
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyIDString(const PGPKeyID* keyID, PGPInt32 form, char* outString)
{
    return guarded([&]() -> PGPError {
        if (!keyID || !outString)
            return kPGPError_BadParams;
        if (form != kPGPKeyIDString_Abbreviated && form != kPGPKeyIDString_Full)
            return kPGPError_BadParams;
        std::size_t len = keyID->opaqueBytes[0];
        if (len != 4 && len != 8)
            return kPGPError_BadParams;
        std::string text = "0x" + hexFromKeyId(*keyID);
        std::memcpy(outString, text.c_str(), text.size() + 1);
        return kPGPError_NoErr;
    });
}

PGPError PGPGetPrimaryUserIDNameBuffer(PGPKeyRef keyRef, PGPSize bufferSize, char* buffer, PGPSize* length)
{
    return onObject<Key>(keyRef, Tag::Key, true, [&](Key* key) -> PGPError {
        return copyText(key->primaryUserId, bufferSize, buffer, length);
    });
}

PGPError PGPGetUserIDStringBuffer(PGPUserIDRef userID, PGPInt32 property, PGPSize bufferSize, char* buffer,
                                  PGPSize* length)
{
    return onObject<UserID>(userID, Tag::UserID, property == kPGPUserIDPropName, [&](UserID* uid) -> PGPError {
        return copyText(uid->text, bufferSize, buffer, length);
    });
}

PGPError PGPGetSigBoolean(PGPSigRef sigRef, PGPInt32 property, PGPBoolean* value)
{
    return onObject<Sig>(sigRef, Tag::Sig, value, [&](Sig* sig) -> PGPError {
        sig->owner->evaluate();
        switch (property) {
        case kPGPSigPropIsRevoked: *value = sig->revoked; break;
        case kPGPSigPropIsNotCorrupt: *value = sig->sound; break;
        case kPGPSigPropIsTried: *value = sig->tried; break;
        case kPGPSigPropIsVerified: *value = sig->verified; break;
        case kPGPSigPropIsMySig: *value = sig->isMine; break;
        case kPGPSigPropIsExportable: *value = sig->exportable; break;
        default: return kPGPError_BadParams;
        }
        return kPGPError_NoErr;
    });
}

PGPError PGPGetSigNumber(PGPSigRef sigRef, PGPInt32 property, PGPInt32* value)
{
    return onObject<Sig>(sigRef, Tag::Sig, !(!value || property != kPGPSigPropTrustLevel), [&](Sig* sig) -> PGPError {
        sig->owner->evaluate();
        *value = sig->trustLevel;
        return kPGPError_NoErr;
    });
}

PGPError PGPGetSigCertifierKey(PGPSigRef sigRef, PGPKeySetRef allKeys, PGPKeyRef* certifier)
{
    auto* sig = as<Sig>(sigRef, Tag::Sig);
    return onObject<KeySet>(allKeys, Tag::KeySet, sig && certifier, [&](KeySet* set) -> PGPError {
        *certifier = nullptr;
        if (sig->signerKeyId.empty())
            return kPGPError_ItemNotFound;
        Key* k = set->findByKeyId(sig->signerKeyId);
        if (!k)
            return kPGPError_ItemNotFound;
        *certifier = reinterpret_cast<PGPKeyRef>(k);
        return kPGPError_NoErr;
    });
}

}  // extern "C"
