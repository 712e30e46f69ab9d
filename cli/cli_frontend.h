#pragma once
// The command line as the front end of the core and the SDK binding:
// notices are printed on standard error as "caption: text", the file a save
// asks for is the one the command named, and a passphrase that was not given
// beforehand counts as refused, or as empty where the work may need none
// (decoding: a signed message is verified without one). The last failure
// reported gives the exit code.
#include <optional>

#include "core/frontend.h"

class CliFrontend : public frontend::Frontend {
public:
    void show(const frontend::Notice& notice) override;
    std::optional<QString> chooseFile(const frontend::FileRequest& request) override;
    bool askPassphrase(PassphraseBuffer& buffer) override;

    // A missing passphrase counts as empty, not as refused.
    void goOnWithoutPassphrase() { withoutPassphrase_ = true; }
    // The answer to the next file request.
    void setNextFile(const QString& path) { nextFile_ = path; }
    const std::optional<frontend::Notice>& lastFailure() const { return lastFailure_; }
    int failureCount() const { return failures_; }
    int passphraseRequests() const { return passphraseRequests_; }

private:
    std::optional<QString> nextFile_;
    std::optional<frontend::Notice> lastFailure_;
    int failures_ = 0;
    int passphraseRequests_ = 0;
    bool withoutPassphrase_ = false;
};

// The one front end of this run.
CliFrontend& cliFrontend();
