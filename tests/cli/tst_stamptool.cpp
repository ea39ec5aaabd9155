// quillary-stamp run as a program on real files; results read back with qpdf.

#include "cli_test_store.h"

#include "pdf/TaskManager.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace quillary;

namespace {

std::string pageContents(const QString& path, int index)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    Pl_Buffer buffer("contents");
    QPDFPageDocumentHelper(pdf).getAllPages().at(index).pipeContents(&buffer);
    auto data = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

} // namespace

class StampToolTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void templateStamp();
    void passwords();
    void failures_data();
    void failures();

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString store() const { return path("data/" QUILLARY_BUNDLE_IDENTIFIER); }
    int run(const QStringList& arguments, QString* out = nullptr, QString* err = nullptr)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir->path());
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir->path());
        process.start(QUILLARY_STAMP_BINARY, arguments);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    std::unique_ptr<QTemporaryDir> dir;
};

void StampToolTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(clitest::writeStore(store()));
    QVERIFY(clitest::writeStationery(path("s.pdf")));
    QVERIFY(testpdfs::writeNumbered(path("doc.pdf"), 3));
}

void StampToolTest::templateStamp()
{
    QString out, err;
    QCOMPARE(run({"--list-templates"}, &out, &err), 0);
    QCOMPARE(out, "Behind\tDIN A4\tenabled\nOver\tUS Letter\tdisabled\n");
    QVERIFY2(err.isEmpty(), qPrintable(err));

    const QString first = "-10.1,12", later = "0.3,-7.7";
    QCOMPARE(run({"-t", "Behind", "--first-offset", first, "--offset", later, "--title", "Angebot", "--author",
                  "A. Person", "doc.pdf", "cli.pdf"}, &out, &err), 0);
    QVERIFY2(err.isEmpty() && out.isEmpty(), qPrintable(err + out));
    QCOMPARE(testpdfs::pageCount(path("cli.pdf")), 3);
    for (int p = 0; p < 3; ++p)
        QCOMPARE(testpdfs::mediaBox(path("cli.pdf"), p), QRectF(0, 0, 595, 842));
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path("cli.pdf")).constData());
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    QCOMPARE(info.getKey("/Title").getUTF8Value(), std::string("Angebot"));
    QCOMPARE(info.getKey("/Author").getUTF8Value(), std::string("A. Person"));
    QCOMPARE(info.getKey("/Creator").getUTF8Value(), std::string("Quillary"));

    // The application hands the engine each typed number as a float times 17/6.
    auto mm = [](const QString& pair, int i) { return static_cast<double>(pair.section(',', i, i).toFloat()) * 17 / 6; };
    const MergeRequest app{.documentPath = path("doc.pdf"), .outputPath = path("app.pdf"),
        .startPagePath = store() + "/tempf00.pdf", .continuationPagePath = store() + "/temp00.pdf",
        .options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}, {SaveOptions::PASSWORD, ""}},
        .useStartPage = true, .useContinuationPage = true, .firstPageOffsetY = mm(first, 1),
        .firstPageOffsetX = mm(first, 0), .continuationOffsetY = mm(later, 1), .continuationOffsetX = mm(later, 0)};
    TaskManager::documentFormat = TaskManager::pageFormat(595, 842).formatCode;
    const Result merged = TaskManager::mergeDocument(app);
    QVERIFY2(merged.ok(), qPrintable(merged.error));
    for (int p = 0; p < 3; ++p)
        QCOMPARE(pageContents(path("cli.pdf"), p), pageContents(path("app.pdf"), p));
}

void StampToolTest::passwords()
{
    QCOMPARE(run({"--start", "s.pdf", "--password", "u1", "--forbid-print", "--owner-password", "o2", "doc.pdf",
                  "out.pdf"}), 0);
    QCOMPARE(testpdfs::pageCount(path("out.pdf")), -1);
    QCOMPARE(testpdfs::pageCount(path("out.pdf"), "u1"), 3);
    QPDF user, owner;
    user.processFile(QFile::encodeName(path("out.pdf")).constData(), "u1");
    QVERIFY(!user.allowPrintLowRes() && !user.allowExtractAll() && !user.ownerPasswordMatched());
    owner.processFile(QFile::encodeName(path("out.pdf")).constData(), "o2");
    QVERIFY(owner.ownerPasswordMatched());
}

void StampToolTest::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named"); // the file the message names

    QTest::newRow("missing document") << QStringList{"--start", "s.pdf", "none.pdf", "out.pdf"} << "none.pdf";
    QTest::newRow("unreadable document") << QStringList{"--start", "s.pdf", "bad.pdf", "out.pdf"} << "bad.pdf";
    QTest::newRow("unreadable stationery") << QStringList{"--terms", "bad.pdf", "doc.pdf", "out.pdf"} << "bad.pdf";
    QTest::newRow("unwritable output") << QStringList{"--start", "s.pdf", "doc.pdf", "/proc/out.pdf"} << "/proc/out.pdf";
}

void StampToolTest::failures()
{
    QFETCH(QStringList, arguments); QFETCH(QString, named);
    QVERIFY(testpdfs::writeBytes(path("bad.pdf"), "%PDF-1.4\nno PDF at all\n"));
    QVERIFY(testpdfs::writeBytes(path("out.pdf"), "an earlier output"));
    const QStringList before = QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QString out, err;
    QCOMPARE(run(arguments, &out, &err), 1);
    QVERIFY2(err.startsWith("quillary-stamp: ") && err.count('\n') == 1 && err.contains(named), qPrintable(err));
    QFile old(path("out.pdf"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("an earlier output"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

QTEST_MAIN(StampToolTest)
#include "tst_stamptool.moc"
