// Encoding and decoding buffers, the event handler and the passphrase
// dialog: call order and clean-up against the fake SDK, behaviour against
// the real library and the fixture rings.
#include <QLabel>
#include <QLineEdit>
#include <cstring>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "sdk/decode_buffer.h"
#include "sdk/decode_verdict.h"
#include "sdk/encode_buffer.h"
#include "sdk/pgp_data.h"
#include "sdk/run_steps.h"
#include "tests/fake_sdk_fixture.h"
#include "windows/passphrase_dialog.h"

using namespace sdk;

namespace {

const std::vector<std::string> kEncodeCalls = {
    "PGPOEventHandler", "PGPOLastOption", "PGPBuildOptionList",
    "PGPOInputBuffer", "PGPOLastOption", "PGPAppendOptionList",
    "PGPOAllocatedOutputBuffer", "PGPOLastOption", "PGPAppendOptionList",
    "PGPNewKeySet",
    "PGPOArmorOutput", "PGPOLastOption", "PGPAppendOptionList",
    "PGPNewUserIDStringFilter", "PGPFilterKeySet", "PGPFreeFilter", "PGPCountKeys",
    "PGPOrderKeySet", "PGPNewKeyIter", "PGPKeyIterNext", "PGPFreeKeyIter", "PGPFreeKeyList", "PGPFreeKeySet",
    "PGPNewUserIDStringFilter", "PGPFilterKeySet", "PGPFreeFilter", "PGPCountKeys",
    "PGPAddKeys", "PGPFreeKeySet",
    "PGPOPassphrase", "PGPOLastOption", "PGPOSignWithKey", "PGPOLastOption", "PGPAppendOptionList",
    "PGPOEncryptToKeySet", "PGPOLastOption", "PGPAppendOptionList",
    "PGPOLastOption", "PGPEncode",
    "PGPFreeOptionList", "PGPFreeKeySet"};

const std::vector<std::string> kDecodeCalls = {
    "PGPOEventHandler", "PGPOLastOption", "PGPBuildOptionList",
    "PGPOInputBuffer", "PGPOLastOption", "PGPAppendOptionList",
    "PGPOAllocatedOutputBuffer", "PGPOLastOption", "PGPAppendOptionList",
    "PGPOPassphrase", "PGPOLastOption", "PGPAppendOptionList",
    "PGPOKeySetRef", "PGPOLastOption", "PGPDecode",
    "PGPFreeOptionList"};

// A decode window's report record, filled from each result it takes as the
// events of that run would have.
struct Report {
    Report()
    {
        data.signerName = signer;
        data.signerNameSize = 254;
        data.encryptedToIDs = &ids;
        data.encryptedToNames = &names;
    }
    bool take(DecodeResult r)
    {
        result = std::move(r);
        fillPGPData(result.records, data);
        return result.decoded();
    }
    DecodeResult result;
    char signer[255] = {};
    std::vector<KeyIdRecord> ids;
    std::vector<UserNameRecord> names;
    PGPData data;
    std::vector<std::string> idTexts() const
    {
        std::vector<std::string> out;
        for (const auto& r : ids)
            out.push_back(r.data());
        return out;
    }
    std::vector<std::string> nameTexts() const
    {
        std::vector<std::string> out;
        for (const auto& r : names)
            out.push_back(r.data());
        return out;
    }
};

bool encodeWithFake(SdkBlock& out)
{
    static const char input[] = "data";
    return Encode_PGPBuff(input, 4, out, true, SharedPassphrase::instance(), "bob", "alice", nullptr);
}

}  // namespace

class EncodeFake : public FakeSdkTest {
protected:
    void SetUp() override
    {
        FakeSdkTest::SetUp();
        ASSERT_EQ(PGP_LoadRings(), 0);
        SharedPassphrase::instance().set("pass");
        baseline = liveObjects();  // the context and the key set
        clearCalls();
    }
    int baseline = 0;
};

TEST_F(EncodeFake, CallsTheSdkInItsOrderAndReleasesEverything)
{
    {
        SdkBlock out;
        ASSERT_TRUE(encodeWithFake(out));
        EXPECT_TRUE(out);
        EXPECT_EQ(calls(), kEncodeCalls);
        EXPECT_EQ(liveObjects(), baseline + 1);  // the output block
    }
    EXPECT_EQ(calls().back(), "PGPFreeData");
    EXPECT_EQ(liveObjects(), baseline);
    EXPECT_EQ(problems(), "");
    EXPECT_TRUE(messages().empty());
}

TEST_F(EncodeFake, EveryFailingStepReleasesWhatItMadeOnce)
{
    struct Step {
        const char* call;
        int skip;
        const char* label;
    };
    const Step steps[] = {
        {"PGPBuildOptionList", 0, "PGPBuildOptionList "},
        {"PGPAppendOptionList", 0, "PGPAppendOptionList InBuff "},
        {"PGPAppendOptionList", 1, "PGPAppendOptionList OutPut "},
        {"PGPNewKeySet", 0, "PGPNewKeySet "},
        {"PGPAppendOptionList", 2, "PGPAppendOptionList ArmorOuput "},
        {"PGPNewUserIDStringFilter", 0, "PGPNewUserIDStringFilter signKey "},
        {"PGPFilterKeySet", 0, "PGPFilterKeySet signKey "},
        {"PGPCountKeys", 0, "PGPCountKeys signKey "},
        {"PGPNewUserIDStringFilter", 1, "PGPNewUserIDStringFilter UserName "},
        {"PGPFilterKeySet", 1, "PGPFilterKeySet UserName "},
        {"PGPCountKeys", 1, "PGPCountKeys UserName "},
        {"PGPAddKeys", 0, "PGPAddKeys UserName "},
        {"PGPAppendOptionList", 3, "PGPAppendOptionList SignKey "},
        {"PGPAppendOptionList", 4, "PGPAppendOptionList PGPOEncryptToKeySet "},
        {"PGPEncode", 0, "PGPEncode "},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        Prompts::resetTestState();
        failAfter(step.call, step.skip, -11991);
        SdkBlock out;
        EXPECT_FALSE(encodeWithFake(out));
        EXPECT_FALSE(out);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].caption, "Encode_PGPBuff");
        EXPECT_EQ(messages()[0].text, QString(step.label) + "-11991|fake error -11991");
        EXPECT_EQ(messages()[0].icon, Prompts::Icon::Stop);
        EXPECT_EQ(liveObjects(), baseline);
        EXPECT_EQ(problems(), "");
        EXPECT_EQ(SharedPassphrase::instance().get().str(), "pass");  // kept after a failure
    }
    // A wrong passphrase is not kept for the next try.
    failAfter("PGPEncode", 0, kPGPError_BadPassphrase);
    SdkBlock out;
    EXPECT_FALSE(encodeWithFake(out));
    EXPECT_TRUE(SharedPassphrase::instance().isEmpty());
}

TEST_F(EncodeFake, KeySearchesThatFindNoneOrMany)
{
    setKeyCount(0);
    SdkBlock out;
    EXPECT_FALSE(Encode_PGPBuff("x", 1, out, false, SharedPassphrase::instance(), "bob", "nobody", nullptr));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Unable to find a key for nobody");
    EXPECT_EQ(messages()[0].icon, Prompts::Icon::Exclamation);
    // The recipient was never looked up.
    auto c = calls();
    EXPECT_EQ(std::count(c.begin(), c.end(), "PGPNewUserIDStringFilter"), 1);
    setKeyCount(2);
    EXPECT_FALSE(Encode_PGPBuff("x", 1, out, false, SharedPassphrase::instance(), "bob", "Example", nullptr));
    EXPECT_EQ(messages().back().text, "Ambiguous key choice: Example");
    EXPECT_EQ(liveObjects(), baseline);
    EXPECT_EQ(problems(), "");
}

TEST_F(EncodeFake, AnEmptyPassphraseAsksAndCancelStopsBeforeAnySdkCall)
{
    SharedPassphrase::instance().clear();
    for (bool okWithNothing : {false, true}) {
        clearCalls();
        Prompts::queuePassphraseAnswer(okWithNothing, "");
        SdkBlock out;
        EXPECT_FALSE(encodeWithFake(out));
        EXPECT_TRUE(calls().empty());
    }
    EXPECT_EQ(Prompts::passphraseRequests(), 2);
    EXPECT_TRUE(messages().empty());

    // Cancel after typing: the text stays in the buffer, the run stops.
    Prompts::queuePassphraseAnswer(false, "typed");
    SdkBlock out;
    EXPECT_FALSE(encodeWithFake(out));
    EXPECT_EQ(SharedPassphrase::instance().get().str(), "typed");
}

TEST_F(EncodeFake, NoContextMeansNoPassphraseQuestion)
{
    UnLoad_PGP();
    SharedPassphrase::instance().clear();
    SdkBlock out;
    EXPECT_FALSE(encodeWithFake(out));
    EXPECT_EQ(Prompts::passphraseRequests(), 0);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "PGP sdk is not run");
}

TEST_F(EncodeFake, DecodeCallsAndFailures)
{
    Report report;
    SdkBlock out;
    ASSERT_TRUE(report.take(Decode_PGPBuff("m", 1, out, SharedPassphrase::instance())));
    EXPECT_EQ(calls(), kDecodeCalls);
    out.release();
    EXPECT_EQ(liveObjects(), baseline);

    const std::pair<const char*, int> steps[] = {{"PGPBuildOptionList", 0}, {"PGPAppendOptionList", 0},
                                                 {"PGPAppendOptionList", 1}, {"PGPAppendOptionList", 2}, {"PGPDecode", 0}};
    const char* labels[] = {"PGPBuildOptionList ", "PGPAppendOptionList InBuff ", "PGPAppendOptionList OutPut ",
                            "PGPAppendOptionList PassPhrase ", "PGPDecode "};
    for (int i = 0; i < 5; ++i) {
        Prompts::resetTestState();
        failAfter(steps[i].first, steps[i].second, -11991);
        SdkBlock failed;
        EXPECT_FALSE(Decode_PGPBuff("m", 1, failed, SharedPassphrase::instance()).decoded());
        EXPECT_FALSE(failed);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].caption, "Decode_PGPBuff");
        EXPECT_EQ(messages()[0].text, QString(labels[i]) + "-11991|fake error -11991");
        EXPECT_EQ(liveObjects(), baseline) << labels[i];
    }
    EXPECT_EQ(problems(), "");
}

TEST_F(EncodeFake, UnloadingWaitsForBlocksToBeFreedBeforeClosingTheLibrary)
{
    SdkBlock out;
    ASSERT_TRUE(encodeWithFake(out));
    ASSERT_EQ(UnLoad_PGP(), 0);  // an idle window's output does not block unloading
    EXPECT_FALSE(sessionSnapshot().LibraryLoaded);
    out.release();  // the library's own PGPFreeData is still there to call
    EXPECT_EQ(calls().back(), "PGPFreeData");
}

TEST(EventHandler, IgnoresOtherEventsAndFillsFlagsWithoutAName)
{
    JobEvents events;
    PGPEvent event {};
    for (int type : {0, 1, 8, 10, 11, 13, 40}) {
        event.type = static_cast<PGPEventType>(type);
        EXPECT_EQ(PGPEventHandler(nullptr, &event, &events), 0);
    }
    EXPECT_TRUE(events.records.signatures.empty());
    EXPECT_TRUE(events.records.recipients.empty());
    Report report;
    report.take(decodeResult(events.records, kPGPError_NoErr));
    EXPECT_TRUE(report.ids.empty());
    EXPECT_TRUE(report.names.empty());
    EXPECT_EQ(report.data.signature.keyValidity, 0);

    // A report without a name buffer takes the flags only.
    event.type = kPGPEvent_SignatureEvent;
    event.data.signatureData.checked = 1;
    event.data.signatureData.keyValidity = 2;
    EXPECT_EQ(PGPEventHandler(nullptr, &event, &events), 0);
    report.data.signerName = nullptr;
    std::strcpy(report.signer, "kept");
    report.take(decodeResult(events.records, kPGPError_NoErr));
    EXPECT_EQ(report.data.signature.checked, 1);
    EXPECT_EQ(report.data.signature.keyValidity, 2);
    EXPECT_STREQ(report.signer, "kept");
}

TEST(EventHandler, TheRecordShowsTheFirstSignatureThatVerified)
{
    JobEvents events;
    PGPEvent event {};
    event.type = kPGPEvent_SignatureEvent;
    event.data.signatureData.keyValidity = 1;  // unknown signer, not verified
    PGPEventHandler(nullptr, &event, &events);
    event.data.signatureData.verified = event.data.signatureData.checked = 1;
    event.data.signatureData.keyValidity = 3;
    PGPEventHandler(nullptr, &event, &events);
    event.data.signatureData.keyValidity = 2;  // a later good one does not replace it
    PGPEventHandler(nullptr, &event, &events);
    EXPECT_EQ(events.records.signatures.size(), 3u);
    Report report;
    report.take(decodeResult(events.records, kPGPError_NoErr));
    EXPECT_EQ(report.data.signature.verified, 1);
    EXPECT_EQ(report.data.signature.keyValidity, 3);
}

// The report's texts from the records: the shown signer's name cut to the
// caller's size, one key-ID text per recipient and the names of held keys.
TEST(EventHandler, ReportFieldsFromRecords)
{
    DecodeRecords records;
    records.signatures.push_back({{}, "Unverified <u@x>", "0x01"});
    records.signatures.push_back({{}, std::string(300, 'n'), "0x02"});
    records.signatures.back().data.verified = 1;
    records.recipients.push_back({"0xAAAAAAAAAAAAAAAA", "0xAAAAAAAA", "", false});
    records.recipients.push_back({"0x0000000000000000", "0x00000000", "", true});
    records.heldRecipientNames = {"Held <h@x>"};
    Report report;
    report.data.signerNameSize = 10;
    report.take(decodeResult(records, kPGPError_NoErr));
    EXPECT_STREQ(report.signer, "nnnnnnnnn");
    EXPECT_EQ(report.idTexts(), (std::vector<std::string> {"0xAAAAAAAA", "0x00000000"}));
    EXPECT_EQ(report.nameTexts(), (std::vector<std::string> {"Held <h@x>"}));
}

// Every combination of what can hold of a signature at once gets the
// verdict of the first rule of the precedence that holds.
TEST(DecodeVerdicts, PrecedenceOfEveryCombination)
{
    for (int flags = 0; flags < 32; ++flags) {
        SignatureRecord s;
        s.signerName = "Ann";
        s.keyIdText = "0x0123456789ABCDEF";
        const bool known = !(flags & 1), bad = flags & 2, revoked = flags & 4, expired = flags & 8,
                   uncertified = flags & 16;
        s.data.signingKey = known ? reinterpret_cast<PGPKeyRef>(&s) : nullptr;
        s.data.verified = !bad;
        s.data.checked = known;
        s.data.keyRevoked = revoked;
        s.data.keyExpired = expired;
        s.data.keyValidity = uncertified ? kPGPValidity_Marginal : kPGPValidity_Complete;
        const Verdict v = signatureVerdict(s);
        std::pair<VerdictTone, std::string> expected {VerdictTone::Good, "Good signature from Ann"};
        if (!known)
            expected = {VerdictTone::Warning, "Signed by an unknown key 0x0123456789ABCDEF: the signature cannot be checked"};
        else if (bad)
            expected = {VerdictTone::Bad, "Bad signature from Ann: the text was changed after it was signed"};
        else if (revoked)
            expected = {VerdictTone::Bad, "Signature by a revoked key Ann"};
        else if (expired)
            expected = {VerdictTone::Warning, "Signature by an expired key Ann"};
        else if (uncertified)
            expected = {VerdictTone::Warning, "Good signature from Ann, but the key is not certified"};
        EXPECT_EQ(v.text, expected.second) << "flags " << flags;
        EXPECT_EQ(v.tone, expected.first) << "flags " << flags;
        EXPECT_EQ(v.keyId, known ? "" : "0x0123456789ABCDEF") << "flags " << flags;
    }
    EXPECT_EQ(decodeVerdicts({}, kPGPError_NoErr).front().text, "Not signed");
    EXPECT_TRUE(decodeVerdicts({}, kPGPError_UserAbort).empty());
}

// One result per run: its tone is its worst verdict's.
TEST(DecodeVerdicts, OverallToneIsTheWorst)
{
    DecodeRecords records;
    EXPECT_EQ(decodeResult(records, kPGPError_NoErr).tone, VerdictTone::Neutral);
    EXPECT_EQ(decodeResult(records, kPGPError_CorruptData).tone, VerdictTone::Bad);
    EXPECT_EQ(decodeResult(records, kPGPError_UserAbort).tone, VerdictTone::Neutral);
    SignatureRecord good;
    good.data.signingKey = reinterpret_cast<PGPKeyRef>(&good);
    good.data.verified = 1;
    good.data.keyValidity = kPGPValidity_Complete;
    SignatureRecord unknown;
    SignatureRecord bad = good;
    bad.data.verified = 0;
    records.signatures = {good};
    EXPECT_EQ(decodeResult(records, kPGPError_NoErr).tone, VerdictTone::Good);
    records.signatures = {good, unknown, good};
    const DecodeResult doubtful = decodeResult(records, kPGPError_NoErr);
    EXPECT_EQ(doubtful.tone, VerdictTone::Warning);
    EXPECT_TRUE(doubtful.has(VerdictKind::UnknownSigner));
    EXPECT_FALSE(doubtful.has(VerdictKind::BadSignature));
    records.signatures = {unknown, bad, good};
    EXPECT_EQ(decodeResult(records, kPGPError_NoErr).tone, VerdictTone::Bad);
}

// ---- against the real library ----

class EncodeReal : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::resetTestState();
        resetSessionForTests();
        SharedPassphrase::instance().clear();
        AppConfigValues v = readSettingsFile(dir.file("tolv.ini"));
        v.DLLName = "pgpsdk.dll";
        v.PubRing = sourceDir() + "/tests/fixtures/pubring.pgp";
        v.SecRing = sourceDir() + "/tests/fixtures/secring.pgp";
        AppConfig::instance().assign(v);
        ASSERT_EQ(PGP_LoadRings(), 0);
    }
    void TearDown() override
    {
        UnLoad_PGP();
        SharedPassphrase::instance().clear();
    }
    std::string encode(const std::string& text, const std::string& signer, const std::string& to, bool armour,
                       const char* pass)
    {
        SharedPassphrase::instance().set(pass);
        SdkBlock out;
        if (!Encode_PGPBuff(text.data(), text.size(), out, armour, SharedPassphrase::instance(), to, signer, nullptr))
            return {};
        return std::string(out.data(), out.size());
    }
    bool decode(const std::string& message, Report& report, std::string& plain)
    {
        SdkBlock out;
        bool ok = report.take(Decode_PGPBuff(message.data(), message.size(), out, SharedPassphrase::instance()));
        plain = out ? std::string(out.data(), out.size()) : std::string();
        return ok;
    }
    ScratchDir dir;
};

TEST_F(EncodeReal, RoundTripsWithArmourOnAndOff)
{
    for (bool armour : {true, false}) {
        const std::string text = "Dear Bob,\nthe meeting is at noon.\n";
        std::string msg = encode(text, "alice@", "bob@", armour, "alice");
        ASSERT_FALSE(msg.empty());
        EXPECT_EQ(msg.rfind("-----BEGIN PGP MESSAGE-----", 0) == 0, armour);
        SharedPassphrase::instance().set("bob");
        Report r;
        std::string plain;
        ASSERT_TRUE(decode(msg, r, plain));
        EXPECT_EQ(plain, text);
        EXPECT_STREQ(r.signer, "Alice Example <alice@example.org>");
        EXPECT_TRUE(r.data.signature.checked);
        EXPECT_TRUE(r.data.signature.verified);
        EXPECT_FALSE(r.data.signature.keyRevoked);
        EXPECT_FALSE(r.data.signature.keyDisabled);
        EXPECT_FALSE(r.data.signature.keyExpired);
        EXPECT_TRUE(r.data.signature.keyMeetsValidityThreshold);
        EXPECT_EQ(r.data.signature.keyValidity, kPGPValidity_Complete);
        EXPECT_EQ(r.nameTexts(), (std::vector<std::string>{"Bob Example <bob@example.org>"}));
        ASSERT_EQ(r.ids.size(), 1u);
        EXPECT_EQ(std::string(r.ids[0].data()).size(), 18u);
    }
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

TEST_F(EncodeReal, KeySearchMessagesAndWrongPassphrase)
{
    EXPECT_TRUE(encode("x", "nobody", "bob@", true, "alice").empty());
    EXPECT_EQ(Prompts::shownMessages().back().text, "Unable to find a key for nobody");
    EXPECT_EQ(Prompts::shownMessages().back().icon, Prompts::Icon::Exclamation);
    EXPECT_TRUE(encode("x", "Example <", "bob@", true, "alice").empty());
    EXPECT_EQ(Prompts::shownMessages().back().text, "Ambiguous key choice: Example <");
    EXPECT_TRUE(encode("x", "alice@", "zzz", true, "alice").empty());
    EXPECT_EQ(Prompts::shownMessages().back().text, "Unable to find a key for zzz");

    // A wrong passphrase is asked for again, naming the key, three times
    // at most; then it is reported.
    for (int i = 0; i < kPassphraseAsksAgain; ++i)
        Prompts::queuePassphraseAnswer(true, "still wrong");
    EXPECT_TRUE(encode("x", "alice@", "bob@", true, "wrong").empty());
    const auto asked = Prompts::passphraseAsksAgain();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].keyName, "alice@");
    EXPECT_EQ(asked[2].attempt, 3);
    EXPECT_EQ(asked[2].attempts, 3);
    EXPECT_EQ(Prompts::shownMessages().back().caption, "Encode_PGPBuff");
    EXPECT_EQ(Prompts::shownMessages().back().text, "PGPEncode -11992|Bad passphrase");

    // Alice's passphrase cached, a message for Bob: Bob's key is asked for,
    // and the passphrase that worked is the one kept.
    std::string msg = encode("x", "alice@", "bob@", true, "alice");
    Prompts::resetTestState();
    Prompts::queuePassphraseAnswer(true, "bob");
    Report r;
    std::string plain;
    EXPECT_TRUE(decode(msg, r, plain));
    EXPECT_EQ(plain, "x");
    ASSERT_EQ(Prompts::passphraseAsksAgain().size(), 1u);
    EXPECT_TRUE(Prompts::passphraseAsksAgain()[0].keyName.startsWith("Bob Example <bob@example.org> (0x"));
    EXPECT_EQ(SharedPassphrase::instance().get().str(), "bob");
    EXPECT_TRUE(Prompts::shownMessages().empty());

    // A refused ask again changes nothing and tells nothing.
    SharedPassphrase::instance().set("wrong");
    Report refused;
    EXPECT_FALSE(decode(msg, refused, plain));
    EXPECT_TRUE(plain.empty());
    EXPECT_EQ(refused.result.outcome, kPGPError_UserAbort);
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

TEST_F(EncodeReal, PassphraseAskedOnlyWhenEmptyAndCachedAfterwards)
{
    const std::string msg = encode("cached", "alice@", "bob@", true, "alice");
    SharedPassphrase::instance().clear();
    Prompts::queuePassphraseAnswer(true, "bob");
    Report r;
    std::string plain;
    ASSERT_TRUE(decode(msg, r, plain));
    EXPECT_EQ(Prompts::passphraseRequests(), 1);
    EXPECT_EQ(SharedPassphrase::instance().get().str(), "bob");
    Report r2;
    ASSERT_TRUE(decode(msg, r2, plain));
    EXPECT_EQ(Prompts::passphraseRequests(), 1);  // the cached one served
    EXPECT_EQ(plain, "cached");
}

TEST_F(EncodeReal, MessagesMadeByGnuPG)
{
    const std::string home = dir.file("gnupg");
    auto gpg = [&](const std::string& args) {
        return std::system(("gpg --homedir '" + home + "' --batch --yes --quiet --no-tty --trust-model always "
                            "--pinentry-mode loopback " + args + " 2>/dev/null").c_str());
    };
    std::system(("mkdir -m 700 '" + home + "'").c_str());
    const std::string fx = sourceDir() + "/tests/fixtures/";
    ASSERT_EQ(gpg("--import '" + fx + "pubring.pgp' '" + fx + "secring.pgp' '" + fx + "olga-secret.pgp'"), 0);
    writeWholeFile(dir.file("plain"), "from gpg\n");

    // Three recipients, one outside the rings.
    ASSERT_EQ(gpg("--passphrase bob -u bob@example.org -r alice@example.org -r carol@example.org -r olga@example.org -se -o '" +
                  dir.file("three.pgp") + "' '" + dir.file("plain") + "'"),
              0);
    SharedPassphrase::instance().set("alice");
    Report r;
    std::string plain;
    ASSERT_TRUE(decode(readWholeFile(dir.file("three.pgp")), r, plain));
    EXPECT_EQ(r.ids.size(), 3u);
    auto names = r.nameTexts();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alice Example <alice@example.org>", "Carol Public <carol@example.org>"}));
    EXPECT_STREQ(r.signer, "Bob Example <bob@example.org>");
    // A second decode into the same report appends to the lists.
    ASSERT_TRUE(decode(readWholeFile(dir.file("three.pgp")), r, plain));
    EXPECT_EQ(r.ids.size(), 6u);

    // Signed only: still asks for a passphrase when there is none.
    ASSERT_EQ(gpg("--passphrase alice -u alice@example.org --compress-algo none -s -o '" + dir.file("signed.pgp") + "' '" +
                  dir.file("plain") + "'"),
              0);
    SharedPassphrase::instance().clear();
    Prompts::queuePassphraseAnswer(false, "");
    Report none;
    EXPECT_FALSE(decode(readWholeFile(dir.file("signed.pgp")), none, plain));
    EXPECT_EQ(Prompts::passphraseRequests(), 1);
    Prompts::queuePassphraseAnswer(true, "anything");
    Report good;
    ASSERT_TRUE(decode(readWholeFile(dir.file("signed.pgp")), good, plain));
    EXPECT_EQ(plain, "from gpg\n");
    EXPECT_TRUE(good.data.signature.checked);
    EXPECT_TRUE(good.data.signature.verified);
    EXPECT_EQ(good.data.signature.keyValidity, kPGPValidity_Complete);
    EXPECT_TRUE(good.ids.empty());

    std::string tampered = readWholeFile(dir.file("signed.pgp"));
    tampered[tampered.find("from gpg")] = 'F';
    Report bad;
    decode(tampered, bad, plain);
    EXPECT_TRUE(bad.data.signature.checked);
    EXPECT_FALSE(bad.data.signature.verified);
    EXPECT_STREQ(bad.signer, "Alice Example <alice@example.org>");

    ASSERT_EQ(gpg("--passphrase olga -u olga@example.org -s -o '" + dir.file("olga.pgp") + "' '" + dir.file("plain") + "'"), 0);
    Report unknown;
    ASSERT_TRUE(decode(readWholeFile(dir.file("olga.pgp")), unknown, plain));
    EXPECT_FALSE(unknown.data.signature.checked);
    EXPECT_FALSE(unknown.data.signature.verified);
    EXPECT_EQ(unknown.data.signature.signingKey, nullptr);
    EXPECT_STREQ(unknown.signer, "");
    std::system(("gpgconf --homedir '" + home + "' --kill all 2>/dev/null").c_str());
}

// Asked again, the dialog names the key and the try, as pinentry does.
TEST(PassphraseDialogWidget, AskedAgainItNamesTheKey)
{
    PassphraseDialog first;
    EXPECT_EQ(first.findChild<QLabel*>("againNote"), nullptr);
    PassphraseDialog again(nullptr, Prompts::PassphraseRequest {"Bob Example <bob@example.org> (0x0123456789ABCDEF)", 2, 3});
    auto* note = again.findChild<QLabel*>("againNote");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), "That passphrase did not unlock the key this needs.\nEnter the passphrase for the key "
                            "Bob Example <bob@example.org> (0x0123456789ABCDEF) (try 2 of 3):");
    again.show();
    saveScreenshot(&again, "passphrase-asked-again");
}

TEST(PassphraseDialogWidget, MasksLimitsAndAnswers)
{
    PassphraseDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Enter PassPhrase");
    EXPECT_EQ(dialog.entry()->echoMode(), QLineEdit::Password);
    dialog.show();
    QTest::keyClicks(dialog.entry(), QString(90, 'p'));
    EXPECT_EQ(dialog.entry()->text().size(), 80);
    dialog.findChild<QPushButton*>("okButton")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Through the seam's real path: the dialog opens, is answered and closed.
    Prompts::setTestMode(false);
    installPassphraseDialog();
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<PassphraseDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        QTest::keyClicks(d->entry(), "secret words");
        d->findChild<QPushButton*>("okButton")->click();
    });
    SharedPassphrase::instance().clear();
    EXPECT_EQ(PASSPHRASEDIALOG(SharedPassphrase::instance()), 12);
    EXPECT_EQ(SharedPassphrase::instance().get().str(), "secret words");
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<PassphraseDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->findChild<QPushButton*>("okButton")->click();
    });
    SharedPassphrase::instance().clear();
    EXPECT_EQ(PASSPHRASEDIALOG(SharedPassphrase::instance()), 0);  // Ok on nothing
    Prompts::setTestMode(true);
    Prompts::setPassphraseDialog(nullptr);
}
