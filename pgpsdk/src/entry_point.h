#pragma once
// How an entry point works on one object of the SDK, in one place, as
// librnp's FFI_GUARD does for its calls.
#include <mutex>

#include "boundary.h"
#include "objects.h"

namespace pgpsdk {

// One entry point's work on one object: no exception crosses the C
// boundary, a reference of the wrong kind (or a missing argument: ready is
// false) is refused with kPGPError_BadParams, and the work runs under the
// lock of the object's context.
template <typename T, typename Fn> PGPError onObject(void* ref, Tag tag, bool ready, Fn fn) noexcept
{
    return guarded([&]() -> PGPError {
        T* object = as<T>(ref, tag);
        if (!object || !ready)
            return kPGPError_BadParams;
        std::lock_guard lock(object->core->mutex);
        return fn(object);
    });
}

}  // namespace pgpsdk
