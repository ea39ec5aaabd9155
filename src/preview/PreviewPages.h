#pragma once

// The merged result the preview window shows, observed by the page strip and
// the large preview: how many pages there are, where each page comes from and
// the worker that renders them. A rebuild presents its first page alone as
// soon as that is merged, then the whole result; results of an older rebuild
// than the one on screen are dropped.
//
// A long document is not merged whole for looking at: its pages come in
// ranges, merged when a view wants one of their pages (rangeWanted), and
// only a few ranges are kept, so that memory stays that of a short document
// however far the strip is scrolled.

#include "preview/PageRenderer.h"

#include <QHash>
#include <QObject>

#include <algorithm>
#include <memory>

namespace quillary {

class PreviewPages : public QObject {
    Q_OBJECT
public:
    enum class Part { FirstPage, Whole, Range };
    Q_ENUM(Part)

    explicit PreviewPages(QObject* parent = nullptr);
    ~PreviewPages() override;

    PageRenderer& renderer() { return *pageRenderer; }

    int count() const;
    // Where page index comes from; null outside 0..count-1.
    PageEntry entry(int index) const;
    // Whether the result on screen ends with a terms page (the strip's labels).
    bool hasTermsPage() const { return termsPage; }
    // The generation on screen and whether all its pages are there.
    quint64 generation() const { return shownGeneration; }
    bool isComplete() const { return shownWhole; }

    // A merged PDF of a rebuild (generation counts up per rebuild). It is
    // parsed on the render thread and then shown, unless something newer is
    // on screen by then.
    void present(quint64 generation, Part part, QByteArray bytes, bool termsPage);
    // A rebuild of this generation has started: what an older one presented
    // and is still being parsed is dropped, never shown.
    void begin(quint64 generation) { newestStarted = std::max(newestStarted, generation); }
    // Shows nothing.
    void clear();

    // The pages of this generation come in ranges of rangeSize pages (the
    // last one with the terms page after it): count() is known now, each
    // page's entry once its range is there.
    void beginRanges(quint64 generation, int documentPages, bool termsPage, int rangeSize);
    bool isRanged() const { return ranged; }
    quint64 rangesGeneration() const { return rangeGeneration; }
    // The merged PDF of one range of pages.
    void presentRange(quint64 generation, int range, QByteArray bytes);
    // A view says which pages it is about to show (replacing what it said
    // before); a range not there yet is asked for once through rangeWanted,
    // and a range a view shows is never let go.
    void want(Requester view, int first, int last);
    // The range may be asked for again (its merge was dropped unmade).
    void unrequest(quint64 generation, int range);
    // The ranges kept at once.
    static constexpr int KeptRanges = 4;
    int loadedRanges() const;

signals:
    // The number of pages or every page changed.
    void pagesReset();
    // Only page index changed (the first page of a rebuild).
    void pageChanged(int index);
    // The page at index comes from another source now but looks the same (the
    // first page merged alone, then as part of the whole): images of it stay
    // good. Sent before pagesReset.
    void pageCarriedOver(int index, const quillary::PageEntry& from, const quillary::PageEntry& to);
    void presented(quint64 generation, quillary::PreviewPages::Part part);
    // The bytes of a rebuild were no readable PDF.
    void presentFailed(quint64 generation, quillary::PreviewPages::Part part);
    // A view wants the pages [range * size, ...) of the generation shown.
    void rangeWanted(quint64 generation, int range);

private:
    struct Pending {
        quint64 generation = 0;
        Part part = Part::Whole;
        bool termsPage = false;
        int range = -1;
    };
    struct Range {
        int source = -1;
        bool requested = false;
        quint64 used = 0;
    };
    int rangeOf(int index) const;
    void rangeLoaded(int id, const Pending& result);
    void dropRanges();
    void loaded(int id, int pageCount);
    void failed(int id);
    void release(int& source);

    std::unique_ptr<PageRenderer> pageRenderer;
    QHash<int, Pending> pending;
    int nextSource = 1;
    quint64 shownGeneration = 0;
    quint64 newestStarted = 0;
    bool shownWhole = false;
    // The whole result on screen (possibly of an older generation while the
    // first page of a newer one is shown over it) and the newer first page.
    int baseSource = -1;
    int baseCount = 0;
    int firstSource = -1;
    quint64 firstGeneration = 0;
    bool termsPage = false;
    // Pages in ranges.
    bool ranged = false;
    quint64 rangeGeneration = 0;
    int documentPages = 0;
    int rangeSize = 1;
    QHash<int, Range> ranges;
    QHash<int, std::pair<int, int>> shownRanges; // by view: the ranges it shows
    quint64 clock = 0;
};

} // namespace quillary
