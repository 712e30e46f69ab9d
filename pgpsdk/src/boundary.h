// The C boundary: no C++ exception crosses it.
#pragma once

#include <new>
#include <stdexcept>

#include "pgpsdk/pgpsdk.h"

namespace pgpsdk {

struct SdkError : std::runtime_error {
    explicit SdkError(PGPError c) : std::runtime_error("pgpsdk error"), code(c) {}
    PGPError code;
};

template <typename F> PGPError guarded(F&& f) noexcept
{
    try {
        return f();
    } catch (const SdkError& e) {
        return e.code;
    } catch (const std::bad_alloc&) {
        return kPGPError_OutOfMemory;
    } catch (...) {
        return kPGPError_UnknownError;
    }
}

// Library-wide initialisation count (PGPsdkInit / PGPsdkCleanup).
bool sdkInitialised();

}  // namespace pgpsdk
