#include "sdk/sdk_session.h"
#include "sdk/sdk_extensions.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <condition_variable>

#include "core/app_config.h"
#include "core/error_text.h"
#include "core/path_text.h"
#include "core/frontend.h"
#include "platform/config_dir.h"
#include "sdk/sdk_entry_table.h"

namespace sdk {

namespace {

std::recursive_mutex sessionMutex;
SdkSessionState session;
// Never destroyed: the library is not unloaded at exit, whatever still runs.
std::shared_ptr<LibraryLease>& lease = *new std::shared_ptr<LibraryLease>;
std::vector<PGPKeySetRef> retiredKeySets;  // unloaded while in use; freed when idle
// A ring load runs without the lock; others wait for it to settle.
bool keysLoading = false;
std::condition_variable_any settled;
// Tolv's own extension of the library, resolved beside the table when present.
using SkippedKeysFn = PGPError (*)(PGPKeySetRef, PGPUInt32*, PGPUInt32*);
std::atomic<SkippedKeysFn> skippedKeysEntry {nullptr};
using ImportCountsFn = PGPError (*)(PGPKeySetRef, PGPUInt32*, PGPUInt32*, PGPUInt32*);
std::atomic<ImportCountsFn> importCountsEntry {nullptr};
using SyncKeyRingFn = PGPError (*)(PGPKeySetRef, PGPBoolean*);
std::atomic<SyncKeyRingFn> syncKeyRingEntry {nullptr};
using LeftOutFn = PGPError (*)(PGPKeySetRef, PGPUInt32, char*, PGPSize);
std::atomic<LeftOutFn> leftOutEntry {nullptr};
using StopFlagFn = PGPOptionListRef (*)(PGPContextRef, const PGPUInt32*);
std::atomic<StopFlagFn> stopFlagEntry {nullptr};

thread_local int lockDepth = 0;
thread_local std::vector<frontend::Notice> pending;

// The session lock. Messages reported while it is held wait until the
// outermost holder lets go.
class SessionLock {
public:
    SessionLock() : lock_(sessionMutex) { ++lockDepth; }
    ~SessionLock()
    {
        --lockDepth;
        lock_.unlock();
        if (lockDepth == 0 && !pending.empty()) {
            auto messages = std::move(pending);
            pending.clear();
            for (const auto& notice : messages)
                frontend::notify(notice);
        }
    }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    // Waits, with the lock let go meanwhile, until busy() no longer holds.
    // Only the outermost holder can let go: a nested one never waits.
    template <typename Pred> void waitWhile(Pred busy)
    {
        if (lockDepth == 1)
            settled.wait(lock_, [&] { return !busy(); });
    }

private:
    std::unique_lock<std::recursive_mutex> lock_;
};

// Session failures are about the library or the rings: I/O failures.
void report(const QString& caption, const QString& text, frontend::Icon icon = frontend::Icon::Stop,
            frontend::Failure failure = frontend::Failure::Io)
{
    frontend::Notice notice {caption, text, icon, failure};
    if (lockDepth > 0)
        pending.push_back(notice);
    else
        frontend::notify(notice);
}

QString q(const std::string& s) { return QString::fromStdString(s); }

QString sdkFailure(const char* label, PGPError code)
{
    return QString(label) + QString::number(code) + "|" + q(PGP_ErrorText(code));
}

void announceLibrary(bool loaded) { frontend::current().libraryLoadedChanged(loaded); }
void announceKeys(bool loaded) { frontend::current().keysLoadedChanged(loaded); }

// The platform's own name for a ".dll" name: lib + stem + .so.
std::string sharedObjectName(const std::string& dllName)
{
    std::string base = dllName;
    auto slash = base.find_last_of("/\\");
    if (slash != std::string::npos)
        base = base.substr(slash + 1);
    return "lib" + base.substr(0, base.size() - 4) + ".so";
}

bool endsWithDll(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".dll";
}

platform::LibraryHandle openLibrary(const std::string& dllName, std::string& firstError)
{
    platform::LibraryHandle h = platform::loadLibrary(dllName);
    if (h)
        return h;
    firstError = ErrorText();
    if (!endsWithDll(dllName))
        return nullptr;
    const std::string soName = sharedObjectName(dllName);
    const std::string besideExe = platform::executableDirectory();
    if (!besideExe.empty() && (h = platform::loadLibrary(besideExe + "/" + soName)))
        return h;
    return platform::loadLibrary(soName);
}

void freeRetiredKeySets()
{
    for (PGPKeySetRef set : retiredKeySets)
        call::PGPFreeKeySet(set);
    retiredKeySets.clear();
}

}  // namespace

LibraryLease::~LibraryLease() { platform::freeLibrary(handle_); }

std::shared_ptr<LibraryLease> currentLibraryLease()
{
    SessionLock lock;
    return lease;
}

SdkSessionState sessionSnapshot()
{
    SessionLock lock;
    return session;
}

std::int32_t Load_PGP()
{
    SessionLock lock;
    if (session.LibraryLoaded)
        return 0;
    const std::string dllName = AppConfig::instance().snapshot().DLLName;
    std::string firstError;
    platform::LibraryHandle handle = openLibrary(dllName, firstError);
    if (!handle) {
        report("Load_PGP", "PGP dll: " + q(dllName) + " not loaded|Reason: " + q(firstError));
        return -2;
    }
    session.LibraryHandle = handle;
    for (std::size_t i = 0; i < kEntryCount; ++i) {
        const std::string name(SdkEntryTable::name(i));
        void* address = platform::resolveSymbol(handle, name.c_str());
        if (!address) {
            report("Load_PGP", "Function: " + q(name) + "|not found in pgp's dll:" + q(dllName));
            // The partial load is undone as unloading would, but at once: none
            // of this library is in use, whatever else counts as a use.
            if (SdkEntryTable::address(Entry::PGPsdkCleanup))
                call::PGPsdkCleanup();
            SdkEntryTable::clear();
            platform::freeLibrary(handle);
            session.LibraryHandle = nullptr;
            return -2;
        }
        SdkEntryTable::setAddress(i, address);
    }
    session.LibraryLoaded = true;
    skippedKeysEntry = reinterpret_cast<SkippedKeysFn>(platform::resolveSymbol(handle, "tolvGetSkippedKeys"));
    importCountsEntry = reinterpret_cast<ImportCountsFn>(platform::resolveSymbol(handle, "tolvGetImportCounts"));
    syncKeyRingEntry = reinterpret_cast<SyncKeyRingFn>(platform::resolveSymbol(handle, "tolvSyncKeyRing"));
    leftOutEntry = reinterpret_cast<LeftOutFn>(platform::resolveSymbol(handle, "tolvGetImportLeftOut"));
    stopFlagEntry = reinterpret_cast<StopFlagFn>(platform::resolveSymbol(handle, "tolvOStopFlag"));
    ExtensionTable::resolve(handle);
    lease = std::make_shared<LibraryLease>(handle, reinterpret_cast<PGPError (*)(void*)>(SdkEntryTable::address(Entry::PGPFreeData)));
    announceLibrary(true);
    return 0;
}

std::int32_t UnLoad_PGP()
{
    SessionLock lock;
    lock.waitWhile([] { return keysLoading; });  // the load uses the context
    if (session.UseCount != 0) {
        report("UnLoad_PGP",
               "Can't unload PGP:" + q(AppConfig::instance().snapshot().DLLName) + "|In use: " +
                   QString::number(session.UseCount) + "|Close all child windows and try again",
               frontend::Icon::Exclamation, frontend::Failure::Other);
        return -1;
    }
    PGP_UnloadKeys();
    freeRetiredKeySets();
    PGP_FreeContext();
    if (SdkEntryTable::address(Entry::PGPsdkCleanup))
        call::PGPsdkCleanup();
    session.LibraryLoaded = false;
    if (session.LibraryHandle) {
        // Closed now, or once the last block it handed out has been freed.
        if (lease)
            lease.reset();
        else
            platform::freeLibrary(session.LibraryHandle);
        session.LibraryHandle = nullptr;
    }
    SdkEntryTable::clear();
    skippedKeysEntry = nullptr;
    importCountsEntry = nullptr;
    syncKeyRingEntry = nullptr;
    leftOutEntry = nullptr;
    stopFlagEntry = nullptr;
    ExtensionTable::clear();
    announceLibrary(false);
    return 0;
}

namespace {

struct RingFailure {
    const char* label = nullptr;
    PGPError code = kPGPError_NoErr;
    std::int32_t result = 0;
    bool whileOpening = false;  // reading the ring files, past their names
};

// Opens the two rings as one key set, touching no session state.
RingFailure openKeyRings(PGPContextRef context, const std::string& pubRing, const std::string& secRing,
                         PGPKeySetRef& keySet)
{
    PGPFileSpecRef pubSpec = nullptr;
    PGPFileSpecRef secSpec = nullptr;
    PGPError e = call::PGPNewFileSpecFromFullPath(context, pubRing.c_str(), &pubSpec);
    if (e)
        return {"PGPNewFileSpecFromFullPath Pub error#", e, -2};
    e = call::PGPNewFileSpecFromFullPath(context, secRing.c_str(), &secSpec);
    if (e) {
        call::PGPFreeFileSpec(pubSpec);
        return {"PGPNewFileSpecFromFullPath sec error#", e, -2};
    }
    e = call::PGPOpenKeyRingPair(context, static_cast<PGPUInt32>(kPGPKeyRingOpenFlags_Mutable), pubSpec, secSpec,
                                 &keySet);
    call::PGPFreeFileSpec(secSpec);
    call::PGPFreeFileSpec(pubSpec);
    if (e) {
        if (keySet)
            call::PGPFreeKeySet(keySet);
        keySet = nullptr;
        return {"PGPOpenKeyRingPair  error# ", e, -4, true};
    }
    return {};
}

QString wholeRingPath(const std::string& path)
{
    return pathToQString(path.empty() || path[0] == '/' ? path : platform::currentDirectory() + "/" + path);
}

// Where the rings were looked for, so that a missing one can be put there.
QString ringsExpectedAt(const std::string& pubRing, const std::string& secRing)
{
    return "|Tolv expects the public key ring at|    " + wholeRingPath(pubRing) + "|and the secret key ring at|    " +
           wholeRingPath(secRing) + "|Copy your key rings there, or choose them under Settings.";
}

// Tells which rings held keys that could not be read; the others are loaded.
void warnOfSkippedKeys(PGPKeySetRef keySet, const std::string& pubRing, const std::string& secRing)
{
    PGPUInt32 pub = 0, sec = 0;
    const SkippedKeysFn skippedKeys = skippedKeysEntry;
    if (!skippedKeys || skippedKeys(keySet, &pub, &sec) != kPGPError_NoErr || (pub == 0 && sec == 0))
        return;
    QStringList where;
    if (pub)
        where << QString::number(pub) + " in " + pathToQString(pubRing);
    if (sec)
        where << QString::number(sec) + " in " + pathToQString(secRing);
    report("PGP_LoadRings", "Damaged keys left out: " + where.join(", ") + "|All other keys are loaded.",
           frontend::Icon::Exclamation, frontend::Failure::None);
}

// Opens the rings for a load claimed under the lock (keysLoading set). A
// long load holds no lock: the frame and the other windows go on meanwhile,
// and whoever else wants the keys waits for this load.
std::int32_t loadClaimedKeys()
{
    const AppConfigValues config = AppConfig::instance().snapshot();
    const std::int32_t result = OpenSessionKeyRings(config.PubRing, config.SecRing);
    SessionLock lock;
    keysLoading = false;
    settled.notify_all();
    if (session.KeySet)
        announceKeys(true);
    return result;
}

}  // namespace

std::int32_t PGP_LoadRings()
{
    {
        SessionLock lock;
        // A load under way (another window's) is waited for, as if it were ours.
        lock.waitWhile([] { return keysLoading; });
        if (Load_PGP() != 0)
            return -1;
        if (session.Context)
            return 0;  // the rings stay as they are, loaded or not
        PGPError e = call::PGPsdkInit();
        if (e) {
            report("PGP_LoadRings", sdkFailure("PGPsdkInit error # ", e));
            return -1;
        }
        e = call::PGPNewContext(kPGPsdkAPIVersion, &session.Context);
        if (e) {
            session.Context = nullptr;
            report("PGP_LoadRings", sdkFailure("PGPNewContext error # ", e));
            return -2;
        }
        // Claimed before the lock goes, so that nobody takes the new
        // context for one whose rings are already open.
        keysLoading = true;
    }
    return loadClaimedKeys() != 0 ? -3 : 0;
}

std::int32_t PGP_LoadKeys()
{
    {
        SessionLock lock;
        lock.waitWhile([] { return keysLoading; });
        if (!session.Context) {
            report("PGP_LoadKeys", "PGP sdk is not run");
            return -99;
        }
        if (session.KeySet)
            return 0;
        keysLoading = true;
    }
    return loadClaimedKeys();
}

std::int32_t OpenSessionKeyRings(const std::string& pubRing, const std::string& secRing)
{
    // The rings are read without the session's lock, which is taken only
    // to install the key set.
    PGPContextRef context = sessionSnapshot().Context;
    PGPKeySetRef keySet = nullptr;
    const RingFailure failure = openKeyRings(context, pubRing, secRing, keySet);
    SessionLock lock;
    if (failure.label) {
        QString text = sdkFailure(failure.label, failure.code);
        if (failure.code == kPGPError_FileNotFound && failure.whileOpening)
            text += ringsExpectedAt(pubRing, secRing);
        if (failure.code == kPGPError_KeyRingLocked)
            text += ringsBusy(pubRing, secRing, false);
        report("PGP_LoadRings", text);
        return failure.result;
    }
    if (session.KeySet) {
        call::PGPFreeKeySet(keySet);  // someone else's load came first
    } else {
        session.KeySet = keySet;
        warnOfSkippedKeys(keySet, pubRing, secRing);
    }
    return 0;
}

void PGP_UnloadKeys()
{
    SessionLock lock;
    if (!session.KeySet)
        return;
    if (session.UseCount > 0)
        retiredKeySets.push_back(session.KeySet);  // a running job still uses it
    else
        call::PGPFreeKeySet(session.KeySet);
    session.KeySet = nullptr;
    announceKeys(false);
}

void PGP_FreeContext()
{
    SessionLock lock;
    if (!session.Context)
        return;
    call::PGPFreeContext(session.Context);
    session.Context = nullptr;
}

std::string PGP_ErrorText(PGPError code)
{
    char buffer[256] = {};
    call::PGPGetErrorString(code, 255, buffer);
    buffer[255] = '\0';
    std::string text(buffer);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

SdkUse::SdkUse()
{
    SessionLock lock;
    ++session.UseCount;
    context_ = session.Context;
    keySet_ = session.KeySet;
}

SdkUse::~SdkUse()
{
    SessionLock lock;
    if (--session.UseCount == 0)
        freeRetiredKeySets();
}

bool SdkUse::loadKeys()
{
    // The frame may unload the keys between their load and the look at them
    // here: they are loaded again then. The set taken stays valid while this
    // use lasts, even if it is unloaded later (it is only retired).
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (PGP_LoadKeys() != 0)
            return false;
        SessionLock lock;
        if (session.KeySet) {
            context_ = session.Context;
            keySet_ = session.KeySet;
            return true;
        }
    }
    report("PGP_LoadKeys", "The key rings were unloaded while they were being opened|Try again");
    return false;
}

void resetSessionForTests()
{
    SessionLock lock;
    session = SdkSessionState {};
    retiredKeySets.clear();
    lease.reset();
    SdkEntryTable::clear();
}

PGPError importCounts(PGPKeySetRef imported, PGPUInt32& added, PGPUInt32& updated, PGPUInt32& unchanged)
{
    const ImportCountsFn counts = importCountsEntry;
    return counts ? counts(imported, &added, &updated, &unchanged) : kPGPError_FeatureNotAvailable;
}

std::vector<std::string> importLeftOut(PGPKeySetRef imported)
{
    std::vector<std::string> names;
    const LeftOutFn leftOut = leftOutEntry;
    char name[256];
    for (PGPUInt32 i = 0; leftOut && leftOut(imported, i, name, sizeof name) == kPGPError_NoErr; ++i)
        names.emplace_back(name);
    return names;
}

PGPOptionListRef stopFlagOption(PGPContextRef context, const PGPUInt32* flag)
{
    const StopFlagFn make = stopFlagEntry;
    return make && flag ? make(context, flag) : nullptr;
}

PGPError syncKeyRings(bool& changed)
{
    changed = false;
    if (!sessionSnapshot().KeySet)
        return kPGPError_NoErr;  // no rings open: nothing to bring up to date
    SdkUse use;  // keeps the library and the set while the files are read
    const SyncKeyRingFn sync = syncKeyRingEntry;
    if (!use.keySet() || !sync)
        return kPGPError_NoErr;
    PGPBoolean moved = 0;
    const PGPError e = sync(use.keySet(), &moved);
    changed = moved != 0;
    return e;
}

QString ringsBusy(const std::string& pubRing, const std::string& secRing, bool writing)
{
    return "|Another program kept the key rings|    " + wholeRingPath(pubRing) + "|    " + wholeRingPath(secRing) +
           (writing ? "|busy for too long. Nothing was changed: try again." : "|busy for too long: try again.");
}

}  // namespace sdk
