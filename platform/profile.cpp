#include "platform/profile.h"

#include <cctype>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/config_dir.h"
#include "platform/file_access.h"
#include "platform/last_error.h"

namespace platform {

namespace {

std::string trim(const std::string& s)
{
    const char* ws = " \t\r\n";
    auto b = s.find_first_not_of(ws);
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

bool equalsIgnoreCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x < 128 && y < 128) {
            if (std::tolower(x) != std::tolower(y))
                return false;
        } else if (x != y) {
            return false;
        }
    }
    return true;
}

std::string limitName(const std::string& s)
{
    return s.substr(0, kProfileMaxNameLength);
}

// A section header "[name]" gives its trimmed name; other lines give nothing.
bool sectionName(const std::string& line, std::string& name)
{
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    auto close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = trim(t.substr(1, close - 1));
    return true;
}

// A "key=value" line gives its trimmed key and value; comments give nothing.
bool keyValue(const std::string& line, std::string& key, std::string& value)
{
    std::string t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return false;
    auto eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    return true;
}

std::vector<std::string> readLines(const std::string& path, bool& exists)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    exists = in.is_open();
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::string resolveProfilePath(const std::string& fileName)
{
    const std::string& name = fileName;  // never cut: a cut name is another file
    if (name.empty())
        return windowsDirectory() + "/win.ini";
    if (name.find('/') == std::string::npos)
        return windowsDirectory() + "/" + name;
    return name;
}

std::string readProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& fileName)
{
    const std::string wantSection = limitName(section);
    const std::string wantKey = limitName(key);
    bool exists = false;
    const auto lines = readLines(resolveProfilePath(fileName), exists);
    bool inSection = false;
    for (const auto& line : lines) {
        std::string name;
        if (sectionName(line, name)) {
            inSection = equalsIgnoreCase(name, wantSection);
            continue;
        }
        std::string k, v;
        if (inSection && keyValue(line, k, v) && equalsIgnoreCase(k, wantKey))
            return v.substr(0, kProfileMaxValueLength);
    }
    return fallback.substr(0, kProfileMaxValueLength);
}

bool writeProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& fileName)
{
    const std::string wantSection = limitName(section);
    const std::string wantKey = limitName(key);
    std::string cleanValue = value.substr(0, kProfileMaxValueLength);
    // A value is one line: a line break would start a new key.
    for (char& c : cleanValue)
        if (c == '\n' || c == '\r')
            c = ' ';

    const std::string path = resolveProfilePath(fileName);
    if (fileName.find('/') == std::string::npos && !ensureDirectory(windowsDirectory()))
        return false;

    bool exists = false;
    auto lines = readLines(path, exists);
    const std::string newLine = wantKey + "=" + cleanValue;

    bool inSection = false;
    bool sectionFound = false;
    std::size_t lastLineOfSection = 0;
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name;
        if (sectionName(lines[i], name)) {
            if (inSection)
                break;  // end of our section without the key
            inSection = equalsIgnoreCase(name, wantSection);
            if (inSection) {
                sectionFound = true;
                lastLineOfSection = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        std::string k, v;
        if (keyValue(lines[i], k, v) && equalsIgnoreCase(k, wantKey)) {
            lines[i] = newLine;
            done = true;
        } else if (!trim(lines[i]).empty()) {
            lastLineOfSection = i;
        }
    }
    if (!done) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastLineOfSection) + 1, newLine);
        } else {
            lines.push_back("[" + wantSection + "]");
            lines.push_back(newLine);
        }
    }

    std::string text;
    for (const auto& l : lines) {
        text += l;
        text += '\n';
    }
    return writeFileAtomically(path, text.data(), text.size());
}

}  // namespace platform
