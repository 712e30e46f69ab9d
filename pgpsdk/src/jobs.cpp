// PGPEncode and PGPDecode on librnp.
#include <zlib.h>

#include <algorithm>

#include <cstring>
#include <set>

#include "boundary.h"
#include "key_model.h"
#include "options.h"
#include "output_block.h"

using namespace pgpsdk;

namespace {

// Options of one job, gathered from its option lists.
struct JobOptions {
    OptionList holder;  // owns the options; releases their key sets
    const Option* handler = nullptr;
    const Option* input = nullptr;
    const Option* output = nullptr;
    const Option* sign = nullptr;
    const Option* passphrase = nullptr;
    std::vector<KeySet*> encryptTo;
    KeySet* keySet = nullptr;
    bool armor = false;
};

bool gather(PGPOptionListRef first, va_list args, JobOptions& job)
{
    std::vector<Option> options;
    bool ok = consumeOptions(first, args, options);
    // Option lists built earlier nest their options flat in one list.
    job.holder.options = std::move(options);
    for (const Option& o : job.holder.options) {
        switch (o.kind) {
        case OptionKind::EventHandler: job.handler = &o; break;
        case OptionKind::InputBuffer: job.input = &o; break;
        case OptionKind::AllocatedOutput: job.output = &o; break;
        case OptionKind::Armor: job.armor = o.armor; break;
        case OptionKind::Passphrase: job.passphrase = &o; break;
        case OptionKind::SignWithKey: job.sign = &o; break;
        case OptionKind::EncryptToKeySet: job.encryptTo.push_back(o.keySet); break;
        case OptionKind::KeySetRef: job.keySet = o.keySet; break;
        default: ok = false; break;
        }
    }
    return ok;
}

// librnp asks for passphrases through a callback on the key store; it is
// pointed at the job's passphrase for the length of one job.
struct PassphraseSource {
    const SecretString* text = nullptr;
    int asked = 0;
};

bool providePassphrase(rnp_ffi_t, void* ctx, rnp_key_handle_t, const char*, char buf[], size_t bufLen)
{
    auto* src = static_cast<PassphraseSource*>(ctx);
    ++src->asked;
    if (!src->text || src->text->size() + 1 > bufLen || src->asked > 8)
        return false;
    std::memcpy(buf, src->text->c_str(), src->text->size() + 1);
    return true;
}

class PassphraseScope {
public:
    PassphraseScope(rnp_ffi_t ffi, PassphraseSource& src) : ffi_(ffi) { rnp_ffi_set_pass_provider(ffi, providePassphrase, &src); }
    ~PassphraseScope() { rnp_ffi_set_pass_provider(ffi_, nullptr, nullptr); }
    PassphraseScope(const PassphraseScope&) = delete;
    PassphraseScope& operator=(const PassphraseScope&) = delete;

private:
    rnp_ffi_t ffi_;
};

bool writeToBlock(void* ctx, const void* buf, size_t len)
{
    return static_cast<OutputBlock*>(ctx)->append(buf, len);
}

void closeBlock(void*, bool) {}

// An input with no bytes (librnp takes no empty memory input).
bool readNothing(void*, void*, size_t, size_t* read)
{
    *read = 0;
    return true;
}

// Whether compressing pays for this input: a few samples are deflated and
// compression is skipped when they barely shrink (random or already
// compressed data), which saves most of the time such data costs.
bool compressionPays(const unsigned char* data, std::size_t size)
{
    if (size < 256)
        return false;
    constexpr std::size_t kSample = 16 * 1024;
    const std::size_t starts[3] = {0, size / 2, size > kSample ? size - kSample : 0};
    std::size_t in = 0, out = 0;
    std::vector<unsigned char> buf(compressBound(kSample));
    for (std::size_t start : starts) {
        std::size_t n = std::min(kSample, size - start);
        uLongf destLen = static_cast<uLongf>(buf.size());
        if (compress2(buf.data(), &destLen, data + start, static_cast<uLong>(n), 1) != Z_OK)
            return true;
        in += n;
        out += destLen;
    }
    return out < in * 9 / 10;
}

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
    for (const auto& k : keys)
        if (k->keyIdHex == idHex || std::find(k->subkeyIds.begin(), k->subkeyIds.end(), idHex) != k->subkeyIds.end())
            return k;
    return nullptr;
}

PGPError encode(Context& ctx, JobOptions& job)
{
    if (!job.input || !job.output)
        return kPGPError_BadParams;
    if (!job.sign && job.encryptTo.empty() && !job.passphrase)
        return kPGPError_BadParams;

    // All keys must come from one key ring.
    StoreRef store;
    auto useStore = [&](const StoreRef& s) {
        if (!s)
            return true;
        if (!store)
            store = s;
        return store == s;
    };
    if (job.sign && !useStore(job.sign->key->store))
        return kPGPError_BadParams;
    std::vector<KeyRef> recipients;
    for (KeySet* set : job.encryptTo)
        for (const auto& k : set->keys) {
            if (!useStore(k->store))
                return kPGPError_BadParams;
            recipients.push_back(k);
        }
    if (job.sign && !keyUsable(*job.sign->key))
        return kPGPError_KeyUnusable;
    for (const auto& k : recipients)
        if (!keyUsable(*k))
            return kPGPError_KeyUnusable;
    if (!store)
        store = ctx.emptyStore;
    rnp_ffi_t ffi = store->ffi.get();

    const auto* data = static_cast<const unsigned char*>(job.input->input);
    const std::size_t size = job.input->inputSize;
    rnp_input_t rawIn = nullptr;
    rnp_result_t made = size ? rnp_input_from_memory(&rawIn, data, size, false)
                             : rnp_input_from_callback(&rawIn, readNothing, nullptr, nullptr);
    if (made != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    InputHandle input(rawIn);

    // Sized from the input so the block rarely has to grow.
    std::size_t guess = size + size / (job.armor ? 2 : 32) + 8192;
    OutputBlock block(guess, job.output->maxSize);
    rnp_output_t rawOut = nullptr;
    if (rnp_output_to_callback(&rawOut, writeToBlock, closeBlock, &block) != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    OutputHandle output(rawOut);

    rnp_op_encrypt_t rawOp = nullptr;
    if (rnp_op_encrypt_create(&rawOp, ffi, input.get(), output.get()) != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    EncryptHandle op(rawOp);

    for (const auto& k : recipients)
        if (rnp_op_encrypt_add_recipient(op.get(), k->handle) != RNP_SUCCESS)
            return kPGPError_NoSuitableKey;
    if (job.passphrase && recipients.empty() &&
        rnp_op_encrypt_add_password(op.get(), job.passphrase->passphrase.c_str(), "SHA256", 0, "AES256") !=
            RNP_SUCCESS)
        return kPGPError_EncryptionFailed;
    if (job.sign && rnp_op_encrypt_add_signature(op.get(), job.sign->key->handle, nullptr) != RNP_SUCCESS)
        return kPGPError_NoSuitableKey;
    rnp_op_encrypt_set_armor(op.get(), job.armor);
    rnp_op_encrypt_set_cipher(op.get(), "AES256");
    rnp_op_encrypt_set_hash(op.get(), "SHA256");
    rnp_op_encrypt_set_aead(op.get(), "None");
    if (compressionPays(data, size))
        rnp_op_encrypt_set_compression(op.get(), "ZLIB", 6);
    else
        rnp_op_encrypt_set_compression(op.get(), "Uncompressed", 0);

    PassphraseSource source;
    source.text = job.sign && job.sign->hasPassphrase ? &job.sign->passphrase : nullptr;
    rnp_result_t r;
    {
        PassphraseScope scope(ffi, source);
        r = rnp_op_encrypt_execute(op.get());
    }
    op.reset();
    output.reset();
    if (block.tooLarge())
        return kPGPError_OutputTooLarge;
    if (r != RNP_SUCCESS) {
        if (job.sign && !source.text)
            return kPGPError_MissingPassphrase;
        if (job.sign && source.asked > 0 && (r == RNP_ERROR_BAD_PASSWORD || r == RNP_ERROR_SIGNING_FAILED ||
                                             r == RNP_ERROR_DECRYPT_FAILED || r == RNP_ERROR_BAD_PARAMETERS))
            return kPGPError_BadPassphrase;
        PGPError e = mapRnpError(r);
        return e == kPGPError_CorruptData ? kPGPError_EncryptionFailed : e;
    }
    *job.output->outSize = block.size();
    *job.output->outBuffer = block.release();
    return kPGPError_NoErr;
}

PGPError decode(PGPContextRef context, Context& ctx, JobOptions& job)
{
    if (!job.input || !job.output)
        return kPGPError_BadParams;
    StoreRef store = job.keySet && job.keySet->store ? job.keySet->store : ctx.emptyStore;
    const std::vector<KeyRef> noKeys;
    const std::vector<KeyRef>& keys = job.keySet ? job.keySet->keys : noKeys;
    rnp_ffi_t ffi = store->ffi.get();

    const auto* data = static_cast<const unsigned char*>(job.input->input);
    const std::size_t size = job.input->inputSize;
    if (size == 0)
        return kPGPError_NotPGPMessage;
    rnp_input_t rawIn = nullptr;
    if (rnp_input_from_memory(&rawIn, data, size, false) != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    InputHandle input(rawIn);
    // Decompressed output can be several times the message; reserving that
    // costs address space only, and spares copying the block as it grows.
    OutputBlock block(size <= SIZE_MAX / 4 ? size * 4 + 65536 : size, job.output->maxSize);
    rnp_output_t rawOut = nullptr;
    if (rnp_output_to_callback(&rawOut, writeToBlock, closeBlock, &block) != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    OutputHandle output(rawOut);
    rnp_op_verify_t rawOp = nullptr;
    if (rnp_op_verify_create(&rawOp, ffi, input.get(), output.get()) != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    VerifyHandle op(rawOp);

    PassphraseSource source;
    source.text = job.passphrase ? &job.passphrase->passphrase : nullptr;
    rnp_result_t r;
    {
        PassphraseScope scope(ffi, source);
        r = rnp_op_verify_execute(op.get());
    }

    // Recipients: every key ID of the message, and the keys of the set among them.
    PGPError result = kPGPError_NoErr;
    size_t recipientCount = 0, symencCount = 0;
    rnp_op_verify_get_recipient_count(op.get(), &recipientCount);
    rnp_op_verify_get_symenc_count(op.get(), &symencCount);
    if (recipientCount || symencCount) {
        std::vector<PGPKeyID> ids;
        auto* found = new KeySet();
        found->core = ctx.core;
        found->store = store;
        found->isMutable = false;
        for (size_t i = 0; i < recipientCount; ++i) {
            rnp_recipient_handle_t rec = nullptr;
            if (rnp_op_verify_get_recipient_at(op.get(), i, &rec) != RNP_SUCCESS)
                continue;
            std::string id = upperHex(rnpText(rnp_recipient_get_keyid, rec));
            PGPKeyID kid;
            keyIdFromHex(id, kid);
            ids.push_back(kid);
            if (KeyRef k = findKeyById(keys, id)) {
                bool present = std::any_of(found->keys.begin(), found->keys.end(),
                                           [&](const KeyRef& f) { return f == k; });
                if (!present)
                    found->keys.push_back(k);
            }
        }
        PGPEvent event {};
        event.type = kPGPEvent_RecipientsEvent;
        event.data.recipientsData.recipientSet = reinterpret_cast<PGPKeySetRef>(found);
        event.data.recipientsData.conventionalPassphraseCount = static_cast<PGPUInt32>(symencCount);
        event.data.recipientsData.keyCount = static_cast<PGPUInt32>(ids.size());
        event.data.recipientsData.keyIDArray = ids.empty() ? nullptr : ids.data();
        result = sendEvent(job, context, event);
        releaseKeySet(found);
    }

    // Signatures.
    size_t sigCount = 0;
    rnp_op_verify_get_signature_count(op.get(), &sigCount);
    bool signatureTrouble = false;
    for (size_t i = 0; i < sigCount && !result; ++i) {
        rnp_op_verify_signature_t sig = nullptr;
        if (rnp_op_verify_get_signature_at(op.get(), i, &sig) != RNP_SUCCESS)
            continue;
        rnp_result_t status = rnp_op_verify_signature_get_status(sig);
        if (status != RNP_SUCCESS)
            signatureTrouble = true;
        PGPEvent event {};
        event.type = kPGPEvent_SignatureEvent;
        auto& sd = event.data.signatureData;
        std::string signerId;
        rnp_signature_handle_t handle = nullptr;
        if (rnp_op_verify_signature_get_handle(sig, &handle) == RNP_SUCCESS && handle) {
            signerId = upperHex(rnpText(rnp_signature_get_keyid, handle));
            rnp_signature_handle_destroy(handle);
        }
        keyIdFromHex(signerId, sd.signingKeyID);
        std::uint32_t created = 0, expires = 0;
        rnp_op_verify_signature_get_times(sig, &created, &expires);
        sd.creationTime = created;
        KeyRef signer = signerId.empty() ? nullptr : findKeyById(keys, signerId);
        sd.signingKey = reinterpret_cast<PGPKeyRef>(signer.get());
        sd.checked = status != RNP_ERROR_KEY_NOT_FOUND && signer != nullptr;
        sd.verified = status == RNP_SUCCESS;
        if (signer) {
            sd.keyRevoked = signer->revoked;
            sd.keyExpired = signer->expired;
            sd.keyDisabled = 0;
            sd.keyValidity = signer->validity;
            sd.keyMeetsValidityThreshold = signer->validity >= kPGPValidity_Complete;
        }
        result = sendEvent(job, context, event);
    }

    if (result) {
        output.reset();
        return result;  // the handler stopped the job; the block is wiped with it
    }
    // Bad or unknown signatures are reported through the signature events;
    // the data itself decoded fine.
    bool onlySignatureTrouble = signatureTrouble && (r == RNP_ERROR_SIGNATURE_INVALID ||
                                                     r == RNP_ERROR_KEY_NOT_FOUND || r == RNP_ERROR_SIGNATURE_EXPIRED);
    if (r != RNP_SUCCESS && !onlySignatureTrouble) {
        if (r == RNP_ERROR_NO_SUITABLE_KEY || (r == RNP_ERROR_KEY_NOT_FOUND && recipientCount))
            return source.asked > 0 && recipientCount ? kPGPError_BadPassphrase : kPGPError_NoDecryptionKey;
        if (r == RNP_ERROR_BAD_PASSWORD || (r == RNP_ERROR_DECRYPT_FAILED && source.asked > 0))
            return kPGPError_BadPassphrase;
        if (r == RNP_ERROR_DECRYPT_FAILED && !source.text)
            return kPGPError_MissingPassphrase;
        if (r == RNP_ERROR_BAD_FORMAT && !recipientCount && !sigCount && !symencCount)
            return kPGPError_NotPGPMessage;
        if (block.tooLarge())
            return kPGPError_OutputTooLarge;
        return mapRnpError(r);
    }
    char* mode = nullptr;
    bool valid = false;
    rnp_op_verify_get_protection_info(op.get(), &mode, nullptr, &valid);
    std::string protection = takeRnpString(mode);
    if (protection == "cfb")
        return kPGPError_NoIntegrityProtection;
    if (protection != "none" && !protection.empty() && !valid)
        return kPGPError_IntegrityCheckFailed;
    op.reset();
    output.reset();
    *job.output->outSize = block.size();
    *job.output->outBuffer = block.release();
    return kPGPError_NoErr;
}

// Runs a job under the context's lock with the options of the call.
template <typename Run> PGPError runJob(PGPContextRef context, PGPOptionListRef firstOption, va_list args, Run&& run)
{
    return guarded([&]() -> PGPError {
        auto* ctx = as<Context>(context, Tag::Context);
        CoreRef core = ctx ? ctx->core : nullptr;
        std::unique_lock<std::recursive_mutex> lock;
        if (core)
            lock = std::unique_lock(core->mutex);
        JobOptions job;
        bool ok = gather(firstOption, args, job);
        if (!ctx || !ok)
            return kPGPError_BadParams;
        return run(*ctx, job);
    });
}

}  // namespace

extern "C" {

PGPError PGPEncode(PGPContextRef context, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    PGPError result = runJob(context, firstOption, args, [](Context& ctx, JobOptions& job) { return encode(ctx, job); });
    va_end(args);
    return result;
}

PGPError PGPDecode(PGPContextRef context, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    PGPError result = runJob(context, firstOption, args,
                             [context](Context& ctx, JobOptions& job) { return decode(context, ctx, job); });
    va_end(args);
    return result;
}

}  // extern "C"
