#include "output_block.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/secret_text.h"

namespace pgpsdk {

namespace {
struct alignas(16) BlockHeader {
    std::size_t capacity;
    std::size_t used;  // bytes written so far: only these are wiped
    std::size_t magic;
};
constexpr std::size_t kMagic = 0x5047505344414154ull;  // marks a block of ours
}  // namespace

void* allocateBlock(std::size_t capacity)
{
    if (capacity > SIZE_MAX - sizeof(BlockHeader) - 1)
        return nullptr;
    auto* h = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + capacity + 1));
    if (!h)
        return nullptr;
    h->capacity = capacity + 1;
    h->used = 0;
    h->magic = kMagic;
    return h + 1;
}

void freeBlock(void* data)
{
    if (!data)
        return;
    BlockHeader* h = static_cast<BlockHeader*>(data) - 1;
    if (h->magic != kMagic)
        return;  // not ours: refusing is safer than freeing
    // Pages never written hold nothing and stay untouched.
    wipeMemory(data, std::min(h->used, h->capacity));
    h->magic = 0;
    std::free(h);
}

OutputBlock::OutputBlock(std::size_t initialCapacity, std::size_t maxSize) : maxSize_(maxSize)
{
    std::size_t want = initialCapacity ? initialCapacity : 4096;
    while (!grow(want) && want > 65536)
        want /= 2;
}

OutputBlock::~OutputBlock() { freeBlock(data_); }

bool OutputBlock::grow(std::size_t needed)
{
    if (needed <= capacity_ && data_)
        return true;
    std::size_t capacity = capacity_ ? capacity_ : 4096;
    while (capacity < needed)
        capacity = capacity > SIZE_MAX / 2 ? needed : capacity + capacity / 2;
    void* fresh = allocateBlock(capacity);
    if (!fresh)
        return false;
    // No realloc: the old block may hold plaintext and is wiped before it goes.
    if (data_) {
        std::memcpy(fresh, data_, size_);
        (static_cast<BlockHeader*>(fresh) - 1)->used = size_;
        freeBlock(data_);
    }
    data_ = static_cast<char*>(fresh);
    capacity_ = capacity;
    return true;
}

bool OutputBlock::append(const void* data, std::size_t size)
{
    if (size > maxSize_ || size_ > maxSize_ - size) {
        tooLarge_ = true;
        return false;
    }
    if (!grow(size_ + size))
        return false;
    std::memcpy(data_ + size_, data, size);
    size_ += size;
    data_[size_] = 0;
    (reinterpret_cast<BlockHeader*>(data_) - 1)->used = size_ + 1;
    return true;
}

void* OutputBlock::release()
{
    void* out = data_;
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    return out;
}

}  // namespace pgpsdk
