#include "sdk/encode_buffer.h"

#include "core/frontend.h"
#include "sdk/key_lookup.h"
#include "sdk/pgp_data.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

namespace sdk {

namespace {

// The SDK objects of one run. Members are freed from the last to the
// first: option list, recipient set, filter, filtered set.
struct EncodeHandles {
    const char* caption;  // of the messages
    KeySetHolder filteredSet;
    FilterHolder filter;
    KeySetHolder recipientSet;
    OptionListHolder optionList;
};

// The options after the common start: (the recipient set made
// meanwhile), armour.
StepFailure addArmourOption(PGPContextRef c, bool armour, EncodeHandles& h)
{
    PGPKeySetRef recipients = nullptr;
    PGPError e = call::PGPNewKeySet(c, &recipients);
    if (e)
        return {"PGPNewKeySet ", e};
    h.recipientSet.reset(recipients);
    PGPOptionListRef option = call::PGPOArmorOutput(c, static_cast<PGPBoolean>(armour ? 1 : 0));
    if ((e = call::PGPAppendOptionList(c, h.optionList.get(), option, last(c))))
        return {"PGPAppendOptionList ArmorOuput ", e};
    return {};
}

// The signing and encryption options, then the encoding itself.
StepFailure signAndEncrypt(PGPContextRef c, PGPKeyRef signingKey, const SecretText& pass, EncodeHandles& h)
{
    // The passphrase travels inside the signing option.
    PGPOptionListRef passOption = call::PGPOPassphrase(c, pass.c_str());
    PGPOptionListRef option = call::PGPOSignWithKey(c, signingKey, passOption, last(c));
    PGPError e = call::PGPAppendOptionList(c, h.optionList.get(), option, last(c));
    if (e)
        return {"PGPAppendOptionList SignKey ", e};
    option = call::PGPOEncryptToKeySet(c, h.recipientSet.get());
    if ((e = call::PGPAppendOptionList(c, h.optionList.get(), option, last(c))))
        return {"PGPAppendOptionList PGPOEncryptToKeySet ", e};
    if ((e = call::PGPEncode(c, h.optionList.get(), last(c))))
        return {"PGPEncode ", e};
    return {};
}

// One encoding from io's input to its output, its messages under caption.
bool encodeRun(JobIo& io, const char* caption, bool armour, PassphraseBuffer& passphrase, const std::string& recipient,
               const std::string& signer, JobEvents* events, PGPError* outcome)
{
    SdkUse use;  // counts this run; unloading the library waits for its end
    if (!readyToRun(use, passphrase, outcome))
        return false;
    const SecretText pass = passphrase.get();
    const PGPContextRef c = use.context();
    EncodeHandles h {caption, {}, {}, {}, {}};
    auto fail = [&](StepFailure f) { return failRun(io, caption, f, passphrase, outcome); };
    if (StepFailure f = startOptions(c, events, io, h.optionList); f.label)
        return fail(f);
    if (StepFailure f = addArmourOption(c, armour, h); f.label)
        return fail(f);
    // The signer first, then the recipient.
    const FindSteps signerSteps {"PGPNewUserIDStringFilter signKey ", "PGPFilterKeySet signKey ", "PGPCountKeys signKey "};
    const FindSteps recipientSteps {"PGPNewUserIDStringFilter UserName ", "PGPFilterKeySet UserName ",
                                    "PGPCountKeys UserName "};
    if (!FindSingleKey(c, use.keySet(), signer, signerSteps, caption, h.filteredSet, h.filter))
        return setOutcome(outcome, kPGPError_ItemNotFound), false;
    PGPKeyRef signingKey = onlyKey(h.filteredSet.get());
    h.filteredSet.reset();
    if (!FindSingleKey(c, use.keySet(), recipient, recipientSteps, caption, h.filteredSet, h.filter))
        return setOutcome(outcome, kPGPError_ItemNotFound), false;
    if (PGPError e = call::PGPAddKeys(h.filteredSet.get(), h.recipientSet.get()))
        return fail({"PGPAddKeys UserName ", e});
    h.filteredSet.reset();
    if (StepFailure f = signAndEncrypt(c, signingKey, pass, h); f.label)
        return fail(f);
    setOutcome(outcome, kPGPError_NoErr);
    return true;
}

// encodeRun, asking again for a passphrase that did not unlock the signer's key.
bool encodeAskingAgain(JobIo& io, const char* caption, bool armour, PassphraseBuffer& passphrase,
                       const std::string& recipient, const std::string& signer, JobEvents* events, PGPError* outcome)
{
    const PGPError e = withPassphraseAsksAgain(
        io, passphrase,
        [&] {
            PGPError attempt = kPGPError_NotInitialized;
            const bool ok = encodeRun(io, caption, armour, passphrase, recipient, signer, events, &attempt);
            return runOutcome(ok, attempt);
        },
        [&] { return signer; });
    setOutcome(outcome, e);
    return e == kPGPError_NoErr;
}

}  // namespace

bool Encode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output, bool armour,
                    PassphraseBuffer& passphrase, const std::string& recipient, const std::string& signer, JobEvents* events,
                    PGPError* outcome)
{
    JobIo io;
    io.input = input;
    io.inputSize = inputSize;
    if (!encodeAskingAgain(io, "Encode_PGPBuff", armour, passphrase, recipient, signer, events, outcome))
        return false;
    output.adopt(io.outData, io.outSize);
    return true;
}

bool encodeFileForOne(const std::string& input, const std::string& output, bool armour, PassphraseBuffer& passphrase,
                    const std::string& recipient, const std::string& signer, JobEvents* events, PGPError* outcome)
{
    JobIo io;
    io.inputFile = &input;
    io.outputFile = &output;
    return encodeAskingAgain(io, "Encode_PGPFile", armour, passphrase, recipient, signer, events, outcome);
}

}  // namespace sdk
