#pragma once

// The whole of quillary-stamp behind main(): one job from the arguments to
// the exit status. Parsing is StampOptions', resolution StampRequest's, the
// merge the engine's; a batch runs in BatchRun, a watched folder in
// FolderWatch. The job only picks the mode, runs it and reports.

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

    // err is a terminal: a run of many documents shows its progress there.
    void setProgressShown(bool shown) { progressShown = shown; }

    // Parses, lists templates or stamps; returns the exit status (0 success,
    // 1 failure, 2 usage error). The store is opened only when a template is
    // named or listed; otherwise nothing of it is read or made.
    int run(const QStringList& arguments);

private:
    int listTemplates();
    int stamp(const StampOptions& options);
    int stampMany(const StampOptions& options);
    int watch(const StampOptions& options);
    void complain(const QString& line);

    QTextStream& out;
    QTextStream& err;
    QIODevice* in;
    bool progressShown = false;
};

} // namespace quillary::cli
