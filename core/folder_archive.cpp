#include "core/folder_archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct DiskDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

// The folder's entries, itself first, each folder before what it holds.
std::vector<fs::path> entriesOf(const fs::path& folder)
{
    std::vector<fs::path> all {folder};
    for (const auto& e : fs::recursive_directory_iterator(folder, fs::directory_options::none))
        all.push_back(e.path());
    std::sort(all.begin() + 1, all.end());
    return all;
}

// One entry's header, and a regular file's bytes.
bool writeEntry(archive* out, archive* disk, const fs::path& path, const std::string& name, std::string& error)
{
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    archive_entry_copy_sourcepath(entry.get(), path.c_str());
    if (archive_read_disk_entry_from_file(disk, entry.get(), -1, nullptr) != ARCHIVE_OK)
        return error = archive_error_string(disk) ? archive_error_string(disk) : "cannot read " + path.string(), false;
    archive_entry_set_pathname_utf8(entry.get(), name.c_str());
    if (archive_write_header(out, entry.get()) != ARCHIVE_OK)
        return error = archive_error_string(out), false;
    if (archive_entry_filetype(entry.get()) != AE_IFREG)
        return true;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> block(1 << 16);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (in.gcount() > 0 && archive_write_data(out, block.data(), static_cast<size_t>(in.gcount())) < 0)
            return error = archive_error_string(out), false;
    }
    if (in.bad())
        return error = "cannot read " + path.string(), false;
    return true;
}

}  // namespace

bool archiveFolder(const std::string& folder, int fd, std::string& error, const std::atomic<bool>* stop)
{
    const fs::path root = fs::path(folder).lexically_normal();
    const fs::path base = root.has_filename() ? root : root.parent_path();
    std::unique_ptr<archive, WriterDeleter> out(archive_write_new());
    std::unique_ptr<archive, DiskDeleter> disk(archive_read_disk_new());
    archive_read_disk_set_symlink_physical(disk.get());
    archive_read_disk_set_standard_lookup(disk.get());
    archive_write_set_format_pax_restricted(out.get());
    bool ok = archive_write_open_fd(out.get(), fd) == ARCHIVE_OK;
    if (!ok)
        error = archive_error_string(out.get());
    try {
        for (const fs::path& p : ok ? entriesOf(base) : std::vector<fs::path> {}) {
            if (stop && stop->load())
                return error = "Cancelled", false;
            const std::string name = (base.filename() / p.lexically_relative(base)).lexically_normal().generic_string();
            if (!(ok = writeEntry(out.get(), disk.get(), p, name, error)))
                break;
        }
    } catch (const fs::filesystem_error& e) {
        ok = false;
        error = e.what();
    }
    return archive_write_close(out.get()) == ARCHIVE_OK && ok;
}
