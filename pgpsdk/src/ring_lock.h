#pragma once
// Who may read and write a key ring pair at a time. Every Tolv process takes
// an flock() on the folders that hold the two ring files: shared to read
// the pair, exclusive to write it. The kernel drops the lock with its
// process, so a killed writer never leaves a stale lock behind.
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace pgpsdk {

class RingLock {
public:
    RingLock() = default;
    ~RingLock();
    RingLock(const RingLock&) = delete;
    RingLock& operator=(const RingLock&) = delete;

    // Locks the folders of both files (in one fixed order, so that two
    // writers never wait for each other), waiting a short while for other
    // holders: kPGPError_KeyRingLocked when they keep it.
    PGPError acquire(const std::string& pubPath, const std::string& secPath, bool exclusive);

private:
    std::vector<int> fds_;
};

// The file a ring path stands for: the target of a symbolic link (so that
// the link stays and its target is written), else the path itself.
std::string ringTarget(const std::string& path);

// Removes what an interrupted writer of this ring file left behind: its
// temporary names and those of its backup. Call only under the exclusive
// lock, when no other writer of the ring can be at work.
void removeWriterLeftovers(const std::string& ringFile);

}  // namespace pgpsdk
