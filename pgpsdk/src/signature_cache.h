#pragma once
// Remembered good results of key signature checks (self-signatures,
// bindings, certifications), kept in a file beside a ring pair, so that a
// large ring opens and lists without checking every signature again.
//
// librnp names each check by a SHA-256 over all that its result depends on
// (the signer's key material, the digest of what was signed and the
// signature itself), so a changed or forged signature has a name that was
// never remembered and is checked as usual. Only good results are kept.
//
// The file is sealed with HMAC-SHA-256 under a key of the user's own
// (signature-cache.key, 0600, in Tolv's settings folder). A file that is
// damaged, comes from another machine or was written by anyone without
// that key fails its seal and is ignored whole: everything is checked.
#include <rnp/rnp.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace pgpsdk {

class SignatureCache {
public:
    using Id = std::array<std::uint8_t, 32>;

    // The cache of the ring whose public file is pubPath, shared by every
    // store of that ring in this process; null when caching is off
    // (TOLV_NO_SIGNATURE_CACHE set, or no settings folder for the key).
    static std::shared_ptr<SignatureCache> forRing(const std::string& pubPath);
    // The file it is kept in.
    static std::string fileFor(const std::string& pubPath);

    // Writes what was learnt, if anything (see save).
    ~SignatureCache();
    SignatureCache(const SignatureCache&) = delete;
    SignatureCache& operator=(const SignatureCache&) = delete;

    // Lets librnp consult and fill this cache for checks made through ffi.
    // The cache must outlive ffi.
    void attachTo(rnp_ffi_t ffi);

    bool knownGood(const Id& id);
    void recordGood(const Id& id);

    // Writes the file when new results were recorded: the results used in
    // this process, and those read from the file but not used, unless
    // these are the greater part (signatures no longer in the ring).
    bool save();

    // How many results were found and how many newly recorded.
    std::size_t hits() const;
    std::size_t recorded() const;

private:
    SignatureCache(std::string path, const std::array<std::uint8_t, 32>& key);
    void load();

    struct IdHash {
        std::size_t operator()(const Id& id) const;
    };
    const std::string path_;
    const std::array<std::uint8_t, 32> key_;
    mutable std::mutex mutex_;
    std::unordered_map<Id, bool, IdHash> entries_;  // ID -> used in this process
    std::size_t hits_ = 0, recorded_ = 0;
};

}  // namespace pgpsdk
