#include "core/app_config.h"

#include <climits>

#include "platform/code_page.h"
#include "platform/config_dir.h"
#include "platform/profile.h"

namespace {
const char* const kSection = "PGP";

// Field widths count characters: a cut never splits a UTF-8 character.
std::string cut(const std::string& s, std::size_t chars) { return std::string(platform::cutUtf8Chars(s, chars)); }
}  // namespace

AppConfig& AppConfig::instance()
{
    static AppConfig config;
    return config;
}

AppConfigValues AppConfig::snapshot() const
{
    std::lock_guard lock(mutex_);
    return values_;
}

template <typename F> void AppConfig::update(F&& change)
{
    bool differs;
    {
        std::lock_guard lock(mutex_);
        AppConfigValues before = values_;
        change(values_);
        differs = !(before == values_);
    }
    if (differs)
        emit changed();
}

void AppConfig::assign(const AppConfigValues& v)
{
    update([&](AppConfigValues& c) { c = v; });
}
void AppConfig::setIniPath(const std::string& v)
{
    update([&](AppConfigValues& c) { c.IniPath = v; });  // never cut: it names the file
}
void AppConfig::setDLLName(const std::string& v)
{
    update([&](AppConfigValues& c) { c.DLLName = cut(v, kPathFieldChars); });
}
void AppConfig::setSecRing(const std::string& v)
{
    update([&](AppConfigValues& c) { c.SecRing = cut(v, kPathFieldChars); });
}
void AppConfig::setPubRing(const std::string& v)
{
    update([&](AppConfigValues& c) { c.PubRing = cut(v, kPathFieldChars); });
}
void AppConfig::setTimeOut(std::int32_t v)
{
    update([&](AppConfigValues& c) { c.TimeOut = v; });
}

std::int32_t parseTimeOut(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<std::int32_t>(value);
}

std::string chooseIniPath(const std::string& firstArgument)
{
    // Never cut: a cut path would name another file.
    const std::string& arg = firstArgument;
    if (arg.empty() || arg == "/D")
        return platform::currentDirectory() + "/tolv.ini";
    if (arg == "/W")
        return "tolv.ini";
    return arg;
}

AppConfigValues defaultSettings(const std::string& iniPath)
{
    AppConfigValues v;
    v.IniPath = iniPath;
    v.DLLName = "pgpsdk.dll";
    v.SecRing = "secring.pgp";
    v.PubRing = "pubring.pgp";
    v.TimeOut = 10000;
    return v;
}

AppConfigValues readSettingsFile(const std::string& iniPath)
{
    auto read = [&](const char* key, const char* fallback, std::size_t width) {
        std::string v = platform::readProfileString(kSection, key, fallback, iniPath);
        return cut(platform::oemToAnsiProfileText(v), width);
    };
    AppConfigValues v;
    v.IniPath = iniPath;
    v.DLLName = read("DLLName", "pgpsdk.dll", kPathFieldChars);
    v.SecRing = read("SecRing", "secring.pgp", kPathFieldChars);
    v.PubRing = read("pubRing", "pubring.pgp", kPathFieldChars);
    v.TimeOut = parseTimeOut(platform::readProfileString(kSection, "TimeOut", "10000", iniPath));
    v.Sign = read("Sign", "", kUserIdFieldChars);
    v.EncryptFor = read("EncryptFor", "", kUserIdFieldChars);
    return v;
}

void writeSettingsFile(const AppConfigValues& v)
{
    auto write = [&](const char* key, const std::string& value) {
        platform::writeProfileString(kSection, key, platform::ansiToOemProfileText(cut(value, kPathFieldChars)),
                                     v.IniPath);
    };
    write("DLLName", v.DLLName);
    write("SecRing", v.SecRing);
    write("PubRing", v.PubRing);
    write("TimeOut", std::to_string(v.TimeOut));
    write("Sign", v.Sign);
    write("EncryptFor", v.EncryptFor);
}
