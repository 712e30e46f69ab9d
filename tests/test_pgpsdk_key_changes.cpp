// The SDK library: generating, importing, removing and changing keys, and
// writing the rings back, checked against gpg.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/pgpsdk_harness.h"
#include "tests/test_support.h"

using namespace harness;

namespace {

// The fixture rings copied into a scratch folder, opened for changes.
struct KeyChanges : ::testing::Test {
    void SetUp() override
    {
        writeFile(pub, readFile(fixture("pubring.pgp")));
        writeFile(sec, readFile(fixture("secring.pgp")));
        ASSERT_EQ(s.open(pub, sec), 0);
    }
    PGPUInt32 count(PGPKeySetRef set)
    {
        PGPUInt32 n = 0;
        PGPCountKeys(set, &n);
        return n;
    }
    PGPError importText(const std::string& bytes, PGPUInt32 counts[3])
    {
        PGPContextRef c = s.context;
        PGPKeySetRef imported = nullptr;
        const PGPError e = PGPImportKeySet(c, &imported, PGPOInputBuffer(c, bytes.data(), bytes.size()),
                                           PGPOImportKeysTo(c, s.keys), PGPOLastOption(c));
        if (imported)
            tolvGetImportCounts(imported, &counts[0], &counts[1], &counts[2]);
        PGPFreeKeySet(imported);
        return e;
    }
    ScratchDir dir;
    std::string pub = dir.file("pubring.pgp"), sec = dir.file("secring.pgp");
    Session s;
};

PGPKeyRef generate(Session& s, const std::string& userId, const std::string& pass)
{
    PGPContextRef c = s.context;
    PGPKeyRef key = nullptr, withSubkey = nullptr;
    EXPECT_EQ(PGPGenerateKey(c, &key, PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_EdDSA, 0),
                             PGPOKeyGenName(c, userId.data(), userId.size()), PGPOPassphrase(c, pass.c_str()),
                             PGPOExpiration(c, 1095), PGPOKeySetRef(c, s.keys), PGPOLastOption(c)),
              0);
    EXPECT_EQ(PGPGenerateSubKey(c, &withSubkey, PGPOKeyGenMasterKey(c, key), PGPOPassphrase(c, "wrong"),
                                PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_ECDH, 0), PGPOLastOption(c)),
              kPGPError_BadPassphrase);
    EXPECT_EQ(PGPGenerateSubKey(c, &withSubkey, PGPOKeyGenMasterKey(c, key), PGPOPassphrase(c, pass.c_str()),
                                PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_ECDH, 0), PGPOExpiration(c, 1095),
                                PGPOLastOption(c)),
              0);
    return withSubkey;
}

// A new Ed25519 key in the open set, its secret key unprotected (quick to
// make and to use); null on failure.
PGPKeyRef unprotectedKey(Session& s, const std::string& userId)
{
    PGPContextRef c = s.context;
    PGPKeyRef key = nullptr;
    const PGPError e = PGPGenerateKey(c, &key, PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_EdDSA, 0),
                                      PGPOKeyGenName(c, userId.data(), userId.size()), PGPOPassphrase(c, ""),
                                      PGPOKeySetRef(c, s.keys), PGPOLastOption(c));
    return e ? nullptr : key;
}

}  // namespace

TEST_F(KeyChanges, GeneratedKeyIsCommittedAndWorksWithGnuPG)
{
    PGPKeyRef key = generate(s, "Nina <nina@example.org>", "nina pass");
    ASSERT_NE(key, nullptr);
    PGPTime created = 0, expires = 0;
    PGPGetKeyTime(key, kPGPKeyPropCreation, &created);
    PGPGetKeyTime(key, kPGPKeyPropExpiration, &expires);
    EXPECT_EQ(expires - created, 1095 * 86400);
    EXPECT_EQ(count(s.keys), 13u);
    EXPECT_TRUE(PGPKeySetNeedsCommit(s.keys));
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    EXPECT_FALSE(PGPKeySetNeedsCommit(s.keys));
    EXPECT_EQ(readFile(pub + ".bak"), readFile(fixture("pubring.pgp")));
    EXPECT_EQ(readFile(sec + ".bak"), readFile(fixture("secring.pgp")));

    // Both rings as written are gpg's to read: it encrypts to the new key
    // and signs with it (protected: the passphrase is needed).
    GpgHome gnupg(dir.file("gnupg"), false);
    ASSERT_EQ(gnupg.gpg("--import '" + pub + "'"), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase 'nina pass' --import '" + sec + "'"), 0);
    writeFile(dir.file("note"), "to nina\n");
    ASSERT_EQ(gnupg.gpg("-r nina@example.org -e -o '" + dir.file("note.pgp") + "' '" + dir.file("note") + "'"), 0);
    EXPECT_NE(gnupg.gpg("--passphrase wrong -u nina@example.org -s -o /dev/null '" + dir.file("note") + "'"), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase 'nina pass' -u nina@example.org -s -o '" + dir.file("note.sig") + "' '" +
                        dir.file("note") + "'"),
              0);
    Session reopened;
    ASSERT_EQ(reopened.open(pub, sec), 0);
    auto d = decode(reopened, readFile(dir.file("note.pgp")), "nina pass");
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.output, "to nina\n");
    d = decode(reopened, readFile(dir.file("note.sig")), "");
    ASSERT_EQ(d.signatures.size(), 1u);
    EXPECT_TRUE(d.signatures[0].data.verified);
}

TEST_F(KeyChanges, ImportMergesCountsAndRefusesGarbage)
{
    // gpg makes a key, then gives it a second user ID and revokes it.
    GpgHome gnupg(dir.file("gnupg"), false);
    ASSERT_EQ(gnupg.gpg("--passphrase '' --quick-gen-key 'Gus <gus@example.org>' future-default default never"), 0);
    std::string first, second;
    ASSERT_EQ(gnupg.gpg("-a --export gus@example.org", &first), 0);
    PGPUInt32 counts[3] = {9, 9, 9};
    ASSERT_EQ(importText(first + first, counts), 0);  // the same key twice is one key
    EXPECT_EQ(std::vector<PGPUInt32>(counts, counts + 3), (std::vector<PGPUInt32> {1, 0, 0}));
    ASSERT_EQ(importText(first, counts), 0);
    EXPECT_EQ(std::vector<PGPUInt32>(counts, counts + 3), (std::vector<PGPUInt32> {0, 0, 1}));

    // Used as a recipient at once; gpg reads the message.
    auto e = encode(s, "for gus\n", "", {"gus@"}, true, "");
    ASSERT_EQ(e.error, 0);
    writeFile(dir.file("m.asc"), e.output);
    std::string plain;
    ASSERT_EQ(gnupg.gpg("-d '" + dir.file("m.asc") + "'", &plain), 0);
    EXPECT_EQ(plain, "for gus\n");

    // Then gpg adds a user ID and revokes the key with the certificate it
    // made at generation.
    ASSERT_EQ(gnupg.gpg("--passphrase '' --quick-add-uid gus@example.org 'Gus W <gus@work.example>'"), 0);
    for (const auto& entry : std::filesystem::directory_iterator(gnupg.home + "/openpgp-revocs.d")) {
        std::string cert = readFile(entry.path().string());
        cert.erase(cert.find(":-----BEGIN"), 1);
        writeFile(dir.file("gus.rev"), cert);
    }
    ASSERT_EQ(gnupg.gpg("--import '" + dir.file("gus.rev") + "'"), 0);
    ASSERT_EQ(gnupg.gpg("-a --export gus@example.org", &second), 0);
    ASSERT_EQ(importText(second, counts), 0);
    EXPECT_EQ(std::vector<PGPUInt32>(counts, counts + 3), (std::vector<PGPUInt32> {0, 1, 0}));
    EXPECT_NE(s.key("gus@work.example"), nullptr);
    PGPBoolean revoked = 0;
    PGPGetKeyBoolean(s.key("gus@example.org"), kPGPKeyPropIsRevoked, &revoked);
    EXPECT_TRUE(revoked);

    // Garbage changes nothing.
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    const PGPUInt32 before = count(s.keys);
    for (const std::string& junk : {std::string("not a key at all\n"), randomBytes(4096, 7),
                                    std::string("-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nAAAA\n")})
        EXPECT_EQ(importText(junk, counts), kPGPError_CorruptKeyRing);
    EXPECT_EQ(count(s.keys), before);
    EXPECT_FALSE(PGPKeySetNeedsCommit(s.keys));
}

TEST_F(KeyChanges, RemoveRepassCertifyRevokeAndRevert)
{
    PGPContextRef c = s.context;
    // Alice certifies Carol's user ID: her key becomes valid.
    PGPKeyIterRef it = nullptr;
    PGPKeyListRef list = nullptr;
    PGPKeySetRef carolSet = keySetOf(s, {"carol@"});
    PGPOrderKeySet(carolSet, kPGPAnyOrdering, &list);
    PGPNewKeyIter(list, &it);
    PGPKeyRef k = nullptr;
    PGPUserIDRef uid = nullptr;
    PGPKeyIterNext(it, &k);
    PGPKeyIterNextUserID(it, &uid);
    PGPInt32 validity = -1;
    PGPGetKeyNumber(k, kPGPKeyPropValidity, &validity);
    EXPECT_NE(validity, kPGPValidity_Complete);
    EXPECT_EQ(PGPSignUserID(uid, s.key("alice@"), PGPOPassphrase(c, "wrong"), PGPOLastOption(c)),
              kPGPError_BadPassphrase);
    const PGPError certified = PGPSignUserID(uid, s.key("alice@"), PGPOPassphrase(c, "alice"), PGPOLastOption(c));
    PGPFreeKeyIter(it);
    PGPFreeKeyList(list);
    PGPFreeKeySet(carolSet);
    if (certified != kPGPError_FeatureNotAvailable) {  // the system's librnp cannot certify
        ASSERT_EQ(certified, 0);
        PGPGetKeyNumber(s.key("carol@"), kPGPKeyPropValidity, &validity);
        EXPECT_EQ(validity, kPGPValidity_Complete);
    }

    PGPKeyRef carolBefore = s.key("carol@");
    PGPKeySetRef carol = keySetOf(s, {"carol@"});
    ASSERT_EQ(PGPRemoveKeys(carol, s.keys), 0);
    EXPECT_EQ(count(s.keys), 11u);
    EXPECT_EQ(s.key("carol@"), nullptr);
    // A reference taken before still reads, but no job uses it.
    EXPECT_EQ(userIdOf(carolBefore).find("Carol"), 0u);
    void* data = nullptr;
    PGPSize size = 0;
    EXPECT_EQ(PGPExportKeySet(carol, PGPOAllocatedOutputBuffer(c, &data, static_cast<PGPSize>(-1), &size),
                              PGPOLastOption(c)),
              kPGPError_ItemNotFound);
    EXPECT_EQ(data, nullptr);

    EXPECT_EQ(PGPChangePassphrase(s.key("bob@"), PGPOPassphrase(c, "wrong"), PGPOPassphrase(c, "new bob"),
                                  PGPOLastOption(c)),
              kPGPError_BadPassphrase);
    ASSERT_EQ(PGPChangePassphrase(s.key("bob@"), PGPOPassphrase(c, "bob"), PGPOPassphrase(c, "new bob"),
                                  PGPOLastOption(c)),
              0);
    auto toBob = encode(s, "hello bob\n", "", {"bob@"}, false, "");
    ASSERT_EQ(toBob.error, 0);
    EXPECT_NE(decode(s, toBob.output, "bob").error, 0);
    EXPECT_EQ(decode(s, toBob.output, "new bob").output, "hello bob\n");

    EXPECT_EQ(PGPRevokeKey(s.key("bob@"), PGPOPassphrase(c, "bob"), PGPOLastOption(c)), kPGPError_BadPassphrase);
    ASSERT_EQ(PGPRevokeKey(s.key("bob@"), PGPOPassphrase(c, "new bob"), PGPOLastOption(c)), 0);
    PGPBoolean revoked = 0;
    PGPGetKeyBoolean(s.key("bob@"), kPGPKeyPropIsRevoked, &revoked);
    EXPECT_TRUE(revoked);

    ASSERT_EQ(PGPRevertKeyRingChanges(s.keys), 0);
    EXPECT_EQ(count(s.keys), 12u);
    PGPGetKeyBoolean(s.key("bob@"), kPGPKeyPropIsRevoked, &revoked);
    EXPECT_FALSE(revoked);
    EXPECT_EQ(decode(s, toBob.output, "bob").output, "hello bob\n");
    PGPFreeKeySet(carol);
}

TEST_F(KeyChanges, CommitThatFailsHalfwayLeavesBothRings)
{
    PGPKeySetRef carol = keySetOf(s, {"carol@"});
    ASSERT_EQ(PGPRemoveKeys(carol, s.keys), 0);
    PGPFreeKeySet(carol);
    // The public ring's name is taken by a folder: the secret ring is
    // written, the public one cannot be, and neither file changes.
    std::filesystem::rename(pub, pub + ".moved");
    std::filesystem::create_directory(pub);
    EXPECT_NE(PGPCommitKeyRingChanges(s.keys), 0);
    EXPECT_EQ(readFile(sec), readFile(fixture("secring.pgp")));
    EXPECT_TRUE(PGPKeySetNeedsCommit(s.keys));
    std::filesystem::remove(pub);
    std::filesystem::rename(pub + ".moved", pub);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tolv-"), std::string::npos) << entry.path();
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    Session reopened;
    ASSERT_EQ(reopened.open(pub, sec), 0);
    EXPECT_EQ(reopened.key("carol@"), nullptr);
    EXPECT_NE(reopened.key("alice@"), nullptr);
}

// A key librnp refuses (an unprotected secret key whose values do not add
// up) costs only itself: the good key after it is imported, and the bad
// one is named.
TEST_F(KeyChanges, ImportTakesEveryReadableKeyAndNamesTheOthers)
{
    PGPContextRef c = s.context;
    ASSERT_NE(unprotectedKey(s, "Broken <broken@example.org>"), nullptr);
    std::string bad, dave;
    ASSERT_EQ(exportKey(s, "broken@", false, true, bad), 0);
    ASSERT_EQ(exportKey(s, "dave@", false, false, dave), 0);
    // The first packet's last bytes are its secret values' checksum.
    const std::size_t length = static_cast<unsigned char>(bad[1]) < 192 ? static_cast<unsigned char>(bad[1]) : 0;
    ASSERT_GT(length, 10u) << "a short new-format length";
    bad[2 + length - 5] ^= 0x55;
    const std::string both = bad + dave;
    PGPKeySetRef imported = nullptr;
    ASSERT_EQ(PGPImportKeySet(c, &imported, PGPOInputBuffer(c, both.data(), both.size()), PGPOLastOption(c)), 0);
    EXPECT_EQ(count(imported), 1u);
    char text[16];
    ASSERT_EQ(tolvGetImportLeftOut(imported, 0, text, sizeof text), 0);
    EXPECT_STREQ(text, "Broken <broken@");
    EXPECT_EQ(tolvGetImportLeftOut(imported, 1, text, sizeof text), kPGPError_EndOfIteration);
    PGPFreeKeySet(imported);
}

// An import that only brings news of keys already there (a revocation) is
// a change like any other: written, and there when the rings open again.
TEST_F(KeyChanges, UpdateOnlyImportIsWritten)
{
    std::string rex;
    ASSERT_EQ(exportKey(s, "rex@", false, false, rex), 0);
    Session plain;
    writeFile(pub, withoutKeyRevocations(readFile(fixture("pubring.pgp"))));
    writeFile(sec, withoutKeyRevocations(readFile(fixture("secring.pgp"))));
    ASSERT_EQ(plain.open(pub, sec), 0);
    PGPBoolean revoked = 1;
    PGPGetKeyBoolean(plain.key("rex@"), kPGPKeyPropIsRevoked, &revoked);
    ASSERT_FALSE(revoked);
    PGPKeySetRef imported = nullptr;
    ASSERT_EQ(PGPImportKeySet(plain.context, &imported, PGPOInputBuffer(plain.context, rex.data(), rex.size()),
                              PGPOImportKeysTo(plain.context, plain.keys), PGPOLastOption(plain.context)),
              0);
    PGPUInt32 counts[3] = {};
    tolvGetImportCounts(imported, &counts[0], &counts[1], &counts[2]);
    PGPFreeKeySet(imported);
    EXPECT_EQ(counts[1], 1u);
    ASSERT_TRUE(PGPKeySetNeedsCommit(plain.keys));
    ASSERT_EQ(PGPCommitKeyRingChanges(plain.keys), 0);
    Session reopened;
    ASSERT_EQ(reopened.open(pub, sec), 0);
    PGPGetKeyBoolean(reopened.key("rex@"), kPGPKeyPropIsRevoked, &revoked);
    EXPECT_TRUE(revoked);
}

// FILE.bak holds the rings as the commit before the last one left them.
TEST_F(KeyChanges, BackupHoldsTheRingsOfThePreviousCommit)
{
    ASSERT_NE(generate(s, "First <first@example.org>", "one"), nullptr);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    const std::string firstPub = readFile(pub), firstSec = readFile(sec);
    ASSERT_NE(generate(s, "Second <second@example.org>", "two"), nullptr);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    EXPECT_EQ(readFile(pub + ".bak"), firstPub);
    EXPECT_EQ(readFile(sec + ".bak"), firstSec);
    EXPECT_NE(readFile(pub), firstPub);
}

// A key that brings more subkeys than any key needs is bounded on import,
// and the import says what it left out.
TEST_F(KeyChanges, FloodedKeyIsBoundedOnImport)
{
    PGPContextRef c = s.context;
    PGPKeyRef flood = unprotectedKey(s, "Flood <flood@example.org>");
    ASSERT_NE(flood, nullptr);
    for (int i = 0; i < 103; ++i)
        ASSERT_EQ(PGPGenerateSubKey(c, &flood, PGPOKeyGenMasterKey(c, flood), PGPOPassphrase(c, ""),
                                    PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_ECDH, 0), PGPOLastOption(c)),
                  0);
    std::string bytes;
    ASSERT_EQ(exportKey(s, "flood@", false, false, bytes), 0);
    PGPKeySetRef imported = nullptr;
    ASSERT_EQ(PGPImportKeySet(c, &imported, PGPOInputBuffer(c, bytes.data(), bytes.size()), PGPOLastOption(c)), 0);
    PGPKeyListRef list = nullptr;
    PGPKeyIterRef iter = nullptr;
    PGPKeyRef key = nullptr;
    PGPOrderKeySet(imported, kPGPAnyOrdering, &list);
    PGPNewKeyIter(list, &iter);
    ASSERT_EQ(PGPKeyIterNext(iter, &key), 0);
    PGPSubKeyRef sub = nullptr;
    std::size_t subkeys = 0;
    while (PGPKeyIterNextSubKey(iter, &sub) == 0 && sub)
        ++subkeys;
    EXPECT_EQ(subkeys, 100u);
    char note[256];
    ASSERT_EQ(tolvGetImportLeftOut(imported, 0, note, sizeof note), 0);
    EXPECT_STREQ(note, "Flood <flood@example.org>: 3 subkeys left out (more than one key may bring)");
    PGPFreeKeyIter(iter);
    PGPFreeKeyList(list);
    PGPFreeKeySet(imported);
}

#ifdef TOLV_TEST_PATCHED_LIBRNP  // the system's librnp lets the first claimant keep a subkey
// Mallory binds both of Olivia's subkeys to his key, without her secret
// keys. In either order of import, and after the rings are written and
// read again, her signature stays hers and she can still be written to.
TEST_F(KeyChanges, NoKeyTakesOverAnotherKeysSubkeys)
{
    const std::string mallory = readFile(fixture("mallory-claims.pgp")), olivia = readFile(fixture("olivia.pgp"));
    const std::string signedText = readFile(fixture("olivia-signed.asc"));
    auto signerOf = [&](Session& in) {
        const DecodeResult r = decode(in, signedText, "");
        return r.signatures.size() == 1 && r.signatures[0].haveKey ? r.signatures[0].signerName : std::string("?");
    };
    PGPUInt32 counts[3];
    ASSERT_EQ(importText(mallory, counts), 0);
    EXPECT_EQ(signerOf(s), "?") << "a subkey Olivia never cross-certified for Mallory signs for nobody";
    ASSERT_EQ(importText(olivia, counts), 0);
    EXPECT_EQ(signerOf(s), "Olivia Owner <olivia@example.org>");
    EXPECT_EQ(encode(s, "to olivia", "", {"olivia@"}, false, "").error, 0);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);

    Session reopened;
    ASSERT_EQ(reopened.open(pub, sec), 0);
    EXPECT_EQ(signerOf(reopened), "Olivia Owner <olivia@example.org>");
    EXPECT_EQ(encode(reopened, "to olivia", "", {"olivia@"}, false, "").error, 0);
    // Removing Mallory's key leaves Olivia's subkeys where they are.
    PGPKeySetRef gone = keySetOf(reopened, {"mallory@"});
    ASSERT_EQ(PGPRemoveKeys(gone, reopened.keys), 0);
    PGPFreeKeySet(gone);
    EXPECT_EQ(signerOf(reopened), "Olivia Owner <olivia@example.org>");
    EXPECT_EQ(encode(reopened, "to olivia", "", {"olivia@"}, false, "").error, 0);

    writeFile(pub, readFile(fixture("pubring.pgp")));  // the other order
    Session otherOrder;
    ASSERT_EQ(otherOrder.open(pub, sec), 0);
    for (const std::string* key : {&olivia, &mallory}) {
        PGPKeySetRef imported = nullptr;
        PGPContextRef c = otherOrder.context;
        ASSERT_EQ(PGPImportKeySet(c, &imported, PGPOInputBuffer(c, key->data(), key->size()),
                                  PGPOImportKeysTo(c, otherOrder.keys), PGPOLastOption(c)),
                  0);
        PGPFreeKeySet(imported);
    }
    EXPECT_EQ(signerOf(otherOrder), "Olivia Owner <olivia@example.org>");
    EXPECT_EQ(encode(otherOrder, "to olivia", "", {"olivia@"}, false, "").error, 0);
}
#endif

namespace {

// The user ID (of that text) or the index-th subkey of a key.
struct KeyParts {
    explicit KeyParts(PGPKeyRef key)
    {
        PGPNewSingletonKeySet(key, &set);
        PGPOrderKeySet(set, kPGPAnyOrdering, &list);
        PGPNewKeyIter(list, &iter);
        PGPKeyRef k = nullptr;
        PGPKeyIterNext(iter, &k);
        for (PGPUserIDRef u = nullptr; PGPKeyIterNextUserID(iter, &u) == 0 && u;)
            userIds.push_back(u);
        for (PGPSubKeyRef sub = nullptr; PGPKeyIterNextSubKey(iter, &sub) == 0 && sub;)
            subkeys.push_back(sub);
    }
    ~KeyParts()
    {
        PGPFreeKeyIter(iter);
        PGPFreeKeyList(list);
        PGPFreeKeySet(set);
    }
    PGPUserIDRef userId(const std::string& text) const
    {
        for (PGPUserIDRef u : userIds) {
            char name[256] = {};
            PGPSize size = 0;
            PGPGetUserIDStringBuffer(u, kPGPUserIDPropName, sizeof name, name, &size);
            if (text == std::string(name, size))
                return u;
        }
        return nullptr;
    }
    PGPKeySetRef set = nullptr;
    PGPKeyListRef list = nullptr;
    PGPKeyIterRef iter = nullptr;
    std::vector<PGPUserIDRef> userIds;
    std::vector<PGPSubKeyRef> subkeys;
};

// gpg's colon listing of the key in the ring file.
std::string gpgListing(GpgHome& gnupg, const std::string& ring, const std::string& who)
{
    std::string out;
    gnupg.gpg("--import '" + ring + "'");
    gnupg.gpg("--with-colons --fixed-list-mode --list-keys " + who, &out);
    return out;
}

}  // namespace

// A key pair looked after over the years: a user ID added and made
// primary, the old one revoked with a reason, new expiry dates, a signing
// and an RSA encryption subkey added and the old encryption subkey revoked.
// gpg reads each change as meant, and the key still works with it.
TEST_F(KeyChanges, OwnKeyPairIsEditedAsGpgReadsIt)
{
#ifndef TOLV_TEST_PATCHED_LIBRNP
    GTEST_SKIP() << "the system's librnp cannot edit user IDs, certify locally or state Features";
#endif
    PGPContextRef c = s.context;
    const std::string pass = "nina pass", old = "Nina <nina@example.org>", work = "Nina W <nina@work.example>";
    ASSERT_NE(generate(s, old, pass), nullptr);
    auto nina = [&] { return s.key("nina@example.org"); };
    EXPECT_EQ(PGPAddUserID(nina(), work.c_str(), PGPOPassphrase(c, "wrong"), PGPOLastOption(c)), kPGPError_BadPassphrase);
    EXPECT_EQ(PGPAddUserID(s.key("carol@"), work.c_str(), PGPOPassphrase(c, "x"), PGPOLastOption(c)), kPGPError_ItemNotFound);
    ASSERT_EQ(PGPAddUserID(nina(), work.c_str(), PGPOPassphrase(c, pass.c_str()), PGPOLastOption(c)), 0);
    ASSERT_EQ(PGPSetPrimaryUserID(KeyParts(nina()).userId(work), PGPOPassphrase(c, pass.c_str()), PGPOLastOption(c)), 0);
    ASSERT_EQ(tolvRevokeUserID(KeyParts(nina()).userId(old), PGPOPassphrase(c, pass.c_str()),
                               tolvORevocationReason(c, kTolvRevocation_UserIDInvalid, "moved"), PGPOLastOption(c)),
              0);
    PGPTime created = 0;
    PGPGetKeyTime(nina(), kPGPKeyPropCreation, &created);
    const PGPTime twoYears = created + 2 * 365 * 86400;
    EXPECT_EQ(tolvSetKeyExpiration(nina(), nullptr, twoYears, PGPOPassphrase(c, "wrong"), PGPOLastOption(c)),
              kPGPError_BadPassphrase);
    EXPECT_EQ(tolvSetKeyExpiration(nina(), nullptr, created - 1, PGPOPassphrase(c, pass.c_str()), PGPOLastOption(c)),
              kPGPError_BadParams);
    ASSERT_EQ(tolvSetKeyExpiration(nina(), nullptr, twoYears, PGPOPassphrase(c, pass.c_str()), PGPOLastOption(c)), 0);
    PGPKeyRef grown = nullptr;
    ASSERT_EQ(PGPGenerateSubKey(c, &grown, PGPOKeyGenMasterKey(c, nina()), PGPOPassphrase(c, pass.c_str()),
                                PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_EdDSA, 0), tolvOKeyUsage(c, kTolvKeyUsage_Sign),
                                PGPOLastOption(c)),
              0);
    ASSERT_EQ(PGPGenerateSubKey(c, &grown, PGPOKeyGenMasterKey(c, nina()), PGPOPassphrase(c, pass.c_str()),
                                PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_RSA, 3072), PGPOLastOption(c)),
              0);
    const PGPTime oneYear = created + 365 * 86400;
    {
        KeyParts parts(nina());
        ASSERT_EQ(parts.subkeys.size(), 3u);  // ECDH, the signing one, RSA
        ASSERT_EQ(tolvSetKeyExpiration(nina(), parts.subkeys[1], oneYear, PGPOPassphrase(c, pass.c_str()), PGPOLastOption(c)),
                  0);
    }
    ASSERT_EQ(PGPRevokeSubKey(KeyParts(nina()).subkeys[0], PGPOPassphrase(c, pass.c_str()),
                              tolvORevocationReason(c, kTolvRevocation_Superseded, ""), PGPOLastOption(c)),
              0);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);

    GpgHome gnupg(dir.file("gnupg"), false);
    const std::string listed = gpgListing(gnupg, pub, "nina@example.org");
    EXPECT_NE(listed.find(":" + std::to_string(twoYears) + ":"), std::string::npos) << listed;  // the new expiry
    const auto workAt = listed.find("uid:-::::"), oldAt = listed.find("uid:r::::");
    EXPECT_NE(workAt, std::string::npos) << listed;
    EXPECT_LT(workAt, oldAt) << "the primary user ID comes first\n" << listed;
    EXPECT_NE(listed.find("::" + work + "::"), std::string::npos) << listed;
    EXPECT_NE(listed.find("\nsub:r:255:18:"), std::string::npos) << listed;  // the old ECDH subkey, revoked
    const auto signing = listed.find("\nsub:-:255:22:");  // the new signing subkey, to expire in a year
    ASSERT_NE(signing, std::string::npos) << listed;
    EXPECT_NE(listed.substr(signing, listed.find('\n', signing + 1) - signing).find(":" + std::to_string(oneYear) + ":"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find("\nsub:-:3072:1:"), std::string::npos) << listed;  // the new RSA one
    std::string packets;
    runShell("gpg --list-packets '" + pub + "' 2>/dev/null", &packets);
    EXPECT_NE(packets.find("revocation reason 0x20 (moved)"), std::string::npos);

    // It still works with gpg: its secret ring signs, gpg encrypts to it.
    ASSERT_EQ(gnupg.gpg("--passphrase '" + pass + "' --import '" + sec + "'"), 0);
    writeFile(dir.file("note"), "to nina\n");
    ASSERT_EQ(gnupg.gpg("-r nina@work.example -e -o '" + dir.file("note.pgp") + "' '" + dir.file("note") + "'"), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase '" + pass + "' -u nina@work.example -s -o '" + dir.file("note.sig") + "' '" +
                        dir.file("note") + "'"),
              0);
    EXPECT_EQ(decode(s, readFile(dir.file("note.pgp")), pass).output, "to nina\n");
    const auto signedNote = decode(s, readFile(dir.file("note.sig")), "");
    ASSERT_EQ(signedNote.signatures.size(), 1u);
    EXPECT_TRUE(signedNote.signatures[0].data.verified);
}

// What a new key says of itself, and the revocation certificate made for
// it: gpg and Tolv each take it as revoking the key.
TEST_F(KeyChanges, NewKeysStateTheirPreferencesAndCanBeRevokedByCertificate)
{
#ifndef TOLV_TEST_PATCHED_LIBRNP
    GTEST_SKIP() << "the system's librnp cannot edit user IDs, certify locally or state Features";
#endif
    PGPContextRef c = s.context;
    ASSERT_NE(generate(s, "Nina <nina@example.org>", "nina pass"), nullptr);
    void* data = nullptr;
    PGPSize size = 0;
    EXPECT_EQ(tolvExportRevocation(s.key("nina@"), PGPOPassphrase(c, "wrong"),
                                   PGPOAllocatedOutputBuffer(c, &data, static_cast<PGPSize>(-1), &size), PGPOLastOption(c)),
              kPGPError_BadPassphrase);
    ASSERT_EQ(tolvExportRevocation(s.key("nina@"), PGPOPassphrase(c, "nina pass"), PGPOArmorOutput(c, 1),
                                   PGPOAllocatedOutputBuffer(c, &data, static_cast<PGPSize>(-1), &size),
                                   tolvORevocationReason(c, kTolvRevocation_Compromised, "lost laptop"), PGPOLastOption(c)),
              0);
    const std::string certificate(static_cast<const char*>(data), size);
    PGPFreeData(data);
    EXPECT_EQ(certificate.rfind("-----BEGIN PGP PUBLIC KEY BLOCK-----", 0), 0u);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    PGPBoolean revoked = 1;
    PGPGetKeyBoolean(s.key("nina@"), kPGPKeyPropIsRevoked, &revoked);
    EXPECT_FALSE(revoked);  // only made, not used

    std::string packets;
    runShell("gpg --export-options export-minimal --list-packets '" + pub + "' 2>/dev/null", &packets);
    const auto nina = packets.find("\"Nina <nina@example.org>\"");
    ASSERT_NE(nina, std::string::npos);
    const std::string selfSig = packets.substr(nina, packets.find(":public sub key packet:", nina) - nina);
    for (const char* stated : {"(features: 01)", "(primary user ID)", "(pref-sym-algos: 9 7)", "(pref-hash-algos: 10 8)",
                               "(pref-zip-algos: 2 0)"})
        EXPECT_NE(selfSig.find(stated), std::string::npos) << stated << "\n" << selfSig;

    // gpg takes the certificate in; so does Tolv, as an import.
    GpgHome gnupg(dir.file("gnupg"), false);
    writeFile(dir.file("nina.rev"), "This revokes Nina's key.\n\n" + certificate);
    gpgListing(gnupg, pub, "nina@");
    std::string said;
    ASSERT_EQ(runShell("gpg --homedir '" + gnupg.home + "' --batch --import '" + dir.file("nina.rev") + "' 2>&1", &said), 0)
        << said;
    EXPECT_NE(gpgListing(gnupg, pub, "nina@example.org").find("\npub:r:"), std::string::npos);
    PGPUInt32 counts[3] = {9, 9, 9};
    ASSERT_EQ(importText(readFile(dir.file("nina.rev")), counts), 0);
    EXPECT_EQ(std::vector<PGPUInt32>(counts, counts + 3), (std::vector<PGPUInt32> {0, 1, 0}));
    PGPGetKeyBoolean(s.key("nina@"), kPGPKeyPropIsRevoked, &revoked);
    EXPECT_TRUE(revoked);
    ASSERT_EQ(importText(readFile(dir.file("nina.rev")), counts), 0);
    EXPECT_EQ(std::vector<PGPUInt32>(counts, counts + 3), (std::vector<PGPUInt32> {0, 0, 1}));
}

// A local certification makes the key valid here and never leaves the
// rings: an export has no trace of it.
TEST_F(KeyChanges, LocalCertificationIsNotExported)
{
#ifndef TOLV_TEST_PATCHED_LIBRNP
    GTEST_SKIP() << "the system's librnp cannot edit user IDs, certify locally or state Features";
#endif
    PGPContextRef c = s.context;
    KeyParts carol(s.key("carol@"));
    ASSERT_EQ(PGPSignUserID(carol.userIds.at(0), s.key("alice@"), PGPOPassphrase(c, "alice"), PGPOExportable(c, 0),
                            PGPOLastOption(c)),
              0);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    Session reopened;
    ASSERT_EQ(reopened.open(pub, sec), 0);
    PGPInt32 validity = -1;
    PGPGetKeyNumber(reopened.key("carol@"), kPGPKeyPropValidity, &validity);
    EXPECT_EQ(validity, kPGPValidity_Complete);
    void* data = nullptr;
    PGPSize size = 0;
    PGPKeySetRef carolSet = keySetOf(reopened, {"carol@"});
    ASSERT_EQ(PGPExportKeySet(carolSet, PGPOAllocatedOutputBuffer(reopened.context, &data, static_cast<PGPSize>(-1), &size),
                              PGPOLastOption(reopened.context)),
              0);
    PGPFreeKeySet(carolSet);
    writeFile(dir.file("carol.pgp"), std::string(static_cast<const char*>(data), size));
    PGPFreeData(data);
    std::string inRing, exported;
    runShell("gpg --list-packets '" + pub + "' 2>/dev/null", &inRing);
    runShell("gpg --list-packets '" + dir.file("carol.pgp") + "' 2>/dev/null", &exported);
    EXPECT_NE(inRing.find("(not exportable)"), std::string::npos) << "the ring keeps it";
    EXPECT_NE(exported.find("Carol"), std::string::npos);
    EXPECT_EQ(exported.find("sigclass 0x10"), std::string::npos) << exported;
}
