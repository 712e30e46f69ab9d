#pragma once
#include <string>

namespace platform {

// The folder that stands in for the Windows directory: $XDG_CONFIG_HOME/tolv,
// or ~/.config/tolv. Bare ini file names and the system's own profile live here.
std::string windowsDirectory();

// Creates the folder (and its parents) when missing. False when it cannot.
bool ensureDirectory(const std::string& path);

// The current working directory, or an empty text when it cannot be read.
std::string currentDirectory();

}  // namespace platform
