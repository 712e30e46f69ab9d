#include "sdk/encode_buffer.h"

#include "core/frontend.h"
#include "sdk/pgp_data.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

namespace sdk {

namespace {

const char* const kCaption = "Encode_PGPBuff";

// The SDK objects of one run; each handle is null when nothing is held.
struct EncodeHandles {
    PGPOptionListRef optionList = nullptr;
    PGPKeySetRef recipientSet = nullptr;
    PGPFilterRef filter = nullptr;
    PGPKeySetRef filteredSet = nullptr;
};

void ReleaseEncodeHandles(EncodeHandles& h)
{
    if (h.optionList) {
        call::PGPFreeOptionList(h.optionList);
        h.optionList = nullptr;
    }
    if (h.recipientSet) {
        call::PGPFreeKeySet(h.recipientSet);
        h.recipientSet = nullptr;
    }
    if (h.filter) {
        call::PGPFreeFilter(h.filter);
        h.filter = nullptr;
    }
    if (h.filteredSet) {
        call::PGPFreeKeySet(h.filteredSet);
        h.filteredSet = nullptr;
    }
}

struct FindSteps {
    const char* filter;
    const char* search;
    const char* count;
};

// Leaves a filtered set holding exactly one key, or reports and fails.
bool FindSingleKey(PGPContextRef context, PGPKeySetRef keySet, const std::string& text, const FindSteps& steps,
                   EncodeHandles& h)
{
    PGPError e = call::PGPNewUserIDStringFilter(context, text.c_str(), static_cast<PGPUInt32>(kPGPMatchSubString),
                                                &h.filter);
    if (e) {
        h.filter = nullptr;
        reportSdkFailure(kCaption, steps.filter, e);
        return false;
    }
    e = call::PGPFilterKeySet(keySet, h.filter, &h.filteredSet);
    if (e) {
        h.filteredSet = nullptr;
        reportSdkFailure(kCaption, steps.search, e);
        return false;
    }
    call::PGPFreeFilter(h.filter);
    h.filter = nullptr;
    PGPUInt32 count = 0;
    e = call::PGPCountKeys(h.filteredSet, &count);
    if (e) {
        reportSdkFailure(kCaption, steps.count, e);
        return false;
    }
    if (count < 1) {
        frontend::notify({kCaption, "Unable to find a key for " + QString::fromStdString(text), frontend::Icon::Exclamation,
                          frontend::Failure::KeyChoice});
        return false;
    }
    if (count > 1) {
        frontend::notify({kCaption, "Ambiguous key choice: " + QString::fromStdString(text), frontend::Icon::Exclamation,
                          frontend::Failure::KeyChoice});
        return false;
    }
    return true;
}

}  // namespace

bool Encode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output, bool armour,
                    PassphraseBuffer& passphrase, const std::string& recipient, const std::string& signer, void* report,
                    PGPError* outcome)
{
    setOutcome(outcome, kPGPError_NotInitialized);
    SdkUse use;  // counts this run; unloading the library waits for its end
    if (!use.loadKeys())
        return false;
    if (passphrase.get().empty() && !frontend::current().askPassphrase(passphrase)) {
        setOutcome(outcome, kPGPError_UserAbort);
        return false;
    }
    const SecretText pass = passphrase.get();
    const PGPContextRef c = use.context();
    EncodeHandles h;
    auto fail = [&](const char* label, PGPError e) {
        setOutcome(outcome, e);
        forgetWrongPassphrase(passphrase, e);
        reportSdkFailure(kCaption, label, e);
        ReleaseEncodeHandles(h);
        return false;
    };

    void* outData = nullptr;
    PGPSize outSize = 0;
    // Each option is made before the call that takes it, in a fixed order.
    PGPOptionListRef option = call::PGPOEventHandler(c, &PGPEventHandler, report);
    PGPError e = call::PGPBuildOptionList(c, &h.optionList, option, last(c));
    if (e) {
        h.optionList = nullptr;
        return fail("PGPBuildOptionList ", e);
    }
    option = call::PGPOInputBuffer(c, static_cast<const void*>(input), static_cast<PGPSize>(inputSize));
    e = call::PGPAppendOptionList(c, h.optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList InBuff ", e);
    option = call::PGPOAllocatedOutputBuffer(c, &outData, static_cast<PGPSize>(-1), &outSize);
    e = call::PGPAppendOptionList(c, h.optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList OutPut ", e);
    e = call::PGPNewKeySet(c, &h.recipientSet);
    if (e) {
        h.recipientSet = nullptr;
        return fail("PGPNewKeySet ", e);
    }
    option = call::PGPOArmorOutput(c, static_cast<PGPBoolean>(armour ? 1 : 0));
    e = call::PGPAppendOptionList(c, h.optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList ArmorOuput ", e);

    // The signer first, then the recipient.
    if (!FindSingleKey(c, use.keySet(), signer,
                       {"PGPNewUserIDStringFilter signKey ", "PGPFilterKeySet signKey ", "PGPCountKeys signKey "}, h)) {
        setOutcome(outcome, kPGPError_ItemNotFound);
        ReleaseEncodeHandles(h);
        return false;
    }
    PGPKeyListRef keyList = nullptr;
    PGPKeyIterRef keyIter = nullptr;
    PGPKeyRef signingKey = nullptr;
    call::PGPOrderKeySet(h.filteredSet, static_cast<PGPInt32>(kPGPAnyOrdering), &keyList);
    call::PGPNewKeyIter(keyList, &keyIter);
    call::PGPKeyIterNext(keyIter, &signingKey);
    call::PGPFreeKeyIter(keyIter);
    call::PGPFreeKeyList(keyList);
    call::PGPFreeKeySet(h.filteredSet);
    h.filteredSet = nullptr;

    if (!FindSingleKey(c, use.keySet(), recipient,
                       {"PGPNewUserIDStringFilter UserName ", "PGPFilterKeySet UserName ", "PGPCountKeys UserName "}, h)) {
        setOutcome(outcome, kPGPError_ItemNotFound);
        ReleaseEncodeHandles(h);
        return false;
    }
    e = call::PGPAddKeys(h.filteredSet, h.recipientSet);
    if (e)
        return fail("PGPAddKeys UserName ", e);
    call::PGPFreeKeySet(h.filteredSet);
    h.filteredSet = nullptr;

    // The passphrase travels inside the signing option.
    PGPOptionListRef passOption = call::PGPOPassphrase(c, pass.c_str());
    option = call::PGPOSignWithKey(c, signingKey, passOption, last(c));
    e = call::PGPAppendOptionList(c, h.optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList SignKey ", e);
    option = call::PGPOEncryptToKeySet(c, h.recipientSet);
    e = call::PGPAppendOptionList(c, h.optionList, option, last(c));
    if (e)
        return fail("PGPAppendOptionList PGPOEncryptToKeySet ", e);
    e = call::PGPEncode(c, h.optionList, last(c));
    if (e) {
        // Whatever the SDK left is not a result.
        if (outData)
            call::PGPFreeData(outData);
        return fail("PGPEncode ", e);
    }
    output.adopt(outData, outSize);
    ReleaseEncodeHandles(h);
    setOutcome(outcome, kPGPError_NoErr);
    return true;
}

}  // namespace sdk
