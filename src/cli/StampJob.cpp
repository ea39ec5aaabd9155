#include "cli/StampJob.h"

#include "cli/BatchRun.h"
#include "cli/FolderWatch.h"
#include "cli/RunReport.h"
#include "cli/StampOptions.h"
#include "cli/StampRequest.h"
#include "cli/StopSignals.h"
#include "pdf/PlainLines.h"
#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"
#include "store/StoreLocation.h"

#include <QFileInfo>

#include <thread>

namespace quillary::cli {

namespace {

// The store, for a named template: opened (and on a first run made) only then.
// Stamping with files alone only needs to know where it is.
StampEnvironment environmentFor(const StampOptions& options, QIODevice* in)
{
    if (options.templateName)
        return {.store = &sharedStore(), .storeDirectory = {}, .standardInput = in};
    return {.store = nullptr, .storeDirectory = storeDirectoryLocation(), .standardInput = in};
}

int jobsFor(const StampOptions& options)
{
    if (options.jobs > 0)
        return options.jobs;
    return std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxJobs);
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
    // The core's plain lines ("File exists", "File doesnt exists") are not
    // for the user of a command-line tool, and must not mix with its output.
    const ScopedPlainLineSink quiet{PlainLineSink()};
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
    case StampOptions::Mode::Batch:
        return stampMany(options);
    case StampOptions::Mode::Watch:
        return watch(options);
    }
    return ExitFailure;
}

int StampJob::listTemplates()
{
    CustomFileManager& templates = sharedStore();
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
    const Resolution resolution = resolveMergeRequest(options, environmentFor(options, in));
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

int StampJob::stampMany(const StampOptions& options)
{
    const PlanResolution planned = resolvePlan(options, environmentFor(options, in));
    if (!planned.plan) {
        complain(planned.error);
        return planned.exitCode;
    }
    for (const QString& warning : planned.plan->warnings)
        complain(QStringLiteral("warning: ") + warning);
    // Read once for the whole run; every worker parses its own copy.
    const auto stationery = StationeryFiles::read(planned.plan->stationeryPaths());
    if (!stationery) {
        complain(stationery.error);
        return ExitFailure;
    }
    const StopSignals stopSignals;
    RunReport report(err, progressShown);
    return runBatch(std::make_shared<const StampPlan>(*planned.plan), *stationery.value, options.documentPaths,
                    {.outputDirectory = *options.outputDirectory, .suffix = options.suffix.value_or(QString()),
                     .jobs = jobsFor(options)},
                    report, stopSignals.flag());
}

int StampJob::watch(const StampOptions& options)
{
    // Passwords are read once, at the start (standard input cannot be read
    // twice); a template is read again whenever the store's settings change,
    // each time through a store object of its own, which reads the file anew.
    std::optional<SaveOptionsMap> saveOptions;
    const PlanMaker makePlan = [&]() -> PlanResolution {
        StampOptions current = options;
        if (saveOptions) {
            current.password = {};
            current.ownerPassword = {};
        }
        std::unique_ptr<CustomFileManager> store;
        StampEnvironment environment{.store = nullptr, .storeDirectory = storeDirectoryLocation(), .standardInput = in};
        if (options.templateName) {
            store = std::make_unique<CustomFileManager>();
            environment = {.store = store.get(), .storeDirectory = {}, .standardInput = in};
        }
        PlanResolution planned = resolvePlan(current, environment);
        if (planned.plan) {
            if (saveOptions)
                planned.plan->base.options = *saveOptions;
            else
                saveOptions = planned.plan->base.options;
        }
        return planned;
    };
    const StopSignals stopSignals;
    RunReport report(err, false);
    return runWatch({.inbox = *options.watchDirectory, .outbox = *options.outputDirectory,
                     .suffix = options.suffix.value_or(QString()), .jobs = jobsFor(options),
                     .settleSeconds = options.settleSeconds.value_or(kDefaultSettleSeconds)},
                    makePlan, report, out, stopSignals.flag());
}

} // namespace quillary::cli
