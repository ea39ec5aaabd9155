#pragma once

namespace quillary {

// Opens the desktop's character palette (a program started through the UI
// seam); false when the desktop has none.
bool showCharacterPalette();

} // namespace quillary
