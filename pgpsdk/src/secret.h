// Memory that holds secrets: wiped before it is given back.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace pgpsdk {

inline void wipe(void* p, std::size_t n)
{
    if (p && n)
        ::explicit_bzero(p, n);
}

class SecretString {
public:
    SecretString() = default;
    explicit SecretString(std::string_view s) : s_(s) {}
    SecretString(const SecretString& o) : s_(o.s_) {}
    SecretString(SecretString&& o) noexcept : s_(o.s_) { o.clear(); }
    SecretString& operator=(const SecretString& o)
    {
        if (this != &o) {
            clear();
            s_ = o.s_;
        }
        return *this;
    }
    SecretString& operator=(SecretString&& o) noexcept
    {
        if (this != &o) {
            clear();
            s_ = o.s_;
            o.clear();
        }
        return *this;
    }
    ~SecretString() { clear(); }
    void clear()
    {
        wipe(s_.data(), s_.capacity());
        s_.clear();
    }
    const char* c_str() const { return s_.c_str(); }
    std::size_t size() const { return s_.size(); }
    bool empty() const { return s_.empty(); }

private:
    std::string s_;
};

}  // namespace pgpsdk
