#pragma once
// A text box bound to a window's buffer. Text is shown as UTF-8 and typing
// writes back into the buffer in place; binary content is shown as a
// read-only hex dump. Only the first few MiB of a large buffer are shown,
// read-only, with a note saying so. A buffer grows as typed text outgrows
// it, and an input that has none yet makes one at the first character.
#include <QPlainTextEdit>

class WindowBuffer;

class BufferView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qint64 kTextLimit = 1024 * 1024;
    static constexpr qint64 kHexLimit = 64 * 1024;

    explicit BufferView(QWidget* parent = nullptr);

    // Shows buffer (null: an empty, read-only box; a null WindowBuffer: an
    // empty box that takes typing). The buffer must stay alive until the
    // next bind.
    void bind(WindowBuffer* buffer);
    bool showsHex() const { return hex_; }
    bool showsAll() const { return complete_; }

    static QString hexDump(const char* data, qint64 size);

signals:
    // After typing changed the buffer's content (and maybe its block).
    void contentChanged();
    // Memory ran out: the text past what the buffer holds was not kept.
    void contentRefused();

private:
    void writeBack();

    WindowBuffer* buffer_ = nullptr;
    bool updating_ = false;
    bool hex_ = false;
    bool complete_ = true;
    qint64 textLength_ = 0;  // bytes of text now in the buffer
};
