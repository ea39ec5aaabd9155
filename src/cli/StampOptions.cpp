#include "cli/StampOptions.h"

#include "fs/NameText.h"

#include "pdf/PageGeometry.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace quillary::cli {

std::optional<float> parseMillimetres(QStringView text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        if (c.unicode() > 0x7f) // other digits, other blanks: not a C-locale number
            return std::nullopt;
    }
    const QByteArray bytes = text.toLatin1();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    // from_chars takes no leading '+'; the offset editor does.
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-' || *first == '+')
            return std::nullopt;
    }
    float value = 0;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

OffsetParse parseOffset(const QString& text)
{
    QStringList parts;
    bool decimalComma = false;
    if (text.contains(QLatin1Char(';'))) {
        parts = text.split(QLatin1Char(';'));
        decimalComma = true;
    } else {
        parts = text.split(QLatin1Char(','));
    }
    if (parts.size() != 2) {
        if (!decimalComma && parts.size() > 2)
            return {std::nullopt, QStringLiteral("\"%1\" is not X,Y in millimetres: write decimals with a point "
                                                 "(10.5,-3) or separate with a semicolon (10,5;-3)")
                                      .arg(text)};
        return {std::nullopt, QStringLiteral("\"%1\" is not X,Y in millimetres (for example 10.5,-3)").arg(text)};
    }
    float mm[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        QString number = parts[i];
        if (decimalComma)
            number.replace(QLatin1Char(','), QLatin1Char('.'));
        const auto value = parseMillimetres(number);
        if (!value)
            return {std::nullopt, QStringLiteral("\"%1\" in \"%2\" is not a number of millimetres").arg(parts[i], text)};
        mm[i] = *value;
    }
    return {QPointF(millimetresToPoints(mm[0]), millimetresToPoints(mm[1])), {}};
}

QString printableLine(const QString& text)
{
    // A line break shows as \n, every other control, separator, invisible or
    // direction-turning character as \u{XXXX}: the line reads as the name is.
    QString line;
    line.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\n')
            line += QLatin1String("\\n");
        else if (fs::isHiddenOrControl(c))
            line += QStringLiteral("\\u{%1}").arg(QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0')));
        else
            line += QString::fromUcs4(&c, 1);
    }
    return line;
}

namespace {

QString programName()
{
    return QStringLiteral("quillary-stamp");
}

// Why a value is refused; empty when it was taken.
using Apply = QString (*)(StampOptions&, const QString& value);

// One option of the command line: what the parser accepts, what --help says
// about it and what it sets. An option is added here and nowhere else.
struct OptionRow {
    char shortName;        // 0: none
    const char* longName;
    const char* valueName; // nullptr: a switch
    const char* section;   // heading under which --help lists it
    const char* help;      // '\n' starts another line of the description
    Apply apply;
};

QString needsFile(const char* option, const QString& value, std::optional<QString>* target)
{
    if (value.isEmpty())
        return QStringLiteral("--%1 needs a file name").arg(QLatin1String(option));
    *target = value;
    return {};
}

QString offsetInto(const char* option, const QString& value, QPointF* target)
{
    const OffsetParse parsed = parseOffset(value);
    if (!parsed.points)
        return QStringLiteral("--%1: %2").arg(QLatin1String(option), parsed.error);
    *target = *parsed.points;
    return {};
}

QString passwordInto(const char* option, const QString& value, std::optional<QString>* target)
{
    // An empty password would look protected and open for anyone.
    if (value.isEmpty())
        return QStringLiteral("--%1 must not be empty").arg(QLatin1String(option));
    *target = value;
    return {};
}

QString countInto(const QString& value, int* target)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 1 || n > kMaxJobs)
        return QStringLiteral("-j needs a number of documents from 1 to %1, not \"%2\"").arg(kMaxJobs).arg(value);
    *target = n;
    return {};
}

QString secondsInto(const QString& value, std::optional<double>* target)
{
    const auto seconds = parseMillimetres(value); // the same plain C-locale number
    if (!seconds || *seconds < 0.05f || *seconds > 3600)
        return QStringLiteral("--settle needs a number of seconds from 0.05 to 3600, not \"%1\"").arg(value);
    *target = *seconds;
    return {};
}

const char* const kStationery = "Stationery:";
const char* const kOffsets = "Content offsets, in millimetres, x to the right, y upwards:";
const char* const kOutput = "Output:";
const char* const kMany = "Many documents:";
const char* const kGeneral = "";

const OptionRow kOptions[] = {
    {'t', "template", "NAME", kStationery, "use the pages and the layer of a stored template",
     [](StampOptions& o, const QString& v) {
         if (v.isEmpty())
             return QStringLiteral("--template needs a template name");
         o.templateName = v;
         return QString();
     }},
    {0, "list-templates", nullptr, kStationery,
     "print each stored template: name, paper format and\nenabled or disabled, separated by tabs",
     [](StampOptions& o, const QString&) {
         o.mode = StampOptions::Mode::ListTemplates;
         return QString();
     }},
    {0, "start", "FILE", kStationery, "start page from FILE (page 1 of it)",
     [](StampOptions& o, const QString& v) { return needsFile("start", v, &o.page(PageKind::Start).file); }},
    {0, "continuation", "FILE", kStationery, "continuation page from FILE",
     [](StampOptions& o, const QString& v) {
         return needsFile("continuation", v, &o.page(PageKind::Continuation).file);
     }},
    {0, "terms", "FILE", kStationery, "terms page from FILE, appended after the document",
     [](StampOptions& o, const QString& v) { return needsFile("terms", v, &o.page(PageKind::Terms).file); }},
    {0, "no-start", nullptr, kStationery, "leave the start page out",
     [](StampOptions& o, const QString&) { o.page(PageKind::Start).off = true; return QString(); }},
    {0, "no-continuation", nullptr, kStationery, "leave the continuation page out",
     [](StampOptions& o, const QString&) { o.page(PageKind::Continuation).off = true; return QString(); }},
    {0, "no-terms", nullptr, kStationery, "leave the terms page out",
     [](StampOptions& o, const QString&) { o.page(PageKind::Terms).off = true; return QString(); }},
    {0, "behind", nullptr, kStationery, "stationery behind the content (default with files)",
     [](StampOptions& o, const QString&) { o.behind = true; return QString(); }},
    {0, "over", nullptr, kStationery,
     "stationery over the content\n(with --template the template's layer is the default)",
     [](StampOptions& o, const QString&) { o.over = true; return QString(); }},

    {0, "first-offset", "X,Y", kOffsets, "shift of page 1",
     [](StampOptions& o, const QString& v) { return offsetInto("first-offset", v, &o.firstPageOffset); }},
    {0, "offset", "X,Y", kOffsets,
     "shift of pages 2 and later\n"
     "decimals take a point: --offset 10.5,-3;\n"
     "or separate with a semicolon: --offset '10,5;-3'.\n"
     "\"10,5\" always means x = 10, y = 5.\n"
     "An offset may reach ten times the page size.",
     [](StampOptions& o, const QString& v) { return offsetInto("offset", v, &o.continuationOffset); }},

    {0, "password", "PW", kOutput,
     "the output opens only with PW. Passwords given on\n"
     "the command line are visible to other users of\n"
     "this computer in the process list.",
     [](StampOptions& o, const QString& v) { return passwordInto("password", v, &o.password.text); }},
    {0, "password-file", "FILE", kOutput,
     "the password is the first line of FILE (without\nits line end); - reads standard input",
     [](StampOptions& o, const QString& v) { return needsFile("password-file", v, &o.password.file); }},
    {0, "forbid-print", nullptr, kOutput,
     "forbid printing and copying. Without an owner\n"
     "password a random one is used: the restriction\n"
     "then cannot be lifted by anyone.",
     [](StampOptions& o, const QString&) { o.forbidPrint = true; return QString(); }},
    {0, "owner-password", "PW", kOutput,
     "password that lifts the restriction (only with\n--forbid-print; must differ from the password)",
     [](StampOptions& o, const QString& v) { return passwordInto("owner-password", v, &o.ownerPassword.text); }},
    {0, "owner-password-file", "FILE", kOutput, "the owner password is the first line of FILE",
     [](StampOptions& o, const QString& v) {
         return needsFile("owner-password-file", v, &o.ownerPassword.file);
     }},
    {0, "title", "T", kOutput, "document title",
     [](StampOptions& o, const QString& v) { o.title = v; return QString(); }},
    {0, "author", "A", kOutput, "document author",
     [](StampOptions& o, const QString& v) { o.author = v; return QString(); }},

    {0, "output-dir", "DIR", kMany,
     "stamp each DOCUMENT into DIR under its own name;\n"
     "every file argument is then a document",
     [](StampOptions& o, const QString& v) { return needsFile("output-dir", v, &o.outputDirectory); }},
    {0, "suffix", "TEXT", kMany, "insert TEXT before \".pdf\" in each output name",
     [](StampOptions& o, const QString& v) {
         if (v.contains(QLatin1Char('/')))
             return QStringLiteral("--suffix must not hold a /: it is part of a file name");
         o.suffix = v;
         return QString();
     }},
    {'j', "jobs", "N", kMany, "documents stamped at once (default: one per\nprocessor core)",
     [](StampOptions& o, const QString& v) { return countInto(v, &o.jobs); }},
    {0, "watch", "IN_DIR", kMany,
     "stay running: stamp every PDF that appears in\n"
     "IN_DIR into --output-dir, then move it to\n"
     "IN_DIR/done (or to IN_DIR/failed, with a .txt\n"
     "beside it that gives the reason). Stops on\n"
     "SIGINT or SIGTERM without losing a document.",
     [](StampOptions& o, const QString& v) { return needsFile("watch", v, &o.watchDirectory); }},
    {0, "settle", "SECONDS", kMany,
     "with --watch: a new file counts as complete once\n"
     "it has not changed for SECONDS (default 2)",
     [](StampOptions& o, const QString& v) { return secondsInto(v, &o.settleSeconds); }},

    {'h', "help", nullptr, kGeneral, "this text",
     [](StampOptions& o, const QString&) { o.mode = StampOptions::Mode::Help; return QString(); }},
    {'v', "version", nullptr, kGeneral, "the version",
     [](StampOptions& o, const QString&) { o.mode = StampOptions::Mode::Version; return QString(); }},
};

QCommandLineOption commandLineOption(const OptionRow& row)
{
    QStringList names;
    if (row.shortName)
        names << QString(QLatin1Char(row.shortName));
    names << QLatin1String(row.longName);
    return row.valueName ? QCommandLineOption(names, {}, QLatin1String(row.valueName)) : QCommandLineOption(names);
}

QString dashed(const char* longName)
{
    return QStringLiteral("--") + QLatin1String(longName);
}

ParseOutcome usage(const QString& why)
{
    return {std::nullopt, printableLine(why)};
}

// The rules between options, once every value is taken.
QString checkConfiguration(const StampOptions& o, const QStringList& positional)
{
    const char* pageOptions[3][2] = {{"start", "no-start"}, {"continuation", "no-continuation"}, {"terms", "no-terms"}};
    bool anyFile = false;
    for (int i = 0; i < 3; ++i) {
        if (o.pages[i].file && o.pages[i].off)
            return QStringLiteral("%1 and %2 contradict each other").arg(dashed(pageOptions[i][0]), dashed(pageOptions[i][1]));
        anyFile = anyFile || o.pages[i].file;
    }
    if (o.watchDirectory) {
        if (!o.outputDirectory)
            return QStringLiteral("--watch needs --output-dir OUT_DIR for the stamped documents");
        if (!positional.isEmpty())
            return QStringLiteral("--watch takes no file arguments: it stamps what appears in %1")
                .arg(*o.watchDirectory);
    } else if (o.outputDirectory) {
        if (positional.isEmpty())
            return QStringLiteral("expected at least one DOCUMENT.pdf with --output-dir");
        if (positional.contains(QString()))
            return QStringLiteral("DOCUMENT must not be empty");
    } else {
        if (o.suffix)
            return QStringLiteral("--suffix only takes effect with --output-dir");
        if (o.jobs > 0)
            return QStringLiteral("-j only takes effect with --output-dir");
        if (positional.size() != 2)
            return positional.size() < 2
                ? QStringLiteral("expected DOCUMENT.pdf and OUTPUT.pdf (or --output-dir DIR and documents)")
                : QStringLiteral("too many file arguments: expected DOCUMENT.pdf and OUTPUT.pdf, got %1 "
                                 "(to stamp many documents, give --output-dir DIR)")
                      .arg(positional.size());
        if (positional[0].isEmpty() || positional[1].isEmpty())
            return QStringLiteral("DOCUMENT and OUTPUT must not be empty");
    }
    if (o.settleSeconds && !o.watchDirectory)
        return QStringLiteral("--settle only takes effect with --watch");
    if (!o.templateName && !anyFile)
        return QStringLiteral("nothing to stamp with: give --template NAME or a stationery file "
                              "(--start, --continuation, --terms)");
    if (o.behind && o.over)
        return QStringLiteral("--behind and --over contradict each other");
    if (o.password.text && o.password.file)
        return QStringLiteral("--password and --password-file contradict each other");
    if (o.ownerPassword.text && o.ownerPassword.file)
        return QStringLiteral("--owner-password and --owner-password-file contradict each other");
    if (o.password.fromStandardInput() && o.ownerPassword.fromStandardInput())
        return QStringLiteral("--password-file and --owner-password-file cannot both read standard input");
    if (o.ownerPassword.given() && !o.forbidPrint)
        return QStringLiteral("%1 only takes effect with --forbid-print")
            .arg(o.ownerPassword.text ? QStringLiteral("--owner-password") : QStringLiteral("--owner-password-file"));
    return {};
}

} // namespace

ParseOutcome parseStampOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    QList<QCommandLineOption> options;
    for (const OptionRow& row : kOptions)
        options << commandLineOption(row);
    parser.addOptions(options);
    // "-j2" as make takes it: the parser reads single-dash words as long names.
    QStringList words = arguments.isEmpty() ? QStringList{programName()} : arguments;
    for (qsizetype i = 1; i < words.size() && words[i] != QLatin1String("--"); ++i) {
        if (words[i].size() > 2 && words[i].startsWith(QLatin1String("-j")) && words[i].at(2).isDigit()) {
            words.insert(i + 1, words[i].mid(2));
            words[i] = QStringLiteral("-j");
            ++i;
        }
    }
    if (!parser.parse(words))
        return usage(parser.errorText());

    // Help and version answer whatever else is given.
    StampOptions result;
    for (const StampOptions::Mode mode : {StampOptions::Mode::Help, StampOptions::Mode::Version}) {
        const char* name = mode == StampOptions::Mode::Help ? "help" : "version";
        if (parser.isSet(QLatin1String(name))) {
            result.mode = mode;
            return {result, {}};
        }
    }

    const QStringList given = parser.optionNames();
    for (int i = 0; i < std::ssize(kOptions); ++i) {
        const QStringList names = options[i].names();
        const auto count = std::count_if(given.cbegin(), given.cend(), [&](const QString& n) { return names.contains(n); });
        // A second value would silently win, which hides mistakes in scripts.
        if (count > 1)
            return usage(QStringLiteral("%1 given more than once").arg(dashed(kOptions[i].longName)));
        if (count == 0)
            continue;
        if (const QString why = kOptions[i].apply(result, parser.value(options[i])); !why.isEmpty())
            return usage(why);
    }

    if (result.mode == StampOptions::Mode::ListTemplates) {
        for (const QString& name : given) {
            if (name != QLatin1String("list-templates"))
                return usage(QStringLiteral("--list-templates takes no other option (got %1%2)")
                                 .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
        }
        if (!parser.positionalArguments().isEmpty())
            return usage(QStringLiteral("--list-templates takes no file arguments"));
        return {result, {}};
    }

    const QStringList positional = parser.positionalArguments();
    if (const QString why = checkConfiguration(result, positional); !why.isEmpty())
        return usage(why);
    if (result.watchDirectory) {
        result.mode = StampOptions::Mode::Watch;
    } else if (result.outputDirectory) {
        result.mode = StampOptions::Mode::Batch;
        result.documentPaths = positional;
    } else {
        result.documentPath = positional[0];
        result.outputPath = positional[1];
    }
    return {result, {}};
}

QString versionText()
{
    return QStringLiteral("%1 %2\n").arg(programName(), QStringLiteral(QUILLARY_VERSION));
}

QString helpText()
{
    constexpr int column = 26; // where descriptions start
    QString text = QStringLiteral("Usage: %1 [options] DOCUMENT.pdf OUTPUT.pdf\n"
                                  "       %1 [options] --output-dir DIR DOCUMENT.pdf...\n"
                                  "       %1 [options] --watch IN_DIR --output-dir OUT_DIR\n"
                                  "       %1 --list-templates\n"
                                  "\n"
                                  "Lays company stationery onto a PDF document: the start page onto page 1,\n"
                                  "the continuation page onto every further page, and the terms page after\n"
                                  "the last page.\n")
                       .arg(programName());
    const char* section = nullptr;
    for (const OptionRow& row : kOptions) {
        if (!section || qstrcmp(section, row.section) != 0) {
            section = row.section;
            text += QLatin1Char('\n');
            if (*section)
                text += QLatin1String(section) + QLatin1Char('\n');
        }
        QString left = QStringLiteral("  ");
        if (row.shortName)
            left += QStringLiteral("-%1, ").arg(QLatin1Char(row.shortName));
        left += dashed(row.longName);
        if (row.valueName)
            left += QLatin1Char(' ') + QLatin1String(row.valueName);
        const QStringList lines = QString::fromUtf8(row.help).split(QLatin1Char('\n'));
        if (left.size() >= column - 1) {
            text += left + QLatin1Char('\n');
            left.clear();
        }
        for (const QString& line : lines) {
            text += left.leftJustified(column) + line + QLatin1Char('\n');
            left.clear();
        }
    }
    text += QStringLiteral("\n"
                           "OUTPUT is replaced only by a complete file. It must differ from DOCUMENT\n"
                           "and the stationery files, and must not lie in the template store.\n"
                           "With --output-dir a document that fails is named on standard error and the\n"
                           "others are stamped; two documents of the same name are not both written.\n"
                           "Exit status: 0 success, 1 failure (of any document), 2 usage error.\n");
    return text;
}

} // namespace quillary::cli
