#pragma once

#include <cstdarg>
#include <vector>

#include "objects.h"

namespace pgpsdk {

// Takes the option lists of a variadic call (first, then the va_list up to
// the PGPOLastOption sentinel), moving their options into out and freeing
// them. False when one of them is not a valid option list.
bool consumeOptions(PGPOptionListRef first, va_list args, std::vector<Option>& out);

}  // namespace pgpsdk
