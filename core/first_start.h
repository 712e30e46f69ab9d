#pragma once
// The first start in Tolv's own settings folder ("/W", as the desktop menu
// starts Tolv): with no settings file there yet, one is written with the
// default settings and the key rings beside it, and the user is told where
// the rings are.
#include <string>

// Called before the settings are read from iniPath. True when this was the
// first start and the settings file has been written.
bool prepareFirstStart(const std::string& iniPath);
