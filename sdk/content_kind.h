#pragma once
// What a file holds, told by its first bytes, not its name: an OpenPGP
// message (or a clear-signed text), a detached signature, keys, or
// anything else. Only the start is read; damaged data is still told by it.
#include <cstdint>

namespace sdk {

enum class ContentKind { Message, DetachedSignature, Keys, Other };

ContentKind contentKindOf(const char* data, std::uint64_t size);

}  // namespace sdk
