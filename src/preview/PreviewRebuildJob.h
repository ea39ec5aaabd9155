#pragma once

// Private to the preview window's files.

#include "preview/PreviewController.h"

#include <QSemaphore>

namespace quillary {

// One rebuild as the worker sees it: a copy of everything it reads, taken on
// the main thread, and the flag that stops it.
struct PreviewController::RebuildJob {
    quint64 generation = 0;
    MergeRequest request;
    QString firstPageScratch; // the first page merged alone
    bool termsPage = false;
    // The document's page index as known when the rebuild started; looked
    // for by the worker when not known yet. Shown in ranges when allowed.
    std::optional<std::shared_ptr<const DocumentPages>> pages;
    bool rangesAllowed = false;
    // Released once page 1 is on screen (or will not be): the document is
    // indexed after that, so as not to take the processor page 1 needs.
    QSemaphore firstPageShown;
    std::atomic<bool> stop{false};
};

} // namespace quillary
