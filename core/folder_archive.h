#pragma once
// A folder as one POSIX tar archive (written with libarchive), so that a
// folder can be encrypted as one file that gpg and tar open again.
#include <atomic>
#include <string>

// Writes folder and everything under it into tarPath, named from the
// folder's own name down (as "tar -C PARENT -c NAME" does): files, folders
// and symbolic links (kept as links), in name order. On failure (told in
// error) or when *stop becomes true, no tarPath is left behind.
bool archiveFolder(const std::string& folder, const std::string& tarPath, std::string& error,
                   const std::atomic<bool>* stop = nullptr);
