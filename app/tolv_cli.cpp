// tolv-cli: Tolv's encode, decode and key listing without windows, for
// scripts and batch work. It runs the same code as the windows, with every
// prompt answered from its options and every message written to standard
// error.
#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "app/file_io.h"
#include "app/prompts.h"
#include "app/scan_ini.h"
#include "app/shared_passphrase.h"
#include "platform/file_access.h"
#include "platform/stderr_filter.h"
#include "sdk/decode_buffer.h"
#include "sdk/decode_verdict.h"
#include "sdk/encode_buffer.h"
#include "sdk/sdk_session.h"
#include "windows/key_tree.h"

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
};

const char* const kHelp = R"(Usage:
  tolv-cli [--ini FILE] encode --signer TEXT --recipient TEXT [--armor] [PASSPHRASE] IN OUT
  tolv-cli [--ini FILE] decode [PASSPHRASE] IN OUT
  tolv-cli [--ini FILE] keys [--order N]
  tolv-cli --help

Signs and encrypts, or decrypts and verifies, with the key rings and the SDK
library named in the settings file (default: tolv.ini in the current folder).

  --ini FILE             the settings file, as Tolv's first argument
  --signer TEXT          part of the signing key pair's user ID (one key must match)
  --recipient TEXT       part of the recipient key's user ID (one key must match)
  --armor                ASCII-armoured output
  --passphrase-fd N      read the passphrase from file descriptor N (first line)
  --passphrase-file F    read the passphrase from file F (first line)
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
level, keys, size, description, key ID, creation.

Messages go to standard error with their caption. Exit codes:
  0 success   1 other failure   2 usage   3 bad or missing passphrase
  4 key not found or ambiguous   5 bad input (not a message, damaged)
  6 I/O failure (files, key rings, SDK library)
  7 decoded, but a signature is bad or by a revoked key
  8 decoded, but a signature's key is not in the rings
)";

bool readPassphrase(int fd, std::string& out)
{
    char c;
    std::string text;
    while (true) {
        ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || c == '\n')
            break;
        text += c;
    }
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    out = text;
    wipeMemory(text.data(), text.size());
    return true;
}

// The exit code a run's last message stands for.
int exitCodeFromMessages()
{
    const auto messages = Prompts::shownMessages();
    if (messages.empty())
        return Failure;
    const auto& m = messages.back();
    if (m.text.startsWith("Unable to find a key for") || m.text.startsWith("Ambiguous key choice"))
        return MissingKey;
    if (m.caption == "Load_AllFile" || m.caption == "SaveOnDiskFile" || m.caption == "Load_PGP" ||
        m.caption == "PGP_LoadRings" || m.caption == "PGP_LoadKeys")
        return IoFailure;
    // SDK failures read "label code|text": take the code.
    const QString firstLine = m.text.section('|', 0, 0);
    bool ok = false;
    const int code = firstLine.section(' ', -1).toInt(&ok);
    if (!ok)
        return Failure;
    switch (code) {
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
    case kPGPError_NoIntegrityProtection: return BadInput;
    case kPGPError_FileNotFound:
    case kPGPError_CantOpenFile:
    case kPGPError_FilePermissions:
    case kPGPError_ReadFailed:
    case kPGPError_WriteFailed: return IoFailure;
    default: return Failure;
    }
}

struct Input {
    ByteBuffer block;
    std::int64_t length = 0;
};

// Reads the input file; a missing one is an error here (the loader would create it).
bool loadInput(const std::string& path, Input& in)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Prompts::message("Load_AllFile", QString::fromStdString("Error CreateFile " + path + "|FILE NOT FOUND"),
                         Prompts::Icon::Stop);
        return false;
    }
    std::int64_t size = 0;
    in.block = Load_AllFile(path, size);
    if (!in.block)
        return false;
    in.length = size - 1;  // without the loader's closing zero byte
    return true;
}

bool save(const std::string& path, const char* data, std::int64_t size)
{
    QString name = QString::fromStdString(path);
    Prompts::queueFileAnswer(name);
    const std::size_t before = Prompts::shownMessages().size();
    SaveOnDiskFile(name, data, size);
    return Prompts::shownMessages().size() == before;
}

int encodeCommand(const std::string& signer, const std::string& recipient, bool armor, const std::string& in,
                  const std::string& out)
{
    Input input;
    if (!loadInput(in, input))
        return IoFailure;
    if (sdk::PGP_LoadRings() != 0)
        return IoFailure;
    sdk::PGPData eventReport;  // the event handler's user value
    sdk::SdkBlock output;
    if (!sdk::Encode_PGPBuff(input.block.data(), static_cast<std::uint64_t>(input.length), output, armor,
                             SharedPassphrase::instance(), recipient, signer, &eventReport))
        return exitCodeFromMessages();
    return save(out, output.data(), static_cast<std::int64_t>(output.size())) ? Ok : IoFailure;
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
    Input input;
    if (!loadInput(in, input))
        return IoFailure;
    if (sdk::PGP_LoadRings() != 0)
        return IoFailure;
    sdk::DecodeReport report;
    sdk::SdkBlock output;
    PGPError outcome = kPGPError_NoErr;
    const bool ok = sdk::Decode_PGPBuff(input.block.data(), static_cast<std::uint64_t>(input.length), output, report.data,
                                        SharedPassphrase::instance(), &outcome);
    printDecodeReport(report, outcome);
    std::fflush(stdout);
    if (!ok)
        return exitCodeFromMessages();
    if (!save(out, output.data(), static_cast<std::int64_t>(output.size())))
        return IoFailure;
    return signatureExitCode(report.signatures);
}

int keysCommand(int order)
{
    if (sdk::PGP_LoadRings() != 0)
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

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
#ifndef TOLV_UNFILTERED_STDERR
    platform::StderrFilter quietLibrary;
#endif
    Prompts::setConsoleMode(true);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string ini, command, signer, recipient, passphraseFile;
    int passphraseFd = -1, order = kPGPUserIDOrdering;
    bool armor = false, passphraseGiven = false;
    std::vector<std::string> positional;
    auto usage = [](const char* why) {
        std::fprintf(stderr, "tolv-cli: %s\nTry 'tolv-cli --help'.\n", why);
        return Usage;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return Ok;
        } else if (a == "--ini") {
            if (!value(ini))
                return usage("--ini needs a file");
        } else if (a == "--signer") {
            if (!value(signer))
                return usage("--signer needs a text");
        } else if (a == "--recipient") {
            if (!value(recipient))
                return usage("--recipient needs a text");
        } else if (a == "--armor") {
            armor = true;
        } else if (a == "--passphrase-fd") {
            if (!value(v))
                return usage("--passphrase-fd needs a number");
            passphraseFd = std::atoi(v.c_str());
            passphraseGiven = true;
        } else if (a == "--passphrase-file") {
            if (!value(passphraseFile))
                return usage("--passphrase-file needs a file");
            passphraseGiven = true;
        } else if (a == "--order") {
            if (!value(v))
                return usage("--order needs a number");
            order = std::atoi(v.c_str());
        } else if (a == "--passphrase") {
            return usage("the passphrase is not taken from the command line; use --passphrase-fd or --passphrase-file");
        } else if (!a.empty() && a[0] == '-') {
            return usage(("unknown option " + a).c_str());
        } else if (command.empty()) {
            command = a;
        } else {
            positional.push_back(a);
        }
    }
    if (command.empty())
        return usage("no command given");

    SCAN_INI(ScanIniMode::Read, ini.c_str());

    if (passphraseGiven) {
        int fd = passphraseFd;
        if (!passphraseFile.empty())
            fd = ::open(passphraseFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "tolv-cli: cannot read the passphrase: %s\n", std::strerror(errno));
            return IoFailure;
        }
        std::string pass;
        readPassphrase(fd, pass);
        if (!passphraseFile.empty())
            ::close(fd);
        SharedPassphrase::instance().set(pass);
        wipeMemory(pass.data(), pass.size());
    }
    // An empty passphrase asks the dialog; here that is a refusal.
    Prompts::queuePassphraseAnswer(false, QString());

    int result;
    if (command == "encode") {
        if (positional.size() != 2 || signer.empty() || recipient.empty())
            return usage("encode needs --signer, --recipient, IN and OUT");
        result = encodeCommand(signer, recipient, armor, positional[0], positional[1]);
    } else if (command == "decode") {
        if (positional.size() != 2)
            return usage("decode needs IN and OUT");
        result = decodeCommand(positional[0], positional[1]);
    } else if (command == "keys") {
        if (!positional.empty())
            return usage("keys takes no files");
        result = keysCommand(order);
    } else {
        return usage(("unknown command " + command).c_str());
    }
    if (result == Failure && Prompts::passphraseRequests() > 0 && SharedPassphrase::instance().isEmpty())
        result = BadPassphrase;
    SharedPassphrase::instance().clear();
    return result;
}
