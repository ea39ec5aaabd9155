#include "cli/StampTool.h"

#include "cli/StampOptions.h"
#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QFileInfo>

namespace quillary::cli {

namespace {

void complain(QTextStream& err, const QString& line)
{
    err << "quillary-stamp: " << printableLine(line) << '\n';
    err.flush();
}

CustomFileManager& store()
{
    // The store's progress lines ("File exists", ...) are not for the user of
    // a command-line tool, and must not mix with --list-templates output.
    static ScopedPlainLineSink quiet{PlainLineSink()};
    return sharedStore();
}

int listTemplates(QTextStream& out, QTextStream& err)
{
    CustomFileManager& templates = store();
    const auto list = templates.loadTemplateList();
    if (!list) {
        const QString where = templates.settingsPath();
        complain(err, QStringLiteral("%1: no readable template list").arg(where.isEmpty() ? QStringLiteral("the template store") : where));
        return ExitFailure;
    }
    for (const TemplateRecord& record : *list) {
        // Names are the user's own text; a tab or line break in one must not
        // break the one-line-per-template output.
        out << printableLine(record.name) << '\t' << formatLabel(record.docFormat()) << '\t'
            << (record.isActive() ? "enabled" : "disabled") << '\n';
    }
    out.flush();
    return ExitSuccess;
}

int stamp(const StampOptions& options, QTextStream& err)
{
    // The output size follows the document's paper format, set as the preview
    // window sets it, so both write the same file.
    const PageSize size = TaskManager::pageSize(options.documentPath);
    TaskManager::documentFormat = TaskManager::pageFormat(size.width, size.height).formatCode;

    const Resolution resolution =
        resolveMergeRequest(options, options.templateName ? &store() : nullptr);
    if (!resolution.request) {
        complain(err, resolution.error);
        return resolution.exitCode;
    }
    for (const QString& warning : resolution.warnings)
        complain(err, QStringLiteral("warning: ") + warning);

    const MergeRequest& request = *resolution.request;
    const Result result = TaskManager::mergeDocument(request);
    if (!result) {
        QString why = result.error.isEmpty() ? QStringLiteral("the merge failed") : result.error;
        if (!why.contains(QFileInfo(request.outputPath).fileName()) && !why.contains(QFileInfo(request.documentPath).fileName())
            && !(request.startPagePath && why.contains(QFileInfo(*request.startPagePath).fileName()))
            && !(request.continuationPagePath && why.contains(QFileInfo(*request.continuationPagePath).fileName()))
            && !(request.termsPagePath && why.contains(QFileInfo(*request.termsPagePath).fileName())))
            why = QStringLiteral("%1: %2").arg(request.outputPath, why);
        complain(err, why);
        return ExitFailure;
    }
    // A success that left no file behind would be a silent loss in a batch.
    if (!QFileInfo(request.outputPath).isFile()) {
        complain(err, QStringLiteral("%1: nothing was written").arg(request.outputPath));
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace

int runStampTool(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const ParseOutcome parsed = parseStampOptions(arguments);
    if (!parsed.options) {
        complain(err, parsed.error + QStringLiteral(" (see --help)"));
        return ExitUsage;
    }
    const StampOptions& options = *parsed.options;
    switch (options.mode) {
    case StampOptions::Mode::Help:
        out << helpText();
        out.flush();
        return ExitSuccess;
    case StampOptions::Mode::Version:
        out << versionText();
        out.flush();
        return ExitSuccess;
    case StampOptions::Mode::ListTemplates:
        return listTemplates(out, err);
    case StampOptions::Mode::Stamp:
        return stamp(options, err);
    }
    return ExitFailure;
}

} // namespace quillary::cli
