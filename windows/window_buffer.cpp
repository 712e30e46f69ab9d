#include "windows/window_buffer.h"

WindowBuffer WindowBuffer::fromFile(ByteBuffer block, std::int64_t contentLength)
{
    WindowBuffer b;
    b.content_ = contentLength;
    b.block_ = std::move(block);
    return b;
}

WindowBuffer WindowBuffer::allocated(ByteBuffer block)
{
    WindowBuffer b;
    b.content_ = block.size();
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
