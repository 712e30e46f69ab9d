#pragma once
// How tolv-cli reads its input and writes its output: streamed through the
// SDK where the files allow it, otherwise whole in memory as the windows do.
#include <cstdint>
#include <string>

#include "cli/cli_frontend.h"
#include "core/byte_buffer.h"

// Where a job's files go. streamed: the SDK reads the input and writes the
// output (by its final name) as it goes, in constant memory. Otherwise the
// input is loaded whole and the output saved whole after the job.
struct JobFiles {
    std::string input;
    std::string output;
    bool streamed = false;
    ByteBuffer block;  // the whole input, when not streamed
    std::int64_t length = 0;
};

// Works out the route and, when not streamed, loads the input. Streamed are
// a readable regular input with bytes in it, and an output that is new, or
// a regular file of one link in a folder the user may write, so that it is
// replaced by renaming. Pipes, devices, /proc files, hard links and
// read-only folders take the whole route, which handles each of them. False
// when the input cannot be read (told to the user).
bool prepareJobFiles(CliFrontend& cli, const std::string& in, const std::string& out, JobFiles& files);

// Saves the output of a job that was not streamed; false when it failed (told).
bool saveWhole(CliFrontend& cli, const std::string& path, const char* data, std::int64_t size);
