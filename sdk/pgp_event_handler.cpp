#include <algorithm>
#include <cstring>

#include "sdk/pgp_data.h"
#include "sdk/sdk_entry_table.h"

namespace sdk {

PGPError PGPEventHandler(PGPContextRef, PGPEvent* event, void* userValue)
{
    auto* data = static_cast<PGPData*>(userValue);
    if (!event || !data)
        return kPGPError_NoErr;
    if (event->type == kPGPEvent_RecipientsEvent) {
        const PGPEventRecipientsData& r = event->data.recipientsData;
        if (data->encryptedToIDs) {
            for (PGPUInt32 i = 0; i < r.keyCount && r.keyIDArray; ++i) {
                KeyIdRecord record {};
                call::PGPGetKeyIDString(&r.keyIDArray[i], kPGPKeyIDString_Abbreviated, record.data());
                record.back() = '\0';
                data->encryptedToIDs->push_back(record);
            }
        }
        PGPUInt32 count = 0;
        call::PGPCountKeys(r.recipientSet, &count);
        if (count == 0 || !data->encryptedToNames)
            return kPGPError_NoErr;
        PGPKeyListRef list = nullptr;
        PGPKeyIterRef iter = nullptr;
        call::PGPOrderKeySet(r.recipientSet, static_cast<PGPInt32>(kPGPAnyOrdering), &list);
        call::PGPNewKeyIter(list, &iter);
        PGPKeyRef key = nullptr;
        while (call::PGPKeyIterNext(iter, &key) == kPGPError_NoErr) {
            UserNameRecord record {};
            PGPSize length = 0;
            call::PGPGetPrimaryUserIDNameBuffer(key, record.size(), record.data(), &length);
            record[std::min<PGPSize>(length, 255)] = '\0';
            data->encryptedToNames->push_back(record);
        }
        call::PGPFreeKeyIter(iter);
        call::PGPFreeKeyList(list);
    } else if (event->type == kPGPEvent_SignatureEvent) {
        // A later signature event of the same run overwrites the earlier one.
        data->signature = event->data.signatureData;
        if (data->signerName && data->signerNameSize) {
            PGPSize length = 0;
            call::PGPGetPrimaryUserIDNameBuffer(data->signature.signingKey, data->signerNameSize, data->signerName,
                                                &length);
        }
    }
    return kPGPError_NoErr;
}

}  // namespace sdk
