#include "windows/key_pair_commands.h"

#include <ctime>
#include <memory>

#include "sdk/key_upkeep.h"
#include "windows/key_list_commands.h"
#include "windows/key_list_window.h"

using namespace keyforms;

namespace {

const QStringList kExpiryChoices = {"in 1 year", "in 2 years", "in 3 years", "in 5 years", "never"};

// The date an expiry choice names, from now; 0 for never.
std::int64_t expiryOf(const std::string& choice)
{
    if (choice == "never" || choice.size() < 4)
        return 0;
    return static_cast<std::int64_t>(std::time(nullptr)) + 365LL * 86400 * std::max(1, std::atoi(choice.c_str() + 3));
}

QString partName(const sdk::KeyPart& p, bool primary)
{
    return QString(primary ? "Primary key " : "Subkey ") + QString::fromStdString(p.keyId) + " (" +
           QString::fromStdString(p.use) + ")";
}

}  // namespace

void KeyPairCommands::withDetails(const QString& caption, bool pairOnly,
                                  std::function<void(const std::string&, const QString&, const sdk::KeyDetails&)> ask)
{
    const KeyTreeRow* key = pairOnly ? commands_.selectedKeyPair(caption) : commands_.selectedKey(caption);
    if (!key)
        return;
    const std::string id = key->KeyIDText;
    const QString name = keyName(*key);
    auto details = std::make_shared<std::optional<sdk::KeyDetails>>();
    window_.runKeyJob([id, details] { *details = sdk::keyDetails(id); },
                      [id, name, details, ask = std::move(ask)] {
                          if (*details)
                              ask(id, name, **details);
                      });
}

QStringList KeyPairCommands::userIdsOf(const std::string& id) const
{
    QStringList ids;
    bool inKey = false;
    for (const KeyTreeRow& row : window_.model()->rows()) {
        if (std::abs(row.Level) == 1)
            inKey = row.KeyIDText == id;
        else if (inKey && std::abs(row.Level) == 2 && row.Description.find("User ID") != std::string::npos)
            ids << QString::fromStdString(row.Name);
    }
    return ids;
}

void KeyPairCommands::askAndRun(Prompts::FormRequest request, const QString& done,
                                std::function<bool(const Prompts::FormAnswer&)> change)
{
    request.fields.push_back({"passphrase", "Its passphrase :", Field::Kind::Masked, {}, {}});
    auto answer = Prompts::askForm(request);
    if (!answer)
        return;
    auto given = std::make_shared<Prompts::FormAnswer>(std::move(*answer));
    commands_.runConfirmed([given, change = std::move(change)] { return change(*given); }, done,
                           [this, request, kept = typedInto(request, *given), done, change]() mutable {
                               request.fields.pop_back();  // asked again, as it was typed
                               fillIn(request, kept);
                               askAndRun(request, done, change);
                           });
}

void KeyPairCommands::changeExpiry()
{
    withDetails("Change expiry", true, [this](const std::string& id, const QString& name, const sdk::KeyDetails& d) {
        QStringList parts;
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < d.parts.size(); ++i)
            if (!d.parts[i].revoked)
                parts << partName(d.parts[i], i == 0), ids.push_back(i ? d.parts[i].keyId : std::string());
        Prompts::FormRequest request {"Change expiry", "When " + name + " (or one of its subkeys) expires.", {}};
        request.fields = {{"part", "Key :", Field::Kind::Choice, parts, {}},
                          {"expiry", "Expires :", Field::Kind::Choice, kExpiryChoices, {}}};
        askAndRun(request, "Expiry changed: " + name, [id, parts, ids](const Prompts::FormAnswer& a) {
            const int at = std::max<int>(0, static_cast<int>(parts.indexOf(QString::fromStdString(text(a, "part")))));
            return sdk::setKeyExpiry(id, ids[static_cast<std::size_t>(at)], expiryOf(text(a, "expiry")),
                                     a.at("passphrase"));
        });
    });
}

void KeyPairCommands::addUserId()
{
    const KeyTreeRow* key = commands_.selectedKeyPair("Add user ID");
    if (!key)
        return;
    const std::string id = key->KeyIDText;
    Prompts::FormRequest request {"Add user ID", "A new user ID for " + keyName(*key) + ".", {}};
    request.fields = {{"name", "Name :", Field::Kind::Text, {}, {}}, {"email", "E-mail :", Field::Kind::Text, {}, {}}};
    askAndRun(request, "User ID added: " + keyName(*key), [id](const Prompts::FormAnswer& a) {
        const std::string name = text(a, "name"), email = text(a, "email");
        return sdk::addUserId(id, email.empty() ? name : name + " <" + email + ">", a.at("passphrase"));
    });
}

void KeyPairCommands::makePrimaryUserId()
{
    const KeyTreeRow* key = commands_.selectedKeyPair("Primary user ID");
    if (!key)
        return;
    const std::string id = key->KeyIDText;
    Prompts::FormRequest request {"Primary user ID", "The user ID that peers show first for " + keyName(*key) + ".", {}};
    request.fields = {{"userId", "User ID :", Field::Kind::Choice, userIdsOf(id), {}}};
    askAndRun(request, "Primary user ID set: " + keyName(*key), [id](const Prompts::FormAnswer& a) {
        return sdk::makePrimaryUserId(id, text(a, "userId"), a.at("passphrase"));
    });
}

void KeyPairCommands::revokeUserId()
{
    const KeyTreeRow* key = commands_.selectedKeyPair("Revoke user ID");
    if (!key)
        return;
    const std::string id = key->KeyIDText;
    Prompts::FormRequest request {"Revoke user ID",
                                  "Revoke a user ID of " + keyName(*key) +
                                      ": peers will no longer take it as the key's. This cannot be undone.",
                                  {}};
    request.fields = {{"userId", "User ID :", Field::Kind::Choice, userIdsOf(id), {}},
                      {"reason", "Why (optional) :", Field::Kind::Text, {}, {}}};
    askAndRun(request, "User ID revoked: " + keyName(*key), [id](const Prompts::FormAnswer& a) {
        return sdk::revokeUserId(id, text(a, "userId"), text(a, "reason"), a.at("passphrase"));
    });
}

void KeyPairCommands::addSubkey()
{
    const KeyTreeRow* key = commands_.selectedKeyPair("Add subkey");
    if (!key)
        return;
    const std::string id = key->KeyIDText;
    QStringList algorithms;
    for (const sdk::KeyAlgorithmName& n : sdk::keyAlgorithmNames())
        algorithms << n.shown;
    Prompts::FormRequest request {"Add subkey", "A new subkey for " + keyName(*key) + ".", {}};
    request.fields = {{"use", "Use :", Field::Kind::Choice, {"Encryption", "Signing"}, {}},
                      {"algorithm", "Algorithm :", Field::Kind::Choice, algorithms, {}},
                      {"expiry", "Expires :", Field::Kind::Choice, kExpiryChoices, {}}};
    askAndRun(request, "Subkey added: " + keyName(*key), [id](const Prompts::FormAnswer& a) {
        const std::int64_t until = expiryOf(text(a, "expiry"));
        const auto days = static_cast<std::uint32_t>(until ? (until - std::time(nullptr) + 86399) / 86400 : 0);
        return sdk::addSubkey(id, text(a, "use") == "Signing" ? sdk::SubkeyUse::Sign : sdk::SubkeyUse::Encrypt,
                              sdk::keyAlgorithmNamed(text(a, "algorithm")), days, a.at("passphrase"));
    });
}

void KeyPairCommands::revokeSubkey()
{
    withDetails("Revoke subkey", true, [this](const std::string& id, const QString& name, const sdk::KeyDetails& d) {
        QStringList parts;
        std::vector<std::string> ids;
        for (std::size_t i = 1; i < d.parts.size(); ++i)
            if (!d.parts[i].revoked)
                parts << partName(d.parts[i], false), ids.push_back(d.parts[i].keyId);
        if (parts.isEmpty())
            return Prompts::message("Revoke subkey", name + " has no subkey to revoke.", Prompts::Icon::Information);
        Prompts::FormRequest request {"Revoke subkey",
                                      "Revoke a subkey of " + name + ": peers stop using it. This cannot be undone.", {}};
        request.fields = {{"subkey", "Subkey :", Field::Kind::Choice, parts, {}},
                          {"reason", "Why (optional) :", Field::Kind::Text, {}, {}}};
        askAndRun(request, "Subkey revoked: " + name, [id, parts, ids](const Prompts::FormAnswer& a) {
            const int at = std::max<int>(0, static_cast<int>(parts.indexOf(QString::fromStdString(text(a, "subkey")))));
            return sdk::revokeSubkey(id, ids[static_cast<std::size_t>(at)], text(a, "reason"), a.at("passphrase"));
        });
    });
}

void KeyPairCommands::verifyKey()
{
    withDetails("Verify", false, [this](const std::string& id, const QString& name, const sdk::KeyDetails& d) {
        const auto [names, ids] = certifiersFor(window_.model()->rows(), id);
        if (ids.empty())
            return Prompts::message("Verify", "None of your key pairs can verify " + name + ".", Prompts::Icon::Information);
        Prompts::FormRequest request {
            "Verify",
            "Check that " + name + " is its owner's key.||Fingerprint:|    " +
                QString::fromStdString(sdk::groupedFingerprint(d.fingerprint)) +
                "||Compare it with the fingerprint the owner tells you (in person, or by a call you trust). When they "
                "agree, the key counts as verified here; the certification stays on this computer and is never "
                "exported or published.",
            {}};
        request.fields = {{"certifier", "Verify with :", Field::Kind::Choice, names, {}}};
        askAndRun(request, "Verified: " + name, [id, names, ids](const Prompts::FormAnswer& a) {
            const int at = std::max<int>(0, static_cast<int>(names.indexOf(QString::fromStdString(text(a, "certifier")))));
            return sdk::verifyKey(id, ids[static_cast<std::size_t>(at)], a.at("passphrase"));
        });
    });
}
