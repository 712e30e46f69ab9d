#include "core/lookup_settings.h"

#include <QSettings>

LookupSettings readLookupSettings(const std::string& iniPath)
{
    LookupSettings s;
    if (iniPath.empty())
        return s;
    QSettings file(QString::fromStdString(iniPath), QSettings::IniFormat);
    file.beginGroup("Tolv");
    s.keyserver = file.value("Keyserver", s.keyserver).toString();
    s.useWkd = file.value("UseWKD", s.useWkd).toBool();
    return s;
}
