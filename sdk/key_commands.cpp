#include "sdk/key_commands.h"

#include <cstdio>

#include "sdk/key_lookup.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

const FindSteps kSteps {"PGPNewUserIDStringFilter ", "PGPFilterKeySet ", "PGPCountKeys "};

// The set of the one key text selects in the open rings; null when there is
// none (told under caption).
KeySetHolder selectKey(SdkUse& use, const std::string& text, const char* caption)
{
    KeySetHolder found;
    FilterHolder filter;
    if (!use.loadKeys() || !FindSingleKey(use.context(), use.keySet(), text, kSteps, caption, found, filter))
        return {};
    return found;
}

}  // namespace

std::string keyFingerprint(const std::string& text)
{
    const char* caption = "Fingerprint";
    SdkUse use;
    KeySetHolder found = selectKey(use, text, caption);
    if (!found)
        return {};
    unsigned char bytes[64];
    PGPSize length = 0;
    if (PGPError e = call::PGPGetKeyPropertyBuffer(onlyKey(found.get()), static_cast<PGPInt32>(kPGPKeyPropFingerprint),
                                                   sizeof bytes, bytes, &length)) {
        reportSdkFailure(caption, "PGPGetKeyPropertyBuffer ", e);
        return {};
    }
    std::string hex;
    char digits[3];
    for (PGPSize i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        hex += digits;
    }
    return hex;
}

bool exportKeyToFile(const std::string& text, const std::string& path, bool armour, bool secret)
{
    const char* caption = "Export";
    SdkUse use;
    KeySetHolder found = selectKey(use, text, caption);
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

}  // namespace sdk
