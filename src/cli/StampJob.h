#pragma once

// The whole of quillary-stamp behind main(): one job from the arguments to
// the exit status. Parsing is StampOptions', resolution StampRequest's, the
// merge the engine's; the job only runs them in order and reports.

#include <QIODevice>
#include <QStringList>
#include <QTextStream>

namespace quillary::cli {

struct StampOptions;

class StampJob {
public:
    // Results go to out, every complaint as one line to err; in is read for
    // a password file "-" (may be null).
    StampJob(QTextStream& out, QTextStream& err, QIODevice* in);

    // Parses, lists templates or stamps; returns the exit status (0 success,
    // 1 failure, 2 usage error). The store is the process-wide one, opened
    // silently on first use.
    int run(const QStringList& arguments);

private:
    int listTemplates();
    int stamp(const StampOptions& options);
    void complain(const QString& line);

    QTextStream& out;
    QTextStream& err;
    QIODevice* in;
};

} // namespace quillary::cli
