// Page 1 read the short way (without the whole cross-reference table) against
// page 1 read from the whole file. The short way may decline any file, but
// whatever it reads must be what the whole file says: a preview that shows
// another page 1 than the one saved would lie.

#include "FuzzSupport.h"

#include "pdf/PdfReading.h"

#include <qpdf/QPDF.hh>

using namespace quillary;

namespace {

QByteArray contentOf(QPDFObjectHandle page)
{
    QPDFObjectHandle contents = page.getKey("/Contents");
    if (!contents.isStream())
        return QByteArray::fromStdString(contents.unparse());
    auto data = contents.getStreamData(qpdf_dl_generalized);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}

// What page 1 shows: its content, media box and resources; "fails" when the
// file cannot be read that way.
std::string pageOne(const std::function<std::shared_ptr<QPDF>()>& open)
{
    try {
        auto pdf = open();
        auto page = PageTreeHelper(*pdf).firstPage();
        if (!page)
            return "no page";
        QPDFObjectHandle object = page->getObjectHandle();
        const QRectF box = mediaBoxOf(object);
        return contentOf(object).toStdString() + " | " + std::to_string(box.width()) + "x"
               + std::to_string(box.height()) + " | " + object.getKey("/Resources").unparseResolved();
    } catch (const std::exception&) {
        return "fails";
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = fuzz::scratchFile("first-page.pdf");
    fuzz::writeFile(path, data, size);
    const std::string whole = pageOne([] { return openPdf(path); });
    const std::string quick = pageOne([] { return openPdfForFirstPage(path); });
    if (whole != "fails")
        FUZZ_CHECK(quick == whole);
    return 0;
}
