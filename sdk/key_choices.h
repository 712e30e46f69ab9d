#pragma once
#include <string>
#include <vector>

// The user IDs the encode window offers: every usable key under
// "Encrypt for :", and the usable key pairs under "Sign :", both in
// user-ID order. Revoked, disabled and expired keys are left out, and so
// are keys without a user ID, which no user-ID text could select.
struct KeyChoiceList {
    std::vector<std::string> signers;
    std::vector<std::string> recipients;
};

// Reads the open key rings (to be run on a worker thread).
KeyChoiceList fillKeyChoices();
