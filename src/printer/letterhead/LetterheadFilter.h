#pragma once

// The stamping step of a letterhead queue, as cupsd runs it: the job's PDF
// on standard input (or in the file of the sixth argument), the stamped PDF
// on standard output, messages for the queue on standard error ("ERROR: ...",
// which cupsd shows as the job's and the printer's state message).
//
// Everything from the job is untrusted: its size is bounded while it is
// spooled, the stamping has a deadline, and nothing reaches standard output
// until the whole stamped document has been written and checked, so a job
// that fails prints nothing rather than half a letterhead.

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace quillary::letterhead {

// A job spooled larger than this is refused (about 10,000 scanned pages).
inline constexpr qint64 kMaxJobBytes = qint64(1) << 30;
// A job up to this size is read into memory (nearly every job: no scratch
// file to create, write and remove); a larger one is spooled to a scratch
// file.
inline constexpr qint64 kMemoryJobBytes = qint64(32) << 20;
// The stamped document is kept in memory up to this size, in a scratch file
// beyond it, until it is whole and passed on. Both bounds together with
// qpdf's objects for a 1,000-page job stay well under 200 MiB.
inline constexpr qint64 kMemoryOutputBytes = qint64(32) << 20;
// A stamping that takes longer than this is stopped.
inline constexpr int kDeadlineSeconds = 15 * 60;

// The filter's arguments as cupsd passes them: job-id user title copies
// options [file].
struct FilterArguments {
    QString jobId, user, title, options;
    int copies = 1;
    std::optional<QString> file;
};
struct ArgumentsResult {
    std::optional<FilterArguments> arguments;
    QString error; // a usage line
};
ArgumentsResult parseFilterArguments(const QStringList& arguments);

// What the run needs from its surroundings.
struct FilterEnvironment {
    QString ppdPath;   // $PPD: the queue's PPD
    QString tempDir;   // $TMPDIR: cupsd's private temporary folder
    qint64 maxJobBytes = kMaxJobBytes;
    qint64 memoryJobBytes = kMemoryJobBytes;
    qint64 memoryOutputBytes = kMemoryOutputBytes;
    int deadlineSeconds = kDeadlineSeconds;
};

// Runs the filter: 0 when the stamped (or, with the letterhead off, the
// unchanged) document was written to out, 1 with an "ERROR:" line on err
// otherwise.
int runFilter(const QStringList& arguments, const FilterEnvironment& environment, int in, int out, std::FILE* err);

} // namespace quillary::letterhead
