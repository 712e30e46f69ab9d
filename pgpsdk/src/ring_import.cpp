#include "ring_import.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "hidden_recipients.h"
#include "key_packet.h"
#include "rnp_handles.h"
#include "platform/secret_text.h"

namespace pgpsdk {

namespace {

constexpr int kTagUserId = 13;

struct RingShape {
    std::size_t keys = 0;   // distinct primary keys among the whole packets
    std::size_t whole = 0;  // bytes of whole packets from the start
};

RingShape shapeOf(const unsigned char* d, std::size_t size)
{
    RingShape shape;
    std::set<std::string_view> publicParts;  // a key found twice counts once
    std::size_t body = 0, end = 0;
    int tag = 0;
    while (packetAt(d, size, shape.whole, tag, body, end)) {
        if (tag == kTagSecretKey || tag == kTagPublicKey) {
            const std::size_t length = tag == kTagPublicKey ? end - body : publicPartLength(d + body, end - body);
            const auto* start = reinterpret_cast<const char*>(d + (length ? body : shape.whole));
            publicParts.insert(std::string_view(start, length ? length : end - shape.whole));
        }
        shape.whole = end;
    }
    shape.keys = publicParts.size();
    return shape;
}

// The fingerprint of the key a block starts with; empty when it cannot be told.
std::string blockFingerprint(const unsigned char* block, std::size_t length)
{
    std::size_t body = 0, end = 0;
    int tag = 0;
    return packetAt(block, length, 0, tag, body, end) ? keyPacketFingerprint(tag, block + body, end - body)
                                                       : std::string();
}

// The fingerprints of the primary keys librnp reports in an import's result.
std::set<std::string> primaryKeysIn(rnp_ffi_t ffi, const std::string& report)
{
    std::set<std::string> primaries;
    const std::string_view marker = "\"fingerprint\":";
    for (auto at = report.find(marker); at != std::string::npos; at = report.find(marker, at + 1)) {
        const auto open = report.find('"', at + marker.size());
        const auto close = report.find('"', open + 1);
        if (open == std::string::npos || close == std::string::npos)
            break;
        const std::string fpr = report.substr(open + 1, close - open - 1);
        rnp_key_handle_t raw = nullptr;
        if (rnp_locate_key(ffi, "fingerprint", fpr.c_str(), &raw) != RNP_SUCCESS || !raw)
            continue;
        KeyHandle key(raw);
        bool primary = false;
        if (rnp_key_is_primary(key.get(), &primary) == RNP_SUCCESS && primary)
            primaries.insert(fpr);
    }
    return primaries;
}

// Imports permissively: librnp leaves out the keys it cannot read. Null
// when it refused the data as a whole.
bool importKeys(rnp_ffi_t ffi, const unsigned char* bytes, std::size_t size, std::uint32_t flags,
                std::string& report)
{
    rnp_input_t raw = nullptr;
    if (rnp_input_from_memory(&raw, bytes, size, false) != RNP_SUCCESS)
        return false;
    InputHandle input(raw);
    char* results = nullptr;
    const rnp_result_t r = rnp_import_keys(ffi, input.get(), flags | RNP_LOAD_SAVE_PERMISSIVE, &results);
    report = takeRnpString(results);
    return r == RNP_SUCCESS;
}

// Where each transferable key of a binary stream starts: at each primary
// key packet, public or secret.
std::vector<std::size_t> keyStarts(const unsigned char* d, std::size_t size)
{
    std::vector<std::size_t> starts;
    std::size_t pos = 0, body = 0, end = 0;
    int tag = 0;
    while (packetAt(d, size, pos, tag, body, end)) {
        if (tag == kTagSecretKey || tag == kTagPublicKey)
            starts.push_back(pos);
        pos = end;
    }
    return starts;
}

// What names a key that could not be read: its first user ID (cut short),
// else its place in the file.
std::string nameOfBlock(const unsigned char* d, std::size_t size, std::size_t index)
{
    constexpr std::size_t kShown = 80;
    std::size_t pos = 0, body = 0, end = 0;
    int tag = 0;
    while (packetAt(d, size, pos, tag, body, end)) {
        if (tag == kTagUserId) {
            std::string text(reinterpret_cast<const char*>(d + body), std::min(end - body, kShown));
            return end - body > kShown ? text + "..." : text;
        }
        pos = end;
    }
    return "key " + std::to_string(index + 1) + " (no user ID)";
}

// Takes the keys one at a time, so that a key librnp refuses costs only
// itself: the others are imported, and the refused ones are named. A key
// the whole file's import already brought in (loaded) is not read again:
// alone, its bytes would give the same.
RingImport importKeyByKey(rnp_ffi_t ffi, const unsigned char* d, std::vector<std::size_t> starts, std::size_t whole,
                          std::uint32_t flags, const std::set<std::string>& loaded)
{
    RingImport result;
    starts.push_back(whole);
    std::size_t keys = 0;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const unsigned char* block = d + starts[i];
        const std::size_t length = starts[i + 1] - starts[i];
        if (!loaded.empty() && loaded.count(blockFingerprint(block, length))) {
            ++keys;
            continue;
        }
        std::string report;
        const std::size_t found = importKeys(ffi, block, length, flags, report) ? primaryKeysIn(ffi, report).size() : 0;
        keys += found;
        if (found == 0) {
            ++result.skipped;
            result.leftOut.push_back(nameOfBlock(block, length, i));
        }
    }
    if (keys == 0)
        return {kPGPError_CorruptKeyRing, 0, {}};
    return result;
}

RingImport importBinary(rnp_ffi_t ffi, const unsigned char* d, std::size_t size, std::uint32_t flags)
{
    const RingShape shape = shapeOf(d, size);
    std::string report;
    const bool ok = importKeys(ffi, d, size, flags, report);
    const std::set<std::string> loaded = ok ? primaryKeysIn(ffi, report) : std::set<std::string>();
    if (ok && loaded.size() >= shape.keys) {
        if (loaded.empty())
            return {kPGPError_CorruptKeyRing, 0, {}};
        return {kPGPError_NoErr, shape.whole < size, {}};
    }
    // A key librnp refused, or damage after the last whole packet, would
    // cost every key beside it: they are taken one by one. A file that is
    // one key and nothing after it was just read so, and refused.
    std::vector<std::size_t> starts = keyStarts(d, shape.whole);
    if (shape.whole == 0 || (starts.size() == 1 && starts[0] == 0 && shape.whole == size))
        return {kPGPError_CorruptKeyRing, 0, {}};
    RingImport result = importKeyByKey(ffi, d, std::move(starts), shape.whole, flags, loaded);
    result.skipped += shape.whole < size;
    return result;
}

bool isArmoured(const std::vector<char>& bytes)
{
    const std::string_view text(bytes.data(), std::min<std::size_t>(bytes.size(), 4096));
    return text.find("-----BEGIN PGP ") != std::string_view::npos;
}

// The armour's binary content, wiped when it goes.
class Dearmoured {
public:
    explicit Dearmoured(const std::vector<char>& text)
    {
        rnp_input_t in = nullptr;
        rnp_output_t out = nullptr;
        if (rnp_input_from_memory(&in, reinterpret_cast<const uint8_t*>(text.data()), text.size(), false) != RNP_SUCCESS)
            return;
        InputHandle input(in);
        if (rnp_output_to_memory(&out, 0) != RNP_SUCCESS)
            return;
        output_.reset(out);
        if (rnp_dearmor(input.get(), output_.get()) != RNP_SUCCESS ||
            rnp_output_memory_get_buf(output_.get(), &data_, &size_, false) != RNP_SUCCESS)
            data_ = nullptr, size_ = 0;
    }
    ~Dearmoured()
    {
        if (data_)
            wipeMemory(data_, size_);
    }
    Dearmoured(const Dearmoured&) = delete;
    Dearmoured& operator=(const Dearmoured&) = delete;
    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    OutputHandle output_;
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace

RingImport importRing(rnp_ffi_t ffi, const std::vector<char>& bytes, std::uint32_t flags)
{
    if (bytes.empty())
        return {};  // an empty file is an empty ring
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (!isArmoured(bytes))
        return importBinary(ffi, data, bytes.size(), flags);
    // Armour is taken as librnp reads it (several blocks included); only
    // when it refuses is the first block's content salvaged key by key.
    std::string report;
    if (importKeys(ffi, data, bytes.size(), flags, report) && !primaryKeysIn(ffi, report).empty())
        return {};
    Dearmoured binary(bytes);
    if (!binary.data() || binary.size() == 0)
        return {kPGPError_CorruptKeyRing, 0, {}};
    return importBinary(ffi, binary.data(), binary.size(), flags);
}

}  // namespace pgpsdk
