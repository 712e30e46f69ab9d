#include "sdk/key_upkeep.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <functional>

#include "core/app_config.h"
#include "core/frontend.h"
#include "platform/file_access.h"
#include "sdk/key_commands.h"
#include "sdk/key_commit.h"
#include "sdk/key_lookup.h"
#include "sdk/sdk_extensions.h"
#include "sdk/sdk_holders.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_options.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

PGPOptionListRef passOption(PGPContextRef c, const SecretText& pass) { return call::PGPOPassphrase(c, pass.c_str()); }

bool commitChange(SdkUse& use, const char* caption, const char* label, PGPError e)
{
    return e ? undoKeyChange(use, caption, label, e) : commitKeyChange(use, caption);
}

std::string userIdText(PGPUserIDRef uid)
{
    char text[1024] = {};
    PGPSize length = 0;
    call::PGPGetUserIDStringBuffer(uid, static_cast<PGPInt32>(kPGPUserIDPropName), sizeof text, text, &length);
    return std::string(text, std::min<PGPSize>(length, sizeof text - 1));
}

std::string subkeyIdText(PGPSubKeyRef sub)
{
    PGPKeyID id {};
    char text[kPGPMaxKeyIDStringSize] = {};
    call::PGPGetKeyIDFromSubKey(sub, &id);
    call::PGPGetKeyIDString(&id, static_cast<PGPInt32>(kPGPKeyIDString_Full), text);
    return text;
}

bool sameKeyId(const std::string& full, std::string asked)
{
    if (asked.rfind("0x", 0) == 0 || asked.rfind("0X", 0) == 0)
        asked = asked.substr(2);
    std::transform(asked.begin(), asked.end(), asked.begin(), [](unsigned char c) { return std::toupper(c); });
    std::string hex = full.rfind("0x", 0) == 0 ? full.substr(2) : full;
    std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return std::toupper(c); });
    return !asked.empty() && hex.size() >= asked.size() && hex.compare(hex.size() - asked.size(), asked.size(), asked) == 0;
}

// The key text selects, and in it the user ID or subkey that matches; the
// change gets them (the part null when none is named). Not found is told.
template <typename Part, typename Change>
bool changePart(const char* caption, const char* label, const std::string& text, const std::string& partName,
                bool (*matches)(Part, const std::string&), PGPError (*next)(PGPKeyIterRef, Part*), Change change)
{
    SdkUse use;
    KeySetHolder found = selectCommandKey(use, text, caption);
    if (!found)
        return false;
    Part part = nullptr;
    if (!partName.empty()) {
        KeyWalk walk(found.get(), static_cast<PGPInt32>(kPGPAnyOrdering));
        walk.next();
        for (Part p = nullptr; !part && next(walk.iter(), &p) == kPGPError_NoErr && p;)
            if (matches(p, partName))
                part = p;
        if (!part) {
            frontend::notify({caption, QString::fromStdString(text) + " has no " + QString::fromStdString(partName) + ".",
                              frontend::Icon::Exclamation, frontend::Failure::KeyChoice});
            return false;
        }
    }
    return commitChange(use, caption, label, change(use.context(), onlyKey(found.get()), part));
}

// The key text selects, changed as a whole.
template <typename Change>
bool changeKey(const char* caption, const char* label, const std::string& text, Change change)
{
    return changePart<PGPUserIDRef>(caption, label, text, "", nullptr, nullptr,
                                    [&](PGPContextRef c, PGPKeyRef key, PGPUserIDRef) { return change(c, key); });
}

bool userIdMatches(PGPUserIDRef uid, const std::string& text) { return userIdText(uid) == text; }
bool subkeyMatches(PGPSubKeyRef sub, const std::string& id) { return sameKeyId(subkeyIdText(sub), id); }
PGPError nextUserId(PGPKeyIterRef it, PGPUserIDRef* u) { return call::PGPKeyIterNextUserID(it, u); }
PGPError nextSubkey(PGPKeyIterRef it, PGPSubKeyRef* s) { return call::PGPKeyIterNextSubKey(it, s); }

PGPOptionListRef reasonOption(PGPContextRef c, PGPUInt32 code, const std::string& reason)
{
    return ext::tolvORevocationReason(c, code, reason.c_str());
}

}  // namespace

bool setKeyExpiry(const std::string& text, const std::string& subkeyId, std::int64_t expiration,
                  const SecretText& passphrase)
{
    return changePart<PGPSubKeyRef>("Change expiry", "tolvSetKeyExpiration ", text, subkeyId, subkeyMatches, nextSubkey,
                                    [&](PGPContextRef c, PGPKeyRef key, PGPSubKeyRef sub) {
                                        return ext::tolvSetKeyExpiration(key, sub, static_cast<PGPTime>(expiration),
                                                                         passOption(c, passphrase), last(c));
                                    });
}

bool addUserId(const std::string& text, const std::string& userId, const SecretText& passphrase)
{
    return changeKey("Add user ID", "PGPAddUserID ", text, [&](PGPContextRef c, PGPKeyRef key) {
        return call::PGPAddUserID(key, userId.c_str(), passOption(c, passphrase), last(c));
    });
}

bool makePrimaryUserId(const std::string& text, const std::string& userId, const SecretText& passphrase)
{
    return changePart<PGPUserIDRef>("Primary user ID", "PGPSetPrimaryUserID ", text, userId, userIdMatches, nextUserId,
                                    [&](PGPContextRef c, PGPKeyRef, PGPUserIDRef uid) {
                                        return call::PGPSetPrimaryUserID(uid, passOption(c, passphrase), last(c));
                                    });
}

bool revokeUserId(const std::string& text, const std::string& userId, const std::string& reason,
                  const SecretText& passphrase)
{
    return changePart<PGPUserIDRef>("Revoke user ID", "tolvRevokeUserID ", text, userId, userIdMatches, nextUserId,
                                    [&](PGPContextRef c, PGPKeyRef, PGPUserIDRef uid) {
                                        return ext::tolvRevokeUserID(uid, passOption(c, passphrase),
                                                                     reasonOption(c, kTolvRevocation_UserIDInvalid, reason),
                                                                     last(c));
                                    });
}

bool addSubkey(const std::string& text, SubkeyUse use, KeyAlgorithm algorithm, std::uint32_t expiryDays,
               const SecretText& passphrase)
{
    // Ed25519 either way: a subkey is of its key's version
    const bool rsa = algorithm == KeyAlgorithm::Rsa3072 || algorithm == KeyAlgorithm::Rsa4096;
    const PGPInt32 alg = rsa ? kPGPPublicKeyAlgorithm_RSA
                             : (use == SubkeyUse::Sign ? kPGPPublicKeyAlgorithm_EdDSA : kPGPPublicKeyAlgorithm_ECDH);
    const PGPUInt32 bits = algorithm == KeyAlgorithm::Rsa4096 ? 4096 : rsa ? 3072 : 0;
    const PGPUInt32 usage = use == SubkeyUse::Sign ? kTolvKeyUsage_Sign : kTolvKeyUsage_Encrypt;
    return changeKey("Add subkey", "PGPGenerateSubKey ", text, [&](PGPContextRef c, PGPKeyRef key) {
        PGPKeyRef grown = nullptr;
        return call::PGPGenerateSubKey(c, &grown, call::PGPOKeyGenMasterKey(c, key), passOption(c, passphrase),
                                       call::PGPOKeyGenParams(c, alg, bits), call::PGPOExpiration(c, expiryDays),
                                       ext::tolvOKeyUsage(c, usage), last(c));
    });
}

bool revokeSubkey(const std::string& text, const std::string& subkeyId, const std::string& reason,
                  const SecretText& passphrase)
{
    if (subkeyId.empty())
        return false;
    return changePart<PGPSubKeyRef>("Revoke subkey", "PGPRevokeSubKey ", text, subkeyId, subkeyMatches, nextSubkey,
                                    [&](PGPContextRef c, PGPKeyRef, PGPSubKeyRef sub) {
                                        return call::PGPRevokeSubKey(sub, passOption(c, passphrase),
                                                                     reasonOption(c, kTolvRevocation_Superseded, reason),
                                                                     last(c));
                                    });
}

std::string revocationCertificate(const std::string& text, const SecretText& passphrase)
{
    return exportedText("Revocation certificate", "tolvExportRevocation ", text,
                        [&](PGPContextRef c, PGPKeySetRef set, PGPOptionListRef output) {
                            return ext::tolvExportRevocation(onlyKey(set), passOption(c, passphrase),
                                                             call::PGPOArmorOutput(c, static_cast<PGPBoolean>(1)), output,
                                                             last(c));
                        });
}

std::string revocationPath(const std::string& fingerprint)
{
    const QString settings = QString::fromStdString(AppConfig::instance().snapshot().IniPath);
    return (QFileInfo(settings).absolutePath() + "/revocations/" + QString::fromStdString(fingerprint) + ".rev")
        .toStdString();
}

bool keepRevocationCertificate(const std::string& fingerprint, const std::string& certificate)
{
    const std::string path = revocationPath(fingerprint);
    const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
    const std::string text =
        "This is the revocation certificate of the OpenPGP key " + fingerprint +
        ".\n\nImport it (in Tolv: Import in the key list, or tolv-cli import) to revoke the key when it is lost or "
        "no longer safe.\nKeep it where only you can reach it: whoever has it can revoke the key.\n\n" + certificate;
    const bool ok = QDir().mkpath(folder) &&
                    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) &&
                    (platform::pathExists(path) || platform::createEmptyPrivateFile(path)) &&
                    platform::writeFileAtomically(path, text.data(), text.size());
    if (!ok)
        frontend::notify({"Revocation certificate", "The revocation certificate could not be written to " +
                                                        QString::fromStdString(path) + ".",
                          frontend::Icon::Stop, frontend::Failure::Io});
    return ok;
}

bool verifyKey(const std::string& text, const std::string& certifier, const SecretText& passphrase)
{
    return certifyKey(text, certifier, passphrase, false);
}

}  // namespace sdk
