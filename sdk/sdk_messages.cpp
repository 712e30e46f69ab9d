#include "sdk/sdk_messages.h"

#include "sdk/sdk_session.h"

namespace sdk {

void reportSdkFailure(const char* caption, const char* label, PGPError code)
{
    Prompts::message(caption, QString(label) + QString::number(code) + "|" + QString::fromStdString(PGP_ErrorText(code)),
                     Prompts::Icon::Stop);
}

void forgetWrongPassphrase(PassphraseBuffer& passphrase, PGPError code)
{
    if (code == kPGPError_BadPassphrase)
        passphrase.set({});
}

}  // namespace sdk
