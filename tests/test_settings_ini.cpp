#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "core/app_config.h"
#include "platform/config_dir.h"
#include "platform/code_page.h"
#include "platform/file_access.h"
#include "platform/profile.h"
#include "core/recipient_groups.h"
#include "tests/test_support.h"

using platform::readProfileString;
using platform::writeProfileString;

TEST(Profile, NamesMatchWithoutCaseAndValuesAreTrimmed)
{
    ScratchDir dir;
    const auto ini = dir.file("a.ini");
    writeWholeFile(ini, "; comment\n[Other]\nKey=other\n[pgp]\n  pubring =  my ring.pgp  \r\nTimeOut=5\n");
    EXPECT_EQ(readProfileString("PGP", "PubRing", "x", ini), "my ring.pgp");
    EXPECT_EQ(readProfileString("PGP", "pubRing", "x", ini), "my ring.pgp");
    EXPECT_EQ(readProfileString("PGP", "Key", "fallback", ini), "fallback");
    EXPECT_EQ(readProfileString("Other", "key", "", ini), "other");
    EXPECT_EQ(readProfileString("Missing", "key", "d", ini), "d");
    EXPECT_EQ(readProfileString("PGP", "x", "d", dir.file("none.ini")), "d");
}

TEST(Profile, WriteKeepsEverythingElse)
{
    ScratchDir dir;
    const auto ini = dir.file("b.ini");
    writeWholeFile(ini, "; keep me\n[Other]\nKey=other\n\n[PGP]\nTimeOut=5\nSign=x\n\n[Tail]\nA=1\n");
    ASSERT_TRUE(writeProfileString("pgp", "timeout", "7", ini));
    ASSERT_TRUE(writeProfileString("PGP", "EncryptFor", "bob", ini));
    ASSERT_TRUE(writeProfileString("New", "K", "v", ini));
    const std::string text = readWholeFile(ini);
    EXPECT_NE(text.find("; keep me"), std::string::npos);
    EXPECT_NE(text.find("Key=other"), std::string::npos);
    EXPECT_NE(text.find("[Tail]\nA=1"), std::string::npos);
    EXPECT_EQ(readProfileString("PGP", "TimeOut", "", ini), "7");
    EXPECT_EQ(readProfileString("PGP", "Sign", "", ini), "x");
    EXPECT_EQ(readProfileString("PGP", "EncryptFor", "", ini), "bob");
    EXPECT_EQ(readProfileString("New", "K", "", ini), "v");
    // The new key went into its own section, not the one after it.
    EXPECT_LT(text.find("EncryptFor=bob"), text.find("[Tail]"));
}

TEST(Profile, GarbageLongLinesAndDuplicateKeys)
{
    ScratchDir dir;
    const auto ini = dir.file("g.ini");
    std::string garbage("\x00\xff\xfe[\x01=\x02\n", 9);
    std::string longLine(100000, 'x');
    writeWholeFile(ini, garbage + longLine + "\n[PGP]\nSign=first\nSign=second\nDLLName=" +
                            std::string(5000, 'd') + "\n");
    EXPECT_EQ(readProfileString("PGP", "Sign", "", ini), "first");
    EXPECT_EQ(readProfileString("PGP", "DLLName", "", ini).size(), platform::kProfileMaxValueLength);
    AppConfigValues v = readSettingsFile(ini);
    EXPECT_EQ(v.DLLName.size(), kPathFieldChars);
    EXPECT_EQ(v.Sign, "first");
    ASSERT_TRUE(writeProfileString("PGP", "Sign", "third", ini));
    EXPECT_EQ(readProfileString("PGP", "Sign", "", ini), "third");
}

TEST(Profile, BareNamesAndTheSystemProfileLiveInTheConfigFolder)
{
    ScratchDir dir;
    EXPECT_EQ(platform::windowsDirectory(), dir.configDir());
    EXPECT_EQ(platform::resolveProfilePath("tolv.ini"), dir.configDir() + "/tolv.ini");
    EXPECT_EQ(platform::resolveProfilePath(""), dir.configDir() + "/win.ini");
    ASSERT_TRUE(writeProfileString("PGP", "Sign", "me", ""));
    EXPECT_EQ(readProfileString("PGP", "Sign", "", dir.configDir() + "/win.ini"), "me");
    std::string longName = "/tmp/" + std::string(200, 'n');
    EXPECT_EQ(platform::resolveProfilePath(longName), longName);  // never cut
}

TEST(Settings, PathsAreNeverCut)
{
    ScratchDir dir;
    std::string folder = dir.path();
    for (int i = 0; i < 4; ++i) {
        folder += "/" + std::string(60, static_cast<char>('d' + i));
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    const std::string ini = folder + "/tolv.ini";
    ASSERT_GT(ini.size(), 200u);
    writeWholeFile(ini, "[PGP]\nSign=deep\n");
    EXPECT_EQ(chooseIniPath(ini), ini);
    AppConfigValues v = readSettingsFile(ini);
    EXPECT_EQ(v.Sign, "deep");
    v.Sign = "deeper";
    writeSettingsFile(v);
    EXPECT_EQ(readSettingsFile(ini).Sign, "deeper");
    EXPECT_TRUE(platform::pathTooLong("/tmp/" + std::string(300, 'x')));
    EXPECT_TRUE(platform::pathTooLong(std::string(5000, 'x')));
    EXPECT_FALSE(platform::pathTooLong(ini));
}

TEST(Settings, WidthsCountCharactersAndNeverSplitOne)
{
    ScratchDir dir;
    AppConfigValues v = readSettingsFile(dir.file("tolv.ini"));
    v.Sign = std::string(79, 'a') + "Ж";
    v.PubRing = "/" + [] { std::string s; for (int i = 0; i < 130; ++i) s += "П"; return s; }();
    v.SecRing = [] { std::string s; for (int i = 0; i < 300; ++i) s += "ж"; return s; }();
    writeSettingsFile(v);
    AppConfigValues back = readSettingsFile(dir.file("tolv.ini"));
    EXPECT_EQ(back.Sign, v.Sign);
    EXPECT_EQ(back.PubRing, v.PubRing);
    EXPECT_EQ(back.SecRing.size(), 2 * kPathFieldChars);  // 254 whole characters
    EXPECT_TRUE(platform::isValidUtf8(back.SecRing.data(), back.SecRing.size()));
    AppConfig::instance().setDLLName(v.SecRing);
    EXPECT_EQ(AppConfig::instance().snapshot().DLLName, back.SecRing);
}

TEST(Settings, TextIsStoredInTheOemCodePage)
{
    ScratchDir dir;
    AppConfigValues v = readSettingsFile(dir.file("tolv.ini"));
    v.Sign = "Иван";
    v.EncryptFor = "Ив€";  // no euro sign in CP866: kept as UTF-8
    writeSettingsFile(v);
    const std::string bytes = readWholeFile(dir.file("tolv.ini"));
    EXPECT_NE(bytes.find("Sign=\x88\xa2\xa0\xad\n"), std::string::npos);
    EXPECT_NE(bytes.find("EncryptFor=Ив€\n"), std::string::npos);
    EXPECT_EQ(readSettingsFile(dir.file("tolv.ini")), v);
    // A file written on the original system, Cyrillic paths in CP866.
    writeWholeFile(dir.file("old.ini"), "[PGP]\nPubRing=C:\\\x8a\xab\xee\xe7\xa8\\pub.pgp\n");
    EXPECT_EQ(readSettingsFile(dir.file("old.ini")).PubRing, "C:\\Ключи\\pub.pgp");
    // Large texts convert in pieces: characters across a piece's end stay whole.
    std::string oem, utf8;
    for (int i = 0; i < 30000; ++i)
        oem += "a\x88\xa2\xb0", utf8 += "aИв░";
    EXPECT_EQ(platform::oemToAnsi(oem.data(), oem.size()), utf8);
}

TEST(Settings, DefaultsWhenTheFileIsMissingAndNothingIsCreated)
{
    ScratchDir dir;
    const auto ini = dir.file("tolv.ini");
    AppConfigValues v = readSettingsFile(ini);
    EXPECT_EQ(v.IniPath, ini);
    EXPECT_EQ(v.DLLName, "pgpsdk.dll");
    EXPECT_EQ(v.SecRing, "secring.pgp");
    EXPECT_EQ(v.PubRing, "pubring.pgp");
    EXPECT_EQ(v.TimeOut, 10000);
    EXPECT_EQ(v.Sign, "");
    EXPECT_EQ(v.EncryptFor, "");
    EXPECT_NE(access(ini.c_str(), F_OK), 0);
}

TEST(Settings, SavingDefaultsWritesTheKnownFile)
{
    ScratchDir dir;
    AppConfigValues v = readSettingsFile(dir.file("tolv.ini"));
    writeSettingsFile(v);
    EXPECT_EQ(readWholeFile(dir.file("tolv.ini")),
              "[PGP]\nDLLName=pgpsdk.dll\nSecRing=secring.pgp\nPubRing=pubring.pgp\nTimeOut=10000\nSign=\nEncryptFor=\n");
}

TEST(Settings, CyrillicPathsSurviveASaveAndARead)
{
    ScratchDir dir;
    const std::string folder = dir.file("Ключи");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    AppConfigValues v = readSettingsFile(folder + "/настройки.ini");
    v.PubRing = folder + "/открытые.pgp";
    v.Sign = "Иван Петров <ivan@example.ru>";
    v.TimeOut = -42;
    writeSettingsFile(v);
    AppConfigValues back = readSettingsFile(folder + "/настройки.ini");
    EXPECT_EQ(back, v);
}

TEST(Settings, LongValuesAreCutToTheirFields)
{
    ScratchDir dir;
    const auto ini = dir.file("long.ini");
    writeWholeFile(ini, "[PGP]\nSign=" + std::string(200, 's') + "\nSecRing=" + std::string(300, 'r') + "\n");
    AppConfigValues v = readSettingsFile(ini);
    EXPECT_EQ(v.Sign.size(), 80u);
    EXPECT_EQ(v.SecRing.size(), 254u);
}

TEST(Settings, TimeOutParsing)
{
    EXPECT_EQ(parseTimeOut("10000"), 10000);
    EXPECT_EQ(parseTimeOut("  -25x"), -25);
    EXPECT_EQ(parseTimeOut("abc"), 0);
    EXPECT_EQ(parseTimeOut(""), 0);
    EXPECT_EQ(parseTimeOut("12 34"), 12);
    EXPECT_EQ(parseTimeOut("99999999999999"), 2147483647);
    EXPECT_EQ(parseTimeOut("-99999999999999"), -2147483647 - 1);
}

TEST(Settings, ChoosingTheIniFile)
{
    ScratchDir dir;
    const std::string cwd = platform::currentDirectory();
    EXPECT_EQ(chooseIniPath(""), cwd + "/tolv.ini");
    EXPECT_EQ(chooseIniPath("/D"), cwd + "/tolv.ini");
    EXPECT_EQ(chooseIniPath("/W"), "tolv.ini");
    EXPECT_EQ(chooseIniPath("/w"), "/w");
    EXPECT_EQ(chooseIniPath("/d"), "/d");
    EXPECT_EQ(chooseIniPath("conf/my.ini"), "conf/my.ini");
    EXPECT_EQ(chooseIniPath(std::string(150, 'a')).size(), 150u);  // whole

    // "/W": the file lives in the stand-in for the Windows directory.
    AppConfigValues v = readSettingsFile(chooseIniPath("/W"));
    v.Sign = "w-user";
    writeSettingsFile(v);
    EXPECT_EQ(readWholeFile(dir.configDir() + "/tolv.ini").find("Sign=w-user") != std::string::npos, true);
}

TEST(Settings, UnwritableIniFailsQuietly)
{
    ScratchDir dir;
    const std::string ro = dir.file("ro");
    ASSERT_EQ(mkdir(ro.c_str(), 0500), 0);
    AppConfigValues v = readSettingsFile(ro + "/tolv.ini");
    v.Sign = "x";
    writeSettingsFile(v);  // must not crash or throw
    if (geteuid() != 0) {
        EXPECT_NE(access((ro + "/tolv.ini").c_str(), F_OK), 0);
    }
    // A path under a file cannot be written even by root.
    writeWholeFile(dir.file("plain"), "x");
    v.IniPath = dir.file("plain") + "/tolv.ini";
    writeSettingsFile(v);
    EXPECT_EQ(readWholeFile(dir.file("plain")), "x");
}

// Recipient groups live in the [Tolv] section beside the [PGP] keys, which
// stay as they were; names match without case; an emptied group goes.
TEST(Settings, RecipientGroupsAreKeptBesideThePgpSection)
{
    ScratchDir dir;
    const std::string ini = dir.file("tolv.ini");
    writeWholeFile(ini, "[PGP]\nPubRing=p.pgp\n[Tolv]\nKeyserver=hkps://k.example\n");
    const std::string a(40, 'A'), b(40, 'B');
    ASSERT_TRUE(writeGroup(ini, {"Team", {a, b}}));
    ASSERT_TRUE(writeGroup(ini, {"Family", {b}}));
    ASSERT_EQ(readGroups(ini).size(), 2u);
    EXPECT_EQ(findGroup(ini, "team")->members, (std::vector<std::string> {a, b}));
    ASSERT_TRUE(writeGroup(ini, {"TEAM", {a}}));  // replaces, under its new spelling
    EXPECT_EQ(findGroup(ini, "Team")->name, "TEAM");
    EXPECT_EQ(findGroup(ini, "Team")->members, std::vector<std::string> {a});
    ASSERT_TRUE(writeGroup(ini, {"Family", {}}));
    EXPECT_FALSE(findGroup(ini, "Family"));
    EXPECT_EQ(readGroups(ini).size(), 1u);
    for (const char* bad : {"", " Team", "a;b", "x=y", "[x]", "a,b"})
        EXPECT_FALSE(writeGroup(ini, {bad, {a}})) << bad;
    EXPECT_FALSE(writeGroup(ini, {"Crowd", std::vector<std::string>(kMaxGroupMembers + 1, a)}));
    const std::string text = readWholeFile(ini);
    EXPECT_NE(text.find("[PGP]\nPubRing=p.pgp\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Keyserver=hkps://k.example"), std::string::npos) << text;
}
