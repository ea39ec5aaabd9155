#pragma once

#include <QString>

namespace quillary {

// Process-wide values through which the editing controllers meet: the main view
// names the template, the assistant and its page slots fill the page sources,
// and the save procedure reads them all. Main thread only. Widgets of the
// assistant are no part of it: the UI layer keeps its own references.
//
// A page source is "" (no page), "existing" (keep the stored page) or a PDF path.
struct SharedData {
    static inline QString templateName;
    static inline bool isNewTemplate = true;
    static inline QString startPagePath;
    static inline QString continualPagePath;
    static inline QString agbPagePath;

    static inline const QString existing = QStringLiteral("existing");

    // Back to the values at process start (tests use this between cases).
    static void reset();
};

} // namespace quillary
