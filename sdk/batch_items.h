#pragma once
// One item of a batch of files: encoded beside itself (a folder as one tar
// archive, FOLDER.tar.gpg), or decoded beside itself. An output that exists
// already is never replaced unless the caller says so; a failed or
// cancelled item leaves no output.
#include <string>

#include "core/shared_passphrase.h"
#include "sdk/decode_records.h"
#include "sdk/encode_modes.h"

namespace sdk {

enum class ItemState { Done, Failed, Exists, Cancelled };

struct ItemOutcome {
    ItemState state = ItemState::Failed;
    std::string output;  // where the result went (or would go)
    std::string note;    // why it failed; a decode's first verdict
};

// FILE.gpg (FILE.asc when armoured, FILE.sig for a detached signature);
// a folder's FOLDER.tar.gpg (or .asc).
std::string encodedName(const std::string& path, const EncodeRequest& request);
// FILE without its .gpg, .pgp or .asc; FILE.out for any other name.
std::string decodedName(const std::string& path);

ItemOutcome encodeItem(const std::string& path, const EncodeRequest& request, PassphraseBuffer& passphrase,
                       bool replace, const JobWatch& watch = {});
ItemOutcome decodeItem(const std::string& path, PassphraseBuffer& passphrase, bool replace, const JobWatch& watch = {});

}  // namespace sdk
