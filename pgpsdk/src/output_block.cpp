#include "output_block.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

#include "platform/secret_text.h"

namespace pgpsdk {

namespace {
// Blocks are mappings of their own, so that a block grows by moving its
// pages (mremap) and never by copying its plaintext: the peak is the final
// size, and no copy is left behind to wipe.
struct alignas(16) BlockHeader {
    std::size_t mapped;  // bytes mapped, header included
    std::size_t used;    // bytes written so far: only these are wiped
    std::size_t magic;
};
constexpr std::size_t kMagic = 0x5047505344414154ull;  // marks a block of ours

std::size_t mappingFor(std::size_t capacity)
{
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    if (capacity > SIZE_MAX - sizeof(BlockHeader) - 1 - page)
        return 0;
    return (sizeof(BlockHeader) + capacity + 1 + page - 1) / page * page;
}

// The data of a block resized to hold capacity bytes (and a closing zero),
// or null with the block unchanged.
void* resizeBlock(void* data, std::size_t capacity)
{
    BlockHeader* h = static_cast<BlockHeader*>(data) - 1;
    const std::size_t mapped = mappingFor(capacity);
    if (!mapped)
        return nullptr;
    void* moved = ::mremap(h, h->mapped, mapped, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED)
        return nullptr;
    h = static_cast<BlockHeader*>(moved);
    h->mapped = mapped;
    return h + 1;
}

std::size_t capacityOf(const void* data)
{
    return (static_cast<const BlockHeader*>(data) - 1)->mapped - sizeof(BlockHeader) - 1;
}
}  // namespace

void* allocateBlock(std::size_t capacity)
{
    const std::size_t mapped = mappingFor(capacity);
    if (!mapped)
        return nullptr;
    void* m = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return nullptr;
    auto* h = static_cast<BlockHeader*>(m);
    h->mapped = mapped;
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
    wipeMemory(data, std::min(h->used, h->mapped - sizeof(BlockHeader)));
    h->magic = 0;
    ::munmap(h, h->mapped);
}

OutputBlock::OutputBlock(std::size_t initialCapacity, std::size_t maxSize) : maxSize_(maxSize)
{
    data_ = static_cast<char*>(allocateBlock(std::max<std::size_t>(initialCapacity, 4096)));
    if (!data_)
        data_ = static_cast<char*>(allocateBlock(65536));
    capacity_ = data_ ? capacityOf(data_) : 0;
}

OutputBlock::~OutputBlock() { freeBlock(data_); }

bool OutputBlock::grow(std::size_t needed)
{
    if (needed <= capacity_ && data_)
        return true;
    if (!data_)
        return false;
    std::size_t capacity = std::max<std::size_t>(capacity_, 4096);
    while (capacity < needed)
        capacity = capacity > SIZE_MAX / 2 ? needed : capacity + capacity / 2;
    void* moved = resizeBlock(data_, capacity);
    if (!moved)
        return false;
    data_ = static_cast<char*>(moved);
    capacity_ = capacityOf(data_);
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
