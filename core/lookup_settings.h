#pragma once
// Where keys are looked up: the keyserver and whether the Web Key Directory
// is asked, kept in Tolv's own [Tolv] section of the settings file, beside
// the [PGP] keys.
#include <QString>

#include <string>

struct LookupSettings {
    QString keyserver = "hkps://keys.openpgp.org";
    bool useWkd = true;
};

// The settings of the file at iniPath; the defaults for what it lacks.
LookupSettings readLookupSettings(const std::string& iniPath);
// Writes them into the file's [Tolv] section, keeping everything else in it.
bool writeLookupSettings(const std::string& iniPath, const LookupSettings& settings);
