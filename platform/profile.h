#pragma once
#include <string>

// Private profile (ini) files with the semantics of the Windows profile calls:
// section and key names match case-insensitively, values are trimmed, and a
// write keeps every other section, key and comment of the file.
namespace platform {

constexpr std::size_t kProfileMaxNameLength = 63;    // section and key names
constexpr std::size_t kProfileMaxValueLength = 1023;  // values

// Where a profile file name points: the empty name is the system's own
// profile (win.ini in the Windows directory), a bare file name lives in the
// Windows directory, anything with a folder is used as given, whole.
std::string resolveProfilePath(const std::string& fileName);

// The value of key in section, or fallback when the file, section or key is
// missing. Values longer than the limit are cut.
std::string readProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& fileName);

// Sets key in section to value, creating the file, section or key as needed.
// The file is replaced through a temporary file and a rename, so a failed
// write leaves the old file whole. False (and the last error set) on failure.
bool writeProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& fileName);

}  // namespace platform
