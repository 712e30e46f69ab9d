#include "platform/code_page.h"

#include <cstring>

#include <cerrno>
#include <iconv.h>

namespace platform {

std::string oemToAnsiProfileText(const std::string& text) { return oemToAnsi(text.data(), text.size()); }

std::string ansiToOemProfileText(const std::string& text)
{
    if (!isValidUtf8(text.data(), text.size()))
        return text;
    iconv_t cd = ::iconv_open("CP866", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    // Each UTF-8 character becomes one CP866 byte: the text never grows.
    std::string out(text.size(), '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    const bool whole = ::iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
    ::iconv_close(cd);
    if (!whole)
        return text;  // a character CP866 lacks: UTF-8 keeps every one
    out.resize(out.size() - outLeft);
    return out;
}

std::string_view cutUtf8Chars(std::string_view text, std::size_t maxChars)
{
    std::size_t chars = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars)
            return text.substr(0, i);
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
        ++chars;
    }
    return text;
}

bool isValidUtf8(const char* data, std::size_t size)
{
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    std::size_t i = 0;
    while (i < size) {
        unsigned char c = s[i];
        std::size_t extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; min = 0x10000; }
        else return false;
        if (size - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool looksLikeText(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1a)
            return false;
    }
    return true;
}

namespace {

// Converts CP866 bytes to UTF-8, a piece at a time, handing each piece of
// output to sink. CP866 maps every byte; iconv is only asked for that.
template <typename Sink> void convertOemPieces(const char* data, std::size_t size, Sink&& sink)
{
    iconv_t cd = ::iconv_open("UTF-8", "CP866");
    char piece[65536];
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    while (inLeft > 0) {
        char* o = piece;
        std::size_t outLeft = sizeof piece;
        const bool failed = cd == reinterpret_cast<iconv_t>(-1) ||
                            ::iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1);
        if (failed && o == piece) {
            *o++ = *in++;  // a byte iconv cannot take is kept as it is
            --inLeft;
        }
        sink(piece, static_cast<std::size_t>(o - piece));
    }
    if (cd != reinterpret_cast<iconv_t>(-1))
        ::iconv_close(cd);
}

}  // namespace

std::size_t oemToAnsiLength(const char* data, std::size_t size)
{
    std::size_t n = 0;
    convertOemPieces(data, size, [&](const char*, std::size_t len) { n += len; });
    return n;
}

void oemToAnsiInto(const char* data, std::size_t size, char* out)
{
    convertOemPieces(data, size, [&](const char* piece, std::size_t len) {
        std::memcpy(out, piece, len);
        out += len;
    });
}

std::string oemToAnsi(const char* data, std::size_t size)
{
    if (isValidUtf8(data, size))
        return std::string(data, size);
    std::string out(oemToAnsiLength(data, size), '\0');
    oemToAnsiInto(data, size, out.data());
    return out;
}

}  // namespace platform
