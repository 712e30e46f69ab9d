#include "sdk/key_details.h"

#include <cstdio>

#include "sdk/key_lookup.h"
#include "sdk/key_tree.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

std::string useText(bool sign, bool encrypt, bool certify)
{
    std::string out;
    for (auto [on, word] : {std::pair {sign, "sign"}, {encrypt, "encrypt"}, {certify, "certify"}})
        if (on)
            out += (out.empty() ? "" : ", ") + std::string(word);
    return out.empty() ? "none" : out;
}

std::string keyIdText(const PGPKeyID& id)
{
    char text[kPGPMaxKeyIDStringSize] = {};
    call::PGPGetKeyIDString(&id, static_cast<PGPInt32>(kPGPKeyIDString_Full), text);
    return text;
}

// Reads the facts of a key or subkey through the SDK's getters for it.
template <typename Ref, typename Bool, typename Number, typename Time>
KeyPart partOf(Ref ref, Bool boolean, Number number, Time time)
{
    KeyPart p;
    auto flag = [&](PGPInt32 property) {
        PGPBoolean v = 0;
        boolean(ref, property, &v);
        return v != 0;
    };
    PGPInt32 algorithm = 0, bits = 0;
    number(ref, static_cast<PGPInt32>(kPGPKeyPropAlgID), &algorithm);
    number(ref, static_cast<PGPInt32>(kPGPKeyPropBits), &bits);
    time(ref, static_cast<PGPInt32>(kPGPKeyPropCreation), &p.created);
    time(ref, static_cast<PGPInt32>(kPGPKeyPropExpiration), &p.expires);
    p.algorithm = algorithmName(algorithm);
    p.bits = bits;
    p.use = useText(flag(kPGPKeyPropCanSign), flag(kPGPKeyPropCanEncrypt), flag(kPGPKeyPropCanCertify));
    p.revoked = flag(kPGPKeyPropIsRevoked);
    p.expired = flag(kPGPKeyPropIsExpired);
    p.secret = flag(kPGPKeyPropIsSecret);
    return p;
}

KeyDetails detailsOf(PGPKeyRef key, PGPKeyIterRef iter, std::string fingerprint)
{
    KeyDetails d;
    d.fingerprint = std::move(fingerprint);
    char name[1024] = {};
    PGPSize length = 0;
    call::PGPGetPrimaryUserIDNameBuffer(key, sizeof name, name, &length);
    d.userId.assign(name, length);
    KeyPart primary = partOf(key, call::PGPGetKeyBoolean<PGPKeyRef, PGPInt32, PGPBoolean*>,
                             call::PGPGetKeyNumber<PGPKeyRef, PGPInt32, PGPInt32*>,
                             call::PGPGetKeyTime<PGPKeyRef, PGPInt32, PGPTime*>);
    PGPKeyID id {};
    call::PGPGetKeyIDFromKey(key, &id);
    primary.keyId = keyIdText(id);
    d.parts.push_back(primary);
    PGPSubKeyRef sub = nullptr;
    while (call::PGPKeyIterNextSubKey(iter, &sub) == kPGPError_NoErr) {
        KeyPart part = partOf(sub, call::PGPGetSubKeyBoolean<PGPSubKeyRef, PGPInt32, PGPBoolean*>,
                              call::PGPGetSubKeyNumber<PGPSubKeyRef, PGPInt32, PGPInt32*>,
                              call::PGPGetSubKeyTime<PGPSubKeyRef, PGPInt32, PGPTime*>);
        call::PGPGetKeyIDFromSubKey(sub, &id);
        part.keyId = keyIdText(id);
        d.parts.push_back(part);
    }
    return d;
}

}  // namespace

std::optional<KeyDetails> keyDetails(const std::string& keyIdText)
{
    std::string want = keyIdText.rfind("0x", 0) == 0 ? keyIdText.substr(2) : keyIdText;
    SdkUse use;
    if (want.empty() || !use.keySet())
        return std::nullopt;
    KeyWalk walk(use.keySet(), static_cast<PGPInt32>(kPGPAnyOrdering));
    while (PGPKeyRef key = walk.next()) {
        std::string fpr = fingerprintHex(key);
        if (identifiedBy(fpr, want))
            return detailsOf(key, walk.iter(), std::move(fpr));
    }
    return std::nullopt;
}

std::string groupedFingerprint(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 4)
        out += (i ? " " : "") + hex.substr(i, 4);
    return out;
}

}  // namespace sdk
