#pragma once
// Checking a detached signature against the data it signs: a decode with
// the signed data beside it, whose event handler fills the report.
#include <cstdint>
#include <string>

#include "pgpsdk/pgpsdk.h"
#include "sdk/pgp_data.h"

namespace sdk {

// Checks the detached signature in file signature over the file data; the
// event handler fills report with the signatures. False (told) when the
// check could not be made at all.
bool verifyDetachedFile(const std::string& signature, const std::string& data, PGPData& report,
                        PGPError* outcome = nullptr);
// The same with the signature in memory.
bool verifyDetachedBuffer(const char* signature, std::uint64_t size, const std::string& data, PGPData& report,
                            PGPError* outcome = nullptr);

// Whether the bytes start as a signature alone does (armoured or binary):
// a detached signature, which needs the file it signs.
bool looksLikeDetachedSignature(const char* data, std::uint64_t size);

}  // namespace sdk
