#include "core/file_io.h"

#include "core/path_text.h"

#include <QDir>
#include <QFileInfo>

#include "core/error_text.h"
#include "core/frontend.h"
#include "platform/file_access.h"
#include "platform/last_error.h"

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
QString qPath(const std::string& s) { return pathToQString(s); }

void ioFailure(const QString& caption, const QString& text)
{
    frontend::notify({caption, text, frontend::Icon::Stop, frontend::Failure::Io});
}

QString removeTrailingBlanks(QString s)
{
    while (!s.isEmpty() && s.back() == ' ')
        s.chop(1);
    return s;
}

}  // namespace

ByteBuffer Load_AllFile(const std::string& fileName, std::int64_t& size)
{
    const QString caption = "Load_AllFile";
    int fd = platform::openForReadCreating(fileName);
    if (fd < 0) {
        ioFailure(caption, "Error CreateFile " + qPath(fileName) + "|" + q(ErrorText()));
        return {};
    }
    std::int64_t length = platform::fileSize(fd);
    if (length < 0) {
        std::string why = ErrorText();
        platform::closeFile(fd);
        ioFailure(caption, "Error read all file " + qPath(fileName) + "|" + q(why));
        return {};
    }
    size = length;
    ByteBuffer block = ByteBuffer::allocateZeroed(length + 1);
    if (!block) {
        platform::setLastError(platform::win::NotEnoughMemory);
        platform::closeFile(fd);
        ioFailure(caption, "HeapAlloc(" + QString::number(length) + ") error" + q(ErrorText()));
        return {};
    }
    std::int64_t got = platform::readFully(fd, block.data(), static_cast<std::uint64_t>(length));
    // A file that gives more than its size (/proc and the like) is refused.
    char extra;
    const bool longer = got == length && platform::readFully(fd, &extra, 1) == 1;
    platform::closeFile(fd);
    if (longer) {
        platform::setLastError(platform::win::NotRegularFile);
        ioFailure(caption, "Error CreateFile " + qPath(fileName) + "|" + q(ErrorText()));
        return {};
    }
    if (got != length) {
        ioFailure(caption, "Error read all file " + qPath(fileName) + "|Size = " + QString::number(length));
        return {};
    }
    size = length + 1;
    return block;
}

int SaveOnDiskFile(QString& name, const char* data, std::int64_t size)
{
    if (!FileNameDialog("Save file to", name, FileDialogMode::Save))
        return -1;
    const QString caption = "SaveOnDiskFile";
    const std::string path = pathFromQString(name);
    auto result = platform::writeFileReplacing(path, data, static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0)));
    if (result == platform::WriteResult::OpenFailed) {
        ioFailure(caption, "Error CreateFile " + name + "|" + q(ErrorText()));
        return 0;
    }
    if (result == platform::WriteResult::WriteFailed) {
        ioFailure(caption, "Error write all file " + name + "|Size = " + QString::number(size));
        return 2;
    }
    return 0;
}

FileDialogStart fileDialogStart(const QString& proposedName)
{
    FileDialogStart start;
    QString name = removeTrailingBlanks(proposedName);
    int bang = name.indexOf("\\!");
    if (bang >= 0) {
        start.keptSuffix = name.mid(bang);
        name = name.left(bang);
    }
    int dot = name.lastIndexOf('.');
    QString extFilter;
    if (dot >= 0 && dot >= name.size() - 5) {
        QString ext = name.mid(dot + 1);
        // Only a plain extension makes a filter: "|" would split the filter
        // list, and blanks or control characters make no pattern.
        bool plain = !ext.isEmpty();
        for (QChar ch : ext)
            plain = plain && ch.isPrint() && !ch.isSpace() && ch != '|' && ch != '/' && ch != '*' && ch != '?';
        if (plain)
            extFilter = ("Files " + ext + "|*." + ext).left(40);
    }
    start.filterText = extFilter.isEmpty() ? "All files|*.*" : extFilter + "|All files|*.*";
    int slash = name.lastIndexOf('/');
    if (slash >= 0) {
        start.directory = name.left(slash).left(119);
        if (start.directory.isEmpty())
            start.directory = "/";
        start.fileName = name.mid(slash + 1).left(119);
    } else {
        start.fileName = name;
    }
    return start;
}

QStringList qtNameFilters(const QString& filterText)
{
    QStringList parts = filterText.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1] == "*.*" ? QString("*") : parts[i + 1];
        filters << parts[i] + " (" + pattern + ")";
    }
    return filters;
}

bool FileNameDialog(const QString& title, QString& name, FileDialogMode mode)
{
    // The dialog is told where to start; the working directory is never
    // changed, so it is the same afterwards for every thread.
    FileDialogStart start = fileDialogStart(name);
    frontend::FileRequest request;
    request.title = title;
    request.directory = start.directory.isEmpty() ? QDir::currentPath() : start.directory;
    request.fileName = start.fileName;
    request.filters = qtNameFilters(start.filterText);
    request.mode = mode == FileDialogMode::Open ? frontend::FileMode::Open : frontend::FileMode::Save;
    auto chosen = frontend::current().chooseFile(request);
    if (!chosen)
        return false;
    // File names are case-sensitive here: the chosen path is kept as it is.
    name = removeTrailingBlanks(*chosen) + start.keptSuffix;
    return true;
}
