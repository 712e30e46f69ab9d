#include "sdk/key_choices.h"

#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_holders.h"
#include "sdk/sdk_session.h"

using namespace sdk;

KeyChoiceList fillKeyChoices()
{
    KeyChoiceList lists;
    SdkUse use;
    if (!use.keySet())
        return lists;
    forEachKey(use.keySet(), static_cast<PGPInt32>(kPGPUserIDOrdering), [&](PGPKeyRef key, PGPKeyIterRef) {
        char userId[255] = {};
        PGPSize length = 255;
        call::PGPGetPrimaryUserIDNameBuffer(key, sizeof userId, userId, &length);
        userId[std::min<PGPSize>(length, sizeof userId - 1)] = '\0';
        PGPBoolean revoked = 0, secret = 0, disabled = 0, expired = 0, unverifiedRevocation = 0;
        call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropIsRevoked), &revoked);
        call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropIsSecret), &secret);
        call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropIsDisabled), &disabled);
        call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropIsExpired), &expired);
        call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropHasUnverifiedRevocation), &unverifiedRevocation);
        // A key without a user ID cannot be chosen by its user-ID text.
        if (revoked || disabled || expired || userId[0] == '\0')
            return;
        if (secret)
            lists.signers.push_back(userId);
        lists.recipients.push_back(userId);
    });
    return lists;
}
