#include "core/error_text.h"

#include <algorithm>
#include <iterator>

#include "platform/last_error.h"

namespace {

struct ErrorEntry {
    std::uint32_t code;
    const char* text;
};

constexpr ErrorEntry kErrorTable[] = {
#include "core/error_table.inc"
};

constexpr bool tableIsSorted()
{
    for (std::size_t i = 1; i < std::size(kErrorTable); ++i)
        if (kErrorTable[i - 1].code >= kErrorTable[i].code)
            return false;
    return true;
}
static_assert(tableIsSorted(), "error table must be strictly ascending for the binary search");

}  // namespace

std::string errorTextForCode(std::uint32_t code)
{
    if (code == platform::win::NotRegularFile)
        return "NOT A REGULAR FILE";
    auto it = std::lower_bound(std::begin(kErrorTable), std::end(kErrorTable), code,
                               [](const ErrorEntry& e, std::uint32_t c) { return e.code < c; });
    if (it != std::end(kErrorTable) && it->code == code)
        return it->text;
    return "ERROR CODE " + std::to_string(code);
}

std::string ErrorText() { return errorTextForCode(platform::lastError()); }

std::size_t errorTableSize() { return std::size(kErrorTable); }
