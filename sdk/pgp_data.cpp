#include "sdk/pgp_data.h"

#include <algorithm>
#include <cstring>

namespace sdk {

namespace {

// text into a fixed record, cut to fit and ended with a zero.
template <std::size_t N>
std::array<char, N> textRecord(const std::string& text)
{
    std::array<char, N> record {};
    std::memcpy(record.data(), text.data(), std::min(text.size(), N - 1));
    return record;
}

}  // namespace

const SignatureRecord* shownSignature(const DecodeRecords& records)
{
    const auto& all = records.signatures;
    const auto verified = std::find_if(all.begin(), all.end(), [](const SignatureRecord& s) { return s.data.verified; });
    if (verified != all.end())
        return &*verified;
    return all.empty() ? nullptr : &all.front();
}

void fillPGPData(const DecodeRecords& records, PGPData& data)
{
    if (const SignatureRecord* shown = shownSignature(records)) {
        data.signature = shown->data;
        if (data.signerName && data.signerNameSize) {
            std::memset(data.signerName, 0, data.signerNameSize);
            std::memcpy(data.signerName, shown->signerName.data(),
                        std::min<std::size_t>(shown->signerName.size(), data.signerNameSize - 1));
        }
    }
    if (data.encryptedToIDs)
        for (const RecipientRecord& r : records.recipients)
            data.encryptedToIDs->push_back(textRecord<std::tuple_size_v<KeyIdRecord>>(r.abbreviatedKeyId));
    if (data.encryptedToNames)
        for (const std::string& name : records.heldRecipientNames)
            data.encryptedToNames->push_back(textRecord<std::tuple_size_v<UserNameRecord>>(name));
}

}  // namespace sdk
