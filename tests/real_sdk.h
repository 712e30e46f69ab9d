#pragma once
// The real SDK library on the fixture key rings, for tests of the binding
// and the windows: the prompt seam, the session and the cached passphrase
// start clean, and the library is unloaded at the end.
#include <string>

#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "core/app_config.h"
#include "core/shared_passphrase.h"
#include "sdk/sdk_session.h"
#include "tests/test_support.h"

inline std::string fixtureRing(const char* name) { return sourceDir() + "/tests/fixtures/" + name; }

class RealSdk {
public:
    explicit RealSdk(const ScratchDir& dir) : dir_(dir)
    {
        Prompts::resetTestState();
        sdk::resetSessionForTests();
        SharedPassphrase::instance().clear();
        useRings(fixtureRing("pubring.pgp"), fixtureRing("secring.pgp"));
    }
    ~RealSdk()
    {
        sdk::UnLoad_PGP();
        SharedPassphrase::instance().clear();
    }
    RealSdk(const RealSdk&) = delete;
    RealSdk& operator=(const RealSdk&) = delete;

    // The settings name these rings and library (the ini file stays as it is).
    void useRings(const std::string& pub, const std::string& sec, const std::string& dll = "pgpsdk.dll")
    {
        AppConfigValues v = readSettingsFile(dir_.file("tolv.ini"));
        v.DLLName = dll;
        v.PubRing = pub;
        v.SecRing = sec;
        AppConfig::instance().assign(v);
    }

private:
    const ScratchDir& dir_;
};
