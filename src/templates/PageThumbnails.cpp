#include "templates/PageThumbnails.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPainter>
#include <QPdfDocument>
#include <QThread>

namespace quillary {

namespace {

// A bit more than a list of 200 templates with a few sizes each.
constexpr qsizetype CacheBytes = 64 * 1024 * 1024;

QImage renderFirstPage(const QString& path, const QSize& pixelSize)
{
    // One document per render: PDFium itself is serialised by Qt PDF, and
    // nothing is shared with the main thread but the finished image.
    QPdfDocument document;
    document.load(path);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1)
        return {};
    QImage page = document.render(0, pixelSize);
    if (page.isNull())
        return {};
    // Stationery is paper: transparent parts show white.
    QImage paper(page.size(), QImage::Format_ARGB32_Premultiplied);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, page);
    painter.end();
    return paper;
}

} // namespace

PageThumbnails& PageThumbnails::instance()
{
    // Gone with the application object, before Qt PDF and the event loop
    // that renders are delivered to: a render still running is waited for.
    static PageThumbnails* thumbnails = nullptr;
    if (!thumbnails) {
        thumbnails = new PageThumbnails;
        qAddPostRoutine([] {
            delete thumbnails;
            thumbnails = nullptr;
        });
    }
    return *thumbnails;
}

PageThumbnails::PageThumbnails()
    : cache(CacheBytes)
{
    // One worker: renders arrive in the order they were asked for, and a
    // long list never takes every core from the window.
    pool.setMaxThreadCount(1);
}

PageThumbnails::~PageThumbnails()
{
    pool.clear();
    pool.waitForDone();
}

QImage PageThumbnails::image(const QString& path, const QSize& pixelSize)
{
    if (path.isEmpty() || pixelSize.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    const QString key = QStringLiteral("%1|%2x%3|%4|%5")
                            .arg(path)
                            .arg(pixelSize.width())
                            .arg(pixelSize.height())
                            .arg(info.lastModified().toMSecsSinceEpoch())
                            .arg(info.size());
    if (const QImage* cached = cache.object(key))
        return *cached;
    if (!pending.contains(key)) {
        pending.insert(key);
        pool.start([this, key, path, pixelSize] {
            const QImage image = renderFirstPage(path, pixelSize);
            QMetaObject::invokeMethod(this, [this, key, path, image] { deliver(key, path, image); },
                                      Qt::QueuedConnection);
        });
    }
    return {};
}

void PageThumbnails::deliver(const QString& key, const QString& path, const QImage& image)
{
    if (!pending.remove(key))
        return; // cleared meanwhile
    // A page that cannot be rendered is remembered as a blank page, so that
    // it is not tried again with every paint.
    QImage stored = image;
    if (stored.isNull()) {
        stored = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        stored.fill(Qt::white);
    }
    cache.insert(key, new QImage(stored), qMax<qsizetype>(1, stored.sizeInBytes()));
    emit rendered(path);
}

void PageThumbnails::waitForRenders()
{
    while (!pending.isEmpty()) {
        pool.waitForDone();
        QCoreApplication::sendPostedEvents(this);
    }
}

void PageThumbnails::clear()
{
    pool.clear();
    pool.waitForDone();
    QCoreApplication::sendPostedEvents(this);
    pending.clear();
    cache.clear();
}

} // namespace quillary
