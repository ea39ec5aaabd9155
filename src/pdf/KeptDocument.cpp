#include "pdf/KeptDocument.h"

#include "pdf/StationeryScan.h"

#include <QRegularExpression>

#include <cmath>
#include <vector>

namespace quillary {

namespace {

// A number moved by delta; anything that is not a number stays as it is.
QPDFObjectHandle shifted(QPDFObjectHandle value, double delta)
{
    if (!value.isNumber() || delta == 0)
        return value;
    return QPDFObjectHandle::newReal(value.getNumericValue() + delta, 4, true);
}

// An array of x y pairs (from index first on) moved by offset.
QPDFObjectHandle shiftedPairs(QPDFObjectHandle array, QPointF offset, int first = 0)
{
    if (!array.isArray())
        return array;
    std::vector<QPDFObjectHandle> items = array.getArrayAsVector();
    for (size_t i = static_cast<size_t>(first); i < items.size(); ++i)
        items[i] = shifted(items[i], (i - first) % 2 == 0 ? offset.x() : offset.y());
    return QPDFObjectHandle::newArray(items);
}

} // namespace

// ---------------------------------------------------------- AnnotationHelper

void AnnotationHelper::translate(QPointF offset)
{
    if (offset.isNull() || !oh.isDictionary())
        return;
    for (const char* key : {"/Rect", "/QuadPoints", "/Vertices", "/L", "/CL"}) {
        if (oh.hasKey(key))
            oh.replaceKey(key, shiftedPairs(oh.getKey(key), offset));
    }
    QPDFObjectHandle ink = oh.getKey("/InkList");
    if (ink.isArray()) {
        std::vector<QPDFObjectHandle> paths = ink.getArrayAsVector();
        for (QPDFObjectHandle& path : paths)
            path = shiftedPairs(path, offset);
        oh.replaceKey("/InkList", QPDFObjectHandle::newArray(paths));
    }
}

// ---------------------------------------------------------- DestinationMover

DestinationMover::DestinationMover(QPDF& pdf, std::map<QPDFObjGen, QPointF> offsets)
    : pdf(pdf), offsets(std::move(offsets))
{
}

bool DestinationMover::firstVisit(QPDFObjectHandle object)
{
    if (--budget < 0)
        return false;
    return !object.isIndirect() || visited.insert(object.getObjGen()).second;
}

QPDFObjectHandle DestinationMover::moved(QPDFObjectHandle destination)
{
    if (destination.isDictionary()) { // a named destination's { /D [...] }
        moveKey(destination, "/D");
        return destination;
    }
    if (!destination.isArray() || destination.getArrayNItems() < 2 || !firstVisit(destination))
        return destination;
    QPDFObjectHandle page = destination.getArrayItem(0);
    if (!page.isIndirect())
        return destination;
    const auto it = offsets.find(page.getObjGen());
    if (it == offsets.end() || it->second.isNull())
        return destination;
    const QPointF d = it->second;
    std::vector<QPDFObjectHandle> items = destination.getArrayAsVector();
    QPDFObjectHandle kind = items[1];
    auto move = [&](size_t index, double delta) {
        if (index < items.size())
            items[index] = shifted(items[index], delta);
    };
    if (kind.isNameAndEquals("/XYZ")) {
        move(2, d.x());
        move(3, d.y());
    } else if (kind.isNameAndEquals("/FitH") || kind.isNameAndEquals("/FitBH")) {
        move(2, d.y());
    } else if (kind.isNameAndEquals("/FitV") || kind.isNameAndEquals("/FitBV")) {
        move(2, d.x());
    } else if (kind.isNameAndEquals("/FitR")) {
        move(2, d.x());
        move(3, d.y());
        move(4, d.x());
        move(5, d.y());
    } else {
        return destination;
    }
    QPDFObjectHandle result = QPDFObjectHandle::newArray(items);
    if (destination.isIndirect()) {
        pdf.replaceObject(destination.getObjGen(), result);
        return destination; // now refers to the moved array
    }
    return result;
}

void DestinationMover::moveKey(QPDFObjectHandle holder, const char* key)
{
    if (!holder.isDictionary() || !holder.hasKey(key))
        return;
    QPDFObjectHandle value = holder.getKey(key);
    QPDFObjectHandle result = moved(value);
    if (!value.isIndirect())
        holder.replaceKey(key, result);
}

void DestinationMover::moveAction(QPDFObjectHandle action, int depth)
{
    if (!action.isDictionary() || depth > 32 || !firstVisit(action))
        return;
    if (action.getKey("/S").isNameAndEquals("/GoTo"))
        moveKey(action, "/D");
    QPDFObjectHandle next = action.getKey("/Next");
    if (next.isArray()) {
        for (int i = 0; i < next.getArrayNItems(); ++i)
            moveAction(next.getArrayItem(i), depth + 1);
    } else {
        moveAction(next, depth + 1);
    }
}

void DestinationMover::moveOutline(QPDFObjectHandle item, int depth)
{
    // Siblings iteratively, children recursively.
    while (item.isDictionary() && depth < 64 && firstVisit(item)) {
        moveKey(item, "/Dest");
        moveAction(item.getKey("/A"), 0);
        moveOutline(item.getKey("/First"), depth + 1);
        item = item.getKey("/Next");
    }
}

void DestinationMover::moveNameTree(QPDFObjectHandle node, int depth)
{
    if (!node.isDictionary() || depth > 32 || !firstVisit(node))
        return;
    QPDFObjectHandle names = node.getKey("/Names");
    if (names.isArray()) {
        for (int i = 1; i < names.getArrayNItems(); i += 2) {
            QPDFObjectHandle value = names.getArrayItem(i);
            QPDFObjectHandle result = moved(value);
            if (!value.isIndirect())
                names.setArrayItem(i, result);
        }
    }
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
        for (int i = 0; i < kids.getArrayNItems(); ++i)
            moveNameTree(kids.getArrayItem(i), depth + 1);
    }
}

void DestinationMover::moveInAnnotation(QPDFObjectHandle annotation)
{
    if (!annotation.isDictionary())
        return;
    moveKey(annotation, "/Dest");
    moveAction(annotation.getKey("/A"), 0);
}

void DestinationMover::moveAll()
{
    QPDFObjectHandle root = pdf.getRoot();
    QPDFObjectHandle outlines = root.getKey("/Outlines");
    if (outlines.isDictionary())
        moveOutline(outlines.getKey("/First"), 0);
    QPDFObjectHandle dests = root.getKey("/Dests");
    if (dests.isDictionary() && firstVisit(dests)) {
        for (const std::string& key : dests.getKeys())
            moveKey(dests, key.c_str());
    }
    QPDFObjectHandle names = root.getKey("/Names");
    if (names.isDictionary())
        moveNameTree(names.getKey("/Dests"), 0);
    QPDFObjectHandle open = root.getKey("/OpenAction");
    if (open.isArray())
        moveKey(root, "/OpenAction");
    else
        moveAction(open, 0);
}

// ------------------------------------------------------------------ XmpPacket

namespace {

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&apos;")).toUtf8();
}

QRegularExpression pattern(const QByteArray& text)
{
    return QRegularExpression(QString::fromLatin1(text), QRegularExpression::DotMatchesEverythingOption);
}

// Regular expressions work on text; XMP is UTF-8.
QString textOf(const QByteArray& xml)
{
    return QString::fromUtf8(xml);
}

} // namespace

std::optional<int> XmpPacket::pdfaPart() const
{
    const QString text = textOf(xml);
    for (const QByteArray& expression : {QByteArray(R"(pdfaid:part\s*=\s*["']\s*(\d+)\s*["'])"),
                                         QByteArray(R"(<pdfaid:part\s*>\s*(\d+)\s*</pdfaid:part\s*>)")}) {
        const QRegularExpressionMatch match = pattern(expression).match(text);
        if (match.hasMatch())
            return match.captured(1).toInt();
    }
    return std::nullopt;
}

void XmpPacket::removePdfaIdentification()
{
    QString text = textOf(xml);
    text.remove(pattern(R"(\s+pdfaid:(part|conformance|amd|rev)\s*=\s*(["']).*?\2)"));
    text.remove(pattern(R"(<pdfaid:(part|conformance|amd|rev)\s*>.*?</pdfaid:\1\s*>)"));
    text.remove(pattern(R"(<pdfaid:(part|conformance|amd|rev)\s*/>)"));
    xml = text.toUtf8();
}

void XmpPacket::replaceProperty(const QByteArray& prefix, const QByteArray& name, const QByteArray& namespaceUri,
                                const QByteArray& element)
{
    QString text = textOf(xml);
    const int end = text.lastIndexOf(QLatin1String("</rdf:RDF>"));
    if (end < 0)
        return; // not a packet this code understands; left alone
    const QByteArray property = prefix + ':' + name;
    text.remove(pattern(R"(\s+)" + property + R"(\s*=\s*(["']).*?\1)"));
    text.remove(pattern("<" + property + R"((\s[^>]*)?>.*?</)" + property + R"(\s*>)"));
    text.remove(pattern("<" + property + R"((\s[^>]*)?/>)"));
    // Every description of a packet is about the same resource.
    const QRegularExpressionMatch about = pattern(R"(rdf:about\s*=\s*(["'])(.*?)\1)").match(text);
    const QString description = QStringLiteral("<rdf:Description rdf:about=\"%1\" xmlns:%2=\"%3\">%4</rdf:Description>\n")
                                    .arg(about.hasMatch() ? about.captured(2) : QString(), QString::fromLatin1(prefix),
                                         QString::fromLatin1(namespaceUri), QString::fromUtf8(element));
    text.insert(text.lastIndexOf(QLatin1String("</rdf:RDF>")), description);
    xml = text.toUtf8();
}

void XmpPacket::setTitle(const QString& title)
{
    replaceProperty("dc", "title", "http://purl.org/dc/elements/1.1/",
                    "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + escaped(title)
                        + "</rdf:li></rdf:Alt></dc:title>");
}

void XmpPacket::setAuthor(const QString& author)
{
    replaceProperty("dc", "creator", "http://purl.org/dc/elements/1.1/",
                    "<dc:creator><rdf:Seq><rdf:li>" + escaped(author) + "</rdf:li></rdf:Seq></dc:creator>");
}

void XmpPacket::setCreatorTool(const QString& tool)
{
    replaceProperty("xmp", "CreatorTool", "http://ns.adobe.com/xap/1.0/",
                    "<xmp:CreatorTool>" + escaped(tool) + "</xmp:CreatorTool>");
}

// ---------------------------------------------------------------- PDF/A check

namespace {

bool fontEmbedded(QPDFObjectHandle font)
{
    QPDFObjectHandle described = font;
    if (font.getKey("/Subtype").isNameAndEquals("/Type0")) {
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        described = descendants.isArray() && descendants.getArrayNItems() > 0 ? descendants.getArrayItem(0)
                                                                               : QPDFObjectHandle::newNull();
    }
    QPDFObjectHandle descriptor = described.isDictionary() ? described.getKey("/FontDescriptor")
                                                           : QPDFObjectHandle::newNull();
    return descriptor.isDictionary()
        && (descriptor.hasKey("/FontFile") || descriptor.hasKey("/FontFile2") || descriptor.hasKey("/FontFile3"));
}

} // namespace

int outputIntentComponents(QPDFObjectHandle outputIntents)
{
    if (!outputIntents.isArray())
        return 0;
    for (QPDFObjectHandle intent : outputIntents.getArrayAsVector()) {
        if (!intent.isDictionary() || !intent.getKey("/S").isNameAndEquals("/GTS_PDFA1"))
            continue;
        QPDFObjectHandle profile = intent.getKey("/DestOutputProfile");
        if (profile.isStream() && profile.getDict().getKey("/N").isInteger())
            return profile.getDict().getKey("/N").getIntValueAsInt();
    }
    return 0;
}

QStringList pdfaProblems(QPDFObjectHandle form, int part, QPDFObjectHandle outputIntents)
{
    const StationeryScan scan = StationeryScan::of(form);
    QStringList problems;
    if (scan.incomplete)
        problems << QStringLiteral("the stationery is too complex to be checked");
    if (part == 1 && scan.transparency)
        problems << QStringLiteral("the stationery uses transparency, which PDF/A-1 does not allow");
    QStringList fonts;
    for (QPDFObjectHandle font : scan.fonts) {
        if (font.getKey("/Subtype").isNameAndEquals("/Type3") || fontEmbedded(font))
            continue;
        QPDFObjectHandle name = font.getKey("/BaseFont");
        fonts << (name.isName() ? QString::fromStdString(name.getName().substr(1)) : QStringLiteral("a font"));
    }
    if (!fonts.isEmpty()) {
        fonts.removeDuplicates();
        problems << QStringLiteral("the stationery uses fonts that are not embedded (%1)").arg(fonts.join(QStringLiteral(", ")));
    }
    // A device colour needs the output intent of its colour model, or a
    // Default colour space where it is drawn; gray goes with any intent.
    const int components = outputIntentComponents(outputIntents);
    unsigned uncovered = 0;
    for (const PaintingContext& context : scan.contexts)
        uncovered |= context.colours & ~context.defaults();
    for (QPDFObjectHandle group : scan.deviceGroups)
        uncovered |= deviceColoursOf(group.getKey("/CS"));
    if ((uncovered & DeviceRgb) && components != 3)
        problems << QStringLiteral("the stationery uses RGB colours, but the document's output intent is not RGB");
    if ((uncovered & DeviceCmyk) && components != 4)
        problems << QStringLiteral("the stationery uses CMYK colours, but the document's output intent is not CMYK");
    if ((uncovered & DeviceGray) && components == 0)
        problems << QStringLiteral("the stationery uses gray colours, but the document has no output intent");
    return problems;
}

} // namespace quillary
