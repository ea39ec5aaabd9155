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
// A document that ends the process anyway (a fault in the reader nobody has
// found, the kernel's out-of-memory killer, SIGKILL) is not started into for
// ever, as a service manager restarting the watch would otherwise do. Before
// a worker reads a document it writes a hidden note into IN_DIR naming it,
// with how often it was started (WorkNote.h); the note goes once the worker
// is done with it, and a stop by SIGINT or SIGTERM is no death: the note is
// put back as it was before this start. At the start, a document named in a
// note left behind is tried once more, before any other and with no other
// document in hand, so that a second death can only be its own. Named again
// at the next start, it goes to IN_DIR/failed like any document that cannot
// be stamped, its NAME.txt saying "the stamper stopped while working on this
// document", and the watch goes on with the others.
//
// What a colleague who can write to IN_DIR can do with notes: nothing by
// planting one. Only the user's own regular file, with one name and a few KiB
// at most, is read as a note (a link, a folder, another user's file are left
// alone and told); the name in it is taken only when it is a plain PDF name
// directly in IN_DIR (no '/', not hidden, so never "..") that leads to a
// regular file, the very file noted (inode, size, time stamp), and when the
// note's own name is the one that document's note has. At worst, a note of
// the user's own, brought back, sets one file of IN_DIR aside into failed/;
// nothing outside IN_DIR is read or moved through a note. Removing notes, or
// planting a file under a note's name in a sticky folder (then told once),
// only means a document that ends the process is started again more often.
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
