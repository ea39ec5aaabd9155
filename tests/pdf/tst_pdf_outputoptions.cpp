// Document information and protection of merged files, read back with qpdf;
// white page backgrounds found by scanning page 1's own content stream.

#include "PdfChecks.h"
#include "pdf/Password.h"
#include "pdf/TaskManager.h"

using namespace quillary;
using namespace pdfchecks;
using namespace Qt::StringLiterals;

namespace {
// An invalid QVariant leaves its key out of the options.
struct Information { QVariant author, title; QStringList expected; };
// expected: "plain" not encrypted; "locked" needs the password, may print;
// "noprint" opens, printing and copying forbidden; "refused" no file.
struct Protection { bool withPassword, allowPrint; QString password; QVariant owner; QString expected; };
// expected: the prepared bytes, or nothing when the password is refused.
struct Preparation { QString typed; std::optional<QByteArray> expected; };
struct Scan { QByteArray page1, page2; bool expected; }; // page1: "missing", a whole file or content
} // namespace

class TestOutputOptions : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    Result merge(SaveOptionsMap options, const QString& output)
    {
        options.removeIf([](auto entry) { return !entry.value().isValid(); });
        const QString document = dir.filePath("doc.pdf");
        if (!QFileInfo::exists(document))
            testpdfs::writeNumbered(document, 2);
        return TaskManager::mergeDocument({.documentPath = document, .outputPath = output, .options = options,
                                           .documentFormat = FormatA4});
    }
    QString tagged() const { return dir.filePath(QString(QTest::currentDataTag()) + ".pdf"); }

private slots:
    void information_data()
    {
        table<Information>({{"empty text", {"", "", {"Author=", "Creator=Quillary", "Title="}}},
                            {"absent keys", {{}, {}, {"Creator=Quillary"}}},
                            {"both given", {"Ada", "Brief an Müller", {"Author=Ada", "Creator=Quillary", "Title=Brief an Müller"}}}});
    }
    void information()
    {
        auto [author, title, expected] = fetch<Information>();
        QVERIFY(merge({{SaveOptions::AUTHOR, author}, {SaveOptions::TITLE, title}}, tagged()));
        QCOMPARE(pdfchecks::information(tagged()), expected);
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
        const QString output = tagged();
        const Result result = merge({{SaveOptions::WITH_PASSWORD, withPassword}, {SaveOptions::ALLOW_PRINT, allowPrint},
                                        {SaveOptions::PASSWORD, password}, {SaveOptions::OWNER_PASSWORD, owner}}, output);
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
        const QString path = tagged();
        if (page1.startsWith("%PDF"))
            QVERIFY(testpdfs::writeBytes(path, page1));
        else if (page1 != "missing")
            QVERIFY(testpdfs::writePdf(path, {{.rawContent = page1}, {.rawContent = page2}}));
        QCOMPARE(TaskManager::hasWhiteBackground(path), expected);
    }
};

QTEST_MAIN(TestOutputOptions)
#include "tst_pdf_outputoptions.moc"
