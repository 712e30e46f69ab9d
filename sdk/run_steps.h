#pragma once
// The steps the encoder and the decoder share: being ready to run (key
// rings open, a passphrase in the buffer) and the options every run starts
// with (event handler, input, output block).
#include <cstdint>

#include "core/shared_passphrase.h"
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

// Builds the option list with the event handler (report, a PGPData, as its
// user value), the input, an output block the SDK allocates into outData,
// and null events when the report follows the job's progress.
StepFailure startOptions(PGPContextRef c, void* report, const char* input, std::uint64_t inputSize, void*& outData,
                         PGPSize& outSize, OptionListHolder& list);

}  // namespace sdk
