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

namespace {

// The options that stand alone.
struct Flag {
    const char* name;
    bool CliOptions::*field;
};
const Flag kFlags[] = {
    {"--help", &CliOptions::help},          {"-h", &CliOptions::help},
    {"--version", &CliOptions::version},    {"--bash-completion", &CliOptions::completion},
    {"--encrypt-to-self", &CliOptions::encryptToSelf}, {"--sign-only", &CliOptions::signOnly},
    {"--clear-sign", &CliOptions::clearSign}, {"--detached", &CliOptions::detached},
    {"--symmetric", &CliOptions::symmetric}, {"--yes", &CliOptions::yes},
    {"--armor", &CliOptions::armor},        {"--secret", &CliOptions::secret},
    {"--import", &CliOptions::importFound},
};

// The options that take a value: take answers false for a value it refuses,
// and error says what the option needs.
struct Valued {
    const char* name;
    const char* error;
    bool (*take)(const std::string& value, CliOptions& o);
};
const Valued kValued[] = {
    {"--ini", "--ini needs a file", [](const std::string& v, CliOptions& o) { return o.ini = v, true; }},
    {"--signer", "--signer needs a text", [](const std::string& v, CliOptions& o) { return o.signer = v, true; }},
    {"--recipient", "--recipient needs a text",
     [](const std::string& v, CliOptions& o) { return o.recipients.push_back(v), true; }},
    {"--name", "--name needs a name", [](const std::string& v, CliOptions& o) { return o.name = v, !v.empty(); }},
    {"--email", "--email needs an e-mail address", [](const std::string& v, CliOptions& o) { return o.email = v, true; }},
    {"--algorithm", "--algorithm needs one of ed25519, rsa3072, rsa4096, ed25519-v6",
     [](const std::string& v, CliOptions& o) {
         o.algorithm = v;
         return v == "ed25519" || v == "rsa3072" || v == "rsa4096" || v == "ed25519-v6";
     }},
    {"--expires", "--expires needs a number of days (1 to 36500) or never",
     [](const std::string& v, CliOptions& o) { return parseExpiry(v, o.expiresDays); }},
    {"--new-passphrase-file", "--new-passphrase-file needs a file",
     [](const std::string& v, CliOptions& o) { return o.newPassphraseFile = v, true; }},
    {"--passphrase-fd", "--passphrase-fd needs a file descriptor number",
     [](const std::string& v, CliOptions& o) { return o.passphraseGiven = true, parseNumber(v, o.passphraseFd); }},
    {"--passphrase-file", "--passphrase-file needs a file",
     [](const std::string& v, CliOptions& o) { return o.passphraseFile = v, o.passphraseGiven = true; }},
    {"--subkey", "--subkey needs a key ID", [](const std::string& v, CliOptions& o) { return o.subkey = v, !v.empty(); }},
    {"--usage", "--usage needs sign or encrypt",
     [](const std::string& v, CliOptions& o) { return o.usage = v, v == "sign" || v == "encrypt"; }},
    {"--output-dir", "--output-dir needs a folder",
     [](const std::string& v, CliOptions& o) { return o.outputDir = v, !v.empty(); }},
    {"--reason", "--reason needs a text", [](const std::string& v, CliOptions& o) { return o.reason = v, true; }},
    {"--order", "--order needs one of 1, 2, 4, 6, 8, 10, 12, 14, 16",
     [](const std::string& v, CliOptions& o) { return parseNumber(v, o.order) && validOrder(o.order); }},
};

template <typename Row, std::size_t N> const Row* rowNamed(const Row (&rows)[N], const std::string& name)
{
    for (const Row& r : rows)
        if (name == r.name)
            return &r;
    return nullptr;
}

}  // namespace

std::string parseArguments(const std::vector<std::string>& args, CliOptions& opts)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (const Flag* flag = rowNamed(kFlags, a)) {
            opts.*(flag->field) = true;
        } else if (const Valued* valued = rowNamed(kValued, a)) {
            if (i + 1 >= args.size() || !valued->take(args[++i], opts))
                return valued->error;
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
