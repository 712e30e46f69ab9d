#pragma once
// Imports one key ring file's keys: every sound key, however many damaged
// ones the file holds beside them, and a count of what had to be skipped.
#include <rnp/rnp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace pgpsdk {

struct RingImport {
    PGPError error = kPGPError_NoErr;  // kPGPError_CorruptKeyRing when no key at all was sound
    PGPUInt32 skipped = 0;             // damaged keys, and damaged data after the last key
    std::vector<std::string> leftOut;  // each damaged key's first user ID, as far as it can be told
};

// bytes: the whole file, binary or ASCII-armoured. flags: RNP_LOAD_SAVE_*.
RingImport importRing(rnp_ffi_t ffi, const std::vector<char>& bytes, std::uint32_t flags);

}  // namespace pgpsdk
