#pragma once

// quillary-stamp's parsed options resolved, against the template store and
// the file system, into one merge request. Reads the document's size, the
// password files and the store; writes nothing.

#include "cli/StampOptions.h"
#include "pdf/TaskManager.h"
#include "store/TemplateRecord.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillary {
class CustomFileManager;
}

namespace quillary::cli {

// What a resolution reads besides the files the options name.
struct StampEnvironment {
    // The template store, opened: templates by name, and the files no output
    // may replace. Null: no store is read, and no template can be named.
    CustomFileManager* store = nullptr;
    // The store's folder, which no output may lie in, when no store is opened
    // (worked out without making one). Empty: there is no store to protect.
    QString storeDirectory;
    // Read for a password file "-"; null reads nothing (an empty password).
    QIODevice* standardInput = nullptr;
};

// What every document of a run shares, resolved once: the save options with
// the passwords read and checked, the stationery pages and their layer, the
// offsets, and the store's files that no output may replace.
struct StampPlan {
    // Everything but the document, its output and its paper format.
    MergeRequest base;
    std::optional<TemplateRecord> record; // the template named, if any
    QString storeDirectory;               // links followed; empty: none
    QStringList storeFiles;               // settings file and stored pages
    QString settingsPath;                 // the store's settings file, when a store was read
    QStringList warnings;                 // once for the run

    // The stationery files in use, each once.
    QStringList stationeryPaths() const;
};

struct PlanResolution {
    std::optional<StampPlan> plan;
    QString error;              // one line naming the file and the reason; never a password
    int exitCode = ExitSuccess; // ExitFailure or ExitUsage when plan is empty
};

// Reads the passwords and checks them as the engine will store them, takes
// the template's pages from the store and checks the stationery files.
// Usage errors (ExitUsage): a password refused once prepared. Failures
// (ExitFailure): a file, template or stored page that is missing or unusable.
PlanResolution resolvePlan(const StampOptions& options, const StampEnvironment& environment);

// The merge request for parsed options, or why there is none.
struct Resolution {
    std::optional<MergeRequest> request;
    QString error;              // one line naming the file and the reason; never a password
    int exitCode = ExitSuccess; // ExitFailure or ExitUsage when request is empty
    ErrorCode code = ErrorCode::None; // what kind of refusal, when request is empty
    QStringList warnings;       // worth telling, not worth failing for
};

// The request for one document of a plan: measures the document's paper
// format into the request (the output page size), checks the offsets against
// it, and checks that the output replaces neither an input nor a file of the
// store. Usage errors (ExitUsage): an offset beyond ten times the page size,
// an output that is an input or lies in the store. Failures (ExitFailure): a
// missing document, an output folder that does not exist. Reads the plan and
// the file system only: any thread may call it.
// readFrom, when given, is the file read for the document (an open file's
// name under /proc, held by a watch); documentPath still decides by its name.
Resolution resolveDocument(const StampPlan& plan, const QString& documentPath, const QString& outputPath,
                           const QString& readFrom = {});

// resolvePlan and resolveDocument for the one document of the options.
Resolution resolveMergeRequest(const StampOptions& options, const StampEnvironment& environment);

// True when both names lead to one file (symbolic and hard links included);
// for names of files that do not exist yet, when their absolute names match.
bool sameFile(const QString& a, const QString& b);

// The name a path ends at once every link on the way is followed, also when
// the file itself does not exist yet; empty when its folder does not exist.
QString resolvedPath(const QString& path);

// Paper-format label of a template's "docFormat" value as the preview window
// shows it: "DIN A4", "US Letter" or "Undefined".
QString formatLabel(const QString& docFormat);

} // namespace quillary::cli
