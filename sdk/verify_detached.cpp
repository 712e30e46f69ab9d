#include "sdk/verify_detached.h"

#include <cstring>
#include <functional>

#include "sdk/run_steps.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

DecodeResult verifyRun(const std::function<PGPOptionListRef(PGPContextRef)>& signature, const std::string& data)
{
    SdkUse use;
    if (!use.loadKeys())
        return decodeResult({}, kPGPError_ItemNotFound);
    const PGPContextRef c = use.context();
    JobEvents events;
    const PGPError e = call::PGPDecode(c, call::PGPOEventHandler(c, &PGPEventHandler, &events), signature(c),
                                       call::PGPODetachedSig(c, fileOption(c, data, true), last(c)),
                                       call::PGPOKeySetRef(c, use.keySet()), last(c));
    if (e)
        reportSdkFailure("Verify", "PGPDecode ", e);
    return decodeResult(std::move(events.records), e);
}

}  // namespace

DecodeResult verifyDetachedFile(const std::string& signature, const std::string& data)
{
    return verifyRun([&](PGPContextRef c) { return fileOption(c, signature, true); }, data);
}

DecodeResult verifyDetachedBuffer(const char* signature, std::uint64_t size, const std::string& data)
{
    return verifyRun([&](PGPContextRef c) { return call::PGPOInputBuffer(c, signature, static_cast<PGPSize>(size)); },
                     data);
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
