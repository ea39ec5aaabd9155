#pragma once

// quillary-stamp --output-dir DIR DOCUMENT...: many documents in one call,
// stamped by worker threads with one plan and stationery read once.

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace quillary {
class StationeryFiles;
}

namespace quillary::cli {

class RunReport;
struct StampPlan;

// The name of a document's output: its own file name with suffix inserted
// before ".pdf" (in whatever case it is written); a name that does not end in
// ".pdf" gets suffix and ".pdf" appended.
QString outputFileName(const QString& documentPath, const QString& suffix);

// One document of a batch and where its output goes.
struct BatchItem {
    QString documentPath;
    QString outputPath;
    QString refusal; // why it is not stamped at all; empty: stamp it
    bool repeated = false; // the same file given again: stamped once only
};

// Where each document goes in directory, in the order given. No output
// replaces another output of the run or one of its documents: of two
// documents with one output (the same name in two folders) the later is
// refused with a reason that names the earlier, and so is a document whose
// output would replace a document of the run. A file given twice is
// stamped once.
QList<BatchItem> planBatch(const QStringList& documentPaths, const QString& directory, const QString& suffix);

struct BatchSettings {
    QString outputDirectory;
    QString suffix;
    int jobs = 1;
};

// Stamps every document; a failure is reported and the others go on. The
// output folder must exist and take files, else nothing is stamped. A set
// stop flag ends the run early: documents in hand are abandoned unwritten.
// Returns the exit status: 0 when every document was stamped, 1 otherwise.
int runBatch(const std::shared_ptr<const StampPlan>& plan, const std::shared_ptr<const StationeryFiles>& stationery,
             const QStringList& documentPaths, const BatchSettings& settings, RunReport& report,
             const std::atomic<bool>& stop);

// One line for a document that was not stamped: the document, then the
// reason (which may name the output or a stationery file).
QString failureLine(const QString& documentPath, const QString& error);

} // namespace quillary::cli
