// Option lists for PGPEncode put together by the fuzzer: any mix, order and
// repetition of input, output, armour, passphrase, signing key and
// recipient sets. PGPEncode must answer with an error code or a message,
// and a message must decode again to the input.
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace {

struct Keys {
    Keys()
    {
        // Nothing is remembered between inputs: every run checks every
        // signature, and nothing is written beside the rings.
        setenv("TOLV_NO_SIGNATURE_CACHE", "1", 1);
        PGPsdkInit();
        PGPNewContext(kPGPsdkAPIVersion, &context);
        PGPFileSpecRef pub = nullptr, sec = nullptr;
        PGPNewFileSpecFromFullPath(context, TOLV_FUZZ_KEYS_DIR "/fuzz-pub.pgp", &pub);
        PGPNewFileSpecFromFullPath(context, TOLV_FUZZ_KEYS_DIR "/fuzz-sec.pgp", &sec);
        PGPOpenKeyRingPair(context, 2, pub, sec, &set);
        PGPFreeFileSpec(pub);
        PGPFreeFileSpec(sec);
        PGPKeyListRef list = nullptr;
        PGPKeyIterRef iter = nullptr;
        PGPOrderKeySet(set, kPGPAnyOrdering, &list);
        PGPNewKeyIter(list, &iter);
        PGPKeyIterNext(iter, &key);
        PGPFreeKeyIter(iter);
        PGPFreeKeyList(list);
    }
    PGPContextRef context = nullptr;
    PGPKeySetRef set = nullptr;
    PGPKeyRef key = nullptr;
};

// Whether message decodes (with the same keys and passphrase) to input.
bool decodesTo(const Keys& keys, const void* message, PGPSize size, const std::uint8_t* input, std::size_t inputSize)
{
    PGPContextRef c = keys.context;
    void* plain = nullptr;
    PGPSize plainSize = 0;
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOInputBuffer(c, message, size),
                       PGPOAllocatedOutputBuffer(c, &plain, static_cast<PGPSize>(-1), &plainSize),
                       PGPOPassphrase(c, "x"), PGPOLastOption(c));
    const PGPError e = PGPDecode(c, list, PGPOKeySetRef(c, keys.set), PGPOLastOption(c));
    const bool same = e == 0 && plainSize == inputSize && (inputSize == 0 || std::memcmp(plain, input, inputSize) == 0);
    PGPFreeData(plain);
    PGPFreeOptionList(list);
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Keys keys;
    PGPContextRef c = keys.context;
    if (size < 1)
        return 0;
    const std::size_t steps = std::min<std::size_t>(data[0] & 7, size - 1);
    const std::uint8_t* input = data + 1 + steps;
    const std::size_t inputSize = size - 1 - steps;
    void* out = nullptr;
    PGPSize outSize = 0;
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOLastOption(c));
    for (std::size_t i = 0; i < steps; ++i) {
        PGPOptionListRef option = nullptr;
        switch (data[1 + i] % 6) {
        case 0: option = PGPOInputBuffer(c, input, inputSize); break;
        case 1: option = PGPOAllocatedOutputBuffer(c, &out, static_cast<PGPSize>(data[1 + i]) << 8, &outSize); break;
        case 2: option = PGPOArmorOutput(c, data[1 + i] & 8); break;
        case 3: option = PGPOPassphrase(c, "x"); break;
        case 4: option = PGPOSignWithKey(c, keys.key, PGPOLastOption(c)); break;
        default: option = PGPOEncryptToKeySet(c, keys.set); break;
        }
        PGPAppendOptionList(c, list, option, PGPOLastOption(c));
    }
    const PGPError e = PGPEncode(c, list, PGPOLastOption(c));
    if (e != 0 && out)
        __builtin_trap();  // a failed encode hands out nothing
    if (e == 0 && out && !decodesTo(keys, out, outSize, input, inputSize))
        __builtin_trap();
    PGPFreeData(out);
    PGPFreeOptionList(list);
    return 0;
}
