#pragma once
// A block of bytes the SDK library handed out (an encode or decode output).
// It is released through the library's own PGPFreeData, and keeps the
// library mapped until then.
#include <cstdint>
#include <memory>
#include <utility>

#include "sdk/sdk_session.h"

namespace sdk {

class SdkBlock {
public:
    SdkBlock() = default;
    SdkBlock(const SdkBlock&) = delete;
    SdkBlock& operator=(const SdkBlock&) = delete;
    SdkBlock(SdkBlock&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)), lease_(std::move(o.lease_))
    {
    }
    SdkBlock& operator=(SdkBlock&& o) noexcept
    {
        if (this != &o) {
            release();
            data_ = std::exchange(o.data_, nullptr);
            size_ = std::exchange(o.size_, 0);
            lease_ = std::move(o.lease_);
        }
        return *this;
    }
    ~SdkBlock() { release(); }

    // Takes a block the current library allocated.
    void adopt(void* data, std::uint64_t size)
    {
        release();
        if (!data)
            return;
        data_ = static_cast<char*>(data);
        size_ = size;
        lease_ = currentLibraryLease();
    }
    void release()
    {
        if (data_ && lease_)
            lease_->freeData(data_);
        data_ = nullptr;
        size_ = 0;
        lease_.reset();
    }
    char* data() { return data_; }
    const char* data() const { return data_; }
    std::uint64_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    char* data_ = nullptr;
    std::uint64_t size_ = 0;
    std::shared_ptr<LibraryLease> lease_;
};

}  // namespace sdk
