#include "sdk/key_search.h"

#include <algorithm>
#include <cctype>

#include "net/hkp_server.h"
#include "net/https_fetch.h"
#include "net/wkd_address.h"
#include "sdk/key_lookup.h"
#include "sdk/keyserver_request.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_holders.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string keyIdText(const PGPKeyID& id)
{
    char text[kPGPMaxKeyIDStringSize] = {};
    call::PGPGetKeyIDString(&id, static_cast<PGPInt32>(kPGPKeyIDString_Full), text);
    std::string hex = text;
    return hex.rfind("0x", 0) == 0 ? hex.substr(2) : hex;
}

// The key IDs of a key and of its subkeys.
std::vector<std::string> keyIdsOf(PGPKeyRef key, PGPKeyIterRef iter)
{
    std::vector<std::string> ids;
    PGPKeyID id {};
    if (call::PGPGetKeyIDFromKey(key, &id) == kPGPError_NoErr)
        ids.push_back(keyIdText(id));
    PGPSubKeyRef sub = nullptr;
    while (call::PGPKeyIterNextSubKey(iter, &sub) == kPGPError_NoErr && sub)
        if (call::PGPGetKeyIDFromSubKey(sub, &id) == kPGPError_NoErr)
            ids.push_back(keyIdText(id));
    return ids;
}

std::vector<std::string> userIdsOf(PGPKeyIterRef iter)
{
    std::vector<std::string> ids;
    PGPUserIDRef uid = nullptr;
    while (call::PGPKeyIterNextUserID(iter, &uid) == kPGPError_NoErr && uid) {
        char text[1024] = {};
        PGPSize length = 0;
        call::PGPGetUserIDStringBuffer(uid, static_cast<PGPInt32>(kPGPUserIDPropName), sizeof text, text, &length);
        ids.emplace_back(text, std::min<PGPSize>(length, sizeof text - 1));
    }
    return ids;
}

bool matches(const KeyQuery& q, const FoundKey& k, const std::vector<std::string>& keyIds)
{
    switch (q.kind) {
    case QueryKind::Address:
        return std::any_of(k.userIds.begin(), k.userIds.end(), [&](const std::string& u) { return userIdAddress(u) == q.text; });
    case QueryKind::Fingerprint: return k.fingerprint == q.text;
    case QueryKind::KeyId:
        return std::any_of(keyIds.begin(), keyIds.end(), [&](const std::string& id) {
            return id.size() >= q.text.size() && id.compare(id.size() - q.text.size(), q.text.size(), q.text) == 0;
        });
    default: return false;
    }
}

// The public packets of one key of a set.
std::string publicBytes(PGPContextRef c, PGPKeyRef key)
{
    PGPKeySetRef raw = nullptr;
    if (call::PGPNewSingletonKeySet(key, &raw) != kPGPError_NoErr)
        return {};
    KeySetHolder one(raw);
    void* data = nullptr;
    PGPSize size = 0;
    call::PGPExportKeySet(one.get(), call::PGPOAllocatedOutputBuffer(c, &data, static_cast<PGPSize>(-1), &size),
                          call::PGPOArmorOutput(c, static_cast<PGPBoolean>(0)), last(c));
    std::string out = data ? std::string(static_cast<const char*>(data), size) : std::string();
    call::PGPFreeData(data);
    return out;
}

}  // namespace

std::string userIdAddress(const std::string& userId)
{
    const auto open = userId.rfind('<'), close = userId.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open)
        return lower(userId.substr(open + 1, close - open - 1));
    return userId.find('@') != std::string::npos && userId.find(' ') == std::string::npos ? lower(userId) : "";
}

namespace {

// A name or other text for the keyserver's listing: trimmed, at least 3
// characters, nothing that belongs to an address.
KeyQuery textQuery(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    const std::string t = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (t.size() < 3 || t.find_first_of("@<>\r\n") != std::string::npos)
        return {};
    return {QueryKind::Text, t};
}

}  // namespace

KeyQuery parseKeyQuery(const std::string& text)
{
    // "Name <address>": the address.
    const auto open = text.rfind('<'), close = text.rfind('>');
    const std::string inner = open != std::string::npos && close != std::string::npos && close > open
                                  ? text.substr(open + 1, close - open - 1)
                                  : text;
    std::string t;
    for (char c : inner)
        if (!std::isspace(static_cast<unsigned char>(c)))
            t += c;
    if (net::wkdUrls(QString::fromStdString(t)))
        return {QueryKind::Address, lower(t)};
    const bool prefixed = t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0;
    std::string hex = prefixed ? t.substr(2) : t;
    if (hex.empty() || !std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return prefixed ? KeyQuery {} : textQuery(text);
    std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (hex.size() == 40)
        return {QueryKind::Fingerprint, hex};
    if (hex.size() == 16 || hex.size() == 8)
        return {QueryKind::KeyId, hex};
    return prefixed ? KeyQuery {} : textQuery(text);
}

std::vector<FoundKey> matchingKeys(const std::string& bytes, const KeyQuery& query, const std::string& source,
                                   int& dropped)
{
    std::vector<FoundKey> found;
    SdkUse use;
    if (!use.loadKeys() || bytes.empty())
        return found;
    const PGPContextRef c = use.context();
    PGPKeySetRef raw = nullptr;
    if (call::PGPImportKeySet(c, &raw, call::PGPOInputBuffer(c, bytes.data(), static_cast<PGPSize>(bytes.size())),
                              last(c)) != kPGPError_NoErr)
        return found;
    KeySetHolder scratch(raw);
    forEachKey(scratch.get(), static_cast<PGPInt32>(kPGPAnyOrdering), [&](PGPKeyRef key, PGPKeyIterRef iter) {
        FoundKey k;
        k.fingerprint = fingerprintHex(key);
        k.source = source;
        call::PGPGetKeyTime(key, static_cast<PGPInt32>(kPGPKeyPropCreation), &k.created);
        call::PGPGetKeyTime(key, static_cast<PGPInt32>(kPGPKeyPropExpiration), &k.expires);
        PGPBoolean revoked = 0;
        call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropIsRevoked), &revoked);
        k.revoked = revoked != 0;
        const std::vector<std::string> ids = keyIdsOf(key, iter);
        k.userIds = userIdsOf(iter);
        if (!matches(query, k, ids))
            return void(++dropped);
        k.keyBytes = publicBytes(c, key);
        found.push_back(std::move(k));
    });
    return found;
}

std::optional<QUrl> keyserverOrNote(const QString& setting, LookupResult& result)
{
    const auto base = net::keyserverBase(setting);
    if (!base) {
        result.notes.push_back("The keyserver " + setting.toStdString() + " is no hkps:// or https:// address");
        result.serverFailed = true;
    }
    return base;
}

void noteFailedAnswer(const std::string& source, const QString& message, bool notFound, LookupResult& result)
{
    result.notes.push_back(source + ": " + message.toStdString());
    result.serverFailed = result.serverFailed || !notFound;
}

namespace {

// Adds the matching keys of one answer to result (a key found twice names
// both sources), or says why it brought none.
void takeAnswer(const net::FetchResult& answer, const KeyQuery& query, const std::string& source, LookupResult& result)
{
    if (!answer.ok())
        return noteFailedAnswer(source, answer.message, answer.failure == net::FetchFailure::NotFound, result);
    int dropped = 0;
    std::vector<FoundKey> keys = matchingKeys(answer.body.toStdString(), query, source, dropped);
    if (keys.empty() && dropped == 0)
        result.notes.push_back(source + ": the answer held no OpenPGP key");
    if (dropped)
        result.notes.push_back(source + ": " + std::to_string(dropped) + " key(s) that do not match were left out");
    for (FoundKey& k : keys) {
        auto same = std::find_if(result.keys.begin(), result.keys.end(),
                                 [&](const FoundKey& f) { return f.fingerprint == k.fingerprint; });
        if (same == result.keys.end())
            result.keys.push_back(std::move(k));
        else
            same->source += ", " + source;
    }
}

// The Web Key Directory: the advanced method, and the direct one only where
// the advanced method's host does not exist.
void lookUpInWkd(const KeyQuery& query, const std::atomic<bool>* stop, LookupResult& result)
{
    const auto urls = net::wkdUrls(QString::fromStdString(query.text));
    if (!urls)
        return;
    net::FetchResult answer = net::fetch({urls->advanced, {}, kLookupTimeoutMs, kLookupMaxBytes, stop});
    if (answer.failure == net::FetchFailure::NoSuchHost)
        answer = net::fetch({urls->direct, {}, kLookupTimeoutMs, kLookupMaxBytes, stop});
    takeAnswer(answer, query, "WKD " + answer.url.host().toStdString(), result);
}

void lookUpOnKeyserver(const KeyQuery& query, const QString& keyserver, const std::atomic<bool>* stop,
                       LookupResult& result)
{
    const auto base = keyserverOrNote(keyserver, result);
    if (!base)
        return;
    const QString what = QString::fromStdString(query.kind == QueryKind::Address ? query.text : "0x" + query.text);
    takeAnswer(net::fetch({net::keyserverGet(*base, what), {}, kLookupTimeoutMs, kLookupMaxBytes, stop}), query,
               "keyserver " + base->host().toStdString(), result);
}

}  // namespace

LookupResult lookUpKeys(const KeyQuery& query, const LookupSettings& settings, const std::atomic<bool>* stop)
{
    LookupResult result;
    if (query.kind == QueryKind::Invalid) {
        result.notes.push_back("Look up an e-mail address, a fingerprint, a key ID or a name");
        return result;
    }
    if (query.kind == QueryKind::Text)
        return listKeysOnKeyserver(query.text, settings.keyserver, stop);
    if (query.kind == QueryKind::Address && settings.useWkd)
        lookUpInWkd(query, stop, result);
    if (!settings.keyserver.trimmed().isEmpty())
        lookUpOnKeyserver(query, settings.keyserver, stop, result);
    return result;
}

std::optional<ImportCounts> importFoundKeys(const std::vector<FoundKey>& keys)
{
    std::string bytes;
    for (const FoundKey& k : keys)
        bytes += k.keyBytes;
    if (bytes.empty())
        return std::nullopt;
    return importKeyText(bytes);
}

}  // namespace sdk
