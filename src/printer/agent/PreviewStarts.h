#pragma once

// What the agent keeps about its previews beyond its own life: how often each
// job's preview was started without ending of its own accord, and the folder
// a job goes to once its preview has died twice.
//
// A document that takes the preview down (a fault in a reader, the kernel's
// out-of-memory killer) would otherwise be opened again at every look and at
// every login. So before a preview starts, its job's count goes up in a
// hidden note in the spool folder, written in one step; a preview that ends
// of its own accord takes its job's line out again. What is still counted
// when an agent starts died with the agent before it, or with the session.
// A job counted kMaxStarts times is not opened again but moved into
// kSetAsideFolder.
//
// The note is the user's own file but is read as untrusted: a regular file
// only, never through a link, owned by the user, at most kMaxNoteBytes; a
// line that does not read as "<count> <job file name>" is passed over.

#include "fs/SafeFs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace quillary::printer {

inline constexpr const char* kStartsNoteName = ".preview-starts";
inline constexpr const char* kSetAsideFolder = "set-aside";
// Starts without an end of its own accord after which a job is set aside.
inline constexpr int kMaxStarts = 2;
inline constexpr qsizetype kMaxNoteBytes = 64 * 1024;

// Job file name -> starts not ended of their own accord.
using StartCounts = QHash<QString, int>;

// Whether name can be a complete job's file: not hidden, no folder part,
// ending in ".pdf", no longer than a file name may be.
bool isJobFileName(const QString& name);

// Opens the spool folder for the note and the set-aside folder: never through
// a link, and only when it is the user's own and nobody else may write to it.
fs::Status openSpoolFolder(const QString& path, fs::Fd* folder);

// The note's text for counts (one line per job, names in a fixed order) and
// the counts a note's text gives: lines that do not parse, names that are no
// job's and counts out of range are passed over.
QByteArray startsNoteText(const StartCounts& counts);
StartCounts parseStartsNote(QByteArrayView text);

// The counts kept in folder's note; none when there is no note. A note that
// is a link, no regular file, someone else's or too large counts as none,
// and *problem says why.
StartCounts readStartsNote(int folder, QString* problem = nullptr);
// Writes counts to folder's note in one step (a link there is replaced, never
// written through), or removes the note when nothing is counted.
fs::Status writeStartsNote(int folder, const StartCounts& counts);

// Moves the job file name (a regular file) from folder into its set-aside
// folder, made when missing and refused when it is a link, someone else's or
// writable by others. A file of that name already there is never replaced:
// the job gets " (2)", " (3)", ... before ".pdf". *keptName: its name there.
fs::Status setJobAside(int folder, const QString& name, QString* keptName);

} // namespace quillary::printer
