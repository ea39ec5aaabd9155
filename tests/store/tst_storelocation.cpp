// Where the store lives, worked out without a store: the same folder a store
// then works in, and nothing made on the way.

#include "pdf/PlainLines.h"
#include "store/StoreLocation.h"

#include <QtTest>

using namespace quillary;

namespace {
// configured: StoreConfig::directory ("" the default place); link: make it a
// link to a folder first; home: HOME is set.
struct Place { QString configured; bool link; bool home; };
} // namespace

class TestStoreLocation : public QObject {
    Q_OBJECT

private slots:
    void sameAsTheStore_data()
    {
        QTest::addColumn<Place>("row");
        QTest::newRow("default place under XDG_DATA_HOME") << Place{"", false, true};
        QTest::newRow("default place, a link to a folder") << Place{"", true, true};
        QTest::newRow("configured folder") << Place{"configured/store", false, true};
        QTest::newRow("configured link to a folder") << Place{"configured/linked", true, true};
        QTest::newRow("no HOME: no place") << Place{"", false, false};
    }
    void sameAsTheStore()
    {
        const Place row = *static_cast<Place*>(QTest::qData("row", qMetaTypeId<Place>()));
        QTemporaryDir dir;
        const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", row.home ? dir.path().toUtf8() : QByteArray());
        qputenv("XDG_DATA_HOME", row.home ? dir.filePath("data").toUtf8() : QByteArray());
        StoreConfig config;
        if (!row.configured.isEmpty())
            config.directory = dir.filePath(row.configured);
        const QString requested = row.configured.isEmpty() ? dir.filePath("data/" QUILLARY_BUNDLE_IDENTIFIER)
                                                           : config.directory;
        if (row.link) {
            QVERIFY(QDir().mkpath(dir.filePath("elsewhere")) && QDir().mkpath(QFileInfo(requested).path()));
            QVERIFY(QFile::link(dir.filePath("elsewhere"), requested));
        }

        const QString location = storeDirectoryLocation(config);
        // Nothing made: no folder where there was none, nothing in a linked one.
        QCOMPARE(QFileInfo(requested).isSymLink() || QFileInfo::exists(requested), row.link);
        QCOMPARE(QDir(dir.filePath("elsewhere")).isEmpty(), true);

        const ScopedPlainLineSink quiet{PlainLineSink()};
        CustomFileManager store(config);
        QCOMPARE(location, store.storeDirectory());
        QCOMPARE(location.isEmpty(), !row.home);
        qputenv("HOME", home);
        qputenv("XDG_DATA_HOME", dataHome);
    }
};

QTEST_GUILESS_MAIN(TestStoreLocation)
#include "tst_storelocation.moc"
