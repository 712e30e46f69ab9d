// Any command line through tolv-cli's parser: it ends with options or a
// usage text, and a value given to a passphrase option is never echoed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/cli_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Arguments are the input split at zero bytes.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    CliOptions opts;
    const std::string error = parseArguments(args, opts);
    for (const std::string& a : args)
        if (a.rfind("--passphrase=", 0) == 0 && a.size() > 13 && error.find(a.substr(13)) != std::string::npos &&
            std::string("the passphrase is not taken from the command line; use --passphrase-fd or --passphrase-file")
                    .find(a.substr(13)) == std::string::npos)
            __builtin_trap();
    return 0;
}
