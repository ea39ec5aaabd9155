#pragma once

// quillary-stamp --watch IN_DIR --output-dir OUT_DIR: stays running and
// stamps every PDF that appears in IN_DIR.
//
// A file is taken once it is complete: its size and time stamp have not
// changed for the settle time and it ends with a PDF's end marker (a file
// without one is taken after ten settle times, and fails if it is no PDF).
// A file renamed into the folder is complete at once and is taken after the
// settle time. Files whose names start with a dot (a copying program's
// temporary files) and folders are left alone, as is, told once on stderr,
// any entry that is not a regular file: a symbolic link is never followed,
// opened or moved (it could lead into someone else's private files).
//
// IN_DIR may be shared with colleagues. The watch opens it once and makes
// IN_DIR/done and IN_DIR/failed itself; one of those that is a link or
// belongs to another user is refused at the start, and each is checked
// again before anything is moved into it. Moves are made relative to the
// folders held open. A document is read through the file the watch opened
// and checked, never by its name again.
//
// What happens to a document:
//   stamped            output written to OUT_DIR (replacing an older one of
//                      that name), the original moved to IN_DIR/done;
//   cannot be stamped  (damaged, protected, no pages, ...) the original moved
//                      to IN_DIR/failed with NAME.txt beside it giving why;
//   output not written (a full disk, a missing OUT_DIR) the original stays
//                      and is tried again later, less often each time.
// An original is never replaced: a name taken in done/ or failed/ gets a
// number. Stopped at any moment (SIGINT, SIGTERM), the watch abandons the
// writes in hand, which leave nothing behind, and keeps their originals in
// IN_DIR; at worst a document whose output was written just before is
// stamped again at the next start.
//
// With a template, the store's settings file is looked at before documents
// are handed out: once it changed, the template is read again through a new
// store object, and documents handed out afterwards get the new stationery.

#include "cli/StampRequest.h"

#include <QString>
#include <QTextStream>

#include <atomic>
#include <functional>

namespace quillary::cli {

class RunReport;

struct WatchSettings {
    QString inbox;  // IN_DIR
    QString outbox; // OUT_DIR
    QString suffix;
    int jobs = 1;
    double settleSeconds = kDefaultSettleSeconds;
};

// Makes the plan for documents handed out from now on; called at the start
// and whenever the plan's settings file changed.
using PlanMaker = std::function<PlanResolution()>;

// Runs until stop is set. Returns 0 after a stop, 1 when it cannot start
// (a folder missing, the template or a stationery file unusable), 2 when
// the folders contradict each other (OUT_DIR is IN_DIR or one of its own
// folders). Stamped documents are told on out, everything else on report.
int runWatch(const WatchSettings& settings, const PlanMaker& makePlan, RunReport& report, QTextStream& out,
             const std::atomic<bool>& stop);

} // namespace quillary::cli
