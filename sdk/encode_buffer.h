#pragma once
#include <cstdint>
#include <string>

#include "core/shared_passphrase.h"
#include "sdk/decode_records.h"
#include "sdk/sdk_block.h"

namespace sdk {

// Signs input with the one key that signer selects and encrypts it to the
// one key that recipient selects, binary or ASCII-armoured. Asks for the
// passphrase when the buffer is empty. Every failure is shown to the user;
// the result tells only whether the SDK's encode succeeded; a wrong
// passphrase is forgotten. events (null: none) is handed to the event
// handler as its user value. outcome, when given, receives the SDK's result,
// kPGPError_ItemNotFound when no single key matched, or kPGPError_UserAbort
// when the passphrase was refused.
bool Encode_PGPBuff(const char* input, std::uint64_t inputSize, SdkBlock& output, bool armour,
                    PassphraseBuffer& passphrase, const std::string& recipient, const std::string& signer,
                    JobEvents* events, PGPError* outcome = nullptr);

// The same from one file into another, read and written as it goes: memory
// stays small whatever the file's size. The output file appears only when
// the encoding succeeds.
bool encodeFileForOne(const std::string& input, const std::string& output, bool armour, PassphraseBuffer& passphrase,
                      const std::string& recipient, const std::string& signer, JobEvents* events,
                      PGPError* outcome = nullptr);

}  // namespace sdk
