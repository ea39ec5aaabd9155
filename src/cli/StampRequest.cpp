#include "cli/StampRequest.h"

#include "pdf/Password.h"
#include "pdf/PdfReading.h"
#include "store/CustomFileManager.h"

#include "fs/SafeFs.h"

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

// A refusal: the exit status it leads to, one line, and its code (by default
// a value refused for a usage error, something missing otherwise).
Resolution fail(int exitCode, const QString& why, std::optional<ErrorCode> code = std::nullopt)
{
    Resolution r;
    r.exitCode = exitCode;
    r.code = code.value_or(exitCode == ExitUsage ? ErrorCode::InvalidInput : ErrorCode::NotFound);
    r.error = printableLine(why);
    return r;
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
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
            return {std::nullopt, fail(ExitFailure, QStringLiteral("%1: is a directory (%2)").arg(name, origin),
                                       ErrorCode::NotAFile)};
        file.setFileName(name);
        if (!file.open(QIODevice::ReadOnly))
            return {std::nullopt, fail(ExitFailure, QStringLiteral("%1: %2 (%3)").arg(name, file.errorString(), origin),
                                       ErrorCode::Unreadable)};
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

// The content offsets of a request, in points.
struct ContentOffsets {
    QPointF firstPage;
    QPointF continuation;
};

std::optional<Resolution> checkOffsets(const ContentOffsets& given, const PageSize& page)
{
    const struct {
        const char* option;
        QPointF offset;
    } offsets[] = {{"--first-offset", given.firstPage}, {"--offset", given.continuation}};
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
std::optional<Resolution> checkOutsideStore(const QString& output, const StampPlan& plan)
{
    const QString& directory = plan.storeDirectory;
    const QString resolved = resolvedPath(output);
    if (!directory.isEmpty() && !resolved.isEmpty()
        && (resolved == directory || resolved.startsWith(directory + QLatin1Char('/'))))
        return fail(ExitUsage, QStringLiteral("%1: OUTPUT lies in the template store %2; write it elsewhere")
                                   .arg(output, QDir::toNativeSeparators(directory)), ErrorCode::Refused);
    // Stored pages the settings name outside the store directory.
    for (const QString& file : plan.storeFiles) {
        if (!file.isEmpty() && sameFile(output, file))
            return fail(ExitUsage, QStringLiteral("%1: OUTPUT is a file of the template store; write it elsewhere")
                                       .arg(output), ErrorCode::Refused);
    }
    return std::nullopt;
}

PlanResolution failPlan(const Resolution& r)
{
    PlanResolution p;
    p.error = r.error;
    p.exitCode = r.exitCode;
    return p;
}

} // namespace

bool sameFile(const QString& a, const QString& b)
{
    std::error_code ec;
    const bool same = std::filesystem::equivalent(fsPath(a), fsPath(b), ec);
    if (!ec && same)
        return true;
    // Neither exists yet or one is missing: compare the cleaned absolute names.
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

QString resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
}

QString formatLabel(const QString& docFormat)
{
    const auto code = docFormatNumber(docFormat);
    if (code == 0)
        return QStringLiteral("DIN A4");
    if (code == 1)
        return QStringLiteral("US Letter");
    return QStringLiteral("Undefined");
}

QStringList StampPlan::stationeryPaths() const
{
    QStringList paths;
    const std::pair<bool, const std::optional<QString>*> pages[] = {
        {base.useStartPage, &base.startPagePath},
        {base.useContinuationPage, &base.continuationPagePath},
        {base.useTermsPage, &base.termsPagePath}};
    for (const auto& [used, path] : pages) {
        if (used && *path && !paths.contains(**path))
            paths << **path;
    }
    return paths;
}

PlanResolution resolvePlan(const StampOptions& options, const StampEnvironment& environment)
{
    StampPlan plan;
    MergeRequest& request = plan.base;
    if (auto refused = passwordOptions(options, environment.standardInput, &request.options))
        return failPlan(*refused);

    request.firstPageOffsetX = options.firstPageOffset.x();
    request.firstPageOffsetY = options.firstPageOffset.y();
    request.continuationOffsetX = options.continuationOffset.x();
    request.continuationOffsetY = options.continuationOffset.y();

    std::optional<TemplateRecord>& record = plan.record;
    if (options.templateName) {
        const QString& name = *options.templateName;
        record = environment.store ? environment.store->templateNamed(name) : std::nullopt;
        if (!record)
            return failPlan(
                fail(ExitFailure, QStringLiteral("no template named \"%1\" (see --list-templates)").arg(name)));
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
                return failPlan(fail(ExitFailure, QStringLiteral("%1: no such file").arg(*choice.file)));
            if (!file.isFile())
                return failPlan(
                    fail(ExitFailure, QStringLiteral("%1: not a file").arg(*choice.file), ErrorCode::NotAFile));
            path = *choice.file;
        } else if (record && record->has(kind.recordKey) && !record->lacksPage(kind.kind)) {
            const auto index = record->pageIndex(kind.kind);
            if (!index)
                return failPlan(fail(ExitFailure, QStringLiteral("template \"%1\": unreadable %2 reference \"%3\"")
                                                      .arg(record->name, QLatin1String(kind.label),
                                                           record->pageReference(kind.kind)), ErrorCode::Damaged));
            path = environment.store->pagePath(kind.kind, *index);
            // Stamping without the letterhead the user asked for would pass
            // unnoticed in a batch; better stop.
            if (!path)
                return failPlan(fail(ExitFailure,
                                     QStringLiteral("template \"%1\": its %2 (number %3) is missing from the store")
                                         .arg(record->name, QLatin1String(kind.label))
                                         .arg(*index)));
            if (!QFileInfo(*path).isFile())
                return failPlan(fail(ExitFailure, QStringLiteral("%1: no such file (the %2 of template \"%3\")")
                                                      .arg(*path, QLatin1String(kind.label), record->name)));
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

    // What no output may replace. The store's folder is enough without a
    // store at hand; an opened store also names pages kept outside it.
    if (CustomFileManager* store = environment.store) {
        plan.storeDirectory = QFileInfo(store->storeDirectory()).canonicalFilePath();
        plan.settingsPath = store->settingsPath();
        plan.storeFiles << plan.settingsPath;
        for (const TemplateRecord& stored : store->templateRecords().value_or(QList<TemplateRecord>{})) {
            for (const PageKindInfo& kind : kPageKinds) {
                if (const auto index = stored.pageIndex(kind.kind))
                    plan.storeFiles << store->pagePath(kind.kind, *index).value_or(QString());
            }
        }
    } else if (!environment.storeDirectory.isEmpty()) {
        const QFileInfo directory(environment.storeDirectory);
        plan.storeDirectory = directory.exists() ? directory.canonicalFilePath() : directory.absoluteFilePath();
    }

    if (!request.useStartPage && !request.useContinuationPage && !request.useTermsPage)
        plan.warnings << QStringLiteral("no stationery page is in use; the document is only re-laid");
    return {std::move(plan), {}, ExitSuccess};
}

Resolution resolveDocument(const StampPlan& plan, const QString& documentPath, const QString& outputPath,
                           const QString& readFrom)
{
    MergeRequest request = plan.base;
    const QFileInfo document(readFrom.isEmpty() ? documentPath : readFrom);
    if (!document.exists())
        return fail(ExitFailure, QStringLiteral("%1: no such file").arg(documentPath));
    if (!document.isFile())
        return fail(ExitFailure, QStringLiteral("%1: not a file").arg(documentPath), ErrorCode::NotAFile);

    // The output size follows the document's paper format, measured as the
    // preview window measures it, so both write the same file. Only offsets
    // to check and a template to compare with need it here; otherwise the
    // merge measures it from the document it opens anyway.
    const ContentOffsets offsets{QPointF(request.firstPageOffsetX, request.firstPageOffsetY),
                                 QPointF(request.continuationOffsetX, request.continuationOffsetY)};
    if (offsets.firstPage.isNull() && offsets.continuation.isNull() && !plan.record) {
        request.documentFormat = MergeRequest::FormatOfDocument;
    } else {
        // The document is read before its format counts: a file that is no
        // PDF, is locked or has no page says so, and nothing else.
        const QString read = readFrom.isEmpty() ? documentPath : readFrom;
        const ValueResult<PageSize> opened = TaskManager::readDocument(read);
        if (!opened)
            return fail(ExitFailure, QString(opened.error).replace(read, documentPath), opened.code);
        PageSize documentSize = TaskManager::pageSize(documentPath);
        if (!readFrom.isEmpty() && QFileInfo(documentPath).suffix() == QLatin1String("pdf")) {
            // Measured in the file read, as pageSize measures by name.
            const auto box = firstPageMediaBox(readFrom);
            documentSize = box ? PageSize{int(std::round(box->width())), int(std::round(box->height()))} : PageSize{};
        }
        request.documentFormat = TaskManager::pageFormat(documentSize.width, documentSize.height).formatCode;
        if (auto refused = checkOffsets(offsets, outputSize(request.documentFormat, documentSize)))
            return *refused;
    }

    request.documentPath = readFrom.isEmpty() ? documentPath : readFrom;
    request.outputPath = outputPath;

    // The output must not replace what it is made from: a stamped copy over the
    // document loses the original, one over a stored page spoils the template.
    // The engine renames a finished file into place, following a link at the
    // name only where it is safe to (the writer checks again when it writes):
    // a colleague's link planted in a shared folder is refused here, before
    // any work is done. Over a device or a pipe it would replace the node.
    {
        fs::Fd folder;
        std::string name, resolved;
        const fs::Status followed =
            fs::followOutputLinks(QFile::encodeName(outputPath).toStdString(), &folder, &name, &resolved);
        if (!followed) {
            const QString why = QFile::decodeName(QByteArray::fromStdString(followed.message));
            if (followed.refused)
                return fail(ExitFailure, why, ErrorCode::Refused);
            if (followed.error == EISDIR)
                return fail(ExitFailure, QStringLiteral("%1: is a directory").arg(outputPath), ErrorCode::NotAFile);
            if (followed.error == EINVAL)
                return fail(ExitFailure, QStringLiteral("%1: not a regular file; OUTPUT must be a new or an ordinary file")
                                             .arg(outputPath), ErrorCode::NotAFile);
            if ((followed.error == ENOENT || followed.error == ENOTDIR) && !QFileInfo(outputPath).isSymLink())
                return fail(ExitFailure, QStringLiteral("%1: the folder %2 does not exist")
                                             .arg(outputPath, QDir::toNativeSeparators(QFileInfo(outputPath).absolutePath())));
            return fail(ExitFailure, why);
        }
    }
    if (sameFile(outputPath, documentPath))
        return fail(ExitUsage, QStringLiteral("%1: OUTPUT is the document itself; write to another file")
                                   .arg(outputPath), ErrorCode::Refused);
    const std::pair<const std::optional<QString>*, const char*> pages[] = {
        {&request.startPagePath, "start page"},
        {&request.continuationPagePath, "continuation page"},
        {&request.termsPagePath, "terms page"}};
    for (const auto& [path, label] : pages) {
        if (*path && sameFile(outputPath, **path))
            return fail(ExitUsage, QStringLiteral("%1: OUTPUT is the %2 file; write to another file")
                                       .arg(outputPath, QLatin1String(label)), ErrorCode::Refused);
    }
    if (auto refused = checkOutsideStore(outputPath, plan))
        return *refused;

    Resolution resolution;
    if (const auto& record = plan.record) {
        const int t = docFormatNumber(record->docFormat()).value_or(99);
        if (!templateFitsDocument(request.documentFormat, t)) {
            const QString documentLabel = request.documentFormat == FormatA4 ? QStringLiteral("DIN A4")
                : request.documentFormat == FormatUSLetter                   ? QStringLiteral("US Letter")
                                                                             : QStringLiteral("neither DIN A4 nor US Letter");
            resolution.warnings << QStringLiteral("template \"%1\" is made for %2, %3 is %4")
                                       .arg(record->name, formatLabel(QString::number(t)), documentPath,
                                            documentLabel);
        }
    }
    resolution.request = request;
    return resolution;
}

Resolution resolveMergeRequest(const StampOptions& options, const StampEnvironment& environment)
{
    PlanResolution planned = resolvePlan(options, environment);
    if (!planned.plan) {
        Resolution r;
        r.error = planned.error;
        r.exitCode = planned.exitCode;
        return r;
    }
    Resolution resolution = resolveDocument(*planned.plan, options.documentPath, options.outputPath);
    if (resolution.request)
        resolution.warnings = planned.plan->warnings + resolution.warnings;
    return resolution;
}

} // namespace quillary::cli
