#include "sdk/key_choices.h"

#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_session.h"

using namespace sdk;

KeyChoiceList fillKeyChoices()
{
    KeyChoiceList lists;
    SdkUse use;
    if (!use.keySet())
        return lists;
    PGPKeyListRef list = nullptr;
    PGPKeyIterRef iter = nullptr;
    call::PGPOrderKeySet(use.keySet(), static_cast<PGPInt32>(kPGPUserIDOrdering), &list);
    call::PGPNewKeyIter(list, &iter);
    PGPKeyRef key = nullptr;
    while (call::PGPKeyIterNext(iter, &key) == kPGPError_NoErr) {
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
        if (revoked || disabled || expired)
            continue;
        // A key without a user ID cannot be chosen by its user-ID text.
        if (userId[0] == '\0')
            continue;
        if (secret)
            lists.signers.push_back(userId);
        lists.recipients.push_back(userId);
    }
    call::PGPFreeKeyIter(iter);
    call::PGPFreeKeyList(list);
    return lists;
}
