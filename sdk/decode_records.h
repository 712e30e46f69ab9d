#pragma once
// What the SDK's events tell about one run: a record per signature and per
// recipient, in message order. The event handler writes nothing else.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace sdk {

// One signature of a message, as its event told it.
struct SignatureRecord {
    PGPEventSignatureData data {};
    std::string signerName;  // primary user ID, when the rings hold the key
    std::string keyIdText;   // "0x" and the 16 hex digits of the signer's key ID
};

// One recipient key ID of a message, with the key's name when the rings hold it.
struct RecipientRecord {
    std::string keyIdText;         // full form
    std::string abbreviatedKeyId;  // the SDK's abbreviated form
    std::string name;
    bool hidden = false;      // key ID 0: the sender hid the recipient
    bool secretHeld = false;  // the rings hold its secret key
};

struct DecodeRecords {
    std::vector<SignatureRecord> signatures;
    std::vector<RecipientRecord> recipients;
    // The primary user IDs of the recipient keys the rings hold, in the
    // order the SDK's recipient set lists them.
    std::vector<std::string> heldRecipientNames;
};

// Told how far an encode or decode has read its input (bytes done, bytes in
// all); answering false stops the job. Called on the job's thread.
using JobProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Told, once a decode to a file is done and before its output is handed
// over, the file name the message carries (empty for none): answers false
// to stop the job, or true with placeAt set to the path (in the output's
// folder) to hand it over under, or left empty to keep the output's name.
using OutputPlacer = std::function<bool(const std::string& carriedName, std::string& placeAt)>;

// How the caller follows, stops and steers a running job; all may be null.
struct JobWatch {
    const JobProgress* progress = nullptr;
    // Set (atomically, from any thread or a signal handler) to stop the job
    // at its next read of input.
    const PGPUInt32* stopFlag = nullptr;
    const OutputPlacer* placeOutput = nullptr;
};

// The event handler's user value for one run.
struct JobEvents {
    DecodeRecords records;
    JobWatch watch;
};

// The SDK's event callback. It adds the recipients and signature events of
// the JobEvents given as the user value to its records, and tells the
// watch's progress of null events. It stops the job (kPGPError_UserAbort)
// when the progress answers false; every other event lets the job go on.
PGPError PGPEventHandler(PGPContextRef context, PGPEvent* event, void* userValue);

}  // namespace sdk
