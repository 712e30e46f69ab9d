// Key sets, user-ID filters, ordered key lists and iterators.
#include <algorithm>
#include <clocale>
#include <cwctype>
#include <locale.h>

#include "boundary.h"
#include "entry_point.h"
#include "key_model.h"
#include "objects.h"

namespace pgpsdk {

void retainKeySet(KeySet* set) { ++set->refCount; }

void releaseKeySet(KeySet* set)
{
    if (--set->refCount <= 0)
        delete set;
}

}  // namespace pgpsdk

using namespace pgpsdk;

namespace {

// Case-folded copy of UTF-8 text, for comparisons that ignore case in any script.
// The UTF-8 locale for case folding; given back when the library is unloaded.
struct Utf8Locale {
    Utf8Locale() : locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))) {}
    ~Utf8Locale()
    {
        if (locale)
            freelocale(locale);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;
    locale_t locale;
};

std::u32string fold(const std::string& s)
{
    static const Utf8Locale utf8Locale;
    locale_t utf8 = utf8Locale.locale;
    std::u32string out;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t i = 0, n = s.size();
    while (i < n) {
        char32_t c = p[i];
        std::size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
        if (extra && i + extra < n) {
            c &= (0x3F >> extra);
            for (std::size_t k = 1; k <= extra; ++k)
                c = (c << 6) | (p[i + k] & 0x3F);
        } else {
            extra = 0;
        }
        i += extra + 1;
        out += utf8 ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8))
                    : static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return out;
}

bool userIdMatches(const Key& key, const std::u32string& want, PGPUInt32 match)
{
    auto test = [&](const std::string& text) {
        std::u32string t = fold(text);
        return match == kPGPMatchEqual ? t == want : t.find(want) != std::u32string::npos;
    };
    if (key.userIds.empty())
        return test(key.primaryUserId);
    return std::any_of(key.userIds.begin(), key.userIds.end(), [&](const auto& u) { return test(u->text); });
}

KeySet* newSetLike(const KeySet& from)
{
    auto* set = new KeySet();
    set->core = from.core;
    set->store = from.store;
    return set;
}

bool keyLess(const Key& a, const Key& b, PGPInt32 order)
{
    auto byUserId = [&] {
        std::u32string fa = fold(a.primaryUserId), fb = fold(b.primaryUserId);
        if (fa != fb)
            return fa < fb;
        return a.keyIdHex < b.keyIdHex;
    };
    switch (order) {
    case kPGPKeyIDOrdering:
        return a.keyIdHex != b.keyIdHex ? a.keyIdHex < b.keyIdHex : byUserId();
    case kPGPValidityOrdering:
    case kPGPTrustOrdering:
        return a.validity != b.validity ? a.validity < b.validity : byUserId();
    case kPGPEncryptKeySizeOrdering:
    case kPGPSigKeySizeOrdering:
        return a.bits != b.bits ? a.bits < b.bits : byUserId();
    case kPGPCreationOrdering:
        return a.creation != b.creation ? a.creation < b.creation : byUserId();
    case kPGPExpirationOrdering: {
        // Keys that never expire come last.
        PGPTime ea = a.expiration ? a.expiration : INT64_MAX;
        PGPTime eb = b.expiration ? b.expiration : INT64_MAX;
        return ea != eb ? ea < eb : byUserId();
    }
    default:
        return byUserId();
    }
}

}  // namespace

extern "C" {

PGPError PGPNewKeySet(PGPContextRef context, PGPKeySetRef* keySet)
{
    return onObject<Context>(context, Tag::Context, keySet, [&](Context* ctx) -> PGPError {
        auto* set = new KeySet();
        set->core = ctx->core;
        *keySet = reinterpret_cast<PGPKeySetRef>(set);
        return kPGPError_NoErr;
    });
}

PGPError PGPNewSingletonKeySet(PGPKeyRef key, PGPKeySetRef* keySet)
{
    return onObject<Key>(key, Tag::Key, keySet, [&](Key* k) -> PGPError {
        auto* set = new KeySet();
        set->core = k->core;
        set->store = k->store;
        set->keys.push_back(k->shared_from_this());
        *keySet = reinterpret_cast<PGPKeySetRef>(set);
        return kPGPError_NoErr;
    });
}

PGPError PGPFreeKeySet(PGPKeySetRef keySet)
{
    return freeObject<KeySet>(keySet, Tag::KeySet, [](KeySet* set) -> PGPError {
        releaseKeySet(set);
        return kPGPError_NoErr;
    });
}

PGPError PGPAddKeys(PGPKeySetRef keysToAdd, PGPKeySetRef target)
{
    auto* from = as<KeySet>(keysToAdd, Tag::KeySet);
    return onObject<KeySet>(target, Tag::KeySet, from, [&](KeySet* to) -> PGPError {
        if (!to->isMutable)
            return kPGPError_KeySetImmutable;
        if (from->keys.empty())
            return kPGPError_NoErr;
        if (to->store && from->store && to->store != from->store)
            return kPGPError_BadParams;  // keys of two different rings cannot be mixed
        if (!to->store)
            to->store = from->store;
        for (const auto& k : from->keys) {
            bool present = std::any_of(to->keys.begin(), to->keys.end(),
                                       [&](const KeyRef& t) { return t->fingerprint == k->fingerprint; });
            if (!present)
                to->keys.push_back(k);
        }
        to->indexed = false;
        return kPGPError_NoErr;
    });
}

PGPError PGPCountKeys(PGPKeySetRef keySet, PGPUInt32* numKeys)
{
    return onObject<KeySet>(keySet, Tag::KeySet, numKeys, [&](KeySet* set) -> PGPError {
        *numKeys = static_cast<PGPUInt32>(set->keys.size());
        return kPGPError_NoErr;
    });
}

PGPError PGPGetKeyByKeyID(PGPKeySetRef keySet, const PGPKeyID* keyID, PGPInt32 pubKeyAlgorithm, PGPKeyRef* outKey)
{
    if (!outKey)
        return kPGPError_BadParams;
    *outKey = nullptr;
    const bool ready = keyID && (keyID->opaqueBytes[0] == 4 || keyID->opaqueBytes[0] == 8);
    return onObject<KeySet>(keySet, Tag::KeySet, ready, [&](KeySet* set) -> PGPError {
        const std::string hex = hexFromKeyId(*keyID);
        for (const KeyRef& key : set->keys) {
            const bool idMatches = key->keyIdHex == hex || std::find(key->subkeyIds.begin(), key->subkeyIds.end(), hex) !=
                                                                key->subkeyIds.end();
            if (idMatches && (pubKeyAlgorithm == 0 || pubKeyAlgorithm == key->algorithm)) {
                *outKey = reinterpret_cast<PGPKeyRef>(key.get());
                return kPGPError_NoErr;
            }
        }
        return kPGPError_ItemNotFound;
    });
}

PGPError PGPNewUserIDStringFilter(PGPContextRef context, const char* userIDString, PGPUInt32 match,
                                  PGPFilterRef* outFilter)
{
    return onObject<Context>(context, Tag::Context, userIDString && outFilter, [&](Context* ctx) -> PGPError {
        *outFilter = nullptr;
        if (match != kPGPMatchSubString && match != kPGPMatchEqual)
            return kPGPError_BadParams;
        auto* f = new Filter();
        f->core = ctx->core;
        f->text = userIDString;
        f->match = match;
        *outFilter = reinterpret_cast<PGPFilterRef>(f);
        return kPGPError_NoErr;
    });
}

PGPError PGPFreeFilter(PGPFilterRef filter)
{
    return freeObject<Filter>(filter, Tag::Filter);
}

PGPError PGPFilterKeySet(PGPKeySetRef origSet, PGPFilterRef filter, PGPKeySetRef* resultSet)
{
    auto* f = as<Filter>(filter, Tag::Filter);
    return onObject<KeySet>(origSet, Tag::KeySet, f && resultSet, [&](KeySet* set) -> PGPError {
        *resultSet = nullptr;
        const std::u32string want = fold(f->text);
        KeySet* result = newSetLike(*set);
        for (const auto& k : set->keys)
            if (userIdMatches(*k, want, f->match))
                result->keys.push_back(k);
        *resultSet = reinterpret_cast<PGPKeySetRef>(result);
        return kPGPError_NoErr;
    });
}

PGPError PGPOrderKeySet(PGPKeySetRef keySet, PGPInt32 order, PGPKeyListRef* outList)
{
    return onObject<KeySet>(keySet, Tag::KeySet, outList, [&](KeySet* set) -> PGPError {
        *outList = nullptr;
        auto keys = std::make_shared<std::vector<KeyRef>>(set->keys);
        if (order != kPGPAnyOrdering) {
            std::stable_sort(keys->begin(), keys->end(),
                             [order](const KeyRef& a, const KeyRef& b) { return keyLess(*a, *b, order); });
        }
        auto* list = new KeyList();
        list->core = set->core;
        list->keys = keys;
        *outList = reinterpret_cast<PGPKeyListRef>(list);
        return kPGPError_NoErr;
    });
}

PGPError PGPFreeKeyList(PGPKeyListRef listRef)
{
    return freeObject<KeyList>(listRef, Tag::KeyList);
}

PGPError PGPNewKeyIter(PGPKeyListRef listRef, PGPKeyIterRef* outIter)
{
    return onObject<KeyList>(listRef, Tag::KeyList, outIter, [&](KeyList* list) -> PGPError {
        auto* it = new KeyIter();
        it->core = list->core;
        it->keys = list->keys;
        *outIter = reinterpret_cast<PGPKeyIterRef>(it);
        return kPGPError_NoErr;
    });
}

PGPError PGPFreeKeyIter(PGPKeyIterRef iter)
{
    return freeObject<KeyIter>(iter, Tag::KeyIter);
}

PGPError PGPKeyIterNext(PGPKeyIterRef iter, PGPKeyRef* outKey)
{
    return onObject<KeyIter>(iter, Tag::KeyIter, outKey, [&](KeyIter* it) -> PGPError {
        *outKey = nullptr;
        if (it->next >= it->keys->size()) {
            it->current = nullptr;
            return kPGPError_EndOfIteration;
        }
        it->current = (*it->keys)[it->next++].get();
        it->nextUserId = 0;
        it->currentUserId = nullptr;
        it->nextSig = 0;
        it->nextSubKey = 0;
        *outKey = reinterpret_cast<PGPKeyRef>(it->current);
        return kPGPError_NoErr;
    });
}

PGPError PGPKeyIterNextUserID(PGPKeyIterRef iter, PGPUserIDRef* outUserID)
{
    return onObject<KeyIter>(iter, Tag::KeyIter, outUserID, [&](KeyIter* it) -> PGPError {
        *outUserID = nullptr;
        if (!it->current || it->nextUserId >= it->current->userIds.size()) {
            it->currentUserId = nullptr;
            return kPGPError_EndOfIteration;
        }
        it->currentUserId = it->current->userIds[it->nextUserId++].get();
        it->nextSig = 0;
        *outUserID = reinterpret_cast<PGPUserIDRef>(it->currentUserId);
        return kPGPError_NoErr;
    });
}

PGPError PGPKeyIterNextUIDSig(PGPKeyIterRef iter, PGPSigRef* outSig)
{
    return onObject<KeyIter>(iter, Tag::KeyIter, outSig, [&](KeyIter* it) -> PGPError {
        *outSig = nullptr;
        if (!it->currentUserId || it->nextSig >= it->currentUserId->sigs.size())
            return kPGPError_EndOfIteration;
        *outSig = reinterpret_cast<PGPSigRef>(it->currentUserId->sigs[it->nextSig++].get());
        return kPGPError_NoErr;
    });
}

PGPError PGPKeyIterNextSubKey(PGPKeyIterRef iter, PGPSubKeyRef* outSubKey)
{
    return onObject<KeyIter>(iter, Tag::KeyIter, outSubKey, [&](KeyIter* it) -> PGPError {
        *outSubKey = nullptr;
        if (!it->current || it->nextSubKey >= it->current->subkeys.size())
            return kPGPError_EndOfIteration;
        *outSubKey = reinterpret_cast<PGPSubKeyRef>(it->current->subkeys[it->nextSubKey++].get());
        return kPGPError_NoErr;
    });
}

}  // extern "C"
