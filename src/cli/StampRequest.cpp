#include "cli/StampRequest.h"

#include "pdf/Password.h"
#include "store/CustomFileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cmath>
#include <filesystem>
#include <system_error>

namespace quillary::cli {

namespace {

// Content shifted further than this many page sizes lies nowhere near the
// page, and its numbers could reach sizes a reader cannot parse.
constexpr double kMaxOffsetInPages = 10;

// A password file's first line may be no longer: no password is.
constexpr qint64 kMaxPasswordLine = 4096;

Resolution fail(int code, const QString& why)
{
    Resolution r;
    r.exitCode = code;
    r.error = printableLine(why);
    return r;
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// True when both names lead to one file (symbolic and hard links included).
bool sameFile(const QString& a, const QString& b)
{
    std::error_code ec;
    const bool same = std::filesystem::equivalent(fsPath(a), fsPath(b), ec);
    if (!ec && same)
        return true;
    // Neither exists yet or one is missing: compare the cleaned absolute names.
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// The name a path ends at once every link on the way is followed, also when
// the file itself does not exist yet; empty when its folder does not exist.
QString resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
}

// Where a password comes from, for messages: the option, and the file.
QString passwordOrigin(const PasswordChoice& choice, PasswordRole role)
{
    const QString option = role == PasswordRole::User ? QStringLiteral("--password") : QStringLiteral("--owner-password");
    return choice.file ? QStringLiteral("%1-file %2").arg(option, *choice.file) : option;
}

// The password the choice names: typed, or the first line of its file
// without the line end. Nothing when none was given.
struct PasswordRead {
    std::optional<QString> text;
    std::optional<Resolution> failure;
};

PasswordRead readPassword(const PasswordChoice& choice, PasswordRole role, QIODevice* standardInput)
{
    if (!choice.file)
        return {choice.text, std::nullopt};
    const QString& name = *choice.file;
    const QString origin = passwordOrigin(choice, role);
    QFile file;
    QIODevice* device = standardInput;
    if (!choice.fromStandardInput()) {
        const QFileInfo info(name);
        if (!info.exists())
            return {std::nullopt, fail(ExitFailure, QStringLiteral("%1: no such file (%2)").arg(name, origin))};
        if (info.isDir())
            return {std::nullopt, fail(ExitFailure, QStringLiteral("%1: is a directory (%2)").arg(name, origin))};
        file.setFileName(name);
        if (!file.open(QIODevice::ReadOnly))
            return {std::nullopt, fail(ExitFailure, QStringLiteral("%1: %2 (%3)").arg(name, file.errorString(), origin))};
        device = &file;
    }
    QByteArray line = device ? device->readLine(kMaxPasswordLine + 1) : QByteArray();
    if (line.endsWith('\n'))
        line.chop(1);
    else if (line.size() >= kMaxPasswordLine)
        return {std::nullopt, fail(ExitUsage, QStringLiteral("%1: the first line is longer than any password").arg(origin))};
    if (line.endsWith('\r'))
        line.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(line);
    if (utf8.hasError())
        return {std::nullopt, fail(ExitUsage, QStringLiteral("%1: the password is not UTF-8 text").arg(origin))};
    return {text, std::nullopt};
}

// The save options of the request, with the passwords checked as the engine
// will store them, so that a refusal is a usage error before any work.
std::optional<Resolution> passwordOptions(const StampOptions& options, QIODevice* standardInput, SaveOptionsMap* out)
{
    const PasswordRead user = readPassword(options.password, PasswordRole::User, standardInput);
    if (user.failure)
        return user.failure;
    const PasswordRead owner = readPassword(options.ownerPassword, PasswordRole::Owner, standardInput);
    if (owner.failure)
        return owner.failure;
    const PreparedPasswords prepared = preparePasswords(user.text, options.forbidPrint ? owner.text : std::nullopt);
    if (!prepared) {
        const PasswordChoice& choice = prepared.refused == PasswordRole::User ? options.password : options.ownerPassword;
        return fail(ExitUsage, QStringLiteral("%1: %2").arg(passwordOrigin(choice, prepared.refused), prepared.error));
    }
    out->insert(SaveOptions::ALLOW_PRINT, !options.forbidPrint);
    out->insert(SaveOptions::WITH_PASSWORD, user.text.has_value());
    out->insert(SaveOptions::PASSWORD, user.text.value_or(QString()));
    // As the save panel does: a restriction without an owner password of its
    // own gets a random one.
    if (options.forbidPrint)
        out->insert(SaveOptions::OWNER_PASSWORD, owner.text.value_or(QString()));
    if (options.title)
        out->insert(SaveOptions::TITLE, *options.title);
    if (options.author)
        out->insert(SaveOptions::AUTHOR, *options.author);
    return std::nullopt;
}

// The output page's size in points: the standard size of the format, else the
// document's own first page, else A4 (the engine's own choice for unreadable
// sizes).
PageSize outputSize(std::uint8_t format, const PageSize& document)
{
    const PageSize standard = TaskManager::standardPageSize(format);
    if (standard.width > 0 && standard.height > 0)
        return standard;
    if (document.width > 0 && document.height > 0)
        return document;
    return TaskManager::standardPageSize(FormatA4);
}

std::optional<Resolution> checkOffsets(const StampOptions& options, const PageSize& page)
{
    const struct {
        const char* option;
        QPointF offset;
    } offsets[] = {{"--first-offset", options.firstPageOffset}, {"--offset", options.continuationOffset}};
    for (const auto& [option, offset] : offsets) {
        if (std::abs(offset.x()) > kMaxOffsetInPages * page.width
            || std::abs(offset.y()) > kMaxOffsetInPages * page.height)
            return fail(ExitUsage, QStringLiteral("%1: %2,%3 mm lies beyond the page; an offset may reach ten times "
                                                  "the page size (%4 by %5 mm)")
                                       .arg(QLatin1String(option))
                                       .arg(pointsToMillimetres(offset.x()), 0, 'f', 1)
                                       .arg(pointsToMillimetres(offset.y()), 0, 'f', 1)
                                       .arg(pointsToMillimetres(kMaxOffsetInPages * page.width), 0, 'f', 0)
                                       .arg(pointsToMillimetres(kMaxOffsetInPages * page.height), 0, 'f', 0));
    }
    return std::nullopt;
}

// The output must not replace a file of the template store: a PDF written
// over the settings file loses every template at the next start, one over a
// stored page spoils its template.
std::optional<Resolution> checkOutsideStore(const QString& output, CustomFileManager* store)
{
    if (!store)
        return std::nullopt;
    const QString directory = QFileInfo(store->storeDirectory()).canonicalFilePath();
    const QString resolved = resolvedPath(output);
    if (!directory.isEmpty() && !resolved.isEmpty()
        && (resolved == directory || resolved.startsWith(directory + QLatin1Char('/'))))
        return fail(ExitUsage, QStringLiteral("%1: OUTPUT lies in the template store %2; write it elsewhere")
                                   .arg(output, QDir::toNativeSeparators(directory)));
    // Stored pages the settings name outside the store directory.
    QStringList stored{store->settingsPath()};
    for (const TemplateRecord& record : store->templateRecords().value_or(QList<TemplateRecord>{})) {
        for (const PageKindInfo& kind : kPageKinds) {
            if (const auto index = record.pageIndex(kind.kind))
                stored << store->pagePath(kind.kind, *index).value_or(QString());
        }
    }
    for (const QString& file : stored) {
        if (!file.isEmpty() && sameFile(output, file))
            return fail(ExitUsage, QStringLiteral("%1: OUTPUT is a file of the template store; write it elsewhere")
                                       .arg(output));
    }
    return std::nullopt;
}

} // namespace

QString formatLabel(const QString& docFormat)
{
    const auto code = docFormatNumber(docFormat);
    if (code == 0)
        return QStringLiteral("DIN A4");
    if (code == 1)
        return QStringLiteral("US Letter");
    return QStringLiteral("Undefined");
}

Resolution resolveMergeRequest(const StampOptions& options, const StampEnvironment& environment)
{
    MergeRequest request;
    if (auto refused = passwordOptions(options, environment.standardInput, &request.options))
        return *refused;

    const QFileInfo document(options.documentPath);
    if (!document.exists())
        return fail(ExitFailure, QStringLiteral("%1: no such file").arg(options.documentPath));
    if (!document.isFile())
        return fail(ExitFailure, QStringLiteral("%1: not a file").arg(options.documentPath));

    // The output size follows the document's paper format, measured as the
    // preview window measures it, so both write the same file.
    const PageSize documentSize = TaskManager::pageSize(options.documentPath);
    request.documentFormat = TaskManager::pageFormat(documentSize.width, documentSize.height).formatCode;
    if (auto refused = checkOffsets(options, outputSize(request.documentFormat, documentSize)))
        return *refused;

    request.documentPath = options.documentPath;
    request.outputPath = options.outputPath;
    request.firstPageOffsetX = options.firstPageOffset.x();
    request.firstPageOffsetY = options.firstPageOffset.y();
    request.continuationOffsetX = options.continuationOffset.x();
    request.continuationOffsetY = options.continuationOffset.y();

    std::optional<TemplateRecord> record;
    if (options.templateName) {
        const QString& name = *options.templateName;
        record = environment.store ? environment.store->templateNamed(name) : std::nullopt;
        if (!record)
            return fail(ExitFailure, QStringLiteral("no template named \"%1\" (see --list-templates)").arg(name));
    }

    std::optional<QString>* paths[3] = {&request.startPagePath, &request.continuationPagePath, &request.termsPagePath};
    bool* flags[3] = {&request.useStartPage, &request.useContinuationPage, &request.useTermsPage};
    for (const PageKindInfo& kind : kPageKinds) {
        const PageChoice& choice = options.page(kind.kind);
        const int i = static_cast<int>(kind.kind);
        std::optional<QString> path;
        if (choice.off) {
            // left out
        } else if (choice.file) {
            const QFileInfo file(*choice.file);
            if (!file.exists())
                return fail(ExitFailure, QStringLiteral("%1: no such file").arg(*choice.file));
            if (!file.isFile())
                return fail(ExitFailure, QStringLiteral("%1: not a file").arg(*choice.file));
            path = *choice.file;
        } else if (record && record->has(kind.recordKey) && !record->lacksPage(kind.kind)) {
            const auto index = record->pageIndex(kind.kind);
            if (!index)
                return fail(ExitFailure, QStringLiteral("template \"%1\": unreadable %2 reference \"%3\"")
                                             .arg(record->name, QLatin1String(kind.label), record->pageReference(kind.kind)));
            path = environment.store->pagePath(kind.kind, *index);
            // Stamping without the letterhead the user asked for would pass
            // unnoticed in a batch; better stop.
            if (!path)
                return fail(ExitFailure, QStringLiteral("template \"%1\": its %2 (number %3) is missing from the store")
                                             .arg(record->name, QLatin1String(kind.label))
                                             .arg(*index));
            if (!QFileInfo(*path).isFile())
                return fail(ExitFailure, QStringLiteral("%1: no such file (the %2 of template \"%3\")")
                                             .arg(*path, QLatin1String(kind.label), record->name));
        }
        *paths[i] = path;
        *flags[i] = path.has_value();
    }

    if (options.behind || options.over)
        request.stationeryIsOverlay = options.over;
    else
        // The record's "isOverlay" means the content lies over the stationery,
        // the engine's flag the opposite; read as the preview window reads it.
        request.stationeryIsOverlay = record && record->text(TemplateRecord::kIsOverlay) == QLatin1String("0");

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
        const auto type = std::filesystem::symlink_status(fsPath(request.outputPath), ec).type();
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
    for (const PageKindInfo& kind : kPageKinds) {
        const std::optional<QString>& path = *paths[static_cast<int>(kind.kind)];
        if (path && sameFile(options.outputPath, *path))
            return fail(ExitUsage, QStringLiteral("%1: OUTPUT is the %2 file; write to another file")
                                       .arg(options.outputPath, QLatin1String(kind.label)));
    }
    if (auto refused = checkOutsideStore(options.outputPath, environment.store))
        return *refused;

    Resolution resolution;
    if (record) {
        const int t = docFormatNumber(record->docFormat()).value_or(99);
        if (!templateFitsDocument(request.documentFormat, t)) {
            const QString documentLabel = request.documentFormat == FormatA4 ? QStringLiteral("DIN A4")
                : request.documentFormat == FormatUSLetter                   ? QStringLiteral("US Letter")
                                                                             : QStringLiteral("neither DIN A4 nor US Letter");
            resolution.warnings << QStringLiteral("template \"%1\" is made for %2, %3 is %4")
                                       .arg(record->name, formatLabel(QString::number(t)), options.documentPath,
                                            documentLabel);
        }
    }
    if (!request.useStartPage && !request.useContinuationPage && !request.useTermsPage)
        resolution.warnings << QStringLiteral("no stationery page is in use; the document is only re-laid");

    resolution.request = request;
    return resolution;
}

} // namespace quillary::cli
