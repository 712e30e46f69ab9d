#include "core/ini_scan.h"

#include "core/app_config.h"
#include "core/error_text.h"
#include "core/frontend.h"
#include "core/path_text.h"
#include "platform/file_access.h"
#include "platform/last_error.h"
#include "platform/profile.h"

std::string iniPathForScan(ScanIniMode mode, const char* firstArgument)
{
    AppConfig& config = AppConfig::instance();
    const std::string iniPath =
        mode == ScanIniMode::Read ? chooseIniPath(firstArgument ? firstArgument : "") : config.snapshot().IniPath;
    // A path the system refuses is said so plainly; defaults are used and
    // nothing is written, never a file at a shortened name.
    if (!platform::pathTooLong(platform::resolveProfilePath(iniPath)))
        return iniPath;
    frontend::notify({"SCAN_INI",
                      "The settings file's name is too long:|" + pathToQString(iniPath) + "|" +
                          QString::fromStdString(errorTextForCode(platform::win::FilenameTooLong)),
                      frontend::Icon::Stop, frontend::Failure::Io});
    if (mode == ScanIniMode::Read)
        config.assign(defaultSettings(iniPath));
    return {};
}

void scanIniFile(ScanIniMode mode, const std::string& iniPath)
{
    AppConfig& config = AppConfig::instance();
    if (mode == ScanIniMode::Read)
        config.assign(readSettingsFile(iniPath));
    else
        writeSettingsFile(config.snapshot());
}
