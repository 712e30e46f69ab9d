// The key rings under many writers: several tolv-cli processes and an open
// key set changing the same rings, a writer that cannot get the lock, rings
// that are symbolic links, and writers killed in the middle of a commit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/pgpsdk_harness.h"
#include "tests/test_support.h"

using namespace harness;
namespace fs = std::filesystem;

namespace {

struct RingWriters : ::testing::Test {
    void SetUp() override
    {
        writeFile(pub, readFile(fixture("pubring.pgp")));
        writeFile(sec, readFile(fixture("secring.pgp")));
        ::chmod(sec.c_str(), 0600);
        useRings(pub, sec);
        writeWholeFile(dir.file("p"), "pass\n");
    }
    void useRings(const std::string& pubPath, const std::string& secPath)
    {
        writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + pubPath + "\nSecRing=" + secPath + "\n");
    }
    // tolv-cli with these rings, in the background when the command ends in &.
    std::string cliCommand(const std::string& args, const std::string& env = "")
    {
        return env + " '" + binDir() + "/tolv-cli' --ini '" + ini + "' " + args;
    }
    int cli(const std::string& args, std::string* err = nullptr, const std::string& env = "")
    {
        const int status =
            std::system((cliCommand(args, env) + " >/dev/null 2>'" + dir.file("stderr") + "'").c_str());
        if (err)
            *err = readWholeFile(dir.file("stderr"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string generateArgs(const std::string& name)
    {
        return "generate --name " + name + " --email " + name + "@example.org --passphrase-file '" + dir.file("p") + "'";
    }
    // The user IDs of a ring file's keys as gpg reads them; with "sec",
    // only those of keys with a secret part.
    std::multiset<std::string> userIds(const std::string& ring, const std::string& kind = "")
    {
        std::string out;
        runShell("gpg --homedir '" + gpgHome() + "' --batch --with-colons --show-keys '" + ring + "' 2>/dev/null", &out);
        std::multiset<std::string> ids;
        std::istringstream lines(out);
        bool counted = false;
        for (std::string l; std::getline(lines, l);) {
            std::vector<std::string> fields;
            std::istringstream parts(l);
            for (std::string f; std::getline(parts, f, ':');)
                fields.push_back(f);
            if (fields.empty())
                continue;
            if (fields[0] == "pub" || fields[0] == "sec")
                counted = kind.empty() || fields[0] == kind;
            else if (fields[0] == "uid" && counted && fields.size() > 9)
                ids.insert(fields[9]);
        }
        return ids;
    }
    std::string gpgHome()
    {
        const std::string home = dir.file("gnupg");
        ::mkdir(home.c_str(), 0700);
        return home;
    }
    std::vector<std::string> leftovers()
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().find(".tolv-") != std::string::npos)
                found.push_back(entry.path().filename().string());
        return found;
    }
    ScratchDir dir;
    std::string pub = dir.file("pubring.pgp"), sec = dir.file("secring.pgp"), ini = dir.file("tolv.ini");
};

// The environment that loads the step killer into tolv-cli (before the
// address sanitizer's runtime, where the build has one).
std::string killAtStep()
{
    return "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD='" + binDir() + "/libkill_at_step.so' ";
}

// A new key pair in the open set, not yet committed.
void generate(Session& s, const std::string& name)
{
    PGPContextRef c = s.context;
    PGPKeyRef key = nullptr;
    ASSERT_EQ(PGPGenerateKey(c, &key, PGPOKeyGenParams(c, kPGPPublicKeyAlgorithm_EdDSA, 0),
                             PGPOKeyGenName(c, name.data(), name.size()), PGPOPassphrase(c, "pass"),
                             PGPOKeySetRef(c, s.keys), PGPOLastOption(c)),
              0);
}

std::size_t countWith(const std::multiset<std::string>& ids, const std::string& part)
{
    std::size_t n = 0;
    for (const std::string& id : ids)
        n += id.find(part) != std::string::npos;
    return n;
}

}  // namespace

// librnp closes the log descriptor it is given with its context: a
// descriptor shared by every context would close files opened later.
TEST_F(RingWriters, LogDescriptorOfOneContextNeverClosesAnotherFile)
{
    Session s;
    ASSERT_EQ(s.open(pub, sec), 0);
    const std::string bytes = readFile(fixture("olga-public.asc"));
    auto importAlone = [&] {
        PGPKeySetRef imported = nullptr;
        ASSERT_EQ(PGPImportKeySet(s.context, &imported, PGPOInputBuffer(s.context, bytes.data(), bytes.size()),
                                  PGPOLastOption(s.context)),
                  0);
        PGPFreeKeySet(imported);  // its scratch context goes with it
    };
    importAlone();
    const int fd = ::open(dir.file("mine").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    struct stat before {}, after {};
    ::fstat(fd, &before);
    importAlone();
    importAlone();
    ASSERT_EQ(::fstat(fd, &after), 0) << "the descriptor was closed";
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
    EXPECT_EQ(readWholeFile(dir.file("mine")), "x");
}

// Four processes, twenty changes each, on the same rings at once: every
// key generated or imported is there, every key deleted is gone.
TEST_F(RingWriters, ConcurrentProcessesLoseNoChange)
{
    // Each process deletes and imports a key of its own seven times; two
    // end with the delete, two with the import.
    const char* own[] = {"carol@", "dave@", "eve@", "rex@"};
    std::string script;
    for (int p = 0; p < 4; ++p) {
        const std::string file = "'" + dir.file(std::to_string(p) + ".asc") + "'";
        ASSERT_EQ(cli(std::string("export --armor ") + own[p] + " " + file), 0);
        const std::string remove = cliCommand(std::string("delete --secret --yes ") + own[p]);
        const std::string import = cliCommand("import " + file);
        std::string steps;
        for (int j = 0; j < 6; ++j)
            steps += cliCommand(generateArgs("W" + std::to_string(p) + "x" + std::to_string(j))) + " && ";
        for (int j = 0; j < 7; ++j)
            steps += p % 2 ? remove + " && " + import + " && " : import + " && " + remove + " && ";
        // The test is about lost changes, not waiting: under the sanitizer a
        // writer can wait for the others longer than the usual 10 s.
        script += "( export TOLV_RING_LOCK_WAIT_MS=120000; " + steps + "touch '" + dir.file("done-" + std::to_string(p)) + "' ) >/dev/null 2>>'" +
                  dir.file("errors") + "' & ";
    }
    ASSERT_EQ(runShell("bash -c \"" + script + " wait\""), 0);
    for (int p = 0; p < 4; ++p)
        EXPECT_TRUE(fs::exists(dir.file("done-" + std::to_string(p)))) << readWholeFile(dir.file("errors"));
    const auto pubIds = userIds(pub), secIds = userIds(sec, "sec");
    for (int p = 0; p < 4; ++p) {
        const std::string w = "W" + std::to_string(p) + "x";
        EXPECT_EQ(countWith(pubIds, w), 6u) << w;
        EXPECT_EQ(countWith(secIds, w), 6u) << w;
        EXPECT_EQ(countWith(pubIds, own[p]), p % 2 ? 1u : 0u) << own[p];
    }
    EXPECT_EQ(countWith(pubIds, "alice@example.org"), 1u);
    EXPECT_TRUE(leftovers().empty());
}

// An open key set (a window's) that changes the rings after another
// process did keeps both changes; it sees the other's key once it looks
// at the files; the backup holds the rings of the commit before.
TEST_F(RingWriters, OpenSetCommitsOnTheFilesOfNow)
{
    Session s;
    ASSERT_EQ(s.open(pub, sec), 0);
    ASSERT_EQ(cli(generateArgs("Other")), 0);
    const std::string afterOther = readFile(pub);
    PGPBoolean changed = 0;
    ASSERT_EQ(tolvSyncKeyRing(s.keys, &changed), 0);
    EXPECT_TRUE(changed);
    PGPKeySetRef other = keySetOf(s, {"Other"});
    EXPECT_NE(other, nullptr);
    PGPFreeKeySet(other);
    ASSERT_EQ(tolvSyncKeyRing(s.keys, &changed), 0);
    EXPECT_FALSE(changed);

    ASSERT_EQ(cli("delete --yes carol@"), 0);
    const std::string olga = readFile(fixture("olga-public.asc"));
    PGPKeySetRef imported = nullptr;
    ASSERT_EQ(PGPImportKeySet(s.context, &imported, PGPOInputBuffer(s.context, olga.data(), olga.size()),
                              PGPOImportKeysTo(s.context, s.keys), PGPOLastOption(s.context)),
              0);
    PGPFreeKeySet(imported);
    const std::string beforeCommit = readFile(pub);
    ASSERT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    EXPECT_EQ(readFile(pub + ".bak"), beforeCommit);
    EXPECT_NE(beforeCommit, afterOther);
    const auto ids = userIds(pub);
    EXPECT_EQ(countWith(ids, "Other"), 1u);
    EXPECT_EQ(countWith(ids, "olga"), 1u);
    EXPECT_EQ(countWith(ids, "carol"), 0u) << "the other writer's delete was undone";
    EXPECT_EQ(countWith(userIds(sec, "sec"), "Other"), 1u);
}

// A writer that cannot get the lock waits a little, then fails saying so
// and naming the rings; the files stay as they were.
TEST_F(RingWriters, WriterThatCannotLockFailsAndNamesTheRings)
{
    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    const std::string before = readFile(pub);
    std::string err;
    EXPECT_NE(cli(generateArgs("Blocked"), &err, "TOLV_RING_LOCK_WAIT_MS=300"), 0);
    EXPECT_NE(err.find("-11969"), std::string::npos) << err;
    EXPECT_NE(err.find(pub), std::string::npos) << err;
    EXPECT_NE(err.find("busy for too long"), std::string::npos) << err;

    // A reader that got in first: its write waits, then fails.
    ASSERT_EQ(::flock(folder, LOCK_UN), 0);
    Session s;
    ASSERT_EQ(s.open(pub, sec), 0);
    ASSERT_EQ(::flock(folder, LOCK_SH), 0);
    ::setenv("TOLV_RING_LOCK_WAIT_MS", "200", 1);
    generate(s, "Blocked");
    EXPECT_EQ(PGPCommitKeyRingChanges(s.keys), kPGPError_KeyRingLocked);
    ::unsetenv("TOLV_RING_LOCK_WAIT_MS");
    EXPECT_TRUE(PGPKeySetNeedsCommit(s.keys));
    EXPECT_EQ(readFile(pub), before);
    ::close(folder);
    EXPECT_EQ(PGPCommitKeyRingChanges(s.keys), 0);
    EXPECT_EQ(countWith(userIds(sec, "sec"), "Blocked"), 1u);
}

// Rings that are symbolic links stay links; their targets are written and
// the backups go beside the targets.
TEST_F(RingWriters, SymlinkedRingsAreWrittenThrough)
{
    fs::create_directory(dir.file("real"));
    fs::rename(pub, dir.file("real/pub.pgp"));
    fs::rename(sec, dir.file("real/sec.pgp"));
    fs::create_symlink(dir.file("real/pub.pgp"), pub);
    fs::create_symlink("real/sec.pgp", sec);
    ASSERT_EQ(cli(generateArgs("Linked")), 0);
    EXPECT_TRUE(fs::is_symlink(pub));
    EXPECT_TRUE(fs::is_symlink(sec));
    EXPECT_EQ(countWith(userIds(dir.file("real/pub.pgp")), "Linked"), 1u);
    EXPECT_EQ(countWith(userIds(dir.file("real/sec.pgp"), "sec"), "Linked"), 1u);
    EXPECT_EQ(readFile(dir.file("real/pub.pgp.bak")), readFile(fixture("pubring.pgp")));
    EXPECT_FALSE(fs::exists(pub + ".bak"));
    struct stat st {};
    ::stat(dir.file("real/sec.pgp").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A writer killed at any step of its commit leaves the old or the new
// rings, and the next write removes what it left behind.
TEST_F(RingWriters, KilledCommitLeavesOldOrNewRings)
{
    const std::string preload = killAtStep();
    const std::string oldPub = readFile(pub), oldSec = readFile(sec);
    for (int step = 1; step <= 8; ++step) {
        writeFile(pub, oldPub);
        writeFile(sec, oldSec);
        const std::string name = "Step" + std::to_string(step);
        EXPECT_NE(cli(generateArgs(name), nullptr, preload + "TOLV_KILL_AT_STEP=" + std::to_string(step)), 0);
        const std::size_t inPub = countWith(userIds(pub), name), inSec = countWith(userIds(sec, "sec"), name);
        EXPECT_LE(inPub, inSec) << "step " << step << ": a public key without its secret";
        EXPECT_TRUE(readFile(pub) == oldPub || inPub == 1) << "step " << step;
        ASSERT_EQ(cli(generateArgs("After" + std::to_string(step))), 0) << step;
        EXPECT_EQ(leftovers(), std::vector<std::string>()) << "step " << step;
        EXPECT_EQ(countWith(userIds(pub), "After" + std::to_string(step)), 1u);
    }
}

// A Ctrl-C that comes as the finished output takes its name stops nothing:
// the output is whole and tolv-cli says so, with the job's own exit code.
TEST_F(RingWriters, CtrlCAtTheFinalRenameKeepsTheWholeOutput)
{
    writeWholeFile(dir.file("in.txt"), std::string(100000, 'z'));
    writeWholeFile(dir.file("alice.pass"), "alice\n");
    const std::string env = killAtStep() + "TOLV_KILL_SIGNAL=2 TOLV_KILL_AT_STEP=2";
    std::string err;
    EXPECT_EQ(cli("encode --signer alice@ --sign-only --passphrase-file '" + dir.file("alice.pass") + "' '" +
                      dir.file("in.txt") + "' '" + dir.file("out.pgp") + "'",
                  &err, env),
              0)
        << err;
    EXPECT_NE(err.find("the output is complete"), std::string::npos) << err;
    EXPECT_EQ(cli("decode '" + dir.file("out.pgp") + "' '" + dir.file("back.txt") + "'"), 0);
    EXPECT_EQ(readWholeFile(dir.file("back.txt")), std::string(100000, 'z'));
}
