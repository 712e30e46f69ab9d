#include "platform/file_access.h"

#include <climits>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

int openForReadCreating(const std::string& path)
{
    // Non-blocking, so that a pipe never holds the open up.
    int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0 && errno == EACCES) {
        // Read access may be granted where creating is not.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        setLastError(folder ? win::AccessDenied : win::NotRegularFile);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::int64_t fileSize(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        setLastErrorFromErrno(errno);
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t readFully(int fd, void* buffer, std::uint64_t size)
{
    auto* out = static_cast<char*>(buffer);
    std::uint64_t done = 0;
    while (done < size) {
        std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, 1u << 30));
        ssize_t n = ::read(fd, out + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastErrorFromErrno(errno);
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::uint64_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

void closeFile(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

namespace {

WriteResult writeAll(int fd, const void* data, std::uint64_t size)
{
    const auto* in = static_cast<const char*>(data);
    std::uint64_t done = 0;
    while (done < size) {
        std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, 1u << 30));
        ssize_t n = ::write(fd, in + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastErrorFromErrno(errno);
            return WriteResult::WriteFailed;
        }
        done += static_cast<std::uint64_t>(n);
    }
    return WriteResult::Written;
}

WriteResult writeInPlace(const std::string& path, const void* data, std::uint64_t size)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return WriteResult::OpenFailed;
    }
    WriteResult r = writeAll(fd, data, size);
    if (::close(fd) != 0 && r == WriteResult::Written) {
        setLastErrorFromErrno(errno);
        r = WriteResult::WriteFailed;
    }
    return r;
}

WriteResult writeAt(int fd, const void* data, std::uint64_t size)
{
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        setLastErrorFromErrno(errno);
        return WriteResult::WriteFailed;
    }
    if (writeAll(fd, data, size) != WriteResult::Written)
        return WriteResult::WriteFailed;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0 || ::fsync(fd) != 0) {
        setLastErrorFromErrno(errno);
        return WriteResult::WriteFailed;
    }
    return WriteResult::Written;
}

// Overwrites an existing regular file in place, where no file can be made
// beside it (a folder the user may not write) or where a new file would
// cut its hard links. Owner, mode and links stay. The old content is kept
// in memory first and written back if the new one cannot be written whole.
WriteResult writeOverExisting(const std::string& path, const void* data, std::uint64_t size)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return WriteResult::OpenFailed;
    }
    std::string old;
    const std::int64_t oldSize = fileSize(fd);
    try {
        old.resize(static_cast<std::size_t>(std::max<std::int64_t>(oldSize, 0)));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        setLastErrorFromErrno(ENOMEM);
        return WriteResult::OpenFailed;
    }
    if (oldSize < 0 || readFully(fd, old.data(), old.size()) != oldSize) {
        ::close(fd);
        return WriteResult::OpenFailed;
    }
    WriteResult r = writeAt(fd, data, size);
    if (r != WriteResult::Written) {
        const std::uint32_t why = lastError();
        writeAt(fd, old.data(), old.size());
        setLastError(why);
    }
    ::close(fd);
    return r;
}

}  // namespace

WriteResult writeFileReplacing(const std::string& givenPath, const void* data, std::uint64_t size)
{
    std::string path = givenPath;
    struct stat old {};
    bool hadOld = ::stat(path.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) {
        setLastErrorFromErrno(EISDIR);
        return WriteResult::OpenFailed;
    }
    if (hadOld && !S_ISREG(old.st_mode))
        return writeInPlace(path, data, size);
    if (hadOld) {
        // Replace the file a symbolic link points to, not the link itself.
        char* real = ::realpath(path.c_str(), nullptr);
        if (real) {
            path = real;
            std::free(real);
        }
    }
    if (hadOld && old.st_nlink > 1)
        return writeOverExisting(path, data, size);
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        const int err = errno;
        if (hadOld && (err == EACCES || err == EPERM) && ::access(path.c_str(), W_OK) == 0)
            return writeOverExisting(path, data, size);
        setLastErrorFromErrno(err);
        return WriteResult::OpenFailed;
    }
    auto fail = [&](WriteResult why) {
        std::uint32_t keep = lastError();
        ::close(fd);
        ::unlink(tmpl.c_str());
        setLastError(keep);
        return why;
    };
    if (writeAll(fd, data, size) != WriteResult::Written)
        return fail(WriteResult::WriteFailed);
    if (::fsync(fd) != 0) {
        setLastErrorFromErrno(errno);
        return fail(WriteResult::WriteFailed);
    }
    mode_t mode;
    if (hadOld) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    if (hadOld && ::fchown(fd, old.st_uid, old.st_gid) == 0)
        ::fchmod(fd, mode);  // a change of owner may clear set-ID bits
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmpl.c_str());
        setLastErrorFromErrno(err);
        return WriteResult::WriteFailed;
    }
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmpl.c_str());
        setLastErrorFromErrno(err);
        return WriteResult::WriteFailed;
    }
    return WriteResult::Written;
}

}  // namespace platform

namespace platform {

bool pathTooLong(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return true;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash - start > NAME_MAX)
            return true;
        start = slash + 1;
    }
    return false;
}

}  // namespace platform
