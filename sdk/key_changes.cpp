#include "sdk/key_changes.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "core/app_config.h"
#include "core/frontend.h"
#include "sdk/key_commit.h"
#include "sdk/key_lookup.h"
#include "sdk/key_upkeep.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_holders.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

bool failed(const char* caption, const char* label, PGPError e)
{
    reportSdkFailure(caption, label, e);
    return false;
}

bool commit(SdkUse& use, const char* caption) { return commitKeyChange(use, caption); }
bool undo(SdkUse& use, const char* caption, const char* label, PGPError e) { return undoKeyChange(use, caption, label, e); }

struct AlgorithmChoice {
    PGPInt32 primary, subkey;
    PGPUInt32 bits;
};

AlgorithmChoice choiceOf(KeyAlgorithm a)
{
    switch (a) {
    case KeyAlgorithm::Rsa3072: return {kPGPPublicKeyAlgorithm_RSA, kPGPPublicKeyAlgorithm_RSA, 3072};
    case KeyAlgorithm::Rsa4096: return {kPGPPublicKeyAlgorithm_RSA, kPGPPublicKeyAlgorithm_RSA, 4096};
    case KeyAlgorithm::Ed25519V6: return {kPGPPublicKeyAlgorithm_Ed25519, kPGPPublicKeyAlgorithm_X25519, 0};
    default: return {kPGPPublicKeyAlgorithm_EdDSA, kPGPPublicKeyAlgorithm_ECDH, 0};
    }
}

PGPOptionListRef passOption(PGPContextRef c, const SecretText& pass) { return call::PGPOPassphrase(c, pass.c_str()); }

// The primary user IDs of the keys of set, in its order.
std::vector<std::string> keyNames(PGPKeySetRef set)
{
    std::vector<std::string> names;
    forEachKey(set, static_cast<PGPInt32>(kPGPAnyOrdering), [&](PGPKeyRef key, PGPKeyIterRef) {
        char name[256] = {};
        PGPSize length = 0;
        call::PGPGetPrimaryUserIDNameBuffer(key, sizeof name, name, &length);
        names.emplace_back(name, std::min<PGPSize>(length, sizeof name - 1));
    });
    return names;
}

// Imports from the input option makeInput gives; source names it in messages.
std::optional<ImportCounts> importFrom(const QString& source,
                                       const std::function<PGPOptionListRef(PGPContextRef)>& makeInput)
{
    const char* caption = "Import";
    SdkUse use;
    if (!use.loadKeys())
        return std::nullopt;
    const PGPContextRef c = use.context();
    PGPKeySetRef raw = nullptr;
    const PGPError e = call::PGPImportKeySet(c, &raw, makeInput(c), call::PGPOImportKeysTo(c, use.keySet()), last(c));
    KeySetHolder imported(raw);
    if (e == kPGPError_CorruptKeyRing) {
        frontend::notify({caption, "No OpenPGP key could be read from " + source + ".|Nothing was imported.",
                          frontend::Icon::Stop, frontend::Failure::Sdk, e});
        return std::nullopt;
    }
    if (e)
        return failed(caption, "PGPImportKeySet ", e), std::nullopt;
    ImportCounts counts;
    importCounts(imported.get(), counts.added, counts.updated, counts.unchanged);
    counts.leftOut = importLeftOut(imported.get());
    counts.names = keyNames(imported.get());
    if ((counts.added || counts.updated) && !commit(use, caption))
        return std::nullopt;
    return counts;
}

// Selects the key text names, changes it with change and commits.
bool changeOneKey(const char* caption, const std::string& text, const char* label,
                  const std::function<PGPError(PGPContextRef, PGPKeyRef)>& change)
{
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    if (!found)
        return false;
    if (PGPError e = change(use.context(), onlyKey(found.get())))
        return failed(caption, label, e);
    return commit(use, caption);
}

}  // namespace

std::string generateKey(const NewKey& key)
{
    const char* caption = "Generate";
    SdkUse use;
    if (!use.loadKeys())
        return {};
    const PGPContextRef c = use.context();
    const AlgorithmChoice a = choiceOf(key.algorithm);
    const std::string userId = key.email.empty() ? key.name : key.name + " <" + key.email + ">";
    PGPKeyRef made = nullptr;
    PGPError e = call::PGPGenerateKey(c, &made, call::PGPOKeyGenParams(c, a.primary, a.bits),
                                      call::PGPOKeyGenName(c, userId.data(), static_cast<PGPSize>(userId.size())),
                                      passOption(c, key.passphrase), call::PGPOExpiration(c, key.expiryDays),
                                      call::PGPOKeySetRef(c, use.keySet()), last(c));
    if (e)
        return failed(caption, "PGPGenerateKey ", e), std::string();
    e = call::PGPGenerateSubKey(c, &made, call::PGPOKeyGenMasterKey(c, made),
                                call::PGPOKeyGenParams(c, a.subkey, a.bits), passOption(c, key.passphrase),
                                call::PGPOExpiration(c, key.expiryDays), last(c));
    if (e)
        return undo(use, caption, "PGPGenerateSubKey ", e), std::string();
    const std::string fingerprint = fingerprintHex(made);
    if (!commit(use, caption))
        return {};
    // Made now, while the passphrase is at hand; a key that cannot be kept
    // is told, and the key stays.
    const std::string certificate = revocationCertificate(fingerprint, key.passphrase);
    if (!certificate.empty())
        keepRevocationCertificate(fingerprint, certificate);
    return fingerprint;
}

std::optional<ImportCounts> importKeyFile(const std::string& path)
{
    return importFrom(QString::fromStdString(path), [&](PGPContextRef c) { return fileOption(c, path, true); });
}

std::optional<ImportCounts> importKeyText(const std::string& bytes)
{
    return importFrom("the text", [&](PGPContextRef c) {
        return call::PGPOInputBuffer(c, bytes.data(), static_cast<PGPSize>(bytes.size()));
    });
}

bool deleteKey(const std::string& text, bool pair)
{
    const char* caption = "Delete";
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    if (!found)
        return false;
    PGPBoolean secret = 0;
    call::PGPGetKeyBoolean(onlyKey(found.get()), static_cast<PGPInt32>(kPGPKeyPropIsSecret), &secret);
    if (secret && !pair) {
        frontend::notify({caption, QString::fromStdString(text) + " is a key pair: its secret key would go too.|" +
                                       "Nothing was deleted.",
                          frontend::Icon::Exclamation, frontend::Failure::KeyChoice});
        return false;
    }
    if (PGPError e = call::PGPRemoveKeys(found.get(), use.keySet()))
        return undo(use, caption, "PGPRemoveKeys ", e);
    return commit(use, caption);
}

bool changeKeyPassphrase(const std::string& text, const SecretText& old, const SecretText& fresh)
{
    return changeOneKey("Change passphrase", text, "PGPChangePassphrase ", [&](PGPContextRef c, PGPKeyRef key) {
        return call::PGPChangePassphrase(key, passOption(c, old), passOption(c, fresh), last(c));
    });
}

bool certifyKey(const std::string& text, const std::string& certifier, const SecretText& passphrase, bool exportable)
{
    const char* caption = "Certify";
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    KeySetHolder signer = found ? selectCommandKey(use, certifier, caption) : KeySetHolder();
    if (!found || !signer)
        return false;
    const PGPContextRef c = use.context();
    KeyWalk walk(found.get(), static_cast<PGPInt32>(kPGPAnyOrdering));
    walk.next();
    // The user IDs are listed first: each certification makes the key's
    // objects anew.
    std::vector<PGPUserIDRef> userIds;
    PGPUserIDRef uid = nullptr;
    while (call::PGPKeyIterNextUserID(walk.iter(), &uid) == kPGPError_NoErr)
        userIds.push_back(uid);
    for (std::size_t i = 0; i < userIds.size(); ++i) {
        // After the first change the old user-ID objects are stale: each is
        // found again on the key's new object.
        KeySetHolder fresh = i ? selectCommandKey(use, text, caption) : KeySetHolder();
        if (i && !fresh)
            return undo(use, caption, "PGPSignUserID ", kPGPError_ItemNotFound);
        KeyWalk again(i ? fresh.get() : found.get(), static_cast<PGPInt32>(kPGPAnyOrdering));
        again.next();
        PGPUserIDRef current = nullptr;
        for (std::size_t k = 0; k <= i; ++k)
            call::PGPKeyIterNextUserID(again.iter(), &current);
        const PGPError e = call::PGPSignUserID(current, onlyKey(signer.get()), passOption(c, passphrase),
                                               call::PGPOExportable(c, static_cast<PGPBoolean>(exportable)), last(c));
        if (e)
            return undo(use, caption, "PGPSignUserID ", e);
    }
    return commit(use, caption);
}

bool revokeKey(const std::string& text, const SecretText& passphrase)
{
    return changeOneKey("Revoke", text, "PGPRevokeKey ", [&](PGPContextRef c, PGPKeyRef key) {
        return call::PGPRevokeKey(key, passOption(c, passphrase), last(c));
    });
}


const std::vector<KeyAlgorithmName>& keyAlgorithmNames()
{
    static const std::vector<KeyAlgorithmName> names = {{KeyAlgorithm::Ed25519, "Ed25519", "ed25519"},
                                                        {KeyAlgorithm::Rsa3072, "RSA 3072", "rsa3072"},
                                                        {KeyAlgorithm::Rsa4096, "RSA 4096", "rsa4096"},
                                                        {KeyAlgorithm::Ed25519V6,
                                                         "Ed25519, v6 key (RFC 9580): only for peers that read it",
                                                         "ed25519-v6"}};
    return names;
}

KeyAlgorithm keyAlgorithmNamed(const std::string& name)
{
    for (const KeyAlgorithmName& n : keyAlgorithmNames())
        if (name == n.shown || name == n.option)
            return n.algorithm;
    return KeyAlgorithm::Ed25519;
}

ImportTotals importKeyFiles(const std::vector<std::string>& paths)
{
    ImportTotals totals;
    for (const std::string& path : paths) {
        const auto counts = importKeyFile(path);
        totals.anyFailed = totals.anyFailed || !counts;
        if (!counts)
            continue;
        totals.anyRead = true;
        totals.counts.added += counts->added;
        totals.counts.updated += counts->updated;
        totals.counts.unchanged += counts->unchanged;
        for (const std::string& line : counts->leftOut)
            totals.counts.leftOut.push_back(path + ": " + line);
        totals.counts.names.insert(totals.counts.names.end(), counts->names.begin(), counts->names.end());
    }
    return totals;
}

std::string importSummary(const ImportCounts& counts)
{
    return "imported: " + std::to_string(counts.added) + " new, " + std::to_string(counts.updated) + " updated, " +
           std::to_string(counts.unchanged) + " unchanged";
}

std::string importConfirmation(const ImportCounts& counts)
{
    constexpr std::size_t kNamed = 3;  // a status line has room for a few
    std::string text = importSummary(counts);
    text[0] = 'I';
    std::string names;
    for (std::size_t i = 0; i < counts.names.size() && i < kNamed; ++i)
        names += (i ? ", " : "") + (counts.names[i].empty() ? std::string("a key without user ID") : counts.names[i]);
    if (counts.names.size() > kNamed)
        names += " and " + std::to_string(counts.names.size() - kNamed) + " more";
    return names.empty() ? text : text + " (" + names + ")";
}

}  // namespace sdk
