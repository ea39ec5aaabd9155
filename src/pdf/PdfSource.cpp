#include "pdf/PdfContext.h"

#include "pdf/PageRanges.h"
#include "pdf/PdfInput.h"
#include "pdf/PdfReading.h"
#include "pdf/PdfWriting.h"
#include "pdf/StationeryNormaliser.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Concatenate.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace quillary {

namespace {

// The content streams of a page, concatenated and decoded, as the data of
// one stream.
class ContentsProvider : public QPDFObjectHandle::StreamDataProvider {
public:
    ContentsProvider(QPDFObjectHandle contents, QPDFObjGen page)
        : contents(std::move(contents)), page(page) {}
    void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override
    {
        // Each stream finishes its pipeline; the whole must finish once.
        Pl_Concatenate whole("page contents", pipeline);
        std::string described;
        contents.pipeContentStreams(&whole, "contents of page object " + page.unparse(' '), described);
        whole.manualFinish();
    }

private:
    QPDFObjectHandle contents;
    QPDFObjGen page;
};

} // namespace

std::shared_ptr<PdfSource> PdfSource::open(const QString& path, Result* error, Pages which, const QString& password)
{
    if (which == Pages::FirstOnly)
        return open(path, [&path, &password] { return openPdfForFirstPage(path, password); }, error, which);
    return open(path, [&path, &password] { return openPdf(path, password); }, error, which);
}

std::shared_ptr<PdfSource> PdfSource::open(const QString& path, const QByteArray& bytes, Result* error, Pages which,
                                           const QString& password)
{
    return open(path, [&] { return openPdf(openInputSource(path, bytes), password); }, error, which);
}

std::shared_ptr<PdfSource> PdfSource::open(const QString& path, const std::function<std::shared_ptr<QPDF>()>& parse,
                                           Result* error, Pages which)
{
    try {
        std::shared_ptr<PdfSource> source(new PdfSource);
        source->filePath = path;
        source->pdf = parse();
        if (which == Pages::FirstOnly) {
            if (auto first = PageTreeHelper(*source->pdf).firstPage())
                source->pages.push_back(*first);
        } else {
            source->pages = QPDFPageDocumentHelper(*source->pdf).getAllPages();
        }
        source->openingWarnings = takeWarnings(*source->pdf, path);
        return source;
    } catch (const std::exception& e) {
        if (error)
            *error = Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
        return nullptr;
    }
}

std::shared_ptr<PdfSource> PdfSource::openRange(const QString& path, const PageRanges& ranges, int first, int count,
                                                const QString& password, Result* error, bool* declined)
{
    *declined = false;
    std::shared_ptr<InputSource> input;
    try {
        input = ranges.input(openInputSource(path), openInputSource(path), first, count);
    } catch (const std::exception& e) {
        *error = Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
        return nullptr;
    }
    Result opening;
    std::shared_ptr<PdfSource> source;
    if (input)
        source = open(path, [&] { return openPdf(input, password); }, &opening, Pages::All);
    if (!source && opening.code == ErrorCode::PasswordProtected) {
        *error = opening;
        return nullptr;
    }
    bool same = source && source->pageCount() == count && source->openingWarnings.isEmpty();
    for (int i = 0; same && i < count; ++i)
        same = source->pages[size_t(i)].getObjectHandle().getObjGen() == ranges.page(first + i);
    if (!same) {
        *declined = true;
        *error = Result::failure(ErrorCode::Damaged, QStringLiteral("%1: pages %2 to %3 cannot be read alone")
                                                         .arg(path).arg(first + 1).arg(first + count));
        return nullptr;
    }
    return source;
}

void PdfSource::compressContent(int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return;
    try {
        QPDFObjectHandle form = formXObject(pageIndex);
        if (!form.getDict().getKey("/Filter").isNull())
            return; // compressed already, or in a way better left alone
        const auto data = form.getRawStreamData(); // without a filter: the content itself
        Pl_Buffer compressed("compressed content");
        Pl_Flate flate("compress content", &compressed, Pl_Flate::a_deflate);
        flate.write(data->getBuffer(), data->getSize());
        flate.finish();
        form.replaceStreamData(compressed.getBufferSharedPointer(), QPDFObjectHandle::newName("/FlateDecode"),
                               QPDFObjectHandle::newNull());
    } catch (const std::exception&) {
        // Left as it is: each output then compresses it on its own.
    }
}

void PdfSource::normaliseFirstPage()
{
    if (pages.empty() || forms.contains(0) || pdf->isEncrypted())
        return;
    try {
        normaliseStationery(*pdf, pages[0].getObjectHandle());
    } catch (const std::exception&) {
        // Drawn as it is; a PDF/A output then says why it is no longer one.
    }
}

QRectF PdfSource::mediaBox(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    return mediaBoxOf(pages[pageIndex].getObjectHandle());
}

QPDFObjectHandle PdfSource::formXObject(int pageIndex)
{
    if (auto it = forms.find(pageIndex); it != forms.end())
        return it->second;

    QPDFPageObjectHelper& page = pages[pageIndex];
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isArray() && contents.getArrayNItems() == 1)
        contents = contents.getArrayItem(0);

    QPDFObjectHandle form;
    if (contents.isStream() && contents.isIndirect()
        && !convertedStreams.contains(contents.getObjGen())) {
        // The usual page has one content stream. It becomes the form itself, so
        // its data is copied as stored (still compressed) instead of being
        // decoded and compressed again. This source is never written, so
        // changing its objects harms nobody.
        form = contents;
        convertedStreams.emplace(contents.getObjGen(), pageIndex);
    } else if (contents.isNull()) {
        form = QPDFObjectHandle::newStream(pdf.get(), std::string());
    } else {
        // Several streams, or one that another page uses too: a fresh form
        // with the concatenated content, read from the streams themselves
        // because the page object may become an output page.
        form = QPDFObjectHandle::newStream(pdf.get());
        form.replaceStreamData(std::make_shared<ContentsProvider>(contents, page.getObjectHandle().getObjGen()),
                               QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    }

    QPDFObjectHandle dict = form.getDict();
    dict.replaceKey("/Type", sharedName(names, "/XObject"));
    dict.replaceKey("/Subtype", sharedName(names, "/Form"));
    // Identity matrix: the content keeps the page's own user space. /Rotate and
    // /UserUnit of the page are not applied, as with a raw content draw.
    dict.removeKey("/Matrix");
    // The page's own resources and group, not copies: the old page object is
    // never written, so nothing writes them twice, and nothing changes them.
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    dict.replaceKey("/Resources", resources.isDictionary() ? resources : QPDFObjectHandle::newDictionary());
    QPDFObjectHandle group = page.getAttribute("/Group", false);
    if (group.isDictionary())
        dict.replaceKey("/Group", group);
    else
        dict.removeKey("/Group");
    // The box is set by the context that draws the form.

    forms.emplace(pageIndex, form);
    return form;
}

} // namespace quillary
