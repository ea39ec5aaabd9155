#include "cli/StampJob.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillary-stamp"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLARY_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QFile in; // read only for a password file "-"
    const bool hasInput = in.open(stdin, QIODevice::ReadOnly);
    quillary::cli::StampJob job(out, err, hasInput ? &in : nullptr);
    return job.run(QCoreApplication::arguments());
}
