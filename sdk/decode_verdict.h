#pragma once
// The one-line verdicts a decode ends with: one per signature, "Not signed"
// without one, or why nothing was decoded.
#include <string>
#include <vector>

#include "sdk/pgp_data.h"

namespace sdk {

enum class VerdictTone { Good, Warning, Bad, Neutral };

struct Verdict {
    VerdictTone tone = VerdictTone::Neutral;
    std::string text;
};

Verdict signatureVerdict(const SignatureRecord& signature);

// The verdicts of a decode whose result was outcome (kPGPError_NoErr for
// success): one per signature, in message order.
std::vector<Verdict> decodeVerdicts(const std::vector<SignatureRecord>& signatures, PGPError outcome);

// "0x… Name" for a key the rings hold, the key ID alone otherwise, and
// "hidden recipient" for a hidden one.
std::string recipientText(const RecipientRecord& recipient);

}  // namespace sdk
