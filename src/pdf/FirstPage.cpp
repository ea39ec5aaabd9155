#include "pdf/QpdfSupport.h"
#include "pdf/TaskManager.h"

#include <QFileInfo>

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace quillary {

Result TaskManager::writeFirstPage(const QString& sourcePath, const QString& destinationPath)
{
    if (!QFileInfo(sourcePath).isFile())
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(sourcePath));
    try {
        auto source = openPdf(sourcePath);
        source->pushInheritedAttributesToPage();
        const auto pages = QPDFPageDocumentHelper(*source).getAllPages();
        if (pages.empty())
            return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the document has no pages").arg(sourcePath));

        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper(out).addPage(pages.front(), false);
        // Only the drawn content belongs to a stationery page: no annotations,
        // no links into a document that is not there.
        QPDFPageObjectHelper copied = QPDFPageDocumentHelper(out).getAllPages().front();
        QPDFObjectHandle page = copied.getObjectHandle();
        for (const char* key : {"/Annots", "/B", "/StructParents", "/Tabs"})
            page.removeKey(key);
        return writePdfAtomically(out, destinationPath);
    } catch (const std::exception& e) {
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(sourcePath, describePdfError(e)));
    }
}

} // namespace quillary
