// tolv-cli's commands that look after one's own key pairs: expiry dates,
// user IDs, subkeys, and the local certification of a checked key. Each
// takes the key's passphrase as the other commands do.
#include <cstdio>
#include <ctime>

#include "cli/cli_commands.h"
#include "cli/cli_exit.h"
#include "cli/cli_terminal.h"
#include "core/shared_passphrase.h"
#include "sdk/key_commands.h"
#include "sdk/key_details.h"
#include "sdk/key_upkeep.h"

namespace {

// Loads the rings, runs the change with the given passphrase.
template <typename Change> int withRings(Change change)
{
    if (loadRings() != 0)
        return IoFailure;
    return change(SharedPassphrase::instance().get()) ? Ok : exitCodeFromFailure();
}

// "never", or a number of days from now.
bool expiryFromNow(const std::string& text, std::int64_t& when)
{
    if (text == "never")
        return when = 0, true;
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int days = std::stoi(text);
    when = static_cast<std::int64_t>(std::time(nullptr)) + static_cast<std::int64_t>(days) * 86400;
    return days >= 1 && days <= 36500;
}

bool needs(const CliOptions& o, std::size_t positional, std::string& misuse, const char* what)
{
    if (o.positional.size() == positional && o.passphraseGiven)
        return true;
    misuse = what;
    return false;
}

}  // namespace

int runExpire(const CliOptions& o, std::string& misuse)
{
    std::int64_t when = 0;
    if (!needs(o, 2, misuse, "expire needs TEXT, DAYS or never, and a passphrase option"))
        return Usage;
    if (!expiryFromNow(o.positional[1], when))
        return misuse = "expire needs a number of days (1 to 36500) or never", Usage;
    return withRings([&](const SecretText& pass) { return sdk::setKeyExpiry(o.positional[0], o.subkey, when, pass); });
}

int runAddUid(const CliOptions& o, std::string& misuse)
{
    if (!needs(o, 2, misuse, "adduid needs TEXT, the new user ID and a passphrase option"))
        return Usage;
    return withRings([&](const SecretText& pass) { return sdk::addUserId(o.positional[0], o.positional[1], pass); });
}

int runRevUid(const CliOptions& o, std::string& misuse)
{
    if (!needs(o, 2, misuse, "revuid needs TEXT, the user ID and a passphrase option"))
        return Usage;
    return withRings(
        [&](const SecretText& pass) { return sdk::revokeUserId(o.positional[0], o.positional[1], o.reason, pass); });
}

int runPrimary(const CliOptions& o, std::string& misuse)
{
    if (!needs(o, 2, misuse, "primary needs TEXT, the user ID and a passphrase option"))
        return Usage;
    return withRings([&](const SecretText& pass) { return sdk::makePrimaryUserId(o.positional[0], o.positional[1], pass); });
}

int runAddKey(const CliOptions& o, std::string& misuse)
{
    if (!needs(o, 1, misuse, "addkey needs TEXT, --usage sign|encrypt and a passphrase option") || o.usage.empty())
        return misuse = "addkey needs TEXT, --usage sign|encrypt and a passphrase option", Usage;
    const sdk::SubkeyUse use = o.usage == "sign" ? sdk::SubkeyUse::Sign : sdk::SubkeyUse::Encrypt;
    return withRings([&](const SecretText& pass) {
        return sdk::addSubkey(o.positional[0], use, sdk::keyAlgorithmNamed(o.algorithm),
                              static_cast<std::uint32_t>(o.expiresDays), pass);
    });
}

int runRevKey(const CliOptions& o, std::string& misuse)
{
    if (!needs(o, 2, misuse, "revkey needs TEXT, the subkey's KEYID and a passphrase option"))
        return Usage;
    return withRings(
        [&](const SecretText& pass) { return sdk::revokeSubkey(o.positional[0], o.positional[1], o.reason, pass); });
}

// Shows the fingerprint to compare with the key's owner; certifies only
// after --yes says the user compared it.
int runVerifyKey(const CliOptions& o, std::string& misuse)
{
    if (!needs(o, 1, misuse, "verify-key needs TEXT, --signer TEXT and a passphrase option") || o.signer.empty())
        return misuse = "verify-key needs TEXT, --signer TEXT and a passphrase option", Usage;
    if (loadRings() != 0)
        return IoFailure;
    const std::string fingerprint = sdk::keyFingerprint(o.positional[0]);
    if (fingerprint.empty())
        return exitCodeFromFailure();
    std::printf("fingerprint\t%s\n", sdk::groupedFingerprint(fingerprint).c_str());
    if (!o.yes)
        return misuse = "compare the fingerprint with the key's owner, then confirm with --yes", Usage;
    return sdk::verifyKey(o.positional[0], o.signer, SharedPassphrase::instance().get()) ? Ok : exitCodeFromFailure();
}
