#include "message_damage.h"

#include "hidden_recipients.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pgpsdk {

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

std::vector<unsigned char> decodeBase64(std::string_view text)
{
    std::vector<unsigned char> out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const int v = base64Value(c);
        if (v < 0)
            continue;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<unsigned char>(bits >> 16));
            out.push_back(static_cast<unsigned char>(bits >> 8));
            out.push_back(static_cast<unsigned char>(bits));
            bits = 0, count = 0;
        }
    }
    if (count == 3) {
        out.push_back(static_cast<unsigned char>(bits >> 10));
        out.push_back(static_cast<unsigned char>(bits >> 2));
    } else if (count == 2) {
        out.push_back(static_cast<unsigned char>(bits >> 4));
    }
    return out;
}

std::uint32_t crc24(const std::vector<unsigned char>& data)
{
    std::uint32_t crc = 0xB704CE;
    for (unsigned char b : data) {
        crc ^= static_cast<std::uint32_t>(b) << 16;
        for (int i = 0; i < 8; ++i) {
            crc <<= 1;
            if (crc & 0x1000000)
                crc ^= 0x1864CFB;
        }
    }
    return crc & 0xFFFFFF;
}

// Where the armour's body starts: after the blank line that ends its header
// lines (LF or CRLF), searched from begin. npos when there is none.
std::size_t armourBodyStart(std::string_view text, std::size_t begin)
{
    const auto lf = text.find("\n\n", begin);
    const auto crlf = text.find("\r\n\r\n", begin);
    if (crlf < lf)
        return crlf + 4;
    return lf == std::string_view::npos ? lf : lf + 2;
}

// The armour's body (after the header lines) and its checksum line, if any.
// Truncated when the end line is missing.
PGPError armourDamage(std::string_view text, std::vector<unsigned char>& binary)
{
    const auto begin = text.find("-----BEGIN PGP ");
    const auto end = text.find("-----END PGP ", begin);
    if (end == std::string_view::npos)
        return kPGPError_TruncatedData;
    const auto bodyStart = armourBodyStart(text, begin);
    if (bodyStart == std::string_view::npos || bodyStart > end)
        return kPGPError_CorruptData;
    std::string_view body = text.substr(bodyStart, end - bodyStart);
    const auto checksum = body.rfind("\n=");
    binary = decodeBase64(checksum == std::string_view::npos ? body : body.substr(0, checksum));
    if (checksum != std::string_view::npos) {
        const auto sum = decodeBase64(body.substr(checksum + 2, 4));
        const std::uint32_t stated = sum.size() == 3 ? (sum[0] << 16) | (sum[1] << 8) | sum[2] : 0;
        if (sum.size() != 3 || stated != crc24(binary))
            return kPGPError_CorruptData;
    }
    return kPGPError_NoErr;
}

// Walks the top-level packets, partial lengths included: truncated when one
// claims more bytes than follow.
PGPError packetDamage(const unsigned char* d, std::size_t size)
{
    std::size_t pos = 0;
    while (pos < size) {
        if (!(d[pos] & 0x80))
            return kPGPError_CorruptData;
        const bool newFormat = d[pos] & 0x40;
        const int oldLengthType = d[pos] & 3;
        ++pos;
        for (bool partial = true; partial;) {
            partial = false;
            std::size_t len = 0;
            if (newFormat) {
                if (pos >= size)
                    return kPGPError_TruncatedData;
                const unsigned l0 = d[pos++];
                if (l0 < 192) {
                    len = l0;
                } else if (l0 < 224) {
                    if (pos >= size)
                        return kPGPError_TruncatedData;
                    len = ((l0 - 192) << 8) + d[pos++] + 192;
                } else if (l0 < 255) {
                    len = std::size_t {1} << (l0 & 0x1f);
                    partial = true;
                } else {
                    if (pos + 4 > size)
                        return kPGPError_TruncatedData;
                    len = (std::size_t {d[pos]} << 24) | (d[pos + 1] << 16) | (d[pos + 2] << 8) | d[pos + 3];
                    pos += 4;
                }
            } else if (oldLengthType == 3) {
                return kPGPError_NoErr;  // runs to the end of the data
            } else {
                const std::size_t n = std::size_t {1} << oldLengthType;
                if (pos + n > size)
                    return kPGPError_TruncatedData;
                for (std::size_t i = 0; i < n; ++i)
                    len = (len << 8) | d[pos + i];
                pos += n;
            }
            if (len > size - pos)
                return kPGPError_TruncatedData;
            pos += len;
        }
    }
    return kPGPError_NoErr;
}


// The base64 text between the armour's header lines and its end line (or
// the end of the text), without the checksum line.
std::string_view armourBody(std::string_view text)
{
    const auto begin = text.find("-----BEGIN PGP ");
    const auto bodyStart = begin == std::string_view::npos ? begin : armourBodyStart(text, begin);
    if (bodyStart == std::string_view::npos)
        return {};
    const auto end = std::min(text.find("-----END PGP ", bodyStart), text.size());
    std::string_view body = text.substr(bodyStart, end - bodyStart);
    const auto checksum = body.rfind("\n=");
    return checksum == std::string_view::npos ? body : body.substr(0, checksum);
}

}  // namespace

MessageHead leadingPackets(const unsigned char* data, std::size_t size)
{
    MessageHead head {{}, data, size};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A binary message starts with a packet tag; only text is searched for
    // armour (a search through a large binary message would cost its length).
    const bool binary = size > 0 && (data[0] & 0x80);
    if (!binary && text.find("-----BEGIN PGP MESSAGE") != std::string_view::npos) {
        head.decoded = decodeBase64(armourBody(text).substr(0, 1 << 17));  // the session keys come first
        head.data = head.decoded.data();
        head.size = head.decoded.size();
    }
    return head;
}

PGPError sessionKeyPacketsRefused(const unsigned char* message, std::size_t messageSize)
{
    constexpr int kMaxPasswordPackets = 8;
    const MessageHead head = leadingPackets(message, messageSize);
    const unsigned char* data = head.data;
    const std::size_t size = head.size;
    int passwordPackets = 0;
    std::size_t pos = 0, body = 0, end = 0;
    int tag = 0;
    while (packetAt(data, size, pos, tag, body, end) && (tag == 1 || tag == 3 || tag == 10)) {
        passwordPackets += tag == 3;
        pos = end;
    }
    if (passwordPackets > kMaxPasswordPackets)
        return kPGPError_CorruptData;
    return kPGPError_NoErr;
}

PGPError messageDamage(const unsigned char* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.find("-----BEGIN PGP SIGNED MESSAGE-----") != std::string_view::npos)
        return kPGPError_NoErr;  // clear-signed text has no packets to walk
    if (text.find("-----BEGIN PGP ") != std::string_view::npos) {
        std::vector<unsigned char> binary;
        if (PGPError e = armourDamage(text, binary))
            return e;
        return packetDamage(binary.data(), binary.size());
    }
    return packetDamage(data, size);
}

}  // namespace pgpsdk
