#include <algorithm>
#include <cstring>

#include "sdk/pgp_data.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_holders.h"

namespace sdk {

namespace {

std::string primaryName(PGPKeyRef key)
{
    if (!key)
        return {};
    std::array<char, 256> name {};
    PGPSize length = 0;
    if (call::PGPGetPrimaryUserIDNameBuffer(key, name.size(), name.data(), &length) != kPGPError_NoErr)
        return {};
    return std::string(name.data(), std::min<PGPSize>(length, name.size() - 1));
}

std::string keyIdText(const PGPKeyID& id, PGPInt32 form)
{
    std::array<char, kPGPMaxKeyIDStringSize> text {};
    call::PGPGetKeyIDString(&id, form, text.data());
    text.back() = '\0';
    return text.data();
}

bool isZeroKeyId(const PGPKeyID& id)
{
    const std::size_t n = std::min<std::size_t>(id.opaqueBytes[0], 8);
    return std::all_of(id.opaqueBytes + 1, id.opaqueBytes + 1 + n, [](PGPByte b) { return b == 0; });
}

void addRecipientNames(const PGPEventRecipientsData& r, PGPData& data)
{
    PGPUInt32 count = 0;
    call::PGPCountKeys(r.recipientSet, &count);
    if (count == 0 || !data.encryptedToNames)
        return;
    forEachKey(r.recipientSet, static_cast<PGPInt32>(kPGPAnyOrdering), [&](PGPKeyRef key, PGPKeyIterRef) {
        UserNameRecord record {};
        PGPSize length = 0;
        call::PGPGetPrimaryUserIDNameBuffer(key, record.size(), record.data(), &length);
        record[std::min<PGPSize>(length, 255)] = '\0';
        data.encryptedToNames->push_back(record);
    });
}

void onRecipients(const PGPEventRecipientsData& r, PGPData& data)
{
    for (PGPUInt32 i = 0; i < r.keyCount && r.keyIDArray; ++i) {
        const PGPKeyID& id = r.keyIDArray[i];
        if (data.encryptedToIDs) {
            KeyIdRecord record {};
            call::PGPGetKeyIDString(&id, kPGPKeyIDString_Abbreviated, record.data());
            record.back() = '\0';
            data.encryptedToIDs->push_back(record);
        }
        if (data.recipients) {
            RecipientRecord rec;
            rec.keyIdText = keyIdText(id, kPGPKeyIDString_Full);
            rec.hidden = isZeroKeyId(id);
            PGPKeyRef key = nullptr;
            if (!rec.hidden && call::PGPGetKeyByKeyID(r.recipientSet, &id, 0, &key) == kPGPError_NoErr)
                rec.name = primaryName(key);
            data.recipients->push_back(std::move(rec));
        }
    }
    addRecipientNames(r, data);
}

void onSignature(const PGPEventSignatureData& s, PGPData& data)
{
    if (data.signatures)
        data.signatures->push_back({s, primaryName(s.signingKey), keyIdText(s.signingKeyID, kPGPKeyIDString_Full)});
    // The record shows the first signature that verified, or failing that
    // the first: never one signature's name beside another's flags.
    const bool first = data.signatureEvents++ == 0;
    if (!first && (data.signature.verified || !s.verified))
        return;
    data.signature = s;
    if (data.signerName && data.signerNameSize) {
        std::memset(data.signerName, 0, data.signerNameSize);
        PGPSize length = 0;
        call::PGPGetPrimaryUserIDNameBuffer(s.signingKey, data.signerNameSize, data.signerName, &length);
    }
}

}  // namespace

PGPError PGPEventHandler(PGPContextRef, PGPEvent* event, void* userValue)
{
    auto* data = static_cast<PGPData*>(userValue);
    if (!event || !data)
        return kPGPError_NoErr;
    if (event->type == kPGPEvent_RecipientsEvent)
        onRecipients(event->data.recipientsData, *data);
    else if (event->type == kPGPEvent_SignatureEvent)
        onSignature(event->data.signatureData, *data);
    else if (event->type == kPGPEvent_NullEvent && data->progress &&
             !(*data->progress)(event->data.nullData.bytesWritten, event->data.nullData.bytesTotal))
        return kPGPError_UserAbort;
    return kPGPError_NoErr;
}

}  // namespace sdk
