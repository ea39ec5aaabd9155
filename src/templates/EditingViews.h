#pragma once

// The widgets of the configuration assistant that others reach without a path
// through the view tree: the three page-slot buttons, which the guides' click
// catchers address by tag, and the assistant's configure button, which the
// first guide clicks. Each is replaced when a newer assistant creates its own.
// Main thread only.

#include <QAbstractButton>
#include <QPointer>

namespace quillary {

class CircleView;

struct EditingViews {
    static inline QPointer<CircleView> startCircle;
    static inline QPointer<CircleView> continualCircle;
    static inline QPointer<CircleView> agbCircle;
    static inline QPointer<QAbstractButton> configureButtonRef;

    // The slot button registered for a tag (1, 2, 3); nullptr for other tags.
    static CircleView* circle(int tag)
    {
        switch (tag) {
        case 1: return startCircle;
        case 2: return continualCircle;
        case 3: return agbCircle;
        default: return nullptr;
        }
    }
};

} // namespace quillary
