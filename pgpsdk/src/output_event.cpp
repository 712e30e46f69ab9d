#include "output_event.h"

#include <cstdarg>

#include "entry_point.h"
#include "options.h"
#include "rnp_handles.h"

namespace pgpsdk {

namespace {

// What PGPAddJobOptions may change of a job: its output, during the output
// event only (the object lives as long as the event).
struct Job : Tagged {
    Job(CoreRef c, JobOutput& o) : Tagged(Tag::Job), core(std::move(c)), output(o) {}
    CoreRef core;
    JobOutput& output;
};

// gpg's name for literal data that is "for your eyes only".
constexpr const char* kConsoleName = "_CONSOLE";

}  // namespace

PGPError offerOutput(PGPContextRef context, const JobOptions& job, rnp_op_verify_t op, JobOutput& sink)
{
    char* rawName = nullptr;
    std::uint32_t mtime = 0;
    rnp_op_verify_get_file_info(op, &rawName, &mtime);
    const std::string name = takeRnpString(rawName);
    Context* ctx = as<Context>(context, Tag::Context);
    Job handle(ctx ? ctx->core : nullptr, sink);
    PGPEvent event {};
    event.type = kPGPEvent_OutputEvent;
    event.job = reinterpret_cast<PGPJobRef>(&handle);
    event.data.outputData.suggestedName = name.c_str();
    event.data.outputData.forYourEyesOnly = name == kConsoleName;
    return sendEvent(job, context, event);
}

}  // namespace pgpsdk

using namespace pgpsdk;

extern "C" PGPError PGPAddJobOptions(PGPJobRef job, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = withOptions<Job>(job, Tag::Job, [&](Job* j) -> PGPError {
        OptionList held;
        const Option* output = nullptr;
        const bool ok = takeOptions(firstOption, args, held, [&](const Option& o) {
            output = o.kind == OptionKind::OutputFile ? &o : output;
            return o.kind == OptionKind::OutputFile;
        });
        if (!j || !ok || !output)
            return kPGPError_BadParams;
        return j->output.retarget(output->path);
    });
    va_end(args);
    return result;
}
