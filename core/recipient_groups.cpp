#include "core/recipient_groups.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "platform/profile.h"

namespace {

constexpr const char* kSection = "Tolv";

std::vector<std::string> split(const std::string& text, char by)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, by);)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string join(const std::vector<std::string>& parts, char by)
{
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : std::string(1, by)) + p;
    return out;
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string memberKey(const std::string& name) { return "Group." + name; }

}  // namespace

bool validGroupName(const std::string& name)
{
    return !name.empty() && name.size() <= 40 && name.find_first_of(";,=[]\r\n") == std::string::npos &&
           !std::isspace(static_cast<unsigned char>(name.front())) && !std::isspace(static_cast<unsigned char>(name.back()));
}

std::vector<RecipientGroup> readGroups(const std::string& iniPath)
{
    std::vector<RecipientGroup> groups;
    if (iniPath.empty())
        return groups;
    for (const std::string& name : split(platform::readProfileString(kSection, "Groups", "", iniPath), ';'))
        if (validGroupName(name))
            groups.push_back({name, split(platform::readProfileString(kSection, memberKey(name), "", iniPath), ',')});
    return groups;
}

std::optional<RecipientGroup> findGroup(const std::string& iniPath, const std::string& name)
{
    for (RecipientGroup& g : readGroups(iniPath))
        if (sameName(g.name, name))
            return std::move(g);
    return std::nullopt;
}

bool writeGroup(const std::string& iniPath, const RecipientGroup& group)
{
    if (iniPath.empty() || !validGroupName(group.name) || group.members.size() > kMaxGroupMembers)
        return false;
    std::vector<std::string> names;
    for (const RecipientGroup& g : readGroups(iniPath))
        if (!sameName(g.name, group.name))
            names.push_back(g.name);
        else if (!platform::writeProfileString(kSection, memberKey(g.name), "", iniPath))
            return false;
    if (!group.members.empty())
        names.push_back(group.name);
    return platform::writeProfileString(kSection, memberKey(group.name), join(group.members, ','), iniPath) &&
           platform::writeProfileString(kSection, "Groups", join(names, ';'), iniPath);
}
