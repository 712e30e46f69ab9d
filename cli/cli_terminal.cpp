#include "cli/cli_terminal.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "sdk/sdk_session.h"

namespace {

// Where a slow ring load tells its time: the terminal behind standard error, if any.
int progressFd = -1;

void writeProgress(const std::string& text)
{
    if (::write(progressFd, text.data(), text.size()) < 0)
        progressFd = -1;
}

}  // namespace

void setProgressTerminal(int fd) { progressFd = fd; }

// PGP_LoadRings, telling a terminal user how long a slow load has taken:
// a ring of many thousands of keys or user IDs takes seconds to check.
std::int32_t loadRings()
{
    if (progressFd < 0)
        return sdk::PGP_LoadRings();
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    std::thread ticker([&] {
        std::unique_lock lock(m);
        int seconds = 0;
        while (!done.wait_for(lock, std::chrono::seconds(1), [&] { return finished; }))
            writeProgress("\rLoading and checking the key rings... " + std::to_string(++seconds) + " s");
        if (seconds > 0 && progressFd >= 0)
            writeProgress("\r\033[K");  // the line is cleared again
    });
    const std::int32_t result = sdk::PGP_LoadRings();
    {
        std::lock_guard lock(m);
        finished = true;
    }
    done.notify_one();
    ticker.join();
    return result;
}

namespace {

std::atomic<bool> interrupted {false};
// The running job's stop flag: the SDK looks at it before each read of input.
PGPUInt32 stopFlag = 0;

extern "C" void onInterrupt(int)
{
    interrupted = true;
    __atomic_store_n(&stopFlag, 1, __ATOMIC_RELAXED);
}

}  // namespace

const PGPUInt32* jobStopFlag() { return &stopFlag; }

InterruptScope::InterruptScope()
{
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, &old_);
}

InterruptScope::~InterruptScope() { ::sigaction(SIGINT, &old_, nullptr); }

// A job's progress: its percent on a terminal, and a stop after Ctrl-C.
sdk::JobProgress jobProgress(const std::string& doing)
{
    return [doing, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (progressFd >= 0 && percent != shown)
            writeProgress("\r" + doing + "... " + std::to_string(percent) + " %");
        shown = percent;
        return !interrupted.load();
    };
}

// After a job: the progress line cleared, and whether Ctrl-C stopped it.
// A Ctrl-C that came when the job had already finished (finished) stopped
// nothing: the output is whole, and the command goes on as if none came.
bool jobInterrupted(bool finished)
{
    if (progressFd >= 0)
        writeProgress("\r\033[K");
    if (!interrupted)
        return false;
    if (finished) {
        std::fputs("tolv-cli: Ctrl-C came after the work was done; the output is complete\n", stderr);
        return false;
    }
    std::fputs("tolv-cli: interrupted; nothing was written\n", stderr);
    return true;
}
