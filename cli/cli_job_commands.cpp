// tolv-cli's jobs on messages: encode, decode and verify.
#include <cstdio>

#include "cli/cli_batch.h"
#include "cli/cli_commands.h"
#include "cli/cli_exit.h"
#include "cli/cli_files.h"
#include "cli/cli_frontend.h"
#include "cli/cli_terminal.h"
#include "core/shared_passphrase.h"
#include "sdk/decode_buffer.h"
#include "sdk/decode_verdict.h"
#include "sdk/pgp_data.h"
#include "sdk/encode_buffer.h"
#include "sdk/encode_modes.h"
#include "sdk/verify_detached.h"

namespace {

// The encoding the options ask for; false (with misuse when it says more
// than the default message) when they do not fit together.
bool encodeRequestOf(const CliOptions& o, sdk::EncodeRequest& r, std::string& misuse)
{
    using Op = sdk::EncodeOperation;
    const int modes = o.signOnly + o.clearSign + o.detached + o.symmetric;
    if (modes > 1)
        return misuse = "choose one of --sign-only, --clear-sign, --detached and --symmetric", false;
    r.operation = o.signOnly    ? Op::SignOnly
                  : o.clearSign ? Op::ClearSign
                  : o.detached  ? Op::DetachedSignature
                  : o.symmetric ? Op::PasswordOnly
                  : o.signer.empty() ? Op::EncryptOnly
                                     : Op::SignAndEncrypt;
    r.signer = o.signer;
    r.recipients = o.recipients;
    r.encryptToSelf = o.encryptToSelf;
    r.armour = o.armor;
    if (modes && !o.recipients.empty())
        return misuse = "--recipient does not go with " + std::string(o.symmetric ? "--symmetric" : "a signature only"), false;
    if (o.symmetric && !o.signer.empty())
        return misuse = "--symmetric encrypts to the password only: no --signer", false;
    if (sdk::operationSigns(r.operation) && o.signer.empty())
        return misuse = "this encoding needs --signer", false;
    if (o.encryptToSelf && (!sdk::operationEncryptsToKeys(r.operation) || o.signer.empty()))
        return misuse = "--encrypt-to-self needs --signer and a --recipient", false;
    return modes || !o.recipients.empty();
}

int encodeCommand(const sdk::EncodeRequest& request, const std::string& in, const std::string& out)
{
    JobFiles files;
    if (!prepareJobFiles(cliFrontend(), in, out, files))
        return IoFailure;
    if (loadRings() != 0)
        return IoFailure;
    const sdk::JobProgress progress = jobProgress("Encoding");
    sdk::JobEvents events {{}, {&progress, jobStopFlag()}};
    sdk::SdkBlock output;
    bool ok = false;
    {
        InterruptScope ctrlC;
        PassphraseBuffer& pass = SharedPassphrase::instance();
        ok = files.streamed ? sdk::encodeFile(files.input, files.output, request, pass, &events)
                            : sdk::encodeBuffer(files.block.data(), static_cast<std::uint64_t>(files.length), output,
                                                    request, pass, &events);
    }
    if (jobInterrupted(ok))
        return Interrupted;
    if (!ok)
        return exitCodeFromFailure();
    if (files.streamed)
        return Ok;
    return saveWhole(cliFrontend(), out, output.data(), static_cast<std::int64_t>(output.size())) ? Ok : IoFailure;
}

// The verdicts first, one line each, then the facts of the signature shown
// and the recipients.
void printDecodeResult(const sdk::DecodeResult& result)
{
    for (const sdk::Verdict& v : result.verdicts)
        std::printf("Verdict: %s\n", v.text.c_str());
    const sdk::SignatureRecord* shown = sdk::shownSignature(result.records);
    const PGPEventSignatureData s = shown ? shown->data : PGPEventSignatureData {};
    std::printf("Signed by: %s\n", shown ? shown->signerName.c_str() : "");
    std::printf("checked: %d\nverified: %d\nkeyRevoked: %d\nkeyDisabled: %d\nkeyExpired: %d\n", s.checked, s.verified,
                s.keyRevoked, s.keyDisabled, s.keyExpired);
    std::printf("keyMeetsValidityThreshold: %d\nkeyValidity: %d\n", s.keyMeetsValidityThreshold, s.keyValidity);
    for (const auto& r : result.records.recipients)
        std::printf("Encrypted to: %s\n", sdk::recipientText(r).c_str());
    for (const auto& name : result.records.heldRecipientNames)
        std::printf("Encrypted to key we have: %s\n", name.c_str());
    std::fflush(stdout);
}

int decodeCommand(const std::string& in, const std::string& out)
{
    cliFrontend().goOnWithoutPassphrase();  // a message that is only signed needs none
    JobFiles files;
    if (!prepareJobFiles(cliFrontend(), in, out, files))
        return IoFailure;
    if (loadRings() != 0)
        return IoFailure;
    const sdk::JobProgress progress = jobProgress("Decoding");
    const sdk::JobWatch watch {&progress, jobStopFlag()};
    sdk::SdkBlock output;
    sdk::DecodeResult result;
    {
        InterruptScope ctrlC;
        PassphraseBuffer& pass = SharedPassphrase::instance();
        result = files.streamed ? sdk::decodeFile(files.input, files.output, pass, watch)
                                : sdk::Decode_PGPBuff(files.block.data(), static_cast<std::uint64_t>(files.length),
                                                      output, pass, watch);
    }
    if (jobInterrupted(result.decoded()))
        return Interrupted;
    printDecodeResult(result);
    if (!result.decoded())
        return exitCodeFromFailure();
    if (!files.streamed && !saveWhole(cliFrontend(), out, output.data(), static_cast<std::int64_t>(output.size())))
        return IoFailure;
    return exitCodeOf(result, false);
}

int verifyCommand(const std::string& signature, const std::string& data)
{
    if (loadRings() != 0)
        return IoFailure;
    const sdk::DecodeResult result = sdk::verifyDetachedFile(signature, data);
    printDecodeResult(result);
    if (!result.decoded())
        return exitCodeFromFailure();
    return exitCodeOf(result, true);
}

}  // namespace

int runEncode(const CliOptions& o, std::string& misuse)
{
    sdk::EncodeRequest request;
    const bool batch = !o.outputDir.empty();
    const bool filesFit = batch ? !o.positional.empty() : o.positional.size() == 2;
    if (!filesFit || !encodeRequestOf(o, request, misuse))
        return misuse = misuse.empty() ? "encode needs --signer, --recipient, IN and OUT (or --output-dir DIR FILE...)" : misuse,
               Usage;
    return batch ? encodeBatch(o, request) : encodeCommand(request, o.positional[0], o.positional[1]);
}

int runVerify(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 2)
        return misuse = "verify needs SIGNATURE and DATA", Usage;
    return verifyCommand(o.positional[0], o.positional[1]);
}

int runDecode(const CliOptions& o, std::string& misuse)
{
    if (!o.outputDir.empty())
        return o.positional.empty() ? (misuse = "decode --output-dir DIR needs FILE...", Usage) : decodeBatch(o);
    if (o.positional.size() != 2)
        return misuse = "decode needs IN and OUT (or --output-dir DIR FILE...)", Usage;
    return decodeCommand(o.positional[0], o.positional[1]);
}
