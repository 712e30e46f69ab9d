#include "windows/group_commands.h"

#include <algorithm>

#include "core/app_config.h"
#include "core/recipient_groups.h"
#include "sdk/key_details.h"
#include "windows/key_forms.h"
#include "windows/key_pair_commands.h"
#include "windows/key_list_window.h"
#include "windows/window_controls.h"

using namespace keyforms;

namespace {

std::string settingsFile() { return AppConfig::instance().snapshot().IniPath; }

QStringList groupNames(const std::function<bool(const RecipientGroup&)>& which)
{
    QStringList names;
    for (const RecipientGroup& g : readGroups(settingsFile()))
        if (which(g))
            names << QString::fromStdString(g.name);
    return names;
}

bool holds(const RecipientGroup& g, const std::string& fingerprint)
{
    return std::find(g.members.begin(), g.members.end(), fingerprint) != g.members.end();
}

}  // namespace

void GroupCommands::addToGroup()
{
    keys_.withDetails("Add to group", false, [this](const std::string&, const QString& name, const sdk::KeyDetails& d) {
        const std::string& fingerprint = d.fingerprint;
        const QStringList existing = groupNames([](const RecipientGroup&) { return true; });
        Prompts::FormRequest request {"Add to group",
                                      "Add " + name + " to a recipient group. A message to the group's name is "
                                      "encrypted to each of its keys." +
                                          (existing.isEmpty() ? QString() : "|Groups: " + existing.join(", ")),
                                      {{"group", "Group :", Field::Kind::Text, {}, existing.value(0)}}};
        auto answer = Prompts::askForm(request);
        if (!answer)
            return;
        const std::string group = text(*answer, "group");
        RecipientGroup g = findGroup(settingsFile(), group).value_or(RecipientGroup {group, {}});
        if (!holds(g, fingerprint))
            g.members.push_back(fingerprint);
        if (!validGroupName(g.name) || g.members.size() > kMaxGroupMembers)
            return Prompts::message("Add to group", "A group's name has 1 to 40 characters, none of ; , = [ ], and a "
                                                    "group holds at most " + QString::number(kMaxGroupMembers) + " keys.",
                                    Prompts::Icon::Exclamation);
        if (!writeGroup(settingsFile(), g))
            return Prompts::message("Add to group", "The group could not be written to the settings file.",
                                    Prompts::Icon::Stop);
        showStatusNote(&window_, "Added to " + QString::fromStdString(g.name) + ": " + name);
    });
}

void GroupCommands::removeFromGroup()
{
    keys_.withDetails("Remove from group", false, [this](const std::string&, const QString& name, const sdk::KeyDetails& d) {
        const std::string& fingerprint = d.fingerprint;
        const QStringList in = groupNames([&](const RecipientGroup& g) { return holds(g, fingerprint); });
        if (in.isEmpty())
            return Prompts::message("Remove from group", name + " is in no group.", Prompts::Icon::Information);
        Prompts::FormRequest request {"Remove from group", "Take " + name + " out of a recipient group.",
                                      {{"group", "Group :", Field::Kind::Choice, in, {}}}};
        auto answer = Prompts::askForm(request);
        if (!answer)
            return;
        auto g = findGroup(settingsFile(), text(*answer, "group"));
        if (!g)
            return;
        g->members.erase(std::remove(g->members.begin(), g->members.end(), fingerprint), g->members.end());
        if (!writeGroup(settingsFile(), *g))
            return Prompts::message("Remove from group", "The group could not be written to the settings file.",
                                    Prompts::Icon::Stop);
        showStatusNote(&window_, "Removed from " + QString::fromStdString(g->name) + ": " + name);
    });
}
