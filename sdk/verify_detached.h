#pragma once
// Checking a detached signature against the data it signs: a decode with
// the signed data beside it, judged as a decode is.
#include <cstdint>
#include <string>

#include "pgpsdk/pgpsdk.h"
#include "sdk/decode_result.h"

namespace sdk {

// Checks the detached signature in file signature over the file data. A
// check that could not be made at all has been told to the user, and its
// result is not decoded().
DecodeResult verifyDetachedFile(const std::string& signature, const std::string& data);
// The same with the signature in memory.
DecodeResult verifyDetachedBuffer(const char* signature, std::uint64_t size, const std::string& data);

// Whether the bytes start as a signature alone does (armoured or binary):
// a detached signature, which needs the file it signs.
bool looksLikeDetachedSignature(const char* data, std::uint64_t size);

}  // namespace sdk
