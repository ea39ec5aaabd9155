#include "cli/StampTool.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillary-stamp"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLARY_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return quillary::cli::runStampTool(QCoreApplication::arguments(), out, err);
}
