// The PDF/A documents and letterheads of tests/support/TestPdfs.h.

#include "support/TestPdfs.h"

#include "pdf/ColourProfiles.h"
#include "pdf/FontPrograms.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

namespace testpdfs {

namespace {

QByteArray stream(const QByteArray& dict, const QByteArray& data)
{
    return "<< " + dict + " /Length " + QByteArray::number(data.size()) + " >> stream\n" + data + "\nendstream";
}

bool write(const QString& path, const QList<QByteArray>& objects, bool withInfo = false, bool encrypt = false)
{
    QByteArray text = "%PDF-1.7\n";
    for (int i = 0; i < objects.size(); ++i)
        text += QByteArray::number(i + 1) + " 0 obj " + objects[i] + " endobj\n";
    text += "trailer << /Root 1 0 R /Size " + QByteArray::number(objects.size() + 1)
            + (withInfo ? " /Info " + QByteArray::number(objects.size()) + " 0 R" : "") + " >>\n%%EOF\n";
    try {
        QPDF q;
        q.setSuppressWarnings(true);
        q.processMemoryFile("objects", text.constData(), size_t(text.size()));
        const QByteArray name = QFile::encodeName(path);
        QPDFWriter writer(q, name.constData());
        writer.setStaticID(true);
        writer.setCompressStreams(true);
        if (encrypt)
            writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
        writer.write();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QByteArray xmp(int part)
{
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Invoice 4711</rdf:li></rdf:Alt></dc:title>"
           "<dc:creator><rdf:Seq><rdf:li>ACME</rdf:li></rdf:Seq></dc:creator></rdf:Description>\n"
           "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">"
           "<pdfaid:part>" + QByteArray::number(part) + "</pdfaid:part><pdfaid:conformance>B</pdfaid:conformance>"
           "</rdf:Description>\n</rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

// Helvetica's widths for codes 32 to 122, as a word processor writes them
// for Arial.
const char* const arialWidths =
    "278 278 355 556 556 889 667 191 333 333 389 584 278 333 278 278 "
    "556 556 556 556 556 556 556 556 556 556 278 278 584 584 584 556 1015 "
    "667 667 722 722 667 611 778 722 278 500 667 556 833 722 778 667 778 722 667 611 722 667 944 667 667 611 "
    "278 278 278 469 556 333 "
    "556 556 500 556 556 278 556 556 222 222 500 222 833 556 556 556 556 333 500 278 556 500 722 500 500 500";

QByteArray text(const QByteArray& font, int size, int x, int y, const QByteArray& words)
{
    return "BT /" + font + " " + QByteArray::number(size) + " Tf " + QByteArray::number(x) + " " + QByteArray::number(y)
           + " Td (" + words + ") Tj ET\n";
}

QByteArray jpegLogo()
{
    QImage image(32, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixelColor(x, y, QColor(200, 40 + 6 * x, 60 + 10 * y));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

} // namespace

bool writePdfaDocument(const QString& path, int part, Intent intent)
{
    const QByteArray profile = intent == Intent::Cmyk ? quillary::cmykProfile() : quillary::srgbProfile();
    const QByteArray intents = intent == Intent::None ? QByteArray()
        : " /OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier ("
              + QByteArray(intent == Intent::Cmyk ? "CMYK" : "sRGB") + ") /DestOutputProfile 8 0 R >>]";
    const QByteArray content = "/CS0 cs 0.2 0.2 0.2 sc 60 400 300 2 re f 60 300 200 2 re f\n";
    return write(path, {
        "<< /Type /Catalog /Pages 2 0 R /Metadata 7 0 R /AF [5 0 R] /Names << /EmbeddedFiles << /Names [(factur-x.xml) 5 0 R] >> >>"
            + intents + " >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 10 0 R /Resources << /ColorSpace << /CS0 9 0 R >> >> >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 10 0 R /Resources << /ColorSpace << /CS0 9 0 R >> >> >>",
        "<< /Type /Filespec /F (factur-x.xml) /UF (factur-x.xml) /AFRelationship /Data /EF << /F 6 0 R >> >>",
        stream("/Type /EmbeddedFile /Subtype /text#2Fxml", "<?xml version=\"1.0\"?><Invoice><ID>4711</ID></Invoice>\n"),
        stream("/Type /Metadata /Subtype /XML", xmp(part)),
        stream("/N " + QByteArray(intent == Intent::Cmyk ? "4" : "3"), profile),
        "[/ICCBased 11 0 R]",
        stream({}, content),
        stream("/N 3", quillary::srgbProfile()),
        "<< /Title (Invoice 4711) /Author (ACME) /Producer (Test) >>"}, true);
}

bool writeStationery(const QString& path, const QString& kind)
{
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources 5 0 R";
    const QList<QByteArray> head = {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"};
    const QByteArray helvetica = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    if (kind == "standard" || kind == "encrypted") {
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "0.1 0.2 0.6 rg " + text("F1", 18, 60, 780, "ACME Trading GmbH") + text("F2", 10, 60, 760, "Hafenstrasse 12, 20457 Hamburg")),
            "<< /Font << /F1 6 0 R /F2 7 0 R >> >>", helvetica,
            "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Bold >>"}, false, kind == "encrypted");
    }
    if (kind == "arial" || kind == "unknown" || kind == "calibri") {
        const QByteArray name = kind == "arial" ? "Arial" : kind == "calibri" ? "Calibri-Bold" : "FancyScript-Regular";
        const QByteArray widths = kind == "calibri" ? QByteArray() : " /FirstChar 32 /LastChar 122 /Widths [" + QByteArray(arialWidths) + "]";
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "0.3 g " + text("F1", 14, 60, 780, "Musterstrasse 1, 12345 Beispielstadt") + "0.6 G 2 w 60 770 m 400 770 l S\n"),
            "<< /Font << /F1 6 0 R >> >>",
            "<< /Type /Font /Subtype /TrueType /BaseFont /" + name + " /Encoding /WinAnsiEncoding" + widths
                + " /FontDescriptor 7 0 R >>",
            "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [-665 -325 2000 1006] /ItalicAngle 0"
                " /Ascent 905 /Descent -212 /CapHeight 716 /StemV 80 >>"});
    }
    if (kind == "subset") {
        const auto program = quillary::compatibleProgram("Arial");
        if (!program)
            return false;
        QPDF probe;
        probe.emptyPDF();
        QPDFObjectHandle font = QPDFObjectHandle::parse("<< /Encoding /WinAnsiEncoding >>");
        const auto widths = quillary::programWidths(program->bytes, program->kind, font);
        if (!widths)
            return false;
        QByteArray list;
        for (int code = 32; code <= 122; ++code)
            list += QByteArray::number(widths->count(code) ? widths->at(code) : 0) + ' ';
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "0 0 0.5 rg " + text("F1", 12, 60, 780, "Embedded and subset")),
            "<< /Font << /F1 6 0 R >> >>",
            "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+LiberationSans /Encoding /WinAnsiEncoding"
                " /FirstChar 32 /LastChar 122 /Widths [" + list + "] /FontDescriptor 7 0 R >>",
            "<< /Type /FontDescriptor /FontName /ABCDEF+LiberationSans /Flags 32 /FontBBox [-544 -303 1302 980]"
                " /ItalicAngle 0 /Ascent 905 /Descent -212 /CapHeight 716 /StemV 80 /FontFile2 8 0 R >>",
            stream("/Length1 " + QByteArray::number(program->bytes.size()), program->bytes)});
    }
    if (kind == "cmyk") {
        const QByteArray pixels("\xff\x00\x00\x00\x00\xff\x00\x00\x00\x00\xff\x00\x00\x00\x00\xff", 16);
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "0 0.8 0.9 0 k 60 760 80 40 re f q 40 0 0 40 160 760 cm /Im1 Do Q\n"),
            "<< /XObject << /Im1 6 0 R >> >>",
            stream("/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceCMYK /BitsPerComponent 8", pixels)});
    }
    if (kind == "gray") {
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "0.5 g 0 0 595 30 re f 0.2 g " + text("F1", 9, 60, 12, "Amtsgericht Hamburg HRB 12345")),
            "<< /Font << /F1 6 0 R >> >>", "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"});
    }
    if (kind == "jpeg") {
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "q 128 0 0 64 420 740 cm /Logo Do Q\n"), "<< /XObject << /Logo 6 0 R >> >>",
            stream("/Type /XObject /Subtype /Image /Width 32 /Height 16 /ColorSpace /DeviceRGB /BitsPerComponent 8"
                   " /Filter /DCTDecode", jpegLogo())});
    }
    if (kind == "nested") {
        return write(path, head + QList<QByteArray>{page + " >>",
            stream({}, "q 1 0 0 1 50 700 cm /Outer Do Q\n"), "<< /XObject << /Outer 6 0 R >> >>",
            stream("/Type /XObject /Subtype /Form /BBox [0 0 500 120] /Resources << /XObject << /Inner 7 0 R >> >>",
                   "0.8 0.1 0.1 rg 0 100 200 10 re f q 1 0 0 1 10 10 cm /Inner Do Q"),
            stream("/Type /XObject /Subtype /Form /BBox [0 0 400 80] /Resources << /Font << /F1 8 0 R >> >>",
                   "0 0 0 1 k 0 60 300 4 re f " + text("F1", 16, 0, 20, "Inner form text")),
            "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Italic >>"});
    }
    if (kind == "group") {
        return write(path, head + QList<QByteArray>{page + " /Group << /S /Transparency /CS /DeviceRGB /I true >> >>",
            stream({}, "/GS1 gs 0.2 0.6 0.2 rg 40 700 300 100 re f\n"),
            "<< /ExtGState << /GS1 << /Type /ExtGState /ca 0.5 >> >> >>"});
    }
    return false;
}

} // namespace testpdfs
