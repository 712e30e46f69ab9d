// Times the SDK's key changes: generating a key pair of each algorithm,
// importing a file of many keys into an empty ring pair, and committing a
// ring pair of that size. Prints medians in milliseconds.
//   bench_key_changes KEYFILE WORKDIR [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <typename F> double timeMs(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void check(PGPError e, const char* what)
{
    if (e) {
        std::fprintf(stderr, "%s failed: %d\n", what, e);
        std::exit(1);
    }
}

struct Rings {
    Rings(PGPContextRef c, const std::string& dir, bool empty) : context(c)
    {
        const std::string pub = dir + "/pubring.pgp", sec = dir + "/secring.pgp";
        if (empty)
            std::ofstream(pub, std::ios::trunc), std::ofstream(sec, std::ios::trunc);
        PGPFileSpecRef p = nullptr, s = nullptr;
        PGPNewFileSpecFromFullPath(c, pub.c_str(), &p);
        PGPNewFileSpecFromFullPath(c, sec.c_str(), &s);
        check(PGPOpenKeyRingPair(c, kPGPKeyRingOpenFlags_Mutable, p, s, &keys), "PGPOpenKeyRingPair");
        PGPFreeFileSpec(p);
        PGPFreeFileSpec(s);
    }
    ~Rings() { PGPFreeKeySet(keys); }
    PGPContextRef context;
    PGPKeySetRef keys = nullptr;
};

// A key pair as Tolv makes one: primary key, then its encryption subkey.
void generate(Rings& r, PGPInt32 primary, PGPInt32 subkey, PGPUInt32 bits)
{
    PGPContextRef c = r.context;
    const std::string uid = "Bench <bench@example.org>";
    PGPKeyRef key = nullptr;
    check(PGPGenerateKey(c, &key, PGPOKeyGenParams(c, primary, bits), PGPOKeyGenName(c, uid.data(), uid.size()),
                         PGPOPassphrase(c, "bench passphrase"), PGPOExpiration(c, 1095), PGPOKeySetRef(c, r.keys),
                         PGPOLastOption(c)),
          "PGPGenerateKey");
    check(PGPGenerateSubKey(c, &key, PGPOKeyGenMasterKey(c, key), PGPOKeyGenParams(c, subkey, bits),
                            PGPOPassphrase(c, "bench passphrase"), PGPOExpiration(c, 1095), PGPOLastOption(c)),
          "PGPGenerateSubKey");
}

void benchGeneration(PGPContextRef c, const std::string& dir, int runs)
{
    struct Algorithm {
        const char* name;
        PGPInt32 primary, subkey;
        PGPUInt32 bits;
    };
    const Algorithm algorithms[] = {{"Ed25519 + Cv25519", kPGPPublicKeyAlgorithm_EdDSA, kPGPPublicKeyAlgorithm_ECDH, 0},
                                    {"RSA 3072 + RSA 3072", kPGPPublicKeyAlgorithm_RSA, kPGPPublicKeyAlgorithm_RSA, 3072},
                                    {"RSA 4096 + RSA 4096", kPGPPublicKeyAlgorithm_RSA, kPGPPublicKeyAlgorithm_RSA, 4096}};
    for (const Algorithm& a : algorithms) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            Rings r(c, dir, true);
            times.push_back(timeMs([&] { generate(r, a.primary, a.subkey, a.bits); }));
        }
        std::printf("generate %-22s %9.1f ms (median of %d, min %.1f, max %.1f)\n", a.name, median(times), runs,
                    *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
    }
}

void benchLargeRing(PGPContextRef c, const std::string& keyFile, const std::string& dir)
{
    PGPUInt32 count = 0;
    {
        Rings r(c, dir, true);
        PGPFileSpecRef spec = nullptr;
        PGPNewFileSpecFromFullPath(c, keyFile.c_str(), &spec);
        PGPKeySetRef imported = nullptr;
        const double import = timeMs([&] {
            check(PGPImportKeySet(c, &imported, PGPOInputFile(c, spec), PGPOImportKeysTo(c, r.keys), PGPOLastOption(c)),
                  "PGPImportKeySet");
        });
        PGPFreeFileSpec(spec);
        PGPCountKeys(r.keys, &count);
        const double commit = timeMs([&] { check(PGPCommitKeyRingChanges(r.keys), "PGPCommitKeyRingChanges"); });
        PGPFreeKeySet(imported);
        std::printf("import %u keys into an empty ring %9.1f ms\n", count, import);
        std::printf("commit of the new %u-key ring     %9.1f ms\n", count, commit);
    }
    Rings r(c, dir, false);
    generate(r, kPGPPublicKeyAlgorithm_EdDSA, kPGPPublicKeyAlgorithm_ECDH, 0);
    const double commit = timeMs([&] { check(PGPCommitKeyRingChanges(r.keys), "PGPCommitKeyRingChanges"); });
    std::printf("commit of one new key in that ring %8.1f ms\n", commit);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_key_changes KEYFILE WORKDIR [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    check(PGPsdkInit(), "PGPsdkInit");
    PGPContextRef c = nullptr;
    check(PGPNewContext(kPGPsdkAPIVersion, &c), "PGPNewContext");
    if (runs > 0)
        benchGeneration(c, argv[2], runs);
    benchLargeRing(c, argv[1], argv[2]);
    PGPFreeContext(c);
    PGPsdkCleanup();
    return 0;
}
