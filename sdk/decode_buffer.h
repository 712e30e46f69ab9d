#pragma once
#include <cstdint>
#include <string>

#include "core/shared_passphrase.h"
#include "sdk/decode_result.h"
#include "sdk/sdk_block.h"

namespace sdk {

// Decrypts and verifies a message with the keys of the open key rings, and
// gives back what its events recorded, judged. Asks for the passphrase when
// the buffer is empty. On failure the user has been told and no output is
// kept; a wrong passphrase is forgotten.
DecodeResult Decode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output,
                            PassphraseBuffer& passphrase, const JobWatch& watch = {});

// The same from one file into another, read and written as it goes: memory
// stays small whatever the file's size. The output file appears only when
// the message decoded whole and its integrity check held.
DecodeResult decodeFile(const std::string& input, const std::string& output, PassphraseBuffer& passphrase,
                        const JobWatch& watch = {});

}  // namespace sdk
