#pragma once
// tolv-cli's commands, one row each: the one table that parsing, --help and
// the bash completion all read. A new command is one row and its runner.
#include <string>
#include <vector>

#include "cli/cli_options.h"

struct CliCommand {
    const char* name;
    const char* usage;    // its lines of the usage text
    std::string options;  // the options it takes, for completion
    // Runs the command; a usage error goes to misuse instead.
    int (*run)(const CliOptions& options, std::string& misuse);
};

const std::vector<CliCommand>& cliCommands();
// The row of that name, or null.
const CliCommand* findCommand(const std::string& name);
// The whole --help text: the commands' usage, then what they share.
std::string helpText();

// The runners (cli_job_commands.cpp, cli_key_commands.cpp).
int runEncode(const CliOptions& o, std::string& misuse);
int runVerify(const CliOptions& o, std::string& misuse);
int runDecode(const CliOptions& o, std::string& misuse);
int runKeys(const CliOptions& o, std::string& misuse);
int runFingerprint(const CliOptions& o, std::string& misuse);
int runExport(const CliOptions& o, std::string& misuse);
int runGenerate(const CliOptions& o, std::string& misuse);
int runImport(const CliOptions& o, std::string& misuse);
int runDelete(const CliOptions& o, std::string& misuse);
int runPasswd(const CliOptions& o, std::string& misuse);
int runLookup(const CliOptions& o, std::string& misuse);
int runRefresh(const CliOptions& o, std::string& misuse);
int runPublish(const CliOptions& o, std::string& misuse);
// cli_upkeep_commands.cpp
int runExpire(const CliOptions& o, std::string& misuse);
int runAddUid(const CliOptions& o, std::string& misuse);
int runRevUid(const CliOptions& o, std::string& misuse);
int runPrimary(const CliOptions& o, std::string& misuse);
int runAddKey(const CliOptions& o, std::string& misuse);
int runRevKey(const CliOptions& o, std::string& misuse);
int runVerifyKey(const CliOptions& o, std::string& misuse);
int runGroup(const CliOptions& o, std::string& misuse);  // cli_group_command.cpp
