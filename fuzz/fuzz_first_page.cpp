// Page 1, and ranges of pages, read the short way (without the whole
// cross-reference table) against the same pages read from the whole file.
// The short way may decline any file, but whatever it reads must be what the
// whole file says: a preview that shows other pages than the ones saved
// would lie.

#include "FuzzSupport.h"

#include "pdf/PageRanges.h"
#include "pdf/PdfInput.h"
#include "pdf/PdfReading.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

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
std::string shown(QPDFObjectHandle object)
{
    const QRectF box = mediaBoxOf(object);
    return contentOf(object).toStdString() + " | " + std::to_string(box.width()) + "x" + std::to_string(box.height())
           + " | " + QPDFPageObjectHelper(object).getAttribute("/Resources", false).unparseResolved();
}

std::string pageOne(const std::function<std::shared_ptr<QPDF>()>& open)
{
    try {
        auto pdf = open();
        auto page = PageTreeHelper(*pdf).firstPage();
        if (!page)
            return "no page";
        return shown(page->getObjectHandle());
    } catch (const std::exception&) {
        return "fails";
    }
}

// Every page, in order; one "fails" when the file cannot be read so.
std::vector<std::string> allPages(const std::function<std::shared_ptr<QPDF>()>& open)
{
    try {
        auto pdf = open();
        std::vector<std::string> pages;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            pages.push_back(shown(page.getObjectHandle()));
        if (pdf->anyWarnings())
            return {"mended"}; // what qpdf mends, a range declines
        return pages;
    } catch (const std::exception&) {
        return {"fails"};
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

    auto ranges = PageRanges::index(openInputSource(path), openInputSource(path));
    if (!ranges)
        return 0;
    const std::vector<std::string> pages = allPages([] { return openPdf(path); });
    if (pages.size() == 1 && (pages[0] == "fails" || pages[0] == "mended"))
        return 0;
    // The index finds the pages qpdf finds, and each range read alone shows
    // them, or declines.
    FUZZ_CHECK(int(pages.size()) == ranges->pageCount());
    for (int first = 0; first < std::min(ranges->pageCount(), 4); ++first) {
        const int count = ranges->pageCount() - first;
        auto in = ranges->input(openInputSource(path), openInputSource(path), first, count);
        if (!in)
            continue;
        const auto range = allPages([&] { return openPdf(in); });
        if (range.size() == 1 && (range[0] == "fails" || range[0] == "mended"))
            continue;
        FUZZ_CHECK(range == std::vector<std::string>(pages.begin() + first, pages.end()));
    }
    return 0;
}
