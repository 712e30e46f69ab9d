#include "message_format.h"

#include <mutex>
#include <set>

#include "hidden_recipients.h"
#include "message_damage.h"

namespace pgpsdk {

namespace {

// The packet at pos: its tag and where its body starts, whatever its length
// type (an encrypted data packet's first bytes are all that is read).
bool packetStart(const unsigned char* d, std::size_t size, std::size_t pos, int& tag, std::size_t& body)
{
    std::size_t end = 0;
    if (packetAt(d, size, pos, tag, body, end))
        return true;
    if (pos + 2 > size || !(d[pos] & 0x80))
        return false;
    const bool newFormat = d[pos] & 0x40;
    if (newFormat && d[pos + 1] >= 224 && d[pos + 1] < 255) {  // a partial length
        tag = d[pos] & 0x3f, body = pos + 2;
        return true;
    }
    if (!newFormat && (d[pos] & 3) == 3) {  // runs to the end of the data
        tag = (d[pos] >> 2) & 0x0f, body = pos + 1;
        return true;
    }
    return false;
}

std::string numbered(const char* what, unsigned value) { return std::string(what) + " " + std::to_string(value); }

// A public-key or password session key packet's trouble, or empty.
std::string sessionKeyTrouble(int tag, const unsigned char* b, std::size_t n)
{
    static const std::set<unsigned> publicKeyAlgorithms = {1, 2, 16, 18, 25};  // RSA, Elgamal, ECDH, X25519
    if (n < 1)
        return {};
    if (tag == 3)
        return b[0] == 4 || b[0] == 5 ? std::string() : numbered("password session key packet version", b[0]);
    if (b[0] != 3 && b[0] != 6)
        return numbered("public-key session key packet version", b[0]);
    const std::size_t algorithmAt = b[0] == 3 ? 9 : n > 1 ? 2 + std::size_t {b[1]} : n;
    if (algorithmAt < n && !publicKeyAlgorithms.count(b[algorithmAt]))
        return numbered("public-key algorithm", b[algorithmAt]);
    return {};
}

// The trouble of the packet after the session keys, or empty.
std::string dataTrouble(int tag, const unsigned char* b, std::size_t n)
{
    if (n < 1)
        return {};
    switch (tag) {
    case 18:  // encrypted data: v1 with its MDC, v2 with AEAD (EAX, OCB, GCM)
        if (b[0] != 1 && b[0] != 2)
            return numbered("encrypted data version", b[0]);
        if (b[0] == 2 && n > 2 && (b[2] < 1 || b[2] > 3))
            return numbered("AEAD algorithm", b[2]);
        return {};
    case 20:  // the older AEAD packet: EAX and OCB
        if (b[0] != 1)
            return numbered("AEAD packet version", b[0]);
        return n > 2 && (b[2] < 1 || b[2] > 2) ? numbered("AEAD algorithm", b[2]) : std::string();
    case 4: return b[0] == 3 || b[0] == 6 ? std::string() : numbered("one-pass signature version", b[0]);
    case 2: return b[0] == 3 || b[0] == 4 || b[0] == 6 ? std::string() : numbered("signature version", b[0]);
    case 8: return b[0] <= 3 ? std::string() : numbered("compression algorithm", b[0]);
    default: return {};
    }
}

std::mutex lastMutex;
std::string last;

}  // namespace

std::string unreadableFormat(const unsigned char* message, std::size_t messageSize)
{
    const MessageHead head = leadingPackets(message, messageSize);
    const unsigned char* d = head.data;
    std::size_t pos = 0, body = 0, end = 0;
    int tag = 0;
    std::string sessionKeys;
    bool anyReadable = false;
    while (packetAt(d, head.size, pos, tag, body, end) && (tag == 1 || tag == 3 || tag == 10)) {
        const std::string trouble = tag == 10 ? std::string() : sessionKeyTrouble(tag, d + body, end - body);
        anyReadable = anyReadable || (tag != 10 && trouble.empty());
        if (sessionKeys.empty())
            sessionKeys = trouble;
        pos = end;
    }
    if (!sessionKeys.empty() && !anyReadable)
        return sessionKeys;
    if (!packetStart(d, head.size, pos, tag, body))
        return {};
    return dataTrouble(tag, d + body, head.size - body);
}

void rememberUnreadableFormat(const std::string& what)
{
    std::lock_guard<std::mutex> lock(lastMutex);
    last = what;
}

std::string lastUnreadableFormat()
{
    std::lock_guard<std::mutex> lock(lastMutex);
    return last;
}

}  // namespace pgpsdk
