// The SDK's objects behind the opaque references of the C interface.
#pragma once

#include <rnp/rnp.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "pgpsdk/pgpsdk.h"
#include "rnp_handles.h"
#include "platform/secret_text.h"

namespace pgpsdk {

// Every live object starts with a tag, so a reference of the wrong kind is
// refused instead of being used.
enum class Tag : std::uint32_t {
    Context = 0x43545854,
    FileSpec = 0x46535043,
    KeySet = 0x4b534554,
    KeyList = 0x4b4c5354,
    KeyIter = 0x4b495452,
    Key = 0x4b455920,
    UserID = 0x55494420,
    Sig = 0x53494720,
    Filter = 0x46494c54,
    SubKey = 0x53554b59,
    OptionList = 0x4f50544c,
    Job = 0x4a4f4220,
    Dead = 0xdeaddead,
};

struct Tagged {
    explicit Tagged(Tag t) : tag(t) {}
    ~Tagged() { tag = Tag::Dead; }
    Tagged(const Tagged&) = delete;
    Tagged& operator=(const Tagged&) = delete;
    Tag tag;
};

// The lock every call on a context's objects takes. Recursive, so an event
// handler running inside a job may call back into the SDK.
struct ContextCore {
    std::recursive_mutex mutex;
};
using CoreRef = std::shared_ptr<ContextCore>;

struct Key;
class SignatureCache;
struct KeySet;

// A ring file as the store last read or wrote it. A commit that finds the
// file otherwise first takes in what another writer put there.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNs = 0, changedNs = 0;
    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modifiedNs == o.modifiedNs && changedNs == o.changedNs;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// One loaded key ring pair: an rnp_ffi_t that holds its keys.
struct KeyStore {
    explicit KeyStore(FfiHandle f, std::shared_ptr<SignatureCache> cache = nullptr)
        : signatures(std::move(cache)), ffi(std::move(f))
    {
    }
    // Declared before ffi, which consults it, so that it outlives ffi.
    std::shared_ptr<SignatureCache> signatures;
    FfiHandle ffi;
    // For a ring pair opened from files: where a commit writes them, and
    // the key set that lists the ring (it follows every change).
    std::string pubPath, secPath;
    KeySet* ring = nullptr;
    bool dirty = false;  // changed since opened or last committed
    // The keys (by primary fingerprint) changed since then, and whether
    // the change removed them at some point: what a commit keeps of its
    // own when other writers changed the files meanwhile.
    std::unordered_map<std::string, bool> pending;
    FileStamp pubStamp, secStamp;
    // Every key object made from this store, so that a change can retire
    // the objects of the keys it touches (see retireKeys).
    std::vector<std::weak_ptr<Key>> issued;
};
using StoreRef = std::shared_ptr<KeyStore>;

struct UserID;

// A certification on a user ID. Checking it costs a signature verification,
// so it is checked on first use, with the other certifications on the same
// user ID (UserID::evaluate), not when the ring opens.
struct Sig : Tagged {
    Sig() : Tagged(Tag::Sig) {}
    CoreRef core;
    UserID* owner = nullptr;
    SigHandle handle;
    std::string type;
    std::uint32_t created = 0;
    std::string signerKeyId;  // 16 upper-case hex digits, or empty
    bool revoked = false;
    bool sound = false;
    bool tried = false;
    bool verified = false;
    bool exportable = true;
    int trustLevel = 0;
    bool isMine = false;
};

struct UserID : Tagged {
    UserID() : Tagged(Tag::UserID) {}
    Key* key = nullptr;  // the key it belongs to
    std::string text;
    bool isPhoto = false;  // a user attribute (photo ID)
    bool revoked = false;
    bool evaluated = false;
    std::vector<std::unique_ptr<Sig>> sigs;

    // Checks every certification on this user ID once (call under the context lock).
    void evaluate();
};

// What a key or subkey may be used for (its key flags).
struct KeyUsage {
    bool sign = false, encrypt = false, certify = false;
};

// What a primary key and a subkey both tell, read when the object is made.
struct KeyFacts {
    std::string keyIdHex;
    int algorithm = 0;
    int bits = 0;
    PGPTime creation = 0;
    PGPTime expiration = 0;  // 0: never
    bool secret = false;
    bool revoked = false;
    bool expired = false;
    KeyUsage usage;
};

struct Key;

struct SubKey : Tagged, KeyFacts {
    SubKey() : Tagged(Tag::SubKey) {}
    CoreRef core;
    Key* owner = nullptr;  // the key whose object holds it
    std::string fingerprint;
};

struct Key : Tagged, KeyFacts, std::enable_shared_from_this<Key> {
    Key() : Tagged(Tag::Key) {}
    ~Key();

    CoreRef core;
    StoreRef store;
    rnp_key_handle_t handle = nullptr;

    std::string fingerprint;
    std::uint8_t keyId[8] = {};
    std::vector<std::string> subkeyIds;  // hex key IDs of the subkeys
    // Those of them this key owns: a subkey another key binds too (as an
    // impostor may) belongs to one of them only.
    std::vector<std::string> ownSubkeyIds;
    std::vector<std::unique_ptr<SubKey>> subkeys;
    std::string primaryUserId;
    bool valid = false;
    bool unverifiedRevocation = false;
    int validity = kPGPValidity_Unknown;
    // Replaced by a newer object after a change to the key; a removed
    // key's object has no handle.
    bool retired = false;

    std::vector<std::unique_ptr<UserID>> userIds;
};
using KeyRef = std::shared_ptr<Key>;

struct Context : Tagged {
    Context() : Tagged(Tag::Context), core(std::make_shared<ContextCore>()) {}
    CoreRef core;
    StoreRef emptyStore;  // for jobs that have no key set
};

struct FileSpec : Tagged {
    FileSpec() : Tagged(Tag::FileSpec) {}
    CoreRef core;
    std::string path;
};

struct KeySet : Tagged {
    KeySet() : Tagged(Tag::KeySet) {}
    ~KeySet()
    {
        if (store && store->ring == this)
            store->ring = nullptr;
    }
    CoreRef core;
    StoreRef store;  // the ring the keys come from (may be null for an empty new set)
    std::vector<KeyRef> keys;
    // The ring's objects that changes replaced: references callers took
    // stay valid as long as the set lives.
    std::vector<KeyRef> retired;
    bool isMutable = true;
    int refCount = 1;
    PGPUInt32 skippedPublic = 0;  // damaged keys left out of the rings it was opened from
    PGPUInt32 skippedSecret = 0;
    PGPUInt32 importedNew = 0;  // for a set PGPImportKeySet made
    PGPUInt32 importedUpdated = 0;
    PGPUInt32 importedUnchanged = 0;
    std::vector<std::string> importLeftOut;  // keys of the data that could not be read
    // Keys by the hex ID of the key and of each subkey, made on first use.
    std::unordered_map<std::string, Key*> byKeyId;
    bool indexed = false;

    Key* findByKeyId(const std::string& idHex)
    {
        if (!indexed) {
            byKeyId.clear();
            for (const auto& k : keys) {
                byKeyId.emplace(k->keyIdHex, k.get());
                for (const auto& sub : k->subkeyIds)
                    byKeyId.emplace(sub, k.get());
            }
            indexed = true;
        }
        auto it = byKeyId.find(idHex);
        return it == byKeyId.end() ? nullptr : it->second;
    }
};

struct KeyList : Tagged {
    KeyList() : Tagged(Tag::KeyList) {}
    CoreRef core;
    std::shared_ptr<const std::vector<KeyRef>> keys;
};

struct KeyIter : Tagged {
    KeyIter() : Tagged(Tag::KeyIter) {}
    CoreRef core;
    std::shared_ptr<const std::vector<KeyRef>> keys;
    std::size_t next = 0;     // index of the next key
    Key* current = nullptr;
    std::size_t nextUserId = 0;
    UserID* currentUserId = nullptr;
    std::size_t nextSig = 0;
    std::size_t nextSubKey = 0;
};

struct Filter : Tagged {
    Filter() : Tagged(Tag::Filter) {}
    CoreRef core;
    std::string text;
    PGPUInt32 match = kPGPMatchSubString;
};

// Options: each option maker returns a list holding one option.
enum class OptionKind {
    Invalid,
    EventHandler,
    InputBuffer,
    InputFile,
    AllocatedOutput,
    OutputFile,
    Armor,
    Passphrase,
    SignWithKey,
    EncryptToKeySet,
    KeySetRef,
    NullEvents,
    ExportPrivate,
    KeyGenParams,
    KeyGenName,
    KeyGenMasterKey,
    Expiration,
    ImportKeysTo,
    ClearSign,
    DetachedSig,
    EncryptToKey,
    Conventional,
    StopFlag,
    RevocationReason,
    Exportable,
    KeyUsage,
};

struct Option {
    OptionKind kind = OptionKind::Invalid;
    PGPEventHandlerProcPtr handler = nullptr;
    void* userValue = nullptr;
    const void* input = nullptr;
    PGPSize inputSize = 0;
    void** outBuffer = nullptr;
    PGPSize maxSize = 0;
    PGPSize* outSize = nullptr;
    std::string path;           // InputFile / OutputFile
    bool armor = false;
    SecretText passphrase;
    KeyRef key;                 // SignWithKey, KeyGenMasterKey
    KeySet* keySet = nullptr;   // EncryptToKeySet / KeySetRef (reference held)
    bool hasPassphrase = false;
    PGPUInt32 intervalMs = 0;   // NullEvents
    PGPInt32 algorithm = 0;     // KeyGenParams
    PGPUInt32 bits = 0;
    std::string name;           // KeyGenName
    PGPUInt32 days = 0;         // Expiration: 0 for never
    OptionKind dataKind = OptionKind::Invalid;  // DetachedSig: InputBuffer or InputFile of the signed data
    const PGPUInt32* stopFlag = nullptr;        // StopFlag: the caller's, read atomically
    PGPUInt32 code = 0;  // RevocationReason's code (its text in name), KeyUsage's usage
};

struct OptionList : Tagged {
    OptionList() : Tagged(Tag::OptionList) {}
    ~OptionList();
    CoreRef core;
    std::vector<Option> options;
    bool sentinel = false;
    bool persistent = false;  // made by PGPBuildOptionList: the caller's to free
};

template <typename T> T* as(void* p, Tag tag)
{
    auto* t = static_cast<T*>(p);
    if (!t || static_cast<Tagged*>(t)->tag != tag)
        return nullptr;
    return t;
}

// Key set references are counted; the last free deletes it.
void retainKeySet(KeySet* set);
void releaseKeySet(KeySet* set);

}  // namespace pgpsdk
