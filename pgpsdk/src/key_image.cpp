#include "key_image.h"

#include "rnp_handles.h"
#include "platform/secret_text.h"

namespace pgpsdk {

KeyImage::~KeyImage() { wipeMemory(bytes.data(), bytes.size()); }

bool imageOf(rnp_ffi_t ffi, const std::string& fingerprint, KeyImage& image)
{
    rnp_key_handle_t raw = nullptr;
    if (rnp_locate_key(ffi, "fingerprint", fingerprint.c_str(), &raw) != RNP_SUCCESS || !raw)
        return false;
    KeyHandle key(raw);
    rnp_output_t rawOut = nullptr;
    if (rnp_output_to_memory(&rawOut, 0) != RNP_SUCCESS)
        return false;
    OutputHandle out(rawOut);
    bool secret = false;
    rnp_key_have_secret(key.get(), &secret);
    rnp_key_export(key.get(), out.get(), RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS);
    if (secret)
        rnp_key_export(key.get(), out.get(), RNP_KEY_EXPORT_SECRET | RNP_KEY_EXPORT_SUBKEYS);
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (rnp_output_memory_get_buf(out.get(), &data, &size, false) != RNP_SUCCESS)
        return false;
    image.bytes.assign(data, data + size);
    wipeMemory(data, size);
    return true;
}

bool importImage(rnp_ffi_t ffi, const KeyImage& image)
{
    rnp_input_t raw = nullptr;
    if (rnp_input_from_memory(&raw, image.bytes.data(), image.bytes.size(), false) != RNP_SUCCESS)
        return false;
    InputHandle input(raw);
    const std::uint32_t flags = RNP_LOAD_SAVE_PUBLIC_KEYS | RNP_LOAD_SAVE_SECRET_KEYS | RNP_LOAD_SAVE_PERMISSIVE;
    return rnp_import_keys(ffi, input.get(), flags, nullptr) == RNP_SUCCESS;
}

bool removeWholeKey(rnp_ffi_t ffi, const std::string& fingerprint)
{
    rnp_key_handle_t raw = nullptr;
    if (rnp_locate_key(ffi, "fingerprint", fingerprint.c_str(), &raw) != RNP_SUCCESS || !raw)
        return true;  // not there
    KeyHandle key(raw);
    bool secret = false;
    rnp_key_have_secret(key.get(), &secret);
    const std::uint32_t parts = RNP_KEY_REMOVE_PUBLIC | RNP_KEY_REMOVE_SUBKEYS | (secret ? RNP_KEY_REMOVE_SECRET : 0);
    return rnp_key_remove(key.get(), parts) == RNP_SUCCESS;
}

}  // namespace pgpsdk
