#pragma once
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <string>

// A private folder for one test that also stands in for the Windows
// directory (XDG_CONFIG_HOME), removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string path() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }
    std::string configDir() const { return path() + "/config/tolv"; }

private:
    QTemporaryDir dir_;
    QByteArray oldXdg_;
};

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);

// Runs the event loop until pred holds or the timeout (ms) passes.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 10000);

// Source and build folders, from the test's environment.
std::string sourceDir();
std::string binDir();
