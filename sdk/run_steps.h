#pragma once
// The steps the encoder and the decoder share: being ready to run (key
// rings open, a passphrase in the buffer) and the options every run starts
// with (event handler, input, output block).
#include <cstdint>
#include <functional>
#include <string>

#include "core/shared_passphrase.h"
#include "sdk/decode_records.h"
#include "sdk/sdk_holders.h"
#include "sdk/sdk_session.h"

namespace sdk {

// A failed step: its label and the SDK's code (no label: no failure).
struct StepFailure {
    const char* label = nullptr;
    PGPError code = kPGPError_NoErr;
};

// The key rings are opened if need be, and the passphrase asked for when
// the buffer is empty; false with the outcome set when either fails.
bool readyToRun(SdkUse& use, PassphraseBuffer& passphrase, PGPError* outcome);

// What a run reads and where it writes: a buffer into a block the SDK
// allocates, or one file into another, read and written as the run goes
// (the output file appears only when the run succeeds).
struct JobIo {
    const char* input = nullptr;
    std::uint64_t inputSize = 0;
    const std::string* inputFile = nullptr;  // both set: files, not buffers
    const std::string* outputFile = nullptr;
    void* outData = nullptr;  // the block the SDK hands out
    PGPSize outSize = 0;
    // A wrong passphrase will be asked for again: it is not reported.
    bool asksAgain = false;
    bool files() const { return inputFile && outputFile; }
};

// An input (or output) file option for path, the SDK copying the path;
// null when no file spec could be made.
PGPOptionListRef fileOption(PGPContextRef c, const std::string& path, bool input);

// Builds the option list with the event handler (events, possibly null, as
// its user value), the input and output of io, and null events when the
// events' watch follows the job's progress.
StepFailure startOptions(PGPContextRef c, JobEvents* events, JobIo& io, OptionListHolder& list);

// A failed run: whatever output the SDK left is freed (no plaintext of a
// failed decode is shown or kept), the outcome set, a wrong passphrase
// forgotten and the failure reported unless the user cancelled or the
// passphrase will be asked for again. False.
bool failRun(JobIo& io, const char* caption, StepFailure f, PassphraseBuffer& passphrase, PGPError* outcome);

// A run's outcome from its result and the code it set: a failure is never
// taken for success, whatever code it left.
inline PGPError runOutcome(bool ok, PGPError code)
{
    return ok ? kPGPError_NoErr : (code != kPGPError_NoErr ? code : kPGPError_UnknownError);
}

// How many times a wrong passphrase is asked for again.
constexpr int kPassphraseAsksAgain = 3;

// Runs attempt (one run on io, giving the SDK's outcome) until it no longer
// fails for a wrong passphrase. After each wrong one the user is asked
// again for the passphrase of the key neededKey names, up to
// kPassphraseAsksAgain times, where the front end has a user to ask; the
// last wrong one is reported. A refused ask ends the run with
// kPGPError_UserAbort, reported to nobody.
PGPError withPassphraseAsksAgain(JobIo& io, PassphraseBuffer& passphrase, const std::function<PGPError()>& attempt,
                                 const std::function<std::string()>& neededKey);

}  // namespace sdk
