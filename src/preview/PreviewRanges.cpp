// A long document in the preview: its pages merged range by range as the
// strip and the large preview want them, a few ranges kept at a time.

#include "platform/FailureText.h"
#include "preview/PreviewController.h"
#include "preview/PreviewPages.h"
#include "preview/PreviewRebuildJob.h"

namespace quillary {

namespace {
// Ranges asked for and not yet merged: beyond this many the oldest wishes
// go (the strip was scrolled on), asked for again when wanted again.
constexpr size_t WaitingRanges = 8;
} // namespace

void PreviewController::pagesIndexed(const std::shared_ptr<RebuildJob>& job,
                                     const std::shared_ptr<const DocumentPages>& pages, bool inRanges)
{
    if (!documentPages)
        documentPages = pages;
    if (!inRanges || job != currentRebuild)
        return;
    rangeGeneration = job->generation;
    rangeRequest = job->request;
    rangeRequest.useTermsPage = job->termsPage;
    rangeQueue.clear();
    currentRebuild.reset();
    previewPages->beginRanges(job->generation, pages->pageCount, job->termsPage, pagesPerRange);
    updateState();
    emit rebuildFinished(true);
}

void PreviewController::rangeWanted(quint64 wanted, int range)
{
    if (wanted != rangeGeneration)
        return;
    rangeQueue.push_front(range);
    while (rangeQueue.size() > WaitingRanges) {
        previewPages->unrequest(wanted, rangeQueue.back());
        rangeQueue.pop_back();
    }
    mergeNextRange();
}

void PreviewController::mergeNextRange()
{
    const auto pages = documentPages.value_or(nullptr);
    if (rangeRunning || rangeQueue.empty() || !pages)
        return;
    const int range = rangeQueue.front();
    rangeQueue.pop_front();
    const int first = range * pagesPerRange;
    const int count = std::min(pagesPerRange, pages->pageCount - first);
    if (count <= 0)
        return mergeNextRange();
    rangeRunning = true;
    rangeMerger.start([this, pages, range, first, count, merged = rangeGeneration, request = rangeRequest] {
        bool declined = false;
        const auto result = TaskManager::mergeRange(request, *pages, first, count, &declined);
        QMetaObject::invokeMethod(
            this, [this, merged, range, result, declined] { rangeMerged(merged, range, result, declined); },
            Qt::QueuedConnection);
    });
}

void PreviewController::rangeMerged(quint64 merged, int range, const ValueResult<QByteArray>& result, bool declined)
{
    rangeRunning = false;
    if (merged == rangeGeneration && previewPages->isRanged() && previewPages->rangesGeneration() == merged) {
        if (result.ok() && result.value) {
            previewPages->presentRange(merged, range, *result.value);
        } else if (declined) {
            // Pages that cannot be read alone: the document is merged whole
            // as a short one is.
            rangesDeclined = true;
            rangeQueue.clear();
            if (selectedKey)
                rebuildPreview(*selectedKey, stationeryIsOverlay, true);
            return;
        } else if (result.code != ErrorCode::Cancelled) {
            rangeQueue.clear();
            previewPages->clear();
            showProblem(tr("The preview could not be made: %1")
                            .arg(FailureText::sentence(result, knownFiles(rangeRequest))));
            return;
        }
    }
    mergeNextRange();
}

} // namespace quillary
