// tolv-cli group: the recipient groups of the settings file, which
// --recipient NAME then encrypts to, member by member.
#include <algorithm>
#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/cli_exit.h"
#include "cli/cli_terminal.h"
#include "core/app_config.h"
#include "core/recipient_groups.h"
#include "sdk/key_commands.h"

namespace {

std::string settingsFile() { return AppConfig::instance().snapshot().IniPath; }

// One line per group: its name, then its members' fingerprints.
int listGroups()
{
    for (const RecipientGroup& g : readGroups(settingsFile())) {
        std::printf("%s", g.name.c_str());
        for (const std::string& m : g.members)
            std::printf("\t%s", m.c_str());
        std::printf("\n");
    }
    return Ok;
}

// The fingerprints of the keys the texts select; false (told) when one
// selects none or several.
bool fingerprintsOf(const std::vector<std::string>& texts, std::vector<std::string>& out)
{
    if (loadRings() != 0)
        return false;
    for (const std::string& text : texts) {
        const std::string fingerprint = sdk::keyFingerprint(text);
        if (fingerprint.empty())
            return false;
        out.push_back(fingerprint);
    }
    return true;
}

int changeGroup(bool adding, const std::string& name, const std::vector<std::string>& texts)
{
    RecipientGroup group = findGroup(settingsFile(), name).value_or(RecipientGroup {name, {}});
    std::vector<std::string> fingerprints;
    if (!fingerprintsOf(texts, fingerprints))
        return exitCodeFromFailure();
    for (const std::string& fp : fingerprints) {
        auto at = std::find(group.members.begin(), group.members.end(), fp);
        if (adding && at == group.members.end())
            group.members.push_back(fp);
        else if (!adding && at != group.members.end())
            group.members.erase(at);
    }
    if (!adding && texts.empty())
        group.members.clear();  // the whole group goes
    if (group.members.size() > kMaxGroupMembers)
        return std::fprintf(stderr, "tolv-cli: a group holds at most %zu keys\n", kMaxGroupMembers), Failure;
    if (!writeGroup(settingsFile(), group))
        return std::fprintf(stderr, "tolv-cli: the group could not be written to %s\n", settingsFile().c_str()), IoFailure;
    return Ok;
}

}  // namespace

int runGroup(const CliOptions& o, std::string& misuse)
{
    const std::vector<std::string>& p = o.positional;
    const std::string verb = p.empty() ? std::string() : p[0];
    if (verb == "list" && p.size() == 1)
        return listGroups();
    if ((verb == "add" && p.size() >= 3) || (verb == "remove" && p.size() >= 2)) {
        if (!validGroupName(p[1]))
            return misuse = "a group's name has 1 to 40 characters, none of ;,=[]", Usage;
        return changeGroup(verb == "add", p[1], std::vector<std::string>(p.begin() + 2, p.end()));
    }
    return misuse = "group needs list, add NAME TEXT..., or remove NAME [TEXT...]", Usage;
}
