// Several encode and decode jobs at once on worker threads while the
// frame toggles the key rings and tries to unload the SDK: no crash, no
// data race, unloading refused while a job runs, and every job either
// succeeds or reports a clear error.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>

#include <atomic>
#include <set>
#include <thread>

#include "core/app_config.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "core/shared_passphrase.h"
#include "sdk/decode_buffer.h"
#include "sdk/encode_buffer.h"
#include "sdk/sdk_session.h"
#include "tests/frame_toggle.h"
#include "tests/real_sdk.h"
#include "tests/test_support.h"
#include "windows/frame_commands.h"

TEST(Concurrency, JobsWhileTheFrameTogglesKeysAndLibrary)
{
    ScratchDir dir;
    RealSdk session(dir);
    MainFrame frame;
    wireFrameCommands(frame);
    ASSERT_EQ(sdk::PGP_LoadRings(), 0);
    SharedPassphrase::instance().set("alice");

    constexpr int kThreads = 4;
    constexpr int kRounds = 6;
    std::atomic<int> succeeded{0}, failed{0}, wrong{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                const std::string text = "job " + std::to_string(t) + " round " + std::to_string(r) + std::string(20000, 'z');
                sdk::SdkBlock encoded;
                if (!sdk::Encode_PGPBuff(text.data(), text.size(), encoded, r % 2 == 0, SharedPassphrase::instance(),
                                         "alice@", "alice@", nullptr)) {
                    ++failed;
                    continue;
                }
                sdk::SdkBlock decoded;
                const sdk::DecodeResult result =
                    sdk::Decode_PGPBuff(encoded.data(), encoded.size(), decoded, SharedPassphrase::instance());
                if (!result.decoded()) {
                    ++failed;
                    continue;
                }
                if (std::string(decoded.data(), decoded.size()) == text && result.tone == sdk::VerdictTone::Good)
                    ++succeeded;
                else
                    ++wrong;
            }
        });
    }
    // The frame meanwhile: keys off and on, and attempts to unload the library.
    int refusals = 0;
    while (succeeded + failed + wrong < kThreads * kRounds) {
        toggle(frame, frame.keyRingMenuItem());
        QCoreApplication::processEvents();
        if (sdk::sessionSnapshot().UseCount > 0) {
            if (sdk::UnLoad_PGP() == -1)
                ++refusals;
        } else if (!sdk::sessionSnapshot().LibraryLoaded) {
            sdk::PGP_LoadRings();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(succeeded + failed, kThreads * kRounds);
    EXPECT_GT(succeeded.load(), 0);
    // Every failure was told in words the user can act on.
    const std::set<QString> allowed = {"PGP_LoadKeys", "UnLoad_PGP", "PGP_LoadRings"};
    for (const auto& m : Prompts::shownMessages()) {
        EXPECT_TRUE(allowed.count(m.caption)) << m.caption.toStdString() << ": " << m.text.toStdString();
        if (m.caption == "UnLoad_PGP") {
            EXPECT_TRUE(m.text.contains("|In use: "));
        }
    }
    int unloadMessages = 0;
    for (const auto& m : Prompts::shownMessages())
        unloadMessages += m.caption == "UnLoad_PGP";
    EXPECT_EQ(unloadMessages, refusals);
    sdk::UnLoad_PGP();
    SharedPassphrase::instance().clear();
}
