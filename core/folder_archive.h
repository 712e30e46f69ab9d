#pragma once
// A folder as one POSIX tar archive (written with libarchive), so that a
// folder can be encrypted as one file that gpg and tar open again.
#include <atomic>
#include <string>

// Writes folder and everything under it as a tar archive into the open file
// fd (which stays open), named from the folder's own name down (as "tar -C
// PARENT -c NAME" does): files, folders and symbolic links (kept as links),
// in name order. False, with the reason in error, on failure or when *stop
// becomes true.
bool archiveFolder(const std::string& folder, int fd, std::string& error, const std::atomic<bool>* stop = nullptr);
