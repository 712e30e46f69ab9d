#pragma once
// The key list's user actions, one method each (as Kleopatra's commands): a
// command asks what it needs, runs its SDK work on the window's worker, and
// the binding tells the result. The window hands them its selected key and
// its worker, and binds its buttons, menu and drops to them.
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sdk/key_tree.h"

class KeyListWindow;

class KeyListCommands {
public:
    // What a form showed typed, by field name, when it comes back.
    using Prefill = std::map<QString, QString>;

    explicit KeyListCommands(KeyListWindow& window) : window_(window) {}

    void generateKey();
    void importKeys();
    void exportKey();
    void deleteKey();
    void changePassphrase();
    void certifyKey();
    void revokeKey();
    void copyPublicKey();
    // Imports armoured key text (a paste), or key files (a drop).
    void importText(const std::string& text);
    void importFiles(const std::vector<std::string>& paths);
    // Imports the clipboard's armoured key text.
    void paste();
    // The network: a look-up dialog, the selected key (or all) looked up
    // again, the selected key pair sent to the keyserver.
    void lookUp();
    void refreshFromNetwork();
    void publish();

    // Runs job on the window's worker: its success is confirmed in the
    // status bar, its failure (told by the binding) runs onFailure.
    void runConfirmed(std::function<bool()> job, const QString& confirmation, std::function<void()> onFailure = {});
    // The selected key's row; told and null when none is selected.
    const KeyTreeRow* selectedKey(const QString& caption);
    // The same, for actions that need the secret key: told and null without.
    const KeyTreeRow* selectedKeyPair(const QString& caption);

private:
    void generateKeyWith(const Prefill& prefill);
    void askCertify(const std::string& id, const std::string& fingerprint, const Prefill& prefill);
    void askRevocation(const std::string& id, const QString& name);

    KeyListWindow& window_;
};
