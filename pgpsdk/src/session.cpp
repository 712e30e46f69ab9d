// Library initialisation, contexts and error texts.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "boundary.h"
#include "entry_point.h"
#include "message_format.h"
#include "objects.h"
#include "output_block.h"

namespace pgpsdk {

namespace {
std::atomic<int> initCount{0};
}

bool sdkInitialised() { return initCount.load() > 0; }

}  // namespace pgpsdk

using namespace pgpsdk;

extern "C" {

PGPError PGPsdkInit(void)
{
    ++initCount;
    return kPGPError_NoErr;
}

PGPError PGPsdkCleanup(void)
{
    int n = initCount.load();
    while (n > 0 && !initCount.compare_exchange_weak(n, n - 1)) {
    }
    return kPGPError_NoErr;
}

PGPError PGPNewContext(PGPUInt32 clientAPIVersion, PGPContextRef* newContext)
{
    return guarded([&]() -> PGPError {
        if (!newContext)
            return kPGPError_BadParams;
        *newContext = nullptr;
        if (!sdkInitialised())
            return kPGPError_NotInitialized;
        if (clientAPIVersion != kPGPsdkAPIVersion)
            return kPGPError_BadAPIVersion;
        auto ctx = std::make_unique<Context>();
        FfiHandle ffi = newFfi();
        if (!ffi)
            return kPGPError_OutOfMemory;
        ctx->emptyStore = std::make_shared<KeyStore>(std::move(ffi));
        *newContext = reinterpret_cast<PGPContextRef>(ctx.release());
        return kPGPError_NoErr;
    });
}

PGPError PGPFreeContext(PGPContextRef context)
{
    return freeObject<Context>(context, Tag::Context);
}

PGPError PGPGetErrorString(PGPError theError, PGPSize bufferSize, char* theString)
{
    if (!theString || bufferSize == 0)
        return kPGPError_BadParams;
    const char* text;
    std::string detail;
    switch (theError) {
    case kPGPError_NoErr: text = "No error"; break;
    case kPGPError_BadParams: text = "Bad parameters"; break;
    case kPGPError_OutOfMemory: text = "Out of memory"; break;
    case kPGPError_BufferTooSmall: text = "Buffer too small"; break;
    case kPGPError_FileNotFound: text = "File not found"; break;
    case kPGPError_CantOpenFile: text = "Can't open file"; break;
    case kPGPError_FilePermissions: text = "File permission denied"; break;
    case kPGPError_FeatureNotAvailable: text = "Feature not available"; break;
    case kPGPError_BadPassphrase: text = "Bad passphrase"; break;
    case kPGPError_CorruptData: text = "Corrupt data"; break;
    case kPGPError_NotPGPMessage: text = "Not an OpenPGP message"; break;
    case kPGPError_TruncatedData: text = "Truncated data"; break;
    case kPGPError_IntegrityCheckFailed: text = "Integrity check failed: the message was changed"; break;
    case kPGPError_NoIntegrityProtection: text = "Message has no integrity protection"; break;
    case kPGPError_NoDecryptionKey: text = "No secret key for any recipient"; break;
    case kPGPError_KeyUnusable: text = "Unusable key (revoked or expired)"; break;
    case kPGPError_ItemNotFound: text = "Item not found"; break;
    case kPGPError_EndOfIteration: text = "End of iteration"; break;
    case kPGPError_UserAbort: text = "Cancelled by the user"; break;
    case kPGPError_BadAPIVersion: text = "Unsupported API version"; break;
    case kPGPError_NotInitialized: text = "SDK not initialised"; break;
    case kPGPError_NoSuitableKey: text = "No suitable key"; break;
    case kPGPError_ReadFailed: text = "Read failed"; break;
    case kPGPError_WriteFailed: text = "Write failed"; break;
    case kPGPError_OutputTooLarge: text = "Output larger than allowed"; break;
    case kPGPError_KeySetImmutable: text = "Key set cannot be changed"; break;
    case kPGPError_CorruptKeyRing: text = "Corrupt key ring"; break;
    case kPGPError_SigningFailed: text = "Signing failed"; break;
    case kPGPError_EncryptionFailed: text = "Encryption failed"; break;
    case kPGPError_MissingPassphrase: text = "Passphrase needed"; break;
    case kPGPError_KeyRingLocked: text = "The key rings are in use by another program"; break;
    case kPGPError_UnsupportedFormat:
        detail = "This message uses a format Tolv cannot read";
        if (const std::string what = lastUnreadableFormat(); !what.empty())
            detail += " (" + what + ")";
        text = detail.c_str();
        break;
    case kPGPError_UnknownError: text = "Unknown error"; break;
    default: text = nullptr; break;
    }
    char unknown[48];
    if (!text) {
        std::snprintf(unknown, sizeof unknown, "Unknown error %d", static_cast<int>(theError));
        text = unknown;
    }
    std::size_t n = std::strlen(text);
    if (n >= bufferSize)
        n = bufferSize - 1;
    std::memcpy(theString, text, n);
    theString[n] = '\0';
    return std::strlen(text) >= bufferSize ? kPGPError_BufferTooSmall : kPGPError_NoErr;
}

PGPError PGPFreeData(void* data)
{
    freeBlock(data);
    return kPGPError_NoErr;
}

}  // extern "C"
