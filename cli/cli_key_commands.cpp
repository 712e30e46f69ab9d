// tolv-cli's key commands: list, look at, export, make, import, delete and
// change keys.
#include <cstdio>
#include <cstdlib>

#include "cli/cli_commands.h"
#include "cli/cli_exit.h"
#include "cli/cli_passphrase.h"
#include "cli/cli_terminal.h"
#include "core/shared_passphrase.h"
#include "sdk/key_changes.h"
#include "sdk/key_commands.h"
#include "sdk/key_tree.h"
#include "sdk/key_upkeep.h"
#include "sdk/sdk_session.h"

namespace {

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

int generateCommand(const CliOptions& o)
{
    if (loadRings() != 0)
        return IoFailure;
    sdk::NewKey key;
    key.name = o.name;
    key.email = o.email;
    key.algorithm = sdk::keyAlgorithmNamed(o.algorithm);
    key.expiryDays = static_cast<std::uint32_t>(o.expiresDays);
    key.passphrase = SharedPassphrase::instance().get();
    const std::string fingerprint = sdk::generateKey(key);
    if (fingerprint.empty())
        return exitCodeFromFailure();
    std::printf("%s\n", fingerprint.c_str());
    std::fprintf(stderr, "tolv-cli: the revocation certificate is in %s\n", sdk::revocationPath(fingerprint).c_str());
    return Ok;
}

// Every file is imported that can be; one line tells the totals.
int importCommand(const std::vector<std::string>& files)
{
    if (loadRings() != 0)
        return IoFailure;
    const sdk::ImportTotals totals = sdk::importKeyFiles(files);
    for (const std::string& line : totals.counts.leftOut)
        std::printf("left out: %s\n", line.c_str());
    if (totals.anyRead)  // counts only for what could be read
        std::printf("%s\n", sdk::importSummary(totals.counts).c_str());
    return totals.anyFailed ? exitCodeFromFailure() : Ok;
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

}  // namespace

int runKeys(const CliOptions& o, std::string& misuse)
{
    if (!o.positional.empty())
        return misuse = "keys takes no files", Usage;
    return keysCommand(o.order);
}

int runFingerprint(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 1)
        return misuse = "fingerprint needs TEXT", Usage;
    return fingerprintCommand(o.positional[0]);
}

int runExport(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 2)
        return misuse = "export needs TEXT and OUT", Usage;
    return exportCommand(o.positional[0], o.positional[1], o.armor, o.secret);
}

int runGenerate(const CliOptions& o, std::string& misuse)
{
    if (!o.positional.empty() || o.name.empty() || o.email.empty() || !o.passphraseGiven)
        return misuse = "generate needs --name, --email and a passphrase option", Usage;
    return generateCommand(o);
}

int runImport(const CliOptions& o, std::string& misuse)
{
    if (o.positional.empty())
        return misuse = "import needs at least one FILE", Usage;
    return importCommand(o.positional);
}

int runDelete(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 1)
        return misuse = "delete needs TEXT", Usage;
    if (!o.yes)
        return misuse = "delete asks nothing: confirm it with --yes", Usage;
    return deleteCommand(o.positional[0], o.secret);
}

int runPasswd(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 1 || !o.passphraseGiven || o.newPassphraseFile.empty())
        return misuse = "passwd needs TEXT, --passphrase-file OLD and --new-passphrase-file NEW", Usage;
    return passwdCommand(o, o.positional[0]);
}
