#include "cli/cli_options.h"

namespace {

bool parseNumber(const std::string& text, int& out)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::stoi(text);
    return true;
}

// Days until a new key expires: a number (1 to 36500) or "never".
bool parseExpiry(const std::string& text, int& days)
{
    if (text == "never")
        return days = 0, true;
    return parseNumber(text, days) && days >= 1 && days <= 36500;
}

// The SDK's key orderings: 1 (any), and the even numbers 2 (user ID) to 16 (expiration).
bool validOrder(int order) { return order == 1 || (order >= 2 && order <= 16 && order % 2 == 0); }

}  // namespace

std::string parseArguments(const std::vector<std::string>& args, CliOptions& opts)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            opts.help = true;
        } else if (a == "--version") {
            opts.version = true;
        } else if (a == "--bash-completion") {
            opts.completion = true;
        } else if (a == "--ini") {
            if (!value(opts.ini))
                return "--ini needs a file";
        } else if (a == "--signer") {
            if (!value(opts.signer))
                return "--signer needs a text";
        } else if (a == "--recipient") {
            if (!value(v))
                return "--recipient needs a text";
            opts.recipients.push_back(v);
        } else if (a == "--encrypt-to-self") {
            opts.encryptToSelf = true;
        } else if (a == "--sign-only") {
            opts.signOnly = true;
        } else if (a == "--clear-sign") {
            opts.clearSign = true;
        } else if (a == "--detached") {
            opts.detached = true;
        } else if (a == "--symmetric") {
            opts.symmetric = true;
        } else if (a == "--name") {
            if (!value(opts.name) || opts.name.empty())
                return "--name needs a name";
        } else if (a == "--email") {
            if (!value(opts.email))
                return "--email needs an e-mail address";
        } else if (a == "--algorithm") {
            if (!value(opts.algorithm) ||
                (opts.algorithm != "ed25519" && opts.algorithm != "rsa3072" && opts.algorithm != "rsa4096"))
                return "--algorithm needs one of ed25519, rsa3072, rsa4096";
        } else if (a == "--expires") {
            if (!value(v) || !parseExpiry(v, opts.expiresDays))
                return "--expires needs a number of days (1 to 36500) or never";
        } else if (a == "--yes") {
            opts.yes = true;
        } else if (a == "--new-passphrase-file") {
            if (!value(opts.newPassphraseFile))
                return "--new-passphrase-file needs a file";
        } else if (a == "--armor") {
            opts.armor = true;
        } else if (a == "--secret") {
            opts.secret = true;
        } else if (a == "--passphrase-fd") {
            if (!value(v) || !parseNumber(v, opts.passphraseFd))
                return "--passphrase-fd needs a file descriptor number";
            opts.passphraseGiven = true;
        } else if (a == "--passphrase-file") {
            if (!value(opts.passphraseFile))
                return "--passphrase-file needs a file";
            opts.passphraseGiven = true;
        } else if (a == "--order") {
            if (!value(v) || !parseNumber(v, opts.order) || !validOrder(opts.order))
                return "--order needs one of 1, 2, 4, 6, 8, 10, 12, 14, 16";
        } else if (a.rfind("--passphrase", 0) == 0) {
            // Never echoed: it may hold the secret itself.
            return "the passphrase is not taken from the command line; use --passphrase-fd or --passphrase-file";
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a.substr(0, a.find('='));  // a value may be a secret
        } else if (opts.command.empty()) {
            opts.command = a;
        } else {
            opts.positional.push_back(a);
        }
    }
    return {};
}

