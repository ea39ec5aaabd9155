#include "pdf/PdfContext.h"
#include "pdf/QpdfSupport.h"

#include <QFileInfo>

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/Pl_Concatenate.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>

namespace quillary {

namespace {

// A number as a content-stream operand: plain decimal, never an exponent.
std::string operand(double value)
{
    if (!std::isfinite(value))
        value = 0;
    QByteArray text = QByteArray::number(value, 'f', 6);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    if (text == "-0" || text.isEmpty())
        text = "0";
    return text.toStdString();
}

// Whole numbers as integers: smaller in memory and in the file than reals.
QPDFObjectHandle coordinate(double value)
{
    const double whole = std::round(value);
    if (whole == value && std::abs(whole) < 1e9)
        return QPDFObjectHandle::newInteger(static_cast<long long>(whole));
    return QPDFObjectHandle::newReal(value, 4, true);
}

QPDFObjectHandle rectangle(const QRectF& r)
{
    return QPDFObjectHandle::newArray(
        std::vector<QPDFObjectHandle>{coordinate(r.left()), coordinate(r.top()), coordinate(r.right()),
                                      coordinate(r.bottom())});
}

// One name object per document for names set on every page: a thousand
// copies of /XObject cost more memory than the page's own data.
QPDFObjectHandle sharedName(std::map<std::string, QPDFObjectHandle>& names, const std::string& name)
{
    auto it = names.find(name);
    if (it == names.end())
        it = names.emplace(name, QPDFObjectHandle::newName(name)).first;
    return it->second;
}

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

// ---------------------------------------------------------------- PdfSource

std::shared_ptr<PdfSource> PdfSource::open(const QString& path, Result* error)
{
    try {
        std::shared_ptr<PdfSource> source(new PdfSource);
        source->filePath = path;
        source->pdf = openPdf(path);
        source->pages = QPDFPageDocumentHelper(*source->pdf).getAllPages();
        return source;
    } catch (const std::exception& e) {
        if (error)
            *error = Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
        return nullptr;
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

// --------------------------------------------------------------- PdfContext

PdfContext::PdfContext(QString outputPath, const QRectF& mediaBox, std::shared_ptr<PdfSource> baseSource)
    : path(std::move(outputPath)), box(mediaBox.normalized()), base(std::move(baseSource))
{
    keepHeapTopForQpdf();
    if (base) {
        out = base->pdf;
        sources.push_back(base);
    } else {
        out = std::make_shared<QPDF>();
        out->setSuppressWarnings(true);
        out->emptyPDF();
    }
}

PdfContext::~PdfContext() = default;

void PdfContext::setInformation(const std::string& key, const QString& value)
{
    for (auto& entry : information) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    information.emplace_back(key, value);
}

QPDFObjectHandle PdfContext::sharedRectangle(const QRectF& r)
{
    // Every page has the same media box, and most forms the same box too. One
    // direct array serves them all: the writer writes it out in each place,
    // and boxes are only ever replaced, never changed in place.
    const auto key = std::make_tuple(r.left(), r.top(), r.right(), r.bottom());
    auto it = rectangles.find(key);
    if (it == rectangles.end())
        it = rectangles.emplace(key, rectangle(r)).first;
    return it->second;
}

void PdfContext::beginPage()
{
    if (inPage)
        endPage();
    inPage = true;
    pageContent.clear();
    pageXObjects = QPDFObjectHandle::newDictionary();
    namesOnPage = 0;
    basePage = -1;
}

QPDFObjectHandle PdfContext::recycledPage()
{
    // The base page drawn here has given its content, resources and group to
    // its form and is never written as it is. Its object becomes the output
    // page, so the old page's box, annotations and other entries are freed
    // instead of a new page being added beside them.
    if (!base || basePage < 0)
        return QPDFObjectHandle::newNull();
    if (recycled.empty())
        recycled.resize(base->pages.size());
    if (recycled[basePage])
        return QPDFObjectHandle::newNull();
    recycled[basePage] = true;
    QPDFObjectHandle page = base->pages[basePage].getObjectHandle();
    if (!page.isDictionary() || !page.isIndirect())
        return QPDFObjectHandle::newNull();
    for (const std::string& key : page.getKeys()) {
        if (key != "/Type" && key != "/MediaBox" && key != "/Resources" && key != "/Contents" && key != "/Parent")
            page.removeKey(key);
    }
    return page;
}

QPDFObjectHandle PdfContext::placedForm(const std::shared_ptr<PdfSource>& source, int pageIndex,
                                        const QRectF& visible)
{
    const auto key = std::make_pair(source.get(), pageIndex);
    auto it = placed.find(key);
    if (it == placed.end()) {
        if (std::find(sources.begin(), sources.end(), source) == sources.end())
            sources.push_back(source);
        QPDFObjectHandle form = source->formXObject(pageIndex);
        // The form's box is the part of the output page it is drawn on: content
        // is cut off at the output page's edges and nowhere else.
        form.getDict().replaceKey("/BBox", sharedRectangle(visible));
        QPDFObjectHandle copy = source == base ? form : out->copyForeignObject(form);
        it = placed.emplace(key, Placed{copy, visible}).first;
    } else if (!it->second.bbox.contains(visible)) {
        // Drawn again elsewhere: widen the box so no drawing loses content.
        it->second.bbox = it->second.bbox.united(visible);
        it->second.xobject.getDict().replaceKey("/BBox", sharedRectangle(it->second.bbox));
    }
    return it->second.xobject;
}

Result PdfContext::drawPage(const std::shared_ptr<PdfSource>& source, int pageIndex,
                               QPointF translation)
{
    if (!source || pageIndex < 0 || pageIndex >= source->pageCount()) {
        const QString why = QStringLiteral("%1: no page %2")
                                .arg(source ? source->path() : QString(), QString::number(pageIndex + 1));
        if (firstError.ok())
            firstError = Result::failure(ErrorCode::NoPages, why);
        return Result::failure(ErrorCode::NoPages, why);
    }
    if (!inPage)
        beginPage();
    try {
        // The output page in the source page's coordinates.
        const QRectF visible = box.translated(-translation);
        QPDFObjectHandle form = placedForm(source, pageIndex, visible);
        if (source == base && basePage < 0)
            basePage = pageIndex;
        const std::string name = "/Fx" + std::to_string(namesOnPage++);
        pageXObjects.replaceKey(name, form);
        if (translation.isNull()) {
            pageContent += "q " + name + " Do Q\n";
        } else {
            pageContent += "q 1 0 0 1 " + operand(translation.x()) + ' ' + operand(translation.y())
                + " cm " + name + " Do Q\n";
        }
        return Result::success();
    } catch (const std::exception& e) {
        const Result failed = Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(source->path(), describePdfError(e)));
        if (firstError.ok())
            firstError = failed;
        return failed;
    }
}

void PdfContext::endPage()
{
    if (!inPage)
        return;
    inPage = false;
    QPDFObjectHandle page = recycledPage();
    if (page.isNull())
        page = out->makeIndirectObject(QPDFObjectHandle::newDictionary());
    page.replaceKey("/Type", sharedName(names, "/Page"));
    page.replaceKey("/MediaBox", sharedRectangle(box));
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", pageXObjects);
    page.replaceKey("/Resources", resources);
    // Pages drawn alike (every continuation page, say) share one content
    // stream: their resources differ, their drawing instructions do not.
    auto stream = contentStreams.find(pageContent);
    if (stream == contentStreams.end())
        stream = contentStreams.emplace(pageContent, out->newStream(pageContent)).first;
    page.replaceKey("/Contents", stream->second);
    pageObjects.push_back(page);
    ++pagesWritten;
    pageContent.clear();
}

Result PdfContext::close()
{
    if (closed)
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("%1: already closed").arg(path));
    if (inPage)
        endPage();
    closed = true;
    if (!firstError.ok())
        return firstError;
    try {
        // A fresh page tree, catalog and trailer: with a base document, its
        // outlines, forms, names, metadata and information stay behind.
        QPDFObjectHandle tree = out->makeIndirectObject(QPDFObjectHandle::newDictionary());
        for (QPDFObjectHandle& page : pageObjects)
            page.replaceKey("/Parent", tree);
        tree.replaceKey("/Type", QPDFObjectHandle::newName("/Pages"));
        tree.replaceKey("/Kids", QPDFObjectHandle::newArray(pageObjects));
        tree.replaceKey("/Count", QPDFObjectHandle::newInteger(static_cast<long long>(pageObjects.size())));
        QPDFObjectHandle catalog = QPDFObjectHandle::newDictionary();
        catalog.replaceKey("/Type", QPDFObjectHandle::newName("/Catalog"));
        catalog.replaceKey("/Pages", tree);
        QPDFObjectHandle trailer = out->getTrailer();
        // The writer fills in /Size, but only when the trailer has one.
        for (const std::string& key : trailer.getKeys())
            trailer.removeKey(key);
        trailer.replaceKey("/Size", QPDFObjectHandle::newInteger(0));
        trailer.replaceKey("/Root", out->makeIndirectObject(catalog));
        if (!information.empty()) {
            QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
            for (const auto& [key, value] : information)
                info.replaceKey("/" + key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
            trailer.replaceKey("/Info", out->makeIndirectObject(info));
        }
        out->updateAllPagesCache();
        return writePdfAtomically(*out, path, [this](QPDFWriter& writer) {
            // A base document opened without its owner password keeps no
            // protection in the output; the output's own is set below.
            writer.setPreserveEncryption(false);
            // Never the base's own object streams: only those asked for.
            writer.setObjectStreamMode(compact ? qpdf_o_generate : qpdf_o_disable);
            if (protection.encrypt) {
                writer.setR6EncryptionParameters(
                    protection.userPassword.c_str(), protection.ownerPassword.c_str(),
                    true, protection.allowCopying, true, true, true, true,
                    protection.allowPrinting ? qpdf_r3p_full : qpdf_r3p_none, true);
            }
        });
    } catch (const std::exception& e) {
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
    }
}

} // namespace quillary
