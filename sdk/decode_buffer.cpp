#include "sdk/decode_buffer.h"

#include "core/frontend.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

namespace sdk {

bool Decode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output, PGPData& report,
                    PassphraseBuffer& passphrase, PGPError* outcome)
{
    SdkUse use;  // counts this run; unloading the library waits for its end
    // Asked before every decoding with an empty buffer, encrypted message or not.
    if (!readyToRun(use, passphrase, outcome))
        return false;
    const SecretText pass = passphrase.get();
    const PGPContextRef c = use.context();
    OptionListHolder optionList;
    void* outData = nullptr;
    PGPSize outSize = 0;
    auto fail = [&](StepFailure f) {
        // No plaintext of a failed decode is shown or kept.
        if (outData)
            call::PGPFreeData(outData);
        setOutcome(outcome, f.code);
        forgetWrongPassphrase(passphrase, f.code);
        if (f.code != kPGPError_UserAbort)  // cancelled by the user, who knows it
            reportSdkFailure("Decode_PGPBuff", f.label, f.code);
        return false;
    };
    if (StepFailure f = startOptions(c, &report, input, inputSize, outData, outSize, optionList); f.label)
        return fail(f);
    PGPOptionListRef option = call::PGPOPassphrase(c, pass.c_str());
    if (PGPError e = call::PGPAppendOptionList(c, optionList.get(), option, last(c)))
        return fail({"PGPAppendOptionList PassPhrase ", e});
    // The key set is an option of the call itself, not of the list.
    option = call::PGPOKeySetRef(c, use.keySet());
    if (PGPError e = call::PGPDecode(c, optionList.get(), option, last(c)))
        return fail({"PGPDecode ", e});
    output.adopt(outData, outSize);
    optionList.reset();
    setOutcome(outcome, kPGPError_NoErr);
    return true;
}

}  // namespace sdk
