#pragma once
#include <cstdint>
#include <string>

// The name of the calling thread's last OS error, in upper case, from the
// table of Windows system error codes; "ERROR CODE n" for codes not in it.
std::string ErrorText();

// The same text for a given code.
std::string errorTextForCode(std::uint32_t code);

// Number of codes the table knows (for checks of the table itself).
std::size_t errorTableSize();
