#pragma once

// Private to the preview window's files.

#include "preview/PreviewController.h"

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
    std::atomic<bool> stop{false};
};

} // namespace quillary
