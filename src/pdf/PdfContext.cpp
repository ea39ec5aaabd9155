#include "pdf/PdfContext.h"

#include "pdf/KeptDocument.h"
#include "pdf/PdfReading.h"
#include "pdf/PdfWriting.h"

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>
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
