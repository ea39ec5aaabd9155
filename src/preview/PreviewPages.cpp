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
    if (baseSource >= 0)
        return baseCount;
    return firstSource >= 0 ? 1 : 0;
}

PageEntry PreviewPages::entry(int index) const
{
    if (index < 0 || index >= count())
        return {};
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
    // Older than what is on screen or than a rebuild started since, or the
    // first page of a rebuild whose whole result is already there.
    if (result.generation < shownGeneration || result.generation < newestStarted
        || (result.generation == shownGeneration && shownWhole)) {
        pageRenderer->removeSource(id);
        return;
    }
    shownGeneration = result.generation;
    if (result.part == Part::Whole) {
        if (firstSource >= 0 && result.generation == firstGeneration)
            emit pageCarriedOver(0, PageEntry{firstSource, 0}, PageEntry{id, 0});
        release(baseSource);
        release(firstSource);
        baseSource = id;
        baseCount = pageCount;
        termsPage = result.termsPage;
        shownWhole = true;
        emit pagesReset();
    } else {
        release(firstSource);
        firstSource = id;
        firstGeneration = result.generation;
        shownWhole = false;
        if (baseSource < 0) {
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
