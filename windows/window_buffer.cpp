#include "windows/window_buffer.h"

#include "platform/code_page.h"

#include <algorithm>
#include <cstring>

WindowBuffer WindowBuffer::fromFile(ByteBuffer block, std::int64_t contentLength)
{
    WindowBuffer b;
    b.content_ = contentLength;
    b.block_ = std::move(block);
    return b;
}

WindowBuffer WindowBuffer::allocated(ByteBuffer block, std::int64_t contentLength)
{
    WindowBuffer b;
    b.content_ = contentLength;
    b.allocated_ = true;
    b.block_ = std::move(block);
    return b;
}

WindowBuffer WindowBuffer::fromSdk(sdk::SdkBlock block)
{
    WindowBuffer b;
    b.content_ = static_cast<std::int64_t>(block.size());
    b.block_ = std::move(block);
    return b;
}

char* WindowBuffer::data()
{
    if (auto* b = std::get_if<ByteBuffer>(&block_))
        return b->data();
    if (auto* s = std::get_if<sdk::SdkBlock>(&block_))
        return s->data();
    return nullptr;
}

const char* WindowBuffer::data() const { return const_cast<WindowBuffer*>(this)->data(); }

std::int64_t WindowBuffer::size() const
{
    if (auto* b = std::get_if<ByteBuffer>(&block_))
        return b->size();
    if (auto* s = std::get_if<sdk::SdkBlock>(&block_))
        return static_cast<std::int64_t>(s->size());
    return 0;
}

void WindowBuffer::release()
{
    block_ = std::monostate {};
    content_ = 0;
    allocated_ = false;
}

std::int64_t WindowBuffer::contentCapacity() const
{
    if (!editable())
        return 0;
    return allocated_ ? size() : std::max<std::int64_t>(size() - 1, 0);
}

bool WindowBuffer::reserveContent(std::int64_t n)
{
    if (!isNull() && !editable())
        return false;
    if (!isNull() && n <= contentCapacity())
        return true;
    const bool wasNull = isNull();
    // Grows by half again at least, so that typing costs few copies.
    const std::int64_t old = size();
    const std::int64_t wanted = std::max<std::int64_t>({n + 1, old + old / 2, 256});
    ByteBuffer block = ByteBuffer::allocateZeroed(wanted);
    if (!block)
        return false;
    if (!wasNull)
        std::memcpy(block.data(), data(), static_cast<std::size_t>(old));
    block_ = std::move(block);  // the old block is wiped as it is freed
    if (wasNull) {
        allocated_ = true;
        content_ = 0;
    }
    return true;
}

ByteBuffer oemTextConverted(const char* text, std::size_t size, std::size_t extra, std::size_t& length)
{
    length = 0;
    if (!platform::looksLikeText(text, size) || platform::isValidUtf8(text, size))
        return {};
    const std::size_t converted = platform::oemToAnsiLength(text, size);
    ByteBuffer block = ByteBuffer::allocateZeroed(static_cast<std::int64_t>(converted + extra));
    if (!block)
        return {};
    platform::oemToAnsiInto(text, size, block.data());
    length = converted;
    return block;
}
