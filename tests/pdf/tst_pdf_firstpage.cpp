// Page 1, and ranges of pages, read without the whole cross-reference
// table: whether the short way is taken for a file, and that it finds the
// same pages as reading the whole file (content, inherited attributes,
// updates, passwords), merged as the whole document is merged.

#include "PdfChecks.h"
#include "pdf/FirstPageInput.h"
#include "pdf/PageRanges.h"
#include "pdf/PdfReading.h"
#include "pdf/TaskManager.h"

#include <QTemporaryDir>

#include <map>

using namespace quillary;
using namespace pdfchecks;

namespace {

using Objects = std::map<int, QByteArray>;

QByteArray stream(const QByteArray& content)
{
    return "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream";
}

// A PDF written by hand: the first section, then updates, each with its own
// classic table. entryLength 19 writes entries one byte short; shift moves
// the entry of object 3 off its object.
QByteArray handWritten(const QList<Objects>& sections, int entryLength = 20, int shift = 0)
{
    QByteArray pdf("%PDF-1.4\n");
    qint64 previous = -1;
    int size = 1;
    for (const Objects& objects : sections) {
        std::map<int, qint64> offsets;
        for (const auto& [number, body] : objects) {
            offsets[number] = pdf.size();
            pdf += QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
            size = std::max(size, number + 1);
        }
        const qint64 table = pdf.size();
        const char* end = entryLength == 20 ? "\r\n" : "\n";
        pdf += "xref\n";
        if (previous < 0)
            pdf += QByteArray("0 1\n0000000000 65535 f") + end;
        for (const auto& [number, offset] : offsets)
            pdf += QByteArray::number(number) + " 1\n"
                   + QByteArray::number(offset + (number == 3 ? shift : 0)).rightJustified(10, '0') + " 00000 n" + end;
        pdf += "trailer\n<< /Size " + QByteArray::number(size) + " /Root 1 0 R";
        if (previous >= 0)
            pdf += " /Prev " + QByteArray::number(previous);
        pdf += " >>\nstartxref\n" + QByteArray::number(table) + "\n%%EOF\n";
        previous = table;
    }
    return pdf;
}

// The same objects with a table stream instead of a classic table,
// unfiltered, entries of 1, 4 and 2 bytes. spare adds bytes after the
// entries; a type other than 1 is given to the entry of object 0 (which no
// page needs); lengthDelta mis-states /Length.
QByteArray tableStream(const Objects& objects, int spare = 0, int type = 1, int lengthDelta = 0)
{
    QByteArray pdf("%PDF-1.5\n");
    std::map<int, qint64> offsets;
    int size = 1;
    for (const auto& [number, body] : objects) {
        offsets[number] = pdf.size();
        pdf += QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
        size = std::max(size, number + 1);
    }
    const int self = size;
    const qint64 at = pdf.size();
    offsets[self] = at;
    QByteArray data;
    for (int n = 0; n <= self; ++n) {
        const auto it = offsets.find(n);
        const quint64 offset = it == offsets.end() ? 0 : quint64(it->second);
        data += char(n == 0 ? (type == 1 ? 0 : type) : it == offsets.end() ? 0 : 1);
        for (int b = 3; b >= 0; --b)
            data += char((offset >> (8 * b)) & 0xff);
        data += QByteArray(2, '\0');
    }
    data += QByteArray(spare, 'x');
    pdf += QByteArray::number(self) + " 0 obj\n<< /Type /XRef /Size " + QByteArray::number(self + 1)
           + " /W [1 4 2] /Root 1 0 R /Length " + QByteArray::number(data.size() + lengthDelta) + " >>\nstream\n" + data
           + "\nendstream\nendobj\nstartxref\n" + QByteArray::number(at) + "\n%%EOF\n";
    return pdf;
}

// The table's entry for object `from` given the offset of object `to`.
QByteArray entryPointingElsewhere(QByteArray pdf, int from, int to)
{
    const auto entry = [&pdf](int number) {
        const qsizetype at = pdf.indexOf("\n" + QByteArray::number(number) + " 0 obj") + 1;
        return QByteArray::number(at).rightJustified(10, '0') + " 00000 n";
    };
    const QByteArray wrong = entry(to), right = entry(from);
    if (pdf.count(right) != 1)
        return {}; // not the file this row means: fails the row
    return pdf.replace(right, wrong);
}

// Two pages taking media box and resources from their parent.
Objects twoPages()
{
    return {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
            {2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 /MediaBox [0 0 595 842]"
                " /Resources << /Font << /F1 7 0 R >> >> >>"},
            {3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"},
            {4, stream("BT /F1 12 Tf 72 700 Td (page one) Tj ET")},
            {5, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>"},
            {6, stream("BT /F1 12 Tf 72 700 Td (page two) Tj ET")},
            {7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}};
}

// The pages and count more objects no page refers to.
Objects padded(Objects objects, int count)
{
    for (int n = 100; n < 100 + count; ++n)
        objects[n] = "<< /Unused true >>";
    return objects;
}

Objects with(Objects objects, const Objects& changes)
{
    for (const auto& [number, body] : changes)
        objects[number] = body;
    return objects;
}

// The same document written again by qpdf, as most producers write;
// locked: encrypted too.
QByteArray rewritten(const QByteArray& pdf, bool objectStreams, bool locked = false)
{
    QPDF in;
    in.processMemoryFile("in", pdf.constData(), size_t(pdf.size()));
    QPDFWriter writer(in);
    writer.setOutputMemory();
    writer.setStaticID(true);
    writer.setObjectStreamMode(objectStreams ? qpdf_o_generate : qpdf_o_disable);
    if (locked)
        writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

// An update with a classic table after a file whose tables are streams.
QByteArray classicUpdate(QByteArray pdf)
{
    const qsizetype mark = pdf.lastIndexOf("startxref");
    const QByteArray previous = pdf.mid(mark + 9).trimmed().split('\n').first().trimmed();
    const auto root = QRegularExpression("/Root\\s+(\\d+\\s+\\d+\\s+R)").match(QString::fromLatin1(pdf));
    const qint64 at = pdf.size();
    pdf += "50 0 obj\n<< /Unused true >>\nendobj\n";
    const qint64 table = pdf.size();
    pdf += "xref\n50 1\n" + QByteArray::number(at).rightJustified(10, '0') + " 00000 n\r\ntrailer\n<< /Size 51 /Root " + root.captured(1).toLatin1() + " /Prev "
           + previous + " >>\nstartxref\n" + QByteArray::number(table) + "\n%%EOF\n";
    return pdf;
}

// What page 1 shows: its content, media box and resources, resolved.
QString pageOne(QPDF& pdf)
{
    auto page = PageTreeHelper(pdf).firstPage();
    if (!page)
        return QStringLiteral("no page");
    QPDFObjectHandle object = page->getObjectHandle();
    const QRectF box = mediaBoxOf(object);
    return QStringLiteral("%1 | %2x%3 | %4")
        .arg(QString::fromLatin1(streamData(object.getKey("/Contents"))))
        .arg(box.width())
        .arg(box.height())
        .arg(QString::fromStdString(object.getKey("/Resources").unparseResolved()));
}

// What a page shows, resolved, as pageOne.
QString pageShown(QPDFObjectHandle page)
{
    const QRectF box = mediaBoxOf(page);
    QPDFPageObjectHelper helper(page);
    QString contents;
    for (QPDFObjectHandle stream : helper.getPageContents())
        contents += QString::fromLatin1(streamData(stream));
    return QStringLiteral("%1 | %2x%3 | %4")
        .arg(contents)
        .arg(box.width())
        .arg(box.height())
        .arg(QString::fromStdString(helper.getAttribute("/Resources", false).unparseResolved()));
}

// Every page as reading the whole file shows it, or "fails".
QStringList wholePages(const QString& path)
{
    try {
        auto whole = openPdf(path);
        QStringList pages;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*whole).getAllPages())
            pages << pageShown(page.getObjectHandle());
        return pages;
    } catch (const std::exception&) {
        return {QStringLiteral("fails")};
    }
}

// The pages of a file read through a range's input, or "declined".
QStringList rangeShown(const PageRanges& ranges, const QString& path, int first, int count)
{
    auto in = ranges.input(openInputSource(path), openInputSource(path), first, count);
    if (!in)
        return {QStringLiteral("declined")};
    try {
        auto pdf = openPdf(in);
        QStringList pages;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            pages << pageShown(page.getObjectHandle());
        return pages;
    } catch (const std::exception&) {
        return {QStringLiteral("declined")};
    }
}

// Three pages in a tree of three levels, each level with its own media box.
Objects threeLevels()
{
    return with(twoPages(), {{2, "<< /Type /Pages /Kids [8 0 R 9 0 R] /Count 3 /MediaBox [0 0 595 842]"
                                 " /Resources << /Font << /F1 7 0 R >> >> >>"},
                             {8, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 10 0 R] /Count 2 /MediaBox [0 0 612 792] >>"},
                             {10, "<< /Type /Pages /Parent 8 0 R /Kids [5 0 R] /Count 1 /Rotate 90 >>"},
                             {9, "<< /Type /Pages /Parent 2 0 R /Kids [11 0 R] /Count 1 >>"},
                             {11, "<< /Type /Page /Parent 9 0 R /Contents 12 0 R >>"},
                             {12, stream("BT /F1 12 Tf 72 700 Td (page three) Tj ET")}});
}

struct Ranged {
    QByteArray pdf;
    int pages; // found by the index; -1: declined
};

struct Shape {
    QByteArray pdf;
    bool shortWay; // page 1 read without the whole table
    QString content; // page 1's text
};

} // namespace

Q_DECLARE_METATYPE(Shape)
Q_DECLARE_METATYPE(Ranged)

class TestFirstPage : public QObject {
    Q_OBJECT

    // Rows for a file with classic tables and the same with object streams.
    static void bothKindsOfTable()
    {
        QTest::addColumn<bool>("objectStreams");
        QTest::newRow("classic table") << false;
        QTest::newRow("object streams") << true;
    }
    QTemporaryDir dir;

    QString file(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("document.pdf"));
        QFile::remove(path);
        testpdfs::writeBytes(path, bytes);
        return path;
    }

private slots:
    void samePageOne_data()
    {
        const Objects pages = twoPages();
        const QByteArray one = "page one", two = "page two";
        table<Shape>({
            {"inherited attributes", {handWritten({pages}), true, one}},
            {"nested tree, media box from the nearer node",
             {handWritten({with(pages, {{2, "<< /Type /Pages /Kids [8 0 R 5 0 R] /Count 2 /MediaBox [0 0 595 842]"
                                            " /Resources << /Font << /F1 7 0 R >> >> >>"},
                                        {8, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R] /Count 1"
                                            " /MediaBox [0 0 612 792] >>"}})}),
              true, one}},
            {"empty first branch",
             {handWritten({with(pages, {{2, "<< /Type /Pages /Kids [9 0 R 5 0 R 3 0 R] /Count 2"
                                            " /MediaBox [0 0 595 842] /Resources << /Font << /F1 7 0 R >> >> >>"},
                                        {9, "<< /Type /Pages /Parent 2 0 R /Kids [] /Count 0 >>"}})}),
              true, two}},
            {"update replaces page 1's content",
             {handWritten({pages, {{4, stream("BT /F1 12 Tf 72 700 Td (page one, amended) Tj ET")}}}), true,
              "page one, amended"}},
            {"update of another page", {handWritten({pages, {{6, stream("(two)")}}}), true, one}},
            {"written by qpdf", {rewritten(handWritten({pages}), false), true, one}},
            {"object streams", {rewritten(handWritten({pages}), true), true, one}},
            {"object streams, then a classic update", {classicUpdate(rewritten(handWritten({pages}), true)), false, one}},
            {"object streams, locked", {rewritten(handWritten({pages}), true, true), false, one}},
            {"entries one byte short", {handWritten({pages}, 19), false, one}},
            {"entry beside its object", {handWritten({pages}, 20, 4), false, one}},
            {"entry of page 1 pointing at page 2", {entryPointingElsewhere(handWritten({pages}), 3, 5), false, one}},
            {"4,000 subsections", {handWritten({padded(pages, 4000)}), true, one}},
            {"more subsections than are looked through", {handWritten({padded(pages, 4100)}), false, one}},
            {"no table at startxref", {handWritten({pages}).replace("startxref\n", "startxref\n1"), false, one}},
        });
    }

    void samePageOne()
    {
        const Shape row = fetch<Shape>();
        const QString path = file(row.pdf);
        QCOMPARE(firstPageInput(openInputSource(path)) != nullptr, row.shortWay);

        auto whole = openPdf(path);
        auto quick = openPdfForFirstPage(path);
        const QString expected = pageOne(*whole);
        QVERIFY2(expected.contains(row.content), qPrintable(expected));
        QCOMPARE(pageOne(*quick), expected);
        QCOMPARE(TaskManager::readDocument(path).ok(), true);
    }

    // The table added for the file read last is used again for that file
    // as it was; rewritten in place, with the same length but its objects
    // elsewhere, page 1 is still what the file now holds.
    void changedFileReadAfresh()
    {
        const QString path = dir.filePath(QStringLiteral("changing.pdf"));
        const QByteArray before = handWritten({twoPages()}) + QByteArray(8, ' ');
        const QByteArray after =
            handWritten({with(twoPages(), {{4, stream("BT /F1 12 Tf 72 700 Td (page ONE, longer) Tj ET")}})});
        QCOMPARE(after.size(), before.size());
        for (const QByteArray& bytes : {before, before, after, after, before}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite)); // the same inode, written over
            QCOMPARE(file.write(bytes), bytes.size());
            file.close();
            const bool one = bytes.contains("page one");
            QVERIFY2(pageOne(*openPdfForFirstPage(path)).contains(one ? "page one" : "page ONE"),
                     qPrintable(pageOne(*openPdfForFirstPage(path))));
        }
    }

    // Any byte of a file spoiled, or the file cut short anywhere: the short
    // way declines or finds what reading the whole file finds.
    void damagedFilesReadAsWhole()
    {
        const QByteArray pdf = handWritten({twoPages(), {{4, stream("(amended)")}}});
        auto answer = [](const std::function<std::shared_ptr<QPDF>()>& open) {
            try {
                auto document = open();
                return pageOne(*document);
            } catch (const std::exception& e) {
                return QStringLiteral("fails");
            }
        };
        int shortWays = 0;
        for (qsizetype at = 0; at < pdf.size(); ++at) {
            for (const QByteArray& spoilt : {pdf.left(at), QByteArray(pdf).replace(at, 1, "x")}) {
                const QString path = file(spoilt);
                if (firstPageInput(openInputSource(path)))
                    ++shortWays;
                const QString whole = answer([&] { return openPdf(path); });
                const QString quick = answer([&] { return openPdfForFirstPage(path); });
                if (whole != "fails")
                    QVERIFY2(quick == whole, qPrintable(QStringLiteral("byte %1: %2 / %3").arg(at).arg(quick, whole)));
            }
        }
        QVERIFY(shortWays > 0);
    }

    // A long flat tree: page 1 is found among the first kids, and what lies
    // beyond it is not read.
    void longDocumentReadsOnlyPageOne_data() { bothKindsOfTable(); }

    void longDocumentReadsOnlyPageOne()
    {
        QFETCH(bool, objectStreams);
        const QString path = dir.filePath(QStringLiteral("long.pdf"));
        QVERIFY(testpdfs::writeNumbered(path, 300));
        if (objectStreams)
            QVERIFY(testpdfs::writeBytes(path, rewritten(bytesOf(path), true)));
        QVERIFY(firstPageInput(openInputSource(path)));
        auto quick = openPdfForFirstPage(path);
        auto page = PageTreeHelper(*quick).firstPage();
        QVERIFY(page);
        QVERIFY(QString::fromLatin1(streamData(page->getObjectHandle().getKey("/Contents"))).contains("Page 1"));
        // The tree's node lists the kids up to page 1 only.
        QCOMPARE(quick->getRoot().getKey("/Pages").getKey("/Kids").getArrayNItems(), 1);
        QCOMPARE(testpdfs::pageCount(path), 300);
    }

    // qpdf finds line ends through the source (the "xref" line, the
    // trailer): every kind of source skips all of a line end, also where it
    // is split between two reads, or between the file and the added table.
    void lineEndsSkippedWhole_data()
    {
        QTest::addColumn<QByteArray>("fileBytes");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("fromMemory");
        QTest::addColumn<int>("lineEnd");
        const QByteArray chunk(4095, 'x');
        QTest::newRow("memory") << chunk + "\r\nnext" << QByteArray() << true << 4095;
        QTest::newRow("file, split between two reads") << chunk + "\r\nnext" << QByteArray() << false << 4095;
        QTest::newRow("file, three line-end bytes") << QByteArray("ab\n\r\nnext") << QByteArray() << false << 2;
        QTest::newRow("file and table, split between two reads") << chunk + "\r\nnext" << QByteArray("") << false << 4095;
        QTest::newRow("file and table, split between them") << QByteArray("abc\r") << QByteArray("\nnext") << false << 3;
        QTest::newRow("in the table") << QByteArray("abc") << QByteArray("def\r\nnext") << false << 6;
    }

    void lineEndsSkippedWhole()
    {
        QFETCH(QByteArray, fileBytes);
        QFETCH(QByteArray, tail);
        QFETCH(bool, fromMemory);
        QFETCH(int, lineEnd);
        const QString path = file(fileBytes);
        std::shared_ptr<InputSource> in = fromMemory ? openInputSource(path, fileBytes) : openInputSource(path);
        if (QByteArray(QTest::currentDataTag()).contains("table"))
            in = openInputSource(in, tail);
        char first = 0;
        QCOMPARE(in->read(&first, 1), size_t(1));
        const qpdf_offset_t lastRead = in->getLastOffset();
        in->seek(0, SEEK_SET);
        QCOMPARE(in->findAndSkipNextEOL(), qpdf_offset_t(lineEnd));
        QCOMPARE(in->getLastOffset(), lastRead); // qpdf's own sources leave it too
        char rest[8] = {};
        QCOMPARE(in->read(rest, 4), size_t(4));
        QCOMPARE(QByteArray(rest), QByteArray("next"));
    }

    void rangesAsTheWholeDocument_data()
    {
        const Objects pages = twoPages();
        table<Ranged>({
            {"inherited attributes", {handWritten({pages}), 2}},
            {"three levels, attributes from each", {handWritten({threeLevels()}), 3}},
            {"empty branch first", {handWritten({with(pages, {{2, "<< /Type /Pages /Kids [9 0 R 5 0 R 3 0 R] /Count 2"
                                                                 " /MediaBox [0 0 595 842] /Resources << /Font << /F1 7 0 R >> >> >>"},
                                                             {9, "<< /Type /Pages /Parent 2 0 R /Kids [] /Count 0 >>"}})}),
                                    2}},
            {"update replaces page 2", {handWritten({pages, {{6, stream("BT /F1 12 Tf 72 700 Td (two, amended) Tj ET")}}}), 2}},
            {"written by qpdf", {rewritten(handWritten({threeLevels()}), false), 3}},
            {"object streams", {rewritten(handWritten({pages}), true), 2}},
            {"table stream", {tableStream(pages), 2}},
            {"table stream with data to spare", {tableStream(pages, 7), -1}},
            {"table stream with an unknown type", {tableStream(pages, 0, 3), -1}},
            {"table stream whose length leaves bytes before endstream", {tableStream(pages, 3, 1, -3), -1}},
            {"object streams, three levels", {rewritten(handWritten({threeLevels()}), true), 3}},
            {"object streams, then a classic update", {classicUpdate(rewritten(handWritten({pages}), true)), -1}},
            {"a page listed twice", {handWritten({with(pages, {{2, "<< /Type /Pages /Kids [3 0 R 5 0 R 3 0 R] /Count 3"
                                                                  " /MediaBox [0 0 595 842] /Resources << /Font << /F1 7 0 R >> >> >>"}})}),
                                     -1}},
            {"a loop in the tree", {handWritten({with(threeLevels(), {{10, "<< /Type /Pages /Parent 8 0 R /Kids [5 0 R 8 0 R] /Count 1 >>"}})}), -1}},
            {"a page as the root of the tree", {handWritten({with(pages, {{1, "<< /Type /Catalog /Pages 3 0 R >>"}})}), -1}},
            {"a page without its type", {handWritten({with(pages, {{5, "<< /Parent 2 0 R /Contents 6 0 R >>"}})}), -1}},
            {"a kid that is missing", {handWritten({with(pages, {{2, "<< /Type /Pages /Kids [3 0 R 50 0 R 5 0 R] /Count 3"
                                                                    " /MediaBox [0 0 595 842] /Resources << /Font << /F1 7 0 R >> >> >>"}})}),
                                       -1}},
        });
    }

    // Every range of pages read alone shows what the whole file shows on
    // those pages, and nothing more.
    void rangesAsTheWholeDocument()
    {
        const Ranged row = fetch<Ranged>();
        const QString path = file(row.pdf);
        auto ranges = PageRanges::index(openInputSource(path), openInputSource(path));
        QCOMPARE(ranges ? ranges->pageCount() : -1, row.pages);
        const auto indexed = TaskManager::indexPages(path);
        QCOMPARE(indexed ? indexed->pageCount : -1, row.pages);
        if (!ranges)
            return;
        const QStringList expected = wholePages(path);
        QCOMPARE(expected.size(), row.pages);
        for (int count = 1; count <= row.pages; ++count)
            for (int first = 0; first + count <= row.pages; ++first)
                QCOMPARE(rangeShown(*ranges, path, first, count), expected.mid(first, count));
        QCOMPARE(rangeShown(*ranges, path, row.pages - 1, 2), QStringList{"declined"}); // beyond the end
    }

    // Any byte of a file spoiled, or the file cut short anywhere: the index
    // declines, or each range it reads finds what reading the whole file
    // finds (or declines).
    void damagedFilesInRanges_data() { bothKindsOfTable(); }

    void damagedFilesInRanges()
    {
        QFETCH(bool, objectStreams);
        const QByteArray written = handWritten({threeLevels(), {{6, stream("(amended)")}}});
        const QByteArray pdf = objectStreams ? rewritten(written, true) : written;
        int indexed = 0;
        for (qsizetype at = 0; at < pdf.size(); ++at) {
            for (const QByteArray& spoilt : {pdf.left(at), QByteArray(pdf).replace(at, 1, "x")}) {
                const QString path = file(spoilt);
                auto ranges = PageRanges::index(openInputSource(path), openInputSource(path));
                if (!ranges)
                    continue;
                ++indexed;
                const QStringList expected = wholePages(path);
                for (int first = 0; first < ranges->pageCount(); ++first) {
                    const QStringList quick = rangeShown(*ranges, path, first, ranges->pageCount() - first);
                    if (quick != QStringList{"declined"} && expected != QStringList{"fails"})
                        QVERIFY2(quick == expected.mid(first, ranges->pageCount() - first),
                                 qPrintable(QStringLiteral("byte %1, from page %2: %3 / %4")
                                                .arg(at)
                                                .arg(first + 1)
                                                .arg(quick.join(" ; "), expected.join(" ; "))));
                }
            }
        }
        QVERIFY(indexed > 0);
    }

    void longDocumentInRanges_data() { bothKindsOfTable(); }

    // A range of a long flat tree: the node lists the range's pages alone.
    void longDocumentInRanges()
    {
        QFETCH(bool, objectStreams);
        const QString path = dir.filePath(QStringLiteral("long.pdf"));
        QVERIFY(testpdfs::writeNumbered(path, 300));
        if (objectStreams)
            QVERIFY(testpdfs::writeBytes(path, rewritten(bytesOf(path), true)));
        auto ranges = PageRanges::index(openInputSource(path), openInputSource(path));
        QVERIFY(ranges);
        QCOMPARE(ranges->pageCount(), 300);
        auto in = ranges->input(openInputSource(path), openInputSource(path), 150, 10);
        QVERIFY(in);
        auto pdf = openPdf(in);
        QCOMPARE(pdf->getRoot().getKey("/Pages").getKey("/Kids").getArrayNItems(), 10);
        auto pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        QCOMPARE(int(pages.size()), 10);
        QVERIFY(streamData(pages.front().getObjectHandle().getKey("/Contents")).contains("Page 151"));
        QVERIFY(streamData(pages.back().getObjectHandle().getKey("/Contents")).contains("Page 160"));
        // A file changed since it was indexed is not read in ranges.
        QFile grown(path);
        QVERIFY(grown.open(QIODevice::Append));
        grown.write("\n% appended\n");
        grown.close();
        QVERIFY(!ranges->input(openInputSource(path), openInputSource(path), 150, 10));
    }

    // Ranges merged alone, with every stationery page and both offsets,
    // look page for page as the whole merge: the start page on page 1 only,
    // the terms page after the last range only.
    void mergedRangesAsTheWholeMerge_data()
    {
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("objectStreams");
        QTest::newRow("behind, A4") << false << int(FormatA4) << false;
        QTest::newRow("over, the document's own size") << true << int(MergeRequest::FormatOfDocument) << false;
        QTest::newRow("object streams") << false << int(FormatA4) << true;
    }

    void mergedRangesAsTheWholeMerge()
    {
        QFETCH(bool, overlay);
        QFETCH(int, format);
        QFETCH(bool, objectStreams);
        const QString document = dir.filePath(QStringLiteral("letter.pdf"));
        QVERIFY(testpdfs::writeNumbered(document, 7, QSizeF(500, 700)));
        if (objectStreams)
            QVERIFY(testpdfs::writeBytes(document, rewritten(bytesOf(document), true)));
        MergeRequest r;
        r.documentPath = document;
        const char* marks[] = {"1 0 0 rg 0 0 60 60 re f", "0 1 0 rg 0 0 60 60 re f", "0 0 1 rg 0 0 500 700 re f"};
        std::optional<QString>* paths[] = {&r.startPagePath, &r.continuationPagePath, &r.termsPagePath};
        for (int i = 0; i < 3; ++i) {
            *paths[i] = dir.filePath(QStringLiteral("stationery-%1.pdf").arg(i));
            QVERIFY(testpdfs::writeRaw(**paths[i], marks[i]));
        }
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        r.stationeryIsOverlay = overlay;
        r.firstPageOffsetX = 20;
        r.firstPageOffsetY = -30;
        r.continuationOffsetX = -10;
        r.continuationOffsetY = 40;
        r.documentFormat = std::uint8_t(format);
        const auto whole = TaskManager::mergeToBytes(r);
        QVERIFY2(whole.ok(), qPrintable(whole.error));
        const QString wholePath = file(*whole.value);
        QCOMPARE(testpdfs::pageCount(wholePath), 8);
        const auto pages = TaskManager::indexPages(document);
        QVERIFY(pages);
        QCOMPARE(pages->pageCount, 7);
        const QString rangePath = dir.filePath(QStringLiteral("range.pdf"));
        for (const int size : {1, 3, 7}) {
            for (int first = 0; first < 7; first += size) {
                const int count = std::min(size, 7 - first);
                bool declined = true;
                const auto range = TaskManager::mergeRange(r, *pages, first, count, &declined);
                QVERIFY2(range.ok() && !declined, qPrintable(range.error));
                QVERIFY(testpdfs::writeBytes(rangePath, *range.value));
                const int shown = count + (first + count == 7 ? 1 : 0);
                QCOMPARE(testpdfs::pageCount(rangePath), shown);
                for (int k = 0; k < shown; ++k)
                    QVERIFY2(render(rangePath, k) == render(wholePath, first + k),
                             qPrintable(QStringLiteral("page %1 in a range of %2").arg(first + k + 1).arg(size)));
            }
        }
        bool declined = false;
        QCOMPARE(TaskManager::mergeRange(r, *pages, 5, 3, &declined).code, ErrorCode::NoPages);
        QVERIFY(!declined);
    }

    void lockedDocument_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::newRow("right password") << "letter" << int(ErrorCode::None);
        QTest::newRow("wrong password") << "letters" << int(ErrorCode::PasswordProtected);
        QTest::newRow("no password") << "" << int(ErrorCode::PasswordProtected);
    }

    void lockedDocument()
    {
        QFETCH(QString, password);
        QFETCH(int, code);
        const QString path = dir.filePath(QStringLiteral("locked.pdf"));
        QVERIFY(testpdfs::writeEncrypted(path, QStringLiteral("letter"), QStringLiteral("owner")));
        QVERIFY(firstPageInput(openInputSource(path)));
        const auto read = TaskManager::readDocument(path, password);
        QCOMPARE(int(read.code), code);
        if (read.ok())
            QCOMPARE(read.value->width, 595);
        // In ranges too: the password is asked for, never taken as a file
        // that cannot be read in ranges.
        const auto pages = TaskManager::indexPages(path);
        QVERIFY(pages);
        MergeRequest r;
        r.documentPath = path;
        r.documentPassword = password;
        bool declined = true;
        const auto range = TaskManager::mergeRange(r, *pages, 0, 1, &declined);
        QCOMPARE(int(range.code), code);
        QVERIFY(!declined);
    }
};

QTEST_MAIN(TestFirstPage)
#include "tst_pdf_firstpage.moc"
