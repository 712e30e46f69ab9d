// Any bytes as a message to PGPDecode, with the fuzz key pair loaded: the
// SDK must answer with an error code or a result, never crash, hang or
// leak. The key has no passphrase, so that the fuzzer's time goes into
// parsing the message rather than into deriving the key's protection.
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <string>

#include "pgpsdk/pgpsdk.h"

namespace {

struct Rings {
    Rings()
    {
        // Nothing is remembered between inputs: every run checks every
        // signature, and nothing is written beside the rings.
        setenv("TOLV_NO_SIGNATURE_CACHE", "1", 1);
        PGPsdkInit();
        PGPNewContext(kPGPsdkAPIVersion, &context);
        PGPFileSpecRef pub = nullptr, sec = nullptr;
        PGPNewFileSpecFromFullPath(context, TOLV_FUZZ_KEYS_DIR "/fuzz-pub.pgp", &pub);
        PGPNewFileSpecFromFullPath(context, TOLV_FUZZ_KEYS_DIR "/fuzz-sec.pgp", &sec);
        PGPOpenKeyRingPair(context, 2, pub, sec, &keys);
        PGPFreeFileSpec(pub);
        PGPFreeFileSpec(sec);
    }
    PGPContextRef context = nullptr;
    PGPKeySetRef keys = nullptr;
};

PGPError countEvents(PGPContextRef, PGPEvent* event, void* user)
{
    if (event->type == kPGPEvent_RecipientsEvent) {
        PGPUInt32 n = 0;
        PGPCountKeys(event->data.recipientsData.recipientSet, &n);
        *static_cast<unsigned*>(user) += n;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Rings rings;
    PGPContextRef c = rings.context;
    unsigned events = 0;
    void* out = nullptr;
    PGPSize outSize = 0;
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOEventHandler(c, countEvents, &events), PGPOInputBuffer(c, data, size),
                       PGPOAllocatedOutputBuffer(c, &out, static_cast<PGPSize>(-1), &outSize),
                       PGPOPassphrase(c, "x"), PGPOLastOption(c));
    PGPError e = PGPDecode(c, list, PGPOKeySetRef(c, rings.keys), PGPOLastOption(c));
    if (e != 0 && out)
        __builtin_trap();  // a failed decode must hand out nothing
    PGPFreeData(out);
    PGPFreeOptionList(list);
    return 0;
}
