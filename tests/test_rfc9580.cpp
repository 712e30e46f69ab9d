// What today's peers write (RFC 9580): v6 keys, v6 signatures and SEIPDv2
// from sq 1.3.1, and OCB from gpg 2.4.7, read from the fixtures that
// scripts/make-rfc9580-fixtures.sh made in a Debian 13 chroot; SEIPDv2
// written only to keys that say they read it; v6 keys made; and formats the
// engine cannot read told as such.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/pgpsdk_harness.h"
#include "tests/test_support.h"

using namespace harness;

namespace {

std::string peer(const std::string& name) { return readFile(fixture("rfc9580/" + name)); }

std::string fingerprintOf(PGPKeyRef key)
{
    unsigned char bytes[64];
    PGPSize length = 0;
    if (PGPGetKeyPropertyBuffer(key, kPGPKeyPropFingerprint, sizeof bytes, bytes, &length))
        return {};
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (PGPSize i = 0; i < length; ++i)
        hex += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return hex;
}

// The first packet after the session keys: its tag and first body byte.
std::pair<int, int> dataPacket(const std::string& message)
{
    std::size_t pos = 0;
    while (pos + 2 < message.size()) {
        const auto c = static_cast<unsigned char>(message[pos]);
        const int tag = c & 0x3f;
        const auto l0 = static_cast<unsigned char>(message[pos + 1]);
        if (tag != 1 && tag != 3)
            return {tag, static_cast<unsigned char>(message[pos + (l0 < 192 ? 2 : l0 < 224 ? 3 : 2)])};
        const std::size_t len = l0 < 192 ? l0 : ((l0 - 192) << 8) + static_cast<unsigned char>(message[pos + 2]) + 192;
        pos += (l0 < 192 ? 2 : 3) + len;
    }
    return {0, 0};
}

// The fixture rings with the peers' keys imported: Vera (v6, sq), Fiona
// (v4, sq, advertises SEIPDv2) and Gus (v4, gpg 2.4, does not).
struct Rfc9580 : ::testing::Test {
    void SetUp() override
    {
        writeFile(pub, readFile(fixture("pubring.pgp")));
        writeFile(sec, readFile(fixture("secring.pgp")));
        ASSERT_EQ(s.open(pub, sec), 0);
        for (const char* key : {"vera-secret.pgp", "fiona-secret.pgp", "gus-secret.pgp"})
            ASSERT_EQ(importText(peer(key)), 0) << key;
    }
    PGPError importText(const std::string& bytes)
    {
        PGPContextRef c = s.context;
        PGPKeySetRef imported = nullptr;
        const PGPError e = PGPImportKeySet(c, &imported, PGPOInputBuffer(c, bytes.data(), bytes.size()),
                                           PGPOImportKeysTo(c, s.keys), PGPOLastOption(c));
        PGPFreeKeySet(imported);
        return e;
    }
    void expectPlainFromPeer(const DecodeResult& d, const std::string& signer)
    {
        EXPECT_EQ(d.error, 0);
        EXPECT_EQ(d.output, peer("plain.txt"));
        if (signer.empty()) {
            EXPECT_TRUE(d.signatures.empty());
            return;
        }
        ASSERT_EQ(d.signatures.size(), 1u);
        EXPECT_EQ(d.signatures[0].signerName, signer);
        EXPECT_TRUE(d.signatures[0].haveKey);
        EXPECT_EQ(d.signatures[0].data.verified, 1);
    }
    ScratchDir dir;
    std::string pub = dir.file("pubring.pgp"), sec = dir.file("secring.pgp");
    Session s;
};

TEST_F(Rfc9580, AV6KeyIsListedWithItsLongFingerprint)
{
    PGPKeyRef vera = s.key("vera@example.org");
    ASSERT_TRUE(vera);
    const std::string fpr = fingerprintOf(vera);
    EXPECT_EQ(fpr.size(), 64u) << fpr;
    EXPECT_EQ(fingerprintOf(s.key("fiona@example.org")).size(), 40u);
    PGPInt32 algorithm = 0;
    EXPECT_EQ(PGPGetKeyNumber(vera, kPGPKeyPropAlgID, &algorithm), 0);
    EXPECT_EQ(algorithm, kPGPPublicKeyAlgorithm_Ed25519);
    std::string exported;
    ASSERT_EQ(exportKey(s, "vera@example.org", false, false, exported), 0);
    EXPECT_EQ(static_cast<unsigned char>(exported[2]), 6u) << "a v6 key packet";
}

TEST_F(Rfc9580, SeipdV2AndV6SignaturesFromSqAreRead)
{
    expectPlainFromPeer(decode(s, peer("sq-seipdv2-to-v4.pgp"), ""), "");
    expectPlainFromPeer(decode(s, peer("sq-to-v6-signed.pgp"), ""), "Vera Six <vera@example.org>");
    // A v6 signature inside a message to a v4 key: the text comes out, signed.
    expectPlainFromPeer(decode(s, peer("sq-v6-signed-to-v4.pgp"), ""), "Vera Six <vera@example.org>");
    expectPlainFromPeer(decode(s, peer("sq-v6-signed.pgp"), ""), "Vera Six <vera@example.org>");
    const DecodeResult clear = decode(s, peer("sq-v6-clearsigned.asc"), "");
    EXPECT_EQ(clear.error, 0);
    ASSERT_EQ(clear.signatures.size(), 1u);
    EXPECT_EQ(clear.signatures[0].data.verified, 1);
    const std::string data = peer("plain.txt");
    const DecodeResult detached = decode(s, peer("sq-v6-detached.sig"), "", 0, &data);
    ASSERT_EQ(detached.signatures.size(), 1u);
    EXPECT_EQ(detached.signatures[0].data.verified, 1);
    const std::string changed = "A message from a peer of 2026.\n";
    const DecodeResult bad = decode(s, peer("sq-v6-detached.sig"), "", 0, &changed);
    ASSERT_EQ(bad.signatures.size(), 1u);
    EXPECT_EQ(bad.signatures[0].data.verified, 0);
}

TEST_F(Rfc9580, OcbFromGpgIsRead)
{
    expectPlainFromPeer(decode(s, peer("gpg-ocb-to-gus.pgp"), ""), "");
    expectPlainFromPeer(decode(s, peer("gpg-ocb-symmetric.pgp"), "correct horse"), "");
    EXPECT_EQ(decode(s, peer("gpg-ocb-symmetric.pgp"), "wrong horse").error, kPGPError_BadPassphrase);
}

TEST_F(Rfc9580, SeipdV2IsWrittenOnlyWhenEveryRecipientReadsIt)
{
    const std::string text = "to the peers of today\n";
    for (const auto& [recipients, version] :
         std::vector<std::pair<std::vector<std::string>, int>> {{{"fiona@"}, 2}, {{"vera@"}, 2},
                                                                {{"gus@"}, 1}, {{"fiona@", "gus@"}, 1},
                                                                {{"fiona@", "vera@"}, 2}}) {
        const EncodeResult e = encode(s, text, "", recipients, false, "");
        ASSERT_EQ(e.error, 0) << recipients[0];
        EXPECT_EQ(dataPacket(e.output), std::make_pair(18, version)) << recipients[0] << " +" << recipients.size();
        const DecodeResult d = decode(s, e.output, "");
        EXPECT_EQ(d.error, 0);
        EXPECT_EQ(d.output, text);
    }
}

TEST_F(Rfc9580, EaxAndGcmAreRead)
{
    for (const char* name : {"tolv-eax-to-fiona.pgp", "tolv-gcm-to-fiona.pgp"})
        expectPlainFromPeer(decode(s, peer(name), ""), "");
}

TEST_F(Rfc9580, AV6KeyIsMadeOnlyWhenAskedFor)
{
    PGPContextRef c = s.context;
    PGPKeyRef key = nullptr, full = nullptr;
    const std::string name = "Nova Six <nova@example.org>";
    ASSERT_EQ(PGPGenerateKey(c, &key, PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_Ed25519, 0),
                             PGPOKeyGenName(c, name.data(), name.size()), PGPOPassphrase(c, "pass"),
                             PGPOKeySetRef(c, s.keys), PGPOLastOption(c)),
              0);
    ASSERT_EQ(PGPGenerateSubKey(c, &full, PGPOKeyGenMasterKey(c, key), PGPOPassphrase(c, "pass"),
                                PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_ECDH, 0), PGPOLastOption(c)),
              0);
    EXPECT_EQ(fingerprintOf(full).size(), 64u);
    const EncodeResult e = encode(s, "to nova\n", "nova@", {"nova@"}, false, "pass");
    ASSERT_EQ(e.error, 0);
    EXPECT_EQ(dataPacket(e.output), std::make_pair(18, 2));
    const DecodeResult d = decode(s, e.output, "pass");
    EXPECT_EQ(d.output, "to nova\n");
    ASSERT_EQ(d.signatures.size(), 1u);
    EXPECT_EQ(d.signatures[0].data.verified, 1);
    // The default stays a v4 key.
    ASSERT_EQ(PGPGenerateKey(c, &key, PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_EdDSA, 0),
                             PGPOKeyGenName(c, "Vic Four", 8), PGPOPassphrase(c, "pass"), PGPOKeySetRef(c, s.keys),
                             PGPOLastOption(c)),
              0);
    EXPECT_EQ(fingerprintOf(key).size(), 40u);
}

// A packet version or algorithm the engine cannot read is told as such.
TEST_F(Rfc9580, UnreadableFormatsAreToldAsSuch)
{
    const std::string message = peer("sq-seipdv2-to-v4.bin");
    // v6 session key packet: version, length 21, key version 4, fingerprint, algorithm 18.
    ASSERT_EQ(static_cast<unsigned char>(message[2]), 6u);
    const std::size_t algorithm = 2 + 2 + 21, seipd = 2 + static_cast<unsigned char>(message[1]);
    ASSERT_EQ(static_cast<unsigned char>(message[algorithm]), 18u);
    ASSERT_EQ(static_cast<unsigned char>(message[seipd]) & 0x3f, 18);
    const std::size_t seipdBody = seipd + 2;
    struct Case {
        std::size_t at;
        unsigned char value;
        const char* told;
    } cases[] = {{seipdBody, 3, "encrypted data version 3"},
                 {seipdBody + 2, 9, "AEAD algorithm 9"},
                 {algorithm, 26, "public-key algorithm 26"},
                 {2, 7, "public-key session key packet version 7"}};
    for (const Case& c : cases) {
        std::string changed = message;
        changed[c.at] = static_cast<char>(c.value);
        const DecodeResult d = decode(s, changed, "");
        EXPECT_EQ(d.error, kPGPError_UnsupportedFormat) << c.told;
        EXPECT_FALSE(d.gotOutput);
        char text[255];
        PGPGetErrorString(d.error, sizeof text, text);
        EXPECT_EQ(std::string(text), std::string("This message uses a format Tolv cannot read (") + c.told + ")");
    }
    // Changed data inside is still damage, not a format.
    std::string damaged = message;
    damaged[damaged.size() - 20] ^= 0x10;
    EXPECT_EQ(decode(s, damaged, "").error, kPGPError_IntegrityCheckFailed);
}

}  // namespace
