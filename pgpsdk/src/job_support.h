#pragma once
// What PGPEncode and PGPDecode share: the options of one job, the
// passphrase librnp asks for, output into an SDK block, error mapping and
// events.
#include <rnp/rnp.h>

#include <set>
#include <string>
#include <vector>

#include "objects.h"

namespace pgpsdk {

// Options of one job, gathered from its option lists.
struct JobOptions {
    OptionList holder;  // owns the options; releases their key sets
    const Option* handler = nullptr;
    const Option* input = nullptr;
    const Option* output = nullptr;
    const Option* sign = nullptr;
    const Option* passphrase = nullptr;
    std::vector<KeySet*> encryptTo;
    std::vector<KeyRef> encryptToKeys;     // PGPOEncryptToKey
    const Option* conventional = nullptr;  // its passphrase is the message's password
    const Option* detached = nullptr;      // PGPODetachedSig (decoding: with the signed data)
    bool clearSign = false;
    KeySet* keySet = nullptr;
    const Option* nullEvents = nullptr;
    const PGPUInt32* stopFlag = nullptr;  // tolvOStopFlag
    bool armor = false;
};

// librnp asks for passphrases through a callback on the key store; it is
// pointed at the job's passphrase for the length of one job.
struct PassphraseSource {
    const SecretText* text = nullptr;
    int asked = 0;
    std::set<std::string> keys;  // the keys asked for, by key ID
};

class PassphraseScope {
public:
    PassphraseScope(rnp_ffi_t ffi, PassphraseSource& src);
    ~PassphraseScope();
    PassphraseScope(const PassphraseScope&) = delete;
    PassphraseScope& operator=(const PassphraseScope&) = delete;

private:
    rnp_ffi_t ffi_;
};

PGPError mapRnpError(rnp_result_t r);
bool keyUsable(const Key& k);
PGPError sendEvent(const JobOptions& job, PGPContextRef context, PGPEvent& event);
// The key of keys whose primary key or one of its subkeys has this ID; of
// two keys that list one subkey, the one that owns it.
KeyRef findKeyById(const std::vector<KeyRef>& keys, const std::string& idHex);

PGPError decodeJob(PGPContextRef context, Context& ctx, JobOptions& job);

}  // namespace pgpsdk
