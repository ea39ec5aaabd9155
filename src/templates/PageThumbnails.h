#pragma once

// Page images of stored stationery files for the template list and the page
// slots, rendered off the main thread at exactly the size they are drawn at
// and kept in a small cache. A view asks for the image it is about to paint;
// when it is not there yet, it draws a blank page, and rendered() tells it to
// paint again. Nothing is rendered for rows that are never shown.

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

namespace quillary {

class PageThumbnails : public QObject {
    Q_OBJECT
public:
    static PageThumbnails& instance();
    ~PageThumbnails() override;

    // Page 1 of path rendered at pixelSize, when it is ready; otherwise a null
    // image, and the render is started. A file replaced in place (same path,
    // new content) is rendered afresh.
    QImage image(const QString& path, const QSize& pixelSize);
    // Blocks until every started render has been delivered (benchmarks, tests).
    void waitForRenders();
    void clear();

signals:
    // An image of path is ready; views showing path paint again.
    void rendered(const QString& path);

private:
    PageThumbnails();
    void deliver(const QString& key, const QString& path, const QImage& image);

    QThreadPool pool;
    QCache<QString, QImage> cache;
    QSet<QString> pending;
};

} // namespace quillary
