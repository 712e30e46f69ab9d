#pragma once
// A window's input or output: a block read from a file or allocated by the
// window, or a block the SDK handed out. It knows how many of its bytes are
// content (a loaded file's block ends with an extra zero byte that is not).
#include <cstdint>
#include <variant>

#include "core/byte_buffer.h"
#include "sdk/sdk_block.h"

class WindowBuffer {
public:
    WindowBuffer() = default;
    static WindowBuffer fromFile(ByteBuffer block, std::int64_t contentLength);
    // A block the window allocated; its content is what was typed into it
    // (none at first), never the unused zero bytes behind.
    static WindowBuffer allocated(ByteBuffer block, std::int64_t contentLength = 0);
    static WindowBuffer fromSdk(sdk::SdkBlock block);

    char* data();
    const char* data() const;
    // The size shown and saved: the whole block.
    std::int64_t size() const;
    // The bytes that count as content: encode and the text view use these.
    std::int64_t contentLength() const { return content_; }
    void setContentLength(std::int64_t n) { content_ = n; }
    bool isNull() const { return data() == nullptr; }
    bool editable() const { return std::holds_alternative<ByteBuffer>(block_); }
    bool isAllocated() const { return allocated_; }
    // How many content bytes the block can hold (a file's block keeps its
    // closing zero byte).
    std::int64_t contentCapacity() const;
    // Makes room for n content bytes, moving the content to a larger block
    // when needed (the old one is wiped); a null buffer becomes an allocated
    // one. False when memory runs out; the buffer is then unchanged.
    bool reserveContent(std::int64_t n);
    void release();

private:
    std::variant<std::monostate, ByteBuffer, sdk::SdkBlock> block_;
    std::int64_t content_ = 0;
    bool allocated_ = false;
};

// OEM (CP866) text converted to UTF-8 in a new zeroed block, with extra
// zero bytes after it; length receives the converted text's size. A null
// block when the text needs no conversion (binary data, or UTF-8 already,
// which plain ASCII is) or memory runs out. No other copy is made.
ByteBuffer oemTextConverted(const char* text, std::size_t size, std::size_t extra, std::size_t& length);
