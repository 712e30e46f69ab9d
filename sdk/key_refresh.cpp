// Refreshing keys from the network and publishing one: both on the look-up
// of key_search and the import path of key_changes.
#include "sdk/key_search.h"

#include "core/frontend.h"
#include "net/hkp_server.h"
#include "net/https_fetch.h"
#include "sdk/key_commands.h"
#include "sdk/key_details.h"
#include "sdk/key_tree.h"

namespace sdk {

namespace {

// The keys of result that are the key with this fingerprint, with the notes.
void takeSameKey(LookupResult result, const std::string& fingerprint, std::vector<FoundKey>& found,
                 std::vector<std::string>& notes)
{
    for (FoundKey& k : result.keys)
        if (k.fingerprint == fingerprint)
            found.push_back(std::move(k));
    notes.insert(notes.end(), result.notes.begin(), result.notes.end());
}

// The key IDs of every key of the open rings.
std::vector<std::string> allKeyIds()
{
    std::vector<std::string> ids;
    for (const KeyTreeRow& row : fillKeyTree(kPGPAnyOrdering))
        if (row.Level == 1 || row.Level == -1)
            ids.push_back(row.KeyIDText);
    return ids;
}

}  // namespace

RefreshResult refreshKeys(const std::vector<std::string>& texts, const LookupSettings& settings,
                          const std::atomic<bool>* stop)
{
    RefreshResult r;
    std::vector<std::string> ids = texts;
    if (ids.empty())
        ids = allKeyIds();
    std::vector<FoundKey> found;
    for (const std::string& id : ids) {
        if (stop && stop->load())
            break;
        const std::string fingerprint = keyFingerprint(id);  // tells when no one key matches
        const std::optional<KeyDetails> key = fingerprint.empty() ? std::nullopt : keyDetails(fingerprint);
        if (!key)
            continue;
        takeSameKey(lookUpKeys({QueryKind::Fingerprint, key->fingerprint}, {settings.keyserver, false}, stop),
                    key->fingerprint, found, r.notes);
        const std::string address = userIdAddress(key->userId);
        if (settings.useWkd && !address.empty())
            takeSameKey(lookUpKeys({QueryKind::Address, address}, {QString(), true}, stop), key->fingerprint, found,
                        r.notes);
    }
    r.counts = found.empty() ? std::optional<ImportCounts>(ImportCounts {}) : importFoundKeys(found);
    return r;
}

bool publishKey(const std::string& text, const LookupSettings& settings)
{
    const std::string armour = armouredPublicKey(text);  // the public part only
    if (armour.empty())
        return false;
    const auto base = net::keyserverBase(settings.keyserver);
    const net::FetchResult answer =
        base ? net::fetch({net::keyserverAdd(*base), net::keyserverAddForm(QByteArray::fromStdString(armour))})
             : net::FetchResult {net::FetchFailure::Insecure, 0, {}, {}, "the keyserver is no hkps:// address"};
    if (!answer.ok())
        frontend::notify({"Publish", "The key was not published: " + answer.message, frontend::Icon::Stop,
                          frontend::Failure::Io});
    return answer.ok();
}

}  // namespace sdk
