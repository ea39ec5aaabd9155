#pragma once

#include <cstdint>

namespace quillary {

// Whole-point page size as measured from a page's media box.
struct PageSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PageSize&, const PageSize&) = default;
};

// Classified paper format: 0 undefined, 1 A4, 2 US Letter.
struct PageFormat {
    std::uint8_t formatCode = 0;
    bool landscape = false;
    friend bool operator==(const PageFormat&, const PageFormat&) = default;
};

enum FormatCode : std::uint8_t { FormatUndefined = 0, FormatA4 = 1, FormatUSLetter = 2 };

} // namespace quillary
