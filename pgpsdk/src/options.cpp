// Option makers and option lists.
#include <algorithm>
#include "options.h"

#include "boundary.h"
#include "entry_point.h"

namespace pgpsdk {

OptionList::~OptionList()
{
    for (Option& o : options) {
        if (o.keySet) {
            releaseKeySet(o.keySet);
            o.keySet = nullptr;
        }
    }
}

namespace {

// The end marker of every option list: made once, never changed.
struct LastOptionSentinel : OptionList {
    LastOptionSentinel() { sentinel = true; }
};
LastOptionSentinel lastOptionSentinel;
constexpr int kMaxOptionsPerCall = 256;

OptionList* makeOption(PGPContextRef context, Option option)
{
    auto* ctx = as<Context>(context, Tag::Context);
    auto* list = new OptionList();
    if (ctx)
        list->core = ctx->core;
    else
        option.kind = OptionKind::Invalid;
    list->options.push_back(std::move(option));
    return list;
}

// Moves the options of a one-option list into out and frees the list; a
// caller's list (from PGPBuildOptionList) is copied and left alone.
bool takeList(OptionList* list, std::vector<Option>& out)
{
    bool valid = true;
    if (list->persistent) {
        for (const Option& o : list->options) {
            if (o.kind == OptionKind::Invalid)
                valid = false;
            out.push_back(o);
            if (o.keySet)
                retainKeySet(o.keySet);
        }
        return valid;
    }
    for (Option& o : list->options) {
        if (o.kind == OptionKind::Invalid)
            valid = false;
        out.push_back(std::move(o));
        o.keySet = nullptr;  // ownership moved with the option
    }
    list->options.clear();
    delete list;
    return valid;
}

// One option made by fill; null (the SDK's "no option") when making it threw.
template <typename Fill> PGPOptionListRef makeFilled(PGPContextRef context, Fill fill)
{
    try {
        Option o;
        fill(o);
        return reinterpret_cast<PGPOptionListRef>(makeOption(context, std::move(o)));
    } catch (...) {
        return nullptr;
    }
}

// An option made from the options nested in it (taken from args).
template <typename Fill>
PGPOptionListRef makeNested(PGPContextRef context, PGPOptionListRef first, va_list args, Fill fill)
{
    return makeFilled(context, [&](Option& o) {
        std::vector<Option> sub;
        const bool ok = consumeOptions(first, args, sub);
        fill(o, ok, sub);
    });
}

// An option holding an object of the rings: hold keeps a reference to it,
// so that it outlives the caller's set.
template <typename T, typename Hold>
PGPOptionListRef heldOption(PGPContextRef context, void* ref, Tag tag, OptionKind kind, Hold hold)
{
    return makeFilled(context, [&](Option& o) {
        T* object = as<T>(ref, tag);
        o.kind = object ? kind : OptionKind::Invalid;
        if (object) {
            std::lock_guard lock(object->core->mutex);
            hold(o, object);
        }
    });
}

PGPOptionListRef keyOption(PGPContextRef context, PGPKeyRef keyRef, OptionKind kind)
{
    return heldOption<Key>(context, keyRef, Tag::Key, kind, [](Option& o, Key* key) { o.key = key->shared_from_this(); });
}

PGPOptionListRef keySetOption(PGPContextRef context, PGPKeySetRef keySet, OptionKind kind)
{
    return heldOption<KeySet>(context, keySet, Tag::KeySet, kind, [](Option& o, KeySet* set) {
        retainKeySet(set);
        o.keySet = set;
    });
}

// An option naming the file of a file spec (the path is copied).
PGPOptionListRef fileOption(PGPContextRef context, PGPFileSpecRef fileSpec, OptionKind kind)
{
    return makeFilled(context, [&](Option& o) {
        auto* spec = as<FileSpec>(fileSpec, Tag::FileSpec);
        o.kind = spec ? kind : OptionKind::Invalid;
        if (spec)
            o.path = spec->path;
        o.maxSize = static_cast<PGPSize>(-1);  // a file is limited by its disk
    });
}

}  // namespace

bool consumeOptions(PGPOptionListRef first, va_list args, std::vector<Option>& out)
{
    bool ok = true;
    OptionList* current = as<OptionList>(first, Tag::OptionList);
    if (first && !current)
        return false;
    int count = 0;
    bool firstDone = false;
    while (true) {
        if (firstDone) {
            PGPOptionListRef next = va_arg(args, PGPOptionListRef);
            current = as<OptionList>(next, Tag::OptionList);
            if (!current) {
                ok = false;  // a missing sentinel or a foreign pointer: stop here
                break;
            }
        }
        firstDone = true;
        if (!current || current->sentinel)
            break;
        if (++count > kMaxOptionsPerCall) {
            ok = false;
            break;
        }
        if (!takeList(current, out))
            ok = false;
    }
    return ok;
}

}  // namespace pgpsdk

using namespace pgpsdk;

extern "C" {

PGPOptionListRef PGPOLastOption(PGPContextRef)
{
    return reinterpret_cast<PGPOptionListRef>(&lastOptionSentinel);
}

PGPOptionListRef PGPOEventHandler(PGPContextRef context, PGPEventHandlerProcPtr handler, void* userValue)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = handler ? OptionKind::EventHandler : OptionKind::Invalid;
        o.handler = handler;
        o.userValue = userValue;
    });
}

PGPOptionListRef PGPOInputBuffer(PGPContextRef context, const void* buffer, PGPSize bufferSize)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = (buffer || bufferSize == 0) ? OptionKind::InputBuffer : OptionKind::Invalid;
        o.input = buffer;
        o.inputSize = bufferSize;
    });
}

PGPOptionListRef PGPOInputFile(PGPContextRef context, PGPFileSpecRef fileSpec)
{
    return fileOption(context, fileSpec, OptionKind::InputFile);
}

PGPOptionListRef PGPOOutputFile(PGPContextRef context, PGPFileSpecRef fileSpec)
{
    return fileOption(context, fileSpec, OptionKind::OutputFile);
}

PGPOptionListRef PGPOAllocatedOutputBuffer(PGPContextRef context, void** buffer, PGPSize maximumSize,
                                           PGPSize* actualSize)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = (buffer && actualSize) ? OptionKind::AllocatedOutput : OptionKind::Invalid;
        o.outBuffer = buffer;
        o.maxSize = maximumSize;
        o.outSize = actualSize;
    });
}

PGPOptionListRef PGPOArmorOutput(PGPContextRef context, PGPBoolean armor)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::Armor;
        o.armor = armor != 0;
    });
}

PGPOptionListRef PGPOExportPrivateKeys(PGPContextRef context, PGPBoolean exportKeys)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::ExportPrivate;
        o.armor = exportKeys != 0;  // the flag's value
    });
}

PGPOptionListRef PGPOSendNullEvents(PGPContextRef context, PGPUInt32 approxIntervalMs)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::NullEvents;
        o.intervalMs = std::max<PGPUInt32>(approxIntervalMs, 50);  // at most 20 a second
    });
}

PGPOptionListRef tolvOStopFlag(PGPContextRef context, const PGPUInt32* flag)
{
    if (!flag)
        return nullptr;
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::StopFlag;
        o.stopFlag = flag;
    });
}

PGPOptionListRef PGPOPassphrase(PGPContextRef context, const char* passphrase)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = passphrase ? OptionKind::Passphrase : OptionKind::Invalid;
        if (passphrase) {
            o.passphrase = SecretText(passphrase);
            o.hasPassphrase = true;
        }
    });
}

PGPOptionListRef PGPOSignWithKey(PGPContextRef context, PGPKeyRef keyRef, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    PGPOptionListRef list = makeNested(context, firstOption, args, [&](Option& o, bool ok, std::vector<Option>& sub) {
        auto* key = as<Key>(keyRef, Tag::Key);
        o.kind = (key && ok) ? OptionKind::SignWithKey : OptionKind::Invalid;
        if (key) {
            std::lock_guard lock(key->core->mutex);
            o.key = key->shared_from_this();
        }
        for (Option& s : sub) {
            if (s.kind == OptionKind::Passphrase) {
                o.passphrase = s.passphrase;
                o.hasPassphrase = true;
            } else {
                o.kind = OptionKind::Invalid;  // only a passphrase belongs here
            }
        }
    });
    va_end(args);
    return list;
}

PGPOptionListRef PGPOEncryptToKeySet(PGPContextRef context, PGPKeySetRef keySet)
{
    return keySetOption(context, keySet, OptionKind::EncryptToKeySet);
}

PGPOptionListRef PGPOKeySetRef(PGPContextRef context, PGPKeySetRef keySet)
{
    return keySetOption(context, keySet, OptionKind::KeySetRef);
}

PGPError PGPBuildOptionList(PGPContextRef context, PGPOptionListRef* outList, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    if (outList)
        *outList = nullptr;
    PGPError result = withOptions<Context>(context, Tag::Context, [&](Context* ctx) -> PGPError {
        std::vector<Option> options;
        bool ok = consumeOptions(firstOption, args, options);
        auto list = std::make_unique<OptionList>();
        list->options = std::move(options);
        if (!ctx || !outList || !ok)
            return kPGPError_BadParams;
        list->core = ctx->core;
        list->persistent = true;
        *outList = reinterpret_cast<PGPOptionListRef>(list.release());
        return kPGPError_NoErr;
    });
    va_end(args);
    return result;
}

PGPError PGPAppendOptionList(PGPContextRef context, PGPOptionListRef listRef, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    auto* list = as<OptionList>(listRef, Tag::OptionList);
    PGPError result = withOptions<Context>(context, Tag::Context, [&](Context* ctx) -> PGPError {
        std::vector<Option> options;
        bool ok = consumeOptions(firstOption, args, options);
        if (!ctx || !list || list->sentinel || !ok) {
            OptionList discard;
            discard.options = std::move(options);
            return kPGPError_BadParams;
        }
        for (Option& o : options) {
            list->options.push_back(std::move(o));
            o.keySet = nullptr;
        }
        return kPGPError_NoErr;
    });
    va_end(args);
    return result;
}

PGPError PGPFreeOptionList(PGPOptionListRef listRef)
{
    return freeObject<OptionList>(listRef, Tag::OptionList, [](OptionList* list) -> PGPError {
        if (list->sentinel)
            return kPGPError_BadParams;
        delete list;
        return kPGPError_NoErr;
    });
}


PGPOptionListRef PGPOClearSign(PGPContextRef context, PGPBoolean clearSign)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::ClearSign;
        o.armor = clearSign != 0;  // the flag's value
    });
}

PGPOptionListRef PGPOEncryptToKey(PGPContextRef context, PGPKeyRef key)
{
    return keyOption(context, key, OptionKind::EncryptToKey);
}

PGPOptionListRef PGPOConventionalEncrypt(PGPContextRef context, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    PGPOptionListRef list = makeNested(context, firstOption, args, [](Option& o, bool ok, std::vector<Option>& sub) {
        // Exactly one passphrase belongs here: the message's password.
        const bool one = ok && sub.size() == 1 && sub[0].kind == OptionKind::Passphrase;
        o.kind = one ? OptionKind::Conventional : OptionKind::Invalid;
        if (one) {
            o.passphrase = sub[0].passphrase;
            o.hasPassphrase = true;
        }
    });
    va_end(args);
    return list;
}

PGPOptionListRef PGPODetachedSig(PGPContextRef context, PGPOptionListRef firstOption, ...)
{
    va_list args;
    va_start(args, firstOption);
    PGPOptionListRef list = makeNested(context, firstOption, args, [](Option& o, bool ok, std::vector<Option>& sub) {
        // Encoding takes none; decoding, the signed data as an input.
        const bool fits = ok && (sub.empty() || (sub.size() == 1 && (sub[0].kind == OptionKind::InputBuffer ||
                                                                    sub[0].kind == OptionKind::InputFile)));
        o.kind = fits ? OptionKind::DetachedSig : OptionKind::Invalid;
        if (fits && !sub.empty()) {
            o.dataKind = sub[0].kind;
            o.input = sub[0].input;
            o.inputSize = sub[0].inputSize;
            o.path = sub[0].path;
        }
    });
    va_end(args);
    return list;
}

PGPOptionListRef PGPOImportKeysTo(PGPContextRef context, PGPKeySetRef keySet)
{
    return keySetOption(context, keySet, OptionKind::ImportKeysTo);
}

PGPOptionListRef PGPOKeyGenParams(PGPContextRef context, PGPInt32 algorithm, PGPUInt32 bits)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::KeyGenParams;
        o.algorithm = algorithm;
        o.bits = bits;
    });
}

PGPOptionListRef PGPOKeyGenName(PGPContextRef context, const void* name, PGPSize nameLength)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = name && nameLength ? OptionKind::KeyGenName : OptionKind::Invalid;
        if (name)
            o.name.assign(static_cast<const char*>(name), nameLength);
    });
}

PGPOptionListRef PGPOKeyGenMasterKey(PGPContextRef context, PGPKeyRef masterKey)
{
    return keyOption(context, masterKey, OptionKind::KeyGenMasterKey);
}

PGPOptionListRef PGPOExportable(PGPContextRef context, PGPBoolean exportable)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::Exportable;
        o.armor = exportable != 0;  // the flag's value
    });
}

PGPOptionListRef tolvORevocationReason(PGPContextRef context, PGPUInt32 code, char const* text)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::RevocationReason;
        o.code = code;
        o.name = text ? text : "";
    });
}

PGPOptionListRef tolvOKeyUsage(PGPContextRef context, PGPUInt32 usage)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = usage <= kTolvKeyUsage_Sign ? OptionKind::KeyUsage : OptionKind::Invalid;
        o.code = usage;
    });
}

PGPOptionListRef PGPOExpiration(PGPContextRef context, PGPUInt32 expirationDays)
{
    return makeFilled(context, [&](Option& o) {
        o.kind = OptionKind::Expiration;
        o.days = expirationDays;
    });
}

}  // extern "C"
