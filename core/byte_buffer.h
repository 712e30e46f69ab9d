#pragma once
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "platform/secret_text.h"

// A block of bytes from the heap with its size. It owns the block, wipes it
// and frees it when released; sizes are 64-bit.
class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ByteBuffer(ByteBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
    {
    }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept
    {
        if (this != &other) {
            release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~ByteBuffer() { release(); }

    // A zero-filled block of size bytes; an empty buffer when that fails.
    static ByteBuffer allocateZeroed(std::int64_t size)
    {
        ByteBuffer b;
        if (size < 0)
            return b;
        void* p = std::calloc(static_cast<std::size_t>(size ? size : 1), 1);
        if (p) {
            b.data_ = static_cast<char*>(p);
            b.size_ = size;
        }
        return b;
    }

    void release()
    {
        if (data_) {
            wipeMemory(data_, static_cast<std::size_t>(size_));
            std::free(data_);
        }
        data_ = nullptr;
        size_ = 0;
    }

    char* data() { return data_; }
    const char* data() const { return data_; }
    std::int64_t size() const { return size_; }
    bool isNull() const { return data_ == nullptr; }
    explicit operator bool() const { return data_ != nullptr; }

    // Shrinks the counted size (the block itself stays as allocated).
    void setSize(std::int64_t size) { size_ = size; }

private:
    char* data_ = nullptr;
    std::int64_t size_ = 0;
};
