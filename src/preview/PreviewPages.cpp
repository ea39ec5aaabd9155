#include "preview/PreviewPages.h"

namespace quillary {

PreviewPages::PreviewPages(QObject* parent)
    : QObject(parent)
    , pageRenderer(std::make_unique<PageRenderer>())
{
    connect(pageRenderer.get(), &PageRenderer::sourceLoaded, this,
            [this](int id, int pageCount, QSizeF) { loaded(id, pageCount); });
    connect(pageRenderer.get(), &PageRenderer::sourceFailed, this, &PreviewPages::failed);
}

// The renderer goes first (its worker is joined) while the connections are
// still there to be cut.
PreviewPages::~PreviewPages()
{
    pageRenderer.reset();
}

int PreviewPages::count() const
{
    if (ranged)
        return documentPages + (termsPage ? 1 : 0);
    if (baseSource >= 0)
        return baseCount;
    return firstSource >= 0 ? 1 : 0;
}

PageEntry PreviewPages::entry(int index) const
{
    if (index < 0 || index >= count())
        return {};
    if (ranged) {
        const int range = rangeOf(index);
        const auto it = ranges.constFind(range);
        const bool there = it != ranges.constEnd() && it->source >= 0;
        // Page 1 of a newer rebuild goes over the ranges of an older one.
        if (index == 0 && firstSource >= 0 && (!there || firstGeneration > rangeGeneration))
            return {firstSource, 0};
        return there ? PageEntry{it->source, index - range * rangeSize} : PageEntry{};
    }
    if (index == 0 && firstSource >= 0)
        return {firstSource, 0};
    return {baseSource, index};
}

void PreviewPages::present(quint64 generation, Part part, QByteArray bytes, bool terms)
{
    const int id = nextSource++;
    pending.insert(id, Pending{generation, part, terms});
    pageRenderer->addSource(id, std::move(bytes));
}

void PreviewPages::clear()
{
    // Pages still being loaded belong to what is cleared too: page 1 of a
    // merge that then failed must not appear after the failure is shown.
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it)
        pageRenderer->removeSource(it.key());
    pending.clear();
    dropRanges();
    ranged = false;
    release(baseSource);
    release(firstSource);
    baseCount = 0;
    termsPage = false;
    emit pagesReset();
}

void PreviewPages::release(int& source)
{
    if (source >= 0)
        pageRenderer->removeSource(source);
    source = -1;
}

void PreviewPages::loaded(int id, int pageCount)
{
    const auto it = pending.constFind(id);
    if (it == pending.constEnd())
        return;
    const Pending result = *it;
    pending.erase(it);
    if (result.part == Part::Range) {
        rangeLoaded(id, result);
        return;
    }
    // Older than what is on screen or than a rebuild started since, or the
    // first page of a rebuild whose whole result is already there.
    if (result.generation < shownGeneration || result.generation < newestStarted
        || (result.generation == shownGeneration && shownWhole
            && (!ranged || result.part == Part::Whole || ranges.value(0).source >= 0))) {
        pageRenderer->removeSource(id);
        return;
    }
    shownGeneration = result.generation;
    if (result.part == Part::Whole) {
        if (firstSource >= 0 && result.generation == firstGeneration)
            emit pageCarriedOver(0, PageEntry{firstSource, 0}, PageEntry{id, 0});
        release(baseSource);
        release(firstSource);
        dropRanges();
        ranged = false;
        baseSource = id;
        baseCount = pageCount;
        termsPage = result.termsPage;
        shownWhole = true;
        emit pagesReset();
    } else {
        release(firstSource);
        firstSource = id;
        firstGeneration = result.generation;
        if (ranged && result.generation == rangeGeneration) {
            emit pageChanged(0); // page 1 before its range
            return;
        }
        shownWhole = false;
        if (baseSource < 0 && !ranged) {
            termsPage = false; // the page shown alone is the start page
            emit pagesReset();
        } else {
            emit pageChanged(0);
        }
    }
    emit presented(result.generation, result.part);
}

void PreviewPages::failed(int id)
{
    if (!pending.contains(id))
        return;
    const Pending result = pending.take(id);
    if (result.generation >= shownGeneration)
        emit presentFailed(result.generation, result.part);
}

} // namespace quillary

namespace quillary {

int PreviewPages::rangeOf(int index) const
{
    return std::clamp(index, 0, std::max(documentPages - 1, 0)) / rangeSize;
}

void PreviewPages::beginRanges(quint64 generation, int pages, bool terms, int size)
{
    if (generation < shownGeneration || generation < newestStarted)
        return;
    dropRanges();
    release(baseSource);
    baseCount = 0;
    if (firstSource >= 0 && firstGeneration != generation)
        release(firstSource);
    ranged = true;
    rangeGeneration = shownGeneration = generation;
    shownWhole = true;
    documentPages = pages;
    termsPage = terms;
    rangeSize = std::max(size, 1);
    emit pagesReset();
}

void PreviewPages::presentRange(quint64 generation, int range, QByteArray bytes)
{
    const int id = nextSource++;
    pending.insert(id, Pending{generation, Part::Range, termsPage, range});
    pageRenderer->addSource(id, std::move(bytes));
}

void PreviewPages::want(Requester view, int first, int last)
{
    if (!ranged || documentPages <= 0)
        return;
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first > last) {
        shownRanges.remove(int(view));
        return;
    }
    shownRanges.insert(int(view), {rangeOf(first), rangeOf(last)});
    ++clock;
    for (int range = rangeOf(first); range <= rangeOf(last); ++range) {
        Range& slot = ranges[range];
        slot.used = clock;
        if (slot.source < 0 && !slot.requested) {
            slot.requested = true;
            emit rangeWanted(rangeGeneration, range);
        }
    }
}

void PreviewPages::unrequest(quint64 generation, int range)
{
    if (!ranged || generation != rangeGeneration)
        return;
    if (const auto it = ranges.find(range); it != ranges.end())
        it->requested = false;
}

int PreviewPages::loadedRanges() const
{
    return int(std::count_if(ranges.cbegin(), ranges.cend(), [](const Range& r) { return r.source >= 0; }));
}

void PreviewPages::rangeLoaded(int id, const Pending& result)
{
    if (!ranged || result.generation != rangeGeneration) {
        pageRenderer->removeSource(id);
        return;
    }
    Range& slot = ranges[result.range];
    release(slot.source);
    slot.source = id;
    slot.requested = false;
    slot.used = std::max(slot.used, clock);
    // The least recently wanted ranges go, but never one a view shows (the
    // large preview's, while the strip scrolls on); the images of those that
    // go stay in the views as stand-ins.
    auto shown = [this](int range) {
        return std::any_of(shownRanges.cbegin(), shownRanges.cend(),
                           [range](const std::pair<int, int>& r) { return range >= r.first && range <= r.second; });
    };
    while (loadedRanges() > KeptRanges) {
        auto oldest = ranges.end();
        for (auto it = ranges.begin(); it != ranges.end(); ++it)
            if (it->source >= 0 && it.key() != result.range && !shown(it.key())
                && (oldest == ranges.end() || it->used < oldest->used))
                oldest = it;
        if (oldest == ranges.end())
            break; // every range there is shown
        release(oldest->source);
        ranges.erase(oldest);
    }
    const int first = result.range * rangeSize;
    const int last = result.range == rangeOf(count() - 1) ? count() - 1 : first + rangeSize - 1;
    if (result.range == 0 && firstSource >= 0 && firstGeneration == rangeGeneration) {
        emit pageCarriedOver(0, PageEntry{firstSource, 0}, PageEntry{id, 0});
        release(firstSource);
    }
    for (int i = first; i <= last; ++i)
        emit pageChanged(i);
}

void PreviewPages::dropRanges()
{
    shownRanges.clear();
    for (Range& slot : ranges)
        release(slot.source);
    ranges.clear();
}

} // namespace quillary
