#pragma once
// Encodings beside the default sign-and-encrypt to one key: signing only
// (a signed message, a clear-signed text or a detached signature),
// encrypting to several keys or only to keys, to the sender's own key as
// well, or to a password only; and checking a detached signature.
#include <cstdint>
#include <string>
#include <vector>

#include "core/shared_passphrase.h"
#include "sdk/decode_records.h"
#include "sdk/sdk_block.h"

namespace sdk {

enum class EncodeOperation { SignAndEncrypt, SignOnly, ClearSign, DetachedSignature, EncryptOnly, PasswordOnly };

struct EncodeRequest {
    EncodeOperation operation = EncodeOperation::SignAndEncrypt;
    std::string signer;                   // user-ID text, for the operations that sign
    std::vector<std::string> recipients;  // each selects one key, for the operations that encrypt
    bool encryptToSelf = false;           // the signer's key is a recipient too
    bool armour = true;
};

// The request with each recipient text that names a recipient group (see
// core/recipient_groups.h) replaced by its members' fingerprints ("0x" and
// 40 hex digits); the others as they were.
EncodeRequest withGroupsExpanded(const EncodeRequest& request);

// Whether the operation signs, or encrypts to keys.
bool operationSigns(EncodeOperation op);
bool operationEncryptsToKeys(EncodeOperation op);

// As Encode_PGPBuff and encodeFileForOne for any request. A plain
// sign-and-encrypt to one recipient takes exactly their way. The
// passphrase is the signer's, or the password; it is asked for only when
// one is needed.
bool encodeBuffer(const char* input, std::uint64_t inputSize, SdkBlock& output, const EncodeRequest& request,
                  PassphraseBuffer& passphrase, JobEvents* events, PGPError* outcome = nullptr);
bool encodeFile(const std::string& input, const std::string& output, const EncodeRequest& request,
                PassphraseBuffer& passphrase, JobEvents* events, PGPError* outcome = nullptr);


}  // namespace sdk
