#pragma once
// A job's input: the caller's buffer, or a file read as the job goes, and
// librnp's input over it with progress reports.
#include <rnp/rnp.h>

#include <chrono>
#include <cstddef>
#include <string_view>
#include <vector>

#include "job_support.h"

namespace pgpsdk {

using ByteView = std::basic_string_view<unsigned char>;

class JobInput {
public:
    JobInput() = default;
    ~JobInput();
    JobInput(const JobInput&) = delete;
    JobInput& operator=(const JobInput&) = delete;

    // Takes what the option names. kPGPError_FileNotFound,
    // kPGPError_FilePermissions or kPGPError_CantOpenFile when its file
    // cannot be read; only a regular file is read, so a pipe never blocks.
    PGPError open(const Option& option);
    std::size_t size() const { return size_; }
    bool inMemory() const { return fd_ < 0; }
    // Up to len bytes from offset; -1 when the file cannot be read.
    std::ptrdiff_t readAt(std::size_t offset, void* buf, std::size_t len) const;
    // The first bytes, at most max of them, for checks that need only the start.
    ByteView head(std::size_t max);
    // All of it in memory: the buffer, or the file mapped read-only, for the
    // rare checks that read a message whole (damage, hidden recipients).
    // Null when it cannot be mapped.
    const unsigned char* whole();

private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    int fd_ = -1;
    void* mapped_ = nullptr;
    std::vector<unsigned char> head_;
};

// librnp's input over a JobInput. With null events asked for, it tells the
// event handler how far it got (at the start, at most once per interval,
// and at the end), and stops reading when the handler says so.
class ProgressInput {
public:
    ProgressInput(const JobOptions& job, PGPContextRef context, JobInput& input)
        : job_(job), context_(context), input_(input)
    {
    }
    // Null when librnp could not make it.
    rnp_input_t make();
    bool stopped() const { return stopped_; }
    bool readFailed() const { return readFailed_; }

private:
    static bool read(void* self, void* buf, size_t len, size_t* got);
    bool tell(bool force);

    const JobOptions& job_;
    PGPContextRef context_;
    JobInput& input_;
    std::size_t done_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool stopped_ = false;
    bool readFailed_ = false;
    std::chrono::steady_clock::time_point last_ {};
};

}  // namespace pgpsdk
