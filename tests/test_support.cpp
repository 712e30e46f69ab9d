#include "tests/test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fstream>
#include <sstream>

ScratchDir::ScratchDir()
{
    oldXdg_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toUtf8());
}

ScratchDir::~ScratchDir()
{
    if (oldXdg_.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldXdg_);
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

std::string sourceDir() { return qEnvironmentVariable("TOLV_SOURCE_DIR").toStdString(); }
std::string binDir() { return qEnvironmentVariable("TOLV_BIN_DIR").toStdString(); }
