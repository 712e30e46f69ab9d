#pragma once
// The key list's recipient groups: the selected key joins a group (made
// when new) or leaves one. The encode window and tolv-cli's --recipient
// then take the group's name for its members.
#include <QString>

#include <functional>
#include <string>

class KeyListWindow;
class KeyListCommands;

class GroupCommands {
public:
    GroupCommands(KeyListWindow& window, KeyListCommands& commands) : window_(window), commands_(commands) {}

    void addToGroup();
    void removeFromGroup();

private:
    // The selected key's fingerprint, read on the worker, then use().
    void withFingerprint(const QString& caption, std::function<void(const std::string& fingerprint, const QString& name)> use);

    KeyListWindow& window_;
    KeyListCommands& commands_;
};
