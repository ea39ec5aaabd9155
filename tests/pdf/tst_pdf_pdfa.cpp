// A PDF/A e-invoice stamped with stationery stays PDF/A truthfully: the
// stationery read for a run is made fit (fonts embedded with a compatible
// program, device colours given profiles) without changing its look, and
// the output either passes the checks of support/PdfaChecks or says why it
// is no longer marked as PDF/A.

#include "PdfChecks.h"
#include "support/PdfaChecks.h"
#include "pdf/PdfaOutlook.h"
#include "pdf/Stationery.h"
#include "pdf/StationeryNormaliser.h"
#include "pdf/TaskManager.h"

using namespace quillary;
using namespace pdfchecks;
using testpdfs::Intent;

namespace {
// expected: "kept", or a part of the one warning that drops the claim.
struct Claim { int part; Intent intent; QString stationery; QString expected; };
struct Look { QString stationery; };
struct Mend { QString stationery; QStringList embedded; QString unembeddable; };
// part 0: a document that claims nothing; expected: "" or a part of the one reason.
struct Outlook { int part; Intent intent; QString stationery; QString expected; };

// Page 1 at 100 dpi through the system's PDF renderer.
QImage rendered(const QString& path)
{
    QProcess process;
    process.start("pdftoppm", {"-r", "100", "-png", "-singlefile", "-f", "1", "-l", "1", path, path + "-look"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage(path + "-look.png").convertToFormat(QImage::Format_RGB32);
}
} // namespace

class TestPdfa : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString tagged(const char* prefix) const { return dir.filePath(prefix + QString(QTest::currentDataTag()).replace('/', '-').replace(' ', '_') + ".pdf"); }

private slots:
    void initTestCase()
    {
        // Kept to look at when a comparison fails.
        if (qEnvironmentVariableIsSet("QUILLARY_KEEP_TEST_FILES"))
            dir.setAutoRemove(false), qInfo() << "files kept in" << dir.path();
    }

    void claim_data()
    {
        table<Claim>({
            {"1b, no intent, standard fonts", {1, Intent::None, "standard", "kept"}},
            {"2b, sRGB, Arial", {2, Intent::Srgb, "arial", "kept"}},
            {"1b, CMYK, Arial", {1, Intent::Cmyk, "arial", "kept"}},
            {"3b, CMYK, embedded subset", {3, Intent::Cmyk, "subset", "kept"}},
            {"3b, no intent, CMYK logo", {3, Intent::None, "cmyk", "kept"}},
            {"2b, sRGB, CMYK logo", {2, Intent::Srgb, "cmyk", "kept"}},
            {"2b, no intent, gray", {2, Intent::None, "gray", "kept"}},
            {"3b, CMYK, RGB JPEG", {3, Intent::Cmyk, "jpeg", "kept"}},
            {"1b, sRGB, nested forms", {1, Intent::Srgb, "nested", "kept"}},
            {"3b, CMYK, standard fonts", {3, Intent::Cmyk, "standard", "kept"}},
            {"3b, no intent, Calibri", {3, Intent::None, "calibri", "kept"}},
            {"2b, no intent, transparency group", {2, Intent::None, "group", "kept"}},
            {"3b, sRGB, transparency group", {3, Intent::Srgb, "group", "kept"}},
            {"1b, sRGB, transparency group", {1, Intent::Srgb, "group", "transparency"}},
            {"3b, sRGB, unknown font", {3, Intent::Srgb, "unknown", "FancyScript-Regular"}},
            {"3b, sRGB, encrypted stationery", {3, Intent::Srgb, "encrypted", "Helvetica"}},
        });
    }
    // The stationery is read for a run (as for quillary-stamp) and laid on
    // both pages of the invoice.
    void claim()
    {
        const auto [part, intent, kind, expected] = fetch<Claim>();
        const QString document = tagged("invoice-"), paper = tagged("paper-"), output = tagged("out-");
        QVERIFY(testpdfs::writePdfaDocument(document, part, intent));
        QVERIFY(testpdfs::writeStationery(paper, kind));
        QVERIFY(pdfachecks::violations(document).isEmpty()); // the invoice itself holds
        auto files = StationeryFiles::read({paper});
        QVERIFY2(files.ok(), qPrintable(files.error));
        StationeryCache cache(*files.value);
        MergeRequest request{document, output, paper, paper, std::nullopt, {}, true, true};
        const Result result = TaskManager::mergeDocument(request, {}, cache);
        QVERIFY2(result.ok(), qPrintable(result.error));
        auto pdf = open(output);
        QVERIFY(pdf);
        const QByteArray xmp = streamData(pdf->getRoot().getKey("/Metadata"));
        if (expected == "kept") {
            QCOMPARE(result.warnings, QStringList());
            QCOMPARE(pdfachecks::violations(output), QStringList());
        } else {
            QVERIFY(!xmp.contains("pdfaid:part"));
            QCOMPARE(result.warnings.size(), 1);
            QVERIFY2(result.warnings[0].contains(expected) && result.warnings[0].contains(QStringLiteral("PDF/A-%1").arg(part)),
                     qPrintable(result.warnings[0]));
        }
        // The e-invoice's XML is still attached.
        QVERIFY(bytesOf(output).size() > 0);
        QCOMPARE(pdf->getRoot().getKey("/AF").getArrayNItems(), 1);
    }

    // What the save panel is told before anything is written: the same
    // judgement the merge makes, on the stationery as the merge mends it.
    void outlook_data()
    {
        table<Outlook>({{"kept: standard fonts", {3, Intent::Srgb, "standard", ""}},
                        {"kept: CMYK logo, no intent", {3, Intent::None, "cmyk", ""}},
                        {"lost: no compatible face", {3, Intent::Srgb, "unknown", "FancyScript-Regular"}},
                        {"lost: transparency in part 1", {1, Intent::Srgb, "group", "transparency"}},
                        {"lost: encrypted stationery", {2, Intent::Srgb, "encrypted", "Helvetica"}},
                        {"no claim to lose", {0, Intent::Srgb, "unknown", ""}}});
    }
    void outlook()
    {
        const auto [part, intent, kind, expected] = fetch<Outlook>();
        const QString document = tagged("outlook-invoice-"), paper = tagged("outlook-paper-");
        QVERIFY(part ? testpdfs::writePdfaDocument(document, part, intent) : testpdfs::writeNumbered(document, 2));
        QVERIFY(testpdfs::writeStationery(paper, kind));
        const QStringList reasons = pdfaLossOf(document, {paper, QString(), dir.filePath("missing.pdf")});
        if (expected.isEmpty()) {
            QCOMPARE(reasons, QStringList());
        } else {
            QCOMPARE(reasons.size(), 1);
            QVERIFY2(reasons[0].startsWith("the stationery ") && reasons[0].contains(expected), qPrintable(reasons[0]));
        }
    }

    // What the normaliser embeds, and what it leaves and says so.
    void mends_data()
    {
        table<Mend>({{"standard fonts", {"standard", {"Helvetica", "Times-Bold"}, {}}},
                     {"Arial", {"arial", {"Arial"}, {}}},
                     {"Calibri bold", {"calibri", {"Calibri-Bold"}, {}}},
                     {"nested Times", {"nested", {"Times-Italic"}, {}}},
                     {"already embedded", {"subset", {}, {}}},
                     {"no compatible face", {"unknown", {}, "FancyScript-Regular (no metric-compatible font is installed)"}}});
    }
    void mends()
    {
        const auto [kind, embedded, unembeddable] = fetch<Mend>();
        const QString paper = tagged("mend-");
        QVERIFY(testpdfs::writeStationery(paper, kind));
        const QByteArray before = bytesOf(paper);
        auto first = normaliseStationeryFile(paper);
        QVERIFY2(first.ok(), qPrintable(first.error));
        QStringList got = first.value->embeddedFonts;
        got.sort();
        QCOMPARE(got, embedded);
        QCOMPARE(first.value->unembeddable.join(';'), unembeddable);
        QCOMPARE(first.warnings.isEmpty(), unembeddable.isEmpty());
        // Written back only when something changed; a second run changes nothing.
        QCOMPARE(bytesOf(paper) != before, first.value->changed);
        const QByteArray after = bytesOf(paper);
        auto second = normaliseStationeryFile(paper);
        QVERIFY(second.ok());
        QVERIFY(!second.value->changed);
        QCOMPARE(bytesOf(paper), after);
    }

    void look_data()
    {
        table<Look>({{"standard fonts", {"standard"}}, {"Arial", {"arial"}},
                     {"gray", {"gray"}}, {"RGB JPEG", {"jpeg"}}, {"nested forms", {"nested"}},
                     {"transparency group", {"group"}}});
    }
    // The normalised stationery at 100 dpi differs from the original by no
    // more than anti-aliasing.
    void look()
    {
        const QString kind = fetch<Look>().stationery;
        const QString original = tagged("look-original-"), mended = tagged("look-mended-");
        QVERIFY(testpdfs::writeStationery(original, kind));
        QVERIFY(QFile::copy(original, mended));
        auto result = normaliseStationeryFile(mended);
        QVERIFY2(result.ok() && result.value->changed, qPrintable(result.error));
        const QImage a = rendered(original), b = rendered(mended);
        QVERIFY(!a.isNull() && a.size() == b.size());
        // A pixel differs when nothing within one pixel of it in the other
        // image comes close: glyph edges placed a fraction of a pixel apart
        // are anti-aliasing, a glyph or colour that changed is not.
        auto nearest = [](const QImage& image, int x, int y, QRgb p) {
            int best = 255;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!image.valid(x + dx, y + dy))
                        continue;
                    const QRgb q = image.pixel(x + dx, y + dy);
                    best = std::min(best, std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                                    std::abs(qBlue(p) - qBlue(q))}));
                }
            return best;
        };
        int inked = 0, differing = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                inked += a.pixel(x, y) != qRgb(255, 255, 255);
                differing += nearest(b, x, y, a.pixel(x, y)) > 48 || nearest(a, x, y, b.pixel(x, y)) > 48;
            }
        }
        QVERIFY2(inked > 100, "the stationery draws nothing to compare");
        QVERIFY2(differing <= inked / 33, qPrintable(QStringLiteral("%1 of %2 drawn pixels differ").arg(differing).arg(inked)));
    }
};

QTEST_MAIN(TestPdfa)
#include "tst_pdf_pdfa.moc"
