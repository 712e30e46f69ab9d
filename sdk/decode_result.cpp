#include "sdk/decode_result.h"

#include <algorithm>

namespace sdk {

bool DecodeResult::has(VerdictKind kind) const
{
    return std::any_of(verdicts.begin(), verdicts.end(), [kind](const Verdict& v) { return v.kind == kind; });
}

DecodeResult decodeResult(DecodeRecords records, PGPError outcome)
{
    DecodeResult result;
    result.records = std::move(records);
    result.outcome = outcome;
    result.verdicts = decodeVerdicts(result.records.signatures, outcome);
    result.tone = overallTone(result.verdicts);
    return result;
}

}  // namespace sdk
