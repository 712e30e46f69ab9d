#pragma once
// The key list's recipient groups: the selected key joins a group (made
// when new) or leaves one. The encode window and tolv-cli's --recipient
// then take the group's name for its members.
#include <QString>


class KeyListWindow;
class KeyPairCommands;

class GroupCommands {
public:
    GroupCommands(KeyListWindow& window, KeyPairCommands& keys) : window_(window), keys_(keys) {}

    void addToGroup();
    void removeFromGroup();

private:
    KeyListWindow& window_;
    KeyPairCommands& keys_;
};
