#include "flood_limits.h"

#include <cstring>

#include "hidden_recipients.h"
#include "key_image.h"
#include "key_model.h"
#include "ring_changes.h"
#include "rnp_handles.h"

namespace pgpsdk {

namespace {

enum Tag { kSignature = 2, kSecretKey = 5, kPublicKey = 6, kSecretSubkey = 7, kUserId = 13, kPublicSubkey = 14, kAttribute = 17 };

struct Cut {
    std::size_t userIds = 0, subkeys = 0, certifications = 0;
    bool any() const { return userIds || subkeys || certifications; }
};

// The issuer key ID of a signature packet: its issuer subpacket, or the last
// eight bytes of its issuer fingerprint; empty when it names none.
std::string issuerOf(const unsigned char* b, std::size_t size)
{
    if (size >= 15 && b[0] == 3)
        return std::string(reinterpret_cast<const char*>(b + 7), 8);
    if (size < 6 || b[0] != 4)
        return {};
    std::size_t pos = 4;
    for (int area = 0; area < 2 && pos + 2 <= size; ++area) {
        const std::size_t end = pos + 2 + (std::size_t {b[pos]} << 8 | b[pos + 1]);
        for (pos += 2; pos < end && end <= size;) {
            std::size_t len = b[pos], head = 1;
            if (len >= 192 && len < 255 && pos + 1 < end)
                len = ((len - 192) << 8) + b[pos + 1] + 192, head = 2;
            else if (len == 255 && pos + 4 < end)
                len = std::size_t {b[pos + 1]} << 24 | b[pos + 2] << 16 | b[pos + 3] << 8 | b[pos + 4], head = 5;
            if (len == 0 || pos + head + len > end)
                return {};
            const unsigned type = b[pos + head] & 0x7f;
            const unsigned char* value = b + pos + head + 1;
            if (type == 16 && len == 9)
                return std::string(reinterpret_cast<const char*>(value), 8);
            if (type == 33 && len == 22)
                return std::string(reinterpret_cast<const char*>(value + 13), 8);
            pos += head + len;
        }
        pos = end;
    }
    return {};
}

// One transferable key with its packets bounded; ownId: the key's key ID
// (eight bytes), which tells its self-signatures.
std::vector<std::uint8_t> boundKey(const std::vector<std::uint8_t>& key, const std::string& ownId, Cut& cut)
{
    std::vector<std::uint8_t> out;
    out.reserve(key.size());  // never moved: it may hold secret key packets
    std::size_t pos = 0, body = 0, end = 0, userIds = 0, subkeys = 0, certifications = 0;
    int tag = 0;
    bool keep = true, onSubkey = false;
    while (packetAt(key.data(), key.size(), pos, tag, body, end)) {
        bool keepPacket = keep;
        if (tag == kUserId || tag == kAttribute) {
            keepPacket = keep = ++userIds <= kMaxUserIds;
            cut.userIds += !keep, certifications = 0, onSubkey = false;
        } else if (tag == kPublicSubkey || tag == kSecretSubkey) {
            keepPacket = keep = ++subkeys <= kMaxSubkeys;
            cut.subkeys += !keep, onSubkey = true;
        } else if (tag == kPublicKey || tag == kSecretKey) {
            keepPacket = keep = true, certifications = 0, onSubkey = false;
        } else if (tag == kSignature && keep && !onSubkey && issuerOf(key.data() + body, end - body) != ownId) {
            keepPacket = ++certifications <= kMaxCertifications;
            cut.certifications += !keepPacket;
        }
        if (keepPacket)
            out.insert(out.end(), key.begin() + static_cast<std::ptrdiff_t>(pos), key.begin() + static_cast<std::ptrdiff_t>(end));
        pos = end;
    }
    return out;
}

bool floods(rnp_key_handle_t key)
{
    std::size_t subkeys = 0, userIds = 0;
    rnp_key_get_subkey_count(key, &subkeys);
    rnp_key_get_uid_count(key, &userIds);
    if (subkeys > kMaxSubkeys || userIds > kMaxUserIds)
        return true;
    for (std::size_t i = 0; i < userIds; ++i) {
        rnp_uid_handle_t raw = nullptr;
        std::size_t sigs = 0;
        if (rnp_key_get_uid_handle_at(key, i, &raw) == RNP_SUCCESS && raw) {
            UidHandle uid(raw);
            rnp_uid_get_signature_count(uid.get(), &sigs);
        }
        if (sigs > kMaxCertifications)
            return true;
    }
    std::size_t direct = 0;
    rnp_key_get_signature_count(key, &direct);
    return direct > kMaxCertifications;
}

// Exports one part (public or secret) of a key, as librnp writes it.
std::vector<std::uint8_t> exportPart(rnp_key_handle_t key, std::uint32_t part)
{
    std::vector<std::uint8_t> bytes;
    rnp_output_t raw = nullptr;
    if (rnp_output_to_memory(&raw, 0) != RNP_SUCCESS)
        return bytes;
    OutputHandle out(raw);
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (rnp_key_export(key, out.get(), part | RNP_KEY_EXPORT_SUBKEYS) == RNP_SUCCESS &&
        rnp_output_memory_get_buf(out.get(), &data, &size, false) == RNP_SUCCESS)
        bytes.assign(data, data + size);
    wipeMemory(data, size);
    return bytes;
}

std::string noteOf(rnp_key_handle_t key, const Cut& cut)
{
    char* uid = nullptr;
    std::string name = rnp_key_get_primary_uid(key, &uid) == RNP_SUCCESS ? takeRnpString(uid) : std::string();
    if (name.empty())
        name = "0x" + upperHex(rnpText(rnp_key_get_keyid, key));
    std::string what;
    auto add = [&](std::size_t n, const char* kind) {
        if (n)
            what += (what.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    };
    add(cut.subkeys, "subkeys");
    add(cut.userIds, "user IDs");
    add(cut.certifications, "certifications by other keys");
    return name + ": " + what + " left out (more than one key may bring)";
}

// Puts the key back bounded; its note in note.
bool boundOne(rnp_ffi_t ffi, const std::string& fingerprint, std::string& note)
{
    rnp_key_handle_t raw = nullptr;
    if (rnp_locate_key(ffi, "fingerprint", fingerprint.c_str(), &raw) != RNP_SUCCESS || !raw)
        return false;
    KeyHandle key(raw);
    if (!floods(key.get()))
        return true;
    const std::string hex = rnpText(rnp_key_get_keyid, key.get());
    std::string ownId;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        ownId += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    bool secret = false;
    rnp_key_have_secret(key.get(), &secret);
    Cut cut, secretCut;
    KeyImage bounded;
    bounded.bytes = boundKey(exportPart(key.get(), RNP_KEY_EXPORT_PUBLIC), ownId, cut);
    if (secret) {
        std::vector<std::uint8_t> part = exportPart(key.get(), RNP_KEY_EXPORT_SECRET);
        std::vector<std::uint8_t> cutPart = boundKey(part, ownId, secretCut);
        wipeMemory(part.data(), part.size());
        bounded.bytes.reserve(bounded.bytes.size() + cutPart.size());
        bounded.bytes.insert(bounded.bytes.end(), cutPart.begin(), cutPart.end());
        wipeMemory(cutPart.data(), cutPart.size());
    }
    note = noteOf(key.get(), cut);
    key.reset();
    return removeWholeKey(ffi, fingerprint) && importImage(ffi, bounded);
}

}  // namespace

bool boundFloodedKeys(rnp_ffi_t ffi, std::vector<std::string>& notes)
{
    bool ok = true;
    for (const std::string& fp : primaryFingerprints(ffi)) {
        std::string note;
        ok = boundOne(ffi, fp, note) && ok;
        if (!note.empty())
            notes.push_back(note);
    }
    return ok;
}

}  // namespace pgpsdk
