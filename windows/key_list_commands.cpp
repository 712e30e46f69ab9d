// The key list's user actions. Each asks what it needs through the prompt
// seam on the GUI thread, then does its SDK work (sdk/key_changes,
// sdk/key_commands) on the window's worker; the binding tells of failures,
// and the change reaches every window that lists keys.
#include "windows/key_list_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>

#include <cstdlib>
#include <memory>

#include "app/prompts.h"
#include "sdk/key_changes.h"
#include "sdk/key_commands.h"
#include "sdk/key_details.h"
#include "sdk/key_upkeep.h"
#include "windows/key_forms.h"
#include "windows/window_controls.h"
#include "core/app_config.h"
#include "sdk/key_search.h"
#include "windows/key_list_window.h"
#include "windows/lookup_dialog.h"

using namespace keyforms;

namespace {

// Asks for a new passphrase twice until both agree; an empty one only
// when the user confirms it. Nothing when cancelled. What was typed but
// the passphrases stays in the form when it comes back.
std::optional<Prompts::FormAnswer> askWithNewPassphrase(Prompts::FormRequest request, const QString& caption)
{
    request.fields.push_back({"passphrase", "New passphrase :", Field::Kind::Masked, {}, {}});
    request.fields.push_back({"repeat", "Repeat it :", Field::Kind::Masked, {}, {}});
    while (auto answer = Prompts::askForm(request)) {
        fillIn(request, typedInto(request, *answer));
        if ((*answer)["passphrase"].str() != (*answer)["repeat"].str()) {
            Prompts::message(caption, "The two passphrases differ.|Please type them again.", Prompts::Icon::Exclamation);
            continue;
        }
        if ((*answer)["passphrase"].empty() &&
            !Prompts::question(caption, "The secret key would not be protected by a passphrase: anyone who gets a "
                                        "copy of the key ring could use it.|Go on without a passphrase?"))
            continue;
        return answer;
    }
    return std::nullopt;
}

// The text of the Certify form: the fingerprint in groups of four, and
// what to compare it with.
QString certifyText(const QString& name, const std::string& fingerprint)
{
    return "Certify that the user IDs of " + name + " belong to its owner.||Fingerprint:|    " +
           QString::fromStdString(sdk::groupedFingerprint(fingerprint)) +
           "||Compare it with the fingerprint the owner tells you (in person, or by a call you trust) before you "
           "certify.";
}

QStringList algorithmChoices()
{
    QStringList names;
    for (const sdk::KeyAlgorithmName& n : sdk::keyAlgorithmNames())
        names << n.shown;
    return names;
}

void tellImport(const sdk::ImportCounts& c)
{
    QString text = QString::fromStdString(sdk::importSummary(c));
    for (const std::string& name : c.names)
        text += "|    " + (name.empty() ? QString("a key without user ID") : QString::fromStdString(name));
    if (!c.leftOut.empty())
        text += "|Left out:";
    for (const std::string& name : c.leftOut)
        text += "|    " + QString::fromStdString(name);
    Prompts::message("Import", text, c.leftOut.empty() ? Prompts::Icon::Information : Prompts::Icon::Exclamation);
}

// An import's one line in the status bar, and its message.
void confirmImport(QWidget* window, const sdk::ImportCounts& c)
{
    showStatusNote(window, QString::fromStdString(sdk::importConfirmation(c)));
    tellImport(c);
}

}  // namespace

const KeyTreeRow* KeyListCommands::selectedKey(const QString& caption)
{
    const KeyTreeRow* row = window_.currentKey();
    if (!row)
        Prompts::message(caption, "Select a key in the list first.", Prompts::Icon::Information);
    return row;
}

const KeyTreeRow* KeyListCommands::selectedKeyPair(const QString& caption)
{
    const KeyTreeRow* key = selectedKey(caption);
    if (key && !key->IsSecret) {
        Prompts::message(caption, keyName(*key) + " is no key pair of yours: it has no secret key.",
                         Prompts::Icon::Information);
        return nullptr;
    }
    return key;
}

void KeyListCommands::runConfirmed(std::function<bool()> job, const QString& confirmation,
                                   std::function<void()> onFailure)
{
    auto ok = std::make_shared<bool>(false);
    window_.runKeyJob([job = std::move(job), ok] { *ok = job(); },
                      [this, ok, confirmation, onFailure = std::move(onFailure)] {
                          if (*ok)
                              showStatusNote(&window_, confirmation);
                          else if (onFailure)
                              onFailure();  // the binding told why; the form comes back as it was
                      });
}

void KeyListCommands::generateKey() { generateKeyWith({}); }

void KeyListCommands::generateKeyWith(const Prefill& prefill)
{
    const QString caption = "Generate";
    Prompts::FormRequest request {caption, "A key pair for signing, with a subkey for encryption.", {}};
    request.fields = {{"name", "Name :", Field::Kind::Text, {}, {}},
                      {"email", "E-mail :", Field::Kind::Text, {}, {}},
                      {"algorithm", "Algorithm :", Field::Kind::Choice, algorithmChoices(), {}},
                      {"expiry", "Expires :", Field::Kind::Choice, {"in 3 years", "in 1 year", "in 2 years", "in 5 years", "never"}, {}}};
    fillIn(request, prefill);
    std::optional<Prompts::FormAnswer> answer;
    while ((answer = askWithNewPassphrase(request, caption)) && text(*answer, "name").empty()) {
        fillIn(request, typedInto(request, *answer));
        Prompts::message(caption, "The key needs a name.", Prompts::Icon::Exclamation);
    }
    if (!answer)
        return;
    auto key = std::make_shared<sdk::NewKey>();
    key->name = text(*answer, "name");
    key->email = text(*answer, "email");
    key->algorithm = sdk::keyAlgorithmNamed(text(*answer, "algorithm"));
    const std::string expiry = text(*answer, "expiry");
    key->expiryDays = expiry == "never" ? 0 : 365 * static_cast<std::uint32_t>(std::max(1, std::atoi(expiry.c_str() + 3)));
    key->passphrase = (*answer)["passphrase"];
    const QString who = QString::fromStdString(key->email.empty() ? key->name : key->name + " <" + key->email + ">");
    auto fingerprint = std::make_shared<std::string>();
    window_.runKeyJob([key, fingerprint] { *fingerprint = sdk::generateKey(*key); },
                      [this, who, fingerprint, kept = typedInto(request, *answer)] {
                          if (fingerprint->empty())
                              return generateKeyWith(kept);  // the binding told why; the form comes back
                          showStatusNote(&window_, "Generated: " + who);
                          Prompts::message("Generate",
                                           "Generated: " + who + "|Its revocation certificate is in|    " +
                                               QString::fromStdString(sdk::revocationPath(*fingerprint)) +
                                               "|Keep a copy where only you can reach it: it revokes the key "
                                               "should you lose it or its passphrase.",
                                           Prompts::Icon::Information);
                      });
}

void KeyListCommands::importKeys()
{
    const auto path = Prompts::chooseFile({"Import keys", {}, {}, {"Key files (*.asc *.gpg *.pgp *.key)", "All files (*)"},
                                           Prompts::FileMode::Open});
    if (path)
        importFiles({path->toStdString()});
}

void KeyListCommands::importFiles(const std::vector<std::string>& paths)
{
    auto totals = std::make_shared<sdk::ImportTotals>();
    window_.runKeyJob([paths, totals] { *totals = sdk::importKeyFiles(paths); },
                      [this, totals] {
                          if (!totals->anyRead)
                              return;
                          confirmImport(&window_, totals->counts);
                      });
}

void KeyListCommands::importText(const std::string& text)
{
    auto counts = std::make_shared<std::optional<sdk::ImportCounts>>();
    window_.runKeyJob([text, counts] { *counts = sdk::importKeyText(text); },
                      [this, counts] {
                          if (!*counts)
                              return;
                          confirmImport(&window_, **counts);
                      });
}

void KeyListCommands::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.contains("-----BEGIN PGP "))
        importText(text.toStdString());
    else
        Prompts::message("Import", "The clipboard holds no armoured OpenPGP key.", Prompts::Icon::Information);
}

void KeyListCommands::exportKey()
{
    const KeyTreeRow* key = selectedKey("Export");
    if (!key)
        return;
    const bool secret =
        key->IsSecret && Prompts::question("Export", "Export the secret key of " + keyName(*key) +
                                                         " too?|It stays protected by its passphrase. Choose No "
                                                         "to export the public key only.");
    QString name = QString::fromStdString(key->Name).section('<', 0, 0).trimmed();
    name.replace(QRegularExpression("[^\\w.-]+"), "_");
    const auto path = Prompts::chooseFile({"Export", {}, (name.isEmpty() ? "key" : name) + (secret ? "-secret.asc" : ".asc"),
                                           {"ASCII-armoured keys (*.asc)", "All files (*)"}, Prompts::FileMode::Save});
    if (!path)
        return;
    const std::string id = key->KeyIDText, file = path->toStdString();
    runConfirmed([id, file, secret] { return sdk::exportKeyToFile(id, file, true, secret); },
                 "Exported: " + keyName(*key) + " to " + *path);
}

void KeyListCommands::deleteKey()
{
    const KeyTreeRow* key = selectedKey("Delete");
    if (!key)
        return;
    const QString name = keyName(*key);
    const bool pair = key->IsSecret;
    if (!Prompts::question("Delete", pair ? "Delete the key pair " + name + "?|Its secret key goes too." :
                                            "Delete the public key " + name + "?"))
        return;
    if (pair && !Prompts::question("Delete", "The secret key of " + name +
                                                 " cannot be brought back: messages encrypted to it can no longer "
                                                 "be read.|Really delete it?"))
        return;
    const std::string id = key->KeyIDText;
    runConfirmed([id, pair] { return sdk::deleteKey(id, pair); }, "Deleted: " + name);
}

void KeyListCommands::changePassphrase()
{
    const QString caption = "Change passphrase";
    const KeyTreeRow* key = selectedKeyPair(caption);
    if (!key)
        return;
    Prompts::FormRequest request {caption, "A new passphrase for " + keyName(*key) + ".", {}};
    request.fields.push_back({"old", "Passphrase now :", Field::Kind::Masked, {}, {}});
    auto answer = askWithNewPassphrase(request, caption);
    if (!answer)
        return;
    const std::string id = key->KeyIDText;
    auto old = std::make_shared<SecretText>((*answer)["old"]);
    auto fresh = std::make_shared<SecretText>((*answer)["passphrase"]);
    runConfirmed([id, old, fresh] { return sdk::changeKeyPassphrase(id, *old, *fresh); },
                 "Passphrase changed: " + keyName(*key), [this] { changePassphrase(); });
}

void KeyListCommands::certifyKey()
{
    const KeyTreeRow* key = selectedKey("Certify");
    if (!key)
        return;
    // The fingerprint to compare is read on the worker first.
    const std::string id = key->KeyIDText;
    auto details = std::make_shared<std::optional<sdk::KeyDetails>>();
    window_.runKeyJob([id, details] { *details = sdk::keyDetails(id); },
                      [this, id, details] {
                          if (*details)
                              askCertify(id, (*details)->fingerprint, {});
                      });
}

void KeyListCommands::askCertify(const std::string& id, const std::string& fingerprint, const Prefill& prefill)
{
    const QString caption = "Certify";
    const KeyTreeRow* key = window_.model()->keyRowWithId(id);
    if (!key)
        return;
    const auto [names, ids] = certifiersFor(window_.model()->rows(), id);
    if (ids.empty())
        return Prompts::message(caption, "None of your key pairs can certify " + keyName(*key) + ".",
                                Prompts::Icon::Information);
    Prompts::FormRequest request {caption, certifyText(keyName(*key), fingerprint), {}};
    request.fields = {{"certifier", "Certify with :", Field::Kind::Choice, names, {}},
                      {"passphrase", "Its passphrase :", Field::Kind::Masked, {}, {}}};
    fillIn(request, prefill);
    auto answer = Prompts::askForm(request);
    if (!answer)
        return;
    const int chosen = names.indexOf(QString::fromStdString(text(*answer, "certifier")));
    const std::string by = ids[static_cast<std::size_t>(std::max(0, chosen))];
    auto pass = std::make_shared<SecretText>((*answer)["passphrase"]);
    runConfirmed([id, by, pass] { return sdk::certifyKey(id, by, *pass); }, "Certified: " + keyName(*key),
                 [this, id, fingerprint, kept = typedInto(request, *answer)] { askCertify(id, fingerprint, kept); });
}

void KeyListCommands::revokeKey()
{
    const QString caption = "Revoke";
    const KeyTreeRow* key = selectedKeyPair(caption);
    if (!key)
        return;
    if (!Prompts::question(caption, "Revoke " + keyName(*key) +
                                        "?|Nobody will encrypt to it or trust its signatures once they have the "
                                        "revoked key. This cannot be undone."))
        return;
    askRevocation(key->KeyIDText, keyName(*key));
}

void KeyListCommands::askRevocation(const std::string& id, const QString& name)
{
    Prompts::FormRequest request {"Revoke", "The passphrase of " + name + ":", {}};
    request.fields.push_back({"passphrase", "Passphrase :", Field::Kind::Masked, {}, {}});
    auto answer = Prompts::askForm(request);
    if (!answer)
        return;
    auto secret = std::make_shared<SecretText>((*answer)["passphrase"]);
    runConfirmed([id, secret] { return sdk::revokeKey(id, *secret); }, "Revoked: " + name,
                 [this, id, name] { askRevocation(id, name); });
}

void KeyListCommands::copyPublicKey()
{
    const KeyTreeRow* key = selectedKey("Copy public key");
    if (!key)
        return;
    const std::string id = key->KeyIDText;
    const QString name = keyName(*key);
    auto armour = std::make_shared<std::string>();
    window_.runKeyJob([id, armour] { *armour = sdk::armouredPublicKey(id); },
                      [this, armour, name] {
                          if (armour->empty())
                              return;
                          QGuiApplication::clipboard()->setText(QString::fromStdString(*armour));
                          showStatusNote(&window_, "Copied the public key of " + name);
                      });
}

void KeyListCommands::lookUp()
{
    auto* dialog = new LookupDialog(&window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void KeyListCommands::refreshFromNetwork()
{
    const KeyTreeRow* key = window_.currentKey();
    std::vector<std::string> texts;
    if (key)
        texts.push_back(key->KeyIDText);
    const LookupSettings settings = readLookupSettings(AppConfig::instance().snapshot().IniPath);
    auto result = std::make_shared<sdk::RefreshResult>();
    window_.runKeyJob([texts, settings, result] { *result = sdk::refreshKeys(texts, settings); },
                      [this, result] {
                          for (const std::string& note : result->notes)
                              showStatusNote(&window_, QString::fromStdString(note));
                          if (!result->counts)
                              return;
                          confirmImport(&window_, *result->counts);
                      });
}

void KeyListCommands::publish()
{
    const QString caption = "Publish";
    const KeyTreeRow* key = selectedKeyPair(caption);
    if (!key)
        return;
    const LookupSettings settings = readLookupSettings(AppConfig::instance().snapshot().IniPath);
    if (!Prompts::question(caption, "Send the public key of " + keyName(*key) + " to " + settings.keyserver +
                                        "?|Anyone will be able to find it there, with its user IDs. Its secret key "
                                        "is not sent."))
        return;
    const std::string id = key->KeyIDText;
    runConfirmed([id, settings] { return sdk::publishKey(id, settings); }, "Published: " + keyName(*key));
}
