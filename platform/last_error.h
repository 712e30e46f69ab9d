#pragma once
#include <cstdint>

namespace platform {

// The calling thread's last OS error, as a Windows system error code.
std::uint32_t lastError();
void setLastError(std::uint32_t code);

// Maps a POSIX errno value onto the Windows code of the same meaning;
// values with no counterpart are passed on unchanged.
std::uint32_t windowsErrorFromErrno(int err);

// Records errno (or the given value) as the thread's last error.
void setLastErrorFromErrno(int err);

namespace win {
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t PathNotFound = 3;
constexpr std::uint32_t TooManyOpenFiles = 4;
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t NotEnoughMemory = 8;
constexpr std::uint32_t WriteProtect = 19;
constexpr std::uint32_t FileExists = 80;
constexpr std::uint32_t DiskFull = 112;
constexpr std::uint32_t ModNotFound = 126;
constexpr std::uint32_t Busy = 170;
constexpr std::uint32_t BadExeFormat = 193;
}  // namespace win

}  // namespace platform
