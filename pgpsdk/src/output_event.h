#pragma once
// The output event of a decode: the handler is told the file name the
// message carries, and may move a file output to another name in its folder
// (PGPAddJobOptions) before the output is handed over.
#include <rnp/rnp.h>

#include "job_output.h"
#include "job_support.h"

namespace pgpsdk {

// Sends the event for the decoded message of op, whose output is sink.
// Non-zero when the handler stopped the job.
PGPError offerOutput(PGPContextRef context, const JobOptions& job, rnp_op_verify_t op, JobOutput& sink);

}  // namespace pgpsdk
