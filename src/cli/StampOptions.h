#pragma once

// Command line of quillary-stamp: the option table, parsing into plain values
// and the help text made from the same table. No I/O: reading files and the
// store is StampRequest's.

#include "store/PageKinds.h"

#include <QPointF>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

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

// A stationery page as the command line chooses it: neither set means the
// template's page of that kind (none without a template).
struct PageChoice {
    std::optional<QString> file; // --start FILE and the like
    bool off = false;            // --no-start and the like
};

// A password typed on the command line, or read from the first line of a
// file ("-": standard input). At most one of the two is set.
struct PasswordChoice {
    std::optional<QString> text;
    std::optional<QString> file;
    bool given() const { return text || file; }
    bool fromStandardInput() const { return file == QLatin1String("-"); }
};

// How many documents a run stamps at once at most (-j).
constexpr int kMaxJobs = 64;
// How long a file in a watched folder must stay unchanged before it counts
// as complete, unless --settle says otherwise.
constexpr double kDefaultSettleSeconds = 2;

struct StampOptions {
    enum class Mode {
        Stamp,         // DOCUMENT OUTPUT
        Batch,         // --output-dir DIR DOCUMENT...
        Watch,         // --watch IN_DIR --output-dir OUT_DIR
        ListTemplates,
        Help,
        Version,
    };
    Mode mode = Mode::Stamp;

    QString documentPath;            // Stamp
    QString outputPath;              // Stamp
    QStringList documentPaths;       // Batch, in the order given
    std::optional<QString> outputDirectory; // Batch and Watch
    std::optional<QString> suffix;   // inserted before ".pdf" in output names
    int jobs = 0;                    // documents at once; 0: one per core
    std::optional<QString> watchDirectory; // Watch
    std::optional<double> settleSeconds;   // Watch: how long a new file must stay unchanged
    std::optional<QString> templateName;
    std::array<PageChoice, 3> pages; // PageKind order: start, continuation, terms
    bool behind = false;             // --behind
    bool over = false;               // --over
    QPointF firstPageOffset;         // points
    QPointF continuationOffset;      // points
    PasswordChoice password;
    PasswordChoice ownerPassword;
    bool forbidPrint = false;
    std::optional<QString> title;
    std::optional<QString> author;

    PageChoice& page(PageKind kind) { return pages[static_cast<int>(kind)]; }
    const PageChoice& page(PageKind kind) const { return pages[static_cast<int>(kind)]; }
};

struct ParseOutcome {
    std::optional<StampOptions> options;
    QString error; // usage error, one line, when options is empty
};

// arguments[0] is the program name, as QCoreApplication::arguments() gives it.
// Every option may be given once. What needs no file is checked here: the
// options' values and how they combine.
ParseOutcome parseStampOptions(const QStringList& arguments);

// The text as one printable line: file names and arguments may hold line
// breaks or control characters, and a message must stay one line.
QString printableLine(const QString& text);

QString helpText();
QString versionText();

} // namespace quillary::cli
