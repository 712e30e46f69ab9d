// Writes SEIPDv2 messages with the AEAD modes no peer chooses on its own
// (sq and gpg write OCB): EAX and GCM, with the bundled engine, to the
// key in the file given (Fiona Four's). scripts/make-rfc9580-fixtures.sh builds it, and has
// sq decrypt what it wrote before the messages become fixtures.
//   write_aead_messages FIONAS_KEY PLAINTEXT OUT_DIR
#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cstdio>
#include <string>

namespace {

bool check(rnp_result_t r, const char* what)
{
    if (r != RNP_SUCCESS)
        std::fprintf(stderr, "write_aead_messages: %s failed (%#x)\n", what, static_cast<unsigned>(r));
    return r == RNP_SUCCESS;
}

bool writeOne(rnp_ffi_t ffi, rnp_key_handle_t key, const char* plain, const std::string& out, const char* mode)
{
    rnp_input_t input = nullptr;
    rnp_output_t output = nullptr;
    rnp_op_encrypt_t op = nullptr;
    bool ok = check(rnp_input_from_path(&input, plain), "input") &&
              check(rnp_output_to_path(&output, out.c_str()), "output") &&
              check(rnp_op_encrypt_create(&op, ffi, input, output), "encrypt") &&
              check(rnp_op_encrypt_add_recipient(op, key), "recipient") &&
              check(rnp_op_encrypt_set_cipher(op, "AES256"), "cipher") &&
              check(rnp_op_encrypt_set_aead(op, mode), mode) &&
              check(rnp_op_encrypt_enable_pkesk_v6(op), "v6 session key") &&
              check(rnp_op_encrypt_execute(op), "execute");
    rnp_op_encrypt_destroy(op);
    rnp_output_destroy(output);
    rnp_input_destroy(input);
    return ok;
}

// The first primary key loaded (the file holds Fiona's alone).
bool firstKey(rnp_ffi_t ffi, rnp_key_handle_t& key)
{
    rnp_identifier_iterator_t it = nullptr;
    const char* fingerprint = nullptr;
    bool ok = check(rnp_identifier_iterator_create(ffi, &it, "fingerprint"), "keys") &&
              check(rnp_identifier_iterator_next(it, &fingerprint), "first key") && fingerprint &&
              check(rnp_locate_key(ffi, "fingerprint", fingerprint, &key), "locate") && key;
    rnp_identifier_iterator_destroy(it);
    if (!ok)
        std::fprintf(stderr, "write_aead_messages: no key in the file\n");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_aead_messages FIONAS_KEY PLAINTEXT OUT_DIR\n");
        return 2;
    }
    rnp_ffi_t ffi = nullptr;
    rnp_input_t keys = nullptr;
    rnp_key_handle_t key = nullptr;
    bool ok = check(rnp_ffi_create(&ffi, "GPG", "GPG"), "ffi") && check(rnp_input_from_path(&keys, argv[1]), "keys") &&
              check(rnp_load_keys(ffi, "GPG", keys, RNP_LOAD_SAVE_PUBLIC_KEYS), "load") &&
              firstKey(ffi, key);
    const std::string dir = argv[3];
    ok = ok && writeOne(ffi, key, argv[2], dir + "/tolv-eax-to-fiona.pgp", "EAX") &&
         writeOne(ffi, key, argv[2], dir + "/tolv-gcm-to-fiona.pgp", "GCM");
    rnp_key_handle_destroy(key);
    rnp_input_destroy(keys);
    rnp_ffi_destroy(ffi);
    return ok ? 0 : 1;
}
