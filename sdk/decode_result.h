#pragma once
// Everything a decode or a signature check gives back, made once where the
// run ends: what the events recorded, the SDK's outcome, the verdict lines
// and their overall tone. Front ends show it; they work nothing out again.
#include <vector>

#include "sdk/decode_records.h"
#include "sdk/decode_verdict.h"

namespace sdk {

struct DecodeResult {
    DecodeRecords records;  // kept also when the run failed
    // kPGPError_NoErr, the SDK's failure, or kPGPError_UserAbort when the
    // user refused the passphrase or cancelled.
    PGPError outcome = kPGPError_NoErr;
    std::vector<Verdict> verdicts;
    VerdictTone tone = VerdictTone::Neutral;

    bool decoded() const { return outcome == kPGPError_NoErr; }
    bool has(VerdictKind kind) const;
};

DecodeResult decodeResult(DecodeRecords records, PGPError outcome);

}  // namespace sdk
