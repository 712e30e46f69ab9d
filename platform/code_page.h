#pragma once
#include <string>

// Code pages. The system ("ANSI") code page is UTF-8; the OEM code page of
// the program's users is CP866.
namespace platform {

// Ini values are stored in the system code page, which is also the one held
// in memory, so these two are the identity.
std::string oemToAnsiProfileText(const std::string& text);
std::string ansiToOemProfileText(const std::string& text);

bool isValidUtf8(const char* data, std::size_t size);

// Whether bytes read as text: no zero bytes and no control characters but
// tab, line breaks, form feed and the old end-of-file mark. Binary data is
// never converted between code pages.
bool looksLikeText(const char* data, std::size_t size);

// Converts CP866 bytes to UTF-8. Text that is already valid UTF-8 (including
// plain ASCII) is returned unchanged.
std::string oemToAnsi(const char* data, std::size_t size);

}  // namespace platform
