#pragma once
// The decode report: what the SDK's events tell about a message, written by
// PGPEventHandler into the caller's record and lists.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace sdk {

using KeyIdRecord = std::array<char, 128>;   // one key-ID text
using UserNameRecord = std::array<char, 256>;  // one primary user-ID name

// One signature of a message, as its event told it.
struct SignatureRecord {
    PGPEventSignatureData data {};
    std::string signerName;  // primary user ID, when the rings hold the key
    std::string keyIdText;   // "0x" and the 16 hex digits of the signer's key ID
};

// One recipient key ID of a message, with the key's name when the rings hold it.
struct RecipientRecord {
    std::string keyIdText;
    std::string name;
    bool hidden = false;  // key ID 0: the sender hid the recipient
};

// Told how far an encode or decode has read its input (bytes done, bytes in
// all); answering false stops the job. Called on the job's thread.
using JobProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct PGPData {
    // The signature event's data, as the SDK delivers it. With several
    // signatures: the first that verified, or failing that the first.
    PGPEventSignatureData signature {};
    // The program's own fields.
    char* signerName = nullptr;
    std::uint32_t signerNameSize = 0;
    std::vector<KeyIdRecord>* encryptedToIDs = nullptr;
    std::vector<UserNameRecord>* encryptedToNames = nullptr;
    // Every signature and recipient in message order (null: not kept), and
    // the number of signature events so far.
    std::vector<SignatureRecord>* signatures = nullptr;
    std::vector<RecipientRecord>* recipients = nullptr;
    std::uint32_t signatureEvents = 0;
    // Progress of the running job, when the caller follows it (null: not asked).
    const JobProgress* progress = nullptr;
    // Set (atomically, from any thread or a signal handler) to stop the job
    // at its next read of input; null for none.
    const PGPUInt32* stopFlag = nullptr;
};

// A PGPData with its own signer text and lists, wired together.
struct DecodeReport {
    DecodeReport()
    {
        data.signerName = signer.data();
        data.signerNameSize = 254;
        data.encryptedToIDs = &ids;
        data.encryptedToNames = &names;
        data.signatures = &signatures;
        data.recipients = &recipients;
    }
    DecodeReport(const DecodeReport&) = delete;
    DecodeReport& operator=(const DecodeReport&) = delete;

    std::array<char, 255> signer {};
    std::vector<KeyIdRecord> ids;
    std::vector<UserNameRecord> names;
    std::vector<SignatureRecord> signatures;
    std::vector<RecipientRecord> recipients;
    PGPData data;
};

// The SDK's event callback: fills the PGPData given as the user value from
// the recipients and signature events, and tells the caller's progress of
// null events. It stops the job (kPGPError_UserAbort) when the progress
// answers false; every other event lets the job go on.
PGPError PGPEventHandler(PGPContextRef context, PGPEvent* event, void* userValue);

}  // namespace sdk
