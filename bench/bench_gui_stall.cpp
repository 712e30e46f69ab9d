// The longest time the GUI thread goes without handling events while the
// frame loads a large key ring through its toggle, while an encode window
// opens on it, and while that window encodes and decodes a large buffer.
// Usage: bench_gui_stall PUBRING SECRING [MiB]
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "core/app_config.h"
#include "app/main_frame.h"
#include "app/prompts.h"
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

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_gui_stall PUBRING SECRING [MiB]\n");
        return 2;
    }
    Prompts::setTestMode(true);
    Prompts::installAsFrontend();
    AppConfigValues v = readSettingsFile("/nonexistent/tolv.ini");
    v.PubRing = argv[1];
    v.SecRing = argv[2];
    AppConfig::instance().assign(v);
    const int mib = argc > 3 ? std::atoi(argv[3]) : 64;
    MainFrame frame;
    wireFrameCommands(frame);
    frame.show();
    auto* frameJobs = frame.findChild<JobRunner*>("frameJobs");

    frame.libraryMenuItem()->trigger();
    std::printf("frame loads the rings:   longest stall %4lld ms\n",
                longestStall([&] { return !frameJobs->busy(); }));
    sdk::UnLoad_PGP();

    frame.findChild<QAction*>("actionEncodePGP")->trigger();
    std::printf("encode window opens:     longest stall %4lld ms\n",
                longestStall([&] { return !frame.mdiArea()->subWindowList().isEmpty(); }));
    auto* enc = qobject_cast<EncodeWindow*>(frame.mdiArea()->subWindowList().back()->widget());
    const QString plain = QDir::temp().filePath("tolv-bench-stall.txt");
    const QString message = QDir::temp().filePath("tolv-bench-stall.asc");
    {
        QFile f(plain);
        f.open(QIODevice::WriteOnly);
        const QByteArray line(1023, 'x');
        for (int i = 0; i < mib * 1024; ++i)
            f.write(line + "\n");
    }
    Prompts::queueFileAnswer(plain);
    enc->findChild<QPushButton*>("loadButton")->click();
    std::printf("load %3d MiB of text:    longest stall %4lld ms\n", mib, longestStall([&] { return !enc->busy(); }));
    SharedPassphrase::instance().set("bob");
    enc->findChild<QComboBox*>("signer")->setCurrentText("Bob");
    enc->findChild<QComboBox*>("recipient")->setCurrentText("Alice");
    enc->findChild<QPushButton*>("encodeButton")->click();
    std::printf("encode it:               longest stall %4lld ms\n", longestStall([&] { return !enc->busy(); }));
    Prompts::queueFileAnswer(message);
    enc->findChild<QPushButton*>("saveButton")->click();
    longestStall([&] { return !enc->busy(); });

    frame.findChild<QAction*>("actionDecodePGP")->trigger();
    longestStall([&] { return frame.mdiArea()->subWindowList().size() > 1; });
    auto* dec = qobject_cast<DecodeWindow*>(frame.mdiArea()->subWindowList().back()->widget());
    Prompts::queueFileAnswer(message);
    dec->findChild<QPushButton*>("loadButton")->click();
    longestStall([&] { return !dec->busy(); });
    SharedPassphrase::instance().set("alice");
    dec->findChild<QPushButton*>("decodeButton")->click();
    std::printf("decode it:               longest stall %4lld ms\n", longestStall([&] { return !dec->busy(); }));
    QFile::remove(plain);
    QFile::remove(message);
    return dec->output().isNull() ? 1 : 0;
}
