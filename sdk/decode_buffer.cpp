#include "sdk/decode_buffer.h"

#include "core/frontend.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

namespace sdk {

namespace {

// One decoding from io's input to its output, its messages under caption;
// the events are recorded into events.
bool decodeRun(JobIo& io, const char* caption, JobEvents& events, PassphraseBuffer& passphrase, PGPError* outcome)
{
    SdkUse use;  // counts this run; unloading the library waits for its end
    // Asked before every decoding with an empty buffer, encrypted message or not.
    if (!readyToRun(use, passphrase, outcome))
        return false;
    const SecretText pass = passphrase.get();
    const PGPContextRef c = use.context();
    OptionListHolder optionList;
    auto fail = [&](StepFailure f) { return failRun(io, caption, f, passphrase, outcome); };
    if (StepFailure f = startOptions(c, &events, io, optionList); f.label)
        return fail(f);
    PGPOptionListRef option = call::PGPOPassphrase(c, pass.c_str());
    if (PGPError e = call::PGPAppendOptionList(c, optionList.get(), option, last(c)))
        return fail({"PGPAppendOptionList PassPhrase ", e});
    // The key set is an option of the call itself, not of the list.
    option = call::PGPOKeySetRef(c, use.keySet());
    if (PGPError e = call::PGPDecode(c, optionList.get(), option, last(c)))
        return fail({"PGPDecode ", e});
    optionList.reset();
    setOutcome(outcome, kPGPError_NoErr);
    return true;
}

// "Name (0x…)" of the first recipient whose secret key the rings hold: the
// key whose passphrase a decode needs.
std::string neededKeyName(const DecodeRecords& records)
{
    for (const RecipientRecord& r : records.recipients)
        if (r.secretHeld)
            return r.name + " (" + r.keyIdText + ")";
    return {};
}

// Decodes io, asking again for a passphrase that did not unlock the key.
DecodeResult decodeAskingAgain(JobIo& io, const char* caption, PassphraseBuffer& passphrase, const JobWatch& watch)
{
    JobEvents events;
    const PGPError outcome = withPassphraseAsksAgain(
        io, passphrase,
        [&] {
            events = JobEvents {{}, watch};  // each run reports its own events
            PGPError e = kPGPError_NotInitialized;
            const bool ok = decodeRun(io, caption, events, passphrase, &e);
            return runOutcome(ok, e);
        },
        [&] { return neededKeyName(events.records); });
    return decodeResult(std::move(events.records), outcome);
}

}  // namespace

DecodeResult Decode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output,
                            PassphraseBuffer& passphrase, const JobWatch& watch)
{
    JobIo io;
    io.input = input;
    io.inputSize = inputSize;
    DecodeResult result = decodeAskingAgain(io, "Decode_PGPBuff", passphrase, watch);
    if (result.decoded())
        output.adopt(io.outData, io.outSize);
    return result;
}

DecodeResult decodeFile(const std::string& input, const std::string& output, PassphraseBuffer& passphrase,
                        const JobWatch& watch)
{
    JobIo io;
    io.inputFile = &input;
    io.outputFile = &output;
    return decodeAskingAgain(io, "Decode_PGPFile", passphrase, watch);
}

}  // namespace sdk
