#pragma once
// Reading the settings from their ini file into AppConfig, or writing them
// back, without any window: the command line uses it as it is, and the
// windows show their small progress window around it.
#include <string>

enum class ScanIniMode { Read, Write };

// The ini file a scan uses: chosen from the first argument for a read, the
// current one for a write. Empty when the system refuses its name as too
// long: that is reported, and a read then applies the defaults.
std::string iniPathForScan(ScanIniMode mode, const char* firstArgument);

// Reads iniPath into AppConfig, or writes AppConfig to it.
void scanIniFile(ScanIniMode mode, const std::string& iniPath);
