#pragma once
// A text box bound to a window's buffer. Text is shown as UTF-8 and typing
// writes back into the buffer in place; binary content is shown as a
// read-only hex dump. Only the first few MiB of a large buffer are shown,
// read-only, with a note saying so.
#include <QPlainTextEdit>

class WindowBuffer;

class BufferView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qint64 kTextLimit = 4 * 1024 * 1024;
    static constexpr qint64 kHexLimit = 256 * 1024;

    explicit BufferView(QWidget* parent = nullptr);

    // Shows buffer (null: an empty, read-only box). The buffer must stay
    // alive until the next bind.
    void bind(WindowBuffer* buffer);
    bool showsHex() const { return hex_; }
    bool showsAll() const { return complete_; }

    static QString hexDump(const char* data, qint64 size);

private:
    void writeBack();

    WindowBuffer* buffer_ = nullptr;
    bool updating_ = false;
    bool hex_ = false;
    bool complete_ = true;
    qint64 textLength_ = 0;  // bytes of text now in the buffer
};
