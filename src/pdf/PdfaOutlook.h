#pragma once

// Whether a document that claims PDF/A stays PDF/A once stamped with given
// stationery, told before anything is written (the save panel says so).

#include <QString>
#include <QStringList>

namespace quillary {

// Why the output of document and stationery would no longer be PDF/A, one
// reason a line ("the stationery uses ..."); empty when the document claims
// no PDF/A part, or when the stationery (as a merge mends it) keeps the
// claim. Files that cannot be read give no reason: the merge reports them.
QStringList pdfaLossOf(const QString& documentPath, const QStringList& stationeryPaths);

} // namespace quillary
