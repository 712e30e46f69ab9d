// tolv-cli: Tolv's encode, decode and key listing without windows, for
// scripts and batch work. It runs the same code as the windows, with every
// prompt answered from its options and every message written to standard
// error. The commands are the rows of cli_commands.cpp.
#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_completion.h"
#include "cli/cli_exit.h"
#include "cli/cli_frontend.h"
#include "cli/cli_options.h"
#include "cli/cli_passphrase.h"
#include "cli/cli_terminal.h"
#include "core/first_start.h"
#include "core/ini_scan.h"
#include "core/shared_passphrase.h"
#include "platform/stderr_filter.h"
#include "tolv_version.h"

namespace {

int usage(const std::string& why)
{
    std::fprintf(stderr, "tolv-cli: %s\nTry 'tolv-cli --help'.\n", why.c_str());
    return Usage;
}

// Reads the settings: a bare file name is in the current folder here, as a
// shell user means it.
void readSettings(const std::string& ini)
{
    const bool bare = !ini.empty() && ini != "/W" && ini != "/D" && ini.find('/') == std::string::npos;
    const std::string iniPath = iniPathForScan(ScanIniMode::Read, (bare ? "./" + ini : ini).c_str());
    if (iniPath.empty())
        return;
    prepareFirstStart(iniPath);
    scanIniFile(ScanIniMode::Read, iniPath);
}

// The command's row runs it; a usage error goes to misuse instead.
int runCommand(const CliOptions& o, std::string& misuse)
{
    const CliCommand* command = findCommand(o.command);
    if (!command)
        return misuse = "unknown command " + o.command, Usage;
    return command->run(o, misuse);
}

// Everything after the arguments were read.
int runParsed(const CliOptions& opts)
{
    if (opts.help) {
        std::fputs(helpText().c_str(), stdout);
        return Ok;
    }
    if (opts.completion) {
        std::fputs(bashCompletion().c_str(), stdout);
        return Ok;
    }
    if (opts.version) {
        std::printf("tolv-cli %s\n", TOLV_VERSION);
        return Ok;
    }
    if (opts.command.empty())
        return usage("no command given");
    readSettings(opts.ini);
    if (opts.passphraseGiven)
        if (int failed = loadPassphrase(opts))
            return failed;
    std::string misuse;
    int result = runCommand(opts, misuse);
    if (!misuse.empty())
        return usage(misuse);
    const bool noneGiven = cliFrontend().passphraseRequests() > 0 && SharedPassphrase::instance().isEmpty();
    if (result == Failure && noneGiven)
        result = BadPassphrase;
    if (result == BadPassphrase && noneGiven)
        std::fputs("tolv-cli: a passphrase is needed: give --passphrase-file or --passphrase-fd\n", stderr);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
#ifndef TOLV_UNFILTERED_STDERR
    platform::StderrFilter quietLibrary;
    const int terminal = quietLibrary.originalFd();
#else
    const int terminal = STDERR_FILENO;
#endif
    setProgressTerminal(::isatty(terminal) ? terminal : -1);
    frontend::install(&cliFrontend());
    CliOptions opts;
    const std::string error = parseArguments(std::vector<std::string>(argv + 1, argv + argc), opts);
    const int result = error.empty() ? runParsed(opts) : usage(error);
    SharedPassphrase::instance().clear();
    frontend::install(nullptr);
    return result;
}
