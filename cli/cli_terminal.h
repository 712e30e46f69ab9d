#pragma once
// tolv-cli and its terminal: the progress of slow work, and Ctrl-C, which
// asks a running job to stop instead of ending the program at once.
#include <csignal>
#include <cstdint>
#include <string>

#include "pgpsdk/pgpsdk.h"
#include "sdk/pgp_data.h"

// Where progress is shown: the terminal behind standard error (-1: none).
void setProgressTerminal(int fd);

// PGP_LoadRings, telling a terminal user how long a slow load has taken.
std::int32_t loadRings();

// While it lives, Ctrl-C asks the running job to stop (it then leaves no
// output) instead of ending the program at once.
class InterruptScope {
public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction old_ {};
};

// The flag Ctrl-C sets, for the job's stop option.
const PGPUInt32* jobStopFlag();

// A job's progress: its percent on a terminal, and a stop after Ctrl-C.
sdk::JobProgress jobProgress(const std::string& doing);

// After a job: the progress line cleared, and whether Ctrl-C stopped it.
// A Ctrl-C that came when the job had already finished (finished) stopped
// nothing: the output is whole, and the command goes on as if none came.
bool jobInterrupted(bool finished);
