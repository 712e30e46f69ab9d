#include "cli/cli_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "core/file_io.h"
#include "core/path_text.h"
#include "platform/parent_folder.h"

namespace {

bool streamable(const std::string& in, const std::string& out)
{
    struct stat st {};
    if (::stat(in.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 || ::access(in.c_str(), R_OK) != 0)
        return false;
    if (::stat(out.c_str(), &st) == 0)
        return S_ISREG(st.st_mode) && st.st_nlink == 1 && ::access(platform::parentFolder(out).c_str(), W_OK) == 0;
    return true;  // a new file; a folder that takes none is told by the job
}

// Reads the input file; a missing one is an error here (the loader would create it).
bool loadWhole(const std::string& path, JobFiles& files)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        frontend::notify({"Load_AllFile", pathToQString("Error CreateFile " + path + "|FILE NOT FOUND"),
                          frontend::Icon::Stop, frontend::Failure::Io});
        return false;
    }
    std::int64_t size = 0;
    files.block = Load_AllFile(path, size);
    if (!files.block)
        return false;
    files.length = size - 1;  // without the loader's closing zero byte
    return true;
}

}  // namespace

bool prepareJobFiles(CliFrontend& cli, const std::string& in, const std::string& out, JobFiles& files)
{
    files.input = in;
    files.output = out;
    files.streamed = streamable(in, out);
    if (!files.streamed)
        return loadWhole(in, files);
    // The output's name as a save would take it (trailing blanks dropped).
    QString name = pathToQString(out);
    cli.setNextFile(name);
    if (FileNameDialog("Save file to", name, FileDialogMode::Save))
        files.output = pathFromQString(name);
    return true;
}

bool saveWhole(CliFrontend& cli, const std::string& path, const char* data, std::int64_t size)
{
    QString name = pathToQString(path);  // every byte of the name kept
    cli.setNextFile(name);
    const int before = cli.failureCount();
    SaveOnDiskFile(name, data, size);
    return cli.failureCount() == before;
}
