#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Thin wrappers over POSIX file calls. Every failing call records the
// Windows code of its error as the thread's last error.
namespace platform {

// Opens a file for reading, creating it empty when missing (as the loader
// has always done). Returns a descriptor, or -1.
int openForReadCreating(const std::string& path);

// Size of an open file in bytes (64-bit), or -1.
std::int64_t fileSize(int fd);

// Reads up to size bytes, going on after short reads and interruptions.
// Returns the number of bytes read, or -1 on an error.
std::int64_t readFully(int fd, void* buffer, std::uint64_t size);

void closeFile(int fd);

// Whether anything (a file, folder or link) is at path.
bool pathExists(const std::string& path);
// Creates an empty file that only its owner may read and write. False when
// something is already at path, or on failure (the last error set).
bool createEmptyPrivateFile(const std::string& path);
// A new file with no name in folder, that only its owner may read and
// write, and that is gone once its descriptor is closed, whatever ends the
// process. Returns a descriptor open for reading and writing, or -1.
int openUnnamedPrivateFile(const std::string& folder);
// Whether the system would refuse path as too long: the whole path, or one
// of its names (ENAMETOOLONG).
bool pathTooLong(const std::string& path);

enum class WriteResult { Written, OpenFailed, WriteFailed };

// Replaces path with the given bytes: written to a temporary file in the same
// folder, flushed, then renamed over the old file (keeping its mode, and its
// owner where allowed). On any failure the old file is left untouched and
// the temporary file removed. A device or other non-regular file is written
// in place; so is an existing file with hard links, or one in a folder the
// user may not write: then its old content is restored if the new one
// cannot be written whole.
WriteResult writeFileReplacing(const std::string& path, const void* data, std::uint64_t size);

inline bool writeFileAtomically(const std::string& path, const void* data, std::uint64_t size)
{
    return writeFileReplacing(path, data, size) == WriteResult::Written;
}

}  // namespace platform
