#pragma once
// The decode window's report record, with the signer's name and the two
// recipient lists it points at, derived from a run's records.
#include <array>
#include <cstdint>
#include <vector>

#include "sdk/decode_records.h"

namespace sdk {

using KeyIdRecord = std::array<char, 128>;   // one key-ID text
using UserNameRecord = std::array<char, 256>;  // one primary user-ID name

struct PGPData {
    // The signature event's data, as the SDK delivers it. With several
    // signatures: the first that verified, or failing that the first.
    PGPEventSignatureData signature {};
    // The program's own fields, all owned by the caller; null switches
    // one off.
    char* signerName = nullptr;
    std::uint32_t signerNameSize = 0;
    std::vector<KeyIdRecord>* encryptedToIDs = nullptr;
    std::vector<UserNameRecord>* encryptedToNames = nullptr;
};

// The signature a report shows: the first that verified, or failing that
// the first; null for an unsigned message. Never one signature's name
// beside another's flags.
const SignatureRecord* shownSignature(const DecodeRecords& records);

// Fills data's signature, signer name and lists from records. The lists
// are appended to, as the events of one run would; the name is replaced.
void fillPGPData(const DecodeRecords& records, PGPData& data);

}  // namespace sdk
