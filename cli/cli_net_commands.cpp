// tolv-cli's key look-ups on the network: lookup, refresh and publish. Only
// these commands ever reach a server, and only the one they name.
#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/cli_exit.h"
#include "cli/cli_terminal.h"
#include "core/app_config.h"
#include "sdk/key_search.h"
#include "sdk/key_tree.h"

namespace {

LookupSettings settings() { return readLookupSettings(AppConfig::instance().snapshot().IniPath); }

void printNotes(const std::vector<std::string>& notes)
{
    for (const std::string& note : notes)
        std::fprintf(stderr, "lookup: %s\n", note.c_str());
}

// One "key" line per key found, then a "uid" line per user ID.
void printFound(const std::vector<sdk::FoundKey>& keys)
{
    for (const sdk::FoundKey& k : keys) {
        std::printf("key\t%s\t%s\t%s\t%s\n", k.fingerprint.c_str(), creationDateText(k.created).c_str(),
                    k.revoked ? "revoked" : k.expires ? creationDateText(k.expires).c_str() : "never", k.source.c_str());
        for (const std::string& uid : k.userIds)
            std::printf("uid\t%s\n", uid.c_str());
    }
}

int lookupCommand(const std::string& text, bool import)
{
    const sdk::KeyQuery query = sdk::parseKeyQuery(text);
    if (query.kind == sdk::QueryKind::Invalid)
        return std::fprintf(stderr, "tolv-cli: look up an e-mail address, a fingerprint, a key ID or a name\n"), Usage;
    if (loadRings() != 0)
        return IoFailure;
    const LookupSettings lookup = settings();
    sdk::LookupResult result = sdk::lookUpKeys(query, lookup);
    printNotes(result.notes);
    printFound(result.keys);
    if (result.keys.empty())
        return result.serverFailed ? NetworkFailure : MissingKey;
    if (!import)
        return Ok;
    std::vector<std::string> notes;  // keys only listed are got by their fingerprints
    sdk::fetchListedKeys(result.keys, lookup.keyserver, notes);
    printNotes(notes);
    if (result.keys.empty())
        return NetworkFailure;
    const auto counts = sdk::importFoundKeys(result.keys);
    if (!counts)
        return exitCodeFromFailure();
    std::printf("%s\n", sdk::importSummary(*counts).c_str());
    return Ok;
}

int refreshCommand(const std::vector<std::string>& texts)
{
    if (loadRings() != 0)
        return IoFailure;
    const sdk::RefreshResult result = sdk::refreshKeys(texts, settings());
    printNotes(result.notes);
    if (!result.counts)
        return exitCodeFromFailure();
    std::printf("%s\n", sdk::importSummary(*result.counts).c_str());
    return Ok;
}

}  // namespace

int runLookup(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 1)
        return misuse = "lookup needs one e-mail address, fingerprint, key ID or name", Usage;
    return lookupCommand(o.positional[0], o.importFound);
}

int runRefresh(const CliOptions& o, std::string&) { return refreshCommand(o.positional); }

int runPublish(const CliOptions& o, std::string& misuse)
{
    if (o.positional.size() != 1)
        return misuse = "publish needs the TEXT of one key", Usage;
    if (!o.yes)
        return misuse = "publish sends the public key to the keyserver for anyone to find: confirm with --yes", Usage;
    if (loadRings() != 0)
        return IoFailure;
    return sdk::publishKey(o.positional[0], settings()) ? Ok : exitCodeFromFailure();
}
