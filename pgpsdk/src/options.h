#pragma once

#include <cstdarg>
#include <vector>

#include "objects.h"

namespace pgpsdk {

// Takes the option lists of a variadic call (first, then the va_list up to
// the PGPOLastOption sentinel), moving their options into out and freeing
// them. False when one of them is not a valid option list.
bool consumeOptions(PGPOptionListRef first, va_list args, std::vector<Option>& out);

// The one way an entry point reads its options: they are consumed into
// holder, and take is handed each in turn; take answers false for a kind
// the call does not take. False when a list was bad or an option refused.
template <typename Take> bool takeOptions(PGPOptionListRef first, va_list args, OptionList& holder, Take take)
{
    std::vector<Option> options;
    bool ok = consumeOptions(first, args, options);
    holder.options = std::move(options);  // lists built earlier nest their options flat in one
    for (const Option& o : holder.options)
        ok = take(o) && ok;
    return ok;
}

}  // namespace pgpsdk
