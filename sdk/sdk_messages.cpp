#include "sdk/sdk_messages.h"

#include "core/frontend.h"
#include "sdk/sdk_session.h"

namespace sdk {

void reportSdkFailure(const char* caption, const char* label, PGPError code)
{
    frontend::notify({caption, QString(label) + QString::number(code) + "|" + QString::fromStdString(PGP_ErrorText(code)),
                      frontend::Icon::Stop, frontend::Failure::Sdk, code});
}

void forgetWrongPassphrase(PassphraseBuffer& passphrase, PGPError code)
{
    if (code == kPGPError_BadPassphrase)
        passphrase.set({});
}

}  // namespace sdk
