#pragma once
// Helpers for driving the SDK library directly in its own tests.
#include <string>
#include <vector>

#include "pgpsdk/pgpsdk.h"

namespace harness {

std::string fixture(const std::string& name);

struct Session {
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens a ring pair; returns the SDK's result and keeps the set.
    PGPError open(const std::string& pub, const std::string& sec);
    PGPKeyRef key(const std::string& userIdText);  // exactly one match, or null

    PGPContextRef context = nullptr;
    PGPKeySetRef keys = nullptr;
};

// An option list that reads input and writes into a buffer the SDK
// allocates, at *out with *outSize bytes; the caller frees both.
PGPOptionListRef bufferInOut(Session& s, const std::string& input, void** out, PGPSize* outSize);

// Exports the one key userIdText selects; the error, and the bytes in out.
PGPError exportKey(Session& s, const std::string& userIdText, bool armor, bool secret, std::string& out);

// A new set of the keys each text selects (a user-ID substring); the caller frees it.
PGPKeySetRef keySetOf(Session& s, const std::vector<std::string>& userIdTexts);

struct EncodeResult {
    PGPError error = 0;
    std::string output;
};
EncodeResult encode(Session& s, const std::string& input, const std::string& signer,
                    const std::vector<std::string>& recipients, bool armor, const std::string& passphrase);

struct SignatureReport {
    std::string signerKeyId;
    std::string signerName;
    bool haveKey = false;
    PGPEventSignatureData data {};
};

struct DecodeResult {
    PGPError error = 0;
    bool gotOutput = false;
    std::string output;
    std::vector<std::string> recipientIds;
    std::vector<std::string> recipientNames;
    int recipientsEvents = 0;
    std::vector<SignatureReport> signatures;
    PGPError handlerAnswer = 0;  // what the handler returns (non-zero aborts)
};
// With signedData, message is a detached signature over it (no output).
DecodeResult decode(Session& s, const std::string& message, const std::string& passphrase,
                    PGPError handlerAnswer = 0, const std::string* signedData = nullptr);
// Encodes input into a block with the given options (each from an option maker).
EncodeResult encodeWith(Session& s, const std::string& input, const std::vector<PGPOptionListRef>& options);

// Runs a shell command; returns its exit status and standard output.
int run(const std::string& command, std::string* out = nullptr);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
std::string userIdOf(PGPKeyRef key);

}  // namespace harness
