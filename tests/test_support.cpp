#include "tests/test_support.h"

#include <random>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <sys/wait.h>

#include <cstdio>

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

int runShell(const std::string& command, std::string* out)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

GpgHome::GpgHome(const std::string& folder, bool withFixtureKeys) : home(folder)
{
    const std::string fx = sourceDir() + "/tests/fixtures/";
    runShell("mkdir -m 700 -p '" + home + "' && printf 'allow-loopback-pinentry\\nallow-preset-passphrase\\n' > '" + home +
             "/gpg-agent.conf'");
    if (!withFixtureKeys)
        return;
    gpg("--import '" + fx + "pubring.pgp' '" + fx + "secring.pgp' '" + fx + "olga-secret.pgp'");
    for (const char* who : {"alice", "olga"}) {
        std::string grips;
        gpg(std::string("--with-colons --with-keygrip -K ") + who + "@example.org", &grips);
        std::istringstream lines(grips);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("grp:", 0) == 0)
                runShell("GNUPGHOME='" + home + "' /usr/lib/gnupg/gpg-preset-passphrase --preset -P " + who + " " +
                         line.substr(line.find_last_of(':', line.size() - 2) + 1, 40));
    }
}

GpgHome::~GpgHome() { runShell("gpgconf --homedir '" + home + "' --kill all 2>/dev/null"); }

int GpgHome::gpg(const std::string& args, std::string* out) const
{
    return runShell("gpg --homedir '" + home + "' --batch --yes --no-tty --quiet --trust-model always " +
                        "--pinentry-mode loopback " + args + " 2>/dev/null",
                    out);
}

namespace {

// Walks a key ring's packets (old and new header formats; no partial lengths
// in key rings), calling visit(tag, start, body, end) for each.
template <typename Visit> void forEachPacket(const std::string& ring, Visit visit)
{
    std::size_t pos = 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(ring[i]); };
    while (pos < ring.size()) {
        std::size_t body = 0, len = 0;
        int tag = 0;
        if (byte(pos) & 0x40) {
            tag = byte(pos) & 0x3f;
            const unsigned l0 = byte(pos + 1);
            if (l0 < 192)
                len = l0, body = pos + 2;
            else if (l0 < 224)
                len = ((l0 - 192) << 8) + byte(pos + 2) + 192, body = pos + 3;
            else
                len = (std::size_t {byte(pos + 2)} << 24) | (byte(pos + 3) << 16) | (byte(pos + 4) << 8) | byte(pos + 5),
                body = pos + 6;
        } else {
            tag = (byte(pos) >> 2) & 0x0f;
            const int n = 1 << (byte(pos) & 3);
            for (int i = 0; i < n; ++i)
                len = (len << 8) | byte(pos + 1 + static_cast<std::size_t>(i));
            body = pos + 1 + static_cast<std::size_t>(n);
        }
        visit(tag, pos, body, body + len);
        pos = body + len;
    }
}

}  // namespace

std::string randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

std::string withoutKeyRevocations(const std::string& ring)
{
    std::string out;
    forEachPacket(ring, [&](int tag, std::size_t start, std::size_t body, std::size_t end) {
        const bool keyRevocation = tag == 2 && ring[body] == 4 && ring[body + 1] == 0x20;
        if (!keyRevocation)
            out += ring.substr(start, end - start);
    });
    return out;
}

std::string withDamagedKey(const std::string& ring, int index)
{
    std::string out = ring;
    int keys = 0;
    forEachPacket(ring, [&](int tag, std::size_t, std::size_t body, std::size_t) {
        if ((tag == 5 || tag == 6) && keys++ == index)
            out[body] = 9;  // a key version nobody knows
    });
    return out;
}

std::string withChangedCertifications(const std::string& ring)
{
    std::string out = ring;
    int signaturesSinceUserId = -1;
    forEachPacket(ring, [&](int tag, std::size_t, std::size_t, std::size_t end) {
        if (tag == 13)
            signaturesSinceUserId = 0;
        else if (tag != 2)
            signaturesSinceUserId = -1;
        else if (signaturesSinceUserId >= 0 && signaturesSinceUserId++ > 0)
            out[end - 1] = static_cast<char>(out[end - 1] ^ 0x01);
    });
    return out;
}

void saveScreenshot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("TOLV_SCREENSHOT_DIR");
    if (!folder.isEmpty() && widget)
        widget->grab().save(folder + "/" + name + ".png");
}
