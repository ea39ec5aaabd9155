#pragma once

// Renders merged preview pages on one worker thread. Each merged result (a
// "source": the bytes of one merged PDF) is parsed there once; views send
// requests for the pages they show, at the pixel size they show them, and a
// new batch from a view replaces that view's requests still waiting, so
// scrolling never builds a backlog. Finished images come back on the main
// thread through rendered(). Only QImage and bytes cross threads.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSize>
#include <QSizeF>

#include <memory>

namespace quillary {

// Where one preview page comes from: a merged result and a page in it.
struct PageEntry {
    int source = -1;
    int page = -1;
    bool isNull() const { return source < 0 || page < 0; }
    friend bool operator==(const PageEntry&, const PageEntry&) = default;
};

// The views that ask for pages; each keeps its own sizes and cache.
enum class Requester { Strip = 1, LargePreview = 2, Popover = 3 };

struct RenderRequest {
    Requester requester = Requester::Strip;
    int index = 0;       // position of the page in the strip
    PageEntry entry;
    QSize pixels;        // device pixels
    qreal devicePixelRatio = 1;
    int priority = 0;    // higher first; equal ones in the order sent
};

class PageRenderer : public QObject {
    Q_OBJECT
public:
    explicit PageRenderer(QObject* parent = nullptr);
    // Stops the worker after the render in progress and waits for it.
    ~PageRenderer() override;

    // Hands a merged PDF to the worker, which parses it and answers with
    // sourceLoaded or sourceFailed.
    void addSource(int id, QByteArray bytes);
    // Forgets a source; requests for it still waiting are dropped.
    void removeSource(int id);
    // Replaces the requester's waiting requests by batch (empty: cancels).
    void request(Requester requester, QList<RenderRequest> batch);

    // Requests waiting, for tests and benchmarks.
    int pendingCount() const;

signals:
    void sourceLoaded(int id, int pageCount, QSizeF firstPageSize);
    void sourceFailed(int id);
    // image is null when the page could not be rendered.
    void rendered(const quillary::RenderRequest& request, const QImage& image);

private:
    class Worker;
    std::unique_ptr<Worker> worker;
};

} // namespace quillary

Q_DECLARE_METATYPE(quillary::PageEntry)
Q_DECLARE_METATYPE(quillary::RenderRequest)
