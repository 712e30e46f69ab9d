// The real tolv program ends cleanly, with status 0, however busy its windows are.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "tests/test_support.h"

namespace {

struct Exit : ::testing::Test {
    void SetUp() override
    {
        const std::string ring = readWholeFile(sourceDir() + "/tests/fixtures/pubring.pgp");
        std::string slow;
        for (int i = 0; i < 400; ++i)
            slow += ring;
        writeWholeFile(dir.file("slow.pgp"), slow);
        writeWholeFile(dir.file("corrupt.pgp"), std::string(3000, '\x99'));
    }
    // Runs tolv on the rings with the scripted menu actions; its exit status,
    // or -1 when it was killed (a crash, or a hang cut off by the timeout).
    int runTolv(const std::string& secRing, const std::string& actions)
    {
        writeWholeFile(dir.file("tolv.ini"), "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + dir.file("slow.pgp") +
                                                 "\nSecRing=" + secRing + "\n");
        // XDG_RUNTIME_DIR: its socket goes with the scratch folder, even when killed.
        const std::string cmd = "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR='" + dir.path() + "' TOLV_AUTOMATE='" + actions +
                                "' timeout -s KILL 60 '" +
                                binDir() + "/tolv' '" + dir.file("tolv.ini") + "' >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ScratchDir dir;
};

}  // namespace

TEST_F(Exit, WhileAWindowIsStillLoadingItsRings)
{
    EXPECT_EQ(runTolv(sourceDir() + "/tests/fixtures/secring.pgp", "0:actionEncodePGP,150:actionExit"), 0);
}

TEST_F(Exit, WhileAWorkerWaitsToShowAnError)
{
    // The corrupt secret ring fails after the slow load; its message is asked
    // for while the program quits, and must not hold the exit up.
    EXPECT_EQ(runTolv(dir.file("corrupt.pgp"), "0:actionDecodePGP,150:actionExit"), 0);
}
