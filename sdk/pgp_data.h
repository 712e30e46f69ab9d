#pragma once
// The decode report: what the SDK's events tell about a message, written by
// PGPEventHandler into the caller's record and lists.
#include <array>
#include <cstdint>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace sdk {

using KeyIdRecord = std::array<char, 128>;   // one key-ID text
using UserNameRecord = std::array<char, 256>;  // one primary user-ID name

struct PGPData {
    // The signature event's data, as the SDK delivers it.
    PGPEventSignatureData signature {};
    // The program's own fields.
    char* signerName = nullptr;
    std::uint32_t signerNameSize = 0;
    std::vector<KeyIdRecord>* encryptedToIDs = nullptr;
    std::vector<UserNameRecord>* encryptedToNames = nullptr;
};

// A PGPData with its own signer text and lists, wired together.
struct DecodeReport {
    DecodeReport()
    {
        data.signerName = signer.data();
        data.signerNameSize = 254;
        data.encryptedToIDs = &ids;
        data.encryptedToNames = &names;
    }
    DecodeReport(const DecodeReport&) = delete;
    DecodeReport& operator=(const DecodeReport&) = delete;

    std::array<char, 255> signer {};
    std::vector<KeyIdRecord> ids;
    std::vector<UserNameRecord> names;
    PGPData data;
};

// The SDK's event callback: fills the PGPData given as the user value from
// the recipients and signature events; every other event is ignored. It
// always lets the job go on.
PGPError PGPEventHandler(PGPContextRef context, PGPEvent* event, void* userValue);

}  // namespace sdk
