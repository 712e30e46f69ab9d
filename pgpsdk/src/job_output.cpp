#include "job_output.h"

#include <cstring>

#include "file_output.h"
#include "output_block.h"

namespace pgpsdk {

namespace {

// An SDK block that the caller receives through the option's pointers.
class BlockOutput : public JobOutput {
public:
    BlockOutput(const Option& option, std::size_t sizeHint, std::size_t maxSize)
        : option_(option), block_(sizeHint, maxSize)
    {
    }
    bool append(const void* data, std::size_t size) override
    {
        if (block_.append(data, size))
            return true;
        failure_ = block_.tooLarge() ? kPGPError_OutputTooLarge : kPGPError_OutOfMemory;
        return false;
    }
    PGPError failure() const override { return failure_; }
    PGPError deliver() override
    {
        *option_.outSize = block_.size();
        *option_.outBuffer = block_.release();
        return kPGPError_NoErr;
    }

private:
    const Option& option_;
    OutputBlock block_;
    PGPError failure_ = kPGPError_NoErr;
};

// Passes everything on but the CR bytes.
class UnixLineEnds : public JobOutput {
public:
    explicit UnixLineEnds(std::unique_ptr<JobOutput> output) : output_(std::move(output)) {}
    bool append(const void* data, std::size_t size) override
    {
        const char* p = static_cast<const char*>(data);
        const char* end = p + size;
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
            const char* stop = cr ? cr : end;
            if (stop > p && !output_->append(p, static_cast<std::size_t>(stop - p)))
                return false;
            p = cr ? cr + 1 : end;
        }
        return true;
    }
    PGPError failure() const override { return output_->failure(); }
    PGPError deliver() override { return output_->deliver(); }
    PGPError retarget(const std::string& path) override { return output_->retarget(path); }

private:
    std::unique_ptr<JobOutput> output_;
};

bool writeToOutput(void* ctx, const void* buf, size_t len) { return static_cast<JobOutput*>(ctx)->append(buf, len); }

void closeOutput(void*, bool) {}

}  // namespace

std::unique_ptr<JobOutput> makeOutput(const Option& option, std::size_t sizeHint, std::size_t maxSize, PGPError& why,
                                      bool secret)
{
    why = kPGPError_NoErr;
    if (option.kind == OptionKind::AllocatedOutput)
        return std::make_unique<BlockOutput>(option, sizeHint, maxSize);
    auto file = std::make_unique<FileOutput>(option.path, maxSize, secret);
    why = file->open();
    return why ? nullptr : std::move(file);
}

std::unique_ptr<JobOutput> withUnixLineEnds(std::unique_ptr<JobOutput> output)
{
    return output ? std::make_unique<UnixLineEnds>(std::move(output)) : nullptr;
}

rnp_output_t rnpOutputTo(JobOutput& output)
{
    rnp_output_t out = nullptr;
    return rnp_output_to_callback(&out, writeToOutput, closeOutput, &output) == RNP_SUCCESS ? out : nullptr;
}

}  // namespace pgpsdk
