#pragma once
#include <cstdint>

namespace platform {

// The calling thread's last OS error, as a Windows system error code.
std::uint32_t lastError();
void setLastError(std::uint32_t code);

// Maps a POSIX errno value onto the Windows code of the nearest meaning;
// values with no counterpart become GEN FAILURE.
std::uint32_t windowsErrorFromErrno(int err);

// Records errno (or the given value) as the thread's last error.
void setLastErrorFromErrno(int err);

namespace win {
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t PathNotFound = 3;
constexpr std::uint32_t TooManyOpenFiles = 4;
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t InvalidHandle = 6;
constexpr std::uint32_t NotEnoughMemory = 8;
constexpr std::uint32_t NotSameDevice = 17;
constexpr std::uint32_t WriteProtect = 19;
constexpr std::uint32_t NotReady = 21;
constexpr std::uint32_t GenFailure = 31;
constexpr std::uint32_t NotSupported = 50;
constexpr std::uint32_t AlreadyExists = 183;
constexpr std::uint32_t InvalidParameter = 87;
constexpr std::uint32_t BrokenPipe = 109;
constexpr std::uint32_t DiskFull = 112;
constexpr std::uint32_t CallNotImplemented = 120;
constexpr std::uint32_t SemTimeout = 121;
constexpr std::uint32_t ModNotFound = 126;
constexpr std::uint32_t SeekOnDevice = 132;
constexpr std::uint32_t DirNotEmpty = 145;
constexpr std::uint32_t BadPathname = 161;
constexpr std::uint32_t Busy = 170;
constexpr std::uint32_t BadExeFormat = 193;
constexpr std::uint32_t FilenameTooLong = 206;
constexpr std::uint32_t ArithmeticOverflow = 534;
constexpr std::uint32_t OperationAborted = 995;
constexpr std::uint32_t NoAccess = 998;
constexpr std::uint32_t FileInvalid = 1006;
constexpr std::uint32_t IoDevice = 1117;
// Not a Windows code: the text below names it (a pipe, a device, /proc).
constexpr std::uint32_t NotRegularFile = 0xE0000001;
}  // namespace win

}  // namespace platform
