#include "signature_cache.h"

#include <sys/random.h>
#include <sys/stat.h>

#ifdef TOLV_RNP_SIGNATURE_CACHE
#include <botan/mac.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "file_output.h"
#include "ring_files.h"

namespace pgpsdk {

namespace {

using SealKey = std::array<std::uint8_t, 32>;
constexpr char kMagic[8] = {'T', 'O', 'L', 'V', 'S', 'I', 'G', '1'};
constexpr std::size_t kIdSize = 32, kSealSize = 32;
// A file larger than this (four million results) is not read.
constexpr std::size_t kMaxFileSize = sizeof(kMagic) + 4000000 * kIdSize + kSealSize;

#ifdef TOLV_RNP_SIGNATURE_CACHE
// Tolv's settings folder: $XDG_CONFIG_HOME/tolv, or ~/.config/tolv.
std::string settingsFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/tolv";
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? std::string(home) + "/.config/tolv" : std::string();
}

bool makeFolders(const std::string& folder)
{
    for (std::size_t pos = folder.find('/', 1); ; pos = folder.find('/', pos + 1)) {
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (pos == std::string::npos)
            return true;
    }
}
#endif

bool writePrivateFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    FileOutput file(path, bytes.size(), true);
    return file.open() == kPGPError_NoErr && file.append(bytes.data(), bytes.size()) &&
           file.deliver() == kPGPError_NoErr;
}

#ifdef TOLV_RNP_SIGNATURE_CACHE
// The user's sealing key, made on first use.
std::optional<SealKey> userKey()
{
    const std::string folder = settingsFolder();
    if (folder.empty())
        return std::nullopt;
    const std::string path = folder + "/signature-cache.key";
    std::vector<char> bytes;
    SealKey key{};
    const PGPError read = readKeyFile(path, bytes);
    if (read == kPGPError_NoErr && bytes.size() == key.size()) {
        std::memcpy(key.data(), bytes.data(), key.size());
        return key;
    }
    if (read != kPGPError_FileNotFound)
        return std::nullopt;  // unreadable or not a key: no cache rather than a new key
    if (::getrandom(key.data(), key.size(), 0) != static_cast<ssize_t>(key.size()) || !makeFolders(folder) ||
        !writePrivateFile(path, std::vector<std::uint8_t>(key.begin(), key.end())))
        return std::nullopt;
    return key;
}
#endif

SealKey sealOf(const SealKey& key, const std::uint8_t* data, std::size_t size)
{
#ifdef TOLV_RNP_SIGNATURE_CACHE
    auto mac = Botan::MessageAuthenticationCode::create_or_throw("HMAC(SHA-256)");
    mac->set_key(key.data(), key.size());
    mac->update(data, size);
    SealKey seal{};
    mac->final(seal.data());
    return seal;
#else
    // No cache is ever made without librnp's hook (forRing), so nothing is sealed.
    (void)key, (void)data, (void)size;
    throw std::logic_error("no signature cache in this build");
#endif
}

bool sameSeal(const SealKey& a, const std::uint8_t* b)
{
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
    return diff == 0;
}

#ifdef TOLV_RNP_SIGNATURE_CACHE
bool lookupCallback(void* ctx, const std::uint8_t id[32])
{
    try {
        SignatureCache::Id key;
        std::memcpy(key.data(), id, key.size());
        return static_cast<SignatureCache*>(ctx)->knownGood(key);
    } catch (...) {
        return false;
    }
}

void recordCallback(void* ctx, const std::uint8_t id[32])
{
    try {
        SignatureCache::Id key;
        std::memcpy(key.data(), id, key.size());
        static_cast<SignatureCache*>(ctx)->recordGood(key);
    } catch (...) {
        // a result not remembered is checked again next time
    }
}
#endif

std::mutex registryMutex;
std::map<std::string, std::weak_ptr<SignatureCache>> registry;

// A program that ends without freeing its key sets (tolv-cli, a window
// closed with the program) still keeps what it learnt: the caches still
// alive are saved as the library's statics go. Declared after the
// registry, so that it goes first.
struct SaveAtExit {
    ~SaveAtExit()
    {
        try {
            std::lock_guard<std::mutex> lock(registryMutex);
            for (auto& [path, weak] : registry)
                if (auto cache = weak.lock())
                    cache->save();
        } catch (...) {
            // an unsaved cache costs only checks
        }
    }
} saveAtExit;

}  // namespace

std::size_t SignatureCache::IdHash::operator()(const Id& id) const
{
    std::size_t h;
    std::memcpy(&h, id.data(), sizeof h);
    return h;
}

std::string SignatureCache::fileFor(const std::string& pubPath)
{
    return pubPath + ".sigcache";
}

std::shared_ptr<SignatureCache> SignatureCache::forRing(const std::string& pubPath)
{
#ifdef TOLV_RNP_SIGNATURE_CACHE
    const char* off = std::getenv("TOLV_NO_SIGNATURE_CACHE");
    if (off && *off)
        return nullptr;
    const std::string path = fileFor(pubPath);
    std::lock_guard<std::mutex> lock(registryMutex);
    if (auto cache = registry[path].lock())
        return cache;
    const std::optional<SealKey> key = userKey();
    if (!key)
        return nullptr;
    std::shared_ptr<SignatureCache> cache(new SignatureCache(path, *key));
    cache->load();
    registry[path] = cache;
    return cache;
#else
    (void)pubPath;
    return nullptr;  // the system's librnp has no cache hook
#endif
}

SignatureCache::SignatureCache(std::string path, const SealKey& key) : path_(std::move(path)), key_(key) {}

SignatureCache::~SignatureCache()
{
    try {
        save();
    } catch (...) {
        // an unsaved cache costs only checks
    }
}

void SignatureCache::attachTo(rnp_ffi_t ffi)
{
#ifdef TOLV_RNP_SIGNATURE_CACHE
    rnp_ffi_set_signature_cache(ffi, lookupCallback, recordCallback, this);
#else
    (void)ffi;
#endif
}

// Reads the file; one whose size or seal is wrong is ignored whole.
void SignatureCache::load()
{
    std::vector<char> bytes;
    if (readKeyFile(path_, bytes) != kPGPError_NoErr || bytes.size() > kMaxFileSize)
        return;
    const std::size_t body = bytes.size() - std::min(bytes.size(), kSealSize);
    if (bytes.size() < sizeof(kMagic) + kSealSize || (body - sizeof(kMagic)) % kIdSize != 0 ||
        std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0)
        return;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (!sameSeal(sealOf(key_, data, body), data + body))
        return;
    entries_.reserve((body - sizeof(kMagic)) / kIdSize);
    for (std::size_t at = sizeof(kMagic); at < body; at += kIdSize) {
        Id id;
        std::memcpy(id.data(), data + at, kIdSize);
        entries_.emplace(id, false);
    }
}

bool SignatureCache::knownGood(const Id& id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(id);
    if (it == entries_.end())
        return false;
    it->second = true;
    ++hits_;
    return true;
}

void SignatureCache::recordGood(const Id& id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto [it, added] = entries_.emplace(id, true);
    it->second = true;
    recorded_ += added ? 1 : 0;
}

bool SignatureCache::save()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (recorded_ == 0)
        return true;
    std::size_t used = 0;
    for (const auto& entry : entries_)
        used += entry.second ? 1 : 0;
    const bool keepUnused = entries_.size() - used <= used;
    std::vector<std::uint8_t> bytes(kMagic, kMagic + sizeof(kMagic));
    bytes.reserve(sizeof(kMagic) + entries_.size() * kIdSize + kSealSize);
    for (const auto& [id, wasUsed] : entries_)
        if (wasUsed || keepUnused)
            bytes.insert(bytes.end(), id.begin(), id.end());
    const SealKey seal = sealOf(key_, bytes.data(), bytes.size());
    bytes.insert(bytes.end(), seal.begin(), seal.end());
    if (!writePrivateFile(path_, bytes))
        return false;
    recorded_ = 0;
    return true;
}

std::size_t SignatureCache::hits() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hits_;
}

std::size_t SignatureCache::recorded() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return recorded_;
}

}  // namespace pgpsdk
