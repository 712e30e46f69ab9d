// The SDK library: encoding and decoding, interoperation with GnuPG and
// Sequoia, bad input and threads.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

#include "tests/pgpsdk_harness.h"
#include "tests/test_support.h"

using namespace harness;

namespace {

struct Jobs : ::testing::Test {
    void SetUp() override { ASSERT_EQ(s.open(fixture("pubring.pgp"), fixture("secring.pgp")), 0); }
    Session s;
};

// A scratch folder with a GnuPG home in it.
struct GpgScratch {
    int gpg(const std::string& args, std::string* out = nullptr) { return gnupg.gpg(args, out); }
    ScratchDir dir;
    ::GpgHome gnupg {dir.file("gnupg")};
    const std::string& home = gnupg.home;
};

}  // namespace

TEST_F(Jobs, RoundTripsArmouredAndBinaryRsaAndEcc)
{
    const std::string text = "Hello, Tolv!\nПривет!\n";
    for (bool armor : {true, false}) {
        SCOPED_TRACE(armor ? "armoured" : "binary");
        // Alice (RSA) signs for Bob (ECC), and Bob signs for Alice.
        auto toBob = encode(s, text, "alice@", {"bob@"}, armor, "alice");
        ASSERT_EQ(toBob.error, 0);
        EXPECT_EQ(toBob.output.rfind("-----BEGIN PGP MESSAGE-----\n", 0) == 0, armor);
        if (armor) {  // armour lines end as text files do here
            EXPECT_EQ(toBob.output.find('\r'), std::string::npos);
        }
        auto d = decode(s, toBob.output, "bob");
        ASSERT_EQ(d.error, 0);
        EXPECT_EQ(d.output, text);
        ASSERT_EQ(d.signatures.size(), 1u);
        EXPECT_EQ(d.signatures[0].signerName, "Alice Example <alice@example.org>");
        EXPECT_TRUE(d.signatures[0].data.checked);
        EXPECT_TRUE(d.signatures[0].data.verified);
        EXPECT_FALSE(d.signatures[0].data.keyRevoked);
        EXPECT_FALSE(d.signatures[0].data.keyExpired);
        EXPECT_TRUE(d.signatures[0].data.keyMeetsValidityThreshold);
        EXPECT_EQ(d.signatures[0].data.keyValidity, kPGPValidity_Complete);
        EXPECT_GT(d.signatures[0].data.creationTime, 1700000000);
        EXPECT_EQ(d.recipientNames, (std::vector<std::string>{"Bob Example <bob@example.org>"}));
        ASSERT_EQ(d.recipientIds.size(), 1u);
        EXPECT_EQ(d.recipientIds[0].substr(0, 2), "0x");

        auto toAlice = encode(s, text, "bob@", {"alice@"}, armor, "bob");
        ASSERT_EQ(toAlice.error, 0);
        auto d2 = decode(s, toAlice.output, "alice");
        ASSERT_EQ(d2.error, 0);
        EXPECT_EQ(d2.output, text);
        EXPECT_EQ(d2.signatures.at(0).signerName, "Bob Example <bob@example.org>");
    }
}

TEST_F(Jobs, BinaryDataAndEmptyInputSurvive)
{
    const std::string data = randomBytes(200000) + std::string(5, '\0');
    auto e = encode(s, data, "alice@", {"bob@"}, false, "alice");
    ASSERT_EQ(e.error, 0);
    EXPECT_LT(e.output.size(), data.size() + 2000);  // incompressible: stored, not deflated
    auto d = decode(s, e.output, "bob");
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.output, data);

    auto empty = encode(s, "", "alice@", {"bob@"}, true, "alice");
    ASSERT_EQ(empty.error, 0);
    auto de = decode(s, empty.output, "bob");
    ASSERT_EQ(de.error, 0);
    EXPECT_TRUE(de.gotOutput);
    EXPECT_EQ(de.output, "");

    std::string text(300000, 'a');
    auto t = encode(s, text, "alice@", {"bob@"}, false, "alice");
    ASSERT_EQ(t.error, 0);
    EXPECT_LT(t.output.size(), 10000u);  // compressible text is compressed
    // ... and decodes to a block many times the message, grown as it fills.
    auto dt = decode(s, t.output, "bob");
    ASSERT_EQ(dt.error, 0);
    EXPECT_TRUE(dt.output == text);
}

TEST_F(Jobs, WrongPassphrases)
{
    auto e = encode(s, "x", "alice@", {"bob@"}, true, "wrong");
    EXPECT_EQ(e.error, kPGPError_BadPassphrase);
    EXPECT_TRUE(e.output.empty());
    auto ok = encode(s, "secret text", "alice@", {"bob@"}, true, "alice");
    ASSERT_EQ(ok.error, 0);
    auto d = decode(s, ok.output, "wrong");
    EXPECT_EQ(d.error, kPGPError_BadPassphrase);
    EXPECT_FALSE(d.gotOutput);
    EXPECT_EQ(d.recipientIds.size(), 1u);  // the recipients were reported all the same
}

TEST_F(Jobs, ThreeRecipientsAreReportedInOrder)
{
    auto e = encode(s, "to three", "alice@", {"alice@", "bob@", "carol@"}, true, "alice");
    ASSERT_EQ(e.error, 0);
    auto d = decode(s, e.output, "bob");
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.recipientsEvents, 1);
    EXPECT_EQ(d.recipientIds.size(), 3u);
    std::vector<std::string> names = d.recipientNames;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alice Example <alice@example.org>", "Bob Example <bob@example.org>",
                                               "Carol Public <carol@example.org>"}));
}

TEST_F(Jobs, UnusableKeysAreRefused)
{
    EXPECT_EQ(encode(s, "x", "alice@", {"rex@"}, true, "alice").error, kPGPError_KeyUnusable);
    EXPECT_EQ(encode(s, "x", "alice@", {"eve@"}, true, "alice").error, kPGPError_KeyUnusable);
    EXPECT_EQ(encode(s, "x", "rex@", {"bob@"}, true, "rex").error, kPGPError_KeyUnusable);
    // A key pair without a secret part cannot sign.
    EXPECT_NE(encode(s, "x", "carol@", {"bob@"}, true, "carol").error, 0);
}

TEST_F(Jobs, DamagedMessagesGiveNoOutput)
{
    auto e = encode(s, std::string(5000, 'z') + randomBytes(5000), "alice@", {"bob@"}, false, "alice");
    ASSERT_EQ(e.error, 0);
    for (std::size_t at : {e.output.size() / 2, e.output.size() - 30, e.output.size() - 2}) {
        std::string bad = e.output;
        bad[at] = static_cast<char>(bad[at] ^ 0x10);
        auto d = decode(s, bad, "bob");
        EXPECT_NE(d.error, 0) << at;
        EXPECT_FALSE(d.gotOutput) << at;
    }
    auto cut = decode(s, e.output.substr(0, e.output.size() - 100), "bob");
    EXPECT_NE(cut.error, 0);
    EXPECT_FALSE(cut.gotOutput);
}

TEST_F(Jobs, BadInputGivesErrorCodes)
{
    std::vector<std::string> inputs = {"", "x", randomBytes(1000, 7), std::string("\xc1\xff\xff\xff\xff\xff", 6),
                                       std::string("\x84\xff\xff\xff\xff", 5), "-----BEGIN PGP MESSAGE-----\n\nAAAA\n"};
    for (const auto& in : inputs) {
        auto d = decode(s, in, "bob");
        EXPECT_NE(d.error, 0) << in.size();
        EXPECT_FALSE(d.gotOutput);
    }
    EXPECT_EQ(decode(s, "", "bob").error, kPGPError_NotPGPMessage);
}

TEST_F(Jobs, AHandlerThatSaysStopAbortsTheJob)
{
    auto e = encode(s, "stop me", "alice@", {"bob@"}, true, "alice");
    auto d = decode(s, e.output, "bob", -1);
    EXPECT_EQ(d.error, kPGPError_UserAbort);
    EXPECT_FALSE(d.gotOutput);
}

namespace {

struct Progress {
    std::vector<std::pair<PGPSize, PGPSize>> events;  // done, total
    bool stop = false;
    bool withStopFlag = false;  // the job gets tolvOStopFlag(&stopFlag)
    bool raiseFlag = false;     // the first event sets the flag (and says go on)
    PGPUInt32 stopFlag = 0;
};

PGPError onNullEvent(PGPContextRef, PGPEvent* event, void* user)
{
    auto* p = static_cast<Progress*>(user);
    if (event->type != kPGPEvent_NullEvent)
        return 0;
    p->events.emplace_back(event->data.nullData.bytesWritten, event->data.nullData.bytesTotal);
    if (p->raiseFlag)
        __atomic_store_n(&p->stopFlag, 1, __ATOMIC_RELAXED);
    return p->stop ? kPGPError_UserAbort : 0;
}

// Encodes (to Bob, unsigned) or decodes with null events asked for; list
// holds the input and output options and is freed here.
PGPError runWithProgress(Session& s, bool encoding, PGPOptionListRef list, Progress& p)
{
    PGPContextRef c = s.context;
    PGPAppendOptionList(c, list, PGPOEventHandler(c, onNullEvent, &p), PGPOSendNullEvents(c, 0), PGPOLastOption(c));
    if (p.withStopFlag)
        PGPAppendOptionList(c, list, tolvOStopFlag(c, &p.stopFlag), PGPOLastOption(c));
    PGPKeySetRef bob = keySetOf(s, {"bob@"});
    const PGPError e = encoding ? PGPEncode(c, list, PGPOEncryptToKeySet(c, bob), PGPOLastOption(c))
                                : PGPDecode(c, list, PGPOPassphrase(c, "bob"), PGPOKeySetRef(c, s.keys), PGPOLastOption(c));
    PGPFreeKeySet(bob);
    PGPFreeOptionList(list);
    return e;
}

PGPError runWithProgress(Session& s, bool encoding, const std::string& input, Progress& p, std::string& output)
{
    void* out = nullptr;
    PGPSize outSize = 0;
    const PGPError e = runWithProgress(s, encoding, bufferInOut(s, input, &out, &outSize), p);
    output = out ? std::string(static_cast<const char*>(out), outSize) : std::string();
    PGPFreeData(out);
    return e;
}

// The same from the file in into the file out.
PGPError runOnFiles(Session& s, bool encoding, const std::string& in, const std::string& out, Progress& p)
{
    PGPContextRef c = s.context;
    PGPFileSpecRef inSpec = nullptr, outSpec = nullptr;
    PGPNewFileSpecFromFullPath(c, in.c_str(), &inSpec);
    PGPNewFileSpecFromFullPath(c, out.c_str(), &outSpec);
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOInputFile(c, inSpec), PGPOOutputFile(c, outSpec), PGPOLastOption(c));
    PGPFreeFileSpec(inSpec);
    PGPFreeFileSpec(outSpec);
    return runWithProgress(s, encoding, list, p);
}

std::vector<std::string> filesIn(const ScratchDir& dir)
{
    std::string listing;
    run("ls -A '" + dir.path() + "'", &listing);
    std::vector<std::string> names;
    std::istringstream lines(listing);
    for (std::string name; std::getline(lines, name);)
        names.push_back(name);
    return names;
}

}  // namespace

TEST_F(Jobs, NullEventsTellProgressAndAHandlerCanStopTheJob)
{
    const std::string data = randomBytes(3 << 20, 5);
    for (bool encoding : {true, false}) {
        Progress p;
        std::string message, output;
        if (!encoding) {
            ASSERT_EQ(runWithProgress(s, true, data, p, message), 0);
        }
        const std::string& input = encoding ? data : message;
        p = Progress();
        ASSERT_EQ(runWithProgress(s, encoding, input, p, output), 0) << encoding;
        ASSERT_GE(p.events.size(), 2u);
        EXPECT_EQ(p.events.front(), std::make_pair(PGPSize {0}, input.size()));
        EXPECT_EQ(p.events.back(), std::make_pair(input.size(), input.size()));
        for (std::size_t i = 1; i < p.events.size(); ++i)
            EXPECT_GE(p.events[i].first, p.events[i - 1].first);
        if (!encoding) {
            EXPECT_TRUE(output == data);
        }
        // Stopped at the first event: no output at all.
        p = Progress();
        p.stop = true;
        EXPECT_EQ(runWithProgress(s, encoding, input, p, output), kPGPError_UserAbort);
        EXPECT_TRUE(output.empty());
        EXPECT_EQ(p.events.size(), 1u);

        // A stop flag set meanwhile (a Ctrl-C) is heard at the next read,
        // long before the next null event would be sent.
        p = Progress();
        p.withStopFlag = p.raiseFlag = true;
        EXPECT_EQ(runWithProgress(s, encoding, input, p, output), kPGPError_UserAbort) << encoding;
        EXPECT_TRUE(output.empty());
        EXPECT_EQ(p.events.size(), 1u);
    }
}

TEST_F(Jobs, FilesStreamAndOnlyASuccessfulJobLeavesAFile)
{
    ScratchDir dir;
    const std::string data = randomBytes(3 << 20, 6), plain = dir.file("plain"), msg = dir.file("msg"), out = dir.file("out");
    writeFile(plain, data);
    Progress p;
    ASSERT_EQ(runOnFiles(s, true, plain, msg, p), 0);
    EXPECT_EQ(p.events.back(), std::make_pair(data.size(), data.size()));
    // An existing output is replaced only by a good result, and keeps its mode.
    writeFile(out, "old");
    ::chmod(out.c_str(), 0640);
    std::string bad = readFile(msg);
    bad[bad.size() / 2] ^= 1;
    writeFile(dir.file("bad"), bad);
    EXPECT_EQ(runOnFiles(s, false, dir.file("bad"), out, p), kPGPError_IntegrityCheckFailed);
    EXPECT_EQ(readFile(out), "old");
    p.stop = true;
    EXPECT_EQ(runOnFiles(s, false, msg, out, p), kPGPError_UserAbort);
    EXPECT_EQ(readFile(out), "old");
    p.stop = false;
    ASSERT_EQ(runOnFiles(s, false, msg, out, p), 0);
    EXPECT_TRUE(readFile(out) == data);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"bad", "msg", "out", "plain"}));  // no temporary file left

    // A full disk (here a file size limit) stops the job and leaves nothing.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1 << 20;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const PGPError full = runOnFiles(s, false, msg, dir.file("full"), p);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(full, kPGPError_WriteFailed);
    EXPECT_EQ(filesIn(dir).size(), 4u);

    ::mkfifo(dir.file("fifo").c_str(), 0600);
    EXPECT_EQ(runOnFiles(s, false, dir.file("missing"), out, p), kPGPError_FileNotFound);
    EXPECT_EQ(runOnFiles(s, false, dir.file("fifo"), out, p), kPGPError_CantOpenFile);  // never waited on
    EXPECT_EQ(runOnFiles(s, false, msg, dir.file("no/such/folder"), p), kPGPError_CantOpenFile);
    EXPECT_EQ(runOnFiles(s, false, msg, dir.file("fifo"), p), kPGPError_CantOpenFile);
}

namespace {

// A handler that moves a decode's output where it is told, at the output
// event, and keeps what PGPAddJobOptions answered.
struct OutputMove {
    PGPContextRef context = nullptr;
    std::string moveTo;
    std::string suggested;
    int events = 0;
    PGPError added = kPGPError_NoErr;
};

PGPError onOutputEvent(PGPContextRef, PGPEvent* event, void* user)
{
    auto* m = static_cast<OutputMove*>(user);
    if (event->type != kPGPEvent_OutputEvent)
        return 0;
    ++m->events;
    m->suggested = event->data.outputData.suggestedName;
    PGPFileSpecRef spec = nullptr;
    PGPNewFileSpecFromFullPath(m->context, m->moveTo.c_str(), &spec);
    m->added = PGPAddJobOptions(event->job, PGPOOutputFile(m->context, spec), PGPOLastOption(m->context));
    PGPFreeFileSpec(spec);
    return 0;
}

PGPError decodeMoving(Session& s, PGPOptionListRef list, OutputMove& m)
{
    PGPContextRef c = s.context;
    m.context = c;
    const PGPError e = PGPDecode(c, list, PGPOEventHandler(c, onOutputEvent, &m), PGPOPassphrase(c, "bob"),
                                 PGPOKeySetRef(c, s.keys), PGPOLastOption(c));
    PGPFreeOptionList(list);
    return e;
}

}  // namespace

// The output event names what the message carries; a handler may move a
// file output within its folder, and nowhere else.
TEST_F(Jobs, TheOutputEventMovesAFileOutputWithinItsFolderOnly)
{
    GpgScratch g;
    ScratchDir& dir = g.dir;
    writeFile(dir.file("plain"), "moved\n");
    ASSERT_EQ(g.gpg("-e -r bob --set-filename 'report.txt' -o '" + dir.file("msg") + "' '" + dir.file("plain") + "'"), 0);
    ASSERT_EQ(run("mkdir '" + dir.file("sub") + "'"), 0);
    auto files = [&](const std::string& target) {
        PGPContextRef c = s.context;
        PGPFileSpecRef in = nullptr, out = nullptr;
        PGPNewFileSpecFromFullPath(c, dir.file("msg").c_str(), &in);
        PGPNewFileSpecFromFullPath(c, target.c_str(), &out);
        PGPOptionListRef list = nullptr;
        PGPBuildOptionList(c, &list, PGPOInputFile(c, in), PGPOOutputFile(c, out), PGPOLastOption(c));
        PGPFreeFileSpec(in);
        PGPFreeFileSpec(out);
        return list;
    };
    OutputMove m;
    m.moveTo = dir.file("report.txt");
    ASSERT_EQ(decodeMoving(s, files(dir.file("out")), m), 0);
    EXPECT_EQ(m.events, 1);
    EXPECT_EQ(m.suggested, "report.txt");
    EXPECT_EQ(m.added, kPGPError_NoErr);
    EXPECT_EQ(readFile(dir.file("report.txt")), "moved\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));

    const std::pair<std::string, PGPError> refused[] = {
        {dir.file("sub/elsewhere"), kPGPError_BadParams},  // another folder
        {dir.file("sub"), kPGPError_CantOpenFile},         // a folder itself
        {dir.file(""), kPGPError_BadParams},
    };
    for (const auto& [target, why] : refused) {
        m.moveTo = target;
        ASSERT_EQ(decodeMoving(s, files(dir.file("out")), m), 0) << target;
        EXPECT_EQ(m.added, why) << target;
        EXPECT_EQ(readFile(dir.file("out")), "moved\n");  // delivered where it was asked
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("sub/elsewhere")));
    void* out = nullptr;
    PGPSize outSize = 0;
    m.moveTo = dir.file("mem");
    ASSERT_EQ(decodeMoving(s, bufferInOut(s, readFile(dir.file("msg")), &out, &outSize), m), 0);
    EXPECT_EQ(m.added, kPGPError_BadParams);  // a block has no name to change
    PGPFreeData(out);
    EXPECT_EQ(PGPAddJobOptions(nullptr, PGPOLastOption(s.context)), kPGPError_BadParams);
}

TEST_F(Jobs, OptionListMistakesAreRefused)
{
    PGPContextRef c = s.context;
    PGPOptionListRef list = nullptr;
    EXPECT_EQ(PGPBuildOptionList(c, &list, PGPOInputBuffer(c, nullptr, 5), PGPOLastOption(c)), kPGPError_BadParams);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(PGPEncode(c, PGPOArmorOutput(c, 1), PGPOLastOption(c)), kPGPError_BadParams);
    EXPECT_EQ(PGPDecode(nullptr, PGPOLastOption(c)), kPGPError_BadParams);
}

TEST_F(Jobs, InteroperatesWithGnuPG)
{
    GpgScratch g;
    // Tolv's message decrypts and verifies in gpg; text of several MiB is
    // deflated in blocks that must join into one stream.
    std::string text = "made by tolv\n";
    for (int i = 0; text.size() < (5u << 20) + 12345; ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of the text to compress\n";
    auto e = encode(s, text, "alice@", {"bob@"}, true, "alice");
    ASSERT_EQ(e.error, 0);
    EXPECT_LT(e.output.size(), text.size() / 3);
    writeFile(g.dir.file("tolv.asc"), e.output);
    std::string status;
    ASSERT_EQ(run("gpg --homedir '" + g.home + "' --batch --no-tty --pinentry-mode loopback --passphrase bob --status-fd 1 "
                  "--trust-model always -o '" + g.dir.file("tolv.out") + "' -d '" + g.dir.file("tolv.asc") + "' 2>/dev/null",
                  &status),
              0);
    EXPECT_TRUE(readFile(g.dir.file("tolv.out")) == text);
    EXPECT_TRUE(decode(s, e.output, "bob").output == text);
    EXPECT_NE(status.find("GOODSIG"), std::string::npos);
    EXPECT_NE(status.find("Alice Example"), std::string::npos);

    // gpg's message to three keys, one outside the rings, decodes here.
    writeFile(g.dir.file("plain"), "made by gpg\n");
    ASSERT_EQ(g.gpg("--passphrase bob -u bob@example.org -r alice@example.org -r bob@example.org -r olga@example.org "
                    "-se -o '" + g.dir.file("gpg.pgp") + "' '" + g.dir.file("plain") + "'"),
              0);
    auto d = decode(s, readFile(g.dir.file("gpg.pgp")), "alice");
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.output, "made by gpg\n");
    EXPECT_EQ(d.recipientIds.size(), 3u);
    EXPECT_EQ(d.recipientNames.size(), 2u);
    ASSERT_EQ(d.signatures.size(), 1u);
    EXPECT_EQ(d.signatures[0].signerName, "Bob Example <bob@example.org>");
    EXPECT_TRUE(d.signatures[0].data.verified);

    // A message only for a key outside the rings.
    ASSERT_EQ(g.gpg("-r olga@example.org -e -o '" + g.dir.file("olga.pgp") + "' '" + g.dir.file("plain") + "'"), 0);
    auto o = decode(s, readFile(g.dir.file("olga.pgp")), "alice");
    EXPECT_EQ(o.error, kPGPError_NoDecryptionKey);
    EXPECT_EQ(o.recipientIds.size(), 1u);
    EXPECT_TRUE(o.recipientNames.empty());
    EXPECT_FALSE(o.gotOutput);
}

TEST_F(Jobs, SignedOnlyClearSignedAndPassphraseOnlyMessages)
{
    GpgScratch g;
    writeFile(g.dir.file("plain"), "signed words\n");
    ASSERT_EQ(g.gpg("--passphrase alice -u alice@example.org --compress-algo none -s -o '" + g.dir.file("s.pgp") + "' '" +
                    g.dir.file("plain") + "'"),
              0);
    auto d = decode(s, readFile(g.dir.file("s.pgp")), "anything");
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.output, "signed words\n");
    EXPECT_EQ(d.recipientsEvents, 0);
    ASSERT_EQ(d.signatures.size(), 1u);
    EXPECT_TRUE(d.signatures[0].data.verified);

    // The same message with its text changed: checked, but not verified.
    std::string tampered = readFile(g.dir.file("s.pgp"));
    auto at = tampered.find("signed words");
    ASSERT_NE(at, std::string::npos);
    tampered[at] = 'S';
    auto t = decode(s, tampered, "anything");
    ASSERT_EQ(t.signatures.size(), 1u);
    EXPECT_TRUE(t.signatures[0].data.checked);
    EXPECT_FALSE(t.signatures[0].data.verified);

    ASSERT_EQ(g.gpg("--passphrase alice -u alice@example.org --clearsign -o '" + g.dir.file("c.asc") + "' '" +
                    g.dir.file("plain") + "'"),
              0);
    auto c = decode(s, readFile(g.dir.file("c.asc")), "x");
    ASSERT_EQ(c.error, 0);
    EXPECT_NE(c.output.find("signed words"), std::string::npos);
    EXPECT_TRUE(c.signatures.at(0).data.verified);

    // Signed by a key outside the rings: not checked.
    ASSERT_EQ(g.gpg("--passphrase olga -u olga@example.org -s -o '" + g.dir.file("o.pgp") + "' '" + g.dir.file("plain") + "'"),
              0);
    auto u = decode(s, readFile(g.dir.file("o.pgp")), "x");
    ASSERT_EQ(u.error, 0);
    ASSERT_EQ(u.signatures.size(), 1u);
    EXPECT_FALSE(u.signatures[0].data.checked);
    EXPECT_FALSE(u.signatures[0].data.verified);
    EXPECT_FALSE(u.signatures[0].haveKey);
    EXPECT_EQ(u.signatures[0].signerKeyId.size(), 18u);

    ASSERT_EQ(g.gpg("--passphrase 'open sesame' --symmetric --cipher-algo AES256 -o '" + g.dir.file("p.pgp") + "' '" +
                    g.dir.file("plain") + "'"),
              0);
    auto p = decode(s, readFile(g.dir.file("p.pgp")), "open sesame");
    ASSERT_EQ(p.error, 0);
    EXPECT_EQ(p.output, "signed words\n");
    auto wrong = decode(s, readFile(g.dir.file("p.pgp")), "closed");
    EXPECT_NE(wrong.error, 0);
    EXPECT_FALSE(wrong.gotOutput);
}

TEST_F(Jobs, MessagesWithoutIntegrityProtectionAreRefused)
{
    GpgScratch g;
    writeFile(g.dir.file("plain"), "old style\n");
    if (g.gpg("--passphrase pw --symmetric --rfc2440 --cipher-algo CAST5 --s2k-cipher-algo CAST5 -o '" +
              g.dir.file("old.pgp") + "' '" + g.dir.file("plain") + "'") != 0)
        GTEST_SKIP() << "gpg cannot make a message without integrity protection";
    std::string dump;
    run("gpg --list-packets '" + g.dir.file("old.pgp") + "' 2>/dev/null", &dump);
    if (dump.find("mdc_method: 2") != std::string::npos || dump.find("encrypted data packet:") == std::string::npos)
        GTEST_SKIP() << "gpg added integrity protection";
    auto d = decode(s, readFile(g.dir.file("old.pgp")), "pw");
    EXPECT_EQ(d.error, kPGPError_NoIntegrityProtection);
    EXPECT_FALSE(d.gotOutput);
}

TEST_F(Jobs, InteroperatesWithSequoia)
{
    ScratchDir dir;
    // A key of sq's own, added to copies of the rings.
    ASSERT_EQ(run("sq key generate --userid 'Sq User <sq@example.org>' --export '" + dir.file("sq.key") + "' 2>/dev/null"), 0);
    ASSERT_EQ(run("sq key extract-cert '" + dir.file("sq.key") + "' > '" + dir.file("sq.cert") + "' 2>/dev/null"), 0);
    ASSERT_EQ(run("sq dearmor '" + dir.file("sq.key") + "' > '" + dir.file("sq.bin") + "' 2>/dev/null"), 0);
    writeFile(dir.file("pub.pgp"), readFile(fixture("pubring.pgp")));
    writeFile(dir.file("sec.pgp"), readFile(fixture("secring.pgp")) + readFile(dir.file("sq.bin")));
    Session t;
    ASSERT_EQ(t.open(dir.file("pub.pgp"), dir.file("sec.pgp")), 0);

    // Tolv -> sq
    auto e = encode(t, "for sequoia\n", "alice@", {"sq@"}, true, "alice");
    ASSERT_EQ(e.error, 0);
    writeFile(dir.file("m.asc"), e.output);
    ASSERT_EQ(run("gpg --export --armor --no-default-keyring --keyring '" + dir.file("tmp.kbx") + "' >/dev/null 2>&1; "
                  "gpg --batch --no-default-keyring --keyring '" + dir.file("alice.kbx") + "' --import '" + fixture("pubring.pgp") +
                  "' 2>/dev/null; gpg --batch --no-default-keyring --keyring '" + dir.file("alice.kbx") +
                  "' --export alice@example.org > '" + dir.file("alice.cert") + "'"),
              0);
    std::string out;
    ASSERT_EQ(run("sq decrypt --recipient-key '" + dir.file("sq.key") + "' --signer-cert '" + dir.file("alice.cert") + "' '" +
                  dir.file("m.asc") + "' 2>/dev/null",
                  &out),
              0);
    EXPECT_EQ(out, "for sequoia\n");

    // sq -> Tolv
    writeFile(dir.file("plain"), "from sequoia\n");
    ASSERT_EQ(run("sq encrypt --recipient-cert '" + dir.file("alice.cert") + "' --signer-key '" + dir.file("sq.key") + "' '" +
                  dir.file("plain") + "' > '" + dir.file("sq.asc") + "' 2>/dev/null"),
              0);
    auto d = decode(t, readFile(dir.file("sq.asc")), "alice");
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.output, "from sequoia\n");
    EXPECT_EQ(d.recipientNames, (std::vector<std::string>{"Alice Example <alice@example.org>"}));
    ASSERT_EQ(d.signatures.size(), 1u);
    EXPECT_EQ(d.signatures[0].signerName, "Sq User <sq@example.org>");
    EXPECT_TRUE(d.signatures[0].data.verified);
}

TEST_F(Jobs, TwoThreadsShareOneContext)
{
    std::atomic<int> failures{0};
    auto worker = [&](const char* signer, const char* pass, const char* to, const char* toPass, unsigned seed) {
        for (int i = 0; i < 8; ++i) {
            std::string data = randomBytes(5000 + i * 100, seed + i);
            auto e = encode(s, data, signer, {to}, i % 2 == 0, pass);
            if (e.error) {
                ++failures;
                continue;
            }
            auto d = decode(s, e.output, toPass);
            if (d.error || d.output != data || d.signatures.size() != 1 || !d.signatures[0].data.verified)
                ++failures;
        }
    };
    std::thread a(worker, "alice@", "alice", "bob@", "bob", 10);
    std::thread b(worker, "bob@", "bob", "alice@", "alice", 50);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(Jobs, ClearSignDetachedSeveralRecipientsSelfAndPasswordWithPeers)
{
    GpgScratch g;
    PGPContextRef c = s.context;
    auto signer = [&] { return PGPOSignWithKey(c, s.key("alice@"), PGPOPassphrase(c, "alice"), PGPOLastOption(c)); };
    const std::string text = "Release 1.0\nis out.\n";
    const std::string alice = g.dir.file("alice.cert");
    ASSERT_EQ(g.gpg("-o '" + alice + "' --export alice@example.org"), 0);

    // Clear-signed: gpg and sq verify it.
    auto clear = encodeWith(s, text, {signer(), PGPOClearSign(c, 1)});
    ASSERT_EQ(clear.error, 0);
    EXPECT_EQ(clear.output.rfind("-----BEGIN PGP SIGNED MESSAGE-----\n", 0), 0u);
    writeFile(g.dir.file("clear.asc"), clear.output);
    EXPECT_EQ(g.gpg("--verify '" + g.dir.file("clear.asc") + "'"), 0);
    EXPECT_EQ(run("sq verify --signer-cert '" + alice + "' '" + g.dir.file("clear.asc") + "' >/dev/null 2>&1"), 0);

    // Detached: gpg and sq verify it, and so does Tolv; changed data is a bad signature.
    auto detached = encodeWith(s, text, {signer(), PGPODetachedSig(c, PGPOLastOption(c)), PGPOArmorOutput(c, 1)});
    ASSERT_EQ(detached.error, 0);
    writeFile(g.dir.file("data"), text);
    writeFile(g.dir.file("data.asc"), detached.output);
    EXPECT_EQ(g.gpg("--verify '" + g.dir.file("data.asc") + "' '" + g.dir.file("data") + "'"), 0);
    EXPECT_EQ(run("sq verify --signer-cert '" + alice + "' --detached '" + g.dir.file("data.asc") + "' '" +
                  g.dir.file("data") + "' >/dev/null 2>&1"),
              0);
    const std::string changed = text + "!";
    for (const std::string* data : {&text, &changed}) {
        auto v = decode(s, detached.output, "", 0, data);
        ASSERT_EQ(v.error, 0);
        ASSERT_EQ(v.signatures.size(), 1u);
        EXPECT_EQ(v.signatures[0].data.verified != 0, data == &text);
    }

    // To Bob, Carol and gpg's own Gus, and to the sender: gpg reads it as
    // Bob and as Gus, Tolv as Alice.
    ASSERT_EQ(g.gpg("--passphrase '' --quick-gen-key 'Gus <gus@example.org>' future-default default never"), 0);
    ASSERT_EQ(g.gpg("-o '" + g.dir.file("gus.pgp") + "' --export gus@example.org"), 0);
    writeFile(g.dir.file("pub.pgp"), readFile(fixture("pubring.pgp")) + readFile(g.dir.file("gus.pgp")));
    Session t;
    ASSERT_EQ(t.open(g.dir.file("pub.pgp"), fixture("secring.pgp")), 0);
    PGPContextRef tc = t.context;
    auto many = encodeWith(t, text, {PGPOSignWithKey(tc, t.key("alice@"), PGPOPassphrase(tc, "alice"), PGPOLastOption(tc)),
                                     PGPOEncryptToKey(tc, t.key("bob@")), PGPOEncryptToKey(tc, t.key("carol@")),
                                     PGPOEncryptToKey(tc, t.key("gus@")), PGPOEncryptToKey(tc, t.key("alice@"))});
    ASSERT_EQ(many.error, 0);
    writeFile(g.dir.file("many.pgp"), many.output);
    std::string out;
    // Each in a home of its own that holds only their secret key.
    ::GpgHome bobHome(g.dir.file("bob"), false), gusHome(g.dir.file("gus"), false);
    ASSERT_EQ(g.gpg("--passphrase bob -o '" + g.dir.file("bob.sec") + "' --export-secret-keys bob@example.org"), 0);
    ASSERT_EQ(g.gpg("--passphrase '' -o '" + g.dir.file("gus.sec") + "' --export-secret-keys gus@example.org"), 0);
    ASSERT_EQ(bobHome.gpg("--passphrase bob --import '" + g.dir.file("bob.sec") + "'"), 0);
    ASSERT_EQ(gusHome.gpg("--import '" + g.dir.file("gus.sec") + "'"), 0);
    for (const ::GpgHome* home : {&bobHome, &gusHome}) {
        ASSERT_EQ(home->gpg("--import '" + alice + "'"), 0);  // the signer
        ASSERT_EQ(home->gpg("--passphrase bob -d '" + g.dir.file("many.pgp") + "'", &out), 0);
        EXPECT_EQ(out, text);
    }
    auto self = decode(t, many.output, "alice");
    ASSERT_EQ(self.error, 0);
    EXPECT_EQ(self.output, text);
    EXPECT_EQ(self.recipientIds.size(), 4u);

    // A password only: gpg reads it with the password.
    auto password = encodeWith(s, text, {PGPOConventionalEncrypt(c, PGPOPassphrase(c, "open sesame"), PGPOLastOption(c))});
    ASSERT_EQ(password.error, 0);
    writeFile(g.dir.file("pw.pgp"), password.output);
    ASSERT_EQ(g.gpg("--passphrase 'open sesame' -d '" + g.dir.file("pw.pgp") + "'", &out), 0);
    EXPECT_EQ(out, text);

    // Modes that do not fit together are refused.
    EXPECT_EQ(encodeWith(s, text, {signer(), PGPOClearSign(c, 1), PGPOEncryptToKey(c, s.key("bob@"))}).error,
              kPGPError_BadParams);
    EXPECT_EQ(encodeWith(s, text, {PGPODetachedSig(c, PGPOLastOption(c))}).error, kPGPError_BadParams);
}
