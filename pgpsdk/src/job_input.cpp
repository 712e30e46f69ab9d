#include "job_input.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pgpsdk {

namespace {

PGPError openFailure(int err)
{
    if (err == ENOENT || err == ENOTDIR)
        return kPGPError_FileNotFound;
    return err == EACCES || err == EPERM ? kPGPError_FilePermissions : kPGPError_CantOpenFile;
}

// An input with no bytes (librnp takes no empty memory input).
bool readNothing(void*, void*, size_t, size_t* read)
{
    *read = 0;
    return true;
}

}  // namespace

JobInput::~JobInput()
{
    if (mapped_)
        ::munmap(mapped_, size_);
    if (fd_ >= 0)
        ::close(fd_);
}

PGPError JobInput::open(const Option& option)
{
    if (option.kind == OptionKind::InputBuffer) {
        data_ = static_cast<const unsigned char*>(option.input);
        size_ = option.inputSize;
        return kPGPError_NoErr;
    }
    fd_ = ::open(option.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return openFailure(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return kPGPError_CantOpenFile;
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    size_ = static_cast<std::size_t>(st.st_size);
    return kPGPError_NoErr;
}

std::ptrdiff_t JobInput::readAt(std::size_t offset, void* buf, std::size_t len) const
{
    if (offset >= size_)
        return 0;
    len = std::min(len, size_ - offset);
    if (fd_ < 0) {
        std::memcpy(buf, data_ + offset, len);
        return static_cast<std::ptrdiff_t>(len);
    }
    for (;;) {
        const ssize_t n = ::pread(fd_, buf, len, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

ByteView JobInput::head(std::size_t max)
{
    if (fd_ < 0)
        return {data_, std::min(max, size_)};
    head_.resize(std::min(max, size_));
    std::size_t got = 0;
    for (std::ptrdiff_t n = 1; got < head_.size() && n > 0; got += static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)))
        n = readAt(got, head_.data() + got, head_.size() - got);
    head_.resize(got);
    return {head_.data(), head_.size()};
}

const unsigned char* JobInput::whole()
{
    if (fd_ < 0 || mapped_ || size_ == 0)
        return fd_ < 0 ? data_ : static_cast<const unsigned char*>(mapped_);
    void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    mapped_ = m == MAP_FAILED ? nullptr : m;
    return static_cast<const unsigned char*>(mapped_);
}

rnp_input_t ProgressInput::make()
{
    rnp_input_t input = nullptr;
    const bool watched = job_.nullEvents || job_.stopFlag;
    if (input_.size() == 0 && !watched)
        return rnp_input_from_callback(&input, readNothing, nullptr, nullptr) == RNP_SUCCESS ? input : nullptr;
    if (input_.inMemory() && !watched)
        return rnp_input_from_memory(&input, input_.whole(), input_.size(), false) == RNP_SUCCESS ? input : nullptr;
    return rnp_input_from_callback(&input, &ProgressInput::read, nullptr, this) == RNP_SUCCESS ? input : nullptr;
}

bool ProgressInput::read(void* self, void* buf, size_t len, size_t* got)
{
    auto* p = static_cast<ProgressInput*>(self);
    *got = 0;
    // The caller's stop flag is looked at before every read, so that a stop
    // is heard within one block, not only at the next null event.
    if (p->job_.stopFlag && __atomic_load_n(p->job_.stopFlag, __ATOMIC_RELAXED))
        p->stopped_ = true;
    if (p->stopped_ || (p->job_.nullEvents && !p->tell(!p->started_)))
        return false;
    p->started_ = true;
    const std::ptrdiff_t n = p->input_.readAt(p->done_, buf, len);
    if (n < 0) {
        p->readFailed_ = true;
        return false;
    }
    p->done_ += static_cast<std::size_t>(n);
    *got = static_cast<std::size_t>(n);
    if (n > 0 && p->done_ < p->input_.size())
        return true;
    if (p->finished_ || !p->job_.nullEvents)
        return true;
    p->finished_ = true;
    return p->tell(true);
}

// Sends a null event when forced or when the interval has passed; false
// once the handler asked to stop.
bool ProgressInput::tell(bool force)
{
    if (stopped_)
        return false;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last_ < std::chrono::milliseconds(job_.nullEvents->intervalMs))
        return true;
    last_ = now;
    PGPEvent event {};
    event.type = kPGPEvent_NullEvent;
    event.data.nullData.bytesWritten = done_;
    event.data.nullData.bytesTotal = input_.size();
    stopped_ = sendEvent(job_, context_, event) != kPGPError_NoErr;
    return !stopped_;
}

}  // namespace pgpsdk
