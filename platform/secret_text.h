#pragma once
#include <cstring>
#include <string>
#include <string_view>

// Overwrites memory in a way the compiler may not drop.
inline void wipeMemory(void* data, std::size_t size)
{
    if (data && size)
        ::explicit_bzero(data, size);
}

// A text that holds a secret (a passphrase). Its bytes are wiped when it is
// cleared, reassigned or destroyed.
class SecretText {
public:
    SecretText() = default;
    explicit SecretText(std::string_view text) : text_(text) {}
    SecretText(const SecretText& other) : text_(other.text_) {}
    SecretText(SecretText&& other) noexcept : text_(other.text_) { other.clear(); }
    SecretText& operator=(const SecretText& other)
    {
        if (this != &other) {
            clear();
            text_ = other.text_;
        }
        return *this;
    }
    SecretText& operator=(SecretText&& other) noexcept
    {
        if (this != &other) {
            clear();
            text_ = other.text_;
            other.clear();
        }
        return *this;
    }
    ~SecretText() { clear(); }

    void clear()
    {
        wipeMemory(text_.data(), text_.capacity());
        text_.clear();
    }
    const std::string& str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }

private:
    std::string text_;
};
