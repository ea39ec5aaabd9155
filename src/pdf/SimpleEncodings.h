#pragma once

// The encodings a simple font's dictionary may name for its codes.
// Internal to quillary_core.

namespace quillary {

enum class SimpleEncoding {
    BuiltIn, // the font program's own (StandardEncoding for text fonts)
    WinAnsi,
    MacRoman,
};

// The character a code stands for; 0 when the encoding leaves it undefined
// or it is the font program's own.
char16_t unicodeOf(SimpleEncoding encoding, unsigned char code);

} // namespace quillary
