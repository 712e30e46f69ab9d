#include "core/frontend.h"

#include <atomic>
#include <cstdio>

namespace frontend {

namespace {

class StandardErrorFrontend : public Frontend {
public:
    void show(const Notice& n) override
    {
        const QByteArray line = (n.caption + ": " + QString(n.text).replace('|', "\n  ")).toUtf8();
        std::fprintf(stderr, "%s\n", line.constData());
    }
    std::optional<QString> chooseFile(const FileRequest&) override { return std::nullopt; }
    bool askPassphrase(PassphraseBuffer&) override { return false; }
};

StandardErrorFrontend fallback;
std::atomic<Frontend*> installed {nullptr};

}  // namespace

void install(Frontend* f) { installed = f; }

Frontend& current()
{
    Frontend* f = installed;
    return f ? *f : fallback;
}

}  // namespace frontend
