#pragma once

#include "core/ini_scan.h"

// Reads the settings (choosing the ini file from the first argument) into
// AppConfig, or writes AppConfig to its ini file, showing a small progress
// window and the wait cursor meanwhile. Reports nothing.
void SCAN_INI(ScanIniMode mode, const char* firstArgument = "");
