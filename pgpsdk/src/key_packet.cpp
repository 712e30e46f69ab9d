#include "key_packet.h"

#ifdef TOLV_HAVE_BOTAN
#include <botan/hash.h>
#include <botan/hex.h>
#endif

namespace pgpsdk {

namespace {

std::size_t v6PublicPartLength(const unsigned char* b, std::size_t size)
{
    // version, four bytes of time, algorithm, four bytes of key material length
    if (size < 10)
        return 0;
    const std::size_t material = std::size_t {b[6]} << 24 | std::size_t {b[7]} << 16 | std::size_t {b[8]} << 8 | b[9];
    return material <= size - 10 ? 10 + material : 0;
}

}  // namespace

std::size_t publicPartLength(const unsigned char* b, std::size_t size)
{
    if (size >= 1 && b[0] == 6)
        return v6PublicPartLength(b, size);
    if (size < 6 || (b[0] != 4 && b[0] != 3))
        return 0;
    std::size_t pos = b[0] == 3 ? 8 : 6;  // a v3 key has two bytes of validity days
    if (size < pos)
        return 0;
    const unsigned algorithm = b[pos - 1];
    auto mpis = [&](int n) {
        for (int i = 0; i < n && pos + 2 <= size; ++i)
            pos += 2 + ((std::size_t {b[pos]} << 8 | b[pos + 1]) + 7) / 8;
    };
    auto field = [&] {  // one length byte, then the bytes (curve OIDs, KDF parameters)
        if (pos < size)
            pos += 1 + b[pos];
    };
    if (algorithm >= 1 && algorithm <= 3)  // RSA
        mpis(2);
    else if (algorithm == 16)
        mpis(3);
    else if (algorithm == 17)
        mpis(4);
    else if (algorithm == 19 || algorithm == 22)
        field(), mpis(1);
    else if (algorithm == 18)
        field(), mpis(1), field();
    else
        return 0;
    return pos <= size ? pos : 0;
}

std::string keyPacketFingerprint(int tag, const unsigned char* body, std::size_t size)
{
#ifdef TOLV_HAVE_BOTAN
    if (size == 0 || (body[0] != 4 && body[0] != 6))
        return {};
    const std::size_t length = tag == kTagPublicKey ? size : publicPartLength(body, size);
    if (length == 0)
        return {};
    // RFC 4880 12.2 and RFC 9580 5.5.4: the hash over a fixed prefix octet,
    // the public part's length and the public part.
    const bool v6 = body[0] == 6;
    auto hash = Botan::HashFunction::create_or_throw(v6 ? "SHA-256" : "SHA-1");
    if (v6) {
        const unsigned char head[] = {0x9b, static_cast<unsigned char>(length >> 24),
                                      static_cast<unsigned char>(length >> 16),
                                      static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)};
        hash->update(head, sizeof head);
    } else {
        if (length > 0xffff)
            return {};
        const unsigned char head[] = {0x99, static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)};
        hash->update(head, sizeof head);
    }
    hash->update(body, length);
    return Botan::hex_encode(hash->final(), false);
#else
    (void)tag, (void)body, (void)size;
    return {};
#endif
}

}  // namespace pgpsdk
