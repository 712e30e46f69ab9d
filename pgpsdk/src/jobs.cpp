// PGPEncode and PGPDecode on librnp: option gathering and the encoder.
#include <zlib.h>

#include <algorithm>

#include <cstring>
#include <set>

#include "boundary.h"
#include "entry_point.h"
#include "job_support.h"
#include "key_model.h"
#include "options.h"
#include "seipd_choice.h"
#include "job_input.h"
#include "job_output.h"

using namespace pgpsdk;

namespace {

bool gather(PGPOptionListRef first, va_list args, JobOptions& job)
{
    const bool ok = takeOptions(first, args, job.holder, [&](const Option& o) {
        switch (o.kind) {
        case OptionKind::EventHandler: job.handler = &o; return true;
        case OptionKind::InputBuffer:
        case OptionKind::InputFile: job.input = &o; return true;
        case OptionKind::AllocatedOutput:
        case OptionKind::OutputFile: job.output = &o; return true;
        case OptionKind::Armor: job.armor = o.armor; return true;
        case OptionKind::Passphrase: job.passphrase = &o; return true;
        case OptionKind::SignWithKey: job.sign = &o; return true;
        case OptionKind::EncryptToKeySet: job.encryptTo.push_back(o.keySet); return true;
        case OptionKind::KeySetRef: job.keySet = o.keySet; return true;
        case OptionKind::NullEvents: job.nullEvents = &o; return true;
        case OptionKind::StopFlag: job.stopFlag = o.stopFlag; return true;
        case OptionKind::EncryptToKey: job.encryptToKeys.push_back(o.key); return true;
        case OptionKind::Conventional: job.conventional = &o; return true;
        case OptionKind::DetachedSig: job.detached = &o; return true;
        case OptionKind::ClearSign: job.clearSign = o.armor; return true;
        default: return false;
        }
    });
    return ok;
}

// Whether compressing pays for this input: a few samples are deflated and
// compression is skipped when they barely shrink (random or already
// compressed data), which saves most of the time such data costs.
bool compressionPays(const JobInput& input)
{
    const std::size_t size = input.size();
    if (size < 256)
        return false;
    constexpr std::size_t kSample = 16 * 1024;
    const std::size_t starts[3] = {0, size / 2, size > kSample ? size - kSample : 0};
    // An input that fits in one sample is deflated once, whole.
    const std::size_t samples = size <= kSample ? 1 : 3;
    std::size_t in = 0, out = 0;
    std::vector<unsigned char> sample(std::min(size, kSample)), buf(compressBound(sample.size()));
    for (std::size_t i = 0; i < samples; ++i) {
        const std::size_t start = starts[i];
        const std::ptrdiff_t n = input.readAt(start, sample.data(), sample.size());
        uLongf destLen = static_cast<uLongf>(buf.size());
        if (n <= 0 || compress2(buf.data(), &destLen, sample.data(), static_cast<uLong>(n), 1) != Z_OK)
            return true;
        in += n;
        out += destLen;
    }
    return out < in * 9 / 10;
}

// The keys of the job (signer and recipients), all of one key ring: that
// ring, or null with the error in why.
StoreRef encodeKeys(Context& ctx, JobOptions& job, std::vector<KeyRef>& recipients, PGPError& why)
{
    StoreRef store;
    auto useStore = [&](const StoreRef& s) {
        if (!s)
            return true;
        if (!store)
            store = s;
        return store == s;
    };
    why = kPGPError_BadParams;
    if (job.sign && !useStore(job.sign->key->store))
        return nullptr;
    for (KeySet* set : job.encryptTo)
        recipients.insert(recipients.end(), set->keys.begin(), set->keys.end());
    recipients.insert(recipients.end(), job.encryptToKeys.begin(), job.encryptToKeys.end());
    // A key named twice (the sender's own among the recipients) is one recipient.
    std::set<const Key*> seen;
    recipients.erase(std::remove_if(recipients.begin(), recipients.end(),
                                    [&](const KeyRef& k) { return !seen.insert(k.get()).second; }),
                     recipients.end());
    for (const auto& k : recipients)
        if (!useStore(k->store))
            return nullptr;
    why = kPGPError_KeyUnusable;
    if (job.sign && !keyUsable(*job.sign->key))
        return nullptr;
    for (const auto& k : recipients)
        if (!keyUsable(*k))
            return nullptr;
    why = kPGPError_OutOfMemory;  // should the context lack its empty ring
    return store ? store : ctx.emptyStore;
}

// Recipients, password, signer and the algorithms of the message.
PGPError setUpEncryption(rnp_op_encrypt_t op, JobOptions& job, const std::vector<KeyRef>& recipients,
                         const JobInput& input)
{
    for (const auto& k : recipients)
        if (rnp_op_encrypt_add_recipient(op, k->handle) != RNP_SUCCESS)
            return kPGPError_NoSuitableKey;
    const Option* password = job.conventional ? job.conventional : recipients.empty() ? job.passphrase : nullptr;
    if (password && rnp_op_encrypt_add_password(op, password->passphrase.c_str(), "SHA256", 0, "AES256") != RNP_SUCCESS)
        return kPGPError_EncryptionFailed;
    if (job.sign && rnp_op_encrypt_add_signature(op, job.sign->key->handle, nullptr) != RNP_SUCCESS)
        return kPGPError_NoSuitableKey;
    rnp_op_encrypt_set_armor(op, job.armor);
    rnp_op_encrypt_set_cipher(op, "AES256");
    rnp_op_encrypt_set_hash(op, "SHA256");
    // SEIPDv2 with OCB, which RFC 9580 asks every reader of it to have, only
    // when every recipient says it reads it; never with a password, whose v6
    // session key packet the engine does not write.
    const bool seipdV2 = !password && everyRecipientReadsSeipdV2(recipients);
    rnp_op_encrypt_set_aead(op, seipdV2 ? "OCB" : "None");
#ifdef TOLV_RNP_SEIPDV2
    if (seipdV2)
        rnp_op_encrypt_enable_pkesk_v6(op);
#endif
    if (compressionPays(input))
        rnp_op_encrypt_set_compression(op, "ZLIB", 6);
    else
        rnp_op_encrypt_set_compression(op, "Uncompressed", 0);
    return kPGPError_NoErr;
}

// The SDK's code for a failed encryption.
PGPError encodeFailure(const JobOptions& job, const PassphraseSource& source, rnp_result_t r)
{
    if (job.sign && !source.text)
        return kPGPError_MissingPassphrase;
    if (job.sign && source.asked > 0 &&
        (r == RNP_ERROR_BAD_PASSWORD || r == RNP_ERROR_SIGNING_FAILED || r == RNP_ERROR_DECRYPT_FAILED ||
         r == RNP_ERROR_BAD_PARAMETERS))
        return kPGPError_BadPassphrase;
    const PGPError e = mapRnpError(r);
    return e == kPGPError_CorruptData ? kPGPError_EncryptionFailed : e;
}

// Whether the job encrypts (to keys or a password) or only signs.
bool encrypts(const JobOptions& job)
{
    return !job.encryptTo.empty() || !job.encryptToKeys.empty() || job.conventional || (!job.sign && job.passphrase);
}

// The options fit together: a clear-signed or detached signature is made
// by a signer and encrypts nothing.
bool modesFit(const JobOptions& job)
{
    if (!job.input || !job.output || (!job.sign && !encrypts(job)))
        return false;
    const bool plainSignature = job.clearSign || job.detached;
    return !plainSignature || (job.sign && !encrypts(job) && !(job.clearSign && job.detached));
}

struct SignDeleter {
    void operator()(rnp_op_sign_st* o) const { rnp_op_sign_destroy(o); }
};
using SignHandle = std::unique_ptr<rnp_op_sign_st, SignDeleter>;

// Signs without encrypting: a signed message, a clear-signed text or a
// detached signature.
rnp_result_t runSigning(rnp_ffi_t ffi, JobOptions& job, rnp_input_t input, rnp_output_t output,
                        const JobInput& source)
{
    rnp_op_sign_t raw = nullptr;
    rnp_result_t r = job.clearSign  ? rnp_op_sign_cleartext_create(&raw, ffi, input, output)
                     : job.detached ? rnp_op_sign_detached_create(&raw, ffi, input, output)
                                    : rnp_op_sign_create(&raw, ffi, input, output);
    if (r != RNP_SUCCESS)
        return r;
    SignHandle op(raw);
    if ((r = rnp_op_sign_add_signature(op.get(), job.sign->key->handle, nullptr)) != RNP_SUCCESS)
        return r;
    rnp_op_sign_set_armor(op.get(), job.armor || job.clearSign);
    rnp_op_sign_set_hash(op.get(), "SHA256");
    if (!job.clearSign && !job.detached)
        rnp_op_sign_set_compression(op.get(), compressionPays(source) ? "ZLIB" : "Uncompressed",
                                    compressionPays(source) ? 6 : 0);
    return rnp_op_sign_execute(op.get());
}

rnp_result_t runEncryption(rnp_ffi_t ffi, JobOptions& job, const std::vector<KeyRef>& recipients, rnp_input_t input,
                           rnp_output_t output, const JobInput& source, PGPError& why)
{
    rnp_op_encrypt_t rawOp = nullptr;
    rnp_result_t r = rnp_op_encrypt_create(&rawOp, ffi, input, output);
    if (r != RNP_SUCCESS)
        return r;
    EncryptHandle op(rawOp);
    if ((why = setUpEncryption(op.get(), job, recipients, source)))
        return RNP_ERROR_GENERIC;
    return rnp_op_encrypt_execute(op.get());
}

PGPError encode(PGPContextRef context, Context& ctx, JobOptions& job)
{
    if (!modesFit(job))
        return kPGPError_BadParams;
    std::vector<KeyRef> recipients;
    PGPError why = kPGPError_NoErr;
    const StoreRef store = encodeKeys(ctx, job, recipients, why);
    if (!store)
        return why;
    rnp_ffi_t ffi = store->ffi.get();

    JobInput source;
    if (PGPError e = source.open(*job.input))
        return e;
    const std::size_t size = source.size();
    const bool armoured = job.armor || job.clearSign;
    // Sized from the input so that a block rarely has to grow.
    std::unique_ptr<JobOutput> sink = makeOutput(*job.output, size + size / (armoured ? 2 : 32) + 8192,
                                                 job.output->maxSize, why);
    if (!sink)
        return why;
    if (armoured)
        sink = withUnixLineEnds(std::move(sink));
    ProgressInput progress(job, context, source);
    InputHandle input(progress.make());
    OutputHandle output(rnpOutputTo(*sink));
    if (!input || !output)
        return kPGPError_OutOfMemory;

    PassphraseSource passphrase;
    passphrase.text = job.sign && job.sign->hasPassphrase ? &job.sign->passphrase : nullptr;
    rnp_result_t r;
    {
        PassphraseScope scope(ffi, passphrase);
        r = encrypts(job) ? runEncryption(ffi, job, recipients, input.get(), output.get(), source, why)
                          : runSigning(ffi, job, input.get(), output.get(), source);
    }
    output.reset();
    if (why)
        return why;
    if (progress.stopped())
        return kPGPError_UserAbort;  // the handler stopped it: no output
    if (progress.readFailed())
        return kPGPError_ReadFailed;
    if (PGPError e = sink->failure())
        return e;
    if (r != RNP_SUCCESS)
        return encodeFailure(job, passphrase, r);
    return sink->deliver();
}

// Runs a job under the context's lock with the options of the call.
template <typename Run> PGPError runJob(PGPContextRef context, PGPOptionListRef firstOption, va_list args, Run&& run)
{
    return withOptions<Context>(context, Tag::Context, [&](Context* ctx) -> PGPError {
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
    PGPError result = runJob(context, firstOption, args, [context](Context& ctx, JobOptions& job) { return encode(context, ctx, job); });
    va_end(args);
    return result;
}

PGPError PGPDecode(PGPContextRef context, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    PGPError result = runJob(context, firstOption, args,
                             [context](Context& ctx, JobOptions& job) { return decodeJob(context, ctx, job); });
    va_end(args);
    return result;
}

}  // extern "C"
