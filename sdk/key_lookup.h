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

// As FindSingleKey, but a text of 16 or 40 hex digits (with or without
// "0x") first selects the key with that key ID or fingerprint, as the key
// list names its keys; other texts are user-ID texts.
bool FindKeyForCommand(PGPContextRef context, PGPKeySetRef keySet, const std::string& text, const FindSteps& steps,
                       const char* caption, KeySetHolder& found);

class SdkUse;

// The set of the one key text selects (as FindKeyForCommand) in the open
// rings, opened if need be; null when there is none (told under caption).
KeySetHolder selectCommandKey(SdkUse& use, const std::string& text, const char* caption);

// A key's fingerprint as upper-case hex digits; empty when it cannot be read.
std::string fingerprintHex(PGPKeyRef key);
// Whether the hex digits (a key ID or the whole fingerprint, upper case)
// name the key of that fingerprint.
bool identifiedBy(const std::string& fingerprint, const std::string& digits);

// The first key of a set (for a set of one key).
PGPKeyRef onlyKey(PGPKeySetRef set);

}  // namespace sdk
