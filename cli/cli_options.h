#pragma once
// tolv-cli's command line: options and their values, parsed without any
// side effect, so that the parser can be tested and fuzzed on its own.
#include <string>
#include <vector>

struct CliOptions {
    std::string ini, command, signer, passphraseFile;
    std::vector<std::string> recipients;
    bool encryptToSelf = false, signOnly = false, clearSign = false, detached = false, symmetric = false;
    std::string name, email, algorithm = "ed25519", newPassphraseFile;
    int expiresDays = 3 * 365;  // 0: never
    int passphraseFd = -1;
    int order = 2;  // by user ID
    bool armor = false, secret = false, passphraseGiven = false, help = false, version = false, yes = false;
    bool importFound = false;  // lookup --import
    std::string outputDir;  // encode/decode FILE...: the outputs go there
    std::string subkey, usage, reason;  // expire --subkey, addkey --usage, revuid/revkey --reason
    bool completion = false;  // --bash-completion: print the completion script (for the build)
    std::vector<std::string> positional;
};

// Parses args (without the program's name) into opts; returns the text of a
// usage error, or an empty text. The text never holds a passphrase.
std::string parseArguments(const std::vector<std::string>& args, CliOptions& opts);
