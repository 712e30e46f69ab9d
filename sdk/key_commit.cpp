#include "sdk/key_commit.h"

#include "core/app_config.h"
#include "core/frontend.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"
#include "sdk/sdk_session.h"

namespace sdk {

namespace {

// Names the rings a writer could not lock, and says that nothing changed.
void reportLockedRings(const char* caption, PGPError e)
{
    const auto config = AppConfig::instance().snapshot();
    frontend::notify({caption,
                      "PGPCommitKeyRingChanges " + QString::number(e) + "|" + QString::fromStdString(PGP_ErrorText(e)) +
                          ringsBusy(config.PubRing, config.SecRing, true),
                      frontend::Icon::Stop, frontend::Failure::Sdk, e});
}

}  // namespace

// Writes the change to the ring files; a failed write undoes the change.
// When the files cannot be read again (or another program keeps them
// locked, so that reading them would wait as long again), the rings are
// closed instead, so that the change that was not written can never be
// written later by mistake; they open again when next needed.
bool commitKeyChange(SdkUse& use, const char* caption)
{
    if (PGPError e = call::PGPCommitKeyRingChanges(use.keySet())) {
        if (e == kPGPError_KeyRingLocked || call::PGPRevertKeyRingChanges(use.keySet()) != kPGPError_NoErr)
            PGP_UnloadKeys();
        if (e == kPGPError_KeyRingLocked)
            return reportLockedRings(caption, e), false;
        return reportSdkFailure(caption, "PGPCommitKeyRingChanges ", e), false;
    }
    frontend::current().keysChanged();
    return true;
}

// A change that failed halfway is undone in memory.
bool undoKeyChange(SdkUse& use, const char* caption, const char* label, PGPError e)
{
    call::PGPRevertKeyRingChanges(use.keySet());
    reportSdkFailure(caption, label, e);
    return false;
}

}  // namespace sdk
