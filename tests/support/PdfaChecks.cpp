#include "PdfaChecks.h"

#include "pdf/FontPrograms.h"

#include <QFile>
#include <QRegularExpression>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cmath>
#include <set>

namespace pdfachecks {

namespace {

QByteArray dataOf(QPDFObjectHandle stream)
{
    const auto data = stream.getStreamData(qpdf_dl_generalized);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}

QString nameOf(QPDFObjectHandle object)
{
    return object.isName() ? QString::fromStdString(object.getName()) : QString();
}

// Device model of a colour space: 'G', 'R', 'C' or 0.
char modelOf(QPDFObjectHandle space)
{
    const QString name = nameOf(space);
    if (name == "/DeviceGray" || name == "/G")
        return 'G';
    if (name == "/DeviceRGB" || name == "/RGB")
        return 'R';
    if (name == "/DeviceCMYK" || name == "/CMYK")
        return 'C';
    if (space.isArray() && space.getArrayNItems() > 1) {
        const QString family = nameOf(space.getArrayItem(0));
        if (family == "/Indexed" || family == "/Pattern")
            return modelOf(space.getArrayItem(1));
        if ((family == "/Separation" || family == "/DeviceN") && space.getArrayNItems() > 2)
            return modelOf(space.getArrayItem(2));
    }
    return 0;
}

struct Operators : QPDFObjectHandle::ParserCallbacks {
    QString models;
    QPDFObjectHandle lastName;
    bool inImage = false;
    void handleObject(QPDFObjectHandle object, size_t, size_t) override
    {
        if (!object.isOperator()) {
            if (object.isName()) {
                lastName = object;
                if (inImage && modelOf(object))
                    models += modelOf(object);
            }
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "g" || op == "G") models += 'G';
        if (op == "rg" || op == "RG") models += 'R';
        if (op == "k" || op == "K") models += 'C';
        if ((op == "cs" || op == "CS") && modelOf(lastName)) models += modelOf(lastName);
        if (op == "BI") inImage = true;
        if (op == "ID") inImage = false;
    }
    void handleEOF() override {}
};

class Checker {
public:
    QStringList problems;
    int part = 0;
    int intent = 0; // components of the output intent's profile

    void drawing(QPDFObjectHandle owner, std::vector<QPDFObjectHandle> streams, const QString& where)
    {
        if (owner.isIndirect() && !seen.insert(owner.getObjGen()).second)
            return;
        QPDFObjectHandle dict = owner.isStream() ? owner.getDict() : owner;
        QPDFObjectHandle resources = dict.getKey("/Resources");
        QString models;
        for (QPDFObjectHandle stream : streams) {
            if (!stream.isStream())
                continue;
            Operators ops;
            stream.parseAsContents(&ops);
            models += ops.models;
        }
        QPDFObjectHandle group = dict.getKey("/Group");
        if (group.isDictionary() && group.getKey("/S").isNameAndEquals("/Transparency")) {
            transparent(where + " has a transparency group");
            if (char m = modelOf(group.getKey("/CS")); m && !intentCovers(m))
                problems << where + ": a transparency group blends in a device space the output intent does not cover";
        }
        if (resources.isDictionary())
            models += held(resources, where);
        for (QChar m : models) {
            if (!covered(m.toLatin1(), resources))
                problems << QStringLiteral("%1: device colour %2 is neither in the output intent nor a Default colour space").arg(where, m);
        }
    }

private:
    std::set<QPDFObjGen> seen;

    void transparent(const QString& what)
    {
        if (part == 1)
            problems << what + ", which PDF/A-1 forbids";
    }

    bool intentCovers(char model) const
    {
        return model == 'G' ? intent > 0 : (model == 'R' ? intent == 3 : intent == 4);
    }

    bool covered(char model, QPDFObjectHandle resources) const
    {
        if (intentCovers(model))
            return true;
        if (!resources.isDictionary() || !resources.getKey("/ColorSpace").isDictionary())
            return false;
        const char* key = model == 'G' ? "/DefaultGray" : model == 'R' ? "/DefaultRGB" : "/DefaultCMYK";
        QPDFObjectHandle space = resources.getKey("/ColorSpace").getKey(key);
        const int n = model == 'G' ? 1 : model == 'R' ? 3 : 4;
        return space.isArray() && space.getArrayNItems() == 2 && space.getArrayItem(0).isNameAndEquals("/ICCBased")
            && space.getArrayItem(1).isStream() && space.getArrayItem(1).getDict().getKey("/N").isInteger()
            && space.getArrayItem(1).getDict().getKey("/N").getIntValueAsInt() == n;
    }

    // Colours drawn by the resources themselves; what they hold is walked.
    QString held(QPDFObjectHandle resources, const QString& where)
    {
        QString models;
        auto entries = [&](const char* key) {
            QPDFObjectHandle dict = resources.getKey(key);
            return dict.isDictionary() ? dict.getDictAsMap() : std::map<std::string, QPDFObjectHandle>{};
        };
        for (auto& [name, space] : entries("/ColorSpace"))
            if (name.rfind("/Default", 0) != 0 && modelOf(space))
                models += modelOf(space);
        for (auto& [name, shading] : entries("/Shading")) {
            QPDFObjectHandle d = shading.isStream() ? shading.getDict() : shading;
            if (modelOf(d.getKey("/ColorSpace")))
                models += modelOf(d.getKey("/ColorSpace"));
        }
        for (auto& [name, state] : entries("/ExtGState")) {
            if (state.getKey("/SMask").isDictionary()) {
                transparent(where + " uses a soft mask");
                QPDFObjectHandle g = state.getKey("/SMask").getKey("/G");
                if (g.isStream())
                    drawing(g, {g}, where + " soft mask");
            }
            for (const char* alpha : {"/CA", "/ca"})
                if (state.getKey(alpha).isNumber() && state.getKey(alpha).getNumericValue() < 1)
                    transparent(where + " paints with constant alpha");
            const QString blend = nameOf(state.getKey("/BM"));
            if (!blend.isEmpty() && blend != "/Normal" && blend != "/Compatible")
                transparent(where + " uses a blend mode");
        }
        for (auto& [name, pattern] : entries("/Pattern")) {
            if (pattern.isStream()) {
                drawing(pattern, {pattern}, where + " pattern " + QString::fromStdString(name));
            } else if (pattern.isDictionary()) {
                QPDFObjectHandle s = pattern.getKey("/Shading");
                QPDFObjectHandle d = s.isStream() ? s.getDict() : s;
                if (d.isDictionary() && modelOf(d.getKey("/ColorSpace")))
                    models += modelOf(d.getKey("/ColorSpace"));
            }
        }
        for (auto& [name, font] : entries("/Font"))
            checkFont(font, where);
        for (auto& [name, object] : entries("/XObject")) {
            if (!object.isStream())
                continue;
            QPDFObjectHandle d = object.getDict();
            if (d.getKey("/Subtype").isNameAndEquals("/Form")) {
                drawing(object, {object}, where + " form " + QString::fromStdString(name));
            } else if (d.getKey("/Subtype").isNameAndEquals("/Image")) {
                if (d.getKey("/SMask").isStream())
                    transparent(where + " image " + QString::fromStdString(name) + " has a soft mask");
                if (modelOf(d.getKey("/ColorSpace")))
                    models += modelOf(d.getKey("/ColorSpace"));
            }
        }
        return models;
    }

    void checkFont(QPDFObjectHandle font, const QString& where)
    {
        if (!font.isDictionary() || (font.isIndirect() && !seen.insert(font.getObjGen()).second))
            return;
        const QString name = nameOf(font.getKey("/BaseFont")).mid(1);
        const QString subtype = nameOf(font.getKey("/Subtype"));
        if (subtype == "/Type3") {
            std::vector<QPDFObjectHandle> glyphs;
            if (font.getKey("/CharProcs").isDictionary())
                for (auto& [n, glyph] : font.getKey("/CharProcs").getDictAsMap())
                    glyphs.push_back(glyph);
            drawing(font, glyphs, where + " Type 3 font");
            return;
        }
        QPDFObjectHandle described = font;
        if (subtype == "/Type0" && font.getKey("/DescendantFonts").isArray())
            described = font.getKey("/DescendantFonts").getArrayItem(0);
        QPDFObjectHandle descriptor = described.isDictionary() ? described.getKey("/FontDescriptor") : described;
        if (!descriptor.isDictionary()
            || (!descriptor.hasKey("/FontFile") && !descriptor.hasKey("/FontFile2") && !descriptor.hasKey("/FontFile3"))) {
            problems << QStringLiteral("%1: font %2 is not embedded").arg(where, name);
            return;
        }
        if (subtype == "/Type0")
            return;
        const auto program = quillary::embeddedProgram(font);
        if (!program)
            return; // a compact (FontFile3) program: not measured here
        const auto measured = quillary::programWidths(program->first, program->second, font);
        if (!measured) {
            problems << QStringLiteral("%1: the program of font %2 cannot be read").arg(where, name);
            return;
        }
        const std::map<int, double> given = quillary::dictionaryWidths(font);
        if (given.empty())
            problems << QStringLiteral("%1: font %2 has no widths").arg(where, name);
        for (const auto& [code, width] : given) {
            const auto it = measured->find(code);
            if (it != measured->end() && std::abs(it->second - width) > 1) {
                problems << QStringLiteral("%1: font %2 gives code %3 the width %4, its program %5")
                                .arg(where, name).arg(code).arg(width).arg(it->second);
                return;
            }
        }
    }
};

QString xmlText(const QString& xmp, const QString& property)
{
    const QRegularExpression element(QStringLiteral("<%1[^>]*>(.*?)</%1>").arg(property),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = element.match(xmp);
    if (!match.hasMatch())
        return QString();
    QString inner = match.captured(1);
    inner.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return inner.trimmed().replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">").replace("&apos;", "'").replace("&quot;", "\"");
}

} // namespace

QStringList violations(const QString& path)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    try {
        pdf.processFile(QFile::encodeName(path).constData());
    } catch (const std::exception& e) {
        return {QStringLiteral("%1 cannot be read: %2").arg(path, QString::fromUtf8(e.what()))};
    }
    Checker checker;
    QPDFObjectHandle root = pdf.getRoot();
    QPDFObjectHandle metadata = root.getKey("/Metadata");
    const QString xmp = metadata.isStream() ? QString::fromUtf8(dataOf(metadata)) : QString();
    const QRegularExpressionMatch part = QRegularExpression(QStringLiteral(R"(pdfaid:part\s*(?:=\s*["']|>)\s*(\d))")).match(xmp);
    if (!part.hasMatch())
        return {QStringLiteral("%1 claims no PDF/A part").arg(path)};
    checker.part = part.captured(1).toInt();
    if (!xmp.contains(QLatin1String("pdfaid:conformance")))
        checker.problems << QStringLiteral("the claim names no conformance level");
    if (pdf.isEncrypted())
        checker.problems << QStringLiteral("the file is encrypted");
    QPDFObjectHandle intents = root.getKey("/OutputIntents");
    if (intents.isArray())
        for (QPDFObjectHandle intent : intents.getArrayAsVector())
            if (intent.getKey("/S").isNameAndEquals("/GTS_PDFA1") && intent.getKey("/DestOutputProfile").isStream())
                checker.intent = intent.getKey("/DestOutputProfile").getDict().getKey("/N").getIntValueAsInt();
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    for (const auto& [key, property] : {std::pair{"/Title", "dc:title"}, std::pair{"/Author", "dc:creator"}}) {
        if (info.isDictionary() && info.getKey(key).isString()) {
            const QString value = QString::fromStdString(info.getKey(key).getUTF8Value());
            if (xmlText(xmp, property) != value)
                checker.problems << QStringLiteral("%1 \"%2\" is not the metadata's %3 \"%4\"")
                                        .arg(key, value, property, xmlText(xmp, property));
        }
    }
    int number = 0;
    for (QPDFPageObjectHelper page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        ++number;
        QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
        checker.drawing(page.getObjectHandle(), contents.isArray() ? contents.getArrayAsVector() : std::vector{contents},
                        QStringLiteral("page %1").arg(number));
    }
    checker.problems.removeDuplicates();
    return checker.problems;
}

} // namespace pdfachecks
