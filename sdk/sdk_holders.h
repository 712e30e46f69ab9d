#pragma once
// Owning holders for the SDK's references, each freed once through the
// loaded library, and the walk over a key set's keys that every key list
// of the program uses.
#include <memory>

#include "sdk/sdk_entry_table.h"

namespace sdk {

#define TOLV_SDK_HOLDER(Holder, Type, freeFunction)                              \
    struct Holder##Free {                                                        \
        void operator()(Type* ref) const { call::freeFunction(ref); }            \
    };                                                                           \
    using Holder = std::unique_ptr<Type, Holder##Free>;

TOLV_SDK_HOLDER(KeySetHolder, PGPKeySet, PGPFreeKeySet)
TOLV_SDK_HOLDER(KeyListHolder, PGPKeyList, PGPFreeKeyList)
TOLV_SDK_HOLDER(KeyIterHolder, PGPKeyIter, PGPFreeKeyIter)
TOLV_SDK_HOLDER(FilterHolder, PGPFilter, PGPFreeFilter)
TOLV_SDK_HOLDER(OptionListHolder, PGPOptionList, PGPFreeOptionList)
#undef TOLV_SDK_HOLDER

// An iterator over set's keys in the given ordering, with the list it
// walks. Destroyed iterator first, then the list.
class KeyWalk {
public:
    KeyWalk(PGPKeySetRef set, PGPInt32 ordering)
    {
        PGPKeyListRef rawList = nullptr;
        PGPKeyIterRef rawIter = nullptr;
        call::PGPOrderKeySet(set, ordering, &rawList);
        list_.reset(rawList);
        call::PGPNewKeyIter(rawList, &rawIter);
        iter_.reset(rawIter);
    }
    // The next key, or null at the end.
    PGPKeyRef next()
    {
        PGPKeyRef key = nullptr;
        return call::PGPKeyIterNext(iter_.get(), &key) == kPGPError_NoErr ? key : nullptr;
    }
    PGPKeyIterRef iter() const { return iter_.get(); }

private:
    KeyListHolder list_;
    KeyIterHolder iter_;  // declared last: freed first
};

// Calls fn(key, iter) for every key of set; iter also walks the key's user
// IDs and their signatures.
template <typename Fn> void forEachKey(PGPKeySetRef set, PGPInt32 ordering, Fn&& fn)
{
    KeyWalk walk(set, ordering);
    while (PGPKeyRef key = walk.next())
        fn(key, walk.iter());
}

}  // namespace sdk
