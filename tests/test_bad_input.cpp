// What the user meets with bad input of every kind: a clear message,
// nothing on disk lost or half-written, and a program that keeps working.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <random>

#include "core/app_config.h"
#include "core/file_io.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "core/shared_passphrase.h"
#include "sdk/decode_buffer.h"
#include "sdk/encode_buffer.h"
#include "sdk/encode_modes.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_session.h"
#include "tests/real_sdk.h"
#include "tests/test_support.h"

namespace {

struct Matrix : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(sdk::PGP_LoadRings(), 0);
        SharedPassphrase::instance().set("alice");
        goodMessage = encode("the good message");
        ASSERT_FALSE(goodMessage.empty());
        Prompts::resetTestState();
    }
    void useRings(const std::string& pub, const std::string& sec, const std::string& dll = "pgpsdk.dll")
    {
        session.useRings(pub, sec, dll);
    }
    std::string encode(const std::string& text, bool armour = true)
    {
        sdk::SdkBlock out;
        if (!sdk::Encode_PGPBuff(text.data(), text.size(), out, armour, SharedPassphrase::instance(), "alice@", "alice@",
                                 nullptr))
            return {};
        return std::string(out.data(), out.size());
    }
    bool decode(const std::string& message, std::string* plain = nullptr)
    {
        sdk::SdkBlock out;
        bool ok = sdk::Decode_PGPBuff(message.data(), message.size(), out, SharedPassphrase::instance()).decoded();
        if (plain)
            *plain = out ? std::string(out.data(), out.size()) : std::string();
        return ok;
    }
    // The program still works: the rings open and a round trip succeeds.
    void expectStillWorking()
    {
        sdk::UnLoad_PGP();
        useRings(fixtures + "pubring.pgp", fixtures + "secring.pgp");
        ASSERT_EQ(sdk::PGP_LoadRings(), 0);
        SharedPassphrase::instance().set("alice");
        std::string plain;
        EXPECT_TRUE(decode(encode("still working"), &plain));
        EXPECT_EQ(plain, "still working");
    }
    QString lastMessage() const
    {
        auto m = Prompts::shownMessages();
        return m.empty() ? QString() : m.back().caption + ": " + m.back().text;
    }

    ScratchDir dir;
    RealSdk session {dir};
    const std::string fixtures = sourceDir() + "/tests/fixtures/";
    std::string goodMessage;
};

struct Case {
    const char* name;
    std::function<void(Matrix&)> act;
    const char* expected;  // the message the user sees, or a part of it
};

}  // namespace

TEST_F(Matrix, EveryKindOfBadInput)
{
    const std::vector<Case> cases = {
        {"empty input", [](Matrix& m) { EXPECT_FALSE(m.decode("")); }, "Decode_PGPBuff: PGPDecode -11990|Not an OpenPGP message"},
        {"one byte", [](Matrix& m) { EXPECT_FALSE(m.decode("x")); }, "Decode_PGPBuff: PGPDecode -"},
        {"random bytes", [](Matrix& m) { EXPECT_FALSE(m.decode(randomBytes(4096, 11))); }, "Decode_PGPBuff: PGPDecode -"},
        {"truncated message",
         [](Matrix& m) {
             std::string plain;
             EXPECT_FALSE(m.decode(m.goodMessage.substr(0, m.goodMessage.size() / 2), &plain));
             EXPECT_TRUE(plain.empty());
         },
         "Decode_PGPBuff: PGPDecode -11989|Truncated data"},
        {"truncated binary message",
         [](Matrix& m) {
             const std::string binary = m.encode(std::string(3000, 'b'), false);
             EXPECT_FALSE(m.decode(binary.substr(0, binary.size() - 100)));
         },
         "Decode_PGPBuff: PGPDecode -11989|Truncated data"},
        {"a signed message whose signature is cut off",
         [](Matrix& m) {
             sdk::EncodeRequest request;
             request.operation = sdk::EncodeOperation::SignOnly;
             request.signer = "alice@";
             request.armour = false;
             const std::string text = randomBytes(5000, 3);  // stored, not compressed
             sdk::SdkBlock signedMessage;
             ASSERT_TRUE(sdk::encodeBuffer(text.data(), text.size(), signedMessage, request,
                                               SharedPassphrase::instance(), nullptr));
             const std::string whole(signedMessage.data(), signedMessage.size());
             std::string plain;
             EXPECT_FALSE(m.decode(whole.substr(0, whole.size() - 60), &plain));
             EXPECT_TRUE(plain.empty());
         },
         "Decode_PGPBuff: PGPDecode -11989|Truncated data"},
        {"one armour character flipped",
         [](Matrix& m) {
             std::string bad = m.goodMessage;
             bad[bad.size() / 2] = bad[bad.size() / 2] == 'A' ? 'B' : 'A';
             std::string plain;
             EXPECT_FALSE(m.decode(bad, &plain));
             EXPECT_TRUE(plain.empty());
         },
         "Decode_PGPBuff: PGPDecode -11991|Corrupt data"},
        {"one byte of the encrypted data changed",
         [](Matrix& m) {
             std::string bad = m.encode(std::string(3000, 'b'), false);
             bad[bad.size() - 40] ^= 1;
             std::string plain;
             EXPECT_FALSE(m.decode(bad, &plain));
             EXPECT_TRUE(plain.empty());
         },
         "Decode_PGPBuff: PGPDecode -11988|Integrity check failed"},
        {"a damaged session key, with the right passphrase",
         [](Matrix& m) {
             std::string bad = m.encode("x", false);
             bad[30] ^= 0x55;  // inside the RSA-encrypted session key
             EXPECT_FALSE(m.decode(bad));
         },
         "Decode_PGPBuff: PGPDecode -11991|Corrupt data"},
        {"message for keys not in the rings",
         [](Matrix& m) { EXPECT_FALSE(m.decode(readWholeFile(sourceDir() + "/tests/fuzz/corpus/fuzz_decode/gpg-olga.pgp"))); },
         "Decode_PGPBuff: PGPDecode -11986|No secret key for any recipient"},
        {"wrong passphrase",
         [](Matrix& m) {
             SharedPassphrase::instance().set("not alice");
             for (int i = 0; i < sdk::kPassphraseAsksAgain; ++i)
                 Prompts::queuePassphraseAnswer(true, "still not alice");
             EXPECT_FALSE(m.decode(m.goodMessage));
         },
         "Decode_PGPBuff: PGPDecode -11992|Bad passphrase"},
        {"81-character passphrase is cut to 80",
         [](Matrix& m) {
             SharedPassphrase::instance().set(std::string(81, 'p'));
             EXPECT_EQ(SharedPassphrase::instance().get().size(), 80u);
             for (int i = 0; i < sdk::kPassphraseAsksAgain; ++i)
                 Prompts::queuePassphraseAnswer(true, QString(81, 'p'));
             EXPECT_FALSE(m.decode(m.goodMessage));
         },
         "Decode_PGPBuff: PGPDecode -11992|Bad passphrase"},
        {"corrupt ring file",
         [](Matrix& m) {
             writeWholeFile(m.dir.file("bad.pgp"), randomBytes(300, 11));
             sdk::UnLoad_PGP();
             m.useRings(m.dir.file("bad.pgp"), m.fixtures + "secring.pgp");
             EXPECT_EQ(sdk::PGP_LoadRings(), -3);
         },
         "PGP_LoadRings: PGPOpenKeyRingPair  error# -11974|Corrupt key ring"},
        {"missing ring file",
         [](Matrix& m) {
             sdk::UnLoad_PGP();
             m.useRings(m.dir.file("none.pgp"), m.fixtures + "secring.pgp");
             EXPECT_EQ(sdk::PGP_LoadRings(), -3);
         },
         "PGP_LoadRings: PGPOpenKeyRingPair  error# -11996|File not found|Tolv expects the public key ring at|"},
        {"ring path that is a folder",
         [](Matrix& m) {
             sdk::UnLoad_PGP();
             m.useRings(m.dir.path(), m.fixtures + "secring.pgp");
             EXPECT_EQ(sdk::PGP_LoadRings(), -3);
         },
         "PGP_LoadRings: PGPOpenKeyRingPair  error# -11995|Can't open file"},
        {"unreadable input file",
         [](Matrix& m) {
             std::int64_t size = 0;
             std::string path = m.dir.path();  // a folder cannot be read as a file, even by root
             if (geteuid() != 0) {
                 path = m.dir.file("locked");
                 writeWholeFile(path, "secret");
                 chmod(path.c_str(), 0);
             }
             EXPECT_FALSE(Load_AllFile(path, size));
         },
         "Load_AllFile: Error CreateFile "},
        {"saving into a folder that cannot be written",
         [](Matrix& m) {
             writeWholeFile(m.dir.file("keep.txt"), "old contents");
             QString name = QString::fromStdString(m.dir.file("keep.txt") + "/new.txt");
             if (geteuid() != 0) {
                 mkdir(m.dir.file("ro").c_str(), 0500);
                 name = QString::fromStdString(m.dir.file("ro") + "/new.txt");
             }
             Prompts::queueFileAnswer(name);
             EXPECT_EQ(SaveOnDiskFile(name, "data", 4), 0);
             EXPECT_EQ(readWholeFile(m.dir.file("keep.txt")), "old contents");
         },
         "SaveOnDiskFile: Error CreateFile "},
        {"saving onto a full disk",
         [](Matrix&) {
             QString name = "/dev/full";
             Prompts::queueFileAnswer(name);
             EXPECT_EQ(SaveOnDiskFile(name, "data", 4), 2);
         },
         "SaveOnDiskFile: Error write all file /dev/full|Size = 4"},
        {"DLLName that is a text file",
         [](Matrix& m) {
             writeWholeFile(m.dir.file("lib.so"), "just text\n");
             sdk::UnLoad_PGP();
             m.useRings(m.fixtures + "pubring.pgp", m.fixtures + "secring.pgp", m.dir.file("lib.so"));
             EXPECT_EQ(sdk::PGP_LoadRings(), -1);
         },
         "Load_PGP: PGP dll: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prompts::resetTestState();
        SharedPassphrase::instance().set("alice");
        c.act(*this);
        EXPECT_TRUE(lastMessage().startsWith(c.expected)) << lastMessage().toStdString();
        expectStillWorking();
    }
}

TEST_F(Matrix, EightyCharacterPassphraseWorks)
{
    const std::string pass(80, 'q');
    const std::string home = dir.file("g");
    ASSERT_EQ(std::system(("mkdir -m 700 '" + home + "'").c_str()), 0);
    writeWholeFile(dir.file("plain"), "long passphrase\n");
    ASSERT_EQ(std::system(("gpg --homedir '" + home + "' --batch --yes --quiet --pinentry-mode loopback --passphrase '" + pass +
                           "' --symmetric -o '" + dir.file("m.pgp") + "' '" + dir.file("plain") + "' 2>/dev/null")
                              .c_str()),
              0);
    SharedPassphrase::instance().set(pass);
    std::string plain;
    EXPECT_TRUE(decode(readWholeFile(dir.file("m.pgp")), &plain)) << lastMessage().toStdString();
    EXPECT_EQ(plain, "long passphrase\n");
    std::system(("gpgconf --homedir '" + home + "' --kill all 2>/dev/null").c_str());
}

TEST_F(Matrix, IniFilesWithGarbageLongLinesAndDuplicates)
{
    writeWholeFile(dir.file("odd.ini"), std::string("\x01\x02garbage\xff\n", 12) + std::string(70000, 'L') +
                                            "\n[PGP]\nTimeOut=12\nTimeOut=99\nSign=" + std::string(3000, 's') + "\n");
    AppConfigValues v = readSettingsFile(dir.file("odd.ini"));
    EXPECT_EQ(v.TimeOut, 12);
    EXPECT_EQ(v.Sign.size(), 80u);
    EXPECT_EQ(v.DLLName, "pgpsdk.dll");
    writeSettingsFile(v);
    EXPECT_EQ(readSettingsFile(dir.file("odd.ini")).TimeOut, 12);
    EXPECT_NE(readWholeFile(dir.file("odd.ini")).find(std::string(70000, 'L')), std::string::npos);  // kept
}
