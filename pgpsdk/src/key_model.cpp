#include "key_model.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cstring>
#include <map>
#include <set>

namespace pgpsdk {

FfiHandle newFfi()
{
    rnp_ffi_t ffi = nullptr;
    if (rnp_ffi_create(&ffi, "GPG", "GPG") != RNP_SUCCESS)
        return nullptr;
    // librnp owns the descriptor it is given and closes it with the
    // context, so every context gets one of its own.
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0 && rnp_ffi_set_log_fd(ffi, devNull) != RNP_SUCCESS)
        ::close(devNull);
    return FfiHandle(ffi);
}

Key::~Key()
{
    if (handle)
        rnp_key_handle_destroy(handle);
}

namespace {

int algorithmId(const std::string& alg)
{
    if (alg == "RSA")
        return kPGPPublicKeyAlgorithm_RSA;
    if (alg == "DSA")
        return kPGPPublicKeyAlgorithm_DSA;
    if (alg == "ELGAMAL")
        return kPGPPublicKeyAlgorithm_ElGamal;
    if (alg == "ECDSA")
        return kPGPPublicKeyAlgorithm_ECDSA;
    if (alg == "ECDH")
        return kPGPPublicKeyAlgorithm_ECDH;
    if (alg == "EDDSA")
        return kPGPPublicKeyAlgorithm_EdDSA;
    if (alg == "ED25519")
        return kPGPPublicKeyAlgorithm_Ed25519;
    if (alg == "X25519")
        return kPGPPublicKeyAlgorithm_X25519;
    return 0;
}

#ifdef TOLV_RNP_SIGNATURE_MARKS
// Whether a certification may be exported, and its trust level, from its
// hashed subpackets.
void readCertificationMarks(Sig& sig)
{
    bool exportable = true;
    if (rnp_signature_is_exportable(sig.handle.get(), &exportable) == RNP_SUCCESS)
        sig.exportable = exportable;
    std::uint8_t level = 0;
    if (rnp_signature_get_trust_level(sig.handle.get(), &level, nullptr) == RNP_SUCCESS)
        sig.trustLevel = level;
}
#else
// Reads one integer field of a subpacket from librnp's JSON dump of a
// signature: the value after "name": inside the object for the given type.
bool subpacketField(const std::string& json, int type, const char* name, std::string& value)
{
    const std::string marker = "\"type\":" + std::to_string(type) + ",";
    std::size_t at = 0;
    while ((at = json.find(marker, at)) != std::string::npos) {
        std::size_t end = json.find('}', at);
        std::size_t field = json.find(std::string("\"") + name + "\":", at);
        if (field != std::string::npos && field < end) {
            std::size_t v = field + std::strlen(name) + 3;
            std::size_t stop = json.find_first_of(",}", v);
            value = json.substr(v, stop - v);
            return true;
        }
        at += marker.size();
    }
    return false;
}

// The same from librnp's JSON dump of the signature, for a librnp
// without the accessors.
void readCertificationMarks(Sig& sig)
{
    char* json = nullptr;
    if (rnp_signature_packet_to_json(sig.handle.get(), 0, &json) == RNP_SUCCESS) {
        std::string j = takeRnpString(json);
        j.erase(std::remove_if(j.begin(), j.end(), [](char c) { return c == ' ' || c == '\n'; }), j.end());
        std::string v;
        if (subpacketField(j, 4, "exportable", v))
            sig.exportable = v != "false";
        if (subpacketField(j, 5, "level", v))
            sig.trustLevel = std::atoi(v.c_str());
    }
}
#endif

std::unique_ptr<Sig> buildSig(rnp_signature_handle_t rawHandle, const std::string& ownKeyId)
{
    auto sig = std::make_unique<Sig>();
    sig->handle.reset(rawHandle);
    sig->signerKeyId = upperHex(rnpText(rnp_signature_get_keyid, rawHandle));
    sig->type = rnpText(rnp_signature_get_type, rawHandle);
    rnp_signature_get_creation(rawHandle, &sig->created);
    sig->sound = true;  // it parsed
    sig->isMine = sig->signerKeyId == ownKeyId;
    sig->revoked = sig->type == "certification revocation";
    return sig;
}

void evaluateSig(Sig& sig)
{
    rnp_result_t status = rnp_signature_is_valid(sig.handle.get(), 0);
    sig.tried = status != RNP_ERROR_KEY_NOT_FOUND;
    sig.verified = status == RNP_SUCCESS;
    readCertificationMarks(sig);
}

void buildUserIds(Key& key)
{
    size_t count = 0;
    rnp_key_get_uid_count(key.handle, &count);
    for (size_t i = 0; i < count; ++i) {
        rnp_uid_handle_t raw = nullptr;
        if (rnp_key_get_uid_handle_at(key.handle, i, &raw) != RNP_SUCCESS)
            continue;
        UidHandle uid(raw);
        auto u = std::make_unique<UserID>();
        u->key = &key;
        void* data = nullptr;
        size_t size = 0;
        std::uint32_t type = RNP_USER_ID;
        rnp_uid_get_type(uid.get(), &type);
        u->isPhoto = type == RNP_USER_ATTR;
        if (u->isPhoto) {
            u->text = "(photo)";  // an image, never shown as text
        } else if (rnp_uid_get_data(uid.get(), &data, &size) == RNP_SUCCESS && data) {
            u->text.assign(static_cast<const char*>(data), size);
            rnp_buffer_destroy(data);
        }
        bool revoked = false;
        rnp_uid_is_revoked(uid.get(), &revoked);
        u->revoked = revoked;

        size_t sigCount = 0;
        rnp_uid_get_signature_count(uid.get(), &sigCount);
        for (size_t s = 0; s < sigCount; ++s) {
            rnp_signature_handle_t rawSig = nullptr;
            if (rnp_uid_get_signature_at(uid.get(), s, &rawSig) != RNP_SUCCESS)
                continue;
            auto sig = buildSig(rawSig, key.keyIdHex);
            sig->core = key.core;
            sig->owner = u.get();
            u->sigs.push_back(std::move(sig));
        }
        key.userIds.push_back(std::move(u));
    }
}

KeyUsage usageOf(rnp_key_handle_t handle)
{
    KeyUsage u;
    rnp_key_allows_usage(handle, "sign", &u.sign);
    rnp_key_allows_usage(handle, "encrypt", &u.encrypt);
    rnp_key_allows_usage(handle, "certify", &u.certify);
    return u;
}

// The facts a key and a subkey share. A key past its expiry counts as
// expired whatever librnp says of it.
void readFacts(rnp_key_handle_t handle, KeyFacts& f)
{
    f.keyIdHex = upperHex(rnpText(rnp_key_get_keyid, handle));
    f.algorithm = algorithmId(rnpText(rnp_key_get_alg, handle));
    std::uint32_t value = 0;
    rnp_key_get_bits(handle, &value);
    f.bits = static_cast<int>(value);
    value = 0;
    rnp_key_get_creation(handle, &value);
    f.creation = value;
    std::uint32_t expiry = 0;
    rnp_key_get_expiration(handle, &expiry);
    f.expiration = expiry ? f.creation + expiry : 0;
    rnp_key_have_secret(handle, &f.secret);
    rnp_key_is_revoked(handle, &f.revoked);
    rnp_key_is_expired(handle, &f.expired);
    f.expired = f.expired || (f.expiration && f.expiration <= static_cast<PGPTime>(std::time(nullptr)));
    f.usage = usageOf(handle);
}

std::unique_ptr<SubKey> buildSubKey(const CoreRef& core, rnp_key_handle_t handle)
{
    auto sub = std::make_unique<SubKey>();
    sub->core = core;
    sub->fingerprint = rnpText(rnp_key_get_fprint, handle);
    readFacts(handle, *sub);
    return sub;
}

bool hasUnverifiedRevocation(Key& key)
{
    size_t count = 0;
    rnp_key_get_signature_count(key.handle, &count);
    for (size_t i = 0; i < count; ++i) {
        rnp_signature_handle_t raw = nullptr;
        if (rnp_key_get_signature_at(key.handle, i, &raw) != RNP_SUCCESS)
            continue;
        SigHandle sig(raw);
        std::string type = rnpText(rnp_signature_get_type, sig.get());
        std::string signer = upperHex(rnpText(rnp_signature_get_keyid, sig.get()));
        if (type == "key revocation" && signer != key.keyIdHex && rnp_signature_is_valid(sig.get(), 0) != RNP_SUCCESS)
            return true;
    }
    return false;
}

}  // namespace

KeyRef buildKey(const CoreRef& core, const StoreRef& store, rnp_key_handle_t handle)
{
    auto key = std::make_shared<Key>();
    // Keeps the list of issued objects from growing without bound.
    auto& issued = store->issued;
    if (issued.size() >= 64 && issued.size() == issued.capacity())
        issued.erase(std::remove_if(issued.begin(), issued.end(), [](const auto& w) { return w.expired(); }),
                     issued.end());
    issued.push_back(key);
    key->core = core;
    key->store = store;
    key->handle = handle;
    key->fingerprint = rnpText(rnp_key_get_fprint, handle);
    readFacts(handle, *key);
    for (std::size_t i = 0; i < 8 && 2 * i + 1 < key->keyIdHex.size(); ++i)
        key->keyId[i] = static_cast<std::uint8_t>(std::stoul(key->keyIdHex.substr(2 * i, 2), nullptr, 16));
    size_t subCount = 0;
    rnp_key_get_subkey_count(handle, &subCount);
    for (size_t i = 0; i < subCount; ++i) {
        rnp_key_handle_t raw = nullptr;
        if (rnp_key_get_subkey_at(handle, i, &raw) != RNP_SUCCESS)
            continue;
        KeyHandle sub(raw);
        key->subkeys.push_back(buildSubKey(core, sub.get()));
        key->subkeys.back()->owner = key.get();
        key->subkeyIds.push_back(key->subkeys.back()->keyIdHex);
        if (rnpText(rnp_key_get_primary_fprint, sub.get()) == key->fingerprint)
            key->ownSubkeyIds.push_back(key->subkeyIds.back());
    }
    char* uid = nullptr;
    if (rnp_key_get_primary_uid(handle, &uid) == RNP_SUCCESS)
        key->primaryUserId = takeRnpString(uid);
    bool flag = false;
    rnp_key_is_valid(handle, &flag);
    key->valid = flag;
    buildUserIds(*key);
    for (std::size_t i = 0; key->primaryUserId.empty() && i < key->userIds.size(); ++i)
        if (!key->userIds[i]->isPhoto)
            key->primaryUserId = key->userIds[i]->text;
    key->unverifiedRevocation = hasUnverifiedRevocation(*key);
    return key;
}

void UserID::evaluate()
{
    if (evaluated)
        return;
    evaluated = true;
    for (auto& sig : sigs)
        evaluateSig(*sig);
    // A certification that its maker revoked later counts as revoked.
    for (const auto& revocation : sigs) {
        if (revocation->type != "certification revocation" || !revocation->verified)
            continue;
        for (auto& other : sigs)
            if (other.get() != revocation.get() && other->type != "certification revocation" &&
                other->signerKeyId == revocation->signerKeyId && other->created <= revocation->created)
                other->revoked = true;
    }
}

std::vector<KeyRef> buildKeys(const CoreRef& core, const StoreRef& store)
{
    std::vector<KeyRef> keys;
    rnp_identifier_iterator_t it = nullptr;
    if (rnp_identifier_iterator_create(store->ffi.get(), &it, "fingerprint") != RNP_SUCCESS)
        return keys;
    const char* fpr = nullptr;
    while (rnp_identifier_iterator_next(it, &fpr) == RNP_SUCCESS && fpr) {
        rnp_key_handle_t handle = nullptr;
        if (rnp_locate_key(store->ffi.get(), "fingerprint", fpr, &handle) != RNP_SUCCESS || !handle)
            continue;
        bool primary = false;
        rnp_key_is_primary(handle, &primary);
        if (!primary) {
            rnp_key_handle_destroy(handle);
            continue;
        }
        keys.push_back(buildKey(core, store, handle));
    }
    rnp_identifier_iterator_destroy(it);
    assignValidity(keys);
    return keys;
}

void assignValidity(std::vector<KeyRef>& keys)
{
    // Validity: a usable key with its secret part, or one certified by a
    // usable key pair of the same ring, is complete; a revoked or expired
    // key is invalid; any other key is unknown.
    std::set<std::string> trustedCertifiers;
    for (const auto& k : keys)
        if (k->secret && k->valid && !k->revoked && !k->expired)
            trustedCertifiers.insert(k->keyIdHex);
    for (auto& k : keys) {
        if (k->revoked || k->expired || !k->valid) {
            k->validity = kPGPValidity_Invalid;
            continue;
        }
        if (k->secret) {
            k->validity = kPGPValidity_Complete;
            continue;
        }
        // Only certifications by the ring's usable key pairs are checked here;
        // the rest wait until someone asks about them.
        bool certified = false;
        for (const auto& u : k->userIds)
            for (const auto& s : u->sigs)
                if (!certified && !s->isMine && trustedCertifiers.count(s->signerKeyId)) {
                    u->evaluate();
                    certified = s->verified && !s->revoked;
                }
        k->validity = certified ? kPGPValidity_Complete : kPGPValidity_Unknown;
    }
}

std::string upperHex(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void keyIdFromHex(const std::string& hex, PGPKeyID& out)
{
    std::memset(&out, 0, sizeof out);
    std::size_t bytes = std::min<std::size_t>(hex.size() / 2, 8);
    out.opaqueBytes[0] = static_cast<PGPByte>(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        out.opaqueBytes[1 + i] = static_cast<PGPByte>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
}

std::string hexFromKeyId(const PGPKeyID& id)
{
    static const char digits[] = "0123456789ABCDEF";
    std::size_t bytes = std::min<std::size_t>(id.opaqueBytes[0], 8);
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) {
        out += digits[id.opaqueBytes[1 + i] >> 4];
        out += digits[id.opaqueBytes[1 + i] & 15];
    }
    return out;
}

}  // namespace pgpsdk
