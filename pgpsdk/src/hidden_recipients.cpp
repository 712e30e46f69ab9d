#include "hidden_recipients.h"

#include <algorithm>

namespace pgpsdk {

namespace {

constexpr int kTagPublicKeySessionKey = 1;
constexpr int kTagSymmetricSessionKey = 3;
constexpr int kTagMarker = 10;

}  // namespace

bool packetAt(const unsigned char* d, std::size_t size, std::size_t pos, int& tag, std::size_t& body, std::size_t& end)
{
    if (pos + 2 > size || !(d[pos] & 0x80))
        return false;
    std::size_t len = 0;
    if (d[pos] & 0x40) {  // new format; partial lengths never occur here
        tag = d[pos] & 0x3f;
        const unsigned l0 = d[pos + 1];
        if (l0 < 192) {
            len = l0, body = pos + 2;
        } else if (l0 < 224 && pos + 3 <= size) {
            len = ((l0 - 192) << 8) + d[pos + 2] + 192, body = pos + 3;
        } else if (l0 == 255 && pos + 6 <= size) {
            len = (std::size_t {d[pos + 2]} << 24) | (d[pos + 3] << 16) | (d[pos + 4] << 8) | d[pos + 5];
            body = pos + 6;
        } else {
            return false;
        }
    } else {
        tag = (d[pos] >> 2) & 0x0f;
        const int lengthBytes[] = {1, 2, 4, 0};
        const int n = lengthBytes[d[pos] & 3];
        if (n == 0 || pos + 1 + static_cast<std::size_t>(n) > size)
            return false;
        for (int i = 0; i < n; ++i)
            len = (len << 8) | d[pos + 1 + static_cast<std::size_t>(i)];
        body = pos + 1 + static_cast<std::size_t>(n);
    }
    if (len > size - body)
        return false;
    end = body + len;
    return true;
}

std::vector<SessionKeyPacket> sessionKeyPackets(const unsigned char* data, std::size_t size)
{
    std::vector<SessionKeyPacket> out;
    std::size_t pos = 0, body = 0, end = 0;
    int tag = 0;
    while (packetAt(data, size, pos, tag, body, end)) {
        if (tag == kTagPublicKeySessionKey) {
            if (end - body < 9 || data[body] != 3)
                break;
            const unsigned char* id = data + body + 1;
            out.push_back({body + 1, std::all_of(id, id + 8, [](unsigned char c) { return c == 0; })});
        } else if (tag != kTagSymmetricSessionKey && tag != kTagMarker) {
            break;
        }
        pos = end;
    }
    return out;
}

}  // namespace pgpsdk
