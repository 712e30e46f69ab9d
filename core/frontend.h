#pragma once
// What the core and the SDK binding need from the program's front end (the
// windows, or the command line): showing a notice, choosing a file, asking
// for a passphrase, and hearing that the SDK or the key rings came or went.
// The core and the binding know no widgets; each front end installs its own.
#include <QString>
#include <QStringList>

#include <optional>

class PassphraseBuffer;

namespace frontend {

enum class Icon { Stop, Exclamation, Information };

// What a notice reports, for front ends that act on it (exit codes).
enum class Failure {
    None,       // a warning: the operation went on
    Io,         // files, key rings, the SDK library
    KeyChoice,  // no key, or more than one, matched a user ID text
    Sdk,        // an SDK call failed with sdkCode
    Other,
};

struct Notice {
    QString caption;  // the reporting operation
    QString text;     // "|" starts a new line
    Icon icon = Icon::Stop;
    Failure failure = Failure::Other;
    int sdkCode = 0;  // with Failure::Sdk
};

enum class FileMode { Open, Save, OpenMany, Folder };  // OpenMany: names one per line

struct FileRequest {
    QString title;
    QString directory;
    QString fileName;
    QStringList filters;  // Qt filter strings, first one selected
    FileMode mode;
};

// Asking again for a passphrase that did not unlock the key a run needs.
struct PassphraseRequest {
    QString keyName;   // user ID and key ID; empty when not known (a password)
    int attempt = 1;   // which ask again this is, from 1
    int attempts = 1;  // how many there will be at most
};

class Frontend {
public:
    virtual ~Frontend() = default;
    virtual void show(const Notice& notice) = 0;
    // The chosen path, or nothing when cancelled.
    virtual std::optional<QString> chooseFile(const FileRequest& request) = 0;
    // Fills buffer with the user's passphrase; false when none was given.
    virtual bool askPassphrase(PassphraseBuffer& buffer) = 0;
    // Whether a wrong passphrase may be asked for again (a user is there).
    virtual bool asksAgain() const { return false; }
    // Fills buffer with the passphrase of the key the request names; false
    // when the user refused.
    virtual bool askPassphraseAgain(PassphraseBuffer& /*buffer*/, const PassphraseRequest& /*request*/) { return false; }
    virtual void libraryLoadedChanged(bool /*loaded*/) {}
    virtual void keysLoadedChanged(bool /*loaded*/) {}
    // Keys were added, removed or changed in the open rings: every list of
    // keys shown should be read again.
    virtual void keysChanged() {}
};

// The front end in use (not owned). Until one is installed, notices go to
// standard error and every prompt counts as cancelled.
void install(Frontend* frontend);
Frontend& current();

inline void notify(Notice notice) { current().show(notice); }

}  // namespace frontend
