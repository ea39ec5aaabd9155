#pragma once

// The guide sheet: a floating panel over the template window that shows, in
// a looping video, how a letterhead goes into the page slots, with pictures
// of the three slots that open a slot's file panel when clicked. A page file
// dropped on a slot moves it on to its next scene.
//
// Scenes by identifier: "guide" (the video and the slot pictures) and
// "guideDone" (what comes after the first page).

class QWidget;

namespace quillary {

class GuideController;
class WindowGuide;

GuideController* makeGuideScene();
GuideController* makeGuideDoneScene();

// Opens the sheet's first scene over the template window, or raises the
// sheet already open there; returns its window.
WindowGuide* showGuideSheet(QWidget* templateWindow);

} // namespace quillary
