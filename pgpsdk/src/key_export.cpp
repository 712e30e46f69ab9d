// PGPExportKeySet on librnp: the keys of a set as transferable keys, and
// the fingerprint of a key as bytes.
#include <cstdarg>
#include <cstdint>

#include "boundary.h"
#include "entry_point.h"
#include "job_output.h"
#include "key_output.h"
#include "options.h"

using namespace pgpsdk;

namespace {

struct ExportOptions {
    OptionList holder;  // owns the options
    const Option* output = nullptr;
    bool armor = false;
    bool secret = false;
};

bool gatherExport(PGPOptionListRef first, va_list args, ExportOptions& out)
{
    const bool ok = takeOptions(first, args, out.holder, [&](const Option& o) {
        switch (o.kind) {
        case OptionKind::AllocatedOutput:
        case OptionKind::OutputFile: out.output = &o; return true;
        case OptionKind::Armor: out.armor = o.armor; return true;
        case OptionKind::ExportPrivate: out.secret = o.armor; return true;
        default: return false;
        }
    });
    return ok && out.output;
}

// Each key with its subkeys into target, one after the other.
PGPError writeKeys(const KeySet& set, bool secret, rnp_output_t target)
{
    const std::uint32_t flags = RNP_KEY_EXPORT_SUBKEYS | (secret ? RNP_KEY_EXPORT_SECRET : RNP_KEY_EXPORT_PUBLIC);
    for (const KeyRef& key : set.keys) {
        if (!key->handle || (secret && !key->secret))
            return kPGPError_ItemNotFound;  // removed, or no secret part
        if (rnp_key_export(key->handle, target, flags) != RNP_SUCCESS)
            return kPGPError_CorruptKeyRing;
    }
    return kPGPError_NoErr;
}

PGPError exportKeys(const KeySet& set, const ExportOptions& o)
{
    if (set.keys.empty())
        return kPGPError_ItemNotFound;
    return writeKeyOutput(*o.output, o.armor, o.secret, [&](rnp_output_t target) { return writeKeys(set, o.secret, target); });
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

}  // namespace

// Secret key material goes from librnp to the output without a copy of its
// own; armour is added on the way.
PGPError pgpsdk::writeKeyOutput(const Option& output, bool armor, bool secret,
                                const std::function<PGPError(rnp_output_t)>& write)
{
    PGPError why = kPGPError_NoErr;
    std::unique_ptr<JobOutput> sink = makeOutput(output, 65536, output.maxSize, why, secret);
    if (!sink)
        return why;
    if (armor)
        sink = withUnixLineEnds(std::move(sink));
    OutputHandle base(rnpOutputTo(*sink));
    OutputHandle armored;  // destroyed before base
    if (!base)
        return kPGPError_OutOfMemory;
    rnp_output_t target = base.get();
    if (armor) {
        rnp_output_t raw = nullptr;
        if (rnp_output_to_armor(base.get(), &raw, secret ? "secret key" : "public key") != RNP_SUCCESS)
            return kPGPError_OutOfMemory;
        armored.reset(raw);
        target = raw;
    }
    if (PGPError e = write(target))
        return e;
    if (armored && rnp_output_finish(armored.get()) != RNP_SUCCESS)
        return sink->failure() ? sink->failure() : kPGPError_WriteFailed;
    armored.reset();
    base.reset();
    if (PGPError e = sink->failure())
        return e;
    return sink->deliver();
}

extern "C" {

PGPError PGPExportKeySet(PGPKeySetRef keys, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    const PGPError result = withOptions<KeySet>(keys, Tag::KeySet, [&](KeySet* set) -> PGPError {
        ExportOptions options;
        const bool ok = gatherExport(firstOption, args, options);
        if (!set || !ok)
            return kPGPError_BadParams;
        return exportKeys(*set, options);
    });
    va_end(args);
    return result;
}

PGPError PGPGetKeyPropertyBuffer(PGPKeyRef keyRef, PGPInt32 property, PGPSize bufferSize, void* buffer, PGPSize* length)
{
    return onObject<Key>(keyRef, Tag::Key, !(!length || (!buffer && bufferSize) || property != kPGPKeyPropFingerprint), [&](Key* key) -> PGPError {
        const std::string& hex = key->fingerprint;
        *length = hex.size() / 2;
        if (bufferSize < *length)
            return kPGPError_BufferTooSmall;
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::size_t i = 0; i < *length; ++i)
            out[i] = static_cast<std::uint8_t>(hexValue(hex[2 * i]) << 4 | hexValue(hex[2 * i + 1]));
        return kPGPError_NoErr;
    });
}

}  // extern "C"
