#pragma once
// How an entry point works on the objects of the SDK, in one place, as
// librnp's FFI_GUARD does for its calls. No exception crosses the C
// boundary, a reference of the wrong kind is refused with
// kPGPError_BadParams, and the work runs under the lock of the object's
// context.
#include <mutex>

#include "boundary.h"
#include "objects.h"

namespace pgpsdk {

// The context whose lock guards an object.
template <typename T> ContextCore* coreOf(T* object) { return object->core.get(); }
inline ContextCore* coreOf(UserID* userId) { return userId->key->core.get(); }

// One entry point's work on one object; a missing argument (ready false)
// is refused as a reference of the wrong kind is.
template <typename T, typename Fn> PGPError onObject(void* ref, Tag tag, bool ready, Fn fn) noexcept
{
    return guarded([&]() -> PGPError {
        T* object = as<T>(ref, tag);
        if (!object || !ready)
            return kPGPError_BadParams;
        std::lock_guard lock(coreOf(object)->mutex);
        return fn(object);
    });
}

// The work of an entry point that takes a list of options: fn is called
// with the object, or null for a wrong reference, because it must take in
// (and so free) the options whatever the object; under the object's lock
// when there is one.
template <typename T, typename Fn> PGPError withOptions(void* ref, Tag tag, Fn fn) noexcept
{
    return guarded([&]() -> PGPError {
        T* object = as<T>(ref, tag);
        std::unique_lock<std::recursive_mutex> lock;
        if (object && object->core)
            lock = std::unique_lock(object->core->mutex);
        return fn(object);
    });
}

// An entry point that frees an object: release deletes it (or refuses)
// under the lock of its context, which outlives it.
template <typename T, typename Fn> PGPError freeObject(void* ref, Tag tag, Fn release) noexcept
{
    return guarded([&]() -> PGPError {
        T* object = as<T>(ref, tag);
        if (!object)
            return kPGPError_BadParams;
        const CoreRef core = object->core;
        std::unique_lock<std::recursive_mutex> lock;
        if (core)
            lock = std::unique_lock(core->mutex);
        return release(object);
    });
}

// The usual release: the object is deleted.
template <typename T> PGPError freeObject(void* ref, Tag tag) noexcept
{
    return freeObject<T>(ref, tag, [](T* object) -> PGPError {
        delete object;
        return kPGPError_NoErr;
    });
}

}  // namespace pgpsdk
