#include "cli/cli_passphrase.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_exit.h"
#include "core/shared_passphrase.h"

namespace {

enum class PassphraseRead { Read, Failed, TooLong, HasZero };

// The first line of what fd holds, read in blocks and never more than 1 KiB
// (a passphrase file of /dev/zero or of gigabytes is refused at once).
PassphraseRead readPassphrase(int fd, SecretText& out)
{
    constexpr std::size_t kMax = 1024;
    char buf[kMax + 1];
    std::size_t got = 0;
    while (got <= kMax && !std::memchr(buf, '\n', got)) {
        const ssize_t n = ::read(fd, buf + got, kMax + 1 - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return PassphraseRead::Failed;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    const char* newline = static_cast<const char*>(std::memchr(buf, '\n', got));
    std::size_t length = newline ? static_cast<std::size_t>(newline - buf) : got;
    PassphraseRead result = PassphraseRead::Read;
    if (length > kMax)
        result = PassphraseRead::TooLong;
    else if (std::memchr(buf, '\0', length))
        result = PassphraseRead::HasZero;
    if (length > 0 && buf[length - 1] == '\r')
        --length;
    if (result == PassphraseRead::Read)
        out = SecretText(std::string_view(buf, length));
    wipeMemory(buf, sizeof buf);
    return result;
}

}  // namespace

int readPassphraseOption(const std::string& file, int fd, SecretText& out)
{
    if (!file.empty())
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "tolv-cli: cannot read the passphrase from %s: %s\n",
                     file.empty() ? "its file descriptor" : file.c_str(), std::strerror(errno));
        return IoFailure;
    }
    const PassphraseRead read = readPassphrase(fd, out);
    if (!file.empty())
        ::close(fd);
    const char* problem = read == PassphraseRead::Failed      ? "it cannot be read"
                          : read == PassphraseRead::TooLong   ? "it is longer than 1024 bytes"
                          : read == PassphraseRead::HasZero   ? "it holds a zero byte"
                          : out.empty()                        ? "it is empty"
                                                               : nullptr;
    if (problem) {
        std::fprintf(stderr, "tolv-cli: the passphrase is refused: %s\n", problem);
        return read == PassphraseRead::Failed ? IoFailure : BadPassphrase;
    }
    return Ok;
}

int loadPassphrase(const CliOptions& opts)
{
    SecretText pass;  // wiped when it goes
    if (int failed = readPassphraseOption(opts.passphraseFile, opts.passphraseFd, pass))
        return failed;
    SharedPassphrase::instance().set(pass.str());
    return Ok;
}
