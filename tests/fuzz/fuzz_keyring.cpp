// Fuzzed bytes as a public key ring (the secret ring is empty): opening it
// gives a key set or an error code; every key of a set can be read.
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pgpsdk/pgpsdk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static PGPContextRef context = [] {
        PGPContextRef c = nullptr;
        // Nothing is remembered between inputs: every run checks every
        // signature, and nothing is written beside the rings.
        setenv("TOLV_NO_SIGNATURE_CACHE", "1", 1);
        PGPsdkInit();
        PGPNewContext(kPGPsdkAPIVersion, &c);
        return c;
    }();
    // The rings live in memory (/dev/shm where there is one): the fuzzer's
    // time goes into reading them, not into the disk.
    static const std::string dir = [] {
        char shm[] = "/dev/shm/tolv-fuzz-ring-XXXXXX", tmp[] = "/tmp/tolv-fuzz-ring-XXXXXX";
        const char* made = mkdtemp(shm);
        return std::string(made ? made : mkdtemp(tmp));
    }();
#ifdef TOLV_FUZZ_SECRET_RING
    const std::string pubPath = dir + "/sec.pgp", secPath = dir + "/pub.pgp";  // the fuzzed bytes are the secret ring
#else
    const std::string pubPath = dir + "/pub.pgp", secPath = dir + "/sec.pgp";
#endif
    static const bool emptyRing = [&] {
        FILE* e = std::fopen(secPath.c_str(), "wb");  // the other ring, empty, made once
        return e && std::fclose(e) == 0;
    }();
    FILE* f = std::fopen(pubPath.c_str(), "wb");
    if (!f || !emptyRing)
        return f ? std::fclose(f), 0 : 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    PGPFileSpecRef pub = nullptr, sec = nullptr;
    PGPNewFileSpecFromFullPath(context, pubPath.c_str(), &pub);
    PGPNewFileSpecFromFullPath(context, secPath.c_str(), &sec);
    PGPKeySetRef keys = nullptr;
    PGPError e = PGPOpenKeyRingPair(context, 2, pub, sec, &keys);
    PGPFreeFileSpec(pub);
    PGPFreeFileSpec(sec);
    if (e != 0 && keys)
        __builtin_trap();  // a failed open leaves no key set
    if (!keys)
        return 0;
    PGPKeyListRef list = nullptr;
    PGPKeyIterRef it = nullptr;
    PGPOrderKeySet(keys, kPGPUserIDOrdering, &list);
    PGPNewKeyIter(list, &it);
    PGPKeyRef key = nullptr;
    while (PGPKeyIterNext(it, &key) == 0) {
        char text[256];
        PGPSize len = 0;
        PGPGetPrimaryUserIDNameBuffer(key, sizeof text, text, &len);
        PGPUserIDRef uid = nullptr;
        while (PGPKeyIterNextUserID(it, &uid) == 0) {
            PGPSigRef sig = nullptr;
            while (PGPKeyIterNextUIDSig(it, &sig) == 0) {
                PGPKeyRef certifier = nullptr;
                PGPGetSigCertifierKey(sig, keys, &certifier);
            }
        }
    }
    PGPFreeKeyIter(it);
    PGPFreeKeyList(list);
    PGPFreeKeySet(keys);
    return 0;
}
