#include "printer/office/OfficePrinter.h"

#include <QStringList>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return quillary::office::runOfficePrinter(arguments, out, err);
}
