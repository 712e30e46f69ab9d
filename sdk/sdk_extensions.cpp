#include "sdk/sdk_extensions.h"

#include "platform/dynamic_library.h"

namespace sdk {

std::array<std::atomic<void*>, static_cast<std::size_t>(Extension::Count)> ExtensionTable::addresses_ {};

namespace {

constexpr const char* kNames[] = {
#define TOLV_EXTENSION_NAME(name) #name,
    TOLV_SDK_EXTENSIONS(TOLV_EXTENSION_NAME)
#undef TOLV_EXTENSION_NAME
};

}  // namespace

void ExtensionTable::resolve(void* library)
{
    for (std::size_t i = 0; i < addresses_.size(); ++i)
        addresses_[i].store(platform::resolveSymbol(library, kNames[i]), std::memory_order_release);
}

void ExtensionTable::clear()
{
    for (auto& a : addresses_)
        a.store(nullptr, std::memory_order_release);
}

}  // namespace sdk
