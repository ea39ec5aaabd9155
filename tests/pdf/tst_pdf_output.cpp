// What a merged file carries. The document plus stationery: attachments,
// metadata, information, outlines, destinations, page labels, annotations
// and form fields survive the merge, moved with the content where they point
// at a spot on a page; the PDF/A identification survives only where the
// stationery lets the output conform. The output's own information and
// protection; white page backgrounds found by scanning page 1's own content
// stream. Read back with qpdf.

#include "PdfChecks.h"
#include "pdf/Password.h"
#include "pdf/TaskManager.h"

#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

using namespace quillary;
using namespace pdfchecks;
using namespace Qt::StringLiterals;

namespace {
const QByteArray InvoiceXml = "<?xml version=\"1.0\"?><Invoice><ID>4711</ID><Total>119.00</Total></Invoice>\n";
// Offsets told apart: x and y differ on each page, and page 1 from the rest.
const QPointF FirstOffset(12, -7), ContinuationOffset(-3, 25);
struct Kept { QString aspect; QVariant title, author; QString expected; };
// page: what the stationery page holds besides its content; expected: "kept" or a warning part.
struct Pdfa { int part; QByteArray content, page; bool password; QString expected; };
// An invalid QVariant leaves its key out of the options.
struct Information { QVariant author, title; QStringList expected; };
// expected: "plain" not encrypted; "locked" needs the password, may print;
// "noprint" opens, printing and copying forbidden; "refused" no file.
struct Protection { bool withPassword, allowPrint; QString password; QVariant owner; QString expected; };
// expected: the prepared bytes, or nothing when the password is refused.
struct Preparation { QString typed; std::optional<QByteArray> expected; };
struct Scan { QByteArray page1, page2; bool expected; }; // page1: "missing", a whole file or content

QByteArray xmpPacket(int pdfaPart)
{
    const QByteArray pdfa = pdfaPart ? "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">"
                                       "<pdfaid:part>" + QByteArray::number(pdfaPart) + "</pdfaid:part>"
                                       "<pdfaid:conformance>B</pdfaid:conformance></rdf:Description>\n"
                                     : QByteArray();
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:CreatorTool=\"Writer\"/>\n"
           "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Old title</rdf:li></rdf:Alt></dc:title></rdf:Description>\n"
           + pdfa + "</rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

QString numbers(QPDFObjectHandle array)
{
    QStringList out;
    for (QPDFObjectHandle item : array.getArrayAsVector())
        out << (item.isNumber() ? QString::number(item.getNumericValue()) : QString::fromStdString(item.unparse()));
    return out.join(' ');
}

// 1-based index of the page a destination or annotation points at, 0 when none.
int pageNumber(QPDF& pdf, QPDFObjectHandle page)
{
    const auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    for (size_t i = 0; i < pages.size(); ++i)
        if (page.isIndirect() && pages[i].getObjectHandle().getObjGen() == page.getObjGen())
            return int(i) + 1;
    return 0;
}

QString destination(QPDF& pdf, QPDFObjectHandle dest)
{
    if (dest.isDictionary())
        dest = dest.getKey("/D");
    if (!dest.isArray() || dest.getArrayNItems() < 2)
        return "none";
    std::vector<QPDFObjectHandle> rest = dest.getArrayAsVector();
    rest.erase(rest.begin(), rest.begin() + 2);
    return QStringLiteral("%1 %2 %3").arg(pageNumber(pdf, dest.getArrayItem(0)))
        .arg(QString::fromStdString(dest.getArrayItem(1).getName()), numbers(QPDFObjectHandle::newArray(rest)));
}
} // namespace

class TestOutput : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    const QString stationery = dir.filePath("stationery.pdf"), plain = dir.filePath("plain.pdf");

    QString tagged(const char* prefix) const { return dir.filePath(prefix + QString(QTest::currentDataTag()).replace('/', '-') + ".pdf"); }

    // A two-page e-invoice: the XML embedded as associated file, XMP metadata
    // and an sRGB output intent, information, outlines, a named destination,
    // page labels, links, a note and a text field.
    // Locked: copy-protected, with an owner password only.
    QString invoice(int pdfaPart, bool locked = false)
    {
        const QString path = dir.filePath(QStringLiteral("invoice-%1%2.pdf").arg(pdfaPart).arg(locked ? "-locked" : ""));
        const bool written = writeObjects(path, {
            "<< /Type /Catalog /Pages 2 0 R /AF [5 0 R] /Metadata 7 0 R /Outlines 9 0 R /AcroForm << /Fields [12 0 R] >>"
            " /Names << /EmbeddedFiles << /Names [(invoice.xml) 5 0 R] >> /Dests << /Names [(terms) [4 0 R /XYZ 50 700 0]] >> >>"
            " /OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB) /DestOutputProfile 8 0 R >>]"
            " /PageLabels << /Nums [0 << /S /r >> 1 << /P (T-) /S /D /St 7 >>] >> >>",
            "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Annots [<< /Type /Annot /Subtype /Link /Rect [100 700 200 720]"
            " /QuadPoints [100 720 200 720 100 700 200 700] /A << /S /URI /URI (https://example.com/4711) >> >> 12 0 R] >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Annots [<< /Type /Annot /Subtype /Link /Rect [50 50 150 70]"
            " /Dest (terms) >> << /Type /Annot /Subtype /Text /Rect [10 10 30 30] /Contents (Note) >>] >>",
            "<< /Type /Filespec /F (invoice.xml) /UF (invoice.xml) /AFRelationship /Data /EF << /F 6 0 R >> >>",
            stream("/Type /EmbeddedFile", InvoiceXml),
            stream("/Type /Metadata /Subtype /XML", xmpPacket(pdfaPart)),
            stream("/N 3", QByteArray(128, 'p')),
            "<< /Type /Outlines /Count 2 /First 10 0 R /Last 11 0 R >>",
            "<< /Title (Intro) /Parent 9 0 R /Next 11 0 R /Dest [3 0 R /XYZ 100 800 0] >>",
            "<< /Title (Terms) /Parent 9 0 R /Prev 10 0 R /A << /S /GoTo /D [4 0 R /FitH 500] >> >>",
            "<< /Type /Annot /Subtype /Widget /FT /Tx /T (Customer) /V (Ada) /Rect [300 600 500 620] /P 3 0 R >>",
            "<< /Title (Old title) /Author (Old author) /Keywords (invoice 4711) /CreationDate (D:20240102030405Z) >>"}, true, true,
            [&](QPDFWriter& writer) {
                if (locked)
                    writer.setR6EncryptionParameters("", "owner", true, false, true, true, true, true, qpdf_r3p_none, true);
            });
        if (!written)
            qFatal("cannot write the invoice");
        return path;
    }

    // Stationery on every page; an invalid QVariant leaves its key out of the
    // options, printing allowed and no password unless they say otherwise.
    Result merge(const QString& doc, const QString& output, SaveOptionsMap options = {}, QString paper = {})
    {
        options.removeIf([](auto entry) { return !entry.value().isValid(); });
        paper = paper.isEmpty() ? stationery : paper;
        MergeRequest r{doc, output, paper, paper, paper, options};
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        r.options.insert(SaveOptions::ALLOW_PRINT, options.value(SaveOptions::ALLOW_PRINT, true));
        r.options.insert(SaveOptions::WITH_PASSWORD, options.value(SaveOptions::WITH_PASSWORD, false));
        r.firstPageOffsetX = FirstOffset.x(), r.firstPageOffsetY = FirstOffset.y();
        r.continuationOffsetX = ContinuationOffset.x(), r.continuationOffsetY = ContinuationOffset.y();
        r.documentFormat = FormatA4;
        return TaskManager::mergeDocument(r);
    }

    // What a file carries of one aspect, as one line.
    QString describe(const QString& path, const QString& aspect)
    {
        auto pdf = open(path);
        if (!pdf)
            return "unreadable";
        QPDF& q = *pdf;
        QStringList seen;
        if (aspect == "attachments") {
            for (auto& [name, fileEntry] : QPDFEmbeddedFileDocumentHelper(q).getEmbeddedFiles())
                seen << QString::fromStdString(name) + (streamData(fileEntry->getEmbeddedFileStream()) == InvoiceXml ? "=same" : "=changed");
            for (QPDFObjectHandle af : q.getRoot().getKey("/AF").getArrayAsVector())
                seen << "AF " + QString::fromStdString(af.getKey("/F").getUTF8Value() + ' ' + af.getKey("/AFRelationship").unparse());
        } else if (aspect == "outlines") {
            for (auto& item : QPDFOutlineDocumentHelper(q).getTopLevelOutlines())
                seen << QString::fromStdString(item.getTitle()) + "->"
                        + destination(q, item.getDest().isNull() ? item.getObjectHandle().getKey("/A").getKey("/D") : item.getDest());
        } else if (aspect == "named destination") {
            for (QPDFObjectHandle item : q.getRoot().getKey("/Names").getKey("/Dests").getKey("/Names").getArrayAsVector())
                seen << (item.isString() ? QString::fromStdString(item.getUTF8Value()) : destination(q, item));
        } else if (aspect == "annotations") {
            int n = 0;
            for (auto& page : QPDFPageDocumentHelper(q).getAllPages()) {
                ++n;
                for (auto& annotation : page.getAnnotations()) {
                    QPDFObjectHandle a = annotation.getObjectHandle();
                    seen << QStringLiteral("%1%2 %3").arg(n).arg(QString::fromStdString(a.getKey("/Subtype").getName()), numbers(a.getKey("/Rect")));
                    if (a.hasKey("/QuadPoints"))
                        seen << "quad " + numbers(a.getKey("/QuadPoints"));
                    if (a.hasKey("/A"))
                        seen << QString::fromStdString(a.getKey("/A").getKey("/URI").getUTF8Value());
                }
            }
        } else if (aspect == "form fields") {
            for (QPDFObjectHandle field : q.getRoot().getKey("/AcroForm").getKey("/Fields").getArrayAsVector())
                seen << QStringLiteral("%1=%2 on page %3").arg(QString::fromStdString(field.getKey("/T").getUTF8Value()),
                                                                QString::fromStdString(field.getKey("/V").getUTF8Value()))
                            .arg(pageNumber(q, field.getKey("/P")));
        } else if (aspect == "page labels") {
            QPDFPageLabelDocumentHelper labels(q);
            for (long long i = 0; i < testpdfs::pageCount(path); ++i) {
                QPDFObjectHandle label = labels.getLabelForPage(i);
                seen << QString::fromStdString(label.getKey("/P").isString() ? label.getKey("/P").getUTF8Value() : "")
                        + QString::fromStdString(label.getKey("/S").unparse()) + QString::number(label.getKey("/St").getIntValue());
            }
        } else if (aspect == "information") {
            seen = pdfchecks::information(path);
        } else if (aspect == "metadata") {
            const QByteArray xmp = streamData(q.getRoot().getKey("/Metadata"));
            for (const char* needle : {"Old title", "Neu: Müller &amp; Söhne", "<dc:creator><rdf:Seq><rdf:li>Ada</rdf:li>",
                                       "xmp:CreatorTool=\"Writer\"", "<xmp:CreatorTool>Quillary</xmp:CreatorTool>", "xpacket end"})
                if (xmp.contains(needle))
                    seen << QString::fromUtf8(needle);
            seen << QStringLiteral("intent %1").arg(q.getRoot().getKey("/OutputIntents").getArrayNItems());
        }
        return seen.join(" | ");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(testpdfs::writeRaw(stationery, "0 0 1 rg 300 600 40 40 re f"));
        // Without a cross-reference table: qpdf repairs it, and each merge says so.
        QVERIFY(writeObjects(plain, {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
                                     "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>",
                                     "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>"}, false, false));
    }

    void keptWhole_data()
    {
        const QVariant none;
        table<Kept>({
            {"attachments byte for byte", {"attachments", none, none, "invoice.xml=same | AF invoice.xml /Data"}},
            // Copy-protected input: the output's own protection replaces it.
            {"input protection removed", {"protected attachments", none, none, "invoice.xml=same | AF invoice.xml /Data"}},
            {"outline titles and targets", {"outlines", none, none, "Intro->1 /XYZ 112 793 0 | Terms->2 /FitH 525"}},
            {"named destination", {"named destination", none, none, "terms | 2 /XYZ 47 725 0"}},
            {"annotations moved with the content", {"annotations", none, none,
                "1/Link 112 693 212 713 | quad 112 713 212 713 112 693 212 693 | https://example.com/4711"
                " | 1/Widget 312 593 512 613 | 2/Link 47 75 147 95 | 2/Text 7 35 27 55"}},
            {"form field on its page", {"form fields", none, none, "Customer=Ada on page 1"}},
            {"page labels, terms page numbered on", {"page labels", none, none, "/r1 | T-/D7 | T-/D8"}},
            {"information kept", {"information", none, none,
                "Author=Old author | CreationDate=D:20240102030405Z | Creator=Quillary | Keywords=invoice 4711 | Title=Old title"}},
            {"empty title and author keep the document's", {"information", "", "", 
                "Author=Old author | CreationDate=D:20240102030405Z | Creator=Quillary | Keywords=invoice 4711 | Title=Old title"}},
            {"title and author set", {"information", QString::fromUtf8("Neu: Müller & Söhne"), "Ada",
                QString::fromUtf8("Author=Ada | CreationDate=D:20240102030405Z | Creator=Quillary | Keywords=invoice 4711 | Title=Neu: Müller & Söhne")}},
            {"metadata kept, creator tool updated", {"metadata", none, none,
                "Old title | <xmp:CreatorTool>Quillary</xmp:CreatorTool> | xpacket end | intent 1"}},
            {"metadata follows title and author", {"metadata", QString::fromUtf8("Neu: Müller & Söhne"), "Ada",
                QString::fromUtf8("Neu: Müller &amp; Söhne | <dc:creator><rdf:Seq><rdf:li>Ada</rdf:li> | <xmp:CreatorTool>Quillary</xmp:CreatorTool> | xpacket end | intent 1")}},
        });
    }
    void keptWhole()
    {
        auto [aspect, title, author, expected] = fetch<Kept>();
        SaveOptionsMap options;
        if (title.isValid())
            options.insert(SaveOptions::TITLE, title);
        if (author.isValid())
            options.insert(SaveOptions::AUTHOR, author);
        const QString output = tagged("kept-");
        const bool locked = aspect.startsWith("protected ");
        const Result result = merge(invoice(0, locked), output, options);
        aspect.remove("protected ");
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY2(result.warnings.isEmpty(), qPrintable(result.warnings.join('\n')));
        QCOMPARE(describe(output, aspect), expected);
        QVERIFY(!open(output)->isEncrypted());
        // The stationery's own square is drawn, and only once per page.
        QCOMPARE(colourAt(render(output, 1), {305, 605}), 'B');
    }

    // Part, stationery content and page (no fonts unless it draws text), password.
    void pdfa_data()
    {
        const QByteArray plain = "0 0 1 rg 300 600 40 40 re f", group = "/Group << /S /Transparency /CS /DeviceRGB >>";
        table<Pdfa>({{"PDF/A-1, plain stationery", {1, plain, {}, false, "kept"}},
                     {"PDF/A-1, transparency group", {1, plain, group, false, "transparency"}},
                     {"PDF/A-1, soft alpha", {1, "/GS1 gs " + plain, "/Resources << /ExtGState << /GS1 << /ca 0.5 >> >> >>", false, "transparency"}},
                     {"PDF/A-3, transparency allowed", {3, plain, group, false, "kept"}},
                     {"PDF/A-2, CMYK under an RGB intent, profiled", {2, "0 0 0 1 k 300 600 40 40 re f", {}, false, "kept"}},
                     {"PDF/A-2, standard font, embedded", {2, "BT /F1 12 Tf 72 72 Td (Letterhead) Tj ET",
                         "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>", false, "kept"}},
                     {"PDF/A-2, font without a compatible face", {2, "BT /F1 12 Tf 72 72 Td (Letterhead) Tj ET",
                         "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Frutiger-Roman >> >> >>", false, "Frutiger-Roman"}},
                     {"PDF/A-2, composite font not embedded", {2, "BT /F1 12 Tf 72 72 Td <0001> Tj ET",
                         "/Resources << /Font << /F1 << /Type /Font /Subtype /Type0 /BaseFont /Arial /Encoding /Identity-H"
                         " /DescendantFonts [<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Arial /CIDSystemInfo"
                         " << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor << /Type /FontDescriptor"
                         " /FontName /Arial /Flags 32 /FontBBox [0 0 1000 1000] /ItalicAngle 0 /Ascent 900 /Descent -200"
                         " /CapHeight 700 /StemV 80 >> >>] >> >> >>", false, "Arial"}},
                     {"PDF/A-3, password", {3, plain, {}, true, "password"}}});
    }
    void pdfa()
    {
        auto [part, content, extras, password, expected] = fetch<Pdfa>();
        const QString paper = tagged("paper-"), output = tagged("pdfa-");
        QVERIFY(writeObjects(paper, {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                     "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R " + extras + " >>",
                                     stream({}, content)}));
        const Result result = merge(invoice(part), output, {{SaveOptions::PASSWORD, "secret"}, {SaveOptions::WITH_PASSWORD, password}}, paper);
        QVERIFY2(result.ok(), qPrintable(result.error));
        auto pdf = open(output, "secret");
        QVERIFY(pdf);
        const QByteArray xmp = streamData(pdf->getRoot().getKey("/Metadata"));
        QCOMPARE(xmp.contains("pdfaid:part"), expected == "kept");
        QVERIFY(xmp.contains("Old title")); // the rest of the packet stays
        if (expected == "kept") {
            QCOMPARE(result.warnings, QStringList());
        } else {
            QCOMPARE(result.warnings.size(), 1);
            QVERIFY2(result.warnings[0].contains(expected) && result.warnings[0].contains(output)
                         && result.warnings[0].contains(QStringLiteral("PDF/A-%1").arg(part)),
                     qPrintable(result.warnings[0]));
        }
        // PDF/A-1 predates object streams; an output no longer marked may
        // use them.
        if (!password)
            QCOMPARE(bytesOf(output).contains("/ObjStm"), part != 1 || expected != "kept");
    }

    void information_data()
    {
        table<Information>({{"empty text", {"", "", {"Author=", "Creator=Quillary", "Title="}}},
                            {"absent keys", {{}, {}, {"Creator=Quillary"}}},
                            {"both given", {"Ada", "Brief an Müller", {"Author=Ada", "Creator=Quillary", "Title=Brief an Müller"}}}});
    }
    void information()
    {
        auto [author, title, expected] = fetch<Information>();
        const QString output = tagged("information-");
        const Result result = merge(plain, output, {{SaveOptions::AUTHOR, author}, {SaveOptions::TITLE, title}});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(pdfchecks::information(output), expected);
        QCOMPARE(testpdfs::pageCount(output), 3);
        QVERIFY2(!result.warnings.isEmpty() && result.warnings.first().startsWith(plain + ": "), qPrintable(result.warnings.join('\n')));
    }

    void protection_data()
    {
        table<Protection>({{"no password, print allowed", {false, true, "secret", "", "plain"}}, {"user password", {true, true, "secret", "", "locked"}},
                           {"print forbidden, empty owner", {false, false, "", "", "noprint"}},
                           {"Unicode password", {true, true, QString::fromUtf8("Pässwörd€"), {}, "locked"}}, {"empty password", {true, true, "", "boss", "refused"}},
                           {"print forbidden, no owner key: scratch file", {false, false, "", {}, "plain"}},
                           {"owner equal to user only when printing is forbidden", {true, true, "Swordfish7", "Swordfish7", "locked"}},
                           {"owner equal to user", {true, false, "Swordfish7", "Swordfish7", "refused"}},
                           {"owner equal to user once soft hyphen dropped", {true, false, "Swordfish7", u"Sword\u00ADfish7"_s, "refused"}},
                           {"owner equal to user once NFKC", {true, false, u"Sword\uFB01sh7"_s, "Swordfish7", "refused"}},
                           {"owner only soft hyphens", {false, false, "", u"\u00AD\u00AD"_s, "refused"}},
                           {"password only zero-width", {true, true, u"\u200D\u00AD"_s, {}, "refused"}},
                           {"127 bytes", {true, true, QString(63, u'\u00E9') + 'a', {}, "locked"}}, {"128 bytes", {true, true, QString(64, u'\u00E9'), {}, "refused"}},
                           {"owner 128 bytes", {false, false, "", QString(128, 'o'), "refused"}}});
    }
    void protection()
    {
        auto [withPassword, allowPrint, password, owner, expected] = fetch<Protection>();
        const QString output = tagged("protection-");
        const Result result = merge(plain, output, {{SaveOptions::WITH_PASSWORD, withPassword}, {SaveOptions::ALLOW_PRINT, allowPrint},
                                                    {SaveOptions::PASSWORD, password}, {SaveOptions::OWNER_PASSWORD, owner}});
        if (expected == "refused") {
            QVERIFY(!result.ok() && result.error.contains(output));
            QCOMPARE(result.code, ErrorCode::InvalidInput);
            for (const QString& secret : {password, owner.toString()}) // never in a message
                QVERIFY2(secret.isEmpty() || !result.error.contains(secret), qPrintable(result.error));
            QVERIFY(!QFileInfo::exists(output));
            return;
        }
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(bool(open(output)), expected != "locked");
        auto pdf = open(output, password.toUtf8().constData());
        QVERIFY(pdf);
        QCOMPARE(pdf->isEncrypted(), expected != "plain");
        if (pdf->isEncrypted()) // an empty owner password would give anybody owner rights
            QVERIFY(!pdf->ownerPasswordMatched());
        QCOMPARE(pdf->allowPrintHighRes(), expected != "noprint");
        QCOMPARE(pdf->allowExtractAll(), expected != "noprint");
    }

    void preparation_data()
    {
        table<Preparation>({{"ASCII as typed", {"Secret 1", "Secret 1"}}, {"NFKC: ligature", {u"\uFB01le"_s, "file"}},
                            {"NFKC: full-width", {u"\uFF21\uFF22\uFF11"_s, "AB1"}}, {"NFKC: superscript", {u"x\u00B2"_s, "x2"}},
                            {"NFKC: composed", {u"e\u0301"_s, "\xC3\xA9"}}, {"NFKC: Angstrom sign", {u"\u212B"_s, "\xC3\x85"}},
                            {"NFKC of a later character", {u"\U0001F100"_s, "0."}}, {"later character kept", {u"\U0001F600"_s, "\xF0\x9F\x98\x80"}},
                            {"soft hyphen dropped", {u"pass\u00ADword"_s, "password"}}, {"zero-width joiner dropped", {u"a\u200Db"_s, "ab"}},
                            {"no-break space", {u"a\u00A0b"_s, "a b"}}, {"ideographic space", {u"a\u3000b"_s, "a b"}},
                            {"zero-width space is a space", {u"a\u200Bb"_s, "a b"}}, {"right-to-left alone", {u"\u05D0\u05D1"_s, "\xD7\x90\xD7\x91"}},
                            {"tab refused", {"a\tb", {}}}, {"private use refused", {u"a\uE000"_s, {}}},
                            {"unpaired surrogate refused", {QString(QChar(0xD800)) + 'a', {}}}, {"mixed directions refused", {u"abc\u05D0"_s, {}}}});
    }
    void preparation()
    {
        auto [typed, expected] = fetch<Preparation>();
        const ValueResult<std::string> prepared = preparePassword(typed);
        QCOMPARE(prepared.ok(), expected.has_value());
        if (expected)
            QCOMPARE(QByteArray::fromStdString(*prepared.value), *expected);
        else
            QVERIFY(!prepared.error.contains(typed) && prepared.code == ErrorCode::InvalidInput);
    }

    void whiteBackground_data()
    {
        const QByteArray white = "1 1 1 sc 0 0 595 842 re f";
        table<Scan>({{"sc white A4 fill", {white, {}, true}}, {"k white", {"0 0 0 0 k 0 0 595 842 re f", {}, true}},
                     // CMYK white needs all four components at 0.
                     {"k, cyan not 0", {"0.1 0 0 0 k 0 0 595 842 re f", {}, false}}, {"k, magenta not 0", {"0 0.1 0 0 k 0 0 595 842 re f", {}, false}},
                     {"k, yellow not 0", {"0 0 0.1 0 k 0 0 595 842 re f", {}, false}}, {"k, black not 0", {"0 0 0 0.1 k 0 0 595 842 re f", {}, false}},
                     {"sc, one of three not 1", {"1 0.9 1 sc 0 0 595 842 re f", {}, false}}, {"Letter rectangle", {"1 1 1 sc 0 0 612 792 re f", white, false}},
                     {"q between", {"1 1 1 sc q 0 0 595 842 re f", {}, false}},
                     {"small fill clears both", {"1 1 1 sc 0 0 9 9 re f 0 0 595 842 re f", {}, false}},
                     {"rg is not looked at", {"1 1 1 rg 0 0 595 842 re f", {}, false}},
                     {"second page never looked at", {{}, white, false}},
                     {"garbage", {"%PDF-1.4\n" + white, {}, false}}, {"missing", {"missing", {}, false}}});
    }
    void whiteBackground()
    {
        auto [page1, page2, expected] = fetch<Scan>();
        const QString path = tagged("scan-");
        if (page1.startsWith("%PDF"))
            QVERIFY(testpdfs::writeBytes(path, page1));
        else if (page1 != "missing")
            QVERIFY(testpdfs::writePdf(path, {{.rawContent = page1}, {.rawContent = page2}}));
        QCOMPARE(TaskManager::hasWhiteBackground(path), expected);
    }
};

QTEST_MAIN(TestOutput)
#include "tst_pdf_output.moc"
