#include "platform/stderr_filter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {

namespace {

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

bool StderrFilter::isLibraryDiagnostic(std::string_view line)
{
    // "[name() path:123] ..."
    if (line.empty() || line.front() != '[')
        return false;
    const auto call = line.find("() ");
    const auto close = line.find("] ");
    if (call == std::string_view::npos || close == std::string_view::npos || close < call)
        return false;
    const auto colon = line.rfind(':', close);
    if (colon == std::string_view::npos || colon < call || colon + 1 == close)
        return false;
    for (auto i = colon + 1; i < close; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[i])))
            return false;
    return true;
}

StderrFilter::StderrFilter()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    savedFd_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (savedFd_ < 0 || ::dup2(fds[1], STDERR_FILENO) < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        if (savedFd_ >= 0)
            ::close(savedFd_);
        savedFd_ = -1;
        return;
    }
    ::close(fds[1]);
    reader_ = std::thread([this, readFd = fds[0]] { forward(readFd); });
}

StderrFilter::~StderrFilter()
{
    if (savedFd_ < 0)
        return;
    std::fflush(stderr);
    ::dup2(savedFd_, STDERR_FILENO);  // closes the pipe's last writer: the reader sees its end
    reader_.join();
    ::close(savedFd_);
}

void StderrFilter::forward(int readFd)
{
    std::string pending;
    char chunk[4096];
    auto emitLine = [this](std::string_view line) {
        if (!isLibraryDiagnostic(line))
            writeAll(savedFd_, line.data(), line.size());
    };
    while (true) {
        ssize_t n = ::read(readFd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(chunk, static_cast<std::size_t>(n));
        std::size_t start = 0, nl;
        while ((nl = pending.find('\n', start)) != std::string::npos) {
            emitLine(std::string_view(pending).substr(start, nl + 1 - start));
            start = nl + 1;
        }
        pending.erase(0, start);
    }
    emitLine(pending);
    ::close(readFd);
}

}  // namespace platform
