#pragma once
// How tolv-cli reads a passphrase: from a file or a file descriptor, never
// from the command line, and never more than its first line of 1 KiB.
#include <string>

#include "cli/cli_options.h"
#include "platform/secret_text.h"

// Reads a passphrase from file (or from fd when file is empty) into out;
// the exit code of a failure (told on standard error), or 0.
int readPassphraseOption(const std::string& file, int fd, SecretText& out);

// Reads the passphrase the options name into the shared passphrase.
int loadPassphrase(const CliOptions& opts);
