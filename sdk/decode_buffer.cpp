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

}  // namespace

DecodeResult Decode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output,
                            PassphraseBuffer& passphrase, const JobWatch& watch)
{
    JobIo io;
    io.input = input;
    io.inputSize = inputSize;
    JobEvents events {{}, watch};
    PGPError outcome = kPGPError_NoErr;
    if (decodeRun(io, "Decode_PGPBuff", events, passphrase, &outcome))
        output.adopt(io.outData, io.outSize);
    return decodeResult(std::move(events.records), outcome);
}

DecodeResult decodeFile(const std::string& input, const std::string& output, PassphraseBuffer& passphrase,
                        const JobWatch& watch)
{
    JobIo io;
    io.inputFile = &input;
    io.outputFile = &output;
    JobEvents events {{}, watch};
    PGPError outcome = kPGPError_NoErr;
    decodeRun(io, "Decode_PGPFile", events, passphrase, &outcome);
    return decodeResult(std::move(events.records), outcome);
}

}  // namespace sdk
