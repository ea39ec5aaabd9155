#pragma once

// Makes a stationery page fit for an output that claims PDF/A, without
// changing what it shows: device colours get Default colour spaces (sRGB, a
// gray with the sRGB tone curve, a press CMYK characterisation), fonts that
// are not embedded get a metric-compatible program, transparency groups a
// blending space of their own. Done once per stationery (at import into the
// store, once per run for stationery files), never per document page.
// Internal to quillary_core.

#include "pdf/Result.h"

#include <QString>
#include <QStringList>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace quillary {

struct StationeryMends {
    bool changed = false;
    QStringList embeddedFonts;  // fonts that now carry a program
    QStringList unembeddable;   // "Name (why)": fonts left as they were
    bool coloursLeft = false;   // device colours without a profile to give them
};

// Normalises page 1 (a page dictionary or a form XObject) of pdf in place.
// Safe to run again: what is already mended stays as it is.
StationeryMends normaliseStationery(QPDF& pdf, QPDFObjectHandle pageOrForm);

// The same for the stationery file at path, written back through the atomic
// writer when something changed. Fails without touching the file when it
// cannot be read or written; an encrypted file is left as it is. The
// warnings name the fonts that could not be embedded.
ValueResult<StationeryMends> normaliseStationeryFile(const QString& path);

} // namespace quillary
