#pragma once
#include <QObject>

#include <cstdint>
#include <mutex>
#include <string>

// The program's settings. One process-wide record, shared by the frame, the
// settings windows and the SDK code on worker threads, so every access goes
// through the lock; readers take a copy.
struct AppConfigValues {
    std::string IniPath;
    std::string DLLName;
    std::string SecRing;
    std::string PubRing;
    std::int32_t TimeOut = 0;
    std::string Sign;
    std::string EncryptFor;

    bool operator==(const AppConfigValues&) const = default;
};

// Field widths, in characters: a field of n bytes held n - 1 characters.
constexpr std::size_t kPathFieldChars = 254;
constexpr std::size_t kUserIdFieldChars = 80;
constexpr std::size_t kPathEntryChars = 250;

class AppConfig : public QObject {
    Q_OBJECT
public:
    static AppConfig& instance();

    AppConfigValues snapshot() const;
    void assign(const AppConfigValues& values);

    void setIniPath(const std::string& v);
    void setDLLName(const std::string& v);
    void setSecRing(const std::string& v);
    void setPubRing(const std::string& v);
    void setTimeOut(std::int32_t v);

signals:
    // Emitted (on the thread that made the change) after any field changed.
    void changed();

private:
    AppConfig() = default;
    template <typename F> void update(F&& change);

    mutable std::mutex mutex_;
    AppConfigValues values_;
};

// Reading and writing the settings file. Values are cut to their field's width.
AppConfigValues readSettingsFile(const std::string& iniPath);
// The settings of a missing ini file.
AppConfigValues defaultSettings(const std::string& iniPath);
void writeSettingsFile(const AppConfigValues& values);

// The ini file chosen from the program's first argument: empty or "/D" is
// tolv.ini in the current folder, "/W" is tolv.ini in the Windows directory,
// anything else names the file itself, whole.
std::string chooseIniPath(const std::string& firstArgument);

// Decimal text to a whole number as the settings have always read it: leading
// blanks skipped, an optional "-", then the digits up to the first other
// character; no digits gives 0. Values beyond 32 bits saturate.
std::int32_t parseTimeOut(const std::string& text);
