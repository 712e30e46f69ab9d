#pragma once
// The end of every change to the open rings: written to the ring files at
// once, or undone in memory and told.
#include "pgpsdk/pgpsdk.h"

namespace sdk {

class SdkUse;

// Writes the change to the ring files; a failed write undoes the change
// (told under caption). The front end hears that the keys changed.
bool commitKeyChange(SdkUse& use, const char* caption);

// A change that failed halfway is undone in memory, and told.
bool undoKeyChange(SdkUse& use, const char* caption, const char* label, PGPError e);

}  // namespace sdk
