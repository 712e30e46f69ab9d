#include "platform/last_error.h"

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {
thread_local std::uint32_t threadLastError = 0;
}

std::uint32_t lastError() { return threadLastError; }

void setLastError(std::uint32_t code) { threadLastError = code; }

std::uint32_t windowsErrorFromErrno(int err)
{
    // Every errno that file, folder, memory and library calls return, onto
    // the nearest Windows code; anything else is a general failure, never
    // a raw number that the Windows table would misname.
    struct Pair {
        int err;
        std::uint32_t code;
    };
    static const Pair pairs[] = {
        {ENOENT, win::FileNotFound},      {ENOTDIR, win::PathNotFound},     {EMFILE, win::TooManyOpenFiles},
        {ENFILE, win::TooManyOpenFiles},  {EACCES, win::AccessDenied},      {EPERM, win::AccessDenied},
        {EISDIR, win::AccessDenied},      {EBADF, win::InvalidHandle},      {ENOMEM, win::NotEnoughMemory},
        {EROFS, win::WriteProtect},       {EXDEV, win::NotSameDevice},      {ENXIO, win::NotReady},
        {ENODEV, win::NotReady},          {EEXIST, win::AlreadyExists},        {EINVAL, win::InvalidParameter},
        {EPIPE, win::BrokenPipe},         {ENOSPC, win::DiskFull},          {EDQUOT, win::DiskFull},
        {EFBIG, win::DiskFull},           {ENOTEMPTY, win::DirNotEmpty},    {ESPIPE, win::SeekOnDevice},
        {ELOOP, win::BadPathname},        {EBUSY, win::Busy},               {ETXTBSY, win::Busy},
        {EAGAIN, win::Busy},              {ENOEXEC, win::BadExeFormat},     {ENAMETOOLONG, win::FilenameTooLong},
        {EIO, win::IoDevice},             {EINTR, win::OperationAborted},   {EFAULT, win::NoAccess},
        {EOVERFLOW, win::ArithmeticOverflow}, {ENOTSUP, win::NotSupported}, {ENOSYS, win::CallNotImplemented},
        {ETIMEDOUT, win::SemTimeout},     {ELIBBAD, win::BadExeFormat},     {ESTALE, win::FileInvalid},
    };
    for (const Pair& p : pairs)
        if (p.err == err)
            return p.code;
    return win::GenFailure;
}

void setLastErrorFromErrno(int err) { threadLastError = windowsErrorFromErrno(err); }

}  // namespace platform
