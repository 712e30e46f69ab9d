#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

#include "core/byte_buffer.h"

// Reads a file whole into a new block that is one byte longer than the file
// and ends with a zero byte; size receives file length + 1. A missing file is
// created empty. On failure the user has been told, the result is null and
// size is unchanged (open failed) or the file length (allocation or read
// failed).
ByteBuffer Load_AllFile(const std::string& fileName, std::int64_t& size);

// Asks for a file name (proposing name) and writes size bytes of data to it,
// replacing the file. Returns -1 when the dialog was cancelled, 0 when written
// (and after a reported open failure), 2 when the data could not be written
// whole (reported). name receives the chosen file name.
int SaveOnDiskFile(QString& name, const char* data, std::int64_t size);

enum class FileDialogMode { Open, Save };

// Shows the open or save dialog starting from name. True when a file was
// chosen; name then holds the chosen path.
bool FileNameDialog(const QString& title, QString& name, FileDialogMode mode);

// The parts FileNameDialog works out from a proposed name.
struct FileDialogStart {
    QString directory;   // empty when the name has no folder
    QString fileName;    // the starting file name
    QString keptSuffix;  // the part from "\!" on, appended to the chosen name
    QString filterText;  // description|pattern pairs, e.g. "Files asc|*.asc|All files|*.*"
};
FileDialogStart fileDialogStart(const QString& proposedName);

// Turns "desc|pattern|desc|pattern" into Qt's name filters ("*.*" is every file here).
QStringList qtNameFilters(const QString& filterText);
