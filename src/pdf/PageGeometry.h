#pragma once

#include <QString>

#include <cstdint>
#include <optional>

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

// Offsets are typed in millimetres and applied in PDF points. The typed number
// is read as a single-precision float, widened to double and multiplied by
// 17 / 6 (not 72 / 25.4): the editor and the command-line tool both convert
// this way, so the same numbers give the same file.
double millimetresToPoints(float millimetres);
// The inverse, for showing an offset in the editor's fields.
double pointsToMillimetres(double points);

// A template's stored paper format ("docFormat"): "0" DIN A4, "1" US Letter,
// "99" anything else. The orientation does not reach it.
QString docFormatFor(std::uint8_t formatCode);
// The stored "docFormat" as an integer; nothing when it is empty or not a
// decimal integer.
std::optional<int> docFormatNumber(const QString& docFormat);
// Whether a template whose "docFormat" reads as t (99 when unreadable) fits a
// document of the given format code: A4 takes "0", US Letter "1", a document
// of neither format takes a template of neither.
bool templateFitsDocument(std::uint8_t documentFormat, int t);

} // namespace quillary
