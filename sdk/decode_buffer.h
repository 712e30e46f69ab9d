#pragma once
#include <cstdint>

#include "core/shared_passphrase.h"
#include "sdk/pgp_data.h"
#include "sdk/sdk_block.h"

namespace sdk {

// Decrypts and verifies a message with the keys of the open key rings. The
// event handler fills report meanwhile. Asks for the passphrase when the
// buffer is empty. On failure the user has been told and no output is
// kept; a wrong passphrase is forgotten. outcome, when given, receives the
// SDK's result, or kPGPError_UserAbort when the passphrase was refused.
bool Decode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output, PGPData& report,
                    PassphraseBuffer& passphrase, PGPError* outcome = nullptr);

}  // namespace sdk
