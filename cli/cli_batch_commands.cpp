// tolv-cli's encode and decode of several files at once (--output-dir DIR
// FILE...): each file (a folder as one tar archive) into DIR, one line per
// file, and one exit code for the worst result.
#include <cstdio>
#include <filesystem>
#include <functional>

#include "cli/cli_batch.h"
#include "cli/cli_exit.h"
#include "cli/cli_frontend.h"
#include "cli/cli_terminal.h"
#include "core/shared_passphrase.h"
#include "sdk/batch_items.h"

namespace {

using RunItem = std::function<sdk::ItemOutcome(const std::string& path, const sdk::ItemTarget&, const sdk::JobWatch&)>;

const char* stateWord(sdk::ItemState s)
{
    switch (s) {
    case sdk::ItemState::Done: return "done";
    case sdk::ItemState::Exists: return "skipped, the output exists (--yes replaces it)";
    case sdk::ItemState::Cancelled: return "interrupted";
    default: return "failed";
    }
}

// The exit code of one item; failuresBefore tells whether the item's own
// failure was reported.
int itemExit(const sdk::ItemOutcome& o, int failuresBefore, bool decoding)
{
    switch (o.state) {
    case sdk::ItemState::Done: return decoding ? exitCodeOf(o.decoded, false) : Ok;
    case sdk::ItemState::Exists: return IoFailure;
    case sdk::ItemState::Cancelled: return Interrupted;
    default: return cliFrontend().failureCount() > failuresBefore ? exitCodeFromFailure() : Failure;
    }
}

void printItem(const std::string& path, const sdk::ItemOutcome& o, bool decoding)
{
    std::printf("%s -> %s: %s\n", path.c_str(), o.output.c_str(), stateWord(o.state));
    for (const sdk::Verdict& v : decoding ? o.decoded.verdicts : std::vector<sdk::Verdict> {})
        std::printf("Verdict: %s\n", v.text.c_str());
    if (!decoding && o.state == sdk::ItemState::Failed && !o.note.empty())
        std::printf("Reason: %s\n", o.note.c_str());
    std::fflush(stdout);
}

int runItems(const CliOptions& o, const char* doing, bool decoding, const RunItem& run)
{
    std::error_code e;
    if (!std::filesystem::is_directory(o.outputDir, e)) {
        std::fprintf(stderr, "tolv-cli: %s is not a folder\n", o.outputDir.c_str());
        return IoFailure;
    }
    if (loadRings() != 0)
        return IoFailure;
    const sdk::JobProgress progress = jobProgress(doing);
    const sdk::JobWatch watch {&progress, jobStopFlag()};
    const sdk::ItemTarget target {o.outputDir, o.yes};
    InterruptScope ctrlC;
    int worst = Ok;
    for (std::size_t i = 0; i < o.positional.size() && worst != Interrupted; ++i) {
        const int failuresBefore = cliFrontend().failureCount();
        const sdk::ItemOutcome item = run(o.positional[i], target, watch);
        if (jobInterrupted(item.state != sdk::ItemState::Cancelled) && i > 0)
            std::fputs("tolv-cli: the files done before it are kept\n", stderr);
        printItem(o.positional[i], item, decoding);
        worst = worseExit(worst, itemExit(item, failuresBefore, decoding));
    }
    return worst;
}

}  // namespace

int encodeBatch(const CliOptions& o, const sdk::EncodeRequest& request)
{
    return runItems(o, "Encoding", false, [&](const std::string& path, const sdk::ItemTarget& t, const sdk::JobWatch& w) {
        return sdk::encodeItem(path, request, SharedPassphrase::instance(), t, w);
    });
}

int decodeBatch(const CliOptions& o)
{
    cliFrontend().goOnWithoutPassphrase();  // a message that is only signed needs none
    return runItems(o, "Decoding", true, [](const std::string& path, const sdk::ItemTarget& t, const sdk::JobWatch& w) {
        return sdk::decodeItem(path, SharedPassphrase::instance(), t, w);
    });
}
