// Fuzzed bytes as an ini file: reading and then writing a key must work
// and keep the file readable.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory (/dev/shm where there is one): the time goes into reading
    // and writing the file, not into the disk.
    static const std::string path = [] {
        char shm[] = "/dev/shm/tolv-fuzz-ini-XXXXXX", tmp[] = "/tmp/tolv-fuzz-ini-XXXXXX";
        const char* made = mkdtemp(shm);
        return std::string(made ? made : mkdtemp(tmp)) + "/fuzz.ini";
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::string v = platform::readProfileString("PGP", "DLLName", "default", path);
    if (v.size() > platform::kProfileMaxValueLength)
        __builtin_trap();
    platform::writeProfileString("PGP", "TimeOut", "123", path);
    if (platform::readProfileString("PGP", "TimeOut", "", path) != "123")
        __builtin_trap();  // a written key reads back
    return 0;
}
