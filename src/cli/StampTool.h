#pragma once

#include <QStringList>
#include <QTextStream>

namespace quillary::cli {

// The whole tool behind main(): parses arguments, lists templates or stamps,
// and returns the exit status (0 success, 1 failure, 2 usage error). Results
// go to out, every complaint as one line to err.
int runStampTool(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace quillary::cli
