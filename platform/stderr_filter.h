#pragma once
// librnp prints its own diagnostics ("[function() file:line] text") straight
// to standard error, where they reach the user's terminal. While a
// StderrFilter lives, standard error runs through a pipe whose reader drops
// such lines and passes every other line on unchanged.
#include <string_view>
#include <thread>

namespace platform {

class StderrFilter {
public:
    StderrFilter();
    ~StderrFilter();  // flushes what is left and restores standard error
    StderrFilter(const StderrFilter&) = delete;
    StderrFilter& operator=(const StderrFilter&) = delete;

    static bool isLibraryDiagnostic(std::string_view line);
    // Standard error as it was, for output that must not wait for a line's end.
    int originalFd() const { return savedFd_; }

private:
    void forward(int readFd);

    int savedFd_ = -1;
    std::thread reader_;
};

}  // namespace platform
