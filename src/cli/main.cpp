#include "cli/StampJob.h"

#include <QFile>
#include <QString>
#include <QTextStream>

#include <cstdio>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // No QCoreApplication: the tool runs no event loop and needs none of what
    // one sets up (locale, plugins), and each call starts sooner without it.
    // The arguments are decoded as QCoreApplication::arguments() decodes them.
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QFile in; // read only for a password file "-"
    const bool hasInput = in.open(stdin, QIODevice::ReadOnly);
    quillary::cli::StampJob job(out, err, hasInput ? &in : nullptr);
    job.setProgressShown(::isatty(STDERR_FILENO) == 1);
    return job.run(arguments);
}
