#include "sdk/decode_verdict.h"

#include "sdk/sdk_session.h"

namespace sdk {

Verdict signatureVerdict(const SignatureRecord& s)
{
    const PGPEventSignatureData& d = s.data;
    const std::string& name = s.signerName;
    if (!d.signingKey)
        return {VerdictTone::Warning, "Signed by an unknown key " + s.keyIdText + ": the signature cannot be checked"};
    if (d.keyRevoked)
        return {VerdictTone::Bad, "Signature by a revoked key " + name};
    if (!d.verified)
        return {VerdictTone::Bad, "Bad signature from " + name + ": the text was changed after it was signed"};
    if (d.keyExpired)
        return {VerdictTone::Warning, "Signature by an expired key " + name};
    if (d.keyValidity < kPGPValidity_Complete)
        return {VerdictTone::Warning, "Good signature from " + name + ", but the key is not certified"};
    return {VerdictTone::Good, "Good signature from " + name};
}

std::vector<Verdict> decodeVerdicts(const std::vector<SignatureRecord>& signatures, PGPError outcome)
{
    if (outcome == kPGPError_UserAbort)
        return {};
    if (outcome != kPGPError_NoErr)
        return {{VerdictTone::Bad, "Not decoded: " + PGP_ErrorText(outcome)}};
    if (signatures.empty())
        return {{VerdictTone::Neutral, "Not signed"}};
    std::vector<Verdict> out;
    for (const SignatureRecord& s : signatures)
        out.push_back(signatureVerdict(s));
    return out;
}

std::string recipientText(const RecipientRecord& r)
{
    if (r.hidden)
        return "hidden recipient";
    return r.name.empty() ? r.keyIdText : r.keyIdText + " " + r.name;
}

}  // namespace sdk
