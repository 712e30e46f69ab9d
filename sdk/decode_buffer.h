#pragma once
#include <cstdint>
#include <string>

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

// The same from one file into another, read and written as it goes: memory
// stays small whatever the file's size. The output file appears only when
// the message decoded whole and its integrity check held.
bool decodeFile(const std::string& input, const std::string& output, PGPData& report, PassphraseBuffer& passphrase,
                    PGPError* outcome = nullptr);

}  // namespace sdk
