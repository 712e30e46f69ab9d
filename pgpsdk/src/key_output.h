#pragma once
// Key data (keys, or a revocation certificate) written into a call's output
// option, a block or a file, binary or armoured.
#include <functional>

#include "objects.h"

namespace pgpsdk {

// write() puts the packets into the target it is given; armour (as a public
// or, with secret, a secret key block) is added on the way, and the output
// is delivered only when everything was written.
PGPError writeKeyOutput(const Option& output, bool armor, bool secret,
                        const std::function<PGPError(rnp_output_t)>& write);

}  // namespace pgpsdk
