#include "ring_import.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "hidden_recipients.h"
#include "rnp_handles.h"
#include "platform/secret_text.h"

namespace pgpsdk {

namespace {

constexpr int kTagSecretKey = 5;
constexpr int kTagPublicKey = 6;
constexpr int kTagUserId = 13;

struct RingShape {
    std::size_t keys = 0;   // distinct primary keys among the whole packets
    std::size_t whole = 0;  // bytes of whole packets from the start
};

// The length of a key packet body's public part (version, time, algorithm
// and public values), 0 when it cannot be told.
std::size_t publicPartLength(const unsigned char* b, std::size_t size)
{
    if (size < 6 || (b[0] != 4 && b[0] != 3))
        return 0;
    std::size_t pos = b[0] == 3 ? 8 : 6;  // a v3 key has two bytes of validity days
    const unsigned algorithm = b[pos - 1];
    auto mpis = [&](int n) {
        for (int i = 0; i < n && pos + 2 <= size; ++i)
            pos += 2 + ((std::size_t {b[pos]} << 8 | b[pos + 1]) + 7) / 8;
    };
    auto field = [&] {  // one length byte, then the bytes (curve OIDs, KDF parameters)
        if (pos < size)
            pos += 1 + b[pos];
    };
    if (algorithm >= 1 && algorithm <= 3)  // RSA
        mpis(2);
    else if (algorithm == 16)
        mpis(3);
    else if (algorithm == 17)
        mpis(4);
    else if (algorithm == 19 || algorithm == 22)
        field(), mpis(1);
    else if (algorithm == 18)
        field(), mpis(1), field();
    else
        return 0;
    return pos <= size ? pos : 0;
}

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

// The primary keys librnp reports in an import's result.
std::size_t primaryKeysIn(rnp_ffi_t ffi, const std::string& report)
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
    return primaries.size();
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
// itself: the others are imported, and the refused ones are named.
RingImport importKeyByKey(rnp_ffi_t ffi, const unsigned char* d, std::size_t whole, std::uint32_t flags)
{
    RingImport result;
    std::vector<std::size_t> starts = keyStarts(d, whole);
    starts.push_back(whole);
    std::size_t loaded = 0;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const unsigned char* block = d + starts[i];
        const std::size_t length = starts[i + 1] - starts[i];
        std::string report;
        const std::size_t keys = importKeys(ffi, block, length, flags, report) ? primaryKeysIn(ffi, report) : 0;
        loaded += keys;
        if (keys == 0) {
            ++result.skipped;
            result.leftOut.push_back(nameOfBlock(block, length, i));
        }
    }
    if (loaded == 0)
        return {kPGPError_CorruptKeyRing, 0, {}};
    return result;
}

RingImport importBinary(rnp_ffi_t ffi, const unsigned char* d, std::size_t size, std::uint32_t flags)
{
    const RingShape shape = shapeOf(d, size);
    std::string report;
    const bool ok = importKeys(ffi, d, size, flags, report);
    const std::size_t loaded = ok ? primaryKeysIn(ffi, report) : 0;
    RingImport result;
    if (!ok || loaded < shape.keys) {
        // A key librnp refused, or damage after the last whole packet,
        // would cost every key beside it: they are taken one by one.
        if (shape.whole == 0)
            return {kPGPError_CorruptKeyRing, 0, {}};
        result = importKeyByKey(ffi, d, shape.whole, flags);
    } else if (loaded == 0) {
        return {kPGPError_CorruptKeyRing, 0, {}};
    }
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
    if (importKeys(ffi, data, bytes.size(), flags, report) && primaryKeysIn(ffi, report) > 0)
        return {};
    Dearmoured binary(bytes);
    if (!binary.data() || binary.size() == 0)
        return {kPGPError_CorruptKeyRing, 0, {}};
    return importBinary(ffi, binary.data(), binary.size(), flags);
}

}  // namespace pgpsdk
