// Blocks the SDK hands out. A header in front of the data records the
// capacity, so PGPFreeData can wipe the whole block before freeing it.
#pragma once

#include <cstddef>

namespace pgpsdk {

// A growing output buffer whose final block is handed to the caller.
class OutputBlock {
public:
    // Reserves initialCapacity (falling back to less when that much address
    // space is refused); pages are only used as they are written.
    explicit OutputBlock(std::size_t initialCapacity, std::size_t maxSize);
    ~OutputBlock();
    OutputBlock(const OutputBlock&) = delete;
    OutputBlock& operator=(const OutputBlock&) = delete;

    // False when the block would pass the maximum size or memory runs out.
    bool append(const void* data, std::size_t size);
    bool tooLarge() const { return tooLarge_; }
    std::size_t size() const { return size_; }
    const char* data() const { return data_; }
    // Hands the block out (to be freed with PGPFreeData); the object is empty afterwards.
    void* release();

private:
    bool grow(std::size_t needed);
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t maxSize_;
    bool tooLarge_ = false;
};

void* allocateBlock(std::size_t capacity);
void freeBlock(void* data);

}  // namespace pgpsdk
