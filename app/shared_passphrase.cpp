#include "app/shared_passphrase.h"

SharedPassphrase& SharedPassphrase::instance()
{
    static SharedPassphrase passphrase;
    return passphrase;
}

std::string_view cutUtf8Chars(std::string_view text, int maxChars)
{
    int chars = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars)
            return text.substr(0, i);
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
        ++chars;
    }
    return text;
}

SecretText SharedPassphrase::get() const
{
    std::lock_guard lock(mutex_);
    return text_;
}

bool SharedPassphrase::isEmpty() const
{
    std::lock_guard lock(mutex_);
    return text_.empty();
}

void SharedPassphrase::set(std::string_view text)
{
    bool differs;
    {
        std::lock_guard lock(mutex_);
        std::string_view cut = cutUtf8Chars(text, kMaxChars);
        differs = cut != text_.str();
        if (differs)
            text_ = SecretText(cut);
    }
    if (differs)
        emit changed();
}

void SharedPassphrase::clear()
{
    bool wasSet;
    {
        std::lock_guard lock(mutex_);
        wasSet = !text_.empty();
        text_.clear();
    }
    if (wasSet)
        emit changed();
}
