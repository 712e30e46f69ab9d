#include "platform/config_dir.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

std::string windowsDirectory()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/tolv";
}

bool ensureDirectory(const std::string& path)
{
    if (path.empty())
        return false;
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            setLastErrorFromErrno(errno);
            return false;
        }
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string currentDirectory()
{
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf) == nullptr) {
        setLastErrorFromErrno(errno);
        return {};
    }
    return buf;
}

}  // namespace platform
