#include "sdk/run_steps.h"

#include "core/frontend.h"
#include "sdk/decode_records.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {
constexpr PGPUInt32 kProgressIntervalMs = 50;  // at most 20 reports a second
}  // namespace

bool readyToRun(SdkUse& use, PassphraseBuffer& passphrase, PGPError* outcome)
{
    setOutcome(outcome, kPGPError_NotInitialized);
    if (!use.loadKeys())
        return false;
    // Asked before every run with an empty buffer.
    if (passphrase.get().empty() && !frontend::current().askPassphrase(passphrase)) {
        setOutcome(outcome, kPGPError_UserAbort);
        return false;
    }
    return true;
}

namespace {

StepFailure addInputOutput(PGPContextRef c, JobIo& io, PGPOptionListRef list)
{
    PGPError e = kPGPError_NoErr;
    if (io.files()) {
        PGPOptionListRef option = fileOption(c, *io.inputFile, true);
        if ((e = call::PGPAppendOptionList(c, list, option, last(c))))
            return {"PGPAppendOptionList InFile ", e};
        option = fileOption(c, *io.outputFile, false);
        if ((e = call::PGPAppendOptionList(c, list, option, last(c))))
            return {"PGPAppendOptionList OutFile ", e};
        return {};
    }
    PGPOptionListRef option = call::PGPOInputBuffer(c, static_cast<const void*>(io.input), static_cast<PGPSize>(io.inputSize));
    if ((e = call::PGPAppendOptionList(c, list, option, last(c))))
        return {"PGPAppendOptionList InBuff ", e};
    option = call::PGPOAllocatedOutputBuffer(c, &io.outData, static_cast<PGPSize>(-1), &io.outSize);
    if ((e = call::PGPAppendOptionList(c, list, option, last(c))))
        return {"PGPAppendOptionList OutPut ", e};
    return {};
}

}  // namespace

PGPOptionListRef fileOption(PGPContextRef c, const std::string& path, bool input)
{
    PGPFileSpecRef spec = nullptr;
    if (call::PGPNewFileSpecFromFullPath(c, path.c_str(), &spec))
        return nullptr;
    PGPOptionListRef option = input ? call::PGPOInputFile(c, spec) : call::PGPOOutputFile(c, spec);
    call::PGPFreeFileSpec(spec);
    return option;
}

StepFailure startOptions(PGPContextRef c, JobEvents* events, JobIo& io, OptionListHolder& list)
{
    // Each option is made before the call that takes it, in a fixed order.
    PGPOptionListRef raw = nullptr;
    PGPOptionListRef option = call::PGPOEventHandler(c, &PGPEventHandler, events);
    PGPError e = call::PGPBuildOptionList(c, &raw, option, last(c));
    if (e)
        return {"PGPBuildOptionList ", e};
    list.reset(raw);
    if (StepFailure f = addInputOutput(c, io, raw); f.label)
        return f;
    if (events && events->watch.progress) {
        option = call::PGPOSendNullEvents(c, kProgressIntervalMs);
        if ((e = call::PGPAppendOptionList(c, raw, option, last(c))))
            return {"PGPAppendOptionList NullEvents ", e};
    }
    // A library without Tolv's extension hears a stop at the next null event.
    if (events && (option = stopFlagOption(c, events->watch.stopFlag)))
        if ((e = call::PGPAppendOptionList(c, raw, option, last(c))))
            return {"PGPAppendOptionList StopFlag ", e};
    return {};
}

bool failRun(JobIo& io, const char* caption, StepFailure f, PassphraseBuffer& passphrase, PGPError* outcome)
{
    if (io.outData)
        call::PGPFreeData(io.outData);
    io.outData = nullptr;
    setOutcome(outcome, f.code);
    forgetWrongPassphrase(passphrase, f.code);
    const bool askedAgain = f.code == kPGPError_BadPassphrase && io.asksAgain;
    if (f.code != kPGPError_UserAbort && !askedAgain)  // cancelled by the user, who knows it
        reportSdkFailure(caption, f.label, f.code);
    return false;
}

PGPError withPassphraseAsksAgain(JobIo& io, PassphraseBuffer& passphrase, const std::function<PGPError()>& attempt,
                                 const std::function<std::string()>& neededKey)
{
    frontend::Frontend& user = frontend::current();
    for (int asked = 0;; ++asked) {
        io.asksAgain = asked < kPassphraseAsksAgain && user.asksAgain();
        const PGPError outcome = attempt();
        if (outcome != kPGPError_BadPassphrase || !io.asksAgain)
            return outcome;
        const frontend::PassphraseRequest request {QString::fromStdString(neededKey()), asked + 1,
                                                   kPassphraseAsksAgain};
        if (!user.askPassphraseAgain(passphrase, request))
            return kPGPError_UserAbort;
    }
}

}  // namespace sdk
