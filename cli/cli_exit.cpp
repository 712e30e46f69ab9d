#include "cli/cli_exit.h"

#include "cli/cli_frontend.h"

int exitCodeFromFailure()
{
    const auto& failure = cliFrontend().lastFailure();
    if (!failure)
        return Failure;
    switch (failure->failure) {
    case frontend::Failure::Io: return IoFailure;
    case frontend::Failure::KeyChoice: return MissingKey;
    case frontend::Failure::Sdk: break;
    default: return Failure;
    }
    switch (failure->sdkCode) {
    case kPGPError_BadPassphrase:
    case kPGPError_MissingPassphrase: return BadPassphrase;
    case kPGPError_NoDecryptionKey:
    case kPGPError_NoSuitableKey:
    case kPGPError_KeyUnusable:
    case kPGPError_ItemNotFound: return MissingKey;
    case kPGPError_CorruptData:
    case kPGPError_NotPGPMessage:
    case kPGPError_TruncatedData:
    case kPGPError_IntegrityCheckFailed:
    case kPGPError_NoIntegrityProtection:
    case kPGPError_OutputTooLarge:
    case kPGPError_CorruptKeyRing: return BadInput;
    case kPGPError_FileNotFound:
    case kPGPError_CantOpenFile:
    case kPGPError_FilePermissions:
    case kPGPError_ReadFailed:
    case kPGPError_WriteFailed: return IoFailure;
    default: return Failure;
    }
}

int exitCodeOf(const sdk::DecodeResult& result, bool signatureRequired)
{
    if (result.tone == sdk::VerdictTone::Bad)
        return BadSignature;
    if (result.has(sdk::VerdictKind::UnknownSigner))
        return UncheckedSignature;
    if (signatureRequired && result.has(sdk::VerdictKind::NotSigned))
        return BadSignature;
    return Ok;
}

int worseExit(int a, int b)
{
    static const int kWorstFirst[] = {Interrupted, BadSignature, BadInput,  MissingKey,         BadPassphrase,
                                      IoFailure,   Failure,      Usage,     UncheckedSignature, Ok};
    for (int code : kWorstFirst)
        if (a == code || b == code)
            return code;
    return a != Ok ? a : b;
}
