#include <algorithm>

#include "sdk/decode_records.h"
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

void addHeldRecipientNames(const PGPEventRecipientsData& r, DecodeRecords& records)
{
    PGPUInt32 count = 0;
    call::PGPCountKeys(r.recipientSet, &count);
    if (count == 0)
        return;
    forEachKey(r.recipientSet, static_cast<PGPInt32>(kPGPAnyOrdering),
               [&](PGPKeyRef key, PGPKeyIterRef) { records.heldRecipientNames.push_back(primaryName(key)); });
}

void onRecipients(const PGPEventRecipientsData& r, DecodeRecords& records)
{
    for (PGPUInt32 i = 0; i < r.keyCount && r.keyIDArray; ++i) {
        const PGPKeyID& id = r.keyIDArray[i];
        RecipientRecord rec;
        rec.abbreviatedKeyId = keyIdText(id, kPGPKeyIDString_Abbreviated);
        rec.keyIdText = keyIdText(id, kPGPKeyIDString_Full);
        rec.hidden = isZeroKeyId(id);
        PGPKeyRef key = nullptr;
        if (!rec.hidden && call::PGPGetKeyByKeyID(r.recipientSet, &id, 0, &key) == kPGPError_NoErr) {
            rec.name = primaryName(key);
            PGPBoolean secret = 0;
            call::PGPGetKeyBoolean(key, static_cast<PGPInt32>(kPGPKeyPropIsSecret), &secret);
            rec.secretHeld = secret != 0;
        }
        records.recipients.push_back(std::move(rec));
    }
    addHeldRecipientNames(r, records);
}

void onSignature(const PGPEventSignatureData& s, DecodeRecords& records)
{
    records.signatures.push_back({s, primaryName(s.signingKey), keyIdText(s.signingKeyID, kPGPKeyIDString_Full)});
}

// Moves the output where the placer says; stops the job when it says so or
// when the move is refused.
PGPError onOutput(PGPContextRef context, const PGPEvent& event, const OutputPlacer& place)
{
    const char* carried = event.data.outputData.suggestedName;
    std::string at;
    if (!place(carried ? carried : "", at))
        return kPGPError_UserAbort;
    if (at.empty())
        return kPGPError_NoErr;
    PGPFileSpecRef spec = nullptr;
    if (PGPError e = call::PGPNewFileSpecFromFullPath(context, at.c_str(), &spec))
        return e;
    const PGPError e = call::PGPAddJobOptions(event.job, call::PGPOOutputFile(context, spec), call::PGPOLastOption(context));
    call::PGPFreeFileSpec(spec);
    return e;
}

}  // namespace

PGPError PGPEventHandler(PGPContextRef context, PGPEvent* event, void* userValue)
{
    auto* events = static_cast<JobEvents*>(userValue);
    if (!event || !events)
        return kPGPError_NoErr;
    const JobProgress* progress = events->watch.progress;
    if (event->type == kPGPEvent_RecipientsEvent)
        onRecipients(event->data.recipientsData, events->records);
    else if (event->type == kPGPEvent_SignatureEvent)
        onSignature(event->data.signatureData, events->records);
    else if (event->type == kPGPEvent_OutputEvent && events->watch.placeOutput)
        return onOutput(context, *event, *events->watch.placeOutput);
    else if (event->type == kPGPEvent_NullEvent && progress &&
             !(*progress)(event->data.nullData.bytesWritten, event->data.nullData.bytesTotal))
        return kPGPError_UserAbort;
    return kPGPError_NoErr;
}

}  // namespace sdk
