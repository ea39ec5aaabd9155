// The process entry: which mode the arguments choose, what a path that names
// no document gets (an alert naming it, status 1, no window), the echoed
// arguments, the cleared user defaults, and on a fresh machine the store
// created with the default template, whose start page is the bundled
// letterhead as a real file.

#include "app/ProcessEntry.h"
#include "support/RecordingUi.h"
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
    // The arguments after the program path ("FILE", "DIR", "MISSING",
    // "LINK-TO-DIR", "DANGLING", "RELATIVE" stand for such paths), the mode,
    // and for a path that names no document the alert's text ("%1": the path).
    void runModeFollowsTheFirstArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("alert");
        const int management = int(RunMode::Management), service = int(RunMode::PrintService), none = int(RunMode::NoDocument);
        QTest::newRow("no argument") << QStringList{} << management << "";
        QTest::newRow("empty argument") << QStringList{""} << management << "";
        QTest::newRow("a file") << QStringList{"FILE"} << service << "";
        QTest::newRow("relative path of a file") << QStringList{"RELATIVE"} << service << "";
        QTest::newRow("only the first counts") << QStringList{"FILE", "MISSING"} << service << "";
        QTest::newRow("missing") << QStringList{"MISSING"} << none << "\"%1\" does not exist.";
        QTest::newRow("missing first, a file after") << QStringList{"MISSING", "FILE"} << none << "\"%1\" does not exist.";
        QTest::newRow("link to nothing") << QStringList{"DANGLING"} << none << "\"%1\" does not exist.";
        QTest::newRow("a folder") << QStringList{"DIR"} << none << "\"%1\" is a folder, not a PDF document.";
        QTest::newRow("link to a folder") << QStringList{"LINK-TO-DIR"} << none << "\"%1\" is a folder, not a PDF document.";
    }
    void runModeFollowsTheFirstArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(QString, alert);
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("printed.pdf"), folder = dir.filePath("folder");
        QVERIFY(QFile(file).open(QIODevice::WriteOnly) && QDir().mkpath(folder));
        QFile::link(folder, dir.filePath("to-folder"));
        QFile::link(dir.filePath("nothing"), dir.filePath("dangling"));
        const QMap<QString, QString> paths{{"FILE", file}, {"DIR", folder}, {"MISSING", dir.filePath("missing.pdf")},
                                           {"LINK-TO-DIR", dir.filePath("to-folder")}, {"DANGLING", dir.filePath("dangling")},
                                           {"RELATIVE", QDir::current().relativeFilePath(file)}};
        for (QString& argument : arguments)
            argument = paths.value(argument, argument);
        arguments.prepend("quillary");

        QCOMPARE(int(chooseRunMode(arguments)), mode);
        if (mode != int(RunMode::NoDocument))
            return;
        RecordingUi ui;
        refuseDocument(arguments.at(1));
        // The alert names the path as given, and the process ends with 1;
        // nothing else happens (no window: nothing else goes through the seam).
        QCOMPARE(ui.alerts(), QStringList{"Quillary cannot open this document|" + alert.arg(arguments.at(1))});
        QCOMPARE(ui.kinds(), (QStringList{"alert", "exit"}));
        QCOMPARE(ui.exitStatus, std::optional<int>(1));
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
