// PGPGenerateKey and PGPGenerateSubKey on librnp.
#include <cstdarg>
#include <string>

#include "boundary.h"
#include "entry_point.h"
#include "options.h"
#include "ring_edit.h"

using namespace pgpsdk;

namespace {

struct GenerateOptions {
    OptionList holder;  // owns the options; releases the ring's set
    const Option* params = nullptr;
    const Option* name = nullptr;
    const Option* passphrase = nullptr;
    const Option* master = nullptr;
    KeySet* ring = nullptr;
    PGPUInt32 days = 0;
    bool signingSubkey = false;  // tolvOKeyUsage
};

bool gatherGenerate(PGPOptionListRef first, va_list args, GenerateOptions& out)
{
    const bool ok = takeOptions(first, args, out.holder, [&](const Option& o) {
        switch (o.kind) {
        case OptionKind::KeyGenParams: out.params = &o; return true;
        case OptionKind::KeyGenName: out.name = &o; return true;
        case OptionKind::Passphrase: out.passphrase = &o; return true;
        case OptionKind::KeyGenMasterKey: out.master = &o; return true;
        case OptionKind::KeySetRef: out.ring = o.keySet; return true;
        case OptionKind::Expiration: out.days = o.days; return true;
        case OptionKind::KeyUsage: out.signingSubkey = o.code == kTolvKeyUsage_Sign; return true;
        default: return false;
        }
    });
    return ok && out.params && out.passphrase;
}

struct GenerateDeleter {
    void operator()(rnp_op_generate_st* op) const { rnp_op_generate_destroy(op); }
};
using GenerateHandle = std::unique_ptr<rnp_op_generate_st, GenerateDeleter>;

// librnp's name and settings for the algorithm; false for one not offered.
// A primary key and a signing subkey sign; any other subkey encrypts.
bool describe(PGPInt32 algorithm, PGPUInt32 bits, bool signs, const char*& name, const char*& curve,
              PGPUInt32& size)
{
    curve = nullptr;
    size = 0;
    switch (algorithm) {
    case kPGPPublicKeyAlgorithm_RSA:
        name = "RSA";
        size = bits ? bits : 3072;
        return size >= 2048 && size <= 4096;
    case kPGPPublicKeyAlgorithm_EdDSA:
        name = "EDDSA";
        return signs;
    case kPGPPublicKeyAlgorithm_ECDH:
        name = "ECDH";
        curve = "Curve25519";
        return !signs;
#ifdef TOLV_RNP_SEIPDV2
    case kPGPPublicKeyAlgorithm_Ed25519:
        name = "ED25519";
        return signs;
    case kPGPPublicKeyAlgorithm_X25519:
        name = "X25519";
        return !signs;
#endif
    default:
        return false;
    }
}

// The preferences a new key's self-signature states, so that peers writing
// to it choose these: AES-256 and AES-128, SHA-512 and SHA-256, ZLIB or
// no compression.
bool addPreferences(rnp_op_generate_t op)
{
    return rnp_op_generate_add_pref_cipher(op, "AES256") == RNP_SUCCESS &&
           rnp_op_generate_add_pref_cipher(op, "AES128") == RNP_SUCCESS &&
           rnp_op_generate_add_pref_hash(op, "SHA512") == RNP_SUCCESS &&
           rnp_op_generate_add_pref_hash(op, "SHA256") == RNP_SUCCESS &&
           rnp_op_generate_add_pref_compression(op, "ZLIB") == RNP_SUCCESS &&
           rnp_op_generate_add_pref_compression(op, "Uncompressed") == RNP_SUCCESS;
}

#ifdef TOLV_RNP_SEIPDV2
// RFC 9580's native curve algorithms make v6 keys (and v6 subkeys).
bool isV6Algorithm(const char* name)
{
    const std::string n = name ? name : "";
    return n == "ED25519" || n == "X25519";
}
#endif

// Settings every new key shares: usage, expiry and protection (AES-256
// with an iterated and salted S2K; none for an empty passphrase).
PGPError configure(rnp_op_generate_t op, const GenerateOptions& o, bool primary, const char* curve,
                   PGPUInt32 size)
{
    bool ok = true;
    if (size)
        ok = ok && rnp_op_generate_set_bits(op, size) == RNP_SUCCESS;
    if (curve)
        ok = ok && rnp_op_generate_set_curve(op, curve) == RNP_SUCCESS;
    if (primary) {
        ok = ok && rnp_op_generate_add_usage(op, "sign") == RNP_SUCCESS &&
             rnp_op_generate_add_usage(op, "certify") == RNP_SUCCESS &&
             rnp_op_generate_set_userid(op, o.name->name.c_str()) == RNP_SUCCESS && addPreferences(op);
    } else if (o.signingSubkey) {
        ok = ok && rnp_op_generate_add_usage(op, "sign") == RNP_SUCCESS;
    } else {
        ok = ok && rnp_op_generate_add_usage(op, "encrypt") == RNP_SUCCESS;
    }
    ok = ok && rnp_op_generate_set_expiration(op, o.days * 86400u) == RNP_SUCCESS;
    const SecretText& pass = o.passphrase->passphrase;
    if (!pass.empty())
        ok = ok && rnp_op_generate_set_protection_password(op, pass.c_str()) == RNP_SUCCESS &&
             rnp_op_generate_set_protection_cipher(op, "AES256") == RNP_SUCCESS &&
             rnp_op_generate_set_protection_hash(op, "SHA256") == RNP_SUCCESS;
    return ok ? kPGPError_NoErr : kPGPError_BadParams;
}

// A v6 key's operation is told so before anything else.
PGPError makeV6(rnp_op_generate_t op, const char* name)
{
#ifdef TOLV_RNP_SEIPDV2
    if (isV6Algorithm(name) && rnp_op_generate_set_v6_key(op) != RNP_SUCCESS)
        return kPGPError_BadParams;
#else
    (void)op, (void)name;
#endif
    return kPGPError_NoErr;
}

// Runs a prepared operation; the fingerprint of the key it made.
PGPError execute(rnp_op_generate_t op, std::string& fingerprint)
{
    if (rnp_op_generate_execute(op) != RNP_SUCCESS)
        return kPGPError_UnknownError;
    rnp_key_handle_t raw = nullptr;
    if (rnp_op_generate_get_key(op, &raw) != RNP_SUCCESS || !raw)
        return kPGPError_UnknownError;
    KeyHandle made(raw);
    fingerprint = rnpText(rnp_key_get_fprint, made.get());
    return kPGPError_NoErr;
}

PGPError generatePrimary(Context& ctx, const GenerateOptions& o, PGPKeyRef* out)
{
    StoreRef store;
    if (!o.ring || !o.name || o.master || o.signingSubkey)
        return kPGPError_BadParams;
    if (PGPError e = changeableStore(*o.ring, store))
        return e;
    const char *name = nullptr, *curve = nullptr;
    PGPUInt32 size = 0;
    if (!describe(o.params->algorithm, o.params->bits, true, name, curve, size))
        return kPGPError_BadParams;
    rnp_op_generate_t raw = nullptr;
    if (rnp_op_generate_create(&raw, store->ffi.get(), name) != RNP_SUCCESS)
        return kPGPError_BadParams;
    GenerateHandle op(raw);
    std::string fingerprint;
    PGPError e = makeV6(op.get(), name);
    if (!e)
        e = configure(op.get(), o, true, curve, size);
    if (!e)
        e = execute(op.get(), fingerprint);
    if (e)
        return e;
    std::vector<KeyRef> fresh = refreshRing(store, ctx.core, {fingerprint});
    if (fresh.empty())
        return kPGPError_UnknownError;
    if (store->ring != o.ring)
        o.ring->keys.push_back(fresh.front()), o.ring->indexed = false;
    *out = reinterpret_cast<PGPKeyRef>(fresh.front().get());
    return kPGPError_NoErr;
}

// A v6 key (its fingerprint has 64 digits) takes only v6 subkeys, of the
// native curve algorithms: the legacy EdDSA and ECDH become Ed25519 and X25519.
PGPInt32 subkeyAlgorithm(const Key& master, PGPInt32 asked)
{
    if (master.fingerprint.size() != 64)
        return asked;
    if (asked == kPGPPublicKeyAlgorithm_EdDSA)
        return kPGPPublicKeyAlgorithm_Ed25519;
    if (asked == kPGPPublicKeyAlgorithm_ECDH)
        return kPGPPublicKeyAlgorithm_X25519;
    return asked;
}

PGPError generateSubkey(Context& ctx, const GenerateOptions& o, PGPKeyRef* out)
{
    if (!o.master || o.name)
        return kPGPError_BadParams;
    Key& master = *o.master->key;
    StoreRef store;
    if (PGPError e = storeOfKey(master, store))
        return e;
    const char *name = nullptr, *curve = nullptr;
    PGPUInt32 size = 0;
    if (!master.secret || !describe(subkeyAlgorithm(master, o.params->algorithm), o.params->bits, o.signingSubkey,
                                    name, curve, size))
        return kPGPError_BadParams;
    rnp_key_handle_t handle = master.handle;
    std::vector<KeyRef> fresh;
    PGPError e = changeKeys(store, ctx.core, {master.fingerprint}, false, [&]() -> PGPError {
        UnlockedKey unlocked(handle, o.passphrase->passphrase);
        if (!unlocked.ok())
            return kPGPError_BadPassphrase;
        rnp_op_generate_t raw = nullptr;
        if (rnp_op_generate_subkey_create(&raw, store->ffi.get(), handle, name) != RNP_SUCCESS)
            return kPGPError_BadParams;
        GenerateHandle op(raw);
        std::string fingerprint;
        PGPError why = makeV6(op.get(), name);
        why = why ? why : configure(op.get(), o, false, curve, size);
        return why ? why : execute(op.get(), fingerprint);
    }, &fresh);
    if (!e && fresh.empty())
        e = kPGPError_UnknownError;
    if (!e)
        *out = reinterpret_cast<PGPKeyRef>(fresh.front().get());
    return e;
}

template <typename Run> PGPError generateCall(PGPContextRef context, PGPKeyRef* key, PGPOptionListRef first,
                                              va_list args, Run run)
{
    return withOptions<Context>(context, Tag::Context, [&](Context* ctx) -> PGPError {
        GenerateOptions options;
        const bool ok = gatherGenerate(first, args, options);
        if (!ctx || !key || !ok)
            return kPGPError_BadParams;
        *key = nullptr;
        return run(*ctx, options, key);
    });
}

}  // namespace

extern "C" {

PGPError PGPGenerateKey(PGPContextRef context, PGPKeyRef* key, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = generateCall(context, key, firstOption, args, generatePrimary);
    va_end(args);
    return result;
}

PGPError PGPGenerateSubKey(PGPContextRef context, PGPKeyRef* key, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = generateCall(context, key, firstOption, args, generateSubkey);
    va_end(args);
    return result;
}

}  // extern "C"
