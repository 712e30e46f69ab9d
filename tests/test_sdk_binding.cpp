// Loading the SDK library, the entry-point table, the session and the
// frame's two PGP toggles, against fake libraries and the real one.
#include <gtest/gtest.h>

#include <QAction>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "core/app_config.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "platform/dynamic_library.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_session.h"
#include "tests/frame_toggle.h"
#include "tests/fake_sdk_fixture.h"

using namespace sdk;

namespace {

std::string lib(const std::string& name) { return libraryPath(name); }

class Binding : public FakeSdkTest {
protected:
    QString libraryText() { return frame->libraryMenuItem()->text(); }
    QString keyRingText() { return frame->keyRingMenuItem()->text(); }
};

}  // namespace

TEST(EntryTable, NamesInTheirFixedOrder)
{
    ASSERT_EQ(kEntryCount, 288u);
    EXPECT_EQ(SdkEntryTable::name(0), "PGPAddJobOptions");
    EXPECT_EQ(SdkEntryTable::name(99), "PGPGetStdTimeFromPGPTime");
    std::size_t longest = 0;
    for (std::size_t i = 0; i < kEntryCount; ++i) {
        longest = std::max(longest, SdkEntryTable::name(i).size());
        if (i >= 273 && i <= 281)
            EXPECT_EQ(SdkEntryTable::name(i).substr(0, 6), "PGPsdk") << i;
        else if (i >= 282)
            EXPECT_EQ(SdkEntryTable::name(i).substr(0, 3), "pgp") << i;
        else
            EXPECT_EQ(SdkEntryTable::name(i).substr(0, 3), "PGP") << i;
        if (i > 0 && i < 273) {
            EXPECT_LT(SdkEntryTable::name(i - 1), SdkEntryTable::name(i));
        }
    }
    EXPECT_EQ(longest, 44u);
    EXPECT_EQ(SdkEntryTable::name(273), "PGPsdkCleanup");
    EXPECT_EQ(SdkEntryTable::name(287), "pgpEventNull");
    EXPECT_TRUE(SdkEntryTable::name(288).empty());
}

TEST(EntryTable, UnresolvedWrappersMakeNoCall)
{
    resetSessionForTests();
    EXPECT_EQ(call::PGPsdkInit(), kPGPError_FeatureNotAvailable);
    EXPECT_EQ(call::PGPOLastOption(nullptr), nullptr);
}

TEST_F(Binding, LoadsOnceAndFlipsTheMenuText)
{
    ASSERT_EQ(Load_PGP(), 0);
    EXPECT_TRUE(sessionSnapshot().LibraryLoaded);
    EXPECT_TRUE(SdkEntryTable::allResolved());
    EXPECT_EQ(libraryText(), "Unload PGP");
    const auto lookups = platform::symbolLookups();
    const void* handle = sessionSnapshot().LibraryHandle;
    EXPECT_EQ(Load_PGP(), 0);
    EXPECT_EQ(platform::symbolLookups(), lookups);
    EXPECT_EQ(sessionSnapshot().LibraryHandle, handle);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Binding, LoadRingsMakesContextAndKeysInOrder)
{
    ASSERT_EQ(PGP_LoadRings(), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"PGPsdkInit", "PGPNewContext", "PGPNewFileSpecFromFullPath",
                                                 "PGPNewFileSpecFromFullPath", "PGPOpenKeyRingPair", "PGPFreeFileSpec",
                                                 "PGPFreeFileSpec"}));
    EXPECT_EQ(libraryText(), "Unload PGP");
    EXPECT_EQ(keyRingText(), "Unload keys");
    EXPECT_EQ(liveObjects(), 2);  // the context and the key set
    clearCalls();
    EXPECT_EQ(PGP_LoadRings(), 0);  // already running: nothing happens
    EXPECT_TRUE(calls().empty());

    // Unloading frees the key set, then the context, then cleans up.
    ASSERT_EQ(UnLoad_PGP(), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"PGPFreeKeySet", "PGPFreeContext", "PGPsdkCleanup"}));
    EXPECT_EQ(libraryText(), "Load PGP");
    EXPECT_EQ(keyRingText(), "Load keys");
    EXPECT_TRUE(SdkEntryTable::noneResolved());
    EXPECT_EQ(sessionSnapshot().LibraryHandle, nullptr);
}

TEST_F(Binding, InitFailure)
{
    ASSERT_EQ(Load_PGP(), 0);
    fail("PGPsdkInit", -11999);
    EXPECT_EQ(PGP_LoadRings(), -1);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].caption, "PGP_LoadRings");
    EXPECT_EQ(messages()[0].text, "PGPsdkInit error # -11999|fake error -11999");
    EXPECT_EQ(messages()[0].icon, Prompts::Icon::Stop);
    EXPECT_EQ(sessionSnapshot().Context, nullptr);
}

TEST_F(Binding, ContextFailureThenRetryInitialisesAgain)
{
    ASSERT_EQ(Load_PGP(), 0);
    fail("PGPNewContext", -11998);
    clearCalls();
    EXPECT_EQ(PGP_LoadRings(), -2);
    EXPECT_EQ(messages().at(0).text, "PGPNewContext error # -11998|fake error -11998");
    EXPECT_TRUE(sessionSnapshot().LibraryLoaded);
    fail("PGPNewContext", 0);
    clearCalls();
    EXPECT_EQ(PGP_LoadRings(), 0);
    auto c = calls();
    ASSERT_GE(c.size(), 2u);
    EXPECT_EQ(c[0], "PGPsdkInit");
    EXPECT_EQ(c[1], "PGPNewContext");
}

TEST_F(Binding, PublicSpecFailure)
{
    ASSERT_EQ(Load_PGP(), 0);
    fail("PGPNewFileSpecFromFullPath", -11996);
    EXPECT_EQ(PGP_LoadRings(), -3);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].caption, "PGP_LoadRings");
    EXPECT_EQ(messages()[0].text, "PGPNewFileSpecFromFullPath Pub error#-11996|fake error -11996");
    EXPECT_EQ(liveObjects(), 1);  // only the context
    EXPECT_EQ(keyRingText(), "Load Keys");
    EXPECT_EQ(OpenSessionKeyRings("a", "b"), -2);
}

TEST_F(Binding, SecretSpecFailureFreesThePublicSpecFirst)
{
    ASSERT_EQ(PGP_LoadRings(), 0);
    PGP_UnloadKeys();
    // Two specs were made while loading; the secret one is the fourth call.
    fail("PGPNewFileSpecFromFullPath#4", -11995);
    clearCalls();
    EXPECT_EQ(PGP_LoadKeys(), -2);
    EXPECT_EQ(messages().back().caption, "PGP_LoadRings");
    EXPECT_EQ(messages().back().text, "PGPNewFileSpecFromFullPath sec error#-11995|fake error -11995");
    EXPECT_EQ(calls(), (std::vector<std::string>{"PGPNewFileSpecFromFullPath", "PGPNewFileSpecFromFullPath",
                                                 "PGPFreeFileSpec", "PGPGetErrorString"}));
    EXPECT_EQ(liveObjects(), 1);
    EXPECT_EQ(keyRingText(), "Load keys");
}

TEST_F(Binding, OpenRingPairFailureLeavesNoKeySet)
{
    ASSERT_EQ(Load_PGP(), 0);
    fail("PGPOpenKeyRingPair", -11974);
    clearCalls();
    EXPECT_EQ(PGP_LoadRings(), -3);
    EXPECT_EQ(messages().back().text, "PGPOpenKeyRingPair  error# -11974|fake error -11974");
    EXPECT_EQ(messages().back().caption, "PGP_LoadRings");
    EXPECT_EQ(sessionSnapshot().KeySet, nullptr);
    EXPECT_EQ(liveObjects(), 1);  // both specs freed, only the context left
    EXPECT_EQ(keyRingText(), "Load Keys");
    auto c = calls();
    EXPECT_EQ(std::count(c.begin(), c.end(), "PGPFreeFileSpec"), 2);
    EXPECT_EQ(PGP_LoadKeys(), -4);
}

TEST_F(Binding, LibraryLackingEntry100IsRefusedWhole)
{
    setDll(lib("fake_no100pgpsdk"));
    const auto before = platform::symbolLookups();
    EXPECT_EQ(Load_PGP(), -2);
    EXPECT_EQ(platform::symbolLookups() - before, 100u);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].caption, "Load_PGP");
    EXPECT_EQ(messages()[0].text,
              QString::fromStdString("Function: PGPGetStdTimeFromPGPTime|not found in pgp's dll:" + lib("fake_no100pgpsdk")));
    EXPECT_TRUE(SdkEntryTable::noneResolved());
    EXPECT_FALSE(sessionSnapshot().LibraryLoaded);
    EXPECT_EQ(sessionSnapshot().LibraryHandle, nullptr);
    EXPECT_EQ(libraryText(), "Load PGP");
    EXPECT_TRUE(calls().empty());  // nothing was called, not even the clean-up
}

TEST_F(Binding, LibraryLackingALateEntryStillCleansUp)
{
    setDll(lib("fake_nolatepgpsdk"));
    EXPECT_EQ(Load_PGP(), -2);
    EXPECT_EQ(calls(), (std::vector<std::string>{"PGPsdkCleanup"}));
    EXPECT_TRUE(messages().at(0).text.startsWith("Function: PGPsdkSavePrefs|"));
}

TEST_F(Binding, AHalfLoadedTableIsUndoneWhileAJobCountsAsInUse)
{
    SdkUse job;  // a job under way holds the use count
    setDll(lib("fake_nolatepgpsdk"));
    EXPECT_EQ(Load_PGP(), -2);
    ASSERT_EQ(messages().size(), 1u);  // the missing name, no "Can't unload"
    EXPECT_TRUE(messages()[0].text.startsWith("Function: "));
    EXPECT_TRUE(SdkEntryTable::noneResolved());
    EXPECT_EQ(sessionSnapshot().LibraryHandle, nullptr);
    EXPECT_FALSE(sessionSnapshot().LibraryLoaded);
}

TEST_F(Binding, WrongLibraryNames)
{
    setDll(dir.file("absent.so"));
    EXPECT_EQ(Load_PGP(), -2);
    EXPECT_EQ(messages().back().text, QString::fromStdString("PGP dll: " + dir.file("absent.so") + " not loaded|Reason: MOD NOT FOUND"));
    EXPECT_EQ(libraryText(), "Load PGP");
    writeWholeFile(dir.file("text.so"), "not a library\n");
    setDll(dir.file("text.so"));
    EXPECT_EQ(Load_PGP(), -2);
    EXPECT_EQ(messages().back().text, QString::fromStdString("PGP dll: " + dir.file("text.so") + " not loaded|Reason: BAD EXE FORMAT"));
    setDll("nothere.dll");
    EXPECT_EQ(Load_PGP(), -2);
    EXPECT_EQ(messages().back().text, "PGP dll: nothere.dll not loaded|Reason: MOD NOT FOUND");
    EXPECT_FALSE(sessionSnapshot().LibraryLoaded);
    // A library that cannot be read is not called a bad one.
    setDll(dir.path());
    EXPECT_EQ(Load_PGP(), -2);
    EXPECT_TRUE(messages().back().text.endsWith("|Reason: ACCESS DENIED"));
    if (geteuid() != 0) {  // root reads every file
        std::system(("cp '" + lib("fakepgpsdk") + "' '" + dir.file("locked.so") + "' && chmod 000 '" +
                     dir.file("locked.so") + "'").c_str());
        setDll(dir.file("locked.so"));
        EXPECT_EQ(Load_PGP(), -2);
        EXPECT_TRUE(messages().back().text.endsWith("|Reason: ACCESS DENIED"));
    }
}

TEST_F(Binding, DllNamesFallBackToTheLibraryBesideTheProgram)
{
    setDll("pgpsdk.dll");
    ASSERT_EQ(Load_PGP(), 0);
    Dl_info info {};
    ASSERT_NE(dladdr(SdkEntryTable::address(Entry::PGPEncode), &info), 0);
    EXPECT_EQ(std::string(info.dli_fname), lib("pgpsdk"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Binding, UnloadingIsRefusedWhileInUse)
{
    ASSERT_EQ(PGP_LoadRings(), 0);
    {
        SdkUse use;
        EXPECT_EQ(UnLoad_PGP(), -1);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].caption, "UnLoad_PGP");
        EXPECT_EQ(messages()[0].text, QString::fromStdString("Can't unload PGP:" + lib("fakepgpsdk") +
                                                              "|In use: 1|Close all child windows and try again"));
        EXPECT_EQ(messages()[0].icon, Prompts::Icon::Exclamation);
        EXPECT_TRUE(sessionSnapshot().LibraryLoaded);

        // Unloading the keys meanwhile keeps the job's key set alive until it ends.
        PGP_UnloadKeys();
        EXPECT_EQ(keyRingText(), "Load keys");
        EXPECT_EQ(sessionSnapshot().KeySet, nullptr);
        EXPECT_EQ(liveObjects(), 2);
        EXPECT_NE(use.keySet(), nullptr);
    }
    EXPECT_EQ(liveObjects(), 1);
    EXPECT_EQ(UnLoad_PGP(), 0);
}

TEST_F(Binding, UnloadWithNothingLoadedCallsNothing)
{
    EXPECT_EQ(UnLoad_PGP(), 0);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(messages().empty());
}

TEST_F(Binding, FrameTogglesDecideBySessionState)
{
    toggle(*frame, frame->keyRingMenuItem());  // before the SDK runs
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].caption, "PGP_LoadKeys");
    EXPECT_EQ(messages()[0].text, "PGP sdk is not run");
    EXPECT_EQ(keyRingText(), "Load Keys");

    toggle(*frame, frame->libraryMenuItem());
    EXPECT_EQ(libraryText(), "Unload PGP");
    EXPECT_EQ(keyRingText(), "Unload keys");
    toggle(*frame, frame->keyRingMenuItem());
    EXPECT_EQ(keyRingText(), "Load keys");
    toggle(*frame, frame->keyRingMenuItem());
    EXPECT_EQ(keyRingText(), "Unload keys");
    toggle(*frame, frame->libraryMenuItem());
    EXPECT_EQ(libraryText(), "Load PGP");
    EXPECT_EQ(keyRingText(), "Load keys");
    EXPECT_FALSE(sessionSnapshot().LibraryLoaded);
}

TEST_F(Binding, WorkerThreadsReachTheMenuThroughTheFrame)
{
    std::thread([] { PGP_LoadRings(); }).join();
    EXPECT_TRUE(waitFor([&] { return libraryText() == "Unload PGP" && keyRingText() == "Unload keys"; }));
}

TEST_F(Binding, RealLibraryWithTheDemoRingsAndManyCycles)
{
    AppConfigValues v = AppConfig::instance().snapshot();
    v.DLLName = "pgpsdk.dll";
    v.PubRing = sourceDir() + "/demo/pubring.pgp";
    v.SecRing = sourceDir() + "/demo/secring.pgp";
    AppConfig::instance().assign(v);
    for (int i = 0; i < 100; ++i) {
        toggle(*frame, frame->libraryMenuItem());
        ASSERT_EQ(libraryText(), "Unload PGP") << i;
        ASSERT_EQ(keyRingText(), "Unload keys") << i;
        toggle(*frame, frame->libraryMenuItem());
        ASSERT_EQ(libraryText(), "Load PGP") << i;
    }
    EXPECT_TRUE(messages().empty());

    v.PubRing = dir.file("missing.pgp");
    AppConfig::instance().assign(v);
    EXPECT_EQ(PGP_LoadRings(), -3);
    EXPECT_EQ(messages().back().text.toStdString(), "PGPOpenKeyRingPair  error# -11996|File not found|Tolv expects the public "
                                                   "key ring at|    " + v.PubRing + "|and the secret key ring at|    " +
                                                   v.SecRing + "|Copy your key rings there, or choose them under Settings.");
}
