// tolv-cli: round trips, exit codes and the decode report.
#include <gtest/gtest.h>

#include <ctime>
#include <sstream>

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <pty.h>

#include "tests/test_support.h"

namespace {

struct Cli : ::testing::Test {
    void SetUp() override
    {
        const std::string fx = sourceDir() + "/tests/fixtures/";
        ini = dir.file("tolv.ini");
        writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + fx + "pubring.pgp\nSecRing=" + fx + "secring.pgp\n");
        writeWholeFile(dir.file("alice.pass"), "alice\n");
        writeWholeFile(dir.file("bob.pass"), "bob\n");
        writeWholeFile(dir.file("wrong.pass"), "wrong\n");
    }
    // Runs tolv-cli; returns its exit code, standard output and error.
    int cli(const std::string& args, std::string* out = nullptr, std::string* err = nullptr)
    {
        const std::string cmd = "'" + binDir() + "/tolv-cli' --ini '" + ini + "' " + args + " > '" + dir.file("stdout") +
                                "' 2> '" + dir.file("stderr") + "'";
        int status = std::system(cmd.c_str());
        if (out)
            *out = readWholeFile(dir.file("stdout"));
        if (err)
            *err = readWholeFile(dir.file("stderr"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string f(const std::string& name) { return "'" + dir.file(name) + "'"; }
    // Rings of the test's own, which the commands change.
    void useOwnRings()
    {
        const std::string fx = sourceDir() + "/tests/fixtures/";
        writeWholeFile(dir.file("pub.pgp"), readWholeFile(fx + "pubring.pgp"));
        writeWholeFile(dir.file("sec.pgp"), readWholeFile(fx + "secring.pgp"));
        writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + dir.file("pub.pgp") + "\nSecRing=" +
                                dir.file("sec.pgp") + "\n");
        writeWholeFile(dir.file("nina.pass"), "nina pass\n");
    }
    ScratchDir dir;
    std::string ini;
};

}  // namespace

TEST_F(Cli, RoundTripBinaryAndArmoured)
{
    const std::string data = std::string("binary\0data\xff\xfe", 14) + std::string(1000, 'x');
    writeWholeFile(dir.file("in.bin"), data);
    ASSERT_EQ(cli("encode --signer alice@ --recipient bob@ --passphrase-file " + f("alice.pass") + " " + f("in.bin") +
                  " " + f("in.pgp")),
              0);
    std::string out;
    ASSERT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("in.pgp") + " " + f("back.bin"), &out), 0);
    EXPECT_TRUE(readWholeFile(dir.file("back.bin")) == data);
    EXPECT_NE(out.find("Signed by: Alice Example <alice@example.org>\n"), std::string::npos);
    EXPECT_NE(out.find("verified: 1\n"), std::string::npos);
    EXPECT_NE(out.find("Encrypted to key we have: Bob Example <bob@example.org>\n"), std::string::npos);

    ASSERT_EQ(cli("encode --armor --signer bob@ --recipient alice@ --passphrase-fd 3 " + f("in.bin") + " " + f("in.asc") +
                  " 3< " + f("bob.pass")),
              0);
    EXPECT_EQ(readWholeFile(dir.file("in.asc")).rfind("-----BEGIN PGP MESSAGE-----", 0), 0u);
}

TEST_F(Cli, ExitCodes)
{
    writeWholeFile(dir.file("in.txt"), "text");
    std::string err;
    EXPECT_EQ(cli("encode --signer alice@ --recipient bob@ --passphrase-file " + f("wrong.pass") + " " + f("in.txt") +
                      " " + f("o.pgp"),
                  nullptr, &err),
              3);
    EXPECT_NE(err.find("Encode_PGPFile: PGPEncode -11992"), std::string::npos);
    EXPECT_EQ(cli("encode --signer nobody --recipient bob@ --passphrase-file " + f("alice.pass") + " " + f("in.txt") + " " +
                  f("o.pgp")),
              4);
    EXPECT_EQ(cli("encode --signer Example --recipient bob@ --passphrase-file " + f("alice.pass") + " " + f("in.txt") + " " +
                  f("o.pgp")),
              4);
    EXPECT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("in.txt") + " " + f("o.txt")), 5);
    EXPECT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("missing") + " " + f("o.txt")), 6);
    EXPECT_EQ(cli("encode --signer alice@ --recipient bob@ --passphrase-file " + f("alice.pass") + " " + f("in.txt") +
                  " /nonexistent-dir/o.pgp"),
              6);
    // No passphrase at all: refused, nothing asked interactively.
    EXPECT_EQ(cli("encode --signer alice@ --recipient bob@ " + f("in.txt") + " " + f("o.pgp")), 3);
    EXPECT_EQ(cli("encode --passphrase hunter2 " + f("in.txt") + " " + f("o.pgp")), 2);
    EXPECT_EQ(cli("frobnicate"), 2);
    EXPECT_EQ(cli("decode only-one"), 2);
    std::string help;
    EXPECT_EQ(cli("--help", &help), 0);
    EXPECT_NE(help.find("--passphrase-fd"), std::string::npos);

    writeWholeFile(ini, "[PGP]\nDLLName=" + dir.file("none.so") + "\n");
    EXPECT_EQ(cli("keys", nullptr, &err), 6);
    EXPECT_NE(err.find("Load_PGP: PGP dll:"), std::string::npos);
}

TEST_F(Cli, ReportsMessagesMadeByGnuPGWithAVerdictFirst)
{
    GpgHome gnupg(dir.file("gnupg"));
    writeWholeFile(dir.file("plain"), "from gpg\n");
    auto make = [&](const std::string& name, const std::string& args) {
        return gnupg.gpg(args + " -o '" + dir.file(name) + "' '" + dir.file("plain") + "'") == 0;
    };
    ASSERT_TRUE(make("m.pgp", "-u alice@example.org -r bob@example.org -r carol@example.org -se"));
    std::string out, err;
    ASSERT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("m.pgp") + " " + f("m.out"), &out, &err), 0);
    EXPECT_EQ(readWholeFile(dir.file("m.out")), "from gpg\n");
    EXPECT_EQ(out.rfind("Verdict: Good signature from Alice Example <alice@example.org>\n"
                        "Signed by: Alice Example <alice@example.org>\nchecked: 1\nverified: 1\nkeyRevoked: 0\n"
                        "keyDisabled: 0\nkeyExpired: 0\nkeyMeetsValidityThreshold: 1\nkeyValidity: 3\n",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find(" Bob Example <bob@example.org>\n"), std::string::npos) << out;  // an ID with its key's name
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 13);  // verdict, 8 facts, 2 IDs, 2 names
#ifndef TOLV_UNFILTERED_STDERR
    EXPECT_EQ(err, "");  // librnp's own diagnostics stay out of sight
#endif

    // A hidden recipient (gpg --throw-keyids) still decrypts.
    ASSERT_TRUE(make("hidden.pgp", "--throw-keyids -r bob@example.org -e"));
    ASSERT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("hidden.pgp") + " " + f("h.out"), &out), 0);
    EXPECT_EQ(readWholeFile(dir.file("h.out")), "from gpg\n");
    EXPECT_NE(out.find("Verdict: Not signed\n"), std::string::npos);
    EXPECT_NE(out.find("Encrypted to: hidden recipient\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Encrypted to key we have: Bob Example <bob@example.org>\n"), std::string::npos);
    EXPECT_EQ(cli("decode --passphrase-file " + f("wrong.pass") + " " + f("hidden.pgp") + " " + f("h.out")), 3);

    // A signature that does not hold, or cannot be checked, has its own exit code.
    ASSERT_TRUE(make("clear.asc", "-u alice@example.org --clearsign"));
    std::string text = readWholeFile(dir.file("clear.asc"));
    text.replace(text.find("from gpg"), 8, "From gpg");
    writeWholeFile(dir.file("bad.asc"), text);
    EXPECT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("bad.asc") + " " + f("b.out"), &out), 7);
    EXPECT_EQ(out.rfind("Verdict: Bad signature from Alice Example <alice@example.org>: the text was changed after it "
                        "was signed\n", 0),
              0u);
    ASSERT_TRUE(make("two.asc", "-u alice@example.org -u olga@example.org --clearsign"));
    EXPECT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("two.asc") + " " + f("t.out"), &out), 8);
    EXPECT_NE(out.find("\nVerdict: Signed by an unknown key 0x"), std::string::npos) << out;
    EXPECT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("in-missing") + " " + f("t.out"), &out), 6);
}

TEST_F(Cli, ListsTheKeyTree)
{
    std::string out;
    ASSERT_EQ(cli("keys --order 14", &out), 0);
    EXPECT_EQ(out.rfind("1\tLeap Day <leap@example.org>\t2048\tRSA public key\t0x", 0), 0u) << out.substr(0, 200);
    EXPECT_NE(out.find("\t29.02.2000\n"), std::string::npos);
    EXPECT_NE(out.find("1\tRex Revoked <rex@example.org>\t2048\tRevoked RSA key pair"), std::string::npos);

    // A damaged key is left out with a warning; the others are listed.
    const std::string fx = sourceDir() + "/tests/fixtures/";
    writeWholeFile(dir.file("damaged.pgp"), withDamagedKey(readWholeFile(fx + "pubring.pgp"), 2));
    writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + dir.file("damaged.pgp") + "\nSecRing=" + fx + "secring.pgp\n");
    std::string err;
    ASSERT_EQ(cli("keys", &out, &err), 0);
    EXPECT_NE(err.find("PGP_LoadRings: Damaged keys left out: 1 in " + dir.file("damaged.pgp")), std::string::npos) << err;
    EXPECT_NE(out.find("Rex Revoked"), std::string::npos);
}

TEST_F(Cli, NeedsNoGuiLibrary)
{
    std::string libraries;
    ASSERT_EQ(runShell("ldd '" + binDir() + "/tolv-cli'", &libraries), 0);
    EXPECT_NE(libraries.find("libQt6Core"), std::string::npos);
    for (const char* gui : {"libQt6Gui", "libQt6Widgets", "libQt6PrintSupport"})
        EXPECT_EQ(libraries.find(gui), std::string::npos) << gui;
}

TEST_F(Cli, PhotoIdsAreListedAsPhotoNotAsBytes)
{
    GpgHome gnupg(dir.file("gnupg"));
    writeWholeFile(dir.file("photo.jpg"), std::string("\xff\xd8\xff\xe0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0\xff\xd9", 22));
    ASSERT_EQ(runShell("printf 'addphoto\\n" + dir.file("photo.jpg") + "\\ny\\nsave\\n' | gpg --homedir '" + gnupg.home +
                       "' --batch --no-tty --command-fd 0 --pinentry-mode loopback --passphrase alice --edit-key "
                       "alice@example.org 2>/dev/null"),
              0);
    ASSERT_EQ(gnupg.gpg("--export alice@example.org > '" + dir.file("photo-ring.pgp") + "'"), 0);
    writeWholeFile(dir.file("empty.pgp"), "");
    writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + dir.file("photo-ring.pgp") + "\nSecRing=" +
                            dir.file("empty.pgp") + "\n");
    std::string out;
    ASSERT_EQ(cli("keys", &out), 0);
    EXPECT_NE(out.find("\n2\t(photo)\t"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("1\tAlice Example <alice@example.org>\t", 0), 0u);
    EXPECT_EQ(out.find("JFIF"), std::string::npos);
}

TEST_F(Cli, BadArgumentsAndPassphraseFilesAreToldApart)
{
    writeWholeFile(dir.file("in.txt"), "text");
    writeWholeFile(dir.file("empty.pass"), "");
    writeWholeFile(dir.file("nul.pass"), std::string("a\0b\n", 4));
    writeWholeFile(dir.file("long.pass"), std::string(2000, 'p'));
    mkfifo(dir.file("fifo").c_str(), 0600);
    const std::string decode = "decode --passphrase-file ";
    struct Row {
        std::string args;
        int code;
        const char* says;
    };
    const Row rows[] = {
        {decode + f("empty.pass") + " " + f("in.txt") + " " + f("o"), 3, "it is empty"},
        {decode + f("missing.pass") + " " + f("in.txt") + " " + f("o"), 6, "No such file"},
        {decode + f("nul.pass") + " " + f("in.txt") + " " + f("o"), 3, "zero byte"},
        {decode + f("long.pass") + " " + f("in.txt") + " " + f("o"), 3, "longer than 1024 bytes"},
        {decode + "/dev/zero " + f("in.txt") + " " + f("o"), 3, "longer than 1024 bytes"},
        {"decode --passphrase-fd abc " + f("in.txt") + " " + f("o"), 2, "file descriptor number"},
        {"keys --order abc", 2, "--order needs one of"},
        {"keys --order 9999", 2, "--order needs one of"},
        {"decode --passphrase=hunter2 " + f("in.txt") + " " + f("o"), 2, "not taken from the command line"},
        {decode + f("bob.pass") + " " + f("fifo") + " " + f("o"), 6, "NOT A REGULAR FILE"},
        {decode + f("bob.pass") + " /proc/self/status " + f("o"), 6, "NOT A REGULAR FILE"},
    };
    for (const Row& row : rows) {
        std::string err;
        EXPECT_EQ(cli(row.args, nullptr, &err), row.code) << row.args;
        EXPECT_NE(err.find(row.says), std::string::npos) << row.args << "\n" << err;
        EXPECT_EQ(err.find("hunter2"), std::string::npos);
    }
    // A ring that is a pipe is refused, not waited on.
    writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + dir.file("fifo") + "\nSecRing=" + dir.file("fifo") + "\n");
    std::string err;
    EXPECT_EQ(cli("keys", nullptr, &err), 6);
    EXPECT_NE(err.find("PGPOpenKeyRingPair"), std::string::npos) << err;
    EXPECT_NE(err.find("-11995"), std::string::npos) << err;
    // A bare --ini name is the file in the current folder (whose rings are the pipe).
    std::system(("cd '" + dir.path() + "' && '" + binDir() + "/tolv-cli' --ini tolv.ini keys >/dev/null 2>bare.err").c_str());
    EXPECT_NE(readWholeFile(dir.file("bare.err")).find("-11995"), std::string::npos);
}

TEST_F(Cli, AttackerSizedWorkIsBounded)
{
    GpgHome gnupg(dir.file("gnupg"));
    writeWholeFile(dir.file("pw.pass"), "pw\n");
    // 100 MiB of zeros in a few hundred bytes: stopped at 64 MiB, nothing written.
    ASSERT_EQ(runShell("head -c 100M /dev/zero > '" + dir.file("zeros") + "'"), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase pw --compress-algo bzip2 -c -o '" + dir.file("bomb.pgp") + "' '" + dir.file("zeros") + "'"),
              0);
    std::string err;
    EXPECT_EQ(cli("decode --passphrase-file " + f("pw.pass") + " " + f("bomb.pgp") + " " + f("bomb.out"), nullptr, &err), 5);
    EXPECT_NE(err.find("PGPDecode -11976"), std::string::npos) << err;
    EXPECT_NE(access(dir.file("bomb.out").c_str(), F_OK), 0);

    // Twenty password packets are refused before one costs a key derivation.
    writeWholeFile(dir.file("p"), "hi\n");
    ASSERT_EQ(gnupg.gpg("--passphrase pw -c -o '" + dir.file("sym.pgp") + "' '" + dir.file("p") + "'"), 0);
    const std::string sym = readWholeFile(dir.file("sym.pgp"));
    // The password packet is short: one header byte and one length byte, in either format.
    const std::size_t first = 2 + static_cast<unsigned char>(sym[1]);
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += sym.substr(0, first);
    writeWholeFile(dir.file("many.pgp"), many + sym.substr(first));
    writeWholeFile(dir.file("few.pgp"), sym.substr(0, first) + sym.substr(0, first) + sym.substr(first));
    EXPECT_EQ(cli("decode --passphrase-file " + f("pw.pass") + " " + f("many.pgp") + " " + f("m.out"), nullptr, &err), 5);
    EXPECT_NE(err.find("-11991"), std::string::npos) << err;
    EXPECT_EQ(cli("decode --passphrase-file " + f("pw.pass") + " " + f("few.pgp") + " " + f("f.out")), 0);
    EXPECT_EQ(readWholeFile(dir.file("f.out")), "hi\n");

    // Nine session keys for one's own key, the first eight damaged, still
    // decode: the passphrase is bounded by keys asked for, not by calls.
    ASSERT_EQ(gnupg.gpg("-r bob@example.org -e -o '" + dir.file("bob.pgp") + "' '" + dir.file("p") + "'"), 0);
    const std::string toBob = readWholeFile(dir.file("bob.pgp"));
    const std::size_t pkesk = 2 + static_cast<unsigned char>(toBob[1]);
    std::string nine;
    for (int i = 0; i < 9; ++i) {
        std::string copy = toBob.substr(0, pkesk);
        if (i < 8)
            copy[pkesk - 2] = static_cast<char>(copy[pkesk - 2] ^ 0x5a);
        nine += copy;
    }
    writeWholeFile(dir.file("nine.pgp"), nine + toBob.substr(pkesk));
    EXPECT_EQ(cli("decode --passphrase-file " + f("bob.pass") + " " + f("nine.pgp") + " " + f("n.out")), 0);
    EXPECT_EQ(readWholeFile(dir.file("n.out")), "hi\n");
}

TEST_F(Cli, CtrlCStopsALongDecodeAndWritesNothing)
{
    writeWholeFile(dir.file("big.bin"), randomBytes(64 << 20, 4));
    ASSERT_EQ(cli("encode --signer alice@ --recipient bob@ --passphrase-file " + f("alice.pass") + " " + f("big.bin") +
                  " " + f("big.pgp")),
              0);
    // On a terminal the job shows its percent; Ctrl-C comes once it has.
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string exe = binDir() + "/tolv-cli", pass = dir.file("bob.pass"), in = dir.file("big.pgp"),
                          out = dir.file("never.bin");
        execl(exe.c_str(), exe.c_str(), "--ini", ini.c_str(), "decode", "--passphrase-file", pass.c_str(), in.c_str(),
              out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    char buf[256];
    for (ssize_t n; seen.find("Decoding... ") == std::string::npos && (n = read(terminal, buf, sizeof buf)) > 0;)
        seen.append(buf, static_cast<std::size_t>(n));
    kill(pid, SIGINT);
    for (ssize_t n; (n = read(terminal, buf, sizeof buf)) > 0;)  // until the program has gone
        seen.append(buf, static_cast<std::size_t>(n));
    int status = 0;
    waitpid(pid, &status, 0);
    close(terminal);
    ASSERT_TRUE(WIFEXITED(status)) << seen;
    EXPECT_EQ(WEXITSTATUS(status), 130) << seen;
    EXPECT_NE(access(dir.file("never.bin").c_str(), F_OK), 0);
}

TEST_F(Cli, FingerprintAndExportOfOneKey)
{
    std::string fingerprint, err;
    ASSERT_EQ(cli("fingerprint bob@", &fingerprint), 0);
    ASSERT_EQ(fingerprint.size(), 41u);
    ASSERT_EQ(cli("export --armor bob@ " + f("bob.asc")), 0);
    GpgHome gnupg(dir.file("gnupg"), false);
    ASSERT_EQ(gnupg.gpg("--import '" + dir.file("bob.asc") + "'"), 0);
    std::string listing;
    ASSERT_EQ(gnupg.gpg("--with-colons --list-keys bob@example.org", &listing), 0);
    EXPECT_NE(listing.find(":" + fingerprint.substr(0, 40) + ":"), std::string::npos) << listing;

    EXPECT_EQ(cli("fingerprint Example", nullptr, &err), 4);  // more than one key
    EXPECT_NE(err.find("Fingerprint: Ambiguous key choice: Example"), std::string::npos) << err;
    EXPECT_EQ(cli("export --secret carol@ " + f("carol.sec")), 4);  // no secret part
    EXPECT_NE(access(dir.file("carol.sec").c_str(), F_OK), 0);
    EXPECT_EQ(cli("export bob@ /nonexistent-dir/bob.pgp"), 6);
    EXPECT_EQ(cli("export bob@"), 2);
}

#ifdef TOLV_TEST_PATCHED_LIBRNP
// A v6 key (sq 1.x) is imported and shown with its 64-digit fingerprint in
// groups of four; ed25519-v6 makes one, and the default stays a v4 key.
TEST_F(Cli, V6KeysAreImportedShownAndMadeWhenAskedFor)
{
    useOwnRings();
    ASSERT_EQ(cli("import '" + sourceDir() + "/tests/fixtures/rfc9580/vera-public.pgp'"), 0);
    std::string fingerprint, out;
    ASSERT_EQ(cli("fingerprint vera@", &fingerprint), 0);
    ASSERT_EQ(fingerprint.size(), 65u) << fingerprint;
    cli("verify-key vera@ --signer alice@ --passphrase-file " + f("alice.pass"), &out);
    std::string grouped;
    for (std::size_t i = 0; i < 64; i += 4)
        grouped += (i ? " " : "") + fingerprint.substr(i, 4);
    EXPECT_EQ(out, "fingerprint\t" + grouped + "\n");
    std::string err;
    ASSERT_EQ(cli("generate --name Nova --email nova@example.org --algorithm ed25519-v6 --passphrase-file " +
                      f("nina.pass"), &out, &err),
              0);
    EXPECT_EQ(out.size(), 65u) << out;
    // Its revocation certificate is made too (the key is found by its long fingerprint).
    EXPECT_EQ(access(dir.file("revocations/" + out.substr(0, 64) + ".rev").c_str(), F_OK), 0) << err;
    ASSERT_EQ(cli("generate --name Vic --email vic@example.org --passphrase-file " + f("nina.pass"), &out), 0);
    EXPECT_EQ(out.size(), 41u) << out;
}
#endif

TEST_F(Cli, KeyCommandsWithGnuPGAsThePeer)
{
    useOwnRings();
    const std::string fx = sourceDir() + "/tests/fixtures/";
    writeWholeFile(dir.file("new.pass"), "new nina\n");
    std::string out, err, keysBefore, keysAfter;
    ASSERT_EQ(cli("keys", &keysBefore), 0);
    ASSERT_EQ(cli("generate --name Nina --email nina@example.org --expires 30 --passphrase-file " + f("nina.pass"),
                  &out, &err),
              0)
        << err;
    ASSERT_EQ(out.size(), 41u);
    EXPECT_TRUE(readWholeFile(dir.file("pub.pgp.bak")) == readWholeFile(fx + "pubring.pgp"));

    // gpg takes the exported keys: it encrypts to Nina and signs as her.
    GpgHome gnupg(dir.file("gnupg"));  // knows Alice, who signs below
    ASSERT_EQ(cli("export --armor nina@ " + f("nina.asc")), 0);
    writeWholeFile(dir.file("nina.sec"), "");
    ::chmod(dir.file("nina.sec").c_str(), 0644);
    ASSERT_EQ(cli("export --secret 0x" + out.substr(24, 16) + " " + f("nina.sec")), 0);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("nina.sec").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "secret key material open to others";
    ASSERT_EQ(::stat(dir.file("nina.asc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0600, 0600u);
    ASSERT_EQ(gnupg.gpg("--import '" + dir.file("nina.asc") + "'"), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase 'nina pass' --import '" + dir.file("nina.sec") + "'"), 0);
    writeWholeFile(dir.file("note"), "for nina\n");
    ASSERT_EQ(gnupg.gpg("--passphrase 'nina pass' -u nina@example.org -r nina@example.org -s -e -o '" +
                        dir.file("note.pgp") + "' '" + dir.file("note") + "'"),
              0);
    ASSERT_EQ(cli("decode --passphrase-file " + f("nina.pass") + " " + f("note.pgp") + " " + f("note.out"), &out), 0);
    EXPECT_EQ(out.rfind("Verdict: Good signature", 0), 0u) << out;
    EXPECT_EQ(readWholeFile(dir.file("note.out")), "for nina\n");

    // A new passphrase: the old one no longer opens the message.
    EXPECT_EQ(cli("passwd nina@ --passphrase-file " + f("wrong.pass") + " --new-passphrase-file " + f("new.pass")), 3);
    ASSERT_EQ(cli("passwd nina@ --passphrase-file " + f("nina.pass") + " --new-passphrase-file " + f("new.pass")), 0);
    EXPECT_EQ(cli("decode --passphrase-file " + f("nina.pass") + " " + f("note.pgp") + " " + f("x")), 3);
    EXPECT_EQ(cli("decode --passphrase-file " + f("new.pass") + " " + f("note.pgp") + " " + f("x")), 0);

    // gpg's own key comes in and is used as a recipient at once.
    ASSERT_EQ(gnupg.gpg("--passphrase '' --quick-gen-key 'Gus <gus@example.org>' future-default default never"), 0);
    ASSERT_EQ(gnupg.gpg("-o '" + dir.file("gus.pgp") + "' --export gus@example.org"), 0);
    ASSERT_EQ(cli("import " + f("gus.pgp") + " " + f("nina.asc"), &out), 0);
    EXPECT_EQ(out, "imported: 1 new, 0 updated, 1 unchanged\n");
    ASSERT_EQ(cli("encode --signer alice@ --recipient gus@ --passphrase-file " + f("alice.pass") + " " + f("note") + " " +
                  f("gus.msg"), &out, &err),
              0) << err;
    ASSERT_EQ(gnupg.gpg("-d '" + dir.file("gus.msg") + "'", &out), 0);
    EXPECT_EQ(out, "for nina\n");

    // Garbage and half-asked deletions change nothing.
    const std::string before = readWholeFile(dir.file("pub.pgp"));
    EXPECT_EQ(cli("import " + f("note"), &out, &err), 5);
    EXPECT_NE(err.find("No OpenPGP key could be read"), std::string::npos) << err;
    EXPECT_EQ(out, "") << "no counts for a file that was not read";
    EXPECT_EQ(cli("delete nina@"), 2);
    EXPECT_EQ(cli("delete --yes nina@"), 4);
    EXPECT_TRUE(readWholeFile(dir.file("pub.pgp")) == before);
    ASSERT_EQ(cli("delete --secret --yes nina@"), 0);
    ASSERT_EQ(cli("delete --yes gus@"), 0);
    EXPECT_EQ(cli("fingerprint nina@"), 4);
    ASSERT_EQ(cli("keys", &keysAfter), 0);
    EXPECT_EQ(keysAfter, keysBefore);
}

TEST_F(Cli, SignatureModesSeveralRecipientsAndVerify)
{
    GpgHome gnupg(dir.file("gnupg"));
    writeWholeFile(dir.file("tarball"), "release 1.0\n");
    writeWholeFile(dir.file("pw"), "open sesame\n");
    std::string out, err;

    // gpg's detached signature holds in Tolv; changed data does not (exit 7).
    ASSERT_EQ(gnupg.gpg("--passphrase alice -u alice@example.org -b -o '" + dir.file("tarball.sig") + "' '" +
                        dir.file("tarball") + "'"),
              0);
    ASSERT_EQ(cli("verify " + f("tarball.sig") + " " + f("tarball"), &out), 0);
    EXPECT_EQ(out.rfind("Verdict: Good signature from Alice Example", 0), 0u) << out;
    writeWholeFile(dir.file("changed"), "release 1.1\n");
    EXPECT_EQ(cli("verify " + f("tarball.sig") + " " + f("changed"), &out), 7);
    EXPECT_EQ(out.rfind("Verdict: Bad signature", 0), 0u) << out;
    EXPECT_EQ(cli("verify " + f("tarball") + " " + f("tarball")), 5);  // no signature at all

    // Tolv's clear-signed text and detached signature hold in gpg.
    const std::string pass = " --passphrase-file " + f("alice.pass") + " ";
    ASSERT_EQ(cli("encode --signer alice@ --clear-sign" + pass + f("tarball") + " " + f("clear.asc")), 0);
    EXPECT_EQ(gnupg.gpg("--verify '" + dir.file("clear.asc") + "'"), 0);
    ASSERT_EQ(cli("encode --signer alice@ --detached --armor" + pass + f("tarball") + " " + f("tolv.sig")), 0);
    EXPECT_EQ(gnupg.gpg("--verify '" + dir.file("tolv.sig") + "' '" + dir.file("tarball") + "'"), 0);

    // To Bob and Carol and to the sender: gpg reads it as Bob, Tolv as Alice.
    // Bob named twice and Alice among the recipients too: one session key
    // packet for each key.
    ASSERT_EQ(cli("encode --signer alice@ --recipient bob@ --recipient carol@ --recipient bob@ --recipient alice@ "
                  "--encrypt-to-self" + pass + f("tarball") + " " + f("three.pgp")),
              0);
    ::mkdir(dir.file("empty-home").c_str(), 0700);
    runShell("gpg --homedir '" + dir.file("empty-home") + "' --list-packets '" + dir.file("three.pgp") + "' 2>/dev/null",
             &out);
    std::size_t packets = 0;
    for (auto at = out.find(":pubkey enc packet:"); at != std::string::npos; at = out.find(":pubkey enc packet:", at + 1))
        ++packets;
    EXPECT_EQ(packets, 3u) << out;
    ASSERT_EQ(gnupg.gpg("--passphrase bob --try-secret-key bob@example.org -d '" + dir.file("three.pgp") + "'", &out), 0);
    EXPECT_EQ(out, "release 1.0\n");
    ASSERT_EQ(cli("decode" + pass + f("three.pgp") + " " + f("three.out"), &out), 0);
    EXPECT_EQ(readWholeFile(dir.file("three.out")), "release 1.0\n");

    // A password only, which gpg opens.
    ASSERT_EQ(cli("encode --symmetric --passphrase-file " + f("pw") + " " + f("tarball") + " " + f("pw.pgp")), 0);
    ASSERT_EQ(gnupg.gpg("--passphrase 'open sesame' -d '" + dir.file("pw.pgp") + "'", &out), 0);
    EXPECT_EQ(out, "release 1.0\n");

    EXPECT_EQ(cli("encode --signer alice@ --recipient bob@ --detached" + pass + f("tarball") + " " + f("x"), nullptr, &err), 2);
    EXPECT_NE(err.find("--recipient does not go with"), std::string::npos) << err;
    EXPECT_EQ(cli("encode --clear-sign" + pass + f("tarball") + " " + f("x")), 2);
}

// A key pair looked after from the shell: each edit as gpg reads it, a
// wrong passphrase changing nothing, the local certification of a checked
// key, and the revocation certificate made at generation.
TEST_F(Cli, KeyPairUpkeep)
{
#ifndef TOLV_TEST_PATCHED_LIBRNP
    GTEST_SKIP() << "the system's librnp cannot edit user IDs, certify locally or state Features";
#endif
    useOwnRings();
    std::string out, err;
    ASSERT_EQ(cli("generate --name Nina --email nina@example.org --passphrase-file " + f("nina.pass"), &out, &err), 0);
    const std::string fingerprint = out.substr(0, 40), rev = dir.file("revocations/" + fingerprint + ".rev");
    EXPECT_NE(err.find("the revocation certificate is in " + rev), std::string::npos) << err;
    struct stat st {};
    ASSERT_EQ(::stat(rev.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string pass = " --passphrase-file " + f("nina.pass");
    const std::string before = readWholeFile(dir.file("sec.pgp"));
    EXPECT_EQ(cli("adduid nina@ 'Nina W <nina@work.example>' --passphrase-file " + f("wrong.pass")), 3);
    EXPECT_EQ(readWholeFile(dir.file("sec.pgp")), before);
    ASSERT_EQ(cli("expire nina@ 400" + pass), 0);
    ASSERT_EQ(cli("adduid nina@ 'Nina W <nina@work.example>'" + pass), 0);
    ASSERT_EQ(cli("primary nina@ 'Nina W <nina@work.example>'" + pass), 0);
    ASSERT_EQ(cli("revuid nina@work 'Nina <nina@example.org>' --reason moved" + pass), 0);
    EXPECT_EQ(cli("primary nina@work 'Nobody <no@example.org>'" + pass), 4);
    ASSERT_EQ(cli("addkey nina@work --usage sign --expires 30" + pass, &out, &err), 0) << err;
    // Nina's key as gpg lists it, and a field of one of its lines.
    auto ninaListed = [&] {
        std::string listed;
        runShell("gpg --with-colons --show-keys '" + dir.file("pub.pgp") + "' 2>/dev/null", &listed);
        std::string key = listed.substr(listed.rfind("pub:", listed.find(fingerprint)));
        return key.substr(0, key.find("\npub:"));
    };
    auto field = [](const std::string& text, const std::string& linePrefix, int n) {
        std::stringstream line(text.substr(text.find(linePrefix)));
        std::string f;
        for (int i = 0; i <= n; ++i)
            std::getline(line, f, ':');
        return f;
    };
    const std::string ecdh = field(ninaListed(), "sub:-:255:18:", 4);  // the encryption subkey's key ID
    ASSERT_EQ(cli("revkey nina@work " + ecdh + " --reason superseded" + pass, &out, &err), 0) << err;
    const std::string key = ninaListed();
    ASSERT_FALSE(field(key, "pub:", 6).empty()) << key;
    EXPECT_NEAR(std::stod(field(key, "pub:", 6)) - static_cast<double>(std::time(nullptr)), 400.0 * 86400, 120.0) << key;
    EXPECT_LT(key.find("Nina W <nina@work.example>"), key.find("Nina <nina@example.org>")) << key;  // primary first
    EXPECT_NE(key.find("\nuid:r:"), std::string::npos) << key;
    EXPECT_NE(key.find("\nsub:r:255:18:"), std::string::npos) << key;
    EXPECT_NE(key.find(":s:::::ed25519:"), std::string::npos) << key;  // the signing subkey

    // sq reads the same: the expiry, and why the old user ID went.
    std::string inspected;
    runShell("sq inspect '" + dir.file("pub.pgp") + "' 2>/dev/null", &inspected);
    const std::string byNina = inspected.substr(inspected.find(fingerprint));
    EXPECT_NE(byNina.find("(creation time + P400D"), std::string::npos) << byNina;
    EXPECT_NE(byNina.find("User ID information is no longer valid"), std::string::npos) << byNina;
    EXPECT_NE(byNina.find("Message: \"moved\""), std::string::npos) << byNina;

    // Olga's signature reads as good without "not certified" once Alice
    // verified her key.
    GpgHome signer(dir.file("gnupg-olga"));  // holds Olga's secret key
    writeWholeFile(dir.file("olga.txt"), "from olga\n");
    ASSERT_EQ(signer.gpg("-u olga@example.org -s -o '" + dir.file("olga.sig") + "' '" + dir.file("olga.txt") + "'"), 0);
    ASSERT_EQ(cli("import '" + sourceDir() + "/tests/fixtures/olga-public.asc'"), 0);
    ASSERT_EQ(cli("decode " + f("olga.sig") + " " + f("olga.out"), &out), 0);
    EXPECT_NE(out.find("but the key is not certified"), std::string::npos) << out;
    ASSERT_EQ(cli("verify-key olga@ --signer alice@ --yes --passphrase-file " + f("alice.pass")), 0);
    ASSERT_EQ(cli("decode " + f("olga.sig") + " " + f("olga.out"), &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "Verdict: Good signature from Olga Outsider <olga@example.org>") << out;

    // Carol checked: her key counts as verified, and stays so only here.
    EXPECT_EQ(cli("verify-key carol@ --signer alice@ --passphrase-file " + f("alice.pass"), &out), 2);
    EXPECT_EQ(out.rfind("fingerprint\t", 0), 0u);
    ASSERT_EQ(cli("verify-key carol@ --signer alice@ --yes --passphrase-file " + f("alice.pass")), 0);
    ASSERT_EQ(cli("export carol@ " + f("carol.pgp")), 0);
    std::string packets;
    runShell("gpg --list-packets '" + dir.file("carol.pgp") + "' 2>/dev/null", &packets);
    EXPECT_EQ(packets.find("sigclass 0x10"), std::string::npos) << packets;

    // The certificate made at generation revokes the key, in gpg and here.
    GpgHome gnupg(dir.file("gnupg"), false);
    ASSERT_EQ(gnupg.gpg("--import '" + dir.file("pub.pgp") + "' '" + rev + "'"), 0);
    std::string listed;
    gnupg.gpg("--with-colons --list-keys " + fingerprint, &listed);
    EXPECT_NE(listed.find("\npub:r:"), std::string::npos) << listed;
    ASSERT_EQ(cli("import '" + rev + "'", &out), 0);
    EXPECT_EQ(out, "imported: 0 new, 1 updated, 0 unchanged\n");
    ASSERT_EQ(cli("keys", &out), 0);
    EXPECT_NE(out.find("Revoked ECC key pair\t0x" + fingerprint.substr(24)), std::string::npos) << out;
}

// A recipient group from the shell: --recipient NAME encrypts to each
// member, as gpg sees; members come and go; a bad name is a usage error.
TEST_F(Cli, RecipientGroups)
{
    useOwnRings();
    std::string out, err;
    ASSERT_EQ(cli("group add Team alice@ bob@", &out, &err), 0) << err;
    EXPECT_EQ(cli("group add 'a;b' alice@"), 2);
    EXPECT_EQ(cli("group add Team nobody@"), 4);
    ASSERT_EQ(cli("group list", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\t'), 2) << out;
    writeWholeFile(dir.file("note"), "for the team\n");
    ASSERT_EQ(cli("encode --signer alice@ --recipient team --passphrase-file " + f("alice.pass") + " " + f("note") + " " +
                  f("note.pgp"), &out, &err), 0) << err;
    // One session key for each member's encryption subkey, and gpg reads it.
    std::string packets;
    runShell("gpg --list-packets '" + dir.file("note.pgp") + "' 2>/dev/null", &packets);
    GpgHome gnupg(dir.file("gnupg"));
    for (const char* member : {"alice@example.org", "bob@example.org"}) {
        std::string listed;
        gnupg.gpg(std::string("--with-colons --list-keys ") + member, &listed);
        const auto sub = listed.find("\nsub:");
        ASSERT_NE(sub, std::string::npos) << listed;
        std::stringstream line(listed.substr(sub + 1));
        std::string field;
        for (int i = 0; i <= 4; ++i)
            std::getline(line, field, ':');
        EXPECT_NE(packets.find("keyid " + field), std::string::npos) << member << "\n" << packets;
    }
    ASSERT_EQ(gnupg.gpg("-d '" + dir.file("note.pgp") + "'", &out), 0);
    EXPECT_EQ(out, "for the team\n");
    ASSERT_EQ(cli("group remove Team alice@"), 0);
    ASSERT_EQ(cli("group list", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\t'), 1) << out;
    ASSERT_EQ(cli("group remove Team"), 0);
    ASSERT_EQ(cli("group list", &out), 0);
    EXPECT_EQ(out, "");
}

// Several files at once into an output folder: a folder as one archive, an
// existing output kept unless --yes, decoded under the name the message
// carries, and one exit code for the worst file.
TEST_F(Cli, BatchIntoAnOutputFolder)
{
    ASSERT_EQ(runShell("mkdir -p " + f("box/in") + " " + f("out") + " " + f("back")), 0);
    writeWholeFile(dir.file("one.txt"), "one\n");
    writeWholeFile(dir.file("box/in/two.txt"), "two\n");
    const std::string encode = "encode --recipient alice@ --output-dir " + f("out") + " ";
    std::string out;
    ASSERT_EQ(cli(encode + f("one.txt") + " " + f("box"), &out), 0);
    EXPECT_NE(out.find(dir.file("one.txt") + " -> " + dir.file("out/one.txt.gpg") + ": done\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" -> " + dir.file("out/box.tar.gpg") + ": done\n"), std::string::npos) << out;
    const std::string before = readWholeFile(dir.file("out/one.txt.gpg"));
    EXPECT_EQ(cli(encode + f("one.txt"), &out), 6);
    EXPECT_NE(out.find("skipped"), std::string::npos);
    EXPECT_TRUE(readWholeFile(dir.file("out/one.txt.gpg")) == before);
    EXPECT_EQ(cli(encode + "--yes " + f("one.txt")), 0);
    EXPECT_FALSE(readWholeFile(dir.file("out/one.txt.gpg")) == before);

    // gpg keeps the input's name in the message; Tolv decodes into it.
    GpgHome gnupg(dir.file("gnupg"));
    ASSERT_EQ(gnupg.gpg("-e -r alice -o " + f("out/mail.gpg") + " " + f("one.txt")), 0);
    writeWholeFile(dir.file("out/junk.gpg"), "not a message");
    const std::string decode = "decode --passphrase-file " + f("alice.pass") + " --output-dir " + f("back") + " ";
    ASSERT_EQ(cli(decode + f("out/one.txt.gpg") + " " + f("out/box.tar.gpg") + " " + f("out/mail.gpg"), &out), 6) << out;
    EXPECT_EQ(readWholeFile(dir.file("back/one.txt")), "one\n");
    EXPECT_EQ(runShell("tar -xf " + f("back/box.tar") + " -C " + f("back") + " && cmp " + f("back/box/in/two.txt") + " " +
                       f("box/in/two.txt")),
              0);
    EXPECT_NE(out.find(dir.file("out/mail.gpg") + " -> " + dir.file("back/one.txt") + ": skipped"), std::string::npos) << out;
    ASSERT_EQ(cli(decode + "--yes " + f("out/mail.gpg") + " " + f("out/junk.gpg") + " " + f("out/one.txt.gpg"), &out), 5);
    EXPECT_NE(out.find("junk.gpg -> " + dir.file("back/junk") + ": failed\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Verdict: Not signed"), std::string::npos) << out;
    EXPECT_EQ(cli("decode --output-dir " + f("missing") + " " + f("out/mail.gpg")), 6);
    EXPECT_EQ(cli("decode --output-dir " + f("back")), 2);
}
