#include "printer/letterhead/LetterheadFilter.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // A next filter that goes away makes a write fail with a message instead
    // of ending the process without one. (A cancelled job's SIGTERM ends it
    // at once: nothing reaches standard output before the stamping is whole.)
    std::signal(SIGPIPE, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    quillary::letterhead::FilterEnvironment environment;
    environment.ppdPath = QString::fromLocal8Bit(std::getenv("PPD"));
    environment.tempDir = std::getenv("TMPDIR") ? QString::fromLocal8Bit(std::getenv("TMPDIR")) : QDir::tempPath();
    return quillary::letterhead::runFilter(arguments, environment, STDIN_FILENO, STDOUT_FILENO, stderr);
}
