#pragma once
// A job's output file. It is written unnamed (or under a temporary name) in
// the target's folder and renamed over the target only when the job
// succeeds, so a failed, stopped or interrupted job leaves no file and never
// harms the one that was there.
#include <string>

#include "job_output.h"

namespace pgpsdk {

class FileOutput : public JobOutput {
public:
    // secret: the file holds secret key material and is made 0600, whatever
    // the mode of a file it replaces.
    FileOutput(std::string target, std::size_t maxSize, bool secret = false)
        : target_(std::move(target)), maxSize_(maxSize), secret_(secret)
    {
    }
    ~FileOutput() override;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    // Creates the temporary file: kPGPError_CantOpenFile (or
    // kPGPError_FilePermissions) when the folder takes none.
    PGPError open();
    bool append(const void* data, std::size_t size) override;
    PGPError failure() const override { return failure_; }
    PGPError deliver() override;
    // Only within the target's folder, where the file is being written;
    // never onto a folder, device or pipe.
    PGPError retarget(const std::string& path) override;

    // deliver() in two steps, for files that must all be written before
    // any of them replaces its target (a key ring pair): prepare flushes
    // the file to disk and gives it a temporary name; publish renames it
    // over the target.
    PGPError prepare(bool alwaysSync);
    PGPError publish();

private:
    std::string target_;
    std::string tempName_;  // empty for an unnamed file
    std::size_t maxSize_;
    bool secret_;
    std::size_t size_ = 0;
    int fd_ = -1;
    PGPError failure_ = kPGPError_NoErr;
};

}  // namespace pgpsdk
