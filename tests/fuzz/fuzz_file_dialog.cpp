// Fuzzed proposed file names: splitting off the folder, the kept "\!" part
// and building the filter must hold their limits.
#include <cstddef>
#include <cstdint>

#include "core/file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    FileDialogStart s = fileDialogStart(name);
    // A name with a folder is split into parts of at most 119 characters.
    if (!s.directory.isEmpty() && (s.directory.size() > 119 || s.fileName.size() > 119))
        __builtin_trap();
    if (!s.filterText.endsWith("All files|*.*"))
        __builtin_trap();
    const QStringList filters = qtNameFilters(s.filterText);
    if (filters.isEmpty() || filters.size() > 2 || filters.last() != "All files (*)")
        __builtin_trap();
    return 0;
}
