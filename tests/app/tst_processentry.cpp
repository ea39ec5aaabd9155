#include "app/ProcessEntry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>

using namespace quillary;

class TestProcessEntry : public QObject {
    Q_OBJECT

private slots:
    void runMode_data();
    void runMode();
    void echoPrintsEveryArgumentOnItsOwnLine();
    void clearUserDefaultsRemovesEverySetting();

private:
    QTemporaryDir dir;
};

void TestProcessEntry::runMode_data()
{
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("printed.pdf"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString missing = dir.filePath(QStringLiteral("missing.pdf"));

    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<RunMode>("expected");

    QTest::newRow("no argument") << QStringList{"quillary"} << RunMode::Management;
    QTest::newRow("existing file") << QStringList{"quillary", file} << RunMode::PrintService;
    QTest::newRow("existing directory") << QStringList{"quillary", dir.path()} << RunMode::PrintService;
    QTest::newRow("missing path") << QStringList{"quillary", missing} << RunMode::Management;
    QTest::newRow("empty argument") << QStringList{"quillary", ""} << RunMode::Management;
    QTest::newRow("only the first argument counts (missing, then existing)")
        << QStringList{"quillary", missing, file} << RunMode::Management;
    QTest::newRow("only the first argument counts (existing, then missing)")
        << QStringList{"quillary", file, missing} << RunMode::PrintService;
    QTest::newRow("relative path") << QStringList{"quillary", QDir::current().relativeFilePath(file)}
                                   << RunMode::PrintService;
}

void TestProcessEntry::runMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(RunMode, expected);
    QCOMPARE(chooseRunMode(arguments), expected);
}

void TestProcessEntry::echoPrintsEveryArgumentOnItsOwnLine()
{
    std::FILE* out = std::tmpfile();
    QVERIFY(out);
    echoArguments({"/usr/bin/quillary", "/tmp/a b.pdf", "Straße", ""}, out);
    std::rewind(out);
    QByteArray text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
        text.append(buffer, static_cast<qsizetype>(n));
    std::fclose(out);
    QCOMPARE(QString::fromLocal8Bit(text), QStringLiteral("/usr/bin/quillary\n/tmp/a b.pdf\nStraße\n\n"));
}

void TestProcessEntry::clearUserDefaultsRemovesEverySetting()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    {
        QSettings settings(QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER));
        settings.setValue("window/geometry", 42);
        settings.setValue("lastTemplate", "Invoice");
        settings.sync();
        QCOMPARE(settings.allKeys().size(), 2);
    }
    clearUserDefaults();
    QSettings reread(QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER));
    QVERIFY(reread.allKeys().isEmpty());
}

QTEST_GUILESS_MAIN(TestProcessEntry)
#include "tst_processentry.moc"
