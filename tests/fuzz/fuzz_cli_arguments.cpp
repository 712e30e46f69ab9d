// Any command line through tolv-cli's parser: it ends with options or a
// usage text, and never echoes a value given with "=" (it may be a secret).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"

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
    if (error.find("--passphrase=") != std::string::npos)
        __builtin_trap();  // a "--passphrase=SECRET" echoed
    return 0;
}
