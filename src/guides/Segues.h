#pragma once

// The two custom segues of the guides. Each takes the destination: when the
// segue cannot be performed it deletes it and answers false.

class QWidget;

namespace quillary {

// The destination becomes the content of the guide window that shows the
// source; without such a window nothing happens.
struct TriggerSegue {
    static bool perform(QWidget* source, QWidget* destination);
};

// In the template window that shows the source, the destination (a
// configuration assistant) takes the place of the assistant in the main
// view's configuration area: the main view then holds the template list and
// exactly this one assistant.
struct ReplaceSegue {
    static bool perform(QWidget* source, QWidget* destination);
};

} // namespace quillary
