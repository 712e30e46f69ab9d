#include "sdk/encode_modes.h"

#include "core/app_config.h"
#include "core/recipient_groups.h"

#include <cstring>
#include <functional>

#include "sdk/encode_buffer.h"
#include "sdk/key_lookup.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"

namespace sdk {

bool operationSigns(EncodeOperation op)
{
    return op != EncodeOperation::EncryptOnly && op != EncodeOperation::PasswordOnly;
}

bool operationEncryptsToKeys(EncodeOperation op)
{
    return op == EncodeOperation::SignAndEncrypt || op == EncodeOperation::EncryptOnly;
}

namespace {

// A fingerprint text, as a group's members are named.
bool namesFingerprint(const std::string& text) { return text.size() == 42 && text.rfind("0x", 0) == 0; }

bool isPlainEncode(const EncodeRequest& r)
{
    return r.operation == EncodeOperation::SignAndEncrypt && r.recipients.size() == 1 && !r.encryptToSelf &&
           !namesFingerprint(r.recipients[0]);
}

// The key sets found for the request: they keep the keys the options name.
struct FoundKeys {
    std::vector<KeySetHolder> sets;
    PGPKeyRef signer = nullptr;
    std::vector<PGPKeyRef> recipients;
};

bool findKeys(SdkUse& use, const EncodeRequest& r, const char* caption, FoundKeys& found)
{
    const FindSteps signerSteps {"PGPNewUserIDStringFilter signKey ", "PGPFilterKeySet signKey ", "PGPCountKeys signKey "};
    const FindSteps recipientSteps {"PGPNewUserIDStringFilter UserName ", "PGPFilterKeySet UserName ",
                                    "PGPCountKeys UserName "};
    auto find = [&](const std::string& text, const FindSteps& steps) -> PGPKeyRef {
        KeySetHolder set;
        FilterHolder filter;
        if (!FindSingleKey(use.context(), use.keySet(), text, steps, caption, set, filter))
            return nullptr;
        found.sets.push_back(std::move(set));
        return onlyKey(found.sets.back().get());
    };
    auto findByFingerprint = [&](const std::string& text) -> PGPKeyRef {
        KeySetHolder set;
        if (!FindKeyForCommand(use.context(), use.keySet(), text, recipientSteps, caption, set))
            return nullptr;
        found.sets.push_back(std::move(set));
        return onlyKey(found.sets.back().get());
    };
    if (operationSigns(r.operation) && !(found.signer = find(r.signer, signerSteps)))
        return false;
    if (operationEncryptsToKeys(r.operation))
        for (const std::string& text : r.recipients) {
            PGPKeyRef key = namesFingerprint(text) ? findByFingerprint(text) : find(text, recipientSteps);
            if (!key)
                return false;
            found.recipients.push_back(key);
        }
    if (r.encryptToSelf && found.signer && operationEncryptsToKeys(r.operation))
        found.recipients.push_back(found.signer);
    return true;
}

// The options of the operation, appended to list.
StepFailure addOperationOptions(PGPContextRef c, const EncodeRequest& r, const FoundKeys& keys, const SecretText& pass,
                                PGPOptionListRef list)
{
    std::vector<PGPOptionListRef> options {call::PGPOArmorOutput(c, static_cast<PGPBoolean>(r.armour ? 1 : 0))};
    if (keys.signer)
        options.push_back(call::PGPOSignWithKey(c, keys.signer, call::PGPOPassphrase(c, pass.c_str()), last(c)));
    for (PGPKeyRef key : keys.recipients)
        options.push_back(call::PGPOEncryptToKey(c, key));
    if (r.operation == EncodeOperation::ClearSign)
        options.push_back(call::PGPOClearSign(c, static_cast<PGPBoolean>(1)));
    if (r.operation == EncodeOperation::DetachedSignature)
        options.push_back(call::PGPODetachedSig(c, last(c)));
    if (r.operation == EncodeOperation::PasswordOnly)
        options.push_back(call::PGPOConventionalEncrypt(c, call::PGPOPassphrase(c, pass.c_str()), last(c)));
    for (PGPOptionListRef option : options)
        if (PGPError e = call::PGPAppendOptionList(c, list, option, last(c)))
            return {"PGPAppendOptionList ", e};
    return {};
}

bool modeRun(JobIo& io, const char* caption, const EncodeRequest& r, PassphraseBuffer& passphrase, JobEvents* events,
             PGPError* outcome)
{
    SdkUse use;
    const bool needsPassphrase = r.operation != EncodeOperation::EncryptOnly;
    if (needsPassphrase ? !readyToRun(use, passphrase, outcome) : !use.loadKeys())
        return false;
    const SecretText pass = passphrase.get();
    const PGPContextRef c = use.context();
    OptionListHolder list;
    FoundKeys keys;
    auto fail = [&](StepFailure f) { return failRun(io, caption, f, passphrase, outcome); };
    if (StepFailure f = startOptions(c, events, io, list); f.label)
        return fail(f);
    if (!findKeys(use, r, caption, keys))
        return setOutcome(outcome, kPGPError_ItemNotFound), false;
    if (StepFailure f = addOperationOptions(c, r, keys, pass, list.get()); f.label)
        return fail(f);
    if (PGPError e = call::PGPEncode(c, list.get(), last(c)))
        return fail({"PGPEncode ", e});
    setOutcome(outcome, kPGPError_NoErr);
    return true;
}

// modeRun, asking again for a passphrase that did not unlock the signer's key.
bool modeAskingAgain(JobIo& io, const char* caption, const EncodeRequest& r, PassphraseBuffer& passphrase,
                     JobEvents* events, PGPError* outcome)
{
    const PGPError e = withPassphraseAsksAgain(
        io, passphrase,
        [&] {
            PGPError attempt = kPGPError_NotInitialized;
            const bool ok = modeRun(io, caption, r, passphrase, events, &attempt);
            return runOutcome(ok, attempt);
        },
        [&] { return r.signer; });
    setOutcome(outcome, e);
    return e == kPGPError_NoErr;
}

}  // namespace

EncodeRequest withGroupsExpanded(const EncodeRequest& request)
{
    EncodeRequest r = request;
    r.recipients.clear();
    const std::string ini = AppConfig::instance().snapshot().IniPath;
    for (const std::string& text : request.recipients) {
        const auto group = findGroup(ini, text);
        if (!group) {
            r.recipients.push_back(text);
            continue;
        }
        for (const std::string& fingerprint : group->members)
            r.recipients.push_back("0x" + fingerprint);
    }
    return r;
}

bool encodeBuffer(const char* input, std::uint64_t inputSize, SdkBlock& output, const EncodeRequest& given,
                      PassphraseBuffer& passphrase, JobEvents* events, PGPError* outcome)
{
    const EncodeRequest request = withGroupsExpanded(given);
    if (isPlainEncode(request))
        return Encode_PGPBuff(input, inputSize, output, request.armour, passphrase, request.recipients[0],
                              request.signer, events, outcome);
    JobIo io;
    io.input = input;
    io.inputSize = inputSize;
    if (!modeAskingAgain(io, "Encode_PGPBuff", request, passphrase, events, outcome))
        return false;
    output.adopt(io.outData, io.outSize);
    return true;
}

bool encodeFile(const std::string& input, const std::string& output, const EncodeRequest& given,
                      PassphraseBuffer& passphrase, JobEvents* events, PGPError* outcome)
{
    const EncodeRequest request = withGroupsExpanded(given);
    if (isPlainEncode(request))
        return encodeFileForOne(input, output, request.armour, passphrase, request.recipients[0], request.signer, events,
                              outcome);
    JobIo io;
    io.inputFile = &input;
    io.outputFile = &output;
    return modeAskingAgain(io, "Encode_PGPFile", request, passphrase, events, outcome);
}


}  // namespace sdk
