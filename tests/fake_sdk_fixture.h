#pragma once
// A test fixture that runs the binding against the fake SDK library.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/app_config.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "core/shared_passphrase.h"
#include "sdk/sdk_session.h"
#include "tests/test_support.h"
#include "windows/frame_commands.h"

inline std::string libraryPath(const std::string& name) { return binDir() + "/lib" + name + ".so"; }

class FakeSdkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::resetTestState();
        sdk::resetSessionForTests();
        SharedPassphrase::instance().clear();
        AppConfigValues v = readSettingsFile(dir.file("tolv.ini"));
        v.DLLName = libraryPath("fakepgpsdk");
        v.PubRing = dir.file("pub.pgp");
        v.SecRing = dir.file("sec.pgp");
        AppConfig::instance().assign(v);
        frame = std::make_unique<MainFrame>();
        wireFrameCommands(*frame);
        logPath = dir.file("calls.log");
        setenv("FAKE_PGPSDK_LOG", logPath.c_str(), 1);
    }
    void TearDown() override
    {
        sdk::UnLoad_PGP();
        unsetenv("FAKE_PGPSDK_LOG");
        SharedPassphrase::instance().clear();
    }
    void setDll(const std::string& name)
    {
        AppConfigValues v = AppConfig::instance().snapshot();
        v.DLLName = name;
        AppConfig::instance().assign(v);
    }
    template <typename F> F control(const char* name)
    {
        return reinterpret_cast<F>(dlsym(sdk::sessionSnapshot().LibraryHandle, name));
    }
    void fail(const char* call, PGPError code) { control<void (*)(const char*, PGPError)>("fakeSdkFail")(call, code); }
    void failAfter(const char* call, int skip, PGPError code)
    {
        control<void (*)(const char*, int, PGPError)>("fakeSdkFailAfter")(call, skip, code);
    }
    void setKeyCount(unsigned n) { control<void (*)(unsigned)>("fakeSdkSetKeyCount")(n); }
    int liveObjects() { return control<int (*)()>("fakeSdkLiveObjects")(); }
    std::string problems()
    {
        char* p = control<char* (*)()>("fakeSdkProblems")();
        std::string s = p;
        std::free(p);
        return s;
    }
    std::vector<std::string> calls()
    {
        std::vector<std::string> out;
        std::string text = readWholeFile(logPath);
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t nl = text.find('\n', at);
            out.push_back(text.substr(at, nl - at));
            at = nl + 1;
        }
        return out;
    }
    void clearCalls() { writeWholeFile(logPath, ""); }
    std::vector<Prompts::ShownMessage> messages() { return Prompts::shownMessages(); }

    ScratchDir dir;
    std::unique_ptr<MainFrame> frame;
    std::string logPath;
};
