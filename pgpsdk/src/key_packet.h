#pragma once
// What can be told of a key packet's body without librnp: the length of its
// public part, and the fingerprint that part gives.
#include <cstddef>
#include <string>

namespace pgpsdk {

constexpr int kTagSecretKey = 5;
constexpr int kTagPublicKey = 6;

// The length of a key packet body's public part (version, time, algorithm
// and public values), 0 when it cannot be told.
std::size_t publicPartLength(const unsigned char* body, std::size_t size);

// The fingerprint of a v4 or v6 key packet (tag 5 or 6) in lower-case hex,
// as librnp writes it in an import report; empty when it cannot be told,
// or where this build has no hash of its own.
std::string keyPacketFingerprint(int tag, const unsigned char* body, std::size_t size);

}  // namespace pgpsdk
