#pragma once

namespace quillary {

// Registers the scenes of the preview window ("Edit", the offset editor) with
// the Storyboard. Called once by the application and by tests.
void registerPreviewScenes();

} // namespace quillary
