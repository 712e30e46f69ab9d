#include "platform/dynamic_library.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

LibraryHandle loadLibrary(const std::string& name)
{
    ::dlerror();
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle)
        return handle;
    const char* why = ::dlerror();
    bool missing;
    if (name.find('/') != std::string::npos) {
        struct stat st {};
        missing = ::stat(name.c_str(), &st) != 0;
    } else {
        missing = why && std::strstr(why, "No such file") != nullptr;
    }
    setLastError(missing ? win::ModNotFound : win::BadExeFormat);
    return nullptr;
}

namespace {
std::atomic<unsigned long> lookups{0};
}

unsigned long symbolLookups() { return lookups.load(); }

void* resolveSymbol(LibraryHandle library, const char* name)
{
    ++lookups;
    if (!library)
        return nullptr;
    ::dlerror();
    void* address = ::dlsym(library, name);
    if (!address)
        setLastError(127);  // procedure not found
    return address;
}

void freeLibrary(LibraryHandle library)
{
    if (library)
        ::dlclose(library);
}

std::string executableDirectory()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace platform
