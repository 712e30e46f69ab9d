#pragma once
#include <string>

// Run-time loading of shared libraries. Failures record the Windows code of
// the cause as the thread's last error: 126 when the library file is not
// there, 193 when the file is no loadable library.
namespace platform {

using LibraryHandle = void*;

LibraryHandle loadLibrary(const std::string& name);
void* resolveSymbol(LibraryHandle library, const char* name);
void freeLibrary(LibraryHandle library);

// How many symbol look-ups this process has made (for checks of the loader).
unsigned long symbolLookups();

// The folder of the running executable, or an empty text.
std::string executableDirectory();

}  // namespace platform
