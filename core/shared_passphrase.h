#pragma once
#include <QObject>

#include <mutex>

#include "platform/secret_text.h"

// A passphrase text of at most 80 characters that the encoder and decoder
// read and the passphrase dialog fills.
class PassphraseBuffer {
public:
    virtual ~PassphraseBuffer() = default;
    virtual SecretText get() const = 0;
    virtual void set(std::string_view text) = 0;
};

// The process-wide cached passphrase, at most 80 characters. Filled by the
// passphrase dialog or the passphrase entries, used by encoding and
// decoding, and emptied (and wiped) at every tick of the frame's timer.
class SharedPassphrase : public QObject, public PassphraseBuffer {
    Q_OBJECT
public:
    static constexpr int kMaxChars = 80;

    static SharedPassphrase& instance();

    SecretText get() const override;
    bool isEmpty() const;
    // Stores the text, cut to 80 characters (whole UTF-8 characters).
    void set(std::string_view text) override;
    void clear();

signals:
    // Emitted after every change, on the thread that made it.
    void changed();

private:
    SharedPassphrase() = default;
    mutable std::mutex mutex_;
    SecretText text_;
};

// The passphrase of one run only (a password typed for one message): it is
// never cached, and goes with the run.
class OneRunPassphrase : public PassphraseBuffer {
public:
    explicit OneRunPassphrase(SecretText text) : text_(std::move(text)) {}
    SecretText get() const override { return text_; }
    void set(std::string_view text) override { text_ = SecretText(text); }

private:
    SecretText text_;
};

