#include "seipd_choice.h"

#include <cstdint>
#include <string>

#include "rnp_handles.h"

namespace pgpsdk {

#ifdef TOLV_RNP_SEIPDV2
namespace {

struct Stated {
    std::uint32_t created = 0;
    unsigned features = 0;
    bool found = false;
};

// Takes in one signature when it is a valid self-signature that states features.
void consider(rnp_signature_handle_t raw, const std::string& ownKeyId, Stated& newest)
{
    SigHandle sig(raw);
    if (!sig || rnpText(rnp_signature_get_keyid, sig.get()) != ownKeyId)
        return;
    std::uint32_t features = 0, created = 0;
    if (rnp_signature_get_features(sig.get(), &features) != RNP_SUCCESS || !features)
        return;
    if (rnp_signature_is_valid(sig.get(), 0) != RNP_SUCCESS)
        return;
    rnp_signature_get_creation(sig.get(), &created);
    if (!newest.found || created >= newest.created)
        newest = {created, features, true};
}

void considerPrimaryUserId(rnp_key_handle_t key, const std::string& ownKeyId, Stated& newest)
{
    std::size_t uids = 0;
    rnp_key_get_uid_count(key, &uids);
    for (std::size_t i = 0; i < uids; ++i) {
        rnp_uid_handle_t raw = nullptr;
        if (rnp_key_get_uid_handle_at(key, i, &raw) != RNP_SUCCESS)
            continue;
        UidHandle uid(raw);
        bool primary = false;
        rnp_uid_is_primary(uid.get(), &primary);
        if (!primary && uids > 1)
            continue;
        std::size_t sigs = 0;
        rnp_uid_get_signature_count(uid.get(), &sigs);
        for (std::size_t s = 0; s < sigs; ++s) {
            rnp_signature_handle_t sig = nullptr;
            if (rnp_uid_get_signature_at(uid.get(), s, &sig) == RNP_SUCCESS)
                consider(sig, ownKeyId, newest);
        }
    }
}

}  // namespace

unsigned keyFeatures(rnp_key_handle_t key)
{
    const std::string ownKeyId = rnpText(rnp_key_get_keyid, key);
    Stated direct, certified;
    std::size_t count = 0;
    rnp_key_get_signature_count(key, &count);
    for (std::size_t i = 0; i < count; ++i) {
        rnp_signature_handle_t sig = nullptr;
        if (rnp_key_get_signature_at(key, i, &sig) == RNP_SUCCESS)
            consider(sig, ownKeyId, direct);
    }
    if (direct.found)
        return direct.features;
    considerPrimaryUserId(key, ownKeyId, certified);
    return certified.features;
}

bool everyRecipientReadsSeipdV2(const std::vector<KeyRef>& recipients)
{
    if (recipients.empty())
        return false;
    for (const KeyRef& k : recipients)
        if (!k->handle || !(keyFeatures(k->handle) & kFeatureSeipdV2))
            return false;
    return true;
}
#else
// A librnp without RFC 9580 neither reads features this way nor writes SEIPDv2.
unsigned keyFeatures(rnp_key_handle_t)
{
    return 0;
}

bool everyRecipientReadsSeipdV2(const std::vector<KeyRef>&)
{
    return false;
}
#endif

}  // namespace pgpsdk
