#include "sdk/sdk_entry_table.h"

namespace sdk {

namespace {
constexpr std::string_view kNames[] = {
#define TOLV_ENTRY_NAME(name) #name,
    PGPSDK_ENTRY_POINTS(TOLV_ENTRY_NAME, TOLV_ENTRY_NAME)
#undef TOLV_ENTRY_NAME
};
static_assert(std::size(kNames) == kEntryCount);
}  // namespace

std::array<std::atomic<void*>, kEntryCount> SdkEntryTable::addresses_ {};

std::string_view SdkEntryTable::name(std::size_t index) { return index < kEntryCount ? kNames[index] : std::string_view(); }

void SdkEntryTable::clear()
{
    for (auto& a : addresses_)
        a.store(nullptr, std::memory_order_release);
}

bool SdkEntryTable::allResolved()
{
    for (auto& a : addresses_)
        if (!a.load(std::memory_order_acquire))
            return false;
    return true;
}

bool SdkEntryTable::noneResolved()
{
    for (auto& a : addresses_)
        if (a.load(std::memory_order_acquire))
            return false;
    return true;
}

}  // namespace sdk
