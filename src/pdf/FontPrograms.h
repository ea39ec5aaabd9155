#pragma once

// Font programs for fonts a stationery names without embedding them: the
// system's metric-compatible faces (the URW base 35 for the standard 14,
// Liberation for Arial, Times New Roman and Courier New, Carlito and Caladea
// for Calibri and Cambria), found through fontconfig and measured with
// FreeType. Internal to quillary_core.

#include <QByteArray>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <optional>

namespace quillary {

// A font program read from the system, ready to embed.
struct FontProgram {
    enum class Kind { Type1, TrueType };
    Kind kind = Kind::Type1;
    QString file;
    // Type 1: clear text, binary encrypted part and trailer, one after the
    // other (Length1, Length2, Length3); TrueType: the file (Length1).
    QByteArray bytes;
    int length1 = 0, length2 = 0, length3 = 0;
    // bytes, compressed once (zlib) for every output that embeds them.
    QByteArray flated;
};

// The compatible program for a font's /BaseFont name ("Arial,Bold",
// "TimesNewRomanPS-BoldMT", "Helvetica-Oblique"); nothing when no face of the
// system is metric-compatible with it. Thread-safe; files are read once.
std::optional<FontProgram> compatibleProgram(const QString& baseFont);

// The advance widths (in 1/1000 of the text size) a font program gives the
// codes 0 to 255 of a simple font dictionary, read through the dictionary's
// /Encoding the way a reader reads it. Codes the program has no glyph for
// are left out. Nothing when the program cannot be read.
std::optional<std::map<int, int>> programWidths(const QByteArray& program, FontProgram::Kind kind,
                                                QPDFObjectHandle font);

// The embedded program of a simple font dictionary (its FontFile or
// FontFile2), with its kind; nothing when none is embedded or it is of
// another kind (FontFile3).
std::optional<std::pair<QByteArray, FontProgram::Kind>> embeddedProgram(QPDFObjectHandle font);

// Embeds a compatible program into an unembedded simple font dictionary of
// pdf: a font descriptor with the program's metrics, the program, and
// /Widths from the program where the dictionary has none. Returns an empty
// text when done, otherwise why it could not be done (no compatible face,
// widths that disagree with it, an encoding it cannot honour).
// Programs already embedded in pdf are kept in embedded, by file, and
// shared.
QString embedCompatibleProgram(QPDF& pdf, QPDFObjectHandle font, std::map<QString, QPDFObjectHandle>& embedded);

// The widths a dictionary gives codes FirstChar to LastChar.
std::map<int, double> dictionaryWidths(QPDFObjectHandle font);

} // namespace quillary
