#pragma once
// Recipient groups: a name ("Team") standing for several keys, kept in
// Tolv's own [Tolv] section of the settings file. Groups= lists the names
// (separated by ";"), and Group.NAME= the members' fingerprints (by ",").
#include <optional>
#include <string>
#include <vector>

struct RecipientGroup {
    std::string name;
    std::vector<std::string> members;  // fingerprints, upper-case hex
};

// A value of the settings file holds at most this many fingerprints.
constexpr std::size_t kMaxGroupMembers = 24;

// Whether a name can be a group's: 1 to 40 characters, none of ";,=[]"
// and no leading or trailing blank.
bool validGroupName(const std::string& name);

std::vector<RecipientGroup> readGroups(const std::string& iniPath);
// The group of that name (without regard to case), if any.
std::optional<RecipientGroup> findGroup(const std::string& iniPath, const std::string& name);
// Adds the group, or replaces the one of the same name; a group without
// members is removed. False for a bad name, too many members, or a failed
// write.
bool writeGroup(const std::string& iniPath, const RecipientGroup& group);
