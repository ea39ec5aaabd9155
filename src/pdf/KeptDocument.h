#pragma once

// What a merged document keeps of the document it was made from, besides its
// pages: annotations and destinations moved with the page content, the
// document information and the XMP metadata brought up to date, and its PDF/A
// identification kept only where the stationery lets the output conform.
// Small helpers in qpdf's manner, one object each. Internal to quillary_core.

#include <QByteArray>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFObjectHelper.hh>

#include <map>
#include <optional>
#include <set>

namespace quillary {

// One annotation, moved with the content of its page. Every position it holds
// in the page's user space moves: /Rect, /QuadPoints (links and text
// markup), /Vertices, /L, /InkList and /CL. Its appearance stream is mapped
// onto /Rect and follows by itself.
class AnnotationHelper : public QPDFObjectHelper {
public:
    explicit AnnotationHelper(QPDFObjectHandle annotation) : QPDFObjectHelper(annotation) {}
    void translate(QPointF offset);
};

// Moves the positions of explicit destinations (/XYZ left and top, /FitH
// top, /FitR and the like) that point at pages whose content moved, so that a
// bookmark or link still shows the same spot. Destinations are found in the
// outline tree, named destinations (/Dests and the /Names tree), the open
// action and the pages' link annotations. Each destination object moves once.
class DestinationMover {
public:
    // offsets: page object -> translation of that page's content.
    DestinationMover(QPDF& pdf, std::map<QPDFObjGen, QPointF> offsets);
    void moveAll();
    // The /Dest or GoTo action of one (link) annotation.
    void moveInAnnotation(QPDFObjectHandle annotation);
    // One destination, as an array or a GoTo action, or a dictionary with /D.
    // Returns the moved object (a new one when the old was direct).
    QPDFObjectHandle moved(QPDFObjectHandle destination);

private:
    void moveOutline(QPDFObjectHandle item, int depth);
    void moveNameTree(QPDFObjectHandle node, int depth);
    void moveAction(QPDFObjectHandle action, int depth);
    void moveKey(QPDFObjectHandle holder, const char* key);
    bool firstVisit(QPDFObjectHandle object);

    QPDF& pdf;
    std::map<QPDFObjGen, QPointF> offsets;
    std::set<QPDFObjGen> visited;
    int budget = 200000; // objects looked at before a broken file is given up
};

// The XMP metadata packet of a document, edited as text: only the
// properties named here change, everything else stays byte for byte.
class XmpPacket {
public:
    explicit XmpPacket(QByteArray xml) : xml(std::move(xml)) {}
    const QByteArray& bytes() const { return xml; }

    // PDF/A part (1, 2, 3, 4) the document claims, nothing when none.
    std::optional<int> pdfaPart() const;
    // Drops the PDF/A identification (part, conformance, amendment, revision).
    void removePdfaIdentification();
    // dc:title (x-default), dc:creator (one author), xmp:CreatorTool, kept in
    // step with the document information as PDF/A asks.
    void setTitle(const QString& title);
    void setAuthor(const QString& author);
    void setCreatorTool(const QString& tool);

private:
    void replaceProperty(const QByteArray& prefix, const QByteArray& name, const QByteArray& namespaceUri,
                         const QByteArray& element);

    QByteArray xml;
};

// What keeps an output from conforming to PDF/A when a stationery form is
// laid onto a PDF/A document: transparency (part 1 only), fonts that are not
// embedded, device colours that neither the output intent nor a Default
// colour space of the resources they are drawn with covers. Empty when
// nothing was found.
QStringList pdfaProblems(QPDFObjectHandle form, int part, QPDFObjectHandle outputIntents);

// The number of colour components of the PDF/A output intent's profile; 0
// when there is none.
int outputIntentComponents(QPDFObjectHandle outputIntents);

} // namespace quillary
