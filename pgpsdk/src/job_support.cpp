#include "job_support.h"

#include <algorithm>
#include <cstring>


namespace pgpsdk {

namespace {

bool providePassphrase(rnp_ffi_t, void* ctx, rnp_key_handle_t key, const char*, char buf[], size_t bufLen)
{
    // Bounded by the keys asked for, not by the calls: a message may name
    // one key many times, but each call costs a key derivation, so the
    // calls are bounded too.
    constexpr std::size_t kMaxKeys = 16;
    constexpr int kMaxCalls = 32;
    auto* src = static_cast<PassphraseSource*>(ctx);
    ++src->asked;
    char* id = nullptr;
    if (key && rnp_key_get_keyid(key, &id) == RNP_SUCCESS && id) {
        src->keys.insert(id);
        rnp_buffer_destroy(id);
    }
    if (!src->text || src->text->size() + 1 > bufLen || src->keys.size() > kMaxKeys || src->asked > kMaxCalls)
        return false;
    std::memcpy(buf, src->text->c_str(), src->text->size() + 1);
    return true;
}

}  // namespace

PassphraseScope::PassphraseScope(rnp_ffi_t ffi, PassphraseSource& src) : ffi_(ffi)
{
    rnp_ffi_set_pass_provider(ffi, providePassphrase, &src);
}

PassphraseScope::~PassphraseScope() { rnp_ffi_set_pass_provider(ffi_, nullptr, nullptr); }

PGPError mapRnpError(rnp_result_t r)
{
    switch (r) {
    case RNP_SUCCESS: return kPGPError_NoErr;
    case RNP_ERROR_BAD_PASSWORD: return kPGPError_BadPassphrase;
    case RNP_ERROR_NO_SUITABLE_KEY: return kPGPError_NoSuitableKey;
    case RNP_ERROR_KEY_NOT_FOUND: return kPGPError_NoSuitableKey;
    case RNP_ERROR_OUT_OF_MEMORY: return kPGPError_OutOfMemory;
    case RNP_ERROR_NOT_ENOUGH_DATA:
    case RNP_ERROR_EOF: return kPGPError_TruncatedData;
    case RNP_ERROR_BAD_FORMAT:
    case RNP_ERROR_UNKNOWN_TAG:
    case RNP_ERROR_PACKET_NOT_CONSUMED: return kPGPError_CorruptData;
    case RNP_ERROR_BAD_STATE:
    case RNP_ERROR_MAC_INVALID: return kPGPError_IntegrityCheckFailed;
    case RNP_ERROR_SIGNING_FAILED: return kPGPError_SigningFailed;
    case RNP_ERROR_WRITE: return kPGPError_WriteFailed;
    case RNP_ERROR_READ: return kPGPError_ReadFailed;
    case RNP_ERROR_NOT_SUPPORTED:
    case RNP_ERROR_NOT_IMPLEMENTED: return kPGPError_FeatureNotAvailable;
    default: return kPGPError_CorruptData;
    }
}

bool keyUsable(const Key& k) { return k.valid && !k.revoked && !k.expired; }

PGPError sendEvent(const JobOptions& job, PGPContextRef context, PGPEvent& event)
{
    if (!job.handler)
        return kPGPError_NoErr;
    PGPError r = job.handler->handler(context, &event, job.handler->userValue);
    return r ? kPGPError_UserAbort : kPGPError_NoErr;
}

KeyRef findKeyById(const std::vector<KeyRef>& keys, const std::string& idHex)
{
    auto lists = [&](const std::vector<std::string>& ids) { return std::find(ids.begin(), ids.end(), idHex) != ids.end(); };
    for (const auto& k : keys)
        if (k->keyIdHex == idHex || lists(k->ownSubkeyIds))
            return k;
    for (const auto& k : keys)
        if (lists(k->subkeyIds))
            return k;
    return nullptr;
}

}  // namespace pgpsdk
