#include "ring_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/parent_folder.h"

namespace pgpsdk {

namespace {

// How long a writer or reader waits for the lock. TOLV_RING_LOCK_WAIT_MS
// sets it, for slow disks and for tests.
std::chrono::milliseconds lockWait()
{
    if (const char* text = std::getenv("TOLV_RING_LOCK_WAIT_MS"))
        return std::chrono::milliseconds(std::strtol(text, nullptr, 10));
    return std::chrono::seconds(10);
}

// flock() until it is granted or the wait is over.
bool lockWithin(int fd, int operation, std::chrono::steady_clock::time_point deadline)
{
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

RingLock::~RingLock()
{
    for (int fd : fds_)
        ::close(fd);  // closing drops the lock
}

PGPError RingLock::acquire(const std::string& pubPath, const std::string& secPath, bool exclusive)
{
    std::vector<std::string> folders {platform::parentFolder(ringTarget(pubPath)),
                                      platform::parentFolder(ringTarget(secPath))};
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    const auto deadline = std::chrono::steady_clock::now() + lockWait();
    for (const std::string& folder : folders) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT ? kPGPError_FileNotFound : kPGPError_FilePermissions;
        fds_.push_back(fd);
        if (!lockWithin(fd, exclusive ? LOCK_EX : LOCK_SH, deadline))
            return kPGPError_KeyRingLocked;
    }
    return kPGPError_NoErr;
}

std::string ringTarget(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_symlink(path, ec))
        return path;
    const fs::path target = fs::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

void removeWriterLeftovers(const std::string& ringFile)
{
    namespace fs = std::filesystem;
    const fs::path file(ringFile);
    const std::string name = file.filename().string();
    const std::string temp = name + ".tolv-", backupTemp = name + ".bak.tolv-";
    std::error_code ec;
    for (fs::directory_iterator it(platform::parentFolder(ringFile), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (startsWith(entry, temp) || startsWith(entry, backupTemp)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

}  // namespace pgpsdk
