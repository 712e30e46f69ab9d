#include "core/shared_passphrase.h"

#include "platform/code_page.h"

SharedPassphrase& SharedPassphrase::instance()
{
    static SharedPassphrase passphrase;
    return passphrase;
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
        std::string_view cut = platform::cutUtf8Chars(text, kMaxChars);
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
