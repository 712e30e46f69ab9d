#include "platform/last_error.h"

#include <cerrno>

namespace platform {

namespace {
thread_local std::uint32_t threadLastError = 0;
}

std::uint32_t lastError() { return threadLastError; }

void setLastError(std::uint32_t code) { threadLastError = code; }

std::uint32_t windowsErrorFromErrno(int err)
{
    switch (err) {
    case ENOENT: return win::FileNotFound;
    case ENOTDIR: return win::PathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return win::AccessDenied;
    case EMFILE:
    case ENFILE: return win::TooManyOpenFiles;
    case ENOMEM: return win::NotEnoughMemory;
    case ENOSPC: return win::DiskFull;
    case EROFS: return win::WriteProtect;
    case EEXIST: return win::FileExists;
    case EBUSY: return win::Busy;
    default: return static_cast<std::uint32_t>(err);
    }
}

void setLastErrorFromErrno(int err) { threadLastError = windowsErrorFromErrno(err); }

}  // namespace platform
