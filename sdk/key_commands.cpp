#include "sdk/key_commands.h"

#include <functional>

#include "sdk/key_lookup.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

std::string keyFingerprint(const std::string& text)
{
    const char* caption = "Fingerprint";
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    if (!found)
        return {};
    const std::string hex = fingerprintHex(onlyKey(found.get()));
    if (hex.empty())
        reportSdkFailure(caption, "PGPGetKeyPropertyBuffer ", kPGPError_ItemNotFound);
    return hex;
}

bool exportKeyToFile(const std::string& text, const std::string& path, bool armour, bool secret)
{
    const char* caption = "Export";
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    if (!found)
        return false;
    const PGPContextRef c = use.context();
    const PGPError e = call::PGPExportKeySet(found.get(), fileOption(c, path, false),
                                             call::PGPOArmorOutput(c, static_cast<PGPBoolean>(armour ? 1 : 0)),
                                             call::PGPOExportPrivateKeys(c, static_cast<PGPBoolean>(secret ? 1 : 0)),
                                             last(c));
    if (e)
        reportSdkFailure(caption, "PGPExportKeySet ", e);
    return e == kPGPError_NoErr;
}

std::string exportedText(const char* caption, const char* label, const std::string& text,
                         const std::function<PGPError(PGPContextRef, PGPKeySetRef, PGPOptionListRef)>& exportTo)
{
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    if (!found)
        return {};
    const PGPContextRef c = use.context();
    void* data = nullptr;
    PGPSize size = 0;
    const PGPError e = exportTo(c, found.get(), call::PGPOAllocatedOutputBuffer(c, &data, static_cast<PGPSize>(-1), &size));
    std::string out = data ? std::string(static_cast<const char*>(data), size) : std::string();
    call::PGPFreeData(data);
    if (e)
        return reportSdkFailure(caption, label, e), std::string();
    return out;
}

std::string armouredPublicKey(const std::string& text)
{
    return exportedText("Copy public key", "PGPExportKeySet ", text,
                        [](PGPContextRef c, PGPKeySetRef set, PGPOptionListRef output) {
                            return call::PGPExportKeySet(set, output, call::PGPOArmorOutput(c, static_cast<PGPBoolean>(1)),
                                                         last(c));
                        });
}

}  // namespace sdk
