#pragma once
// One item of a batch of files: encoded (a folder as one tar archive,
// FOLDER.tar.gpg) or decoded, beside itself or into a chosen folder. An
// output that exists already is never replaced unless the caller says so; a
// failed or cancelled item leaves no output.
#include <string>

#include "core/shared_passphrase.h"
#include "sdk/decode_records.h"
#include "sdk/decode_result.h"
#include "sdk/encode_modes.h"

namespace sdk {

enum class ItemState { Done, Failed, Exists, Cancelled };

struct ItemOutcome {
    ItemState state = ItemState::Failed;
    std::string output;  // where the result went (or would go)
    std::string note;    // why it failed; a decode's first verdict
    DecodeResult decoded;  // a decode's verdicts and records
};

// Where an item's output goes.
struct ItemTarget {
    std::string folder;    // empty: beside its input
    bool replace = false;  // an output that exists already is replaced
};

// FILE.gpg (FILE.asc when armoured, FILE.sig for a detached signature);
// a folder's FOLDER.tar.gpg (or .asc); in folder when one is given.
std::string encodedName(const std::string& path, const EncodeRequest& request, const std::string& folder = {});
// FILE without its .gpg, .pgp or .asc; FILE.out for any other name.
std::string decodedName(const std::string& path, const std::string& folder = {});
// The file name a message carries, as a path in folder: only its last
// part, and none for a name that is empty, hidden (a leading dot), not
// UTF-8, holds control characters or is gpg's "_CONSOLE".
std::string carriedName(const std::string& carried, const std::string& folder);

ItemOutcome encodeItem(const std::string& path, const EncodeRequest& request, PassphraseBuffer& passphrase,
                       const ItemTarget& target, const JobWatch& watch = {});
// Decodes into the name the message carries, or else decodedName; never
// over the input itself.
ItemOutcome decodeItem(const std::string& path, PassphraseBuffer& passphrase, const ItemTarget& target,
                       const JobWatch& watch = {});

}  // namespace sdk
