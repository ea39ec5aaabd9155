#pragma once

// quillary-stamp's parsed options resolved, against the template store and
// the file system, into one merge request. Reads the document's size, the
// password files and the store; writes nothing.

#include "cli/StampOptions.h"
#include "pdf/TaskManager.h"

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
    // The template store: templates by name, and the files no output may
    // replace. Null: no store (no template can be named, nothing to protect).
    CustomFileManager* store = nullptr;
    // Read for a password file "-"; null reads nothing (an empty password).
    QIODevice* standardInput = nullptr;
};

// The merge request for parsed options, or why there is none.
struct Resolution {
    std::optional<MergeRequest> request;
    QString error;              // one line naming the file and the reason; never a password
    int exitCode = ExitSuccess; // ExitFailure or ExitUsage when request is empty
    QStringList warnings;       // worth telling, not worth failing for
};

// Reads the passwords and checks them as the engine will store them, measures
// the document's paper format into the request (the output page size), checks
// the offsets against it, takes the template's pages from the store, and
// checks that the output replaces neither an input nor a file of the store.
// Usage errors (ExitUsage): a password refused once prepared, an offset
// beyond ten times the page size, an output that is an input or lies in the
// store. Failures (ExitFailure): a file, template or stored page that is
// missing or unusable.
Resolution resolveMergeRequest(const StampOptions& options, const StampEnvironment& environment);

// Paper-format label of a template's "docFormat" value as the preview window
// shows it: "DIN A4", "US Letter" or "Undefined".
QString formatLabel(const QString& docFormat);

} // namespace quillary::cli
