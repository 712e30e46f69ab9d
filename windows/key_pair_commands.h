#pragma once
// The key list's actions that look after one of the user's key pairs over
// the years (expiry dates, user IDs, subkeys), and Verify…, the local
// certification of a key whose fingerprint the user compared. Each asks
// through the prompt seam, then runs on the window's worker.
#include <QString>

#include <string>

#include "sdk/key_details.h"
#include "windows/key_forms.h"

class KeyListWindow;
class KeyListCommands;

class KeyPairCommands {
public:
    KeyPairCommands(KeyListWindow& window, KeyListCommands& commands) : window_(window), commands_(commands) {}

    void changeExpiry();
    void addUserId();
    void makePrimaryUserId();
    void revokeUserId();
    void addSubkey();
    void revokeSubkey();
    void verifyKey();

    // Reads the selected key's (or, with pairOnly, key pair's) details on
    // the worker, then asks.
    void withDetails(const QString& caption, bool pairOnly,
                     std::function<void(const std::string& id, const QString& name, const sdk::KeyDetails&)> ask);

private:
    // The user IDs the list shows under the key.
    QStringList userIdsOf(const std::string& id) const;
    // Asks with a passphrase field added; runs change with the answer.
    void askAndRun(Prompts::FormRequest request, const QString& done,
                   std::function<bool(const Prompts::FormAnswer&)> change);

    KeyListWindow& window_;
    KeyListCommands& commands_;
};
