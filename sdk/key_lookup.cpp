#include "sdk/key_lookup.h"

#include "core/frontend.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

bool reportKeyChoice(const char* caption, const QString& text)
{
    frontend::notify({caption, text, frontend::Icon::Exclamation, frontend::Failure::KeyChoice});
    return false;
}

}  // namespace

bool FindSingleKey(PGPContextRef context, PGPKeySetRef keySet, const std::string& text, const FindSteps& steps,
                   const char* caption, KeySetHolder& found, FilterHolder& filterHolder)
{
    PGPFilterRef filter = nullptr;
    PGPError e = call::PGPNewUserIDStringFilter(context, text.c_str(), static_cast<PGPUInt32>(kPGPMatchSubString),
                                                &filter);
    if (e)
        return reportSdkFailure(caption, steps.filter, e), false;
    filterHolder.reset(filter);
    PGPKeySetRef filtered = nullptr;
    e = call::PGPFilterKeySet(keySet, filterHolder.get(), &filtered);
    if (e)
        return reportSdkFailure(caption, steps.search, e), false;
    found.reset(filtered);
    filterHolder.reset();
    PGPUInt32 count = 0;
    e = call::PGPCountKeys(found.get(), &count);
    if (e)
        return reportSdkFailure(caption, steps.count, e), false;
    if (count < 1)
        return reportKeyChoice(caption, "Unable to find a key for " + QString::fromStdString(text));
    if (count > 1)
        return reportKeyChoice(caption, "Ambiguous key choice: " + QString::fromStdString(text));
    return true;
}

namespace {

// The hex digits of a key ID or fingerprint text, upper case; empty for
// any other text.
std::string keyIdDigits(std::string text)
{
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
        text.erase(0, 2);
    if ((text.size() != 16 && text.size() != 40 && text.size() != 64) ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return {};
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool identifiedBy(const std::string& fingerprint, const std::string& digits)
{
    if (digits.empty() || digits.size() > fingerprint.size())
        return false;
    // A v6 key's ID is the start of its 64-digit fingerprint, a v4 key's the end.
    const std::size_t at = fingerprint.size() == 64 ? 0 : fingerprint.size() - digits.size();
    return fingerprint.compare(at, digits.size(), digits) == 0;
}

std::string fingerprintHex(PGPKeyRef key)
{
    unsigned char bytes[64];
    PGPSize length = 0;
    if (call::PGPGetKeyPropertyBuffer(key, static_cast<PGPInt32>(kPGPKeyPropFingerprint), sizeof bytes, bytes,
                                      &length) != kPGPError_NoErr)
        return {};
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (PGPSize i = 0; i < length; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

bool FindKeyForCommand(PGPContextRef context, PGPKeySetRef keySet, const std::string& text, const FindSteps& steps,
                       const char* caption, KeySetHolder& found)
{
    const std::string digits = keyIdDigits(text);
    if (!digits.empty()) {
        KeyWalk walk(keySet, static_cast<PGPInt32>(kPGPAnyOrdering));
        while (PGPKeyRef key = walk.next()) {
            if (!identifiedBy(fingerprintHex(key), digits))
                continue;
            PGPKeySetRef one = nullptr;
            if (PGPError e = call::PGPNewSingletonKeySet(key, &one))
                return reportSdkFailure(caption, "PGPNewSingletonKeySet ", e), false;
            found.reset(one);
            return true;
        }
    }
    FilterHolder filter;
    return FindSingleKey(context, keySet, text, steps, caption, found, filter);
}

KeySetHolder selectCommandKey(SdkUse& use, const std::string& text, const char* caption)
{
    static const FindSteps steps {"PGPNewUserIDStringFilter ", "PGPFilterKeySet ", "PGPCountKeys "};
    KeySetHolder found;
    if (!use.loadKeys() || !FindKeyForCommand(use.context(), use.keySet(), text, steps, caption, found))
        return {};
    return found;
}

PGPKeyRef onlyKey(PGPKeySetRef set)
{
    return KeyWalk(set, static_cast<PGPInt32>(kPGPAnyOrdering)).next();
}

}  // namespace sdk
