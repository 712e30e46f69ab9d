// tolv-cli: Tolv's encode, decode and key listing without windows, for
// scripts and batch work. It runs the same code as the windows, with every
// prompt answered from its options and every message written to standard
// error.
#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "core/app_config.h"
#include "cli/cli_options.h"
#include "core/file_io.h"
#include "core/first_start.h"
#include "core/path_text.h"
#include "cli/cli_files.h"
#include "cli/cli_frontend.h"
#include "core/ini_scan.h"
#include "core/shared_passphrase.h"
#include "platform/file_access.h"
#include "platform/stderr_filter.h"
#include "sdk/decode_buffer.h"
#include "sdk/decode_verdict.h"
#include "sdk/encode_buffer.h"
#include "sdk/encode_modes.h"
#include "sdk/sdk_session.h"
#include "sdk/key_changes.h"
#include "sdk/key_commands.h"
#include "sdk/key_tree.h"
#include "tolv_version.h"

namespace {

enum Exit {
    Ok = 0,
    Failure = 1,
    Usage = 2,
    BadPassphrase = 3,
    MissingKey = 4,
    BadInput = 5,
    IoFailure = 6,
    BadSignature = 7,
    UncheckedSignature = 8,
    Interrupted = 130,  // Ctrl-C, as shells count it
};

const char* const kHelp = R"(Usage:
  tolv-cli [--ini FILE] encode --signer TEXT --recipient TEXT [--armor] [PASS] IN OUT
  tolv-cli [--ini FILE] encode [--signer TEXT] [--recipient TEXT]... [--encrypt-to-self]
                               [--sign-only|--clear-sign|--detached|--symmetric] [--armor] [PASS] IN OUT
  tolv-cli [--ini FILE] verify SIGNATURE DATA
  tolv-cli [--ini FILE] decode [PASS] IN OUT
  tolv-cli [--ini FILE] keys [--order N]
  tolv-cli [--ini FILE] fingerprint TEXT
  tolv-cli [--ini FILE] export [--armor] [--secret] TEXT OUT
  tolv-cli [--ini FILE] generate --name NAME --email EMAIL [--algorithm ed25519|rsa3072|rsa4096]
                                 [--expires DAYS|never] PASS
  tolv-cli [--ini FILE] import FILE...
  tolv-cli [--ini FILE] delete [--secret] --yes TEXT
  tolv-cli [--ini FILE] passwd TEXT --passphrase-file OLD --new-passphrase-file NEW
  tolv-cli --help
  tolv-cli --version

Signs and encrypts, or decrypts and verifies, with the key rings and the SDK
library named in the settings file (default: tolv.ini in the current folder).

  PASS is --passphrase-fd N or --passphrase-file F (see below)

  --ini FILE             the settings file (a bare name is in the current
                         folder; /W is ~/.config/tolv/tolv.ini)
  --signer TEXT          part of the signing key pair's user ID (one key must match)
  --recipient TEXT       part of the recipient key's user ID (one key must match);
                         given several times, the message goes to each; without
                         --signer the message is encrypted only
  --encrypt-to-self      the signer's key is a recipient too
  --sign-only            a signed message, not encrypted
  --clear-sign           a clear-signed text
  --detached             a detached signature of IN
  --symmetric            encrypted to a password only: PASS is the password
  --armor                ASCII-armoured output
  --secret               export the secret key (still protected by its passphrase);
                         delete a key pair, secret key and all
  --name NAME, --email EMAIL   the new key's user ID, "NAME <EMAIL>"
  --algorithm A          ed25519 (default: Ed25519 signing key with a Curve25519
                         encryption subkey), rsa3072 or rsa4096
  --expires DAYS|never   the new key's lifetime (default 1095 days)
  --yes                  confirms delete
  --new-passphrase-file F  the new passphrase for passwd (first line)
  --passphrase-fd N      read the passphrase from file descriptor N (first
                         line, at most 1024 bytes)
  --passphrase-file F    read the passphrase from file F (the same)
  --order N              key ordering: 2 user ID (default), 4 key ID, 6 validity,
                         8 trust, 10 size, 14 creation, 16 expiration

The passphrase is never taken from the command line, where other users
could read it. decode prints one "Verdict" line per signature first ("Not
signed" without one, "Not decoded: ..." after a failure), then one fact
per line: "Signed by", "checked",
"verified", "keyRevoked", "keyDisabled", "keyExpired",
"keyMeetsValidityThreshold", "keyValidity", then one "Encrypted to" line
per recipient key ID (with the key's user ID when the rings hold it) and one "Encrypted to key we have" line per
recipient key the rings hold. keys prints one line per row, tab-separated:
level, keys, size, description, key ID, creation. fingerprint prints the
40 hex digits of the key that TEXT selects; export writes that key (TEXT
as for --recipient: one key must match, or a 16-digit key ID or 40-digit
fingerprint). generate prints the new key's fingerprint; its secret key is
protected with the passphrase (AES-256). import prints one line,
"imported: N new, M updated, K unchanged"; keys already in the rings are
merged. delete refuses a key pair without --secret. verify checks a
detached signature and prints the decode report; it exits 0 only for a
good signature. Every change is written
to the key ring files at once; the old files are kept as FILE.bak.

Messages go to standard error with their caption. Exit codes:
  0 success   1 other failure   2 usage   3 bad or missing passphrase
  4 key not found or ambiguous   5 bad input (not a message, damaged)
  6 I/O failure (files, key rings, SDK library)
  7 decoded, but a signature is bad or by a revoked key
  8 decoded, but a signature's key is not in the rings
  130 interrupted by Ctrl-C while encoding or decoding: nothing written

On a terminal, the progress of a long job is shown on standard error.
)";

enum class PassphraseRead { Read, Failed, TooLong, HasZero };

// The first line of what fd holds, read in blocks and never more than 1 KiB
// (a passphrase file of /dev/zero or of gigabytes is refused at once).
PassphraseRead readPassphrase(int fd, SecretText& out)
{
    constexpr std::size_t kMax = 1024;
    char buf[kMax + 1];
    std::size_t got = 0;
    while (got <= kMax && !std::memchr(buf, '\n', got)) {
        const ssize_t n = ::read(fd, buf + got, kMax + 1 - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return PassphraseRead::Failed;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    const char* newline = static_cast<const char*>(std::memchr(buf, '\n', got));
    std::size_t length = newline ? static_cast<std::size_t>(newline - buf) : got;
    PassphraseRead result = PassphraseRead::Read;
    if (length > kMax)
        result = PassphraseRead::TooLong;
    else if (std::memchr(buf, '\0', length))
        result = PassphraseRead::HasZero;
    if (length > 0 && buf[length - 1] == '\r')
        --length;
    if (result == PassphraseRead::Read)
        out = SecretText(std::string_view(buf, length));
    wipeMemory(buf, sizeof buf);
    return result;
}

CliFrontend cli;

// The exit code the run's last reported failure stands for.
int exitCodeFromFailure()
{
    const auto& failure = cli.lastFailure();
    if (!failure)
        return Failure;
    switch (failure->failure) {
    case frontend::Failure::Io: return IoFailure;
    case frontend::Failure::KeyChoice: return MissingKey;
    case frontend::Failure::Sdk: break;
    default: return Failure;
    }
    switch (failure->sdkCode) {
    case kPGPError_BadPassphrase:
    case kPGPError_MissingPassphrase: return BadPassphrase;
    case kPGPError_NoDecryptionKey:
    case kPGPError_NoSuitableKey:
    case kPGPError_KeyUnusable:
    case kPGPError_ItemNotFound: return MissingKey;
    case kPGPError_CorruptData:
    case kPGPError_NotPGPMessage:
    case kPGPError_TruncatedData:
    case kPGPError_IntegrityCheckFailed:
    case kPGPError_NoIntegrityProtection:
    case kPGPError_OutputTooLarge:
    case kPGPError_CorruptKeyRing: return BadInput;
    case kPGPError_FileNotFound:
    case kPGPError_CantOpenFile:
    case kPGPError_FilePermissions:
    case kPGPError_ReadFailed:
    case kPGPError_WriteFailed: return IoFailure;
    default: return Failure;
    }
}

// Where a slow ring load tells its time: the terminal behind standard error, if any.
int progressFd = -1;

void writeProgress(const std::string& text)
{
    if (::write(progressFd, text.data(), text.size()) < 0)
        progressFd = -1;
}

// PGP_LoadRings, telling a terminal user how long a slow load has taken:
// a ring of many thousands of keys or user IDs takes seconds to check.
std::int32_t loadRings()
{
    if (progressFd < 0)
        return sdk::PGP_LoadRings();
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    std::thread ticker([&] {
        std::unique_lock lock(m);
        int seconds = 0;
        while (!done.wait_for(lock, std::chrono::seconds(1), [&] { return finished; }))
            writeProgress("\rLoading and checking the key rings... " + std::to_string(++seconds) + " s");
        if (seconds > 0 && progressFd >= 0)
            writeProgress("\r\033[K");  // the line is cleared again
    });
    const std::int32_t result = sdk::PGP_LoadRings();
    {
        std::lock_guard lock(m);
        finished = true;
    }
    done.notify_one();
    ticker.join();
    return result;
}

std::atomic<bool> interrupted {false};
// The running job's stop flag: the SDK looks at it before each read of input.
PGPUInt32 stopFlag = 0;

extern "C" void onInterrupt(int)
{
    interrupted = true;
    __atomic_store_n(&stopFlag, 1, __ATOMIC_RELAXED);
}

// While it lives, Ctrl-C asks the running job to stop (it then leaves no
// output) instead of ending the program at once.
class InterruptScope {
public:
    InterruptScope()
    {
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &old_);
    }
    ~InterruptScope() { ::sigaction(SIGINT, &old_, nullptr); }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction old_ {};
};

// A job's progress: its percent on a terminal, and a stop after Ctrl-C.
sdk::JobProgress jobProgress(const std::string& doing)
{
    return [doing, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (progressFd >= 0 && percent != shown)
            writeProgress("\r" + doing + "... " + std::to_string(percent) + " %");
        shown = percent;
        return !interrupted.load();
    };
}

// After a job: the progress line cleared, and whether Ctrl-C stopped it.
// A Ctrl-C that came when the job had already finished (finished) stopped
// nothing: the output is whole, and the command goes on as if none came.
bool jobInterrupted(bool finished)
{
    if (progressFd >= 0)
        writeProgress("\r\033[K");
    if (!interrupted)
        return false;
    if (finished) {
        std::fputs("tolv-cli: Ctrl-C came after the work was done; the output is complete\n", stderr);
        return false;
    }
    std::fputs("tolv-cli: interrupted; nothing was written\n", stderr);
    return true;
}

int encodeCommand(const sdk::EncodeRequest& request, const std::string& in, const std::string& out)
{
    JobFiles files;
    if (!prepareJobFiles(cli, in, out, files))
        return IoFailure;
    if (loadRings() != 0)
        return IoFailure;
    sdk::PGPData eventReport;  // the event handler's user value
    const sdk::JobProgress progress = jobProgress("Encoding");
    eventReport.progress = &progress;
    eventReport.stopFlag = &stopFlag;
    sdk::SdkBlock output;
    bool ok = false;
    {
        InterruptScope ctrlC;
        PassphraseBuffer& pass = SharedPassphrase::instance();
        ok = files.streamed ? sdk::Encode_PGPFileAs(files.input, files.output, request, pass, &eventReport)
                            : sdk::Encode_PGPBuffAs(files.block.data(), static_cast<std::uint64_t>(files.length), output,
                                                    request, pass, &eventReport);
    }
    if (jobInterrupted(ok))
        return Interrupted;
    if (!ok)
        return exitCodeFromFailure();
    if (files.streamed)
        return Ok;
    return saveWhole(cli, out, output.data(), static_cast<std::int64_t>(output.size())) ? Ok : IoFailure;
}

// A decoded message whose signatures do not all hold ends with its own code,
// so that a script never takes a bad signature for a good one.
int signatureExitCode(const std::vector<sdk::SignatureRecord>& signatures)
{
    int code = Ok;
    for (const sdk::SignatureRecord& s : signatures) {
        const sdk::Verdict v = sdk::signatureVerdict(s);
        if (v.tone == sdk::VerdictTone::Bad)
            return BadSignature;
        if (!s.data.signingKey)
            code = UncheckedSignature;
    }
    return code;
}

// The verdicts first, one line each, then the report's facts.
void printDecodeReport(const sdk::DecodeReport& report, PGPError outcome)
{
    for (const sdk::Verdict& v : sdk::decodeVerdicts(report.signatures, outcome))
        std::printf("Verdict: %s\n", v.text.c_str());
    const PGPEventSignatureData& s = report.data.signature;
    std::printf("Signed by: %s\n", report.signer.data());
    std::printf("checked: %d\nverified: %d\nkeyRevoked: %d\nkeyDisabled: %d\nkeyExpired: %d\n", s.checked, s.verified,
                s.keyRevoked, s.keyDisabled, s.keyExpired);
    std::printf("keyMeetsValidityThreshold: %d\nkeyValidity: %d\n", s.keyMeetsValidityThreshold, s.keyValidity);
    for (const auto& r : report.recipients)
        std::printf("Encrypted to: %s\n", sdk::recipientText(r).c_str());
    for (const auto& name : report.names)
        std::printf("Encrypted to key we have: %s\n", name.data());
}

int decodeCommand(const std::string& in, const std::string& out)
{
    cli.goOnWithoutPassphrase();  // a message that is only signed needs none
    JobFiles files;
    if (!prepareJobFiles(cli, in, out, files))
        return IoFailure;
    if (loadRings() != 0)
        return IoFailure;
    sdk::DecodeReport report;
    const sdk::JobProgress progress = jobProgress("Decoding");
    report.data.progress = &progress;
    report.data.stopFlag = &stopFlag;
    sdk::SdkBlock output;
    PGPError outcome = kPGPError_NoErr;
    bool ok = false;
    {
        InterruptScope ctrlC;
        PassphraseBuffer& pass = SharedPassphrase::instance();
        ok = files.streamed ? sdk::Decode_PGPFile(files.input, files.output, report.data, pass, &outcome)
                            : sdk::Decode_PGPBuff(files.block.data(), static_cast<std::uint64_t>(files.length), output,
                                                  report.data, pass, &outcome);
    }
    if (jobInterrupted(ok))
        return Interrupted;
    printDecodeReport(report, outcome);
    std::fflush(stdout);
    if (!ok)
        return exitCodeFromFailure();
    if (!files.streamed && !saveWhole(cli, out, output.data(), static_cast<std::int64_t>(output.size())))
        return IoFailure;
    return signatureExitCode(report.signatures);
}

int keysCommand(int order)
{
    if (loadRings() != 0)
        return IoFailure;
    if (!sdk::sessionSnapshot().KeySet)
        return IoFailure;
    for (const KeyTreeRow& row : fillKeyTree(order)) {
        std::printf("%d\t%s\t%s\t%s\t%s\t%s\n", std::abs(row.Level), row.Name.c_str(),
                    row.Size ? std::to_string(row.Size).c_str() : "", row.Description.c_str(), row.KeyIDText.c_str(),
                    creationDateText(row.Creation).c_str());
    }
    return Ok;
}

int fingerprintCommand(const std::string& text)
{
    if (loadRings() != 0)
        return IoFailure;
    const std::string fingerprint = sdk::keyFingerprint(text);
    if (fingerprint.empty())
        return exitCodeFromFailure();
    std::printf("%s\n", fingerprint.c_str());
    return Ok;
}

int exportCommand(const std::string& text, const std::string& out, bool armor, bool secret)
{
    if (loadRings() != 0)
        return IoFailure;
    return sdk::exportKeyToFile(text, out, armor, secret) ? Ok : exitCodeFromFailure();
}

// Reads a passphrase from file (or from fd when file is empty) into out;
// the exit code of a failure (told on standard error), or Ok.
int readPassphraseOption(const std::string& file, int fd, SecretText& out)
{
    if (!file.empty())
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "tolv-cli: cannot read the passphrase from %s: %s\n",
                     file.empty() ? "its file descriptor" : file.c_str(), std::strerror(errno));
        return IoFailure;
    }
    const PassphraseRead read = readPassphrase(fd, out);
    if (!file.empty())
        ::close(fd);
    const char* problem = read == PassphraseRead::Failed      ? "it cannot be read"
                          : read == PassphraseRead::TooLong   ? "it is longer than 1024 bytes"
                          : read == PassphraseRead::HasZero   ? "it holds a zero byte"
                          : out.empty()                        ? "it is empty"
                                                               : nullptr;
    if (problem) {
        std::fprintf(stderr, "tolv-cli: the passphrase is refused: %s\n", problem);
        return read == PassphraseRead::Failed ? IoFailure : BadPassphrase;
    }
    return Ok;
}

// Reads the passphrase the options name into the shared passphrase.
int loadPassphrase(const CliOptions& opts)
{
    SecretText pass;  // wiped when it goes
    if (int failed = readPassphraseOption(opts.passphraseFile, opts.passphraseFd, pass))
        return failed;
    SharedPassphrase::instance().set(pass.str());
    return Ok;
}

int generateCommand(const CliOptions& o)
{
    if (loadRings() != 0)
        return IoFailure;
    sdk::NewKey key;
    key.name = o.name;
    key.email = o.email;
    key.algorithm = o.algorithm == "rsa3072"   ? sdk::KeyAlgorithm::Rsa3072
                    : o.algorithm == "rsa4096" ? sdk::KeyAlgorithm::Rsa4096
                                               : sdk::KeyAlgorithm::Ed25519;
    key.expiryDays = static_cast<std::uint32_t>(o.expiresDays);
    key.passphrase = SharedPassphrase::instance().get();
    const std::string fingerprint = sdk::generateKey(key);
    if (fingerprint.empty())
        return exitCodeFromFailure();
    std::printf("%s\n", fingerprint.c_str());
    return Ok;
}

// Every file is imported that can be; one line tells the totals.
int importCommand(const std::vector<std::string>& files)
{
    if (loadRings() != 0)
        return IoFailure;
    sdk::ImportCounts total;
    int result = Ok;
    for (const std::string& file : files) {
        const auto counts = sdk::importKeyFile(file);
        if (!counts) {
            result = exitCodeFromFailure();
            continue;
        }
        total.added += counts->added;
        total.updated += counts->updated;
        total.unchanged += counts->unchanged;
        for (const std::string& name : counts->leftOut)
            std::printf("left out of %s: %s\n", file.c_str(), name.c_str());
    }
    std::printf("imported: %u new, %u updated, %u unchanged\n", total.added, total.updated, total.unchanged);
    return result;
}

int deleteCommand(const std::string& text, bool pair)
{
    if (loadRings() != 0)
        return IoFailure;
    return sdk::deleteKey(text, pair) ? Ok : exitCodeFromFailure();
}

int passwdCommand(const CliOptions& o, const std::string& text)
{
    SecretText fresh;
    if (int failed = readPassphraseOption(o.newPassphraseFile, -1, fresh))
        return failed;
    if (loadRings() != 0)
        return IoFailure;
    return sdk::changeKeyPassphrase(text, SharedPassphrase::instance().get(), fresh) ? Ok : exitCodeFromFailure();
}

// The key commands; -1 when command is none of them.
int runKeyCommand(const CliOptions& o, std::string& misuse)
{
    const auto& args = o.positional;
    if (o.command == "generate") {
        if (!args.empty() || o.name.empty() || o.email.empty() || !o.passphraseGiven)
            return misuse = "generate needs --name, --email and a passphrase option", Usage;
        return generateCommand(o);
    }
    if (o.command == "import") {
        if (args.empty())
            return misuse = "import needs at least one FILE", Usage;
        return importCommand(args);
    }
    if (o.command == "delete") {
        if (args.size() != 1)
            return misuse = "delete needs TEXT", Usage;
        if (!o.yes)
            return misuse = "delete asks nothing: confirm it with --yes", Usage;
        return deleteCommand(args[0], o.secret);
    }
    if (o.command == "passwd") {
        if (args.size() != 1 || !o.passphraseGiven || o.newPassphraseFile.empty())
            return misuse = "passwd needs TEXT, --passphrase-file OLD and --new-passphrase-file NEW", Usage;
        return passwdCommand(o, args[0]);
    }
    return -1;
}

// The encoding the options ask for; false (with misuse when it says more
// than the default message) when they do not fit together.
bool encodeRequestOf(const CliOptions& o, sdk::EncodeRequest& r, std::string& misuse)
{
    using Op = sdk::EncodeOperation;
    const int modes = o.signOnly + o.clearSign + o.detached + o.symmetric;
    if (modes > 1)
        return misuse = "choose one of --sign-only, --clear-sign, --detached and --symmetric", false;
    r.operation = o.signOnly    ? Op::SignOnly
                  : o.clearSign ? Op::ClearSign
                  : o.detached  ? Op::DetachedSignature
                  : o.symmetric ? Op::PasswordOnly
                  : o.signer.empty() ? Op::EncryptOnly
                                     : Op::SignAndEncrypt;
    r.signer = o.signer;
    r.recipients = o.recipients;
    r.encryptToSelf = o.encryptToSelf;
    r.armour = o.armor;
    if (modes && !o.recipients.empty())
        return misuse = "--recipient does not go with " + std::string(o.symmetric ? "--symmetric" : "a signature only"), false;
    if (o.symmetric && !o.signer.empty())
        return misuse = "--symmetric encrypts to the password only: no --signer", false;
    if (sdk::operationSigns(r.operation) && o.signer.empty())
        return misuse = "this encoding needs --signer", false;
    if (o.encryptToSelf && (!sdk::operationEncryptsToKeys(r.operation) || o.signer.empty()))
        return misuse = "--encrypt-to-self needs --signer and a --recipient", false;
    return modes || !o.recipients.empty();
}

int verifyCommand(const std::string& signature, const std::string& data)
{
    if (loadRings() != 0)
        return IoFailure;
    sdk::DecodeReport report;
    PGPError outcome = kPGPError_NoErr;
    const bool ok = sdk::Verify_PGPDetached(signature, data, report.data, &outcome);
    printDecodeReport(report, outcome);
    std::fflush(stdout);
    if (!ok)
        return exitCodeFromFailure();
    if (report.signatures.empty())
        return BadSignature;
    return signatureExitCode(report.signatures);
}

// Runs the command; a usage error goes to misuse instead.
int runCommand(const CliOptions& o, std::string& misuse)
{
    const auto& files = o.positional;
    if (o.command == "encode") {
        sdk::EncodeRequest request;
        if (files.size() != 2 || !encodeRequestOf(o, request, misuse))
            return misuse = misuse.empty() ? "encode needs --signer, --recipient, IN and OUT" : misuse, Usage;
        return encodeCommand(request, files[0], files[1]);
    }
    if (o.command == "verify") {
        if (files.size() != 2)
            return misuse = "verify needs SIGNATURE and DATA", Usage;
        return verifyCommand(files[0], files[1]);
    }
    if (o.command == "decode") {
        if (files.size() != 2)
            return misuse = "decode needs IN and OUT", Usage;
        return decodeCommand(files[0], files[1]);
    }
    if (o.command == "fingerprint") {
        if (files.size() != 1)
            return misuse = "fingerprint needs TEXT", Usage;
        return fingerprintCommand(files[0]);
    }
    if (o.command == "export") {
        if (files.size() != 2)
            return misuse = "export needs TEXT and OUT", Usage;
        return exportCommand(files[0], files[1], o.armor, o.secret);
    }
    if (o.command == "keys") {
        if (!files.empty())
            return misuse = "keys takes no files", Usage;
        return keysCommand(o.order);
    }
    const int keyCommand = runKeyCommand(o, misuse);
    if (keyCommand >= 0)
        return keyCommand;
    misuse = "unknown command " + o.command;
    return Usage;
}

int usage(const std::string& why)
{
    std::fprintf(stderr, "tolv-cli: %s\nTry 'tolv-cli --help'.\n", why.c_str());
    return Usage;
}

// Reads the settings: a bare file name is in the current folder here, as a
// shell user means it.
void readSettings(const std::string& ini)
{
    const bool bare = !ini.empty() && ini != "/W" && ini != "/D" && ini.find('/') == std::string::npos;
    const std::string iniPath = iniPathForScan(ScanIniMode::Read, (bare ? "./" + ini : ini).c_str());
    if (iniPath.empty())
        return;
    prepareFirstStart(iniPath);
    scanIniFile(ScanIniMode::Read, iniPath);
}

// Everything after the arguments were read.
int runParsed(const CliOptions& opts)
{
    if (opts.help) {
        std::fputs(kHelp, stdout);
        return Ok;
    }
    if (opts.version) {
        std::printf("tolv-cli %s\n", TOLV_VERSION);
        return Ok;
    }
    if (opts.command.empty())
        return usage("no command given");
    readSettings(opts.ini);
    if (opts.passphraseGiven)
        if (int failed = loadPassphrase(opts))
            return failed;
    std::string misuse;
    int result = runCommand(opts, misuse);
    if (!misuse.empty())
        return usage(misuse);
    const bool noneGiven = cli.passphraseRequests() > 0 && SharedPassphrase::instance().isEmpty();
    if (result == Failure && noneGiven)
        result = BadPassphrase;
    if (result == BadPassphrase && noneGiven)
        std::fputs("tolv-cli: a passphrase is needed: give --passphrase-file or --passphrase-fd\n", stderr);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
#ifndef TOLV_UNFILTERED_STDERR
    platform::StderrFilter quietLibrary;
    const int terminal = quietLibrary.originalFd();
#else
    const int terminal = STDERR_FILENO;
#endif
    progressFd = ::isatty(terminal) ? terminal : -1;
    frontend::install(&cli);
    CliOptions opts;
    const std::string error = parseArguments(std::vector<std::string>(argv + 1, argv + argc), opts);
    const int result = error.empty() ? runParsed(opts) : usage(error);
    SharedPassphrase::instance().clear();
    frontend::install(nullptr);
    return result;
}
