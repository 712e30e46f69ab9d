#pragma once
// The folder a path names its file in: "." for a bare name, "/" at the root.
// Header-only, so that the SDK library can use it too.
#include <string>

namespace platform {

inline std::string parentFolder(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace platform
