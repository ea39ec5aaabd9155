#pragma once

// Command line of quillary-stamp: parsing into plain values and resolving those
// values, with the template store, into one merge request. No I/O beyond
// existence checks, so every rule here can be tested without running the tool.

#include "pdf/TaskManager.h"

#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillary {
class CustomFileManager;
}

namespace quillary::cli {

enum ExitCode : int { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

// A decimal number in the C locale ("12", "-3.5", "+.5", "1e1"); the whole text
// must be the number. Nothing for blanks, trailing characters, infinities or a
// value out of float range.
std::optional<float> parseMillimetres(QStringView text);

// An offset "X,Y" in millimetres, returned in points (x right, y up).
// The comma separates the two numbers, so decimals take a point: "10.5,-3".
// For decimal-comma habits "X;Y" is accepted too, each number then with a
// point or a comma: "10,5;-3". "10,5" is therefore always x = 10, y = 5.
struct OffsetParse {
    std::optional<QPointF> points;
    QString error; // why the text is no offset (when points is empty)
};
OffsetParse parseOffset(const QString& text);

// Where a stationery page comes from.
enum class PageSource {
    FromTemplate, // the template's page of that kind (none without a template)
    File,         // a file given on the command line
    Off,          // switched off
};

struct PageChoice {
    PageSource source = PageSource::FromTemplate;
    QString file;
};

enum class Layer { FromTemplate, Behind, Over };

struct StampOptions {
    enum class Mode { Stamp, ListTemplates, Help, Version };
    Mode mode = Mode::Stamp;

    QString documentPath;
    QString outputPath;
    std::optional<QString> templateName;
    PageChoice start;
    PageChoice continuation;
    PageChoice terms;
    Layer layer = Layer::FromTemplate;
    QPointF firstPageOffset;    // points
    QPointF continuationOffset; // points
    SaveOptionsMap saveOptions; // always holds ALLOW_PRINT and WITH_PASSWORD
};

struct ParseOutcome {
    std::optional<StampOptions> options;
    QString error; // usage error, one line, when options is empty
};

// arguments[0] is the program name, as QCoreApplication::arguments() gives it.
ParseOutcome parseStampOptions(const QStringList& arguments);

// The text as one printable line: file names and arguments may hold line
// breaks or control characters, and a message must stay one line.
QString printableLine(const QString& text);

QString helpText();
QString versionText();

// The merge request for parsed options, or why there is none.
struct Resolution {
    std::optional<MergeRequest> request;
    QString error;              // one line naming the file and the reason
    int exitCode = ExitSuccess; // ExitFailure or ExitUsage when request is empty
    QStringList warnings;       // worth telling, not worth failing for
};

// Reads the template from store (only when options name one; store may be null
// otherwise), checks that the named files exist and that the output would not
// overwrite an input. documentFormat must already be set for the document: the
// format check of the template reads it.
Resolution resolveMergeRequest(const StampOptions& options, CustomFileManager* store);

// Paper-format label of a template's "docFormat" value as the preview window
// shows it: "DIN A4", "US Letter" or "Undefined".
QString formatLabel(const QString& docFormat);

} // namespace quillary::cli
