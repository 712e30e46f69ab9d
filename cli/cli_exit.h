#pragma once
// tolv-cli's exit codes, and the code a failure the binding reported, or a
// decoded message's verdicts, stand for.
#include "sdk/decode_result.h"

enum Exit {
    Ok = 0,
    Failure = 1,
    Usage = 2,
    BadPassphrase = 3,
    MissingKey = 4,
    BadInput = 5,
    IoFailure = 6,
    BadSignature = 7,
    UncheckedSignature = 8,
    NetworkFailure = 9,  // a look-up found nothing because a server failed
    Interrupted = 130,  // Ctrl-C, as shells count it
};

// The exit code the run's last reported failure stands for.
int exitCodeFromFailure();

// A decoded message whose signatures do not all hold ends with its own code,
// so that a script never takes a bad signature for a good one; so does an
// unsigned one where a signature is required.
int exitCodeOf(const sdk::DecodeResult& result, bool signatureRequired);

// Of two results of a batch, the one that says more is wrong: an
// interruption, then a bad signature, bad input, a missing key or
// passphrase, I/O, any other failure, an unchecked signature, success.
int worseExit(int a, int b);
