#include "windows/buffer_view.h"

#include <QFontDatabase>

#include <cstring>

#include "platform/secret_text.h"
#include "platform/code_page.h"
#include "windows/window_buffer.h"

BufferView::BufferView(QWidget* parent) : QPlainTextEdit(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setReadOnly(true);
    connect(this, &QPlainTextEdit::textChanged, this, &BufferView::writeBack);
}

QString BufferView::hexDump(const char* data, qint64 size)
{
    static const char digits[] = "0123456789abcdef";
    QString out;
    out.reserve(static_cast<int>(size / 16 + 1) * 78);
    for (qint64 line = 0; line < size; line += 16) {
        QString row = QString("%1  ").arg(line, 8, 16, QChar('0'));
        QString chars;
        for (qint64 i = line; i < line + 16; ++i) {
            if (i < size) {
                auto b = static_cast<unsigned char>(data[i]);
                row += QChar(digits[b >> 4]);
                row += QChar(digits[b & 15]);
                row += ' ';
                chars += (b >= 32 && b < 127) ? QChar(b) : QChar('.');
            } else {
                row += "   ";
            }
        }
        out += row + " |" + chars + "|\n";
    }
    return out;
}

void BufferView::bind(WindowBuffer* buffer)
{
    buffer_ = buffer;
    updating_ = true;
    hex_ = false;
    complete_ = true;
    textLength_ = 0;
    if (!buffer || buffer->isNull()) {
        // An input with no buffer yet takes typing: the first character makes one.
        setPlainText(QString());
        setReadOnly(!buffer);
        updating_ = false;
        return;
    }
    const char* bytes = buffer->data();
    const qint64 n = buffer->contentLength();
    // Only the part that can be shown is looked at, so a buffer of
    // gigabytes costs no more here than one of a few MiB.
    const qint64 scan = std::min(n, kTextLimit);
    qint64 end;
    bool binary;
    if (buffer->isAllocated()) {
        // An allocated buffer holds zero-terminated text.
        const void* nul = std::memchr(bytes, 0, static_cast<std::size_t>(scan));
        end = nul ? static_cast<const char*>(nul) - bytes : scan;
        binary = !platform::isValidUtf8(bytes, static_cast<std::size_t>(end));
        complete_ = nul != nullptr || n <= kTextLimit;
    } else {
        // Trailing zero bytes are not content.
        end = scan;
        if (n <= kTextLimit)
            while (end > 0 && bytes[end - 1] == '\0')
                --end;
        binary = std::memchr(bytes, 0, static_cast<std::size_t>(end)) != nullptr ||
                 !platform::isValidUtf8(bytes, static_cast<std::size_t>(end));
        complete_ = n <= kTextLimit;
    }
    QString text;
    if (binary) {
        hex_ = true;
        qint64 shown = std::min(n, kHexLimit);
        complete_ = shown == n;
        text = hexDump(bytes, shown);
        if (!complete_)
            text += QString("\n[Binary data: the first %1 of %2 bytes are shown]").arg(shown).arg(n);
    } else {
        qint64 shown = end;
        // Never cut inside a UTF-8 character.
        while (!complete_ && shown > 0 && (static_cast<unsigned char>(bytes[shown]) & 0xC0) == 0x80)
            --shown;
        text = QString::fromUtf8(bytes, static_cast<int>(shown));
        if (!complete_)
            text += QString("\n[Read-only: the first %1 of %2 bytes are shown]").arg(shown).arg(n);
    }
    textLength_ = end;
    setPlainText(text);
    setReadOnly(hex_ || !complete_ || !buffer->editable());
    updating_ = false;
}

void BufferView::writeBack()
{
    if (updating_ || !buffer_ || isReadOnly())
        return;
    // Typing edits the buffer itself: the text from its start, zero bytes
    // after it. The buffer grows when the text outgrows it.
    QByteArray utf8 = toPlainText().toUtf8();
    qint64 n = utf8.size();
    if (!buffer_->reserveContent(n)) {
        n = std::min<qint64>(n, buffer_->contentCapacity());
        while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[static_cast<int>(n)]) & 0xC0) == 0x80)
            --n;
        emit contentRefused();
    }
    if (!buffer_->isNull()) {
        std::memcpy(buffer_->data(), utf8.constData(), static_cast<std::size_t>(n));
        // Past the earlier text the buffer is zero already: only what the text
        // no longer covers is cleared, not the whole rest of a large buffer.
        if (n < textLength_)
            std::memset(buffer_->data() + n, 0, static_cast<std::size_t>(textLength_ - n));
        textLength_ = n;
        buffer_->setContentLength(n);
    }
    wipeMemory(utf8.data(), static_cast<std::size_t>(utf8.size()));
    emit contentChanged();
}
