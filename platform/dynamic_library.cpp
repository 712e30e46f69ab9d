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

namespace {

// Why dlopen refused name: the OS error its text ends with ("...: Permission
// denied"), else a file that is there but no library for this system.
std::uint32_t loadFailureCode(const std::string& name, const std::string& why)
{
    if (name.find('/') != std::string::npos) {
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0)
            return errno == ENOENT ? win::ModNotFound : windowsErrorFromErrno(errno);
        if (S_ISDIR(st.st_mode) || ::access(name.c_str(), R_OK) != 0)
            return win::AccessDenied;
    }
    for (int err : {ENOENT, EACCES, EPERM, ENAMETOOLONG, ELOOP, EIO, ENOMEM, ENOTDIR, EISDIR}) {
        const std::string text = std::strerror(err);
        if (why.size() >= text.size() && why.compare(why.size() - text.size(), text.size(), text) == 0)
            return err == ENOENT ? win::ModNotFound : windowsErrorFromErrno(err);
    }
    return win::BadExeFormat;
}

}  // namespace

LibraryHandle loadLibrary(const std::string& name)
{
    ::dlerror();
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle)
        return handle;
    const char* why = ::dlerror();
    setLastError(loadFailureCode(name, why ? why : ""));
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
