#include "cli/cli_frontend.h"

#include <cstdio>

void CliFrontend::show(const frontend::Notice& notice)
{
    const QByteArray line = (notice.caption + ": " + QString(notice.text).replace('|', "\n  ")).toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    if (notice.failure != frontend::Failure::None) {
        lastFailure_ = notice;
        ++failures_;
    }
}

std::optional<QString> CliFrontend::chooseFile(const frontend::FileRequest&)
{
    auto path = nextFile_;
    nextFile_.reset();
    return path;
}

bool CliFrontend::askPassphrase(PassphraseBuffer&)
{
    ++passphraseRequests_;
    return withoutPassphrase_;  // no dialog here: the passphrase comes with the command
}

CliFrontend& cliFrontend()
{
    static CliFrontend frontend;
    return frontend;
}
