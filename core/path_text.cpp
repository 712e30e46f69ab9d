#include "core/path_text.h"

namespace {

// The length of the valid UTF-8 character at s[i], or 0.
std::size_t utf8CharLength(const std::string& s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and values past U+10FFFF are no characters.
    const QString decoded = QString::fromUtf8(s.data() + i, static_cast<qsizetype>(n));
    return decoded.size() >= 1 && !decoded.contains(QChar::ReplacementCharacter) ? n : 0;
}

}  // namespace

QString pathToQString(const std::string& bytes)
{
    QString out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t n = utf8CharLength(bytes, i);
        if (n == 0) {
            out += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            out += QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(n));
            i += n;
        }
    }
    return out;
}

std::string pathFromQString(const QString& text)
{
    std::string out;
    QString run;
    auto flush = [&] {
        out += run.toStdString();
        run.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const bool afterHigh = i > 0 && text[i - 1].isHighSurrogate();
        if (u >= 0xDC80 && u <= 0xDCFF && !afterHigh) {
            flush();
            out += static_cast<char>(u - 0xDC00);
        } else {
            run += text[i];
        }
    }
    flush();
    return out;
}
