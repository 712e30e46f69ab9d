#pragma once
// Where a job's result goes: a block handed to the caller, or a file that
// takes its name only when the job succeeds.
#include <rnp/rnp.h>

#include <memory>
#include <string>

#include "objects.h"

namespace pgpsdk {

class JobOutput {
public:
    virtual ~JobOutput() = default;
    // False when the output would pass its maximum size or cannot be written.
    virtual bool append(const void* data, std::size_t size) = 0;
    // Why an append failed: kPGPError_OutputTooLarge, kPGPError_WriteFailed
    // (a full disk among others) or kPGPError_OutOfMemory; kPGPError_NoErr
    // while none did.
    virtual PGPError failure() const = 0;
    // Hands the finished result over: the block through the option's
    // pointers, or the file under its name. Until then nothing is visible.
    virtual PGPError deliver() = 0;
    // Hands the result over under another name, for a file output whose
    // new name is in the same folder; kPGPError_BadParams otherwise.
    virtual PGPError retarget(const std::string& path)
    {
        (void)path;
        return kPGPError_BadParams;
    }
};

// The output the job's option asks for, sized for about sizeHint bytes and
// holding at most maxSize; null with the reason in why when it cannot be made.
// A file for secret key material (secret) is made 0600.
std::unique_ptr<JobOutput> makeOutput(const Option& option, std::size_t sizeHint, std::size_t maxSize, PGPError& why,
                                      bool secret = false);

// The output with its line ends as this system writes text: LF, not CRLF.
// For ASCII armour, whose only CR bytes are those of its line ends (gpg
// writes armour the same way; every reader takes either).
std::unique_ptr<JobOutput> withUnixLineEnds(std::unique_ptr<JobOutput> output);

// librnp's output into a JobOutput; null when librnp could not make it.
rnp_output_t rnpOutputTo(JobOutput& output);

}  // namespace pgpsdk
