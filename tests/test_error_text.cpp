#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "core/error_text.h"
#include "platform/last_error.h"

TEST(ErrorText, TableHoldsAllCodes)
{
    EXPECT_EQ(errorTableSize(), 492u);
}

TEST(ErrorText, KnownCodesAndRunBoundaries)
{
    EXPECT_EQ(errorTextForCode(1), "INVALID FUNCTION");
    EXPECT_EQ(errorTextForCode(2), "FILE NOT FOUND");
    EXPECT_EQ(errorTextForCode(5), "ACCESS DENIED");
    EXPECT_EQ(errorTextForCode(32), "SHARING VIOLATION");
    EXPECT_EQ(errorTextForCode(35), "UNKNOWN ERROR");
    EXPECT_EQ(errorTextForCode(39), "HANDLE DISK FULL");
    EXPECT_EQ(errorTextForCode(100), "TOO MANY SEMAPHORES");
    EXPECT_EQ(errorTextForCode(115), "UNKNOWN ERROR");
    EXPECT_EQ(errorTextForCode(126), "MOD NOT FOUND");
    EXPECT_EQ(errorTextForCode(162), "SIGNAL PENDING");
    EXPECT_EQ(errorTextForCode(193), "BAD EXE FORMAT");
    EXPECT_EQ(errorTextForCode(1503), "EVENTLOG FILE CHANGED");
    EXPECT_EQ(errorTextForCode(1248), "NO MORE DEVICES");
    for (std::uint32_t code : {2202u, 2250u, 2401u, 2402u, 2404u})
        EXPECT_EQ(errorTextForCode(code).rfind("ERROR CODE", 0), std::string::npos) << code;
    EXPECT_EQ(errorTextForCode(2404), "DEVICE IN USE");
}

TEST(ErrorText, CodesOutsideTheTable)
{
    for (std::uint32_t code = 90; code <= 99; ++code)
        EXPECT_EQ(errorTextForCode(code), "ERROR CODE " + std::to_string(code));
    EXPECT_EQ(errorTextForCode(163), "ERROR CODE 163");
    EXPECT_EQ(errorTextForCode(0), "ERROR CODE 0");
    EXPECT_EQ(errorTextForCode(1455), "ERROR CODE 1455");
    EXPECT_EQ(errorTextForCode(2147483648u), "ERROR CODE 2147483648");
    EXPECT_EQ(errorTextForCode(0xFFFFFFFFu), "ERROR CODE 4294967295");
}

TEST(ErrorText, PaddedTextsKeepTheirBlanks)
{
    EXPECT_EQ(errorTextForCode(170), "BUSY     ");
    const std::uint32_t padded[] = {170, 212, 230, 232, 998, 1008, 1009, 1010, 1011, 1012, 1119, 1156, 1237, 1246};
    for (auto code : padded) {
        std::string t = errorTextForCode(code);
        EXPECT_EQ(t.size(), 9u) << code;
        EXPECT_EQ(t.back(), ' ') << code;
    }
    EXPECT_EQ(errorTextForCode(1013), "CANTWRITE");
}

TEST(ErrorText, ReadsTheCallingThreadsLastError)
{
    platform::setLastError(5);
    std::string other;
    std::thread([&] {
        platform::setLastError(2);
        other = ErrorText();
    }).join();
    EXPECT_EQ(other, "FILE NOT FOUND");
    EXPECT_EQ(ErrorText(), "ACCESS DENIED");
}

TEST(ErrorText, ErrnoMapsOntoWindowsCodes)
{
    EXPECT_EQ(platform::windowsErrorFromErrno(ENOENT), 2u);
    EXPECT_EQ(platform::windowsErrorFromErrno(ENOTDIR), 3u);
    EXPECT_EQ(platform::windowsErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(platform::windowsErrorFromErrno(EPERM), 5u);
    EXPECT_EQ(platform::windowsErrorFromErrno(EISDIR), 5u);
    EXPECT_EQ(platform::windowsErrorFromErrno(EMFILE), 4u);
    EXPECT_EQ(platform::windowsErrorFromErrno(ENOMEM), 8u);
    EXPECT_EQ(platform::windowsErrorFromErrno(ENOSPC), 112u);
    EXPECT_EQ(platform::windowsErrorFromErrno(EROFS), 19u);
    EXPECT_EQ(platform::windowsErrorFromErrno(EEXIST), 183u);  // the table has no 80
    EXPECT_EQ(platform::windowsErrorFromErrno(EBUSY), 170u);
    // Named as the table names them, never by a raw errno number.
    const std::pair<int, const char*> named[] = {
        {ENAMETOOLONG, "FILENAME EXCED RANGE"}, {ELOOP, "BAD PATHNAME"}, {EIO, "IO DEVICE"},
        {EFBIG, "DISK FULL"}, {EDQUOT, "DISK FULL"}, {ENOSPC, "DISK FULL"}, {EPIPE, "BROKEN PIPE"},
        {EINVAL, "INVALID PARAMETER"}, {12345, "GEN FAILURE"}, {0, "GEN FAILURE"}};
    for (const auto& [err, text] : named)
        EXPECT_EQ(errorTextForCode(platform::windowsErrorFromErrno(err)), text) << err;
    for (int err = 1; err < 134; ++err)
        EXPECT_EQ(errorTextForCode(platform::windowsErrorFromErrno(err)).rfind("ERROR CODE", 0), std::string::npos) << err;
}
