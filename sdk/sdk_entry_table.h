#pragma once
// The fixed table of the SDK library's 288 entry points: names in their
// order, resolved once when the library loads, and a typed call wrapper for
// every function the program calls. A call costs one null test and an
// indirect call; no name is looked up on the call path.
#include <array>
#include <atomic>
#include <cstddef>
#include <string_view>
#include <type_traits>

#include "pgpsdk/pgpsdk.h"
#include "pgpsdk/pgpsdk_entry_points.h"

namespace sdk {

enum class Entry : std::size_t {
#define TOLV_ENTRY_ENUM(name) name,
    PGPSDK_ENTRY_POINTS(TOLV_ENTRY_ENUM, TOLV_ENTRY_ENUM)
#undef TOLV_ENTRY_ENUM
        Count
};

constexpr std::size_t kEntryCount = static_cast<std::size_t>(Entry::Count);
static_assert(kEntryCount == 288, "the SDK table has 288 entry points");

class SdkEntryTable {
public:
    static std::string_view name(std::size_t index);
    static void* address(Entry e) { return addresses_[static_cast<std::size_t>(e)].load(std::memory_order_acquire); }
    static void* address(std::size_t index) { return addresses_[index].load(std::memory_order_acquire); }
    static void setAddress(std::size_t index, void* a) { addresses_[index].store(a, std::memory_order_release); }
    static void clear();
    static bool allResolved();
    static bool noneResolved();

private:
    static std::array<std::atomic<void*>, kEntryCount> addresses_;
};

// What a wrapper answers when its entry is not resolved: no call is made.
template <typename R> R unresolvedResult()
{
    if constexpr (std::is_same_v<R, PGPError>)
        return kPGPError_FeatureNotAvailable;
    else
        return R {};
}

}  // namespace sdk

// Typed call wrappers, one per called function, named like the function:
// sdk::call::PGPEncode(...) calls the PGPEncode of the loaded library.
#define TOLV_SDK_WRAPPER(fn)                                                                    \
    template <typename... Args> inline auto fn(Args... args)                                    \
    {                                                                                           \
        using Fn = decltype(&::fn);                                                             \
        using R = decltype((*static_cast<Fn>(nullptr))(args...));                              \
        auto f = reinterpret_cast<Fn>(::sdk::SdkEntryTable::address(::sdk::Entry::fn));        \
        return f ? f(args...) : ::sdk::unresolvedResult<R>();                                   \
    }
#define TOLV_SDK_NO_WRAPPER(fn)

namespace sdk::call {
PGPSDK_ENTRY_POINTS(TOLV_SDK_WRAPPER, TOLV_SDK_NO_WRAPPER)
}  // namespace sdk::call
