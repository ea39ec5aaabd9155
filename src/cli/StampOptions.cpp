#include "cli/StampOptions.h"

#include "store/CustomFileManager.h"
#include "store/StoreKey.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <filesystem>
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
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            line += QLatin1String("\\n");
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            line += QLatin1Char('?');
        else
            line += c;
    }
    return line;
}

namespace {

QString programName()
{
    return QStringLiteral("quillary-stamp");
}

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption listTemplates{QStringLiteral("list-templates")};
    QCommandLineOption templateName{{QStringLiteral("t"), QStringLiteral("template")}, {}, QStringLiteral("NAME")};
    QCommandLineOption start{QStringLiteral("start"), {}, QStringLiteral("FILE")};
    QCommandLineOption continuation{QStringLiteral("continuation"), {}, QStringLiteral("FILE")};
    QCommandLineOption terms{QStringLiteral("terms"), {}, QStringLiteral("FILE")};
    QCommandLineOption noStart{QStringLiteral("no-start")};
    QCommandLineOption noContinuation{QStringLiteral("no-continuation")};
    QCommandLineOption noTerms{QStringLiteral("no-terms")};
    QCommandLineOption behind{QStringLiteral("behind")};
    QCommandLineOption over{QStringLiteral("over")};
    QCommandLineOption firstOffset{QStringLiteral("first-offset"), {}, QStringLiteral("X,Y")};
    QCommandLineOption offset{QStringLiteral("offset"), {}, QStringLiteral("X,Y")};
    QCommandLineOption password{QStringLiteral("password"), {}, QStringLiteral("PW")};
    QCommandLineOption forbidPrint{QStringLiteral("forbid-print")};
    QCommandLineOption ownerPassword{QStringLiteral("owner-password"), {}, QStringLiteral("PW")};
    QCommandLineOption title{QStringLiteral("title"), {}, QStringLiteral("T")};
    QCommandLineOption author{QStringLiteral("author"), {}, QStringLiteral("A")};

    QList<QCommandLineOption> all() const
    {
        return {help, version, listTemplates, templateName, start, continuation, terms, noStart, noContinuation,
                noTerms, behind, over, firstOffset, offset, password, forbidPrint, ownerPassword, title, author};
    }
};

QString dashed(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constLast();
}

// The value of an option that may be given once; a second one would silently
// win otherwise, which hides mistakes in scripts.
std::optional<QString> singleValue(const QCommandLineParser& parser, const QCommandLineOption& option,
                                   QString* error)
{
    const QStringList values = parser.values(option);
    if (values.size() > 1) {
        *error = QStringLiteral("%1 given more than once").arg(dashed(option));
        return std::nullopt;
    }
    if (values.isEmpty())
        return std::nullopt;
    return values.constFirst();
}

ParseOutcome usage(const QString& why)
{
    return {std::nullopt, printableLine(why)};
}

} // namespace

ParseOutcome parseStampOptions(const QStringList& arguments)
{
    const Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(o.all());
    if (!parser.parse(arguments.isEmpty() ? QStringList{programName()} : arguments))
        return usage(parser.errorText());

    StampOptions result;
    if (parser.isSet(o.help)) {
        result.mode = StampOptions::Mode::Help;
        return {result, {}};
    }
    if (parser.isSet(o.version)) {
        result.mode = StampOptions::Mode::Version;
        return {result, {}};
    }

    if (parser.isSet(o.listTemplates)) {
        for (const QString& name : parser.optionNames()) {
            if (!o.listTemplates.names().contains(name))
                return usage(QStringLiteral("--list-templates takes no other option (got %1%2)")
                                 .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
        }
        if (!parser.positionalArguments().isEmpty())
            return usage(QStringLiteral("--list-templates takes no file arguments"));
        result.mode = StampOptions::Mode::ListTemplates;
        return {result, {}};
    }

    QString error;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return usage(positional.size() < 2 ? QStringLiteral("expected DOCUMENT.pdf and OUTPUT.pdf")
                                           : QStringLiteral("too many file arguments: expected DOCUMENT.pdf and "
                                                            "OUTPUT.pdf, got %1")
                                                 .arg(positional.size()));
    result.documentPath = positional[0];
    result.outputPath = positional[1];
    if (result.documentPath.isEmpty() || result.outputPath.isEmpty())
        return usage(QStringLiteral("DOCUMENT and OUTPUT must not be empty"));

    if (auto name = singleValue(parser, o.templateName, &error); !error.isEmpty()) {
        return usage(error);
    } else if (name) {
        if (name->isEmpty())
            return usage(QStringLiteral("--template needs a template name"));
        result.templateName = *name;
    }

    struct Slot {
        const QCommandLineOption& file;
        const QCommandLineOption& off;
        PageChoice& choice;
    };
    for (const Slot& slot : {Slot{o.start, o.noStart, result.start},
                             Slot{o.continuation, o.noContinuation, result.continuation},
                             Slot{o.terms, o.noTerms, result.terms}}) {
        const auto file = singleValue(parser, slot.file, &error);
        if (!error.isEmpty())
            return usage(error);
        if (file && parser.isSet(slot.off))
            return usage(QStringLiteral("%1 and %2 contradict each other").arg(dashed(slot.file), dashed(slot.off)));
        if (file) {
            if (file->isEmpty())
                return usage(QStringLiteral("%1 needs a file name").arg(dashed(slot.file)));
            slot.choice = {PageSource::File, *file};
        } else if (parser.isSet(slot.off)) {
            slot.choice = {PageSource::Off, {}};
        }
    }
    const bool anyFile = result.start.source == PageSource::File
        || result.continuation.source == PageSource::File || result.terms.source == PageSource::File;
    if (!result.templateName && !anyFile)
        return usage(QStringLiteral("nothing to stamp with: give --template NAME or a stationery file "
                                    "(--start, --continuation, --terms)"));

    if (parser.isSet(o.behind) && parser.isSet(o.over))
        return usage(QStringLiteral("--behind and --over contradict each other"));
    if (parser.isSet(o.behind))
        result.layer = Layer::Behind;
    else if (parser.isSet(o.over))
        result.layer = Layer::Over;

    struct OffsetSlot {
        const QCommandLineOption& option;
        QPointF& target;
    };
    for (const OffsetSlot& slot : {OffsetSlot{o.firstOffset, result.firstPageOffset},
                                   OffsetSlot{o.offset, result.continuationOffset}}) {
        const auto text = singleValue(parser, slot.option, &error);
        if (!error.isEmpty())
            return usage(error);
        if (!text)
            continue;
        const OffsetParse parsed = parseOffset(*text);
        if (!parsed.points)
            return usage(QStringLiteral("%1: %2").arg(dashed(slot.option), parsed.error));
        slot.target = *parsed.points;
    }

    const auto password = singleValue(parser, o.password, &error);
    if (!error.isEmpty())
        return usage(error);
    const auto ownerPassword = singleValue(parser, o.ownerPassword, &error);
    if (!error.isEmpty())
        return usage(error);
    const auto title = singleValue(parser, o.title, &error);
    if (!error.isEmpty())
        return usage(error);
    const auto author = singleValue(parser, o.author, &error);
    if (!error.isEmpty())
        return usage(error);
    const bool forbidPrint = parser.isSet(o.forbidPrint);

    // An empty password would look protected and open for anyone.
    if (password && password->isEmpty())
        return usage(QStringLiteral("--password must not be empty"));
    // Without an owner password of its own anyone may lift the print
    // restriction again, so the restriction alone would be a false promise.
    if (forbidPrint && (!ownerPassword || ownerPassword->isEmpty()))
        return usage(QStringLiteral("--forbid-print needs --owner-password (not empty)"));
    if (ownerPassword && !forbidPrint)
        return usage(QStringLiteral("--owner-password only takes effect with --forbid-print"));
    if (password && ownerPassword && *password == *ownerPassword)
        return usage(QStringLiteral("--owner-password must differ from --password, or the document opens "
                                    "with full rights"));

    SaveOptionsMap& options = result.saveOptions;
    options.insert(SaveOptions::ALLOW_PRINT, !forbidPrint);
    options.insert(SaveOptions::WITH_PASSWORD, password.has_value());
    options.insert(SaveOptions::PASSWORD, password.value_or(QString()));
    if (ownerPassword)
        options.insert(SaveOptions::OWNER_PASSWORD, *ownerPassword);
    if (title)
        options.insert(SaveOptions::TITLE, *title);
    if (author)
        options.insert(SaveOptions::AUTHOR, *author);

    return {result, {}};
}

QString versionText()
{
    return QStringLiteral("%1 %2\n").arg(programName(), QStringLiteral(QUILLARY_VERSION));
}

QString helpText()
{
    return QStringLiteral(
        "Usage: quillary-stamp [options] DOCUMENT.pdf OUTPUT.pdf\n"
        "       quillary-stamp --list-templates\n"
        "\n"
        "Lays company stationery onto a PDF document: the start page onto page 1,\n"
        "the continuation page onto every further page, and the terms page after\n"
        "the last page.\n"
        "\n"
        "Stationery:\n"
        "  -t, --template NAME     use the pages and the layer of a stored template\n"
        "  --list-templates        print each stored template: name, paper format and\n"
        "                          enabled or disabled, separated by tabs\n"
        "  --start FILE            start page from FILE (page 1 of it)\n"
        "  --continuation FILE     continuation page from FILE\n"
        "  --terms FILE            terms page from FILE, appended after the document\n"
        "  --no-start, --no-continuation, --no-terms\n"
        "                          leave that page out\n"
        "  --behind                stationery behind the content (default with files)\n"
        "  --over                  stationery over the content\n"
        "                          (with --template the template's layer is the default)\n"
        "\n"
        "Content offsets, in millimetres, x to the right, y upwards:\n"
        "  --first-offset X,Y      shift of page 1\n"
        "  --offset X,Y            shift of pages 2 and later\n"
        "                          decimals take a point: --offset 10.5,-3;\n"
        "                          or separate with a semicolon: --offset '10,5;-3'.\n"
        "                          \"10,5\" always means x = 10, y = 5.\n"
        "\n"
        "Output:\n"
        "  --password PW           the output opens only with PW\n"
        "  --forbid-print          forbid printing and copying\n"
        "  --owner-password PW     password that lifts the restriction (required with\n"
        "                          --forbid-print)\n"
        "  --title T, --author A   document information\n"
        "  Passwords given here are visible to other users of this computer in the\n"
        "  process list.\n"
        "\n"
        "  -h, --help              this text\n"
        "  -v, --version           the version\n"
        "\n"
        "OUTPUT is replaced only by a complete file and must differ from DOCUMENT and\n"
        "the stationery files. Exit status: 0 success, 1 failure, 2 usage error.\n");
}

QString formatLabel(const QString& docFormat)
{
    bool ok = false;
    const int code = docFormat.toInt(&ok);
    if (ok && code == 0)
        return QStringLiteral("DIN A4");
    if (ok && code == 1)
        return QStringLiteral("US Letter");
    return QStringLiteral("Undefined");
}

namespace {

// True when both names lead to one file (symbolic and hard links included).
bool sameFile(const QString& a, const QString& b)
{
    std::error_code ec;
    const bool same = std::filesystem::equivalent(std::filesystem::path(QFile::encodeName(a).toStdString()),
                                                  std::filesystem::path(QFile::encodeName(b).toStdString()), ec);
    if (!ec && same)
        return true;
    // Neither exists yet or one is missing: compare the cleaned absolute names.
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

Resolution fail(int code, const QString& why)
{
    Resolution r;
    r.exitCode = code;
    r.error = printableLine(why);
    return r;
}

struct KindInfo {
    StoreKey kind;
    const char* key;
    const char* label;
};

} // namespace

Resolution resolveMergeRequest(const StampOptions& options, CustomFileManager* store)
{
    const QFileInfo document(options.documentPath);
    if (!document.exists())
        return fail(ExitFailure, QStringLiteral("%1: no such file").arg(options.documentPath));
    if (!document.isFile())
        return fail(ExitFailure, QStringLiteral("%1: not a file").arg(options.documentPath));

    Resolution resolution;
    MergeRequest request;
    request.documentPath = options.documentPath;
    request.outputPath = options.outputPath;
    request.options = options.saveOptions;
    request.firstPageOffsetX = options.firstPageOffset.x();
    request.firstPageOffsetY = options.firstPageOffset.y();
    request.continuationOffsetX = options.continuationOffset.x();
    request.continuationOffsetY = options.continuationOffset.y();
    request.documentFormat = TaskManager::documentFormat;

    QVariantMap record;
    if (options.templateName) {
        const QString& name = *options.templateName;
        const auto named = store ? store->templateNamed(name) : std::nullopt;
        if (!named)
            return fail(ExitFailure, QStringLiteral("no template named \"%1\" (see --list-templates)").arg(name));
        record = named->properties;
    }

    const KindInfo kinds[3] = {{StoreKey::TemplateFirst, "frontPage", "start page"},
                               {StoreKey::Template, "secondaryPage", "continuation page"},
                               {StoreKey::TemplateBack, "termsOfConditions", "terms page"}};
    const PageChoice* choices[3] = {&options.start, &options.continuation, &options.terms};
    std::optional<QString>* paths[3] = {&request.startPagePath, &request.continuationPagePath,
                                        &request.termsPagePath};
    bool* flags[3] = {&request.useStartPage, &request.useContinuationPage, &request.useTermsPage};

    for (int i = 0; i < 3; ++i) {
        const PageChoice& choice = *choices[i];
        std::optional<QString> path;
        switch (choice.source) {
        case PageSource::Off:
            break;
        case PageSource::File: {
            const QFileInfo file(choice.file);
            if (!file.exists())
                return fail(ExitFailure, QStringLiteral("%1: no such file").arg(choice.file));
            if (!file.isFile())
                return fail(ExitFailure, QStringLiteral("%1: not a file").arg(choice.file));
            path = choice.file;
            break;
        }
        case PageSource::FromTemplate: {
            if (!options.templateName || !record.contains(QLatin1String(kinds[i].key)))
                break;
            const QVariant reference = record.value(QLatin1String(kinds[i].key));
            if (referenceText(reference) == QLatin1String("X"))
                break;
            const auto index = referenceIndex(reference);
            if (!index)
                return fail(ExitFailure, QStringLiteral("template \"%1\": unreadable %2 reference \"%3\"")
                                             .arg(*options.templateName, QLatin1String(kinds[i].label),
                                                  referenceText(reference)));
            path = store->pagePath(kinds[i].kind, *index);
            // Stamping without the letterhead the user asked for would pass
            // unnoticed in a batch; better stop.
            if (!path)
                return fail(ExitFailure, QStringLiteral("template \"%1\": its %2 (number %3) is missing from the store")
                                             .arg(*options.templateName, QLatin1String(kinds[i].label))
                                             .arg(*index));
            if (!QFileInfo(*path).isFile())
                return fail(ExitFailure, QStringLiteral("%1: no such file (the %2 of template \"%3\")")
                                             .arg(*path, QLatin1String(kinds[i].label), *options.templateName));
            break;
        }
        }
        *paths[i] = path;
        *flags[i] = path.has_value();
    }

    switch (options.layer) {
    case Layer::Behind: request.stationeryIsOverlay = false; break;
    case Layer::Over: request.stationeryIsOverlay = true; break;
    case Layer::FromTemplate:
        // The record's "isOverlay" means the content lies over the stationery,
        // the engine's flag the opposite; read as the preview window reads it.
        request.stationeryIsOverlay = options.templateName
            && referenceText(record.value(QStringLiteral("isOverlay"))) == QLatin1String("0");
        break;
    }

    // The output must not replace what it is made from: a stamped copy over the
    // document loses the original, one over a stored page spoils the template.
    // The engine renames a finished file into place. Over a symbolic link that
    // would replace the link, so write to the file it names instead; over a
    // device or a pipe it would replace the node itself.
    const QFileInfo link(options.outputPath);
    if (link.isSymLink()) {
        if (!link.exists())
            return fail(ExitFailure, QStringLiteral("%1: a symbolic link to nothing").arg(options.outputPath));
        request.outputPath = link.canonicalFilePath();
    }
    const QFileInfo output(request.outputPath);
    if (output.isDir())
        return fail(ExitFailure, QStringLiteral("%1: is a directory").arg(options.outputPath));
    {
        std::error_code ec;
        const auto type =
            std::filesystem::symlink_status(std::filesystem::path(QFile::encodeName(request.outputPath).toStdString()), ec)
                .type();
        if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular)
            return fail(ExitFailure, QStringLiteral("%1: not a regular file; OUTPUT must be a new or an ordinary file")
                                         .arg(options.outputPath));
    }
    if (!output.absoluteDir().exists())
        return fail(ExitFailure, QStringLiteral("%1: the folder %2 does not exist")
                                     .arg(options.outputPath, QDir::toNativeSeparators(output.absolutePath())));
    if (sameFile(options.outputPath, options.documentPath))
        return fail(ExitUsage, QStringLiteral("%1: OUTPUT is the document itself; write to another file")
                                   .arg(options.outputPath));
    for (int i = 0; i < 3; ++i) {
        if (*paths[i] && sameFile(options.outputPath, **paths[i]))
            return fail(ExitUsage, QStringLiteral("%1: OUTPUT is the %2 file; write to another file")
                                       .arg(options.outputPath, QLatin1String(kinds[i].label)));
    }

    if (options.templateName) {
        const int t = docFormatNumber(referenceText(record.value(QStringLiteral("docFormat")))).value_or(99);
        const auto format = TaskManager::documentFormat;
        if (!templateFitsDocument(format, t)) {
            const QString documentLabel = format == FormatA4 ? QStringLiteral("DIN A4")
                : format == FormatUSLetter                   ? QStringLiteral("US Letter")
                                                             : QStringLiteral("neither DIN A4 nor US Letter");
            resolution.warnings << QStringLiteral("template \"%1\" is made for %2, %3 is %4")
                                       .arg(*options.templateName, formatLabel(QString::number(t)),
                                            options.documentPath, documentLabel);
        }
    }
    if (!request.useStartPage && !request.useContinuationPage && !request.useTermsPage)
        resolution.warnings << QStringLiteral("no stationery page is in use; the document is only re-laid");

    resolution.request = request;
    return resolution;
}

} // namespace quillary::cli
