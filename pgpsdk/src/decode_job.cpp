// PGPDecode on librnp: decrypts and verifies a message (in memory or in a
// file), reports its recipients and signatures as events, and hands out the
// plain data.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "hidden_recipients.h"
#include "job_support.h"
#include "key_model.h"
#include "message_damage.h"
#include "message_format.h"
#include "output_event.h"
#include "job_input.h"
#include "job_output.h"
#include "rnp_handles.h"

namespace pgpsdk {

namespace {

const std::string kHiddenKeyId(16, '0');

// One pass of librnp's verify. Members are destroyed in reverse order: the
// operation before its output, and the output before its sink.
struct VerifyRun {
    std::unique_ptr<JobOutput> sink;
    InputHandle input;
    OutputHandle output;
    VerifyHandle op;
    PassphraseSource source;
    rnp_result_t result = RNP_ERROR_GENERIC;
};

// Runs librnp's verify from rawIn (taken over) into sink; null when librnp
// could not set it up.
std::unique_ptr<VerifyRun> runVerify(rnp_ffi_t ffi, rnp_input_t rawIn, std::unique_ptr<JobOutput> sink,
                                     const SecretText* passphrase)
{
    auto run = std::make_unique<VerifyRun>();
    run->sink = std::move(sink);
    run->input.reset(rawIn);
    if (!run->input || !run->sink)
        return nullptr;
    run->output.reset(rnpOutputTo(*run->sink));
    rnp_op_verify_t rawOp = nullptr;
    if (!run->output || rnp_op_verify_create(&rawOp, ffi, run->input.get(), run->output.get()) != RNP_SUCCESS)
        return nullptr;
    run->op.reset(rawOp);
    run->source.text = passphrase;
    PassphraseScope scope(ffi, run->source);
    run->result = rnp_op_verify_execute(run->op.get());
    return run;
}

// Where a run writes: the job's output, sized about the message; larger
// decompressed output grows a block by moving its pages, never by copying.
struct OutputPlan {
    const Option* option = nullptr;
    std::size_t sizeHint = 0;
    std::size_t maxSize = 0;
    std::unique_ptr<JobOutput> make(PGPError& why) const { return makeOutput(*option, sizeHint, maxSize, why); }
};

std::string recipientKeyId(rnp_op_verify_t op, std::size_t i)
{
    rnp_recipient_handle_t rec = nullptr;
    if (rnp_op_verify_get_recipient_at(op, i, &rec) != RNP_SUCCESS)
        return {};
    return upperHex(rnpText(rnp_recipient_get_keyid, rec));
}

bool hasHiddenRecipient(rnp_op_verify_t op)
{
    std::size_t count = 0;
    rnp_op_verify_get_recipient_count(op, &count);
    for (std::size_t i = 0; i < count; ++i)
        if (recipientKeyId(op, i) == kHiddenKeyId)
            return true;
    return false;
}

// The message without its ASCII armour (as it is when it has none).
std::vector<unsigned char> binaryMessage(const unsigned char* data, std::size_t size)
{
    rnp_input_t rawIn = nullptr;
    rnp_output_t rawOut = nullptr;
    if (rnp_input_from_memory(&rawIn, data, size, false) != RNP_SUCCESS)
        return {};
    InputHandle in(rawIn);
    if (rnp_output_to_memory(&rawOut, 0) != RNP_SUCCESS)
        return {};
    OutputHandle out(rawOut);
    uint8_t* buf = nullptr;
    size_t len = 0;
    if (rnp_dearmor(in.get(), out.get()) != RNP_SUCCESS || rnp_output_memory_get_buf(out.get(), &buf, &len, false) != RNP_SUCCESS)
        return {data, data + size};
    return {buf, buf + len};
}

void writeKeyId(std::vector<unsigned char>& message, std::size_t offset, const std::string& hex)
{
    PGPKeyID id {};
    keyIdFromHex(hex, id);
    std::copy(id.opaqueBytes + 1, id.opaqueBytes + 9, message.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool wrongKey(rnp_result_t r)
{
    return r == RNP_ERROR_NO_SUITABLE_KEY || r == RNP_ERROR_KEY_NOT_FOUND || r == RNP_ERROR_DECRYPT_FAILED ||
           r == RNP_ERROR_BAD_PASSWORD;
}

// A message for a hidden recipient, tried with each secret key of the set
// in the hidden packet's place. The run that got past the session key, or
// null when no key did.
struct HiddenMatch {
    std::unique_ptr<VerifyRun> run;
    KeyRef key;
    std::size_t packetIndex = 0;
    int passphraseAsks = 0;
};

HiddenMatch tryHiddenRecipients(rnp_ffi_t ffi, JobInput& input, const OutputPlan& plan,
                                const std::vector<KeyRef>& keys, const SecretText* passphrase)
{
    HiddenMatch match;
    const unsigned char* data = input.whole();
    if (!data)
        return match;
    std::vector<unsigned char> message = binaryMessage(data, input.size());
    const auto packets = sessionKeyPackets(message.data(), message.size());
    for (std::size_t p = 0; p < packets.size(); ++p) {
        if (!packets[p].hidden)
            continue;
        for (const KeyRef& key : keys) {
            if (!key->secret)
                continue;
            std::vector<std::string> ids = key->subkeyIds;
            ids.push_back(key->keyIdHex);
            for (const std::string& id : ids) {
                writeKeyId(message, packets[p].keyIdOffset, id);
                rnp_input_t in = nullptr;
                PGPError why = kPGPError_NoErr;
                if (rnp_input_from_memory(&in, message.data(), message.size(), false) != RNP_SUCCESS)
                    in = nullptr;
                auto run = runVerify(ffi, in, plan.make(why), passphrase);
                if (!run)
                    continue;
                match.passphraseAsks += run->source.asked;
                if (!wrongKey(run->result)) {
                    match.run = std::move(run);
                    match.key = key;
                    match.packetIndex = p;
                    return match;
                }
            }
        }
        writeKeyId(message, packets[p].keyIdOffset, kHiddenKeyId);
    }
    return match;
}

// Whether the passphrase unlocks one of the secret keys: after no key took a
// hidden recipient's packet, this tells a wrong passphrase from a message
// that is for none of them.
bool passphraseOpensAnyKey(const std::vector<KeyRef>& keys, const SecretText* passphrase)
{
    for (const KeyRef& key : keys) {
        bool isProtected = false;
        if (!key->secret || rnp_key_is_protected(key->handle, &isProtected) != RNP_SUCCESS)
            continue;
        if (!isProtected)
            return true;
        if (passphrase && rnp_key_unlock(key->handle, passphrase->c_str()) == RNP_SUCCESS) {
            rnp_key_lock(key->handle);
            return true;
        }
    }
    return false;
}

// The recipients event: every key ID of the message, and the keys of the set among them.
PGPError reportRecipients(PGPContextRef context, Context& ctx, const JobOptions& job, const StoreRef& store,
                          rnp_op_verify_t op, const KeyRef& hiddenKey, std::size_t hiddenIndex)
{
    size_t recipientCount = 0, symencCount = 0;
    rnp_op_verify_get_recipient_count(op, &recipientCount);
    rnp_op_verify_get_symenc_count(op, &symencCount);
    if (!recipientCount && !symencCount)
        return kPGPError_NoErr;
    const std::vector<KeyRef> noKeys;
    const std::vector<KeyRef>& keys = job.keySet ? job.keySet->keys : noKeys;
    std::vector<PGPKeyID> ids;
    auto* found = new KeySet();
    found->core = ctx.core;
    found->store = store;
    found->isMutable = false;
    for (size_t i = 0; i < recipientCount; ++i) {
        const bool isHidden = hiddenKey && i == hiddenIndex;
        std::string id = isHidden ? kHiddenKeyId : recipientKeyId(op, i);
        PGPKeyID kid {};
        keyIdFromHex(id, kid);
        ids.push_back(kid);
        KeyRef k = isHidden ? hiddenKey : findKeyById(keys, id);
        if (k && std::find(found->keys.begin(), found->keys.end(), k) == found->keys.end())
            found->keys.push_back(k);
    }
    PGPEvent event {};
    event.type = kPGPEvent_RecipientsEvent;
    event.data.recipientsData.recipientSet = reinterpret_cast<PGPKeySetRef>(found);
    event.data.recipientsData.conventionalPassphraseCount = static_cast<PGPUInt32>(symencCount);
    event.data.recipientsData.keyCount = static_cast<PGPUInt32>(ids.size());
    event.data.recipientsData.keyIDArray = ids.empty() ? nullptr : ids.data();
    PGPError result = sendEvent(job, context, event);
    releaseKeySet(found);
    return result;
}

// Whether the signature's math holds. librnp fails every signature of a
// key that was revoked or had expired; such a signature still holds when
// its math does, and the key's state (keyRevoked, keyExpired) tells the rest.
bool signatureHolds(rnp_op_verify_signature_t sig, rnp_result_t status, const Key* signer)
{
    if (status == RNP_SUCCESS)
        return true;
    if (!signer || status != RNP_ERROR_SIGNATURE_INVALID || !(signer->revoked || signer->expired))
        return false;
#ifdef TOLV_RNP_SIGNATURE_SOUND
    bool sound = false;
    return rnp_op_verify_signature_is_sound(sig, &sound) == RNP_SUCCESS && sound;
#else
    // This librnp cannot tell: the key's state is all that can be said.
    (void)sig;
    return signer->revoked;
#endif
}

// One signature event per signature of the message, in message order. A
// signature announced at the start (one-pass) whose packet never came is
// no signature by anyone but a message cut short: it has no event, and
// cutShort tells of it.
PGPError reportSignatures(PGPContextRef context, const JobOptions& job, rnp_op_verify_t op, bool& trouble,
                          bool& cutShort)
{
    const std::vector<KeyRef> noKeys;
    const std::vector<KeyRef>& keys = job.keySet ? job.keySet->keys : noKeys;
    size_t sigCount = 0;
    rnp_op_verify_get_signature_count(op, &sigCount);
    for (size_t i = 0; i < sigCount; ++i) {
        rnp_op_verify_signature_t sig = nullptr;
        if (rnp_op_verify_get_signature_at(op, i, &sig) != RNP_SUCCESS)
            continue;
        rnp_result_t status = rnp_op_verify_signature_get_status(sig);
        trouble = trouble || status != RNP_SUCCESS;
        PGPEvent event {};
        event.type = kPGPEvent_SignatureEvent;
        auto& sd = event.data.signatureData;
        std::string signerId;
        rnp_signature_handle_t handle = nullptr;
        if (rnp_op_verify_signature_get_handle(sig, &handle) == RNP_SUCCESS && handle) {
            signerId = upperHex(rnpText(rnp_signature_get_keyid, handle));
            rnp_signature_handle_destroy(handle);
        }
        std::uint32_t created = 0, expires = 0;
        rnp_op_verify_signature_get_times(sig, &created, &expires);
        if (signerId.empty() && created == 0) {
            cutShort = true;
            continue;
        }
        keyIdFromHex(signerId, sd.signingKeyID);
        sd.creationTime = created;
        // A key librnp would not take as the signer (a signing subkey its
        // primary key does not cross-certify, among others) is no signer.
        KeyRef signer = signerId.empty() || status == RNP_ERROR_KEY_NOT_FOUND ? nullptr : findKeyById(keys, signerId);
        sd.signingKey = reinterpret_cast<PGPKeyRef>(signer.get());
        sd.checked = status != RNP_ERROR_KEY_NOT_FOUND && signer != nullptr;
        sd.verified = signatureHolds(sig, status, signer.get());
        if (signer) {
            sd.keyRevoked = signer->revoked;
            sd.keyExpired = signer->expired;
            sd.keyDisabled = 0;
            sd.keyValidity = signer->validity;
            sd.keyMeetsValidityThreshold = signer->validity >= kPGPValidity_Complete;
        }
        if (PGPError e = sendEvent(job, context, event))
            return e;
    }
    return kPGPError_NoErr;
}

// The message that was decoded, and what it was decoded with.
struct DecodeInput {
    JobInput* message = nullptr;
    const std::vector<KeyRef>* keys = nullptr;
    const SecretText* passphrase = nullptr;
    bool readFailed = false;  // reading the message's file failed
};

PGPError formDamage(JobInput& message)
{
    const unsigned char* data = message.whole();
    return data ? messageDamage(data, message.size()) : kPGPError_NoErr;
}

// A message whose packets use a version or an algorithm the engine cannot
// read is told as such, never as damage or as no message at all.
PGPError formatUnreadable(JobInput& message)
{
    const unsigned char* data = message.whole();
    const std::string what = data ? unreadableFormat(data, message.size()) : std::string();
    if (what.empty())
        return kPGPError_NoErr;
    rememberUnreadableFormat(what);
    return kPGPError_UnsupportedFormat;
}

// Whether the passphrase unlocks one of the secret keys the message names:
// then a refused session key means a damaged message, not a wrong passphrase.
bool passphraseOpensARecipientKey(rnp_op_verify_t op, const DecodeInput& in)
{
    std::size_t count = 0;
    rnp_op_verify_get_recipient_count(op, &count);
    std::vector<KeyRef> named;
    for (std::size_t i = 0; i < count && in.keys; ++i)
        if (KeyRef k = findKeyById(*in.keys, recipientKeyId(op, i)))
            named.push_back(k);
    return !named.empty() && passphraseOpensAnyKey(named, in.passphrase);
}

bool sessionKeyObtained(rnp_op_verify_t op)
{
    rnp_recipient_handle_t recipient = nullptr;
    rnp_symenc_handle_t symenc = nullptr;
    rnp_op_verify_get_used_recipient(op, &recipient);
    rnp_op_verify_get_used_symenc(op, &symenc);
    return recipient || symenc;
}

// Why a run failed. librnp reports most damage as a read error, so the
// message's form is looked at first; a fault after the session key was
// obtained is the integrity check's.
PGPError failureOf(VerifyRun& run, int passphraseAsks, const DecodeInput& in)
{
    const rnp_result_t r = run.result;
    rnp_op_verify_t op = run.op.get();
    size_t recipientCount = 0, symencCount = 0, sigCount = 0;
    rnp_op_verify_get_recipient_count(op, &recipientCount);
    rnp_op_verify_get_symenc_count(op, &symencCount);
    rnp_op_verify_get_signature_count(op, &sigCount);
    if (PGPError unreadable = formatUnreadable(*in.message))
        return unreadable;
    if (r == RNP_ERROR_BAD_FORMAT && !recipientCount && !sigCount && !symencCount)
        return kPGPError_NotPGPMessage;
    if (PGPError e = run.sink->failure())
        return e;
    if (in.readFailed)
        return kPGPError_ReadFailed;
    if (PGPError damage = formDamage(*in.message))
        return damage;
    if (sessionKeyObtained(op))
        return r == RNP_ERROR_NOT_ENOUGH_DATA || r == RNP_ERROR_EOF ? kPGPError_TruncatedData
                                                                     : kPGPError_IntegrityCheckFailed;
    const bool keyRefused = r == RNP_ERROR_NO_SUITABLE_KEY || (r == RNP_ERROR_KEY_NOT_FOUND && recipientCount) ||
                            r == RNP_ERROR_BAD_PASSWORD || r == RNP_ERROR_DECRYPT_FAILED;
    if (keyRefused && passphraseAsks > 0 && hasHiddenRecipient(op)) {
        // No key is named: a passphrase that opens one of them was right,
        // and the message is for none of them.
        const bool opens = in.keys && passphraseOpensAnyKey(*in.keys, in.passphrase);
        return opens ? kPGPError_NoDecryptionKey : kPGPError_BadPassphrase;
    }
    if (keyRefused && passphraseAsks > 0)
        return passphraseOpensARecipientKey(op, in) ? kPGPError_CorruptData : kPGPError_BadPassphrase;
    if (keyRefused && recipientCount)
        return kPGPError_NoDecryptionKey;
    if (r == RNP_ERROR_DECRYPT_FAILED && !run.source.text)
        return kPGPError_MissingPassphrase;
    if (r == RNP_ERROR_READ)
        return kPGPError_CorruptData;  // the input was read: librnp's read error is damage
    return mapRnpError(r);
}

// The error a finished run stands for; signature trouble alone is none.
PGPError runError(VerifyRun& run, bool signatureTrouble, int passphraseAsks, const DecodeInput& in)
{
    const rnp_result_t r = run.result;
    const bool onlySignatureTrouble = signatureTrouble && (r == RNP_ERROR_SIGNATURE_INVALID ||
                                                           r == RNP_ERROR_KEY_NOT_FOUND ||
                                                           r == RNP_ERROR_SIGNATURE_EXPIRED);
    if (r != RNP_SUCCESS && !onlySignatureTrouble)
        return failureOf(run, passphraseAsks, in);
    char* mode = nullptr;
    bool valid = false;
    rnp_op_verify_get_protection_info(run.op.get(), &mode, nullptr, &valid);
    const std::string protection = takeRnpString(mode);
    if (protection == "cfb")
        return kPGPError_NoIntegrityProtection;
    if (protection != "none" && !protection.empty() && !valid)
        return kPGPError_IntegrityCheckFailed;
    return kPGPError_NoErr;
}

// The most a decode may put out, whatever the caller allows: no more than
// 1,100 times the message (above what deflate can reach, 1,032:1) but at
// least 64 MiB, and in memory no more than half the physical memory. A
// compression bomb stops with "Output too large" before it endangers the
// machine or fills its disk.
std::size_t outputCap(std::size_t inputSize, std::size_t callerMax, bool inMemory)
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    const bool known = inMemory && pages > 0 && pageSize > 0;
    const std::size_t halfMemory = known ? static_cast<std::size_t>(pages) / 2 * pageSize : SIZE_MAX;
    constexpr std::size_t kRatio = 1100, kFloor = 64u << 20;
    const std::size_t byRatio = inputSize > SIZE_MAX / kRatio ? SIZE_MAX : std::max(inputSize * kRatio, kFloor);
    return std::min({callerMax, halfMemory, byRatio});
}

// The checks made before a message is decoded, on its start.
PGPError refusedAtOnce(JobInput& message)
{
    if (message.size() == 0)
        return kPGPError_NotPGPMessage;
    constexpr std::size_t kHead = 1u << 20;  // the session keys come first
    const ByteView head = message.inMemory() ? ByteView(message.whole(), message.size()) : message.head(kHead);
    return sessionKeyPacketsRefused(head.data(), head.size());
}

// The first run, reading the message as it goes; with a hidden recipient
// the message is tried with each secret key.
struct DecodeRuns {
    std::unique_ptr<VerifyRun> run;
    HiddenMatch hidden;
    int passphraseAsks = 0;
};

PGPError runDecode(PGPContextRef context, rnp_ffi_t ffi, JobOptions& job, JobInput& message, DecodeInput& in,
                   DecodeRuns& runs)
{
    OutputPlan plan;
    plan.option = job.output;
    plan.sizeHint = message.size() <= SIZE_MAX / 2 ? message.size() + message.size() / 8 + 65536 : message.size();
    plan.maxSize = outputCap(message.size(), job.output->maxSize, job.output->kind == OptionKind::AllocatedOutput);
    PGPError why = kPGPError_NoErr;
    std::unique_ptr<JobOutput> sink = plan.make(why);
    if (!sink)
        return why;
    ProgressInput progress(job, context, message);
    runs.run = runVerify(ffi, progress.make(), std::move(sink), in.passphrase);
    if (!runs.run)
        return kPGPError_OutOfMemory;
    if (progress.stopped())
        return kPGPError_UserAbort;  // the handler stopped it: no output
    in.readFailed = progress.readFailed();
    runs.passphraseAsks = runs.run->source.asked;
    if (wrongKey(runs.run->result) && job.keySet && hasHiddenRecipient(runs.run->op.get())) {
        runs.hidden = tryHiddenRecipients(ffi, message, plan, job.keySet->keys, in.passphrase);
        runs.passphraseAsks += runs.hidden.passphraseAsks;
        if (runs.hidden.run)
            runs.run = std::move(runs.hidden.run);
    }
    return kPGPError_NoErr;
}

// A detached signature (the job's input) over the signed data of the
// PGPODetachedSig option: the signature events tell the verdict; nothing is
// written.
PGPError verifyDetached(PGPContextRef context, rnp_ffi_t ffi, JobOptions& job)
{
    Option dataOption = *job.detached;
    dataOption.kind = job.detached->dataKind;
    JobInput signature, data;
    if (PGPError e = signature.open(*job.input))
        return e;
    if (PGPError e = data.open(dataOption))
        return e;
    const unsigned char* sigBytes = signature.whole();
    rnp_input_t rawSig = nullptr;
    if (!sigBytes || rnp_input_from_memory(&rawSig, sigBytes, signature.size(), false) != RNP_SUCCESS)
        return kPGPError_ReadFailed;
    InputHandle sigInput(rawSig);
    ProgressInput progress(job, context, data);
    InputHandle dataInput(progress.make());
    rnp_op_verify_t rawOp = nullptr;
    if (!dataInput || rnp_op_verify_detached_create(&rawOp, ffi, dataInput.get(), sigInput.get()) != RNP_SUCCESS)
        return kPGPError_OutOfMemory;
    VerifyHandle op(rawOp);
    const rnp_result_t r = rnp_op_verify_execute(op.get());
    if (progress.stopped())
        return kPGPError_UserAbort;
    if (progress.readFailed())
        return kPGPError_ReadFailed;
    bool trouble = false, cutShort = false;
    if (PGPError e = reportSignatures(context, job, op.get(), trouble, cutShort))
        return e;
    if (cutShort)
        return kPGPError_TruncatedData;
    size_t count = 0;
    rnp_op_verify_get_signature_count(op.get(), &count);
    if (count == 0)
        return r == RNP_SUCCESS ? kPGPError_NotPGPMessage : mapRnpError(r);
    return kPGPError_NoErr;  // good or bad, the events tell
}

}  // namespace

PGPError decodeJob(PGPContextRef context, Context& ctx, JobOptions& job)
{
    StoreRef store = job.keySet && job.keySet->store ? job.keySet->store : ctx.emptyStore;
    if (job.detached && job.detached->dataKind != OptionKind::Invalid && job.input)
        return verifyDetached(context, store->ffi.get(), job);
    if (!job.input || !job.output || job.detached)
        return kPGPError_BadParams;
    JobInput message;
    if (PGPError e = message.open(*job.input))
        return e;
    if (PGPError e = refusedAtOnce(message))
        return e;
    DecodeInput in {&message, job.keySet ? &job.keySet->keys : nullptr,
                    job.passphrase ? &job.passphrase->passphrase : nullptr};
    DecodeRuns runs;
    if (PGPError e = runDecode(context, store->ffi.get(), job, message, in, runs))
        return e;
    VerifyRun& run = *runs.run;
    PGPError result = reportRecipients(context, ctx, job, store, run.op.get(), runs.hidden.key, runs.hidden.packetIndex);
    bool signatureTrouble = false, cutShort = false;
    if (!result)
        result = reportSignatures(context, job, run.op.get(), signatureTrouble, cutShort);
    if (result)
        return result;  // the handler stopped the job; the output goes with it
    if (cutShort)
        return kPGPError_TruncatedData;
    if (PGPError e = runError(run, signatureTrouble, runs.passphraseAsks, in))
        return e;
    if (PGPError e = offerOutput(context, job, run.op.get(), *run.sink))
        return e;  // the handler stopped the job: no output
    run.op.reset();
    run.output.reset();
    return run.sink->deliver();
}

}  // namespace pgpsdk
