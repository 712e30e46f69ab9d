#pragma once
// After the engine refused a message, tells whether its packets use a
// version or an algorithm the engine cannot read, so that the user is told
// that instead of "Not an OpenPGP message" or "Integrity check failed".
#include <cstddef>
#include <string>

namespace pgpsdk {

// What the engine cannot read in the message's outer packets, as the user
// is told it ("encrypted data version 3", "public-key algorithm 26"), or
// empty. Session key packets count only when none of them can be read.
std::string unreadableFormat(const unsigned char* data, std::size_t size);

// The last such finding, for the error text of kPGPError_UnsupportedFormat
// (error texts are looked up by code alone).
void rememberUnreadableFormat(const std::string& what);
std::string lastUnreadableFormat();

}  // namespace pgpsdk
