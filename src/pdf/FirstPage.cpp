#include "pdf/PdfReading.h"
#include "pdf/PdfWriting.h"
#include "pdf/StationeryNormaliser.h"
#include "pdf/TaskManager.h"

#include <QFileInfo>

#include <qpdf/QPDFPageDocumentHelper.hh>

#include <set>

namespace quillary {

Result TaskManager::writeFirstPage(const QString& sourcePath, const QString& destinationPath)
{
    if (!QFileInfo(sourcePath).isFile())
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(sourcePath));
    try {
        auto source = openPdf(sourcePath);
        const auto first = PageTreeHelper(*source).firstPage();
        if (!first)
            return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the document has no pages").arg(sourcePath));

        // Only the drawn content belongs to a stationery page: no annotations,
        // no links into a document that is not there, no thumbnails, no
        // structure. The page tree above it stays behind too, so copying page
        // 1 never pulls in the other pages.
        static const std::set<std::string> drawn = {"/Type", "/MediaBox", "/CropBox", "/Resources",
                                                    "/Contents", "/Group", "/Rotate", "/UserUnit"};
        QPDFObjectHandle alone = QPDFObjectHandle::newDictionary();
        QPDFObjectHandle page = first->getObjectHandle();
        for (const std::string& key : page.getKeys()) {
            if (drawn.contains(key))
                alone.replaceKey(key, page.getKey(key));
        }
        QPDF out;
        out.setSuppressWarnings(true);
        out.emptyPDF();
        QPDFObjectHandle copied = out.makeIndirectObject(ObjectCopier(out).copy(alone));
        QPDFPageDocumentHelper(out).addPage(QPDFPageObjectHelper(copied), false);
        // The stored page is the one made fit for PDF/A outputs, so that no
        // merge has to mend it again. An encrypted source's author asked for
        // it to stay as it is: it is stored unmended.
        const StationeryMends mends = source->isEncrypted() ? StationeryMends{} : normaliseStationery(out, copied);
        Result written = writePdfAtomically(out, destinationPath);
        written.warnings = takeWarnings(*source, sourcePath);
        for (const QString& font : mends.unembeddable)
            written.warnings << QStringLiteral("%1: the font %2 cannot be embedded").arg(sourcePath, font);
        return written;
    } catch (const std::exception& e) {
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(sourcePath, describePdfError(e)));
    }
}

} // namespace quillary
