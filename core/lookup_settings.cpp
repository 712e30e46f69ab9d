#include "core/lookup_settings.h"

#include "platform/profile.h"

namespace {
constexpr const char* kSection = "Tolv";
}  // namespace

LookupSettings readLookupSettings(const std::string& iniPath)
{
    LookupSettings s;
    if (iniPath.empty())
        return s;
    s.keyserver = QString::fromStdString(
        platform::readProfileString(kSection, "Keyserver", s.keyserver.toStdString(), iniPath));
    const std::string wkd = platform::readProfileString(kSection, "UseWKD", "true", iniPath);
    s.useWkd = !(wkd == "false" || wkd == "0" || wkd == "no");
    return s;
}

bool writeLookupSettings(const std::string& iniPath, const LookupSettings& s)
{
    return !iniPath.empty() &&
           platform::writeProfileString(kSection, "Keyserver", s.keyserver.trimmed().toStdString(), iniPath) &&
           platform::writeProfileString(kSection, "UseWKD", s.useWkd ? "true" : "false", iniPath);
}
