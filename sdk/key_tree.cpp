#include "sdk/key_tree.h"

#include "sdk/key_lookup.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_holders.h"
#include "sdk/sdk_session.h"

using namespace sdk;

namespace {

bool isRsa(std::int32_t id) { return id >= kPGPPublicKeyAlgorithm_RSA && id <= kPGPPublicKeyAlgorithm_RSASignOnly; }
bool isEcc(std::int32_t id)
{
    return id == kPGPPublicKeyAlgorithm_ECDH || id == kPGPPublicKeyAlgorithm_ECDSA || id == kPGPPublicKeyAlgorithm_EdDSA ||
           id == kPGPPublicKeyAlgorithm_X25519 || id == kPGPPublicKeyAlgorithm_Ed25519;
}

std::string primaryName(PGPKeyRef key, std::size_t* lengthOut = nullptr)
{
    char name[255] = {};
    PGPSize length = 255;
    call::PGPGetPrimaryUserIDNameBuffer(key, sizeof name, name, &length);
    length = std::min<PGPSize>(length, sizeof name - 1);
    name[length] = '\0';
    if (lengthOut)
        *lengthOut = length;
    return name;
}

void fillKeyFields(PGPKeyRef key, KeyTreeRow& row)
{
    PGPBoolean flag = 0;
    auto boolean = [&](PGPInt32 prop) {
        flag = 0;
        call::PGPGetKeyBoolean(key, prop, &flag);
        return flag != 0;
    };
    row.IsRevoked = boolean(kPGPKeyPropIsRevoked);
    row.IsSecret = boolean(kPGPKeyPropIsSecret);
    row.IsDisabled = boolean(kPGPKeyPropIsDisabled);
    row.IsExpired = boolean(kPGPKeyPropIsExpired);
    row.HasUnverifiedRevocation = boolean(kPGPKeyPropHasUnverifiedRevocation);
    PGPInt32 number = 0;
    call::PGPGetKeyNumber(key, static_cast<PGPInt32>(kPGPKeyPropAlgID), &number);
    row.AlgorithmID = number;
    row.Algorithm = algorithmName(number);
    if (isRsa(number) || isEcc(number)) {
        PGPInt32 bits = 0;
        call::PGPGetKeyNumber(key, static_cast<PGPInt32>(kPGPKeyPropBits), &bits);
        row.Size = bits;
    }
    PGPTime created = 0;
    call::PGPGetKeyTime(key, static_cast<PGPInt32>(kPGPKeyPropCreation), &created);
    row.Creation = created;
    PGPTime expires = 0;
    call::PGPGetKeyTime(key, static_cast<PGPInt32>(kPGPKeyPropExpiration), &expires);
    row.Expiration = creationDateText(expires);
    PGPInt32 validity = 0;
    call::PGPGetKeyNumber(key, static_cast<PGPInt32>(kPGPKeyPropValidity), &validity);
    row.ValidityIcon = validityIcon(row.IsRevoked, row.IsExpired, validity);
    PGPKeyID id {};
    call::PGPGetKeyIDFromKey(key, &id);
    char text[kPGPMaxKeyIDStringSize] = {};
    call::PGPGetKeyIDString(&id, static_cast<PGPInt32>(kPGPKeyIDString_Abbreviated), text);
    std::string idText = text;
    while (!idText.empty() && idText.back() == ' ')
        idText.pop_back();
    row.KeyIDText = idText.substr(0, 31);
    row.Fingerprint = fingerprintHex(key);  // for the list's filter
    row.Description = keyDescription(row.AlgorithmID, row.IsSecret, row.IsRevoked, row.IsExpired, row.IsDisabled);
}

}  // namespace

std::string algorithmName(std::int32_t id)
{
    switch (id) {
    case kPGPPublicKeyAlgorithm_RSA: return "RSA";
    case kPGPPublicKeyAlgorithm_RSAEncryptOnly: return "RSAEncryptOnly";
    case kPGPPublicKeyAlgorithm_RSASignOnly: return "RSASignOnly";
    case kPGPPublicKeyAlgorithm_ElGamal: return "ElGamal";
    case kPGPPublicKeyAlgorithm_DSA: return "DSA";
    case kPGPPublicKeyAlgorithm_ECDH: return "ECDH";
    case kPGPPublicKeyAlgorithm_ECDSA: return "ECDSA";
    case kPGPPublicKeyAlgorithm_EdDSA: return "EdDSA";
    case kPGPPublicKeyAlgorithm_X25519: return "X25519";
    case kPGPPublicKeyAlgorithm_Ed25519: return "Ed25519";
    default: return {};
    }
}

std::string keyDescription(std::int32_t algorithmId, bool secret, bool revoked, bool expired, bool disabled)
{
    const std::string family = isRsa(algorithmId) ? "RSA" : isEcc(algorithmId) ? "ECC" : "DH/DSS";
    const std::string kind = secret ? " key pair" : " public key";
    std::string state = revoked ? "Revoked " : expired ? "Expired " : disabled ? "Disabled " : "";
    return (state + family + kind).substr(0, 40);
}

std::string signatureDescription(bool revoked, bool sound, bool checked, bool verified, bool exportable,
                                 std::int32_t trustLevel)
{
    if (revoked)
        return "Revoked signature";
    if (verified && exportable)
        return trustLevel == 1 ? "Exportable meta-introducer signature" : "Exportable signature";
    if (verified)
        return trustLevel == 2 ? "Meta-introducer signature" : "Signature";
    if (checked)
        return "Corrupt signature";
    if (sound)
        return "Exportable signature";
    return "Corrupt signature";
}

std::string creationDateText(PGPTime seconds)
{
    if (seconds == 0)
        return {};
    using namespace std::chrono;
    const sys_days day = floor<days>(sys_seconds(std::chrono::seconds(seconds)));
    const year_month_day ymd(day);
    char text[32];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d", static_cast<unsigned>(ymd.day()), static_cast<unsigned>(ymd.month()),
                  static_cast<int>(ymd.year()));
    return text;
}

KeyTreeIcon validityIcon(bool revoked, bool expired, PGPInt32 validity)
{
    if (revoked)
        return KeyTreeIcon::RevokedDot;
    if (expired)
        return KeyTreeIcon::ExpiredDot;
    return validity >= kPGPValidity_Complete ? KeyTreeIcon::ValidityDot : KeyTreeIcon::UncertifiedDot;
}

std::int32_t orderingForColumn(int column)
{
    switch (column) {
    case 0: return kPGPUserIDOrdering;
    case 1: return kPGPValidityOrdering;
    case 2: return kPGPTrustOrdering;
    case 3: return kPGPEncryptKeySizeOrdering;
    case 5: return kPGPKeyIDOrdering;
    case 6: return kPGPExpirationOrdering;
    case 7: return kPGPCreationOrdering;
    default: return -1;  // "Description" and "ADK" keep the ordering
    }
}

namespace {

KeyTreeRow signatureRow(PGPSigRef sig, PGPKeyRef certifier)
{
    KeyTreeRow row;
    row.Name = primaryName(certifier, &row.NameLength);
    row.Icon = KeyTreeIcon::Signature;
    row.Level = 3;
    PGPBoolean revoked = 0, sound = 0, checked = 0, verified = 0, exportable = 0;
    call::PGPGetSigBoolean(sig, static_cast<PGPInt32>(kPGPSigPropIsRevoked), &revoked);
    call::PGPGetSigBoolean(sig, static_cast<PGPInt32>(kPGPSigPropIsNotCorrupt), &sound);
    call::PGPGetSigBoolean(sig, static_cast<PGPInt32>(kPGPSigPropIsTried), &checked);
    call::PGPGetSigBoolean(sig, static_cast<PGPInt32>(kPGPSigPropIsVerified), &verified);
    call::PGPGetSigBoolean(sig, static_cast<PGPInt32>(kPGPSigPropIsExportable), &exportable);
    PGPInt32 level = 0;
    call::PGPGetSigNumber(sig, static_cast<PGPInt32>(kPGPSigPropTrustLevel), &level);
    row.Description = signatureDescription(revoked, sound, checked, verified, exportable, level);
    return row;
}

KeyTreeRow userIdRow(PGPUserIDRef userId)
{
    KeyTreeRow row;
    char text[255] = {};
    PGPSize length = 0;
    call::PGPGetUserIDStringBuffer(userId, static_cast<PGPInt32>(kPGPUserIDPropName), sizeof text, text, &length);
    text[std::min<PGPSize>(length, sizeof text - 1)] = '\0';
    row.Name = text;
    row.NameLength = std::min<PGPSize>(length, sizeof text - 1);
    row.Level = -2;
    row.Icon = KeyTreeIcon::UserId;
    row.Description = "User ID";
    return row;
}

// The rows of one key: the key, its user IDs, and under each the
// certifications by keys of the ring.
void addKeyRows(PGPKeySetRef keySet, PGPKeyRef key, PGPKeyIterRef iter, KeyTreeList& rows)
{
    KeyTreeRow keyRow;  // every row starts clean
    keyRow.Name = primaryName(key, &keyRow.NameLength);
    fillKeyFields(key, keyRow);
    keyRow.Icon = KeyTreeIcon::Key;
    keyRow.Level = -1;
    rows.push_back(std::move(keyRow));
    PGPUserIDRef userId = nullptr;
    while (call::PGPKeyIterNextUserID(iter, &userId) == kPGPError_NoErr && userId) {
        rows.push_back(userIdRow(userId));
        PGPSigRef sig = nullptr;
        while (call::PGPKeyIterNextUIDSig(iter, &sig) == kPGPError_NoErr && sig) {
            PGPKeyRef certifier = nullptr;
            if (call::PGPGetSigCertifierKey(sig, keySet, &certifier) == kPGPError_NoErr && certifier)
                rows.push_back(signatureRow(sig, certifier));
        }
    }
}

}  // namespace

KeyTreeList fillKeyTree(std::int32_t ordering)
{
    // A re-sort or refresh makes about as many rows as the fill before it:
    // reserved at once, the list is never copied as it grows (on a large
    // ring that copying, into fresh memory each time, was most of a re-sort).
    static std::atomic<std::size_t> lastRowCount {0};
    KeyTreeList rows;
    SdkUse use;
    PGPKeySetRef keySet = use.keySet();
    if (!keySet)
        return rows;
    rows.reserve(lastRowCount.load() + lastRowCount.load() / 16);
    forEachKey(keySet, ordering, [&](PGPKeyRef key, PGPKeyIterRef iter) { addKeyRows(keySet, key, iter, rows); });
    lastRowCount.store(rows.size());
    return rows;
}
