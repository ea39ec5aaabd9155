#pragma once

// quillary-printer's commands carried out: letterhead queues made, changed,
// listed and removed on the scheduler CUPS_SERVER names (or the system's).

#include "printer/office/OfficeCommand.h"

#include <QTextStream>

namespace quillary::office {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// The filter program a queue's PPD names: quillary-letterhead in the
// scheduler's filter folder, or $QUILLARY_LETTERHEAD_FILTER (a full path, for
// a scheduler whose filter folder is not the package's).
QString filterProgram();

int runCommand(const OfficeCommand& command, QTextStream& out, QTextStream& err);

// The whole program: parse, then run.
int runOfficePrinter(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace quillary::office
