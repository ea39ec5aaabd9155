#pragma once

// Plain stand-ins for the five tips of the guided tour: a dimmed window with
// one card that says what to do next. The guides replace them through
// MainViewController::setTourTipFactory.

class QWidget;

namespace quillary {

class MainViewController;

QWidget* createPlaceholderTourTip(int number, MainViewController* main);

} // namespace quillary
