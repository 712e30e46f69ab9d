// A keyserver's or a Web Key Directory's answer, as it comes from the
// network: read as a machine-readable key listing (op=index), and as key
// data of which only the keys that match what was asked are kept. Neither
// may crash, hang or leak, and nothing that does not match is kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/app_config.h"
#include "net/hkp_index.h"
#include "sdk/key_search.h"
#include "sdk/sdk_session.h"

namespace {

// The binding's rings: the fuzz key pair (the answer is read in a key set
// of its own, beside them).
bool useFuzzRings()
{
    // Nothing is written beside the committed rings.
    setenv("TOLV_NO_SIGNATURE_CACHE", "1", 1);
    AppConfigValues v;
    v.DLLName = "pgpsdk.dll";
    v.PubRing = TOLV_FUZZ_KEYS_DIR "/fuzz-pub.pgp";
    v.SecRing = TOLV_FUZZ_KEYS_DIR "/fuzz-sec.pgp";
    AppConfig::instance().assign(v);
    if (sdk::Load_PGP() != 0 || sdk::PGP_LoadRings() != 0)
        __builtin_trap();  // a fuzz run without the library would test nothing
    return true;
}

void checkListing(const QByteArray& bytes)
{
    const std::vector<net::IndexedKey> keys = net::parseKeyIndex(bytes);
    if (keys.size() > net::kMaxIndexedKeys)
        __builtin_trap();
    for (const net::IndexedKey& k : keys) {
        const bool hex = !k.keyId.isEmpty() && k.keyId == k.keyId.toUpper() &&
                         k.keyId.toStdString().find_first_not_of("0123456789ABCDEF") == std::string::npos;
        if (!hex || (k.keyId.size() != 16 && k.keyId.size() != 40 && k.keyId.size() != 64) || k.userIds.size() > 100)
            __builtin_trap();
    }
}

// What was asked, picked by the first byte: the seeds' keys by address,
// fingerprint and key ID (Bob's and the fuzz key's), or a name.
sdk::KeyQuery queryFor(std::uint8_t pick)
{
    switch (pick % 5) {
    case 0: return {sdk::QueryKind::Address, "fuzz@example.org"};
    case 1: return {sdk::QueryKind::Fingerprint, "FF2E6A20901169A94DA4D025DC35ADDE84C5BA51"};
    case 2: return {sdk::QueryKind::KeyId, "FE3E22FB47CADA6D"};  // the fuzz key's subkey
    case 3: return {sdk::QueryKind::Address, "bob@example.org"};
    default: return {sdk::QueryKind::Text, "Example"};
    }
}

bool kept(const sdk::FoundKey& k, const sdk::KeyQuery& q)
{
    if (k.keyBytes.empty())
        return false;
    switch (q.kind) {
    case sdk::QueryKind::Fingerprint: return k.fingerprint == q.text;
    case sdk::QueryKind::Address:
        for (const std::string& u : k.userIds)
            if (sdk::userIdAddress(u) == q.text)
                return true;
        return false;
    case sdk::QueryKind::KeyId: return true;  // a subkey's ID is not in the fingerprint
    default: return false;                     // a name never selects key data
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = useFuzzRings();
    (void)ready;
    checkListing(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (size == 0)
        return 0;
    const sdk::KeyQuery query = queryFor(data[0]);
    const std::string answer(reinterpret_cast<const char*>(data + 1), size - 1);
    int dropped = 0;
    for (const sdk::FoundKey& k : sdk::matchingKeys(answer, query, "fuzz", dropped))
        if (!kept(k, query))
            __builtin_trap();
    return 0;
}
