#include "cli/StampJob.h"

#include "cli/StampOptions.h"
#include "cli/StampRequest.h"
#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QFileInfo>

namespace quillary::cli {

namespace {

CustomFileManager& store()
{
    // The store's progress lines ("File exists", ...) are not for the user of
    // a command-line tool, and must not mix with --list-templates output.
    static ScopedPlainLineSink quiet{PlainLineSink()};
    return sharedStore();
}

// A reason from the engine that names none of the files gets the output's name.
QString namingFile(const QString& why, const MergeRequest& request)
{
    QStringList files{request.outputPath, request.documentPath};
    for (const auto* path : {&request.startPagePath, &request.continuationPagePath, &request.termsPagePath})
        if (*path)
            files << **path;
    for (const QString& file : files)
        if (why.contains(QFileInfo(file).fileName()))
            return why;
    return QStringLiteral("%1: %2").arg(request.outputPath, why);
}

} // namespace

StampJob::StampJob(QTextStream& out, QTextStream& err, QIODevice* in)
    : out(out), err(err), in(in)
{
}

void StampJob::complain(const QString& line)
{
    err << "quillary-stamp: " << printableLine(line) << '\n';
    err.flush();
}

int StampJob::run(const QStringList& arguments)
{
    const ParseOutcome parsed = parseStampOptions(arguments);
    if (!parsed.options) {
        complain(parsed.error + QStringLiteral(" (see --help)"));
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
        return listTemplates();
    case StampOptions::Mode::Stamp:
        return stamp(options);
    }
    return ExitFailure;
}

int StampJob::listTemplates()
{
    CustomFileManager& templates = store();
    const auto records = templates.templateRecords();
    if (!records) {
        const QString where = templates.settingsPath();
        complain(QStringLiteral("%1: no readable template list")
                     .arg(where.isEmpty() ? QStringLiteral("the template store") : where));
        return ExitFailure;
    }
    for (const TemplateRecord& record : *records) {
        // Names are the user's own text; a tab or line break in one must not
        // break the one-line-per-template output.
        out << printableLine(record.name) << '\t' << formatLabel(record.docFormat()) << '\t'
            << (record.isActive() ? "enabled" : "disabled") << '\n';
    }
    out.flush();
    return ExitSuccess;
}

int StampJob::stamp(const StampOptions& options)
{
    const Resolution resolution = resolveMergeRequest(options, {.store = &store(), .standardInput = in});
    if (!resolution.request) {
        complain(resolution.error);
        return resolution.exitCode;
    }
    for (const QString& warning : resolution.warnings)
        complain(QStringLiteral("warning: ") + warning);

    const MergeRequest& request = *resolution.request;
    const Result result = TaskManager::mergeDocument(request);
    for (const QString& warning : result.warnings)
        complain(QStringLiteral("warning: ") + warning);
    if (!result) {
        complain(namingFile(result.error.isEmpty() ? QStringLiteral("the merge failed") : result.error, request));
        return ExitFailure;
    }
    // A success that left no file behind would be a silent loss in a batch.
    if (!QFileInfo(request.outputPath).isFile()) {
        complain(QStringLiteral("%1: nothing was written").arg(request.outputPath));
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace quillary::cli
