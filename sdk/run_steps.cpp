#include "sdk/run_steps.h"

#include "core/frontend.h"
#include "sdk/pgp_data.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

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

StepFailure startOptions(PGPContextRef c, void* report, const char* input, std::uint64_t inputSize, void*& outData,
                         PGPSize& outSize, OptionListHolder& list)
{
    // Each option is made before the call that takes it, in a fixed order.
    PGPOptionListRef raw = nullptr;
    PGPOptionListRef option = call::PGPOEventHandler(c, &PGPEventHandler, report);
    PGPError e = call::PGPBuildOptionList(c, &raw, option, last(c));
    if (e)
        return {"PGPBuildOptionList ", e};
    list.reset(raw);
    option = call::PGPOInputBuffer(c, static_cast<const void*>(input), static_cast<PGPSize>(inputSize));
    if ((e = call::PGPAppendOptionList(c, raw, option, last(c))))
        return {"PGPAppendOptionList InBuff ", e};
    option = call::PGPOAllocatedOutputBuffer(c, &outData, static_cast<PGPSize>(-1), &outSize);
    if ((e = call::PGPAppendOptionList(c, raw, option, last(c))))
        return {"PGPAppendOptionList OutPut ", e};
    if (report && static_cast<PGPData*>(report)->progress) {
        option = call::PGPOSendNullEvents(c, kProgressIntervalMs);
        if ((e = call::PGPAppendOptionList(c, raw, option, last(c))))
            return {"PGPAppendOptionList NullEvents ", e};
    }
    return {};
}

}  // namespace sdk
