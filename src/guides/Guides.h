#pragma once

// Wires the guides into the management windows: the tour's five tips for
// every main view, and the guide sheet's scenes "guide" and "guideDone".
// Called once at start (the application in main, tests in their init).

namespace quillary {

void registerGuideScenes();

} // namespace quillary
