#include "pdf/PdfaOutlook.h"

#include "pdf/KeptDocument.h"
#include "pdf/PdfReading.h"
#include "pdf/StationeryNormaliser.h"

#include <QFileInfo>

namespace quillary {

namespace {

std::optional<QByteArray> metadataOf(QPDFObjectHandle stream)
{
    try {
        const auto data = stream.getStreamData(qpdf_dl_generalized);
        return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

QStringList pdfaLossOf(const QString& documentPath, const QStringList& stationeryPaths)
{
    QStringList problems;
    try {
        auto document = openPdf(documentPath);
        QPDFObjectHandle root = document->getRoot();
        QPDFObjectHandle metadata = root.getKey("/Metadata");
        const std::optional<QByteArray> packet = metadata.isStream() ? metadataOf(metadata) : std::nullopt;
        const std::optional<int> part = packet ? XmpPacket(*packet).pdfaPart() : std::nullopt;
        if (!part)
            return problems;
        for (const QString& path : stationeryPaths) {
            if (path.isEmpty() || !QFileInfo(path).isFile())
                continue;
            try {
                auto stationery = openPdf(path);
                const auto first = PageTreeHelper(*stationery).firstPage();
                if (!first)
                    continue;
                if (!stationery->isEncrypted())
                    normaliseStationery(*stationery, first->getObjectHandle());
                problems << pdfaProblems(first->getObjectHandle(), *part, root.getKey("/OutputIntents"));
            } catch (const std::exception&) {
                // An unreadable stationery stops the merge itself, with its reason.
            }
        }
    } catch (const std::exception&) {
        return {};
    }
    problems.removeDuplicates();
    return problems;
}

} // namespace quillary
