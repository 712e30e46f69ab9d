#include "sdk/verify_detached.h"

#include <cstring>
#include <functional>

#include "sdk/run_steps.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

bool verifyRun(const std::function<PGPOptionListRef(PGPContextRef)>& signature, const std::string& data,
               PGPData& report, PGPError* outcome)
{
    const char* caption = "Verify";
    SdkUse use;
    if (!use.loadKeys())
        return setOutcome(outcome, kPGPError_ItemNotFound), false;
    const PGPContextRef c = use.context();
    const PGPError e = call::PGPDecode(c, call::PGPOEventHandler(c, &PGPEventHandler, &report), signature(c),
                                       call::PGPODetachedSig(c, fileOption(c, data, true), last(c)),
                                       call::PGPOKeySetRef(c, use.keySet()), last(c));
    setOutcome(outcome, e);
    if (e)
        reportSdkFailure(caption, "PGPDecode ", e);
    return e == kPGPError_NoErr;
}

}  // namespace

bool verifyDetachedFile(const std::string& signature, const std::string& data, PGPData& report, PGPError* outcome)
{
    return verifyRun([&](PGPContextRef c) { return fileOption(c, signature, true); }, data, report, outcome);
}

bool verifyDetachedBuffer(const char* signature, std::uint64_t size, const std::string& data, PGPData& report,
                            PGPError* outcome)
{
    return verifyRun([&](PGPContextRef c) { return call::PGPOInputBuffer(c, signature, static_cast<PGPSize>(size)); },
                     data, report, outcome);
}

bool looksLikeDetachedSignature(const char* data, std::uint64_t size)
{
    std::uint64_t i = 0;
    while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    static const char armour[] = "-----BEGIN PGP SIGNATURE-----";
    if (size - i >= sizeof armour - 1 && std::memcmp(data + i, armour, sizeof armour - 1) == 0)
        return true;
    // A binary signature packet first: new format tag 2, or old format tag 2.
    const auto first = size ? static_cast<unsigned char>(data[0]) : 0;
    return first == 0xC2 || (first & 0xBC) == 0x88;
}

}  // namespace sdk
