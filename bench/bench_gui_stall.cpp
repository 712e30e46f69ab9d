// The longest time the GUI thread goes without handling events while the
// frame loads a large key ring through its toggle, while an encode window
// opens on it, and while that window encodes and decodes a large buffer;
// and the process's peak memory during each step.
// Usage: bench_gui_stall PUBRING SECRING [MiB] [text|random]
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>

#include "core/app_config.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "core/shared_passphrase.h"
#include "sdk/sdk_session.h"
#include "windows/buffer_view.h"
#include "windows/decode_window.h"
#include "windows/encode_window.h"
#include "windows/frame_commands.h"
#include "windows/job_runner.h"

namespace {

// Runs the event loop until done() holds; returns the longest gap between
// two ticks of a 5 ms timer meanwhile, in milliseconds.
qint64 longestStall(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start(5);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // What ran when the job ended (showing its result) counts too.
    const qint64 end = clock.elapsed();
    while (clock.elapsed() < end + 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return worst;
}

// Starts a new peak of the process's resident memory.
void resetPeakMemory()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// A figure of the process's memory (VmHWM: the peak since the last reset;
// VmRSS: now), in MiB.
long memoryMiB(const QByteArray& field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').front().toLong() / 1024;
    return -1;
}

void writeInput(const QString& path, int mib, bool random)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QFile source("/dev/urandom");
    source.open(QIODevice::ReadOnly);
    const QByteArray line = QByteArray(1023, 'x') + "\n";
    for (int i = 0; i < mib * 1024; ++i)
        f.write(random ? source.read(1024) : line);
}

// One step's longest stall and the peak memory meanwhile.
void report(const char* what, const std::function<bool()>& done)
{
    resetPeakMemory();
    const long before = memoryMiB("VmRSS:");
    const qint64 stall = longestStall(done);
    std::printf("%-24s longest stall %4lld ms, memory %5ld MiB before, peak %5ld MiB\n", what, stall, before,
                memoryMiB("VmHWM:"));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_gui_stall PUBRING SECRING [MiB] [text|random]\n");
        return 2;
    }
    Prompts::setTestMode(true);
    Prompts::installAsFrontend();
    AppConfigValues v = readSettingsFile("/nonexistent/tolv.ini");
    v.PubRing = argv[1];
    v.SecRing = argv[2];
    AppConfig::instance().assign(v);
    const int mib = argc > 3 ? std::atoi(argv[3]) : 64;
    const bool random = argc > 4 && std::strcmp(argv[4], "random") == 0;
    MainFrame frame;
    wireFrameCommands(frame);
    frame.show();
    auto* frameJobs = frame.findChild<JobRunner*>("frameJobs");

    frame.libraryMenuItem()->trigger();
    report("frame loads the rings:", [&] { return !frameJobs->busy(); });
    sdk::UnLoad_PGP();

    frame.findChild<QAction*>("actionEncodePGP")->trigger();
    report("encode window opens:", [&] { return !frame.mdiArea()->subWindowList().isEmpty(); });
    auto* enc = qobject_cast<EncodeWindow*>(frame.mdiArea()->subWindowList().back()->widget());
    const QString plain = QDir::temp().filePath("tolv-bench-stall.txt");
    const QString message = QDir::temp().filePath("tolv-bench-stall.asc");
    writeInput(plain, mib, random);
    Prompts::queueFileAnswer(plain);
    enc->findChild<QPushButton*>("loadButton")->click();
    const QByteArray loading = QString("load %1 MiB of %2:").arg(mib).arg(random ? "data" : "text").toUtf8();
    report(loading.constData(), [&] { return !enc->busy(); });
    SharedPassphrase::instance().set("bob");
    enc->findChild<QComboBox*>("signer")->setCurrentText("Bob");
    enc->findChild<QComboBox*>("recipient")->setCurrentText("Alice");
    if (random)
        enc->findChild<QCheckBox*>("asciiOutput")->setChecked(false);  // data is sent binary
    enc->findChild<QPushButton*>("encodeButton")->click();
    report("encode it:", [&] { return !enc->busy(); });
    Prompts::queueFileAnswer(message);
    enc->findChild<QPushButton*>("saveButton")->click();
    longestStall([&] { return !enc->busy(); });
    // The encode window goes, so that the decode window's memory is its own.
    frame.mdiArea()->closeAllSubWindows();
    longestStall([&] { return frame.mdiArea()->subWindowList().isEmpty(); });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // no event loop runs here

    frame.findChild<QAction*>("actionDecodePGP")->trigger();
    longestStall([&] { return !frame.mdiArea()->subWindowList().isEmpty(); });
    auto* dec = qobject_cast<DecodeWindow*>(frame.mdiArea()->subWindowList().back()->widget());
    Prompts::queueFileAnswer(message);
    dec->findChild<QPushButton*>("loadButton")->click();
    longestStall([&] { return !dec->busy(); });
    SharedPassphrase::instance().set("alice");
    dec->findChild<QPushButton*>("decodeButton")->click();
    report("decode it:", [&] { return !dec->busy(); });
    QFile::remove(plain);
    QFile::remove(message);
    return dec->output().isNull() ? 1 : 0;
}
