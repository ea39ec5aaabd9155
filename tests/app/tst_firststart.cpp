// The process entry on a fresh machine: the store is created with the default
// template, whose start page is the bundled letterhead stored as a real file.

#include "app/ProcessEntry.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

class TestFirstStart : public QObject {
    Q_OBJECT

private slots:
    void firstStartCreatesDefaultTemplateWithStoredStartPage();

private:
    QTemporaryDir home;
};

void TestFirstStart::firstStartCreatesDefaultTemplateWithStoredStartPage()
{
    QVERIFY(home.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath("config"));
    StoreConfig config;
    config.directory = home.filePath("store");
    configureSharedStore(config);

    QCOMPARE(prepareProcess({"quillary"}), RunMode::Management);

    CustomFileManager& store = sharedStore();
    QVERIFY(QFileInfo(home.filePath("store/settings.plist")).isFile());
    const auto record = store.templateNamed(QStringLiteral("Meine Vorlage 1"));
    QVERIFY(record && store.templatesNamed(record->name)->size() == 1);
    const auto index = record->pageIndex(PageKind::Start);
    QVERIFY(index.has_value());
    const auto startPage = store.pagePath(PageKind::Start, *index);
    QVERIFY(startPage.has_value());
    QVERIFY(QFileInfo(*startPage).isFile());
    // A real one-page A4 stationery file, and the record says A4.
    const PageSize size = TaskManager::pageSize(*startPage);
    QCOMPARE(TaskManager::pageFormat(size.width, size.height).formatCode, std::uint8_t(FormatA4));
    QCOMPARE(record->docFormat(), QStringLiteral("0"));
    QVERIFY(record->isActive());
    QVERIFY(record->lacksPage(PageKind::Continuation));

    // The first-run guide's flag, as the default settings give it, and once shown.
    QCOMPARE(store.pagePaths(StoreKey::FirstStart), QStringList{"Y"});
    QVERIFY(store.setPagePaths(StoreKey::FirstStart, {"N"}));
    CustomFileManager again(config);
    QCOMPARE(again.pagePaths(StoreKey::FirstStart), QStringList{"N"});
    QCOMPARE(again.templateRecords()->size(), 1);
}

QTEST_GUILESS_MAIN(TestFirstStart)
#include "tst_firststart.moc"
