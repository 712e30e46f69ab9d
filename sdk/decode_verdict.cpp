#include "sdk/decode_verdict.h"

#include "sdk/sdk_session.h"

namespace sdk {

namespace {

// The verdict rules in their order of precedence: the first that holds
// speaks. A signature that does not verify is bad whatever else is true of
// its key; only one that does is judged by its key's state.
struct VerdictRule {
    bool (*holds)(const SignatureRecord&);
    VerdictKind kind;
    VerdictTone tone;
    std::string (*text)(const SignatureRecord&);
};

const VerdictRule kVerdictRules[] = {
    {[](const SignatureRecord& s) { return !s.data.signingKey; }, VerdictKind::UnknownSigner, VerdictTone::Warning,
     [](const SignatureRecord& s) { return "Signed by an unknown key " + s.keyIdText + ": the signature cannot be checked"; }},
    {[](const SignatureRecord& s) { return !s.data.verified; }, VerdictKind::BadSignature, VerdictTone::Bad,
     [](const SignatureRecord& s) {
         return "Bad signature from " + s.signerName + ": the text was changed after it was signed";
     }},
    {[](const SignatureRecord& s) { return s.data.keyRevoked != 0; }, VerdictKind::RevokedKey, VerdictTone::Bad,
     [](const SignatureRecord& s) { return "Signature by a revoked key " + s.signerName; }},
    {[](const SignatureRecord& s) { return s.data.keyExpired != 0; }, VerdictKind::ExpiredKey, VerdictTone::Warning,
     [](const SignatureRecord& s) { return "Signature by an expired key " + s.signerName; }},
    {[](const SignatureRecord& s) { return s.data.keyValidity < kPGPValidity_Complete; }, VerdictKind::Uncertified,
     VerdictTone::Warning,
     [](const SignatureRecord& s) { return "Good signature from " + s.signerName + ", but the key is not certified"; }},
    {[](const SignatureRecord&) { return true; }, VerdictKind::Good, VerdictTone::Good,
     [](const SignatureRecord& s) { return "Good signature from " + s.signerName; }},
};

}  // namespace

Verdict signatureVerdict(const SignatureRecord& s)
{
    for (const VerdictRule& rule : kVerdictRules)
        if (rule.holds(s))
            return {rule.kind, rule.tone, rule.text(s), rule.kind == VerdictKind::UnknownSigner ? s.keyIdText : ""};
    return {};  // the last rule always holds
}

std::vector<Verdict> decodeVerdicts(const std::vector<SignatureRecord>& signatures, PGPError outcome)
{
    if (outcome == kPGPError_UserAbort)
        return {};
    if (outcome != kPGPError_NoErr)
        return {{VerdictKind::NotDecoded, VerdictTone::Bad, "Not decoded: " + PGP_ErrorText(outcome), {}}};
    if (signatures.empty())
        return {{VerdictKind::NotSigned, VerdictTone::Neutral, "Not signed", {}}};
    std::vector<Verdict> out;
    for (const SignatureRecord& s : signatures)
        out.push_back(signatureVerdict(s));
    return out;
}

VerdictTone overallTone(const std::vector<Verdict>& verdicts)
{
    // Listed from the weakest to the strongest claim on the user's attention.
    const VerdictTone rising[] = {VerdictTone::Neutral, VerdictTone::Good, VerdictTone::Warning, VerdictTone::Bad};
    int worst = 0;
    for (const Verdict& v : verdicts)
        for (int i = worst + 1; i < 4; ++i)
            if (v.tone == rising[i])
                worst = i;
    return rising[worst];
}

std::string recipientText(const RecipientRecord& r)
{
    if (r.hidden)
        return "hidden recipient";
    return r.name.empty() ? r.keyIdText : r.keyIdText + " " + r.name;
}

}  // namespace sdk
