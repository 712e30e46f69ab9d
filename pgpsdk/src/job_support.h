#pragma once
// What PGPEncode and PGPDecode share: the options of one job, the
// passphrase librnp asks for, output into an SDK block, error mapping and
// events.
#include <rnp/rnp.h>

#include <chrono>
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
    KeySet* keySet = nullptr;
    const Option* nullEvents = nullptr;
    bool armor = false;
};

// librnp's input over a job's memory input. With null events asked for, it
// tells the event handler how far it got (at the start, at most once per
// interval, and at the end), and stops reading when the handler says so.
class ProgressInput {
public:
    ProgressInput(const JobOptions& job, PGPContextRef context, const unsigned char* data, std::size_t size)
        : job_(job), context_(context), data_(data), size_(size)
    {
    }
    // Null when librnp could not make it.
    rnp_input_t make();
    bool stopped() const { return stopped_; }

private:
    static bool read(void* self, void* buf, size_t len, size_t* got);
    bool tell(bool force);

    const JobOptions& job_;
    PGPContextRef context_;
    const unsigned char* data_;
    std::size_t size_;
    std::size_t done_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool stopped_ = false;
    std::chrono::steady_clock::time_point last_ {};
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

// rnp output callbacks that append to an OutputBlock given as the context.
bool writeToBlock(void* ctx, const void* buf, size_t len);
void closeBlock(void*, bool);

PGPError mapRnpError(rnp_result_t r);
bool keyUsable(const Key& k);
PGPError sendEvent(const JobOptions& job, PGPContextRef context, PGPEvent& event);
// The key of keys whose primary key or one of its subkeys has this ID.
KeyRef findKeyById(const std::vector<KeyRef>& keys, const std::string& idHex);

PGPError decodeJob(PGPContextRef context, Context& ctx, JobOptions& job);

}  // namespace pgpsdk
