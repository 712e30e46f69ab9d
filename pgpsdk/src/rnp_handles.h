// RAII holders for librnp's handles and buffers.
#pragma once

#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <memory>
#include <string>

namespace pgpsdk {

struct FfiDeleter {
    void operator()(rnp_ffi_st* f) const { rnp_ffi_destroy(f); }
};
using FfiHandle = std::unique_ptr<rnp_ffi_st, FfiDeleter>;

struct InputDeleter {
    void operator()(rnp_input_st* i) const { rnp_input_destroy(i); }
};
using InputHandle = std::unique_ptr<rnp_input_st, InputDeleter>;

struct OutputDeleter {
    void operator()(rnp_output_st* o) const { rnp_output_destroy(o); }
};
using OutputHandle = std::unique_ptr<rnp_output_st, OutputDeleter>;

struct KeyHandleDeleter {
    void operator()(rnp_key_handle_st* k) const { rnp_key_handle_destroy(k); }
};
using KeyHandle = std::unique_ptr<rnp_key_handle_st, KeyHandleDeleter>;

struct UidHandleDeleter {
    void operator()(rnp_uid_handle_st* u) const { rnp_uid_handle_destroy(u); }
};
using UidHandle = std::unique_ptr<rnp_uid_handle_st, UidHandleDeleter>;

struct SigHandleDeleter {
    void operator()(rnp_signature_handle_st* s) const { rnp_signature_handle_destroy(s); }
};
using SigHandle = std::unique_ptr<rnp_signature_handle_st, SigHandleDeleter>;

struct VerifyDeleter {
    void operator()(rnp_op_verify_st* o) const { rnp_op_verify_destroy(o); }
};
using VerifyHandle = std::unique_ptr<rnp_op_verify_st, VerifyDeleter>;

struct EncryptDeleter {
    void operator()(rnp_op_encrypt_st* o) const { rnp_op_encrypt_destroy(o); }
};
using EncryptHandle = std::unique_ptr<rnp_op_encrypt_st, EncryptDeleter>;

// A new key store. librnp's own diagnostics go nowhere: every failure
// reaches the caller as an error code.
FfiHandle newFfi();

// Takes a string librnp allocated, frees it and gives its text.
inline std::string takeRnpString(char* s)
{
    if (!s)
        return {};
    std::string out(s);
    rnp_buffer_destroy(s);
    return out;
}

// The text a librnp getter of the form get(handle, char** out) gives, or
// an empty text when it fails.
template <typename Handle> std::string rnpText(rnp_result_t (*get)(Handle, char**), Handle handle)
{
    char* s = nullptr;
    if (get(handle, &s) != RNP_SUCCESS)
        return {};
    return takeRnpString(s);
}

}  // namespace pgpsdk
