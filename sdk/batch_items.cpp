#include "sdk/batch_items.h"

#include <unistd.h>

#include <QUtf8StringView>
#include <algorithm>
#include <filesystem>

#include "core/folder_archive.h"
#include "platform/file_access.h"
#include "platform/parent_folder.h"
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

// path's file name, in folder when one is given.
std::string placed(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return path;
    const std::string name = fs::path(path).filename().string();
    return (fs::path(folder) / name).lexically_normal().string();
}

// A folder's tar archive in a private file with no name, beside the output:
// nothing of it can stay behind, whatever ends the process.
struct UnnamedArchive {
    explicit UnnamedArchive(const std::string& output) : fd(platform::openUnnamedPrivateFile(platform::parentFolder(output))) {}
    ~UnnamedArchive()
    {
        if (fd >= 0)
            ::close(fd);
    }
    UnnamedArchive(const UnnamedArchive&) = delete;
    UnnamedArchive& operator=(const UnnamedArchive&) = delete;
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd); }
    int fd;
};

bool hasControlCharacter(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

}  // namespace

std::string encodedName(const std::string& path, const EncodeRequest& request, const std::string& folder)
{
    const std::string base = fs::path(path).lexically_normal().string();
    const std::string trimmed = base.size() > 1 && base.back() == '/' ? base.substr(0, base.size() - 1) : base;
    return placed(trimmed, folder) + (isFolder(path) ? ".tar" : "") + extensionOf(request);
}

std::string decodedName(const std::string& path, const std::string& folder)
{
    const std::string target = placed(path, folder);
    for (const char* ext : {".gpg", ".pgp", ".asc"})
        if (target.size() > 4 && target.compare(target.size() - 4, 4, ext) == 0)
            return target.substr(0, target.size() - 4);
    return target + ".out";
}

std::string carriedName(const std::string& carried, const std::string& folder)
{
    const std::size_t slash = carried.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? carried : carried.substr(slash + 1);
    if (name.empty() || name.front() == '.' || name == "_CONSOLE" || name.size() > 255 || hasControlCharacter(name) ||
        !QUtf8StringView(name).isValidUtf8())
        return {};
    return folder + "/" + name;
}

ItemOutcome encodeItem(const std::string& path, const EncodeRequest& request, PassphraseBuffer& passphrase,
                       const ItemTarget& target, const JobWatch& watch)
{
    ItemOutcome o;
    o.output = encodedName(path, request, target.folder);
    if (platform::pathExists(o.output) && !target.replace)
        return o.state = ItemState::Exists, o;
    std::string input = path;
    std::unique_ptr<UnnamedArchive> tar;
    if (isFolder(path)) {
        tar = std::make_unique<UnnamedArchive>(o.output);
        if (tar->fd < 0 || !archiveFolder(path, tar->fd, o.note))
            return o.note = o.note.empty() ? "the folder could not be archived" : o.note, o;
        input = tar->path();
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

ItemOutcome decodeItem(const std::string& path, PassphraseBuffer& passphrase, const ItemTarget& target,
                       const JobWatch& watch)
{
    ItemOutcome o;
    const std::string fallback = decodedName(path, target.folder);
    const std::string input = fs::absolute(path).lexically_normal().string();
    o.output = fallback;
    bool exists = false;
    const OutputPlacer place = [&](const std::string& carried, std::string& at) {
        at = carriedName(carried, platform::parentFolder(fallback));
        if (!at.empty() && fs::absolute(at).lexically_normal().string() == input)
            at.clear();  // a message that names its own file never replaces it
        o.output = at.empty() ? fallback : at;
        exists = !target.replace && platform::pathExists(o.output);
        return !exists;
    };
    JobWatch steered = watch;
    steered.placeOutput = &place;
    o.decoded = decodeFile(path, fallback, passphrase, steered);
    const DecodeResult& r = o.decoded;
    o.note = r.verdicts.empty() ? std::string() : r.verdicts.front().text;
    if (exists)
        o.state = ItemState::Exists;
    else if (r.outcome == kPGPError_UserAbort)
        o.state = ItemState::Cancelled;
    else
        o.state = platform::pathExists(o.output) && r.outcome == kPGPError_NoErr ? ItemState::Done : ItemState::Failed;
    return o;
}

}  // namespace sdk
