#pragma once

// What an output that keeps its PDF/A claim must hold, checked without a
// validator: the claim itself and its metadata, embedded fonts whose widths
// agree with their programs, device colours that an output intent or a
// Default colour space covers, and no transparency in part 1. Walks every
// page, form, pattern, soft mask and Type 3 glyph with its own resources.

#include <QString>
#include <QStringList>

namespace pdfachecks {

// Violations found in the file at path, one line each; empty when it holds
// everything. A file without a PDF/A claim is one violation.
QStringList violations(const QString& path);

} // namespace pdfachecks
