#pragma once
// The SDK library's own entry points beside the fixed table, for looking
// after key pairs: resolved by name when the library loads, each called
// through a typed wrapper like the table's. A library without one (an
// older build, or a test's fake) answers kPGPError_FeatureNotAvailable.
#include <array>
#include <atomic>
#include <cstddef>

#include "pgpsdk/pgpsdk.h"
#include "sdk/sdk_entry_table.h"

#define TOLV_SDK_EXTENSIONS(X) \
    X(tolvRevokeUserID)        \
    X(tolvSetKeyExpiration)    \
    X(tolvExportRevocation)    \
    X(tolvORevocationReason)   \
    X(tolvOKeyUsage)

namespace sdk {

enum class Extension : std::size_t {
#define TOLV_EXTENSION_ENUM(name) name,
    TOLV_SDK_EXTENSIONS(TOLV_EXTENSION_ENUM)
#undef TOLV_EXTENSION_ENUM
        Count
};

class ExtensionTable {
public:
    static void resolve(void* library);  // every name the library has; the others stay null
    static void clear();
    static void* address(Extension e) { return addresses_[static_cast<std::size_t>(e)].load(std::memory_order_acquire); }

private:
    static std::array<std::atomic<void*>, static_cast<std::size_t>(Extension::Count)> addresses_;
};

}  // namespace sdk

#define TOLV_EXTENSION_WRAPPER(fn)                                                         \
    template <typename... Args> inline auto fn(Args... args)                               \
    {                                                                                      \
        using Fn = decltype(&::fn);                                                        \
        using R = decltype((*static_cast<Fn>(nullptr))(args...));                         \
        auto f = reinterpret_cast<Fn>(::sdk::ExtensionTable::address(::sdk::Extension::fn)); \
        return f ? f(args...) : ::sdk::unresolvedResult<R>();                              \
    }

namespace sdk::ext {
TOLV_SDK_EXTENSIONS(TOLV_EXTENSION_WRAPPER)
}  // namespace sdk::ext
