#pragma once
// tolv-cli's bash completion script, written from the command table at
// build time (tolv-cli --bash-completion).
#include <string>

std::string bashCompletion();
