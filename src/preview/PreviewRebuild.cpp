// The preview rebuild: a snapshot of the window's state merged on workers,
// page 1 alone first, then the whole document.

#include "platform/FailureText.h"
#include "preview/CustomCollectionView.h"
#include "preview/PreviewController.h"
#include "preview/PreviewPages.h"
#include "preview/PreviewRebuildJob.h"
#include "store/CustomFileManager.h"

#include <QCheckBox>
#include <QFile>

namespace quillary {

bool PreviewController::termsPageIncluded(const TemplatePagePaths& paths) const
{
    const auto& terms = paths[std::size_t(PageKind::Terms)];
    return agbButton->isEnabled() && agbButton->isChecked() && terms && !terms->isEmpty();
}

MergeRequest PreviewController::mergeRequest(const TemplatePagePaths& paths, bool overlay) const
{
    MergeRequest request;
    request.documentPath = path;
    request.documentPassword = documentPassword;
    request.startPagePath = paths[std::size_t(PageKind::Start)];
    request.continuationPagePath = paths[std::size_t(PageKind::Continuation)];
    request.termsPagePath = paths[std::size_t(PageKind::Terms)];
    request.useStartPage = startButton->isChecked();
    request.useContinuationPage = contButton->isChecked();
    request.useTermsPage = agbButton->isChecked();
    request.stationeryIsOverlay = overlay;
    request.firstPageOffsetY = offYForFirstPage;
    request.firstPageOffsetX = offXForFirstPage;
    request.continuationOffsetY = offYForContinualPage;
    request.continuationOffsetX = offXForContinualPage;
    request.documentFormat = TaskManager::documentFormat;
    // Only for looking at: plain, quick to write.
    request.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}};
    request.compact = false;
    return request;
}

void PreviewController::rebuildPreview(const QString& key, bool overlay, bool keepToggles)
{
    if (!templatePagePaths(key))
        return;
    // After the event at hand, so that a click finishes before the toggles
    // are read.
    QMetaObject::invokeMethod(
        this, [this, key, overlay, keepToggles] { startRebuild(key, overlay, keepToggles); }, Qt::QueuedConnection);
}

void PreviewController::startRebuild(const QString& key, bool overlay, bool keepToggles)
{
    const auto paths = templatePagePaths(key);
    if (!paths)
        return;
    if (!keepToggles)
        refreshPageToggles();

    if (currentRebuild) {
        currentRebuild->stop = true;
        currentRebuild->firstPageShown.release();
    }
    auto job = std::make_shared<RebuildJob>();
    job->generation = ++generation;
    previewPages->begin(job->generation);
    job->request = mergeRequest(*paths, overlay);
    job->termsPage = termsPageIncluded(*paths);
    job->firstPageScratch = sharedStore().scratchPath(StoreKey::Temporary);
    job->pages = documentPages;
    job->rangesAllowed = !rangesDeclined && rangesFrom > 0;
    rangeQueue.clear();
    scratchFiles.insert(job->firstPageScratch);
    currentRebuild = job;
    problem.clear();
    updateState();

    // The first page alone, on screen long before a long document is merged
    // whole, then the whole document. One after the other on one worker: run
    // side by side, the whole merge took the processor the first page needed.
    engine.start([this, job] {
        QByteArray bytes;
        const auto& r = job->request;
        SinglePageRequest first;
        first.documentPath = r.documentPath;
        first.documentPassword = r.documentPassword;
        first.outputPath = job->firstPageScratch;
        if (r.useStartPage && r.startPagePath)
            first.stationeryPath = *r.startPagePath;
        first.stationeryIsOverlay = r.stationeryIsOverlay;
        first.offsetX = r.firstPageOffsetX;
        first.offsetY = r.firstPageOffsetY;
        first.documentFormat = r.documentFormat;
        if (!job->stop && !first.outputPath.isEmpty() && TaskManager::mergeSinglePage(first)) {
            QFile file(first.outputPath);
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
        }
        QMetaObject::invokeMethod(
            this, [this, job, bytes] { firstPageMerged(job, bytes); }, Qt::QueuedConnection);

        // A long document is shown in ranges (see PreviewRanges.cpp).
        if (!job->pages && !job->stop) {
            job->firstPageShown.tryAcquire(1, 2000);
            if (!job->stop)
                job->pages = TaskManager::indexPages(r.documentPath);
        }
        const auto pages = job->pages.value_or(nullptr);
        const bool inRanges = job->rangesAllowed && pages && pages->pageCount >= rangesFrom;
        QMetaObject::invokeMethod(
            this, [this, job, pages, inRanges] { pagesIndexed(job, pages, inRanges); }, Qt::QueuedConnection);
        if (inRanges)
            return;

        const MergeControl control{&job->stop, {}};
        auto whole = job->stop ? ValueResult<QByteArray>(Result::failure(ErrorCode::Cancelled, {}))
                               : TaskManager::mergeToBytes(job->request, control);
        QMetaObject::invokeMethod(this, [this, job, whole] { rebuildMerged(job, whole); }, Qt::QueuedConnection);
    });
}

void PreviewController::firstPageMerged(const std::shared_ptr<RebuildJob>& job, QByteArray bytes)
{
    forgetScratch(job->firstPageScratch);
    if (job != currentRebuild || bytes.isEmpty()) {
        job->firstPageShown.release();
        return;
    }
    previewPages->present(job->generation, PreviewPages::Part::FirstPage, std::move(bytes), job->termsPage);
}

void PreviewController::rebuildMerged(const std::shared_ptr<RebuildJob>& job, const ValueResult<QByteArray>& result)
{
    if (job != currentRebuild)
        return; // superseded: a newer rebuild shows its own result
    if (!result.ok() || !result.value) {
        currentRebuild.reset();
        previewPages->clear();
        showProblem(tr("The preview could not be made: %1")
                        .arg(FailureText::sentence(result, knownFiles(job->request))));
        emit rebuildFinished(false);
        return;
    }
    previewPages->present(job->generation, PreviewPages::Part::Whole, *result.value, job->termsPage);
}

void PreviewController::presented(quint64 shown, int part)
{
    if (PreviewPages::Part(part) == PreviewPages::Part::FirstPage && currentRebuild
        && currentRebuild->generation == shown)
        currentRebuild->firstPageShown.release();
    if (PreviewPages::Part(part) != PreviewPages::Part::Whole || !currentRebuild
        || currentRebuild->generation != shown)
        return;
    currentRebuild.reset();
    updateState();
    emit rebuildFinished(true);
}

void PreviewController::presentFailed(quint64 failed, int part)
{
    if (PreviewPages::Part(part) == PreviewPages::Part::Range) {
        if (failed == rangeGeneration && previewPages->isRanged()) {
            previewPages->clear();
            showProblem(tr("The merged document could not be read."));
        }
        return;
    }
    if (!currentRebuild || currentRebuild->generation != failed)
        return;
    currentRebuild->firstPageShown.release();
    currentRebuild.reset();
    showProblem(tr("The merged document could not be read."));
    emit rebuildFinished(false);
}

void PreviewController::forgetScratch(const QString& scratch)
{
    if (scratch.isEmpty())
        return;
    scratchFiles.remove(scratch);
    sharedStore().removeIfReadable(scratch);
}

} // namespace quillary
