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

// Gives the open unnamed file the name path, replacing what was there: a
// fresh name beside it, then a rename.
WriteResult linkOver(int fd, const std::string& path)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string name = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST)
                continue;
            setLastErrorFromErrno(errno);
            return WriteResult::WriteFailed;
        }
        if (::rename(name.c_str(), path.c_str()) != 0) {
            setLastErrorFromErrno(errno);
            ::unlink(name.c_str());
            return WriteResult::WriteFailed;
        }
        return WriteResult::Written;
    }
    setLastErrorFromErrno(EEXIST);
    return WriteResult::WriteFailed;
}

mode_t defaultFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

WriteResult syncedContent(int fd, const void* data, std::uint64_t size)
{
    if (writeAll(fd, data, size) != WriteResult::Written)
        return WriteResult::WriteFailed;
    if (::fsync(fd) != 0) {
        setLastErrorFromErrno(errno);
        return WriteResult::WriteFailed;
    }
    return WriteResult::Written;
}

void giveModeAndOwner(int fd, mode_t mode, const struct stat* owner)
{
    ::fchmod(fd, mode);
    if (owner && ::fchown(fd, owner->st_uid, owner->st_gid) == 0)
        ::fchmod(fd, mode);  // a change of owner may clear set-ID bits
}

// Writes into an unnamed file in the target's folder (O_TMPFILE) and names
// it only once it is whole and synced, so that a process killed meanwhile
// leaves nothing behind. False when no unnamed file could be made (result
// then unset); otherwise result tells how it went.
bool writeUnnamedThenLink(const std::string& path, const void* data, std::uint64_t size, mode_t mode,
                          const struct stat* owner, WriteResult& result)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;  // no unnamed files here, or no right to make one: a named file says why
    result = syncedContent(fd, data, size);
    if (result == WriteResult::Written) {
        giveModeAndOwner(fd, mode, owner);
        result = linkOver(fd, path);
    }
    ::close(fd);
    return true;
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
    const mode_t mode = hadOld ? old.st_mode & 07777 : defaultFileMode();
    const struct stat* owner = hadOld ? &old : nullptr;
    WriteResult r = WriteResult::OpenFailed;
    if (writeUnnamedThenLink(path, data, size, mode, owner, r))
        return r;
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());  // mode 0600 until it has its name
    if (fd < 0) {
        const int err = errno;
        if (hadOld && (err == EACCES || err == EPERM) && ::access(path.c_str(), W_OK) == 0)
            return writeOverExisting(path, data, size);
        setLastErrorFromErrno(err);
        return WriteResult::OpenFailed;
    }
    r = syncedContent(fd, data, size);
    if (r == WriteResult::Written && ::rename(tmpl.c_str(), path.c_str()) != 0) {
        setLastErrorFromErrno(errno);
        r = WriteResult::WriteFailed;
    }
    if (r != WriteResult::Written) {
        const std::uint32_t keep = lastError();
        ::unlink(tmpl.c_str());
        setLastError(keep);
    } else {
        giveModeAndOwner(fd, mode, owner);
    }
    ::close(fd);
    return r;
}

}  // namespace platform

namespace platform {

bool pathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

int openUnnamedPrivateFile(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    // A file system without unnamed files: a private name, taken away at once.
    std::string name = folder + "/.tolv-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

bool createEmptyPrivateFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    ::close(fd);
    return true;
}

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
