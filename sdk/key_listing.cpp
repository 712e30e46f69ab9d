// Searching the keyserver by name: its listing shows the keys, and only the
// keys the user chooses are then got, each by its own fingerprint.
#include <algorithm>

#include "net/hkp_index.h"
#include "net/hkp_server.h"
#include "net/https_fetch.h"
#include "sdk/key_search.h"
#include "sdk/keyserver_request.h"

namespace sdk {

namespace {

FoundKey listedKey(const net::IndexedKey& k, const std::string& source)
{
    FoundKey f;
    f.fingerprint = k.keyId.toStdString();
    for (const QString& uid : k.userIds)
        f.userIds.push_back(uid.toStdString());
    f.created = static_cast<PGPTime>(k.created);
    f.expires = static_cast<PGPTime>(k.expires);
    f.revoked = k.revoked;
    f.source = source;
    return f;
}

}  // namespace

LookupResult listKeysOnKeyserver(const std::string& text, const QString& keyserver, const std::atomic<bool>* stop)
{
    LookupResult result;
    if (keyserver.trimmed().isEmpty()) {
        result.notes.push_back("Searching by name needs a keyserver (Settings, Look-up)");
        return result;
    }
    const auto base = keyserverOrNote(keyserver, result);
    if (!base)
        return result;
    const std::string source = "keyserver " + base->host().toStdString();
    const net::FetchResult answer =
        net::fetch({net::keyserverIndex(*base, QString::fromStdString(text)), {}, kLookupTimeoutMs, kLookupMaxBytes, stop});
    if (!answer.ok())
        return noteFailedAnswer(source, answer.message, answer.failure == net::FetchFailure::NotFound, result), result;
    const std::vector<net::IndexedKey> listed = net::parseKeyIndex(answer.body);
    for (const net::IndexedKey& k : listed)
        result.keys.push_back(listedKey(k, source));
    if (listed.size() == net::kMaxIndexedKeys)
        result.notes.push_back(source + ": only the first " + std::to_string(net::kMaxIndexedKeys) + " keys are shown");
    return result;
}

void fetchListedKeys(std::vector<FoundKey>& keys, const QString& keyserver, std::vector<std::string>& notes,
                     const std::atomic<bool>* stop)
{
    std::vector<FoundKey> fetched;
    for (FoundKey& k : keys) {
        if (!k.keyBytes.empty()) {
            fetched.push_back(std::move(k));
            continue;
        }
        // Only the listed key itself: by fingerprint, or by the key ID an
        // older keyserver lists instead.
        const KeyQuery exact {k.fingerprint.size() == 16 ? QueryKind::KeyId : QueryKind::Fingerprint, k.fingerprint};
        LookupResult got = lookUpKeys(exact, {keyserver, false}, stop);
        notes.insert(notes.end(), got.notes.begin(), got.notes.end());
        if (got.keys.empty())
            notes.push_back("The key " + k.fingerprint + " could not be got from the keyserver");
        for (FoundKey& g : got.keys)
            fetched.push_back(std::move(g));
    }
    keys = std::move(fetched);
}

}  // namespace sdk
