#include "cli/BatchRun.h"

#include "cli/RunReport.h"
#include "cli/StampOptions.h"
#include "cli/StampRequest.h"
#include "cli/StampWorkers.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>

#include <algorithm>

namespace quillary::cli {

QString outputFileName(const QString& documentPath, const QString& suffix)
{
    const QString name = QFileInfo(documentPath).fileName();
    if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return name.left(name.size() - 4) + suffix + name.right(4);
    return name + suffix + QStringLiteral(".pdf");
}

QList<BatchItem> planBatch(const QStringList& documentPaths, const QString& directory, const QString& suffix)
{
    // Names with every link followed, so that two spellings of one file meet.
    QHash<QString, QString> documents; // resolved name -> document as given
    for (const QString& document : documentPaths) {
        const QString resolved = resolvedPath(document);
        if (!resolved.isEmpty() && !documents.contains(resolved))
            documents.insert(resolved, document);
    }
    QHash<QString, QString> outputs; // resolved output -> the document it is for
    QList<BatchItem> items;
    items.reserve(documentPaths.size());
    for (const QString& document : documentPaths) {
        BatchItem item{document, QDir(directory).filePath(outputFileName(document, suffix)), {}};
        const QString output = resolvedPath(item.outputPath);
        const QString key = output.isEmpty() ? QFileInfo(item.outputPath).absoluteFilePath() : output;
        if (const auto earlier = outputs.constFind(key); earlier != outputs.cend()) {
            if (sameFile(*earlier, document))
                item.repeated = true;
            else
                item.refusal = QStringLiteral("%1: not stamped: its output %2 is already the output of %3")
                                   .arg(document, item.outputPath, *earlier);
        } else if (const auto input = documents.constFind(key); input != documents.cend()) {
            item.refusal = sameFile(*input, document)
                ? QStringLiteral("%1: not stamped: its output would replace the document itself "
                                 "(give --suffix or another --output-dir)")
                      .arg(document)
                : QStringLiteral("%1: not stamped: its output %2 would replace %3, a document of this run")
                      .arg(document, item.outputPath, *input);
        }
        if (item.refusal.isEmpty() && !item.repeated)
            outputs.insert(key, document);
        items << item;
    }
    return items;
}

QString failureLine(const QString& documentPath, const QString& error)
{
    const QString prefix = documentPath + QStringLiteral(": ");
    return error.startsWith(prefix) ? error : prefix + error;
}

namespace {

// Why nothing can be written into folder; empty when it takes files.
QString unusableFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("%1: no such folder").arg(folder);
    if (!info.isDir())
        return QStringLiteral("%1: not a folder").arg(folder);
    // A file made and removed at once: permissions alone do not say it (a
    // read-only file system, an administrator's rights).
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quillary-stamp-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("%1: cannot write there (%2)").arg(folder, probe.errorString());
    return {};
}

} // namespace

int runBatch(const std::shared_ptr<const StampPlan>& plan, const std::shared_ptr<const StationeryFiles>& stationery,
             const QStringList& documentPaths, const BatchSettings& settings, RunReport& report,
             const std::atomic<bool>& stop)
{
    if (const QString why = unusableFolder(settings.outputDirectory); !why.isEmpty()) {
        report.line(why);
        return ExitFailure;
    }
    const QList<BatchItem> items = planBatch(documentPaths, settings.outputDirectory, settings.suffix);
    const int total = int(items.size());
    int stamped = 0, failed = 0, abandoned = 0, skipped = 0;
    {
        StampWorkers workers(std::clamp(settings.jobs, 1, std::max(total, 1)), &stop);
        for (const BatchItem& item : items) {
            if (item.repeated) {
                report.warning(QStringLiteral("%1: given more than once; stamped once").arg(item.documentPath));
                ++skipped;
                continue;
            }
            if (!item.refusal.isEmpty()) {
                report.line(item.refusal);
                ++failed;
                continue;
            }
            workers.add({item.documentPath, item.outputPath, plan, stationery, nullptr});
        }
        while (workers.pending() > 0) {
            for (const StampWorkers::Outcome& outcome : workers.take(std::chrono::milliseconds(100))) {
                for (const QString& warning : outcome.result.warnings)
                    report.warning(warning);
                if (outcome.result.ok()) {
                    ++stamped;
                } else if (outcome.result.code == ErrorCode::Cancelled) {
                    ++abandoned;
                } else {
                    ++failed;
                    report.line(failureLine(outcome.job.documentPath, outcome.result.error));
                }
            }
            report.progress(stamped + failed + abandoned + skipped, failed, total);
        }
    }
    const QString tail = abandoned > 0 ? QStringLiteral(", stopped before %1 more").arg(abandoned) : QString();
    report.summary(stamped, failed, tail);
    return failed == 0 && abandoned == 0 ? ExitSuccess : ExitFailure;
}

} // namespace quillary::cli
