#include "pdf/Stationery.h"

#include "pdf/PdfContext.h"

#include <QFile>
#include <QFileInfo>

namespace quillary {

namespace {

Result stationeryWithoutPages(const QString& path)
{
    return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the stationery file has no pages").arg(path));
}

std::shared_ptr<PdfSource> firstPageOnly(std::shared_ptr<PdfSource> source, const QString& path, Result* error)
{
    if (source && source->pageCount() == 0) {
        if (error)
            *error = stationeryWithoutPages(path);
        return nullptr;
    }
    return source;
}

} // namespace

ValueResult<std::shared_ptr<const StationeryFiles>> StationeryFiles::read(const QStringList& paths)
{
    auto files = std::make_shared<StationeryFiles>();
    for (const QString& path : paths) {
        if (files->files.contains(path))
            continue;
        const QFileInfo info(path);
        if (!info.exists())
            return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(path));
        if (!info.isFile())
            return Result::failure(ErrorCode::NotAFile, QStringLiteral("%1: not a file").arg(path));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: %2").arg(path, file.errorString()));
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: %2").arg(path, file.errorString()));
        // Parsed once here, so that a damaged file stops the run before any
        // document is stamped without its letterhead.
        Result error;
        if (!firstPageOnly(PdfSource::open(path, bytes, &error, PdfSource::Pages::FirstOnly), path, &error))
            return error;
        files->files.emplace(path, std::move(bytes));
    }
    return ValueResult<std::shared_ptr<const StationeryFiles>>::of(std::move(files));
}

std::shared_ptr<const StationeryFiles> StationeryFiles::of(std::map<QString, QByteArray> files)
{
    auto made = std::make_shared<StationeryFiles>();
    made->files = std::move(files);
    return made;
}

const QByteArray* StationeryFiles::bytes(const QString& path) const
{
    const auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second;
}

QStringList StationeryFiles::paths() const
{
    QStringList list;
    for (const auto& [path, bytes] : files)
        list << path;
    return list;
}

qint64 StationeryFiles::size() const
{
    qint64 total = 0;
    for (const auto& [path, bytes] : files)
        total += bytes.size();
    return total;
}

StationeryCache::StationeryCache(std::shared_ptr<const StationeryFiles> files, Preparation preparation)
    : shared(std::move(files)), preparation(preparation)
{
}

StationeryCache::~StationeryCache() = default;

void StationeryCache::use(std::shared_ptr<const StationeryFiles> files)
{
    if (files == shared)
        return;
    sources.clear();
    shared = std::move(files);
}

std::shared_ptr<PdfSource> StationeryCache::open(const QString& path, Result* error)
{
    if (const auto it = sources.find(path); it != sources.end())
        return it->second;
    const QByteArray* bytes = shared ? shared->bytes(path) : nullptr;
    if (!bytes) {
        auto source = firstPageOnly(PdfSource::open(path, error, PdfSource::Pages::FirstOnly), path, error);
        if (source && preparation == Preparation::Mend)
            source->normaliseFirstPage();
        return source;
    }
    auto source = firstPageOnly(PdfSource::open(path, *bytes, error, PdfSource::Pages::FirstOnly), path, error);
    if (source && preparation == Preparation::AsStored) {
        sources.emplace(path, source);
    } else if (source) {
        // Kept for many outputs: made fit for PDF/A outputs and compressed
        // once here rather than in each.
        source->normaliseFirstPage();
        source->compressContent(0);
        sources.emplace(path, source);
    }
    return source;
}

} // namespace quillary
