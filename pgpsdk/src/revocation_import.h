#pragma once
// Revocation certificates imported alone: the key revocations of data that
// holds no key are taken into the keys of the ring they name.
#include <memory>
#include <vector>

#include "objects.h"

namespace pgpsdk {

// The set of the keys the certificates changed or left as they were, with
// their counts; null when the data held no signature for a key of the ring.
std::unique_ptr<KeySet> importRevocations(const StoreRef& store, const CoreRef& core, const std::vector<char>& bytes);

}  // namespace pgpsdk
