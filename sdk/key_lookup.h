#pragma once
// Finding the one key a piece of user-ID text selects, as the encoder picks
// its signer and recipient and the key commands pick the key they work on.
#include <string>

#include "sdk/sdk_holders.h"

namespace sdk {

// The labels of the three SDK steps, for the messages of a failure.
struct FindSteps {
    const char* filter;
    const char* search;
    const char* count;
};

// Leaves found holding exactly one key, or tells the user (under caption)
// and fails: no key, more than one, or an SDK failure. The filter is made
// and freed on the way, in filter's holder.
bool FindSingleKey(PGPContextRef context, PGPKeySetRef keySet, const std::string& text, const FindSteps& steps,
                   const char* caption, KeySetHolder& found, FilterHolder& filter);

// The first key of a set (for a set of one key).
PGPKeyRef onlyKey(PGPKeySetRef set);

}  // namespace sdk
