#include "core/first_start.h"

#include "core/app_config.h"
#include "core/error_text.h"
#include "core/frontend.h"
#include "core/path_text.h"
#include "platform/config_dir.h"
#include "platform/file_access.h"
#include "platform/profile.h"

namespace {

// The name "/W" chooses: a bare name, kept in Tolv's settings folder.
const char* const kOwnFolderIni = "tolv.ini";

QString q(const std::string& path) { return pathToQString(path); }

// Empty rings are made only where nothing is: rings the user put there
// before the first start are used as they are.
QString makeEmptyRings(const AppConfigValues& v)
{
    const bool pub = platform::createEmptyPrivateFile(v.PubRing);
    const bool sec = platform::createEmptyPrivateFile(v.SecRing);
    if (pub && sec)
        return "|They are empty: make or import your keys in the key list window.";
    return {};
}

}  // namespace

bool prepareFirstStart(const std::string& iniPath)
{
    if (iniPath != kOwnFolderIni)
        return false;
    const std::string file = platform::resolveProfilePath(iniPath);
    if (platform::pathExists(file))
        return false;
    const std::string folder = platform::windowsDirectory();
    AppConfigValues v = defaultSettings(iniPath);
    v.PubRing = folder + "/pubring.pgp";
    v.SecRing = folder + "/secring.pgp";
    writeSettingsFile(v);
    if (!platform::pathExists(file)) {
        frontend::notify({"SCAN_INI",
                          "Tolv could not write its settings file|" + q(file) + "|" + QString::fromStdString(ErrorText()),
                          frontend::Icon::Exclamation, frontend::Failure::None});
        return false;
    }
    frontend::notify({"Tolv",
                      "Your settings are in|    " + q(file) + "|Tolv keeps your public key ring at|    " + q(v.PubRing) +
                          "|and your secret key ring at|    " + q(v.SecRing) + makeEmptyRings(v),
                      frontend::Icon::Information, frontend::Failure::None});
    return true;
}
