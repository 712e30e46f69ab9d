// The SDK library: exports, key rings, key sets and key properties.
#include <QtGlobal>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "pgpsdk/pgpsdk_entry_points.h"
#include "tests/pgpsdk_harness.h"
#include "tests/test_support.h"

using namespace harness;

namespace {
const std::vector<std::string>& tableNames()
{
    static const std::vector<std::string> names = {
#define NAME(n) #n,
        PGPSDK_ENTRY_POINTS(NAME, NAME)
#undef NAME
    };
    return names;
}

struct Rings : ::testing::Test {
    void SetUp() override { ASSERT_EQ(s.open(fixture("pubring.pgp"), fixture("secring.pgp")), 0); }
    Session s;
};

std::vector<std::string> orderedUserIds(Session& s, PGPInt32 order)
{
    PGPKeyListRef list = nullptr;
    PGPKeyIterRef it = nullptr;
    EXPECT_EQ(PGPOrderKeySet(s.keys, order, &list), 0);
    PGPNewKeyIter(list, &it);
    std::vector<std::string> out;
    PGPKeyRef k = nullptr;
    while (PGPKeyIterNext(it, &k) == 0)
        out.push_back(userIdOf(k));
    PGPFreeKeyIter(it);
    PGPFreeKeyList(list);
    return out;
}

PGPInt32 number(PGPKeyRef k, PGPInt32 prop)
{
    PGPInt32 v = -1;
    EXPECT_EQ(PGPGetKeyNumber(k, prop, &v), 0);
    return v;
}
bool flag(PGPKeyRef k, PGPInt32 prop)
{
    PGPBoolean v = 2;
    EXPECT_EQ(PGPGetKeyBoolean(k, prop, &v), 0);
    return v != 0;
}
std::string keyIdText(PGPKeyRef k)
{
    PGPKeyID id;
    PGPGetKeyIDFromKey(k, &id);
    char text[kPGPMaxKeyIDStringSize];
    PGPGetKeyIDString(&id, kPGPKeyIDString_Abbreviated, text);
    return text;
}
}  // namespace

TEST(PgpSdkLibrary, ExportsExactlyTheEntryPointTable)
{
    ASSERT_EQ(tableNames().size(), 288u);
    std::string out;
    ASSERT_EQ(run("nm -D --defined-only '" + binDir() + "/libpgpsdk.so' | awk '{print $3}'", &out), 0);
    std::set<std::string> exported;
    std::istringstream lines(out);
    for (std::string l; std::getline(lines, l);)
        if (!l.empty())
            exported.insert(l.substr(0, l.find('@')));
    std::set<std::string> expected(tableNames().begin(), tableNames().end());
    expected.insert("tolvGetSkippedKeys");  // Tolv's extensions beside the table
    expected.insert("tolvGetImportCounts");
    expected.insert("tolvGetSignatureCacheCounts");
    expected.insert("tolvSyncKeyRing");
    expected.insert("tolvGetImportLeftOut");
    expected.insert("tolvOStopFlag");
    for (const char* edit : {"tolvRevokeUserID", "tolvSetKeyExpiration", "tolvExportRevocation", "tolvORevocationReason",
                             "tolvOKeyUsage"})
        expected.insert(edit);
    EXPECT_EQ(exported, expected);
}

TEST(PgpSdkLibrary, UnavailableEntryPointsSaySo)
{
    EXPECT_EQ(PGPsdkInit(), 0);
    PGPContextRef c = nullptr;
    EXPECT_EQ(PGPNewContext(0x01000000, &c), kPGPError_BadAPIVersion);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(PGPsdkCleanup(), 0);
    EXPECT_EQ(PGPNewContext(kPGPsdkAPIVersion, &c), kPGPError_NotInitialized);
    char text[255];
    EXPECT_EQ(PGPGetErrorString(kPGPError_FeatureNotAvailable, sizeof text, text), 0);
    EXPECT_STREQ(text, "Feature not available");
}

TEST(PgpSdkLibrary, EveryErrorCodeHasATextThatFitsTheBuffer)
{
    char text[255];
    for (PGPError e = kPGPError_BadParams; e <= kPGPError_KeyRingLocked; ++e) {
        ASSERT_EQ(PGPGetErrorString(e, sizeof text, text), 0) << e;
        EXPECT_GT(std::strlen(text), 3u);
        EXPECT_EQ(std::string(text).find("Unknown error "), std::string::npos) << e;
    }
    EXPECT_STREQ((PGPGetErrorString(kPGPError_ItemNotFound, 255, text), text), "Item not found");
    EXPECT_STREQ((PGPGetErrorString(kPGPError_BadPassphrase, 255, text), text), "Bad passphrase");
    char small[5];
    EXPECT_EQ(PGPGetErrorString(kPGPError_BadPassphrase, sizeof small, small), kPGPError_BufferTooSmall);
    EXPECT_STREQ(small, "Bad ");
    EXPECT_EQ(PGPGetErrorString(0, 0, small), kPGPError_BadParams);
    EXPECT_EQ(PGPGetErrorString(-1, sizeof text, text), 0);
    EXPECT_STREQ(text, "Unknown error -1");
}

TEST(PgpSdkLibrary, NullAndForeignReferencesAreRefused)
{
    Session s;
    PGPUInt32 n;
    EXPECT_EQ(PGPCountKeys(nullptr, &n), kPGPError_BadParams);
    EXPECT_EQ(PGPFreeKeySet(reinterpret_cast<PGPKeySetRef>(s.context)), kPGPError_BadParams);
    EXPECT_EQ(PGPFreeContext(nullptr), kPGPError_BadParams);
    EXPECT_EQ(PGPOpenKeyRingPair(s.context, 2, nullptr, nullptr, nullptr), kPGPError_BadParams);
    EXPECT_EQ(PGPKeyIterNext(nullptr, nullptr), kPGPError_BadParams);
    EXPECT_EQ(PGPFreeOptionList(PGPOLastOption(s.context)), kPGPError_BadParams);
    EXPECT_EQ(PGPFreeData(nullptr), 0);
}

// Each kind of entry point refuses a reference of another kind, or a
// missing argument, and frees the options it was given all the same.
TEST(PgpSdkLibrary, EveryKindOfEntryPointChecksItsReferences)
{
    Session s;
    ASSERT_EQ(s.open(fixture("pubring.pgp"), fixture("secring.pgp")), 0);
    const auto asSet = reinterpret_cast<PGPKeySetRef>(s.context);
    const auto asContext = reinterpret_cast<PGPContextRef>(s.keys);
    PGPKeySetRef set = nullptr;
    PGPKeyRef key = nullptr;
    PGPKeyListRef list = nullptr;
    PGPFilterRef filter = nullptr;
    PGPSize length = 0;
    char text[64];
    PGPKeyID id {};
    id.opaqueBytes[0] = 8;
    const std::pair<const char*, PGPError> refused[] = {
        {"new set", PGPNewKeySet(asContext, &set)},
        {"new set, no output", PGPNewKeySet(s.context, nullptr)},
        {"add", PGPAddKeys(asSet, s.keys)},
        {"by key ID", PGPGetKeyByKeyID(asSet, &id, 0, &key)},
        {"filter", PGPFilterKeySet(s.keys, reinterpret_cast<PGPFilterRef>(s.keys), &set)},
        {"new filter", PGPNewUserIDStringFilter(asContext, "a", kPGPMatchSubString, &filter)},
        {"order", PGPOrderKeySet(asSet, kPGPAnyOrdering, &list)},
        {"iterator", PGPNewKeyIter(reinterpret_cast<PGPKeyListRef>(s.keys), nullptr)},
        {"user ID", PGPGetUserIDStringBuffer(reinterpret_cast<PGPUserIDRef>(s.key("alice@")), kPGPUserIDPropName,
                                             sizeof text, text, &length)},
        {"free filter", PGPFreeFilter(reinterpret_cast<PGPFilterRef>(s.keys))},
        {"free list", PGPFreeKeyList(reinterpret_cast<PGPKeyListRef>(s.keys))},
        {"free iterator", PGPFreeKeyIter(reinterpret_cast<PGPKeyIterRef>(s.keys))},
        {"free file spec", PGPFreeFileSpec(reinterpret_cast<PGPFileSpecRef>(s.keys))},
        {"export", PGPExportKeySet(asSet, PGPOArmorOutput(s.context, 1), PGPOLastOption(s.context))},
        {"import", PGPImportKeySet(asContext, &set, PGPOInputBuffer(s.context, "x", 1), PGPOLastOption(s.context))},
        {"build", PGPBuildOptionList(asContext, nullptr, PGPOArmorOutput(s.context, 1), PGPOLastOption(s.context))},
    };
    for (const auto& [name, error] : refused)
        EXPECT_EQ(error, kPGPError_BadParams) << name;
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(set, nullptr);
    // The same calls with the right references work.
    ASSERT_EQ(PGPNewUserIDStringFilter(s.context, "alice@", kPGPMatchSubString, &filter), kPGPError_NoErr);
    ASSERT_EQ(PGPFilterKeySet(s.keys, filter, &set), kPGPError_NoErr);
    PGPUInt32 count = 0;
    EXPECT_EQ(PGPCountKeys(set, &count), kPGPError_NoErr);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(PGPFreeFilter(filter), kPGPError_NoErr);
    EXPECT_EQ(PGPFreeKeySet(set), kPGPError_NoErr);
}

TEST(PgpSdkRings, MissingCorruptEmptyAndDirectoryRings)
{
    ScratchDir dir;
    Session s;
    EXPECT_EQ(s.open(dir.file("missing.pgp"), fixture("secring.pgp")), kPGPError_FileNotFound);
    EXPECT_EQ(s.keys, nullptr);
    EXPECT_EQ(s.open(fixture("pubring.pgp"), dir.file("missing.pgp")), kPGPError_FileNotFound);
    EXPECT_EQ(s.keys, nullptr);

    writeFile(dir.file("garbage.pgp"), "this is not a key ring at all \x01\x02\x03");
    EXPECT_EQ(s.open(dir.file("garbage.pgp"), fixture("secring.pgp")), kPGPError_CorruptKeyRing);
    EXPECT_EQ(s.keys, nullptr);

    // A ring that is one key, of a version nobody knows, is no ring.
    writeFile(dir.file("one-bad-key.pgp"), withDamagedKey(readFile(fixture("olivia.pgp")), 0));
    EXPECT_EQ(s.open(dir.file("one-bad-key.pgp"), fixture("secring.pgp")), kPGPError_CorruptKeyRing);
    EXPECT_EQ(s.keys, nullptr);

    std::string truncated = readFile(fixture("pubring.pgp")).substr(0, 10);
    writeFile(dir.file("short.pgp"), truncated);
    EXPECT_NE(s.open(dir.file("short.pgp"), fixture("secring.pgp")), 0);
    EXPECT_EQ(s.keys, nullptr);

    EXPECT_EQ(s.open(dir.path(), fixture("secring.pgp")), kPGPError_CantOpenFile);
    EXPECT_EQ(s.keys, nullptr);

    // Junk after the last key, or one damaged key, costs only what it spoils,
    // and the key set tells how much was left out of which ring.
    PGPUInt32 all = 0, kept = 0, pubSkipped = 9, secSkipped = 9;
    ASSERT_EQ(s.open(fixture("pubring.pgp"), fixture("secring.pgp")), 0);
    PGPCountKeys(s.keys, &all);
    EXPECT_EQ(tolvGetSkippedKeys(s.keys, &pubSkipped, &secSkipped), 0);
    EXPECT_EQ(pubSkipped + secSkipped, 0u);
    const std::string ring = readFile(fixture("pubring.pgp"));
    const std::pair<std::string, PGPUInt32> cases[] = {
        {ring + std::string(100, '\x99'), 0}, {withDamagedKey(ring, 2), 1}, {withDamagedKey(ring, 5), 1}};
    for (const auto& [bytes, lost] : cases) {
        writeFile(dir.file("damaged.pgp"), bytes);
        ASSERT_EQ(s.open(dir.file("damaged.pgp"), fixture("secring.pgp")), 0);
        PGPCountKeys(s.keys, &kept);
        EXPECT_EQ(kept + lost, all);
        EXPECT_EQ(tolvGetSkippedKeys(s.keys, &pubSkipped, &secSkipped), 0);
        EXPECT_EQ(pubSkipped, 1u);
        EXPECT_EQ(secSkipped, 0u);
    }
    EXPECT_EQ(tolvGetSkippedKeys(nullptr, &pubSkipped, &secSkipped), kPGPError_BadParams);

    writeFile(dir.file("empty.pgp"), "");
    ASSERT_EQ(s.open(dir.file("empty.pgp"), dir.file("empty.pgp")), 0);
    PGPUInt32 n = 99;
    EXPECT_EQ(PGPCountKeys(s.keys, &n), 0);
    EXPECT_EQ(n, 0u);

    if (geteuid() != 0) {
        writeFile(dir.file("locked.pgp"), readFile(fixture("pubring.pgp")));
        chmod(dir.file("locked.pgp").c_str(), 0);
        EXPECT_EQ(s.open(dir.file("locked.pgp"), fixture("secring.pgp")), kPGPError_FilePermissions);
    }
}

TEST(PgpSdkRings, ArmouredRingsLoadToo)
{
    ScratchDir dir;
    ASSERT_EQ(run("gpg --enarmor < '" + fixture("pubring.pgp") + "' 2>/dev/null | sed 's/ARMORED FILE/PUBLIC KEY BLOCK/' > '" +
                  dir.file("pub.asc") + "'"),
              0);
    Session s;
    ASSERT_EQ(s.open(dir.file("pub.asc"), fixture("secring.pgp")), 0);
    PGPUInt32 n = 0;
    PGPCountKeys(s.keys, &n);
    EXPECT_EQ(n, 12u);
}

TEST_F(Rings, CountsPrimaryKeysOfBothRings)
{
    PGPUInt32 n = 0;
    ASSERT_EQ(PGPCountKeys(s.keys, &n), 0);
    EXPECT_EQ(n, 12u);  // eleven named keys and one without a user ID
}

TEST_F(Rings, SubstringFilterIgnoresCaseAndLeavesTheRingAlone)
{
    auto count = [&](const char* text) {
        PGPFilterRef f = nullptr;
        PGPKeySetRef found = nullptr;
        EXPECT_EQ(PGPNewUserIDStringFilter(s.context, text, kPGPMatchSubString, &f), 0);
        EXPECT_EQ(PGPFilterKeySet(s.keys, f, &found), 0);
        PGPFreeFilter(f);
        PGPUInt32 n = 0;
        PGPCountKeys(found, &n);
        PGPFreeKeySet(found);
        return n;
    };
    EXPECT_EQ(count("ALICE@example"), 1u);
    EXPECT_EQ(count("Example <"), 2u);  // Alice and Bob
    EXPECT_EQ(count("nobody"), 0u);
    EXPECT_EQ(count(""), 12u);          // the empty text is in every user ID
    EXPECT_EQ(count("example.org"), 11u);
    // Freeing the filtered sets did not free the ring's keys.
    PGPKeyRef alice = s.key("alice@");
    ASSERT_NE(alice, nullptr);
    EXPECT_EQ(userIdOf(alice), "Alice Example <alice@example.org>");
    PGPFilterRef f = nullptr;
    EXPECT_EQ(PGPNewUserIDStringFilter(s.context, "x", 99, &f), kPGPError_BadParams);
}

TEST_F(Rings, OrderingsSortTheKeys)
{
    auto byUid = orderedUserIds(s, kPGPUserIDOrdering);
    ASSERT_EQ(byUid.size(), 12u);
    EXPECT_EQ(byUid[0], "");  // the key without a user ID
    EXPECT_EQ(byUid[1], "Alice Example <alice@example.org>");
    EXPECT_EQ(byUid.back(), "Rex Revoked <rex@example.org>");
    EXPECT_TRUE(std::is_sorted(byUid.begin(), byUid.end()));

    PGPKeyListRef list = nullptr;
    PGPKeyIterRef it = nullptr;
    PGPOrderKeySet(s.keys, kPGPKeyIDOrdering, &list);
    PGPNewKeyIter(list, &it);
    std::vector<std::string> ids;
    std::vector<PGPTime> created;
    for (PGPKeyRef k = nullptr; PGPKeyIterNext(it, &k) == 0;)
        ids.push_back(keyIdText(k));
    PGPFreeKeyIter(it);
    PGPFreeKeyList(list);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));

    PGPOrderKeySet(s.keys, kPGPCreationOrdering, &list);
    PGPNewKeyIter(list, &it);
    for (PGPKeyRef k = nullptr; PGPKeyIterNext(it, &k) == 0;) {
        PGPTime t = 0;
        PGPGetKeyTime(k, kPGPKeyPropCreation, &t);
        created.push_back(t);
    }
    EXPECT_TRUE(std::is_sorted(created.begin(), created.end()));
    // The iterator stays at its end.
    PGPKeyRef k = reinterpret_cast<PGPKeyRef>(1);
    EXPECT_EQ(PGPKeyIterNext(it, &k), kPGPError_EndOfIteration);
    EXPECT_EQ(k, nullptr);
    PGPFreeKeyIter(it);
    PGPFreeKeyList(list);

    auto bySize = orderedUserIds(s, kPGPEncryptKeySizeOrdering);
    EXPECT_EQ(bySize.back(), "Carol Public <carol@example.org>");  // the only 3072-bit key
}

TEST_F(Rings, PropertiesOfEveryKindOfKey)
{
    struct Expect {
        const char* who;
        int alg;
        int bits;  // 0: not checked
        bool secret, revoked, expired;
        int validity;
    };
    const Expect table[] = {
        {"alice@", 1, 2048, true, false, false, kPGPValidity_Complete},
        {"bob@", 22, 0, true, false, false, kPGPValidity_Complete},
        {"carol@", 1, 3072, false, false, false, kPGPValidity_Unknown},
        {"dave@", 22, 0, false, false, false, kPGPValidity_Complete},  // certified by Alice
        {"frank@", 22, 0, false, false, false, kPGPValidity_Unknown},  // certified from outside only
        {"rex@", 1, 2048, true, true, true, kPGPValidity_Invalid},
        {"eve@", 22, 0, false, false, true, kPGPValidity_Invalid},
        {"gina@", 17, 2048, true, false, false, kPGPValidity_Complete},
        {"leap@", 1, 2048, false, false, false, kPGPValidity_Unknown},
    };
    for (const auto& e : table) {
        SCOPED_TRACE(e.who);
        PGPKeyRef k = s.key(e.who);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(number(k, kPGPKeyPropAlgID), e.alg);
        if (e.bits) {
            EXPECT_EQ(number(k, kPGPKeyPropBits), e.bits);
        }
        EXPECT_EQ(flag(k, kPGPKeyPropIsSecret), e.secret);
        EXPECT_EQ(flag(k, kPGPKeyPropIsRevoked), e.revoked);
        EXPECT_EQ(flag(k, kPGPKeyPropIsExpired), e.expired);
        EXPECT_FALSE(flag(k, kPGPKeyPropIsDisabled));
        EXPECT_FALSE(flag(k, kPGPKeyPropHasUnverifiedRevocation));
        EXPECT_EQ(number(k, kPGPKeyPropValidity), e.validity);
        std::string id = keyIdText(k);
        EXPECT_EQ(id.size(), 18u);
        EXPECT_EQ(id.substr(0, 2), "0x");
        EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF", 2), std::string::npos);
    }
    PGPTime t = 0;
    PGPGetKeyTime(s.key("leap@"), kPGPKeyPropCreation, &t);
    EXPECT_EQ(t, 951825600);  // 29 February 2000, 12:00 UTC
    PGPGetKeyTime(s.key("future@"), kPGPKeyPropCreation, &t);
    EXPECT_EQ(t, 4107585600);  // 1 March 2100, 12:00 UTC
    PGPInt32 v;
    EXPECT_EQ(PGPGetKeyNumber(s.key("alice@"), 999, &v), kPGPError_BadParams);
}

// Calls f with each user ID's text and each of its signatures, key by key
// in user ID order.
void forEachUserIdSignature(Session& s, const std::function<void(const std::string&, PGPSigRef)>& f,
                            int* keysWithoutUserIds = nullptr)
{
    PGPKeyListRef list = nullptr;
    PGPKeyIterRef it = nullptr;
    PGPOrderKeySet(s.keys, kPGPUserIDOrdering, &list);
    PGPNewKeyIter(list, &it);
    for (PGPKeyRef k = nullptr; PGPKeyIterNext(it, &k) == 0;) {
        PGPUserIDRef uid = nullptr;
        int uids = 0;
        while (PGPKeyIterNextUserID(it, &uid) == 0) {
            ++uids;
            char text[256];
            PGPSize len = 0;
            ASSERT_EQ(PGPGetUserIDStringBuffer(uid, kPGPUserIDPropName, sizeof text, text, &len), 0);
            PGPSigRef sig = nullptr;
            while (PGPKeyIterNextUIDSig(it, &sig) == 0)
                f(std::string(text, len), sig);
            PGPSigRef end = reinterpret_cast<PGPSigRef>(1);
            EXPECT_EQ(PGPKeyIterNextUIDSig(it, &end), kPGPError_EndOfIteration);
            EXPECT_EQ(end, nullptr);
        }
        if (keysWithoutUserIds && uids == 0)
            ++*keysWithoutUserIds;
    }
    PGPFreeKeyIter(it);
    PGPFreeKeyList(list);
}

TEST_F(Rings, UserIdsCertificationsAndCertifiers)
{
    std::map<std::string, std::vector<std::string>> certifiers;  // user ID -> certifiers in ring
    std::map<std::string, int> unknownCertifiers;
    int keysWithoutUserIds = 0;
    forEachUserIdSignature(s, [&](const std::string& name, PGPSigRef sig) {
        PGPKeyRef certifier = nullptr;
        PGPError e = PGPGetSigCertifierKey(sig, s.keys, &certifier);
        PGPBoolean verified = 0, tried = 0, revoked = 1, exportable = 0;
        PGPGetSigBoolean(sig, kPGPSigPropIsVerified, &verified);
        PGPGetSigBoolean(sig, kPGPSigPropIsTried, &tried);
        PGPGetSigBoolean(sig, kPGPSigPropIsRevoked, &revoked);
        PGPGetSigBoolean(sig, kPGPSigPropIsExportable, &exportable);
        PGPInt32 level = -1;
        PGPGetSigNumber(sig, kPGPSigPropTrustLevel, &level);
        EXPECT_EQ(level, 0);
        EXPECT_FALSE(revoked);
        EXPECT_TRUE(exportable);
        if (e == kPGPError_ItemNotFound) {
            ++unknownCertifiers[name];
            EXPECT_FALSE(tried);
            EXPECT_EQ(certifier, nullptr);
        } else {
            ASSERT_EQ(e, 0);
            certifiers[name].push_back(userIdOf(certifier));
        }
    }, &keysWithoutUserIds);
    EXPECT_EQ(keysWithoutUserIds, 1);
    EXPECT_EQ(certifiers["Dave Public <dave@example.org>"],
              (std::vector<std::string>{"Dave Public <dave@example.org>", "Alice Example <alice@example.org>"}));
    EXPECT_EQ(unknownCertifiers["Frank Certified <frank@example.org>"], 1);
    EXPECT_EQ(certifiers["Frank Certified <frank@example.org>"].size(), 1u);  // its own self-signature
}

#ifdef TOLV_TEST_PATCHED_LIBRNP
// Only the bundled librnp has the hook the cache needs.
// Key signature results remembered beside a copy of the fixture rings,
// under a sealing key in a settings folder of the test's own.
struct SignatureCacheTest : ::testing::Test {
    void SetUp() override
    {
        qunsetenv("TOLV_NO_SIGNATURE_CACHE");
        writeFile(pub, readFile(fixture("pubring.pgp")));
        writeFile(sec, readFile(fixture("secring.pgp")));
    }
    void TearDown() override { qputenv("TOLV_NO_SIGNATURE_CACHE", "1"); }

    struct Checked {
        std::map<std::string, std::vector<bool>> verified;  // user ID -> each signature's result
        PGPUInt32 found = 0, recorded = 0;
    };
    // Opens the rings, checks every certification and closes them again
    // (which saves what was learnt).
    Checked openAndCheck()
    {
        Checked c;
        Session s;
        EXPECT_EQ(s.open(pub, sec), 0);
        forEachUserIdSignature(s, [&](const std::string& name, PGPSigRef sig) {
            PGPBoolean verified = 0;
            PGPGetSigBoolean(sig, kPGPSigPropIsVerified, &verified);
            c.verified[name].push_back(verified != 0);
        });
        EXPECT_EQ(tolvGetSignatureCacheCounts(s.keys, &c.found, &c.recorded), 0);
        return c;
    }
    static mode_t modeOf(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    ScratchDir dir;
    const std::string pub = dir.file("pubring.pgp"), sec = dir.file("secring.pgp");
    const std::string cache = pub + ".sigcache", sealKey = dir.configDir() + "/signature-cache.key";
    const std::string dave = "Dave Public <dave@example.org>";
};

TEST_F(SignatureCacheTest, GoodResultsAreRememberedPrivatelyAndFoundNextTime)
{
    // librnp checks a key's self-signatures again as it moves the key into
    // the ring; that second check already finds the first one's result.
    const Checked first = openAndCheck();
    ASSERT_GT(first.recorded, 1u);
    EXPECT_EQ(first.verified.at(dave), (std::vector<bool>{true, true}));
    EXPECT_EQ(modeOf(cache), 0600u);
    EXPECT_EQ(modeOf(sealKey), 0600u);
    EXPECT_EQ(readFile(sealKey).size(), 32u);
    // A header, 32 bytes for each result and the seal.
    EXPECT_EQ(readFile(cache).size(), 8 + 32 * first.recorded + 32);

    const Checked second = openAndCheck();
    EXPECT_EQ(second.verified, first.verified);
    EXPECT_GE(second.found, first.recorded);
    EXPECT_EQ(second.recorded, 0u);  // nothing had to be checked
    EXPECT_EQ(readFile(cache).size(), 8 + 32 * first.recorded + 32);  // nothing new: not written

    ::unlink(cache.c_str());
    qputenv("TOLV_NO_SIGNATURE_CACHE", "1");
    const Checked off = openAndCheck();
    EXPECT_EQ(off.verified, first.verified);
    EXPECT_EQ(off.found + off.recorded, 0u);
    EXPECT_NE(::access(cache.c_str(), F_OK), 0);
}

TEST_F(SignatureCacheTest, AChangedCertificationIsCheckedAgainAndFails)
{
    openAndCheck();
    writeFile(pub, withChangedCertifications(readFile(pub)));
    const Checked changed = openAndCheck();
    // Alice's certification of Dave no longer verifies; Dave's own does,
    // from what was remembered.
    EXPECT_EQ(changed.verified.at(dave), (std::vector<bool>{true, false}));
    EXPECT_GT(changed.found, 0u);
    EXPECT_EQ(changed.recorded, 0u);  // a bad result is never remembered
}

TEST_F(SignatureCacheTest, AChangedRingFindsTheResultsOfTheKeysItKept)
{
    const Checked first = openAndCheck();
    std::string aliceKey, daveKey;
    {
        Session s;
        ASSERT_EQ(s.open(pub, sec), 0);
        ASSERT_EQ(exportKey(s, "alice@", false, false, aliceKey), 0);
        ASSERT_EQ(exportKey(s, "dave@", false, false, daveKey), 0);
    }
    writeFile(pub, daveKey + aliceKey);  // another file: two of its keys, in another order
    const Checked fewer = openAndCheck();
    EXPECT_LT(fewer.verified.size(), first.verified.size());  // the secret ring's keys stay too
    EXPECT_EQ(fewer.verified.at(dave), first.verified.at(dave));
    EXPECT_GT(fewer.found, 0u);
    EXPECT_EQ(fewer.recorded, 0u);  // every check of theirs was found
}

TEST_F(SignatureCacheTest, ADamagedOrForeignCacheIsIgnoredWhole)
{
    const Checked first = openAndCheck();
    const std::string good = readFile(cache);
    const std::string key = readFile(sealKey);
    auto expectAllCheckedAgain = [&](const char* what) {
        const Checked again = openAndCheck();
        EXPECT_EQ(again.verified, first.verified) << what;
        EXPECT_EQ(again.recorded, first.recorded) << what;  // everything checked again
        EXPECT_EQ(readFile(cache), good) << what;  // written afresh, under the user's key
    };
    std::string damaged = good;
    damaged[8 + 32] ^= 0x40;  // one bit of the second result
    writeFile(cache, damaged);
    expectAllCheckedAgain("damaged");
    writeFile(cache, good.substr(0, good.size() - 1));
    expectAllCheckedAgain("cut short");
    std::string otherKey = key;
    otherKey[0] ^= 0x01;
    writeFile(sealKey, otherKey);  // sealed by another user's key
    const Checked foreign = openAndCheck();
    EXPECT_EQ(foreign.recorded, first.recorded);
    EXPECT_EQ(foreign.verified, first.verified);
}
#endif

TEST_F(Rings, LongUserIdsAreCutAtCharacterBoundaries)
{
    PGPKeyRef k = s.key("lorenzo");
    ASSERT_NE(k, nullptr);
    EXPECT_GT(userIdOf(k).size(), 128u);
    char small[64];
    PGPSize len = 0;
    ASSERT_EQ(PGPGetPrimaryUserIDNameBuffer(k, sizeof small, small, &len), 0);
    EXPECT_EQ(len, 63u);
    EXPECT_EQ(std::strlen(small), 63u);
}

TEST_F(Rings, KeySetsAddAndCount)
{
    PGPKeySetRef set = nullptr;
    ASSERT_EQ(PGPNewKeySet(s.context, &set), 0);
    PGPUInt32 n = 7;
    PGPCountKeys(set, &n);
    EXPECT_EQ(n, 0u);
    ASSERT_EQ(PGPAddKeys(s.keys, set), 0);
    ASSERT_EQ(PGPAddKeys(s.keys, set), 0);  // no duplicates
    PGPCountKeys(set, &n);
    EXPECT_EQ(n, 12u);
    PGPFreeKeySet(set);
    PGPCountKeys(s.keys, &n);
    EXPECT_EQ(n, 12u);
}


TEST_F(Rings, ExportedKeysAndFingerprintsAreGnuPGs)
{
    ScratchDir dir;
    GpgHome gnupg(dir.file("gnupg"), false);
    std::string bob, alice;
    ASSERT_EQ(exportKey(s, "bob@", true, false, bob), 0);
    EXPECT_EQ(bob.rfind("-----BEGIN PGP PUBLIC KEY BLOCK-----\n", 0), 0u);
    EXPECT_EQ(bob.find('\r'), std::string::npos);
    writeFile(dir.file("bob.asc"), bob);
    ASSERT_EQ(gnupg.gpg("--import '" + dir.file("bob.asc") + "'"), 0);
    std::string listing;
    ASSERT_EQ(gnupg.gpg("--with-colons --list-keys bob@example.org", &listing), 0);
    unsigned char fpr[32];
    PGPSize length = 0;
    ASSERT_EQ(PGPGetKeyPropertyBuffer(s.key("bob@"), kPGPKeyPropFingerprint, sizeof fpr, fpr, &length), 0);
    ASSERT_EQ(length, 20u);
    char hex[41];
    for (int i = 0; i < 20; ++i)
        std::snprintf(hex + 2 * i, 3, "%02X", fpr[i]);
    EXPECT_NE(listing.find(std::string("fpr:::::::::") + hex + ":"), std::string::npos) << listing;
    EXPECT_EQ(PGPGetKeyPropertyBuffer(s.key("bob@"), kPGPKeyPropFingerprint, 19, fpr, &length), kPGPError_BufferTooSmall);

    // A secret key, binary and still protected: gpg signs with it, Tolv verifies.
    ASSERT_EQ(exportKey(s, "alice@", false, true, alice), 0);
    EXPECT_EQ(alice.rfind("-----BEGIN", 0), std::string::npos);
    writeFile(dir.file("alice.sec"), alice);
    ASSERT_EQ(gnupg.gpg("--passphrase alice --import '" + dir.file("alice.sec") + "'"), 0);
    writeFile(dir.file("note"), "signed by gpg with Tolv's key\n");
    EXPECT_NE(gnupg.gpg("--passphrase wrong -u alice@example.org -s -o /dev/null '" + dir.file("note") + "'"), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase alice -u alice@example.org -s -o '" + dir.file("note.pgp") + "' '" +
                        dir.file("note") + "'"),
              0);
    auto d = decode(s, readFile(dir.file("note.pgp")), "");
    ASSERT_EQ(d.error, 0);
    ASSERT_EQ(d.signatures.size(), 1u);
    EXPECT_TRUE(d.signatures[0].data.verified);

    std::string none;
    EXPECT_EQ(exportKey(s, "carol@", true, true, none), kPGPError_ItemNotFound);  // no secret part
    EXPECT_EQ(exportKey(s, "nobody@", true, false, none), kPGPError_ItemNotFound);
    EXPECT_TRUE(none.empty());
}
