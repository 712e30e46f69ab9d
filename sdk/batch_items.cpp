#include "sdk/batch_items.h"

#include <filesystem>

#include "core/folder_archive.h"
#include "platform/file_access.h"
#include "sdk/decode_buffer.h"
#include "sdk/decode_result.h"
#include "sdk/sdk_session.h"

namespace fs = std::filesystem;

namespace sdk {

namespace {

bool isFolder(const std::string& path)
{
    std::error_code e;
    return fs::is_directory(path, e);
}

std::string extensionOf(const EncodeRequest& r)
{
    if (r.operation == EncodeOperation::DetachedSignature)
        return ".sig";
    return r.armour ? ".asc" : ".gpg";
}

// The folder's archive, made private beside the output for as long as the
// encode takes, and gone after it whatever happened.
struct FolderArchive {
    explicit FolderArchive(const std::string& output) : path(output + ".tar-part") {}
    ~FolderArchive() { std::remove(path.c_str()); }
    std::string path;
};

}  // namespace

std::string encodedName(const std::string& path, const EncodeRequest& request)
{
    const std::string base = fs::path(path).lexically_normal().string();
    const std::string trimmed = base.size() > 1 && base.back() == '/' ? base.substr(0, base.size() - 1) : base;
    return trimmed + (isFolder(path) ? ".tar" : "") + extensionOf(request);
}

std::string decodedName(const std::string& path)
{
    for (const char* ext : {".gpg", ".pgp", ".asc"})
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ext) == 0)
            return path.substr(0, path.size() - 4);
    return path + ".out";
}

ItemOutcome encodeItem(const std::string& path, const EncodeRequest& request, PassphraseBuffer& passphrase,
                       bool replace, const JobWatch& watch)
{
    ItemOutcome o;
    o.output = encodedName(path, request);
    if (platform::pathExists(o.output) && !replace)
        return o.state = ItemState::Exists, o;
    std::string input = path;
    std::unique_ptr<FolderArchive> tar;
    if (isFolder(path)) {
        tar = std::make_unique<FolderArchive>(o.output);
        if (!platform::createEmptyPrivateFile(tar->path) || !archiveFolder(path, tar->path, o.note))
            return o.note = o.note.empty() ? "the folder could not be archived" : o.note, o;
        input = tar->path;
    }
    JobEvents events;
    events.watch = watch;
    PGPError outcome = kPGPError_NoErr;
    if (encodeFile(input, o.output, request, passphrase, &events, &outcome))
        return o.state = ItemState::Done, o;
    o.state = outcome == kPGPError_UserAbort ? ItemState::Cancelled : ItemState::Failed;
    o.note = PGP_ErrorText(outcome);
    return o;
}

ItemOutcome decodeItem(const std::string& path, PassphraseBuffer& passphrase, bool replace, const JobWatch& watch)
{
    ItemOutcome o;
    o.output = decodedName(path);
    if (platform::pathExists(o.output) && !replace)
        return o.state = ItemState::Exists, o;
    const DecodeResult r = decodeFile(path, o.output, passphrase, watch);
    o.note = r.verdicts.empty() ? std::string() : r.verdicts.front().text;
    if (r.outcome == kPGPError_UserAbort)
        o.state = ItemState::Cancelled;
    else
        o.state = platform::pathExists(o.output) && r.outcome == kPGPError_NoErr ? ItemState::Done : ItemState::Failed;
    return o;
}

}  // namespace sdk
