#pragma once
#include <string>
#include <string_view>

// Code pages. The system ("ANSI") code page is UTF-8; the OEM code page of
// the program's users is CP866.
namespace platform {

// Ini values are stored in the OEM code page and held in memory as UTF-8. A
// stored value that is valid UTF-8 is kept as it is (files written since
// with characters CP866 lacks); anything else is read as CP866. A value is
// written as CP866 when CP866 has every one of its characters, else as
// UTF-8, so that no character is ever lost.
std::string oemToAnsiProfileText(const std::string& text);
std::string ansiToOemProfileText(const std::string& text);

// UTF-8 text cut to at most maxChars characters, never inside a character.
std::string_view cutUtf8Chars(std::string_view text, std::size_t maxChars);

bool isValidUtf8(const char* data, std::size_t size);

// Whether bytes read as text: no zero bytes and no control characters but
// tab, line breaks, form feed and the old end-of-file mark. Binary data is
// never converted between code pages.
bool looksLikeText(const char* data, std::size_t size);

// Converts CP866 bytes to UTF-8. Text that is already valid UTF-8 (including
// plain ASCII) is returned unchanged.
std::string oemToAnsi(const char* data, std::size_t size);
// The same for large texts, without copies: the UTF-8 size, then the
// conversion into out, which holds that many bytes.
std::size_t oemToAnsiLength(const char* data, std::size_t size);
void oemToAnsiInto(const char* data, std::size_t size, char* out);

}  // namespace platform
