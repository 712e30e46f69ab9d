#pragma once
#include <QString>

#include "core/shared_passphrase.h"
#include "pgpsdk/pgpsdk.h"

namespace sdk {

// "label" + code + "|" + the SDK's text for the code, with the stop icon.
void reportSdkFailure(const char* caption, const char* label, PGPError code);

inline void setOutcome(PGPError* outcome, PGPError code)
{
    if (outcome)
        *outcome = code;
}

// After the SDK refused the passphrase it is emptied, so that the next try
// asks for it again instead of reusing the wrong one.
void forgetWrongPassphrase(PassphraseBuffer& passphrase, PGPError code);

}  // namespace sdk
