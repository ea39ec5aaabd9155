#pragma once

// A user who prints before making a template of their own sees the sample
// letterhead Quillary starts with. The preview says so in a line, with a
// button that opens the template window (a management-mode process of its
// own, through the Ui seam), so the next print carries the user's paper.

class QWidget;

namespace quillary {

class CustomFileManager;

// True while the store holds only the template Quillary made: one template,
// a start page that is the sample letterhead, no other page.
bool hasOnlyTheSampleTemplate(const CustomFileManager& store);

// The line and its button, for below the preview window's content; nullptr
// when the user has a template of their own.
QWidget* makeFirstTemplateHint(const CustomFileManager& store, QWidget* parent);

} // namespace quillary
