#include "windows/open_files.h"

#include <QFile>
#include <QFileInfo>

#include "app/prompts.h"
#include "sdk/content_kind.h"
#include "windows/decode_window.h"
#include "windows/encode_window.h"
#include "windows/key_list_window.h"

namespace {

// What the file holds, told by its first 64 KiB.
sdk::ContentKind kindOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return sdk::ContentKind::Other;
    const QByteArray head = file.read(64 * 1024);
    return sdk::contentKindOf(head.constData(), static_cast<std::uint64_t>(head.size()));
}

}  // namespace

void openFiles(MainFrame& frame, const QStringList& paths)
{
    for (const QString& given : paths) {
        const QFileInfo info(given);
        if (!info.isFile()) {
            Prompts::message("Open", "There is no file " + given + ".", Prompts::Icon::Exclamation);
            continue;
        }
        const QString path = info.absoluteFilePath();
        switch (kindOfFile(path)) {
        case sdk::ContentKind::Message:
        case sdk::ContentKind::DetachedSignature: DecodeWindow::openWithFile(frame, path); break;
        case sdk::ContentKind::Keys: KeyListWindow::openOfferingImport(frame, path); break;
        case sdk::ContentKind::Other: EncodeWindow::openWithFile(frame, path); break;
        }
    }
}
