// A stand-in SDK library for tests: it exports the same entry points as
// the real one, records every call, fails the calls it is told to fail, and
// counts the objects it makes and frees so that leaks and double frees show.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"
#include "pgpsdk/pgpsdk_entry_points.h"

namespace {

struct Fake {
    std::mutex mutex;
    std::vector<std::string> calls;
    std::map<std::string, PGPError> failures;  // "name" or "name#n" (the n-th call)
    std::map<std::string, int> callCounts;
    std::set<void*> live;
    std::vector<std::string> problems;
    unsigned keyCount = 1;  // what PGPCountKeys answers, and the keys an iterator gives
    unsigned userIdCount = 0;  // user IDs of every key
    unsigned sigCount = 0;     // certifications on every user ID (their certifiers are never found)
    bool envRead = false;
};

Fake& fake()
{
    static Fake f;
    return f;
}

struct Object {
    std::string kind;
    unsigned position = 0;  // an iterator's next key
    unsigned userIdPosition = 0;
    unsigned sigPosition = 0;
};

Object lastOption{"last"};

void readEnvironment(Fake& f)
{
    if (f.envRead)
        return;
    f.envRead = true;
    // FAKE_PGPSDK_FAIL="PGPNewContext=-11999,PGPEncode=-11992"
    if (const char* spec = std::getenv("FAKE_PGPSDK_FAIL")) {
        std::string s = spec;
        std::size_t at = 0;
        while (at < s.size()) {
            std::size_t comma = s.find(',', at);
            std::string item = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            std::size_t eq = item.find('=');
            if (eq != std::string::npos)
                f.failures[item.substr(0, eq)] = std::atoi(item.c_str() + eq + 1);
            at = comma == std::string::npos ? s.size() : comma + 1;
        }
    }
}

// Records the call; the code it must fail with, or 0.
PGPError enter(const char* name)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    readEnvironment(f);
    f.calls.push_back(name);
    // A log file outlives the library, so calls made up to its unloading show.
    if (const char* log = std::getenv("FAKE_PGPSDK_LOG")) {
        if (FILE* out = std::fopen(log, "a")) {
            std::fprintf(out, "%s\n", name);
            std::fclose(out);
        }
    }
    const int n = ++f.callCounts[name];
    auto it = f.failures.find(std::string(name) + "#" + std::to_string(n));
    if (it == f.failures.end())
        it = f.failures.find(name);
    return it == f.failures.end() ? 0 : it->second;
}

void* make(const char* kind)
{
    Fake& f = fake();
    auto* o = new Object{kind};
    std::lock_guard lock(f.mutex);
    f.live.insert(o);
    return o;
}

void release(void* p, const char* expectedKind)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    if (!p)
        return;
    if (!f.live.count(p)) {
        f.problems.push_back(std::string("freed twice or never made: ") + expectedKind);
        return;
    }
    auto* o = static_cast<Object*>(p);
    if (o->kind != expectedKind)
        f.problems.push_back("freed a " + o->kind + " as a " + expectedKind);
    f.live.erase(p);
    delete o;
}

// Option lists passed into a call are consumed by it.
void consume(PGPOptionListRef first, va_list args)
{
    void* o = first;
    for (int i = 0; o && o != &lastOption && i < 64; ++i) {
        release(o, "option");
        o = va_arg(args, void*);
    }
}

}  // namespace

extern "C" {

// ---- control entries for tests ----
PGPSDK_API void fakeSdkReset()
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    f.calls.clear();
    f.failures.clear();
    f.callCounts.clear();
    f.problems.clear();
    f.keyCount = 1;
    f.envRead = true;
    for (void* p : f.live)
        delete static_cast<Object*>(p);
    f.live.clear();
}

PGPSDK_API void fakeSdkFail(const char* name, PGPError code)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    f.failures[name] = code;
    if (code == 0)
        f.failures.erase(name);
}

// Fails only the next call of name (counted from now).
PGPSDK_API void fakeSdkFailNext(const char* name, PGPError code)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    f.failures[std::string(name) + "#" + std::to_string(f.callCounts[name] + 1)] = code;
}

// Fails the call of name that comes after skip further calls of it.
PGPSDK_API void fakeSdkFailAfter(const char* name, int skip, PGPError code)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    f.failures[std::string(name) + "#" + std::to_string(f.callCounts[name] + 1 + skip)] = code;
}

PGPSDK_API void fakeSdkSetKeyCount(unsigned n)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    f.keyCount = n;
}

PGPSDK_API void fakeSdkSetShape(unsigned userIds, unsigned sigs)
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    f.userIdCount = userIds;
    f.sigCount = sigs;
}

// Newline-separated call names; the caller frees the text with free().
PGPSDK_API char* fakeSdkCalls()
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    std::string all;
    for (const auto& c : f.calls)
        all += c + "\n";
    return strdup(all.c_str());
}

PGPSDK_API int fakeSdkLiveObjects()
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    return static_cast<int>(f.live.size());
}

PGPSDK_API char* fakeSdkProblems()
{
    Fake& f = fake();
    std::lock_guard lock(f.mutex);
    std::string all;
    for (const auto& c : f.problems)
        all += c + "\n";
    return strdup(all.c_str());
}

// ---- the entry points ----
#define FAKE_MAKER(fn, kind, out)             \
    if (PGPError e = enter(#fn))              \
        return e;                             \
    *(out) = reinterpret_cast<decltype(+*(out))>(make(kind)); \
    return 0;

PGPError PGPsdkInit(void) { return enter("PGPsdkInit"); }
PGPError PGPsdkCleanup(void) { return enter("PGPsdkCleanup"); }
PGPError PGPNewContext(PGPUInt32, PGPContextRef* c) { FAKE_MAKER(PGPNewContext, "context", c) }
PGPError PGPFreeContext(PGPContextRef c)
{
    enter("PGPFreeContext");
    release(c, "context");
    return 0;
}
PGPError PGPGetErrorString(PGPError code, PGPSize size, char* text)
{
    enter("PGPGetErrorString");
    std::snprintf(text, size, "fake error %d   ", static_cast<int>(code));
    return 0;
}
PGPError PGPNewFileSpecFromFullPath(PGPContextRef, const char*, PGPFileSpecRef* s) { FAKE_MAKER(PGPNewFileSpecFromFullPath, "filespec", s) }
PGPError PGPFreeFileSpec(PGPFileSpecRef s)
{
    enter("PGPFreeFileSpec");
    release(s, "filespec");
    return 0;
}
PGPError PGPOpenKeyRingPair(PGPContextRef, PGPUInt32, PGPFileSpecRef, PGPFileSpecRef, PGPKeySetRef* k)
{
    FAKE_MAKER(PGPOpenKeyRingPair, "keyset", k)
}
PGPError PGPNewKeySet(PGPContextRef, PGPKeySetRef* k) { FAKE_MAKER(PGPNewKeySet, "keyset", k) }
PGPError PGPAddKeys(PGPKeySetRef, PGPKeySetRef) { return enter("PGPAddKeys"); }
// The fake's jobs send no output event, so no job takes added options.
PGPError PGPAddJobOptions(PGPJobRef, PGPOptionListRef, ...)
{
    enter("PGPAddJobOptions");
    return kPGPError_BadParams;
}
PGPError PGPFreeKeySet(PGPKeySetRef k)
{
    enter("PGPFreeKeySet");
    release(k, "keyset");
    return 0;
}
PGPError PGPCountKeys(PGPKeySetRef, PGPUInt32* n)
{
    if (PGPError e = enter("PGPCountKeys"))
        return e;
    std::lock_guard lock(fake().mutex);
    *n = fake().keyCount;
    return 0;
}
PGPError PGPNewUserIDStringFilter(PGPContextRef, const char*, PGPUInt32, PGPFilterRef* f) { FAKE_MAKER(PGPNewUserIDStringFilter, "filter", f) }
PGPError PGPFreeFilter(PGPFilterRef f)
{
    enter("PGPFreeFilter");
    release(f, "filter");
    return 0;
}
PGPError PGPFilterKeySet(PGPKeySetRef, PGPFilterRef, PGPKeySetRef* k) { FAKE_MAKER(PGPFilterKeySet, "keyset", k) }
PGPError PGPOrderKeySet(PGPKeySetRef, PGPInt32, PGPKeyListRef* l) { FAKE_MAKER(PGPOrderKeySet, "keylist", l) }
PGPError PGPFreeKeyList(PGPKeyListRef l)
{
    enter("PGPFreeKeyList");
    release(l, "keylist");
    return 0;
}
PGPError PGPNewKeyIter(PGPKeyListRef, PGPKeyIterRef* i) { FAKE_MAKER(PGPNewKeyIter, "keyiter", i) }
PGPError PGPFreeKeyIter(PGPKeyIterRef i)
{
    enter("PGPFreeKeyIter");
    release(i, "keyiter");
    return 0;
}
static Object fakeKey{"key"};
PGPError PGPKeyIterNext(PGPKeyIterRef iter, PGPKeyRef* k)
{
    if (PGPError e = enter("PGPKeyIterNext"))
        return e;
    *k = nullptr;
    auto* it = reinterpret_cast<Object*>(iter);
    std::lock_guard lock(fake().mutex);
    if (!it || it->position >= fake().keyCount)
        return kPGPError_EndOfIteration;
    ++it->position;
    it->userIdPosition = 0;
    *k = reinterpret_cast<PGPKeyRef>(&fakeKey);
    return 0;
}
static Object fakeUserId{"userid"};
static Object fakeSig{"sig"};
PGPError PGPKeyIterNextUserID(PGPKeyIterRef iter, PGPUserIDRef* u)
{
    enter("PGPKeyIterNextUserID");
    *u = nullptr;
    auto* it = reinterpret_cast<Object*>(iter);
    std::lock_guard lock(fake().mutex);
    if (!it || it->userIdPosition >= fake().userIdCount)
        return kPGPError_EndOfIteration;
    ++it->userIdPosition;
    it->sigPosition = 0;
    *u = reinterpret_cast<PGPUserIDRef>(&fakeUserId);
    return 0;
}
PGPError PGPKeyIterNextUIDSig(PGPKeyIterRef iter, PGPSigRef* s)
{
    enter("PGPKeyIterNextUIDSig");
    *s = nullptr;
    auto* it = reinterpret_cast<Object*>(iter);
    std::lock_guard lock(fake().mutex);
    if (!it || it->sigPosition >= fake().sigCount)
        return kPGPError_EndOfIteration;
    ++it->sigPosition;
    *s = reinterpret_cast<PGPSigRef>(&fakeSig);
    return 0;
}
PGPError PGPGetKeyBoolean(PGPKeyRef, PGPInt32, PGPBoolean* v)
{
    *v = 0;
    return enter("PGPGetKeyBoolean");
}
PGPError PGPGetKeyNumber(PGPKeyRef, PGPInt32, PGPInt32* v)
{
    *v = 0;
    return enter("PGPGetKeyNumber");
}
PGPError PGPGetKeyTime(PGPKeyRef, PGPInt32, PGPTime* v)
{
    *v = 0;
    return enter("PGPGetKeyTime");
}
PGPError PGPGetKeyIDFromKey(PGPKeyRef, PGPKeyID* id)
{
    std::memset(id, 0, sizeof *id);
    id->opaqueBytes[0] = 8;
    return enter("PGPGetKeyIDFromKey");
}
PGPError PGPGetKeyIDString(const PGPKeyID*, PGPInt32, char* out)
{
    std::strcpy(out, "0x0000000000000000");
    return enter("PGPGetKeyIDString");
}
PGPError PGPGetKeyByKeyID(PGPKeySetRef, const PGPKeyID*, PGPInt32, PGPKeyRef* out)
{
    *out = nullptr;
    PGPError e = enter("PGPGetKeyByKeyID");
    return e ? e : kPGPError_ItemNotFound;
}
PGPError PGPGetPrimaryUserIDNameBuffer(PGPKeyRef, PGPSize size, char* buf, PGPSize* len)
{
    std::snprintf(buf, size, "Fake User <fake@example.org>");
    *len = std::strlen(buf);
    return enter("PGPGetPrimaryUserIDNameBuffer");
}
PGPError PGPGetUserIDStringBuffer(PGPUserIDRef, PGPInt32, PGPSize size, char* buf, PGPSize* len)
{
    std::snprintf(buf, size, "Fake User <fake@example.org>");
    *len = std::strlen(buf);
    return enter("PGPGetUserIDStringBuffer");
}
PGPError PGPGetSigBoolean(PGPSigRef, PGPInt32, PGPBoolean* v)
{
    *v = 0;
    return enter("PGPGetSigBoolean");
}
PGPError PGPGetSigNumber(PGPSigRef, PGPInt32, PGPInt32* v)
{
    *v = 0;
    return enter("PGPGetSigNumber");
}
PGPError PGPGetSigCertifierKey(PGPSigRef, PGPKeySetRef, PGPKeyRef* k)
{
    *k = nullptr;
    enter("PGPGetSigCertifierKey");
    return kPGPError_ItemNotFound;
}

PGPOptionListRef PGPOLastOption(PGPContextRef)
{
    enter("PGPOLastOption");
    return reinterpret_cast<PGPOptionListRef>(&lastOption);
}
#define FAKE_OPTION(fn)     \
    enter(#fn);             \
    return reinterpret_cast<PGPOptionListRef>(make("option"));
PGPOptionListRef PGPOEventHandler(PGPContextRef, PGPEventHandlerProcPtr, void*) { FAKE_OPTION(PGPOEventHandler) }
PGPOptionListRef PGPOInputBuffer(PGPContextRef, const void*, PGPSize) { FAKE_OPTION(PGPOInputBuffer) }
PGPOptionListRef PGPOInputFile(PGPContextRef, PGPFileSpecRef) { FAKE_OPTION(PGPOInputFile) }
PGPOptionListRef PGPOExportPrivateKeys(PGPContextRef, PGPBoolean) { FAKE_OPTION(PGPOExportPrivateKeys) }
PGPOptionListRef PGPOOutputFile(PGPContextRef, PGPFileSpecRef) { FAKE_OPTION(PGPOOutputFile) }
PGPOptionListRef PGPOImportKeysTo(PGPContextRef, PGPKeySetRef) { FAKE_OPTION(PGPOImportKeysTo) }
PGPOptionListRef PGPOClearSign(PGPContextRef, PGPBoolean) { FAKE_OPTION(PGPOClearSign) }
PGPOptionListRef PGPOEncryptToKey(PGPContextRef, PGPKeyRef) { FAKE_OPTION(PGPOEncryptToKey) }
PGPOptionListRef PGPOConventionalEncrypt(PGPContextRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    consume(first, args);
    va_end(args);
    FAKE_OPTION(PGPOConventionalEncrypt)
}
PGPOptionListRef PGPODetachedSig(PGPContextRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    consume(first, args);
    va_end(args);
    FAKE_OPTION(PGPODetachedSig)
}
PGPOptionListRef PGPOKeyGenParams(PGPContextRef, PGPInt32, PGPUInt32) { FAKE_OPTION(PGPOKeyGenParams) }
PGPOptionListRef PGPOKeyGenName(PGPContextRef, const void*, PGPSize) { FAKE_OPTION(PGPOKeyGenName) }
PGPOptionListRef PGPOKeyGenMasterKey(PGPContextRef, PGPKeyRef) { FAKE_OPTION(PGPOKeyGenMasterKey) }
PGPOptionListRef PGPOExpiration(PGPContextRef, PGPUInt32) { FAKE_OPTION(PGPOExpiration) }
static void** pendingOutput = nullptr;
static PGPSize* pendingOutputSize = nullptr;
PGPOptionListRef PGPOAllocatedOutputBuffer(PGPContextRef, void** buffer, PGPSize, PGPSize* size)
{
    pendingOutput = buffer;
    pendingOutputSize = size;
    FAKE_OPTION(PGPOAllocatedOutputBuffer)
}
PGPOptionListRef PGPOArmorOutput(PGPContextRef, PGPBoolean) { FAKE_OPTION(PGPOArmorOutput) }
PGPOptionListRef PGPOPassphrase(PGPContextRef, const char*) { FAKE_OPTION(PGPOPassphrase) }
PGPOptionListRef PGPOSignWithKey(PGPContextRef, PGPKeyRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    consume(first, args);
    va_end(args);
    FAKE_OPTION(PGPOSignWithKey)
}
PGPOptionListRef PGPOEncryptToKeySet(PGPContextRef, PGPKeySetRef) { FAKE_OPTION(PGPOEncryptToKeySet) }
PGPOptionListRef PGPOKeySetRef(PGPContextRef, PGPKeySetRef) { FAKE_OPTION(PGPOKeySetRef) }
PGPOptionListRef PGPOSendNullEvents(PGPContextRef, PGPUInt32) { FAKE_OPTION(PGPOSendNullEvents) }

PGPError PGPBuildOptionList(PGPContextRef, PGPOptionListRef* out, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    consume(first, args);
    va_end(args);
    FAKE_MAKER(PGPBuildOptionList, "optionlist", out)
}
PGPError PGPAppendOptionList(PGPContextRef, PGPOptionListRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    consume(first, args);
    va_end(args);
    return enter("PGPAppendOptionList");
}
PGPError PGPFreeOptionList(PGPOptionListRef list)
{
    enter("PGPFreeOptionList");
    release(list, "optionlist");
    return 0;
}

static PGPError job(const char* name, PGPOptionListRef first, va_list args)
{
    // The option list itself is the caller's; only the further options are consumed.
    void* o = va_arg(args, void*);
    for (int i = 0; o && o != &lastOption && i < 64; ++i) {
        release(o, "option");
        o = va_arg(args, void*);
    }
    (void)first;
    if (PGPError e = enter(name))
        return e;
    if (pendingOutput && pendingOutputSize) {
        static const char text[] = "FAKE OUTPUT";
        void* block = make("data");
        *pendingOutput = block;
        *pendingOutputSize = sizeof text - 1;
    }
    return 0;
}
PGPError PGPEncode(PGPContextRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    PGPError e = job("PGPEncode", first, args);
    va_end(args);
    return e;
}
PGPError PGPExportKeySet(PGPKeySetRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    PGPError e = job("PGPExportKeySet", first, args);
    va_end(args);
    return e;
}
// The fake has no keys: it has no fingerprint to give.
PGPError PGPGetKeyPropertyBuffer(PGPKeyRef, PGPInt32, PGPSize, void*, PGPSize* length)
{
    if (PGPError e = enter("PGPGetKeyPropertyBuffer"))
        return e;
    *length = 0;
    return kPGPError_FeatureNotAvailable;
}
PGPError PGPDecode(PGPContextRef, PGPOptionListRef first, ...)
{
    va_list args;
    va_start(args, first);
    PGPError e = job("PGPDecode", first, args);
    va_end(args);
    return e;
}
// The fake keeps no keys: key changes are not available.
#define FAKE_KEY_CHANGE(name, ...) \
    PGPError name(__VA_ARGS__) { return enter(#name) ? enter(#name) : kPGPError_FeatureNotAvailable; }
FAKE_KEY_CHANGE(PGPGenerateKey, PGPContextRef, PGPKeyRef*, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPGenerateSubKey, PGPContextRef, PGPKeyRef*, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPImportKeySet, PGPContextRef, PGPKeySetRef*, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPRemoveKeys, PGPKeySetRef, PGPKeySetRef)
FAKE_KEY_CHANGE(PGPChangePassphrase, PGPKeyRef, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPSignUserID, PGPUserIDRef, PGPKeyRef, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPRevokeKey, PGPKeyRef, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPCommitKeyRingChanges, PGPKeySetRef)
FAKE_KEY_CHANGE(PGPNewSingletonKeySet, PGPKeyRef, PGPKeySetRef*)
FAKE_KEY_CHANGE(PGPRevertKeyRingChanges, PGPKeySetRef)
PGPBoolean PGPKeySetNeedsCommit(PGPKeySetRef) { return 0; }
FAKE_KEY_CHANGE(PGPKeyIterNextSubKey, PGPKeyIterRef, PGPSubKeyRef*)
FAKE_KEY_CHANGE(PGPGetSubKeyNumber, PGPSubKeyRef, PGPInt32, PGPInt32*)
FAKE_KEY_CHANGE(PGPGetSubKeyTime, PGPSubKeyRef, PGPInt32, PGPTime*)
FAKE_KEY_CHANGE(PGPGetSubKeyBoolean, PGPSubKeyRef, PGPInt32, PGPBoolean*)
FAKE_KEY_CHANGE(PGPGetKeyIDFromSubKey, PGPSubKeyRef, PGPKeyID*)
FAKE_KEY_CHANGE(PGPAddUserID, PGPKeyRef, char const*, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPSetPrimaryUserID, PGPUserIDRef, PGPOptionListRef, ...)
FAKE_KEY_CHANGE(PGPRevokeSubKey, PGPSubKeyRef, PGPOptionListRef, ...)
PGPOptionListRef PGPOExportable(PGPContextRef, PGPBoolean)
{
    enter("PGPOExportable");
    return nullptr;  // the fake's key changes take no options
}
PGPError PGPFreeData(void* data)
{
    enter("PGPFreeData");
    release(data, "data");
    return 0;
}

}  // extern "C"

#define FAKE_IGNORE(name)
#define FAKE_UNAVAILABLE(name) \
    extern "C" PGPSDK_API PGPError name(void) { return enter(#name) ? 0 : kPGPError_FeatureNotAvailable; }
PGPSDK_ENTRY_POINTS(FAKE_IGNORE, FAKE_UNAVAILABLE)
