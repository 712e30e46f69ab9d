#include "sdk/decode_buffer.h"

#include "core/frontend.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

namespace sdk {

bool Decode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output, PGPData& report,
                    PassphraseBuffer& passphrase, PGPError* outcome)
{
    const char* const caption = "Decode_PGPBuff";
    setOutcome(outcome, kPGPError_NotInitialized);
    SdkUse use;  // counts this run; unloading the library waits for its end
    if (!use.loadKeys())
        return false;
    // Asked before every decoding with an empty buffer, encrypted message or not.
    if (passphrase.get().empty() && !frontend::current().askPassphrase(passphrase)) {
        setOutcome(outcome, kPGPError_UserAbort);
        return false;
    }
    const SecretText pass = passphrase.get();
    const PGPContextRef c = use.context();
    PGPOptionListRef optionList = nullptr;
    auto fail = [&](const char* label, PGPError e) {
        setOutcome(outcome, e);
        forgetWrongPassphrase(passphrase, e);
        reportSdkFailure(caption, label, e);
        if (optionList) {
            call::PGPFreeOptionList(optionList);
            optionList = nullptr;
        }
        return false;
    };

    void* outData = nullptr;
    PGPSize outSize = 0;
    // Each option is made before the call that takes it, in a fixed order.
    PGPOptionListRef option = call::PGPOEventHandler(c, &PGPEventHandler, &report);
    PGPError e = call::PGPBuildOptionList(c, &optionList, option, last(c));
    if (e) {
        optionList = nullptr;
        return fail("PGPBuildOptionList ", e);
    }
    option = call::PGPOInputBuffer(c, static_cast<const void*>(input), static_cast<PGPSize>(inputSize));
    e = call::PGPAppendOptionList(c, optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList InBuff ", e);
    option = call::PGPOAllocatedOutputBuffer(c, &outData, static_cast<PGPSize>(-1), &outSize);
    e = call::PGPAppendOptionList(c, optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList OutPut ", e);
    option = call::PGPOPassphrase(c, pass.c_str());
    e = call::PGPAppendOptionList(c, optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList PassPhrase ", e);
    // The key set is an option of the call itself, not of the list.
    option = call::PGPOKeySetRef(c, use.keySet());
    e = call::PGPDecode(c, optionList, option, last(c));
    if (e) {
        // No plaintext of a failed decode is shown or kept.
        if (outData)
            call::PGPFreeData(outData);
        return fail("PGPDecode ", e);
    }
    output.adopt(outData, outSize);
    call::PGPFreeOptionList(optionList);
    setOutcome(outcome, kPGPError_NoErr);
    return true;
}

}  // namespace sdk
