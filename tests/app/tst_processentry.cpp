// The process entry: which mode the arguments choose, the echoed arguments,
// the cleared user defaults, and on a fresh machine the store created with the
// default template, whose start page is the bundled letterhead as a real file.

#include "app/ProcessEntry.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using namespace quillary;

class TestProcessEntry : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void runModeFollowsTheFirstArgument()
    {
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("printed.pdf")), missing = dir.filePath("missing.pdf");
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        const QList<std::pair<QStringList, RunMode>> modes{
            {{"quillary"}, RunMode::Management},
            {{"quillary", file}, RunMode::PrintService},
            {{"quillary", dir.path()}, RunMode::PrintService}, // a directory counts too
            {{"quillary", missing}, RunMode::Management},
            {{"quillary", ""}, RunMode::Management},
            {{"quillary", missing, file}, RunMode::Management}, // only the first counts
            {{"quillary", file, missing}, RunMode::PrintService},
            {{"quillary", QDir::current().relativeFilePath(file)}, RunMode::PrintService},
        };
        for (const auto& [arguments, mode] : modes)
            QVERIFY2(chooseRunMode(arguments) == mode, qPrintable(arguments.join(' ')));
    }

    void echoPrintsEveryArgumentOnItsOwnLine()
    {
        std::FILE* out = std::tmpfile();
        QVERIFY(out);
        echoArguments({"/usr/bin/quillary", "/tmp/a b.pdf", "Straße", ""}, out);
        std::rewind(out);
        QFile text;
        QVERIFY(text.open(out, QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(text.readAll()), QStringLiteral("/usr/bin/quillary\n/tmp/a b.pdf\nStraße\n\n"));
        text.close();
        std::fclose(out);
    }

    void firstStartCreatesTheDefaultTemplateAndClearsUserDefaults()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        QSettings(QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER)).setValue("window/geometry", 42); // written as it goes
        StoreConfig config;
        config.directory = dir.filePath("store");
        configureSharedStore(config);

        QCOMPARE(prepareProcess({"quillary"}), RunMode::Management);
        QVERIFY(QSettings(QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER)).allKeys().isEmpty());
        // Read back from the file: the default template's start page is a real A4 file.
        CustomFileManager store(config);
        const TemplateRecord record = store.templateNamed(QStringLiteral("Meine Vorlage 1")).value_or(TemplateRecord{});
        const QString startPage = store.pagePath(PageKind::Start, record.pageIndex(PageKind::Start).value_or(-1)).value_or("");
        const PageSize size = TaskManager::pageSize(startPage);
        QCOMPARE(TaskManager::pageFormat(size.width, size.height).formatCode, std::uint8_t(FormatA4));
        // The first-run guide's flag, as the default settings give it.
        QCOMPARE(store.pagePaths(StoreKey::FirstStart), QStringList{"Y"});
    }
};

QTEST_GUILESS_MAIN(TestProcessEntry)
#include "tst_processentry.moc"
