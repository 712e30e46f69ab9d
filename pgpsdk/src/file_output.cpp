#include "file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/parent_folder.h"

namespace pgpsdk {

namespace {

// The process's umask, read without changing it (umask() would race with
// other threads creating files).
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 022;
}

PGPError openFailure(int err)
{
    return err == EACCES || err == EPERM || err == EROFS ? kPGPError_FilePermissions : kPGPError_CantOpenFile;
}

bool closeChecked(int& fd)
{
    const int r = ::close(fd);
    fd = -1;
    return r == 0;
}

// A folder, device or pipe is never replaced.
bool replaceable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

}  // namespace

FileOutput::~FileOutput()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!tempName_.empty())
        ::unlink(tempName_.c_str());
}

PGPError FileOutput::open()
{
    if (!replaceable(target_))
        return kPGPError_CantOpenFile;
    fd_ = ::open(platform::parentFolder(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a temporary name instead.
        tempName_ = target_ + ".tolv-XXXXXX";
        fd_ = ::mkostemp(tempName_.data(), O_CLOEXEC);
        if (fd_ < 0)
            tempName_.clear();
    }
    return fd_ < 0 ? openFailure(errno) : kPGPError_NoErr;
}

bool FileOutput::append(const void* data, std::size_t size)
{
    if (size > maxSize_ || size_ > maxSize_ - size) {
        failure_ = kPGPError_OutputTooLarge;
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = kPGPError_WriteFailed;  // a full disk among others: the file goes
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    size_ += size;
    return true;
}

PGPError FileOutput::deliver()
{
    if (PGPError e = prepare(false))
        return e;
    return publish();
}

PGPError FileOutput::prepare(bool alwaysSync)
{
    if (fd_ < 0)
        return kPGPError_WriteFailed;
    // A replaced file keeps its mode, and its owner where that is allowed;
    // it is flushed first, so that a crash never leaves the old one lost
    // and the new one empty.
    struct stat old {};
    const bool replacing = ::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing && ::fchown(fd_, old.st_uid, old.st_gid) != 0) {
        // not the owner: the file becomes the user's own
    }
    const mode_t mode = secret_ ? 0600 : replacing ? old.st_mode & 07777 : 0666 & ~currentUmask();
    if (::fchmod(fd_, mode) != 0 || ((replacing || alwaysSync) && ::fsync(fd_) != 0))
        return kPGPError_WriteFailed;
    if (tempName_.empty()) {
        // An unnamed file gets a fresh name beside the target first.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (unsigned attempt = 0; tempName_.empty() && attempt < 100; ++attempt) {
            const std::string name = target_ + ".tolv-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                tempName_ = name;
            else if (errno != EEXIST)
                return kPGPError_WriteFailed;
        }
        if (tempName_.empty())
            return kPGPError_WriteFailed;
    }
    return closeChecked(fd_) ? kPGPError_NoErr : kPGPError_WriteFailed;
}

PGPError FileOutput::retarget(const std::string& path)
{
    if (path.empty() || path.back() == '/' || platform::parentFolder(path) != platform::parentFolder(target_))
        return kPGPError_BadParams;
    if (!replaceable(path))
        return kPGPError_CantOpenFile;
    target_ = path;
    return kPGPError_NoErr;
}

PGPError FileOutput::publish()
{
    if (tempName_.empty() || ::rename(tempName_.c_str(), target_.c_str()) != 0)
        return kPGPError_WriteFailed;  // the temporary name goes with the object
    tempName_.clear();
    return kPGPError_NoErr;
}

}  // namespace pgpsdk
