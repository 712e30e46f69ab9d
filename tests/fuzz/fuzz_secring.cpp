// Fuzzed bytes as a secret key ring (the public ring is empty).
#define TOLV_FUZZ_SECRET_RING 1
#include "fuzz_keyring.cpp"
