#include "pdf/PdfContext.h"

#include "pdf/StationeryNormaliser.h"
#include "pdf/PdfReading.h"
#include "pdf/PdfWriting.h"

#include "pdf/KeptDocument.h"

#include <QFileInfo>

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/Pl_Concatenate.hh>
#include <qpdf/Pl_Flate.hh>
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

// The decoded data of a stream; nothing when it cannot be decoded.
std::optional<QByteArray> streamBytes(QPDFObjectHandle stream)
{
    try {
        const auto data = stream.getStreamData(qpdf_dl_generalized);
        return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

// ---------------------------------------------------------------- PdfSource

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

// --------------------------------------------------------------- PdfContext

PdfContext::PdfContext(QString outputPath, const QRectF& mediaBox, std::shared_ptr<PdfSource> baseSource)
    : path(std::move(outputPath)), box(mediaBox.normalized()), base(std::move(baseSource))
{
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
    // page: what points at the old page (outlines, links, fields) points at
    // the output page, and nothing is added beside it.
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
    // Entries that still mean the same on the output page stay when the
    // document is kept; boxes, rotation, thumbnails and the like describe
    // the old page and go.
    static const std::set<std::string> kept = {"/Type", "/MediaBox", "/Resources", "/Contents", "/Parent",
                                               "/Annots", "/StructParents", "/Tabs", "/B", "/AA", "/Metadata",
                                               "/AF", "/Trans", "/Dur", "/PZ", "/ID", "/OutputIntents", "/DPart"};
    static const std::set<std::string> bare = {"/Type", "/MediaBox", "/Resources", "/Contents", "/Parent"};
    const std::set<std::string>& keep = keepsDocument ? kept : bare;
    for (const std::string& key : page.getKeys()) {
        if (!keep.contains(key))
            page.removeKey(key);
    }
    QPDFObjectHandle annotations = page.getKey("/Annots");
    if (annotations.isArray()) {
        // A link must still sit on its text.
        const QPointF offset = baseOffsets[basePage];
        for (QPDFObjectHandle annotation : annotations.getArrayAsVector()) {
            if (annotation.isDictionary() && (!annotation.isIndirect() || movedAnnotations.insert(annotation.getObjGen()).second))
                AnnotationHelper(annotation).translate(offset);
        }
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
        QPDFObjectHandle copy = form;
        if (source != base) {
            auto copier = copiers.find(source.get());
            if (copier == copiers.end())
                copier = copiers.emplace(source.get(), ObjectCopier(*out, &sharedStreams)).first;
            copy = copier->second.copy(form);
        }
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
    if (!std::isfinite(translation.x()) || !std::isfinite(translation.y())
        || std::abs(translation.x()) > MaxTranslation || std::abs(translation.y()) > MaxTranslation) {
        const Result refused = Result::failure(ErrorCode::InvalidInput,
            QStringLiteral("%1: the offset (%2, %3) lies far beyond the page")
                .arg(path, QString::number(translation.x()), QString::number(translation.y())));
        if (firstError.ok())
            firstError = refused;
        return refused;
    }
    try {
        // The output page in the source page's coordinates.
        const QRectF visible = box.translated(-translation);
        QPDFObjectHandle form = placedForm(source, pageIndex, visible);
        if (source == base && basePage < 0) {
            basePage = pageIndex;
            baseOffsets.emplace(pageIndex, translation);
        }
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
    if (stream == contentStreams.end()) {
        // A few dozen bytes ("q /Fx0 Do Q"): compressed they would only grow,
        // and each compression costs more than the rest of a small page.
        QPDFObjectHandle content = out->newStream(pageContent);
        content.setFilterOnWrite(false);
        stream = contentStreams.emplace(pageContent, content).first;
    }
    page.replaceKey("/Contents", stream->second);
    pageObjects.push_back(page);
    ++pagesWritten;
    pageContent.clear();
}

Result PdfContext::prepare()
{
    if (closed)
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("%1: already closed").arg(path));
    if (inPage)
        endPage();
    closed = true;
    if (!firstError.ok())
        return firstError;
    for (const auto& source : sources)
        warnings << source->warnings();
    try {
        QPDFObjectHandle tree = out->makeIndirectObject(QPDFObjectHandle::newDictionary());
        for (QPDFObjectHandle& page : pageObjects)
            page.replaceKey("/Parent", tree);
        tree.replaceKey("/Type", QPDFObjectHandle::newName("/Pages"));
        tree.replaceKey("/Kids", QPDFObjectHandle::newArray(pageObjects));
        tree.replaceKey("/Count", QPDFObjectHandle::newInteger(static_cast<long long>(pageObjects.size())));
        if (keepsDocument && base)
            keepBaseCatalog(tree);
        else
            buildFreshCatalog(tree);
        out->updateAllPagesCache();
        return Result::success();
    } catch (const std::exception& e) {
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
    }
}

void PdfContext::buildFreshCatalog(QPDFObjectHandle tree)
{
    // A fresh catalog and trailer: with a base document, its outlines, forms,
    // names, metadata and information stay behind.
    QPDFObjectHandle catalog = QPDFObjectHandle::newDictionary();
    catalog.replaceKey("/Type", QPDFObjectHandle::newName("/Catalog"));
    catalog.replaceKey("/Pages", tree);
    QPDFObjectHandle trailer = out->getTrailer();
    // The writer fills in /Size, but only when the trailer has one.
    for (const std::string& key : trailer.getKeys())
        trailer.removeKey(key);
    trailer.replaceKey("/Size", QPDFObjectHandle::newInteger(0));
    trailer.replaceKey("/Root", out->makeIndirectObject(catalog));
    writeInformation(false);
}

void PdfContext::keepBaseCatalog(QPDFObjectHandle tree)
{
    QPDFObjectHandle catalog = out->getRoot();
    catalog.replaceKey("/Pages", tree);
    // A signature's permissions and legal attestation no longer hold for
    // changed pages; a dynamic XFA form would be shown instead of the pages,
    // stationery and all.
    for (const char* key : {"/Perms", "/Legal", "/NeedsRendering"})
        catalog.removeKey(key);
    QPDFObjectHandle form = catalog.getKey("/AcroForm");
    if (form.isDictionary())
        form.removeKey("/XFA");

    // Destinations that show a spot on a page whose content moved.
    std::map<QPDFObjGen, QPointF> offsets;
    for (const auto& [index, offset] : baseOffsets) {
        if (index < static_cast<int>(recycled.size()) && recycled[index])
            offsets.emplace(base->pages[index].getObjectHandle().getObjGen(), offset);
    }
    DestinationMover mover(*out, offsets);
    mover.moveAll();
    for (QPDFObjectHandle& page : pageObjects) {
        QPDFObjectHandle annotations = page.getKey("/Annots");
        if (annotations.isArray())
            for (QPDFObjectHandle annotation : annotations.getArrayAsVector())
                mover.moveInAnnotation(annotation);
    }

    QPDFObjectHandle trailer = out->getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    for (const std::string& key : trailer.getKeys())
        trailer.removeKey(key);
    trailer.replaceKey("/Size", QPDFObjectHandle::newInteger(0));
    trailer.replaceKey("/Root", catalog);
    if (info.isDictionary())
        trailer.replaceKey("/Info", info);
    writeInformation(true);
    checkPdfa(catalog);
}

void PdfContext::writeInformation(bool keepDocumentInformation)
{
    QPDFObjectHandle trailer = out->getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    if (!keepDocumentInformation || !info.isDictionary()) {
        if (information.empty())
            return;
        info = out->makeIndirectObject(QPDFObjectHandle::newDictionary());
        trailer.replaceKey("/Info", info);
    }
    // What is set here wins, except that an empty entry (a field left empty)
    // keeps a document's own title or author.
    std::map<std::string, QString> changed;
    for (const auto& [key, value] : information) {
        if (value.isEmpty() && info.hasKey("/" + key))
            continue;
        info.replaceKey("/" + key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
        changed[key] = value;
    }
    // PDF/A wants the XMP to say the same as the information dictionary.
    QPDFObjectHandle metadata = out->getRoot().getKey("/Metadata");
    if (!keepDocumentInformation || !metadata.isStream() || changed.empty())
        return;
    const std::optional<QByteArray> packet = streamBytes(metadata);
    if (!packet)
        return;
    XmpPacket xmp(*packet);
    if (changed.contains("Creator"))
        xmp.setCreatorTool(changed["Creator"]);
    if (changed.contains("Title"))
        xmp.setTitle(changed["Title"]);
    if (changed.contains("Author"))
        xmp.setAuthor(changed["Author"]);
    metadata.replaceStreamData(xmp.bytes().toStdString(), QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
}

void PdfContext::checkPdfa(QPDFObjectHandle catalog)
{
    QPDFObjectHandle metadata = catalog.getKey("/Metadata");
    if (!metadata.isStream())
        return;
    const std::optional<QByteArray> packet = streamBytes(metadata);
    if (!packet)
        return;
    XmpPacket xmp(*packet);
    const std::optional<int> part = xmp.pdfaPart();
    if (!part)
        return;
    QStringList problems;
    if (protection.encrypt)
        problems << QStringLiteral("the output is protected by a password, which PDF/A does not allow");
    for (const auto& [key, placedForm] : placed) {
        if (key.first != base.get())
            problems << pdfaProblems(placedForm.xobject, *part, catalog.getKey("/OutputIntents"));
    }
    problems.removeDuplicates();
    if (problems.isEmpty()) {
        pdfaOne = *part == 1;
        return;
    }
    for (const QString& problem : problems)
        warnings << QStringLiteral("%1: %2; the output is no longer marked as PDF/A-%3").arg(path, problem).arg(*part);
    xmp.removePdfaIdentification();
    metadata.replaceStreamData(xmp.bytes().toStdString(), QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
}

void PdfContext::setUpWriter(QPDFWriter& writer) const
{
    // A base document opened without its owner password keeps no protection
    // in the output; the output's own is set below.
    writer.setPreserveEncryption(false);
    // Never the base's own object streams: only those asked for. PDF/A-1
    // predates object streams.
    writer.setObjectStreamMode(compact && !pdfaOne ? qpdf_o_generate : qpdf_o_disable);
    if (staticId)
        writer.setStaticID(true);
    if (protection.encrypt) {
        writer.setR6EncryptionParameters(
            protection.userPassword.c_str(), protection.ownerPassword.c_str(),
            true, protection.allowCopying, true, true, true, true,
            protection.allowPrinting ? qpdf_r3p_full : qpdf_r3p_none, true);
    }
}

namespace {

// While writing, the output's own trouble (the disk, a file the library
// names) is told here. Anything else the library throws comes from what it
// read of the document's contents and goes on to the merge's boundary,
// which names the document.
Result writeFailure(const std::exception& e, const QString& output)
{
    QString culprit = output;
    if (const auto* exc = dynamic_cast<const QPDFExc*>(&e); exc && !exc->getFilename().empty())
        culprit = QString::fromStdString(exc->getFilename());
    return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(culprit, describePdfError(e)));
}

} // namespace

Result PdfContext::close(const MergeControl& control)
{
    if (Result prepared = prepare(); !prepared)
        return prepared;
    try {
        Result written = writePdfAtomically(*out, path, [this](QPDFWriter& writer) { setUpWriter(writer); }, control);
        written.warnings = warnings + takeWarnings(*out, path);
        return written;
    } catch (const QPDFSystemError& e) {
        return writeFailure(e, path);
    } catch (const QPDFExc& e) {
        return writeFailure(e, path);
    }
}

ValueResult<QByteArray> PdfContext::closeToBytes(const MergeControl& control)
{
    if (Result prepared = prepare(); !prepared)
        return prepared;
    try {
        ValueResult<QByteArray> written =
            writePdfToBytes(*out, path, [this](QPDFWriter& writer) { setUpWriter(writer); }, control);
        written.warnings = warnings + takeWarnings(*out, path);
        return written;
    } catch (const QPDFSystemError& e) {
        return writeFailure(e, path);
    } catch (const QPDFExc& e) {
        return writeFailure(e, path);
    }
}

Result PdfContext::closeToSink(const OutputSink& sink, const MergeControl& control)
{
    if (Result prepared = prepare(); !prepared)
        return prepared;
    try {
        Result written = writePdfToSink(*out, path, sink, [this](QPDFWriter& writer) { setUpWriter(writer); }, control);
        written.warnings = warnings + takeWarnings(*out, path);
        return written;
    } catch (const std::exception& e) {
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
    }
}

} // namespace quillary
