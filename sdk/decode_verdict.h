#pragma once
// The one-line verdicts a decode ends with: one per signature, "Not signed"
// without one, or why nothing was decoded.
#include <string>
#include <vector>

#include "sdk/decode_records.h"

namespace sdk {

enum class VerdictTone { Good, Warning, Bad, Neutral };

// What a verdict says, for callers that act on it (a script's exit code).
enum class VerdictKind { UnknownSigner, BadSignature, RevokedKey, ExpiredKey, Uncertified, Good, NotSigned, NotDecoded };

struct Verdict {
    VerdictKind kind = VerdictKind::NotSigned;
    VerdictTone tone = VerdictTone::Neutral;
    std::string text;
    std::string keyId;  // an unknown signer's key ID, which the user may look up
};

Verdict signatureVerdict(const SignatureRecord& signature);

// The verdicts of a decode whose result was outcome (kPGPError_NoErr for
// success): one per signature, in message order; none when the user
// cancelled.
std::vector<Verdict> decodeVerdicts(const std::vector<SignatureRecord>& signatures, PGPError outcome);

// The tone of the worst verdict: bad over warning over good; neutral for none.
VerdictTone overallTone(const std::vector<Verdict>& verdicts);

// "0x… Name" for a key the rings hold, the key ID alone otherwise, and
// "hidden recipient" for a hidden one.
std::string recipientText(const RecipientRecord& recipient);

}  // namespace sdk
