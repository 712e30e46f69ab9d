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

// n bytes from a fixed pseudo-random sequence per seed.
std::string randomBytes(std::size_t n, unsigned seed = 1);

// Runs a shell command; returns its exit status, with its standard output in out.
int runShell(const std::string& command, std::string* out = nullptr);

// A GnuPG home in folder with the fixture rings and Olga (who is not in
// them). Alice's and Olga's passphrases are preset, so that one command can
// sign with both.
class GpgHome {
public:
    explicit GpgHome(const std::string& folder, bool withFixtureKeys = true);
    ~GpgHome();
    GpgHome(const GpgHome&) = delete;
    GpgHome& operator=(const GpgHome&) = delete;
    // gpg with loopback passphrases and every key trusted; quiet.
    int gpg(const std::string& args, std::string* out = nullptr) const;
    const std::string home;
};

// The key ring's packets without its key revocation signatures (type 0x20).
std::string withoutKeyRevocations(const std::string& ring);
// The ring with its index-th primary key (from 0) made unreadable.
std::string withDamagedKey(const std::string& ring, int index);
// The ring with the last byte changed of each signature that follows
// another after a user ID: the certifications by other keys, in rings
// where the self-certification comes first.
std::string withChangedCertifications(const std::string& ring);

class QWidget;
// Saves a picture of the widget as NAME.png in $TOLV_SCREENSHOT_DIR, when
// that is set: for looking at the windows a test drives.
void saveScreenshot(QWidget* widget, const QString& name);
