#pragma once
#include "sdk/sdk_entry_table.h"

namespace sdk {

// The end marker of every option list.
inline PGPOptionListRef last(PGPContextRef context) { return call::PGPOLastOption(context); }

}  // namespace sdk
