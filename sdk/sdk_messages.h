#pragma once
#include <QString>

#include "app/prompts.h"
#include "pgpsdk/pgpsdk.h"

namespace sdk {

// "label" + code + "|" + the SDK's text for the code, with the stop icon.
void reportSdkFailure(const char* caption, const char* label, PGPError code);

}  // namespace sdk
