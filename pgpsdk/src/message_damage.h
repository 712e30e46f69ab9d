#pragma once
// After librnp refused a message, tells what is wrong with its form: its
// ASCII armour (cut off, or a checksum that does not match) or its packet
// headers (data cut short). librnp reports most of these as a read error.
#include <cstddef>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace pgpsdk {

// kPGPError_TruncatedData, kPGPError_CorruptData, or kPGPError_NoErr when the
// form looks whole (any fault is then inside the data).
PGPError messageDamage(const unsigned char* data, std::size_t size);

// The start of a message as packets: binary data as it is, or the first
// 96 KiB or so of an armoured message's packets, decoded.
struct MessageHead {
    std::vector<unsigned char> decoded;  // holds the packets of armour
    const unsigned char* data;
    std::size_t size;
};
MessageHead leadingPackets(const unsigned char* data, std::size_t size);

// A message with more password packets than a real one ever has (each costs
// a key derivation of up to 65 million hash rounds) is refused before any is
// tried: kPGPError_CorruptData.
PGPError sessionKeyPacketsRefused(const unsigned char* data, std::size_t size);

}  // namespace pgpsdk
