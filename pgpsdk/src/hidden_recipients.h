#pragma once
// Messages for hidden recipients (gpg's --throw-keyids) name the key ID 0 in
// their public-key session-key packets. librnp only tries the key a packet
// names, so such a message is tried once per secret key with that key's ID
// written into the packet.
#include <cstddef>
#include <vector>

namespace pgpsdk {

struct SessionKeyPacket {
    std::size_t keyIdOffset = 0;  // where the 8-byte key ID starts
    bool hidden = false;          // the key ID is zero
};

// Reads the packet header at pos: the packet's tag and where its body
// starts and ends. False when there is no whole packet of a definite length.
bool packetAt(const unsigned char* d, std::size_t size, std::size_t pos, int& tag, std::size_t& body,
              std::size_t& end);

// The public-key session-key packets at the start of a binary message, in
// packet order; parsing stops at the first packet of another kind.
std::vector<SessionKeyPacket> sessionKeyPackets(const unsigned char* data, std::size_t size);

}  // namespace pgpsdk
