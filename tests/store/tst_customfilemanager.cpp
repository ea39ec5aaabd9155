// The template store and the shared editing state.
// Every case runs in its own temporary store directory with a fixed clock and
// records the store's output lines instead of printing them.

#include "store/CustomFileManager.h"
#include "store/PropertyList.h"
#include "store/SharedData.h"
#include "support/TestPdfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quillary;

namespace {

const QString kTemplates = QStringLiteral("templateproperties");

QDateTime fixedNow()
{
    return QDateTime(QDate(2026, 12, 5), QTime(12, 0));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions ownerOnlyDirectory = ownerOnlyFile | QFile::ExeOwner;

// The permission bits of owner, group and others (the "user" bits of Qt only
// repeat the owner's).
QFile::Permissions mode(const QString& path)
{
    return QFileInfo(path).permissions()
           & (ownerOnlyDirectory | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
              | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
}

QVariantMap entry(const QString& name, const QVariantMap& record)
{
    return QVariantMap{{name, record}};
}

QVariantMap record(const QString& front, const QString& secondary = QStringLiteral("X"),
                   const QString& terms = QStringLiteral("X"))
{
    return QVariantMap{
        {QStringLiteral("frontPage"), front},
        {QStringLiteral("secondaryPage"), secondary},
        {QStringLiteral("termsOfConditions"), terms},
        {QStringLiteral("lastActivityWithDate"), QStringLiteral("Created 01.01.26")},
        {QStringLiteral("isActive"), true},
        {QStringLiteral("docFormat"), QStringLiteral("0")},
        {QStringLiteral("isOverlay"), false},
    };
}

QStringList namesOf(const std::optional<QVariantList>& list)
{
    QStringList names;
    if (list)
        for (const QVariant& e : *list)
            names << e.toMap().firstKey();
    return names;
}

QVariantMap recordOf(const CustomFileManager& store, const QString& name)
{
    const auto named = store.templatesNamed(name);
    if (!named || named->isEmpty())
        return {};
    return named->first().toMap().value(name).toMap();
}

} // namespace

class TestCustomFileManager : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> temp;
    QString dir;          // the store directory (not created before the store runs)
    QString files;        // a place for source PDFs outside the store
    QStringList lines;    // what the store printed

    StoreConfig config()
    {
        StoreConfig c;
        c.directory = dir;
        c.clock = fixedNow;
        c.print = [this](const QString& line) { lines << line; };
        return c;
    }

    std::unique_ptr<CustomFileManager> open() { return std::make_unique<CustomFileManager>(config()); }

    // Writes a settings file into the store directory before the store starts.
    void writeSettings(const QVariantMap& dict)
    {
        QDir().mkpath(dir);
        QVERIFY(testpdfs::writeBytes(dir + "/settings.plist", writePropertyListXml(dict)));
    }

    // A store whose settings hold the given templates and no pages. (An empty
    // list gets the default template at start-up; it is removed again here.)
    std::unique_ptr<CustomFileManager> storeWith(const QVariantList& templates)
    {
        writeSettings(QVariantMap{
            {QStringLiteral("first_start"), QVariantList{QStringLiteral("N")}},
            {QStringLiteral("template"), QVariantList{}},
            {QStringLiteral("templatefirst"), QVariantList{}},
            {QStringLiteral("templateback"), QVariantList{}},
            {kTemplates, templates},
        });
        StoreConfig c = config();
        c.sampleLetterheadPath.clear();
        auto store = std::make_unique<CustomFileManager>(c);
        if (templates.isEmpty())
            store->deleteTemplate(QStringLiteral("Meine Vorlage 1"));
        lines.clear();
        return store;
    }

    QString pdf(const QString& name, QSizeF size = testpdfs::A4Whole)
    {
        const QString path = files + "/" + name;
        testpdfs::TestPage page;
        page.size = size;
        page.text = name;
        if (!testpdfs::writePdf(path, {page}))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QVariantMap onDisk() { return readPropertyListDictionary(readAll(dir + "/settings.plist")).value_or(QVariantMap()); }

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        dir = temp->filePath("Application Support/app.quillary.Quillary");
        files = temp->filePath("files");
        QDir().mkpath(files);
        lines.clear();
        SharedData::reset();
    }

    // ---- start-up ----

    void firstStartCreatesDirectorySettingsAndDefaultTemplate()
    {
        QVERIFY(!QFileInfo::exists(dir));
        auto store = open();
        QVERIFY(QFileInfo(dir).isDir());
        QCOMPARE(store->settingsPath(), dir + "/settings.plist");
        QVERIFY(QFileInfo(store->settingsPath()).isWritable());
        QVERIFY(!lines.contains("File exists"));

        const auto list = store->loadTemplateList();
        QVERIFY(list);
        QCOMPARE(namesOf(list), QStringList{"Meine Vorlage 1"});
        const QVariantMap r = recordOf(*store, "Meine Vorlage 1");
        QCOMPARE(referenceText(r.value("frontPage")), QStringLiteral("0"));
        QCOMPARE(referenceText(r.value("secondaryPage")), QStringLiteral("X"));
        QCOMPARE(referenceText(r.value("termsOfConditions")), QStringLiteral("X"));
        QCOMPARE(r.value("lastActivityWithDate").toString(), QStringLiteral("Created 05.12.26"));
        QCOMPARE(r.value("isActive").typeId(), QMetaType::Bool);
        QCOMPARE(r.value("isActive").toBool(), true);
        QCOMPARE(r.value("docFormat").toString(), QStringLiteral("0"));
        QCOMPARE(r.value("isOverlay").toBool(), false);

        // Its start page: the sample letterhead, one A4 page, entry 0 of "templatefirst".
        const auto start = store->pagePath(StoreKey::TemplateFirst, 0);
        QVERIFY(start);
        QCOMPARE(*start, dir + "/tempf00.pdf");
        QCOMPARE(testpdfs::pageCount(*start), 1);
        QCOMPARE(testpdfs::mediaBox(*start).size().toSize(), QSize(595, 842));

        // What the default settings file brings along.
        const QVariantMap saved = onDisk();
        QCOMPARE(saved.value("first_start").toList(), QVariantList{QStringLiteral("Y")});
        QCOMPARE(saved.value(kTemplates).toList().size(), 1);
    }

    void secondStartKeepsTheFile()
    {
        open();
        const QByteArray before = readAll(dir + "/settings.plist");
        lines.clear();
        auto again = open();
        QCOMPARE(lines.first(), QStringLiteral("File exists"));
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QCOMPARE(namesOf(again->loadTemplateList()), QStringList{"Meine Vorlage 1"});
    }

    void corruptSettingsAreMovedAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray binary = readAll(QStringLiteral(QUILLARY_TEST_DATA_DIR "/settings-binary.plist"));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated XML") << writePropertyListXml({{"templateproperties", QVariantList{}}}).left(120);
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x13\x37garbage\x00\x01", 14);
        QTest::newRow("binary header only") << QByteArray("bplist00");
        QTest::newRow("truncated binary list") << binary.left(binary.size() / 2);
        QTest::newRow("array root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
        QTest::newRow("string root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><string>a</string></plist>");
    }

    void corruptSettingsAreMovedAside()
    {
        QFETCH(QByteArray, bytes);
        QDir().mkpath(dir);
        QVERIFY(testpdfs::writeBytes(dir + "/settings.plist", bytes));
        auto store = open();
        const QString aside = dir + "/settings.plist.corrupt-20261205-120000";
        QVERIFY(QFileInfo(aside).isFile());
        QCOMPARE(readAll(aside), bytes);
        QVERIFY(lines.contains("Unreadable settings file moved to " + aside));
        // The store starts from the defaults, and they are on disk.
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"Meine Vorlage 1"});
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), QStringList{"Meine Vorlage 1"});
    }

    void corruptCopiesNeverOverwriteEachOther()
    {
        QDir().mkpath(dir);
        const QString base = dir + "/settings.plist.corrupt-20261205-120000";
        QVERIFY(testpdfs::writeBytes(base, "first"));
        QVERIFY(testpdfs::writeBytes(dir + "/settings.plist", "second"));
        open();
        QCOMPARE(readAll(base), QByteArray("first"));
        QCOMPARE(readAll(base + "-1"), QByteArray("second"));
        QVERIFY(lines.contains("Unreadable settings file moved to " + base + "-1"));
    }

    void settingsWeCannotOpenAreLeftAlone()
    {
        // A directory where the file belongs: there, but not readable as a file.
        QDir().mkpath(dir + "/settings.plist/inside");
        auto store = open();
        QVERIFY(lines.contains("Can't read settings file " + dir + "/settings.plist"));
        QVERIFY(!store->loadTemplateList());
        QVERIFY(QFileInfo(dir + "/settings.plist/inside").isDir());
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QVERIFY(!page);
        QVERIFY(!page.error.isEmpty());
        SharedData::startPagePath = pdf("b.pdf");
        QString error;
        QVERIFY(!store->saveTemplate("New", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(QDir(dir).entryList({"tempf*"}, QDir::Files), QStringList());
    }

    void settingsFromAnotherWriter_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("XML") << "settings-foreign.plist";
        QTest::newRow("binary") << "settings-binary.plist";
    }

    // Another property-list writer: <true/>, <integer>, dates, data and keys this
    // version does not use. Values and types survive a save.
    void settingsFromAnotherWriter()
    {
        QFETCH(QString, fixture);
        QDir().mkpath(dir);
        QVERIFY(QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/") + fixture, dir + "/settings.plist"));
        auto store = open();
        QCOMPARE(lines.first(), QStringLiteral("File exists"));
        QCOMPARE(QDir(dir).entryList({"*corrupt*"}), QStringList());
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"Briefpapier", "Rechnung"}));
        const QVariantMap brief = recordOf(*store, "Briefpapier");
        QCOMPARE(referenceIndex(brief.value("frontPage")), std::optional<int>(0));
        QCOMPARE(brief.value("isActive"), QVariant(true));
        QCOMPARE(referenceText(recordOf(*store, "Rechnung").value("isActive")), QStringLiteral("0"));
        QCOMPARE(recordOf(*store, "Rechnung").value("isOverlay"), QVariant(true));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 0), std::optional<QString>("/nonexistent/store/tempf00.pdf"));

        store->addTemplate(entry("Neu", record("X")));
        const QVariantMap saved = onDisk();
        QCOMPARE(namesOf(saved.value(kTemplates).toList()), (QStringList{"Neu", "Briefpapier", "Rechnung"}));
        QCOMPARE(saved.value("lastLaunch").typeId(), QMetaType::QDateTime);
        QCOMPARE(saved.value("lastLaunch").toDateTime(), QDateTime(QDate(2024, 2, 1), QTime(9, 30, 15), Qt::UTC));
        QCOMPARE(saved.value("windowState"), QVariant(QByteArray("\x00\x01\x02\xfe\xff", 5)));
        QCOMPARE(saved.value("launchCount"), QVariant(qlonglong(42)));
        QCOMPARE(saved.value("zoom"), QVariant(1.25));
        QCOMPARE(saved.value("showRulers"), QVariant(true));
        QCOMPARE(saved.value("recentDocuments").toList(), (QVariantList{"/a.pdf", "/b.pdf"}));
        QCOMPARE(saved.value("printer").toMap(), (QVariantMap{{"name", "Office"}, {"copies", qlonglong(2)}}));
        const QVariantMap savedBrief = saved.value(kTemplates).toList().at(1).toMap().value("Briefpapier").toMap();
        QCOMPARE(savedBrief.value("frontPage"), QVariant(qlonglong(0))); // still an integer
        QCOMPARE(savedBrief.value("colour"), QVariant(QStringLiteral("blue")));
    }

    // ---- legacy patterns ----

    void legacyFourFieldPatternsAreUpgradedAndConverted()
    {
        writeSettings(QVariantMap{
            {"templatepattern", QVariantMap{{"Alpha", "0-X-X-Created 01.02.19"}, {"Beta", "1-0-X-Updated 03.04.19"}}},
            {"templatefirst", QVariantList{"/a/tempf00.pdf", "/a/tempf01.pdf"}},
        });
        auto store = open();

        QCOMPARE(store->dictionary()->value("templatepattern"), QVariant(QVariantList{}));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"Alpha", "Beta"}));
        const QVariantMap beta = recordOf(*store, "Beta");
        QCOMPARE(beta.value("frontPage").toString(), QStringLiteral("1"));
        QCOMPARE(beta.value("secondaryPage").toString(), QStringLiteral("0"));
        QCOMPARE(beta.value("termsOfConditions").toString(), QStringLiteral("X"));
        QCOMPARE(beta.value("lastActivityWithDate").toString(), QStringLiteral("Updated 03.04.19"));
        QCOMPARE(beta.value("isActive"), QVariant(true));  // the appended 1
        QCOMPARE(beta.value("docFormat"), QVariant(QStringLiteral("0"))); // the appended 0
        QCOMPARE(beta.value("isOverlay"), QVariant(false)); // the appended 0
        QCOMPARE(onDisk().value(kTemplates).toList().size(), 2);

        // A second start changes nothing.
        const QByteArray before = readAll(dir + "/settings.plist");
        auto again = open();
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        again->convertLegacyPatterns();
        QCOMPARE(readAll(dir + "/settings.plist"), before);
    }

    void legacySevenFieldPatternConverts()
    {
        writeSettings(QVariantMap{{"templatepattern", QVariantMap{{"Seven", "1-X-X-Created 05.12.26-1-1-0"}}}});
        auto store = open();
        const QVariantMap r = recordOf(*store, "Seven");
        QCOMPARE(r.value("frontPage"), QVariant(QStringLiteral("1")));
        QCOMPARE(r.value("secondaryPage"), QVariant(QStringLiteral("X")));
        QCOMPARE(r.value("termsOfConditions"), QVariant(QStringLiteral("X")));
        QCOMPARE(r.value("lastActivityWithDate"), QVariant(QStringLiteral("Created 05.12.26")));
        QCOMPARE(r.value("isActive"), QVariant(true));
        QCOMPARE(r.value("docFormat"), QVariant(QStringLiteral("1")));
        QCOMPARE(r.value("isOverlay"), QVariant(false));
    }

    void legacyFiveAndSixFieldPatternsGetTheirMissingFields()
    {
        writeSettings(QVariantMap{{"templatepattern", QVariantMap{{"Five", "0-X-X-L-0"}, {"Six", "0-X-X-L-1-1"}}}});
        auto store = open();
        QCOMPARE(recordOf(*store, "Five").value("isActive"), QVariant(false));
        QCOMPARE(recordOf(*store, "Five").value("docFormat"), QVariant(QStringLiteral("0")));
        QCOMPARE(recordOf(*store, "Six").value("docFormat"), QVariant(QStringLiteral("1")));
        QCOMPARE(recordOf(*store, "Six").value("isOverlay"), QVariant(false));
    }

    void laterConversionKeepsTemplatesMadeSinceStartUp()
    {
        // An empty legacy dictionary does not count at start-up, so the default
        // template is made; a later conversion must not drop it.
        writeSettings(QVariantMap{{"templatepattern", QVariantMap{}}, {kTemplates, QVariantList{}}});
        auto store = open();
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"Meine Vorlage 1"});
        store->convertLegacyPatterns();
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"Meine Vorlage 1"});
        QCOMPARE(store->dictionary()->value("templatepattern"), QVariant(QVariantList{}));
    }

    // ---- templates ----

    void newTemplatesGoToTheFrontAndRenamingKeepsThePlace()
    {
        auto store = storeWith({entry("A", record("X")), entry("B", record("X"))});
        store->addTemplate(entry("C", record("X")));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"C", "A", "B"}));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), (QStringList{"C", "A", "B"}));

        store->replaceTemplate("A", "A2", entry("A", record("X")));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"C", "A2", "B"}));
        QCOMPARE(SharedData::templateName, QStringLiteral("A2"));
    }

    void toggleThroughReplaceWithEqualNames()
    {
        auto store = storeWith({entry("A", record("X")), entry("B", record("X"))});
        QVariantMap r = recordOf(*store, "B");
        r.insert("isActive", false);
        store->replaceTemplate("B", "B", entry("B", r));
        QCOMPARE(recordOf(*store, "B").value("isActive"), QVariant(false));
        QCOMPARE(referenceText(recordOf(*store, "B").value("isActive")), QStringLiteral("0"));
        QCOMPARE(SharedData::templateName, QStringLiteral("B"));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"A", "B"}));
    }

    void replacingAMissingTemplateWritesNothing()
    {
        auto store = storeWith({entry("A", record("X"))});
        const QByteArray before = readAll(dir + "/settings.plist");
        store->replaceTemplate("Nope", "Other", entry("Nope", record("X")));
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QCOMPARE(SharedData::templateName, QString());
    }

    void namesCompareExactly()
    {
        auto store = storeWith({entry("Brief", record("X"))});
        QVERIFY(store->templateExists("Brief"));
        QVERIFY(!store->templateExists("brief"));
        QVERIFY(!store->templateExists("Brief "));
        QVERIFY(!store->templateExists(""));
    }

    void deletingATemplateKeepsItsPages()
    {
        auto store = storeWith({});
        const auto page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QVERIFY(page);
        store->addTemplate(entry("A", record(QString::number(*page.index))));
        store->addTemplate(entry("B", record("X")));
        store->deleteTemplate("A");
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"B"});
        QVERIFY(QFileInfo::exists(dir + "/tempf00.pdf"));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 0), std::optional<QString>(dir + "/tempf00.pdf"));
    }

    void wrongTypesUnderEveryKey_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QStringList>("names");   // the template list as read
        QTest::addColumn<bool>("copyKept");        // the file was kept beside the store
        QTest::addColumn<bool>("importWorks");     // a start page can be added
        const QVariantMap rec = record("X");
        const QString byDefault = QStringLiteral("Meine Vorlage 1");
        QTest::newRow("template list is text")
            << QVariantMap{{kTemplates, "templates"}} << QStringList{byDefault} << true << true;
        QTest::newRow("template list is a dictionary")
            << QVariantMap{{kTemplates, QVariantMap{{"A", rec}}}} << QStringList{byDefault} << true << true;
        QTest::newRow("an element is text")
            << QVariantMap{{kTemplates, QVariantList{"not an entry", entry("Good", rec)}}}
            << QStringList{"Good"} << true << true;
        QTest::newRow("a name without a record")
            << QVariantMap{{kTemplates, QVariantList{QVariantMap{{"A", "B"}}}}} << QStringList{byDefault} << true << true;
        QTest::newRow("an entry with two keys")
            << QVariantMap{{kTemplates, QVariantList{QVariantMap{{"A", rec}, {"B", rec}}, entry("C", rec)}}}
            << QStringList{"A", "B", "C"} << false << true;
        QTest::newRow("start pages are text")
            << QVariantMap{{kTemplates, QVariantList{entry("A", rec)}}, {"templatefirst", "tempf00.pdf"}}
            << QStringList{"A"} << false << false;
        QTest::newRow("start pages hold a number")
            << QVariantMap{{kTemplates, QVariantList{entry("A", rec)}}, {"templatefirst", QVariantList{"/x/tempf00.pdf", 7}}}
            << QStringList{"A"} << false << false;
        QTest::newRow("legacy patterns are text")
            << QVariantMap{{"templatepattern", "0-X-X-L"}} << QStringList{byDefault} << false << true;
        QTest::newRow("a legacy pattern is a number")
            << QVariantMap{{"templatepattern", QVariantMap{{"A", 5}}}} << QStringList{byDefault} << false << true;
    }

    void wrongTypesUnderEveryKey()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QStringList, names);
        QFETCH(bool, copyKept);
        QFETCH(bool, importWorks);
        writeSettings(settings);
        const QByteArray original = readAll(dir + "/settings.plist");
        auto store = open();

        QCOMPARE(namesOf(store->loadTemplateList()), names);
        for (const QString& name : names)
            QVERIFY(store->templateExists(name));
        const QStringList copies = QDir(dir).entryList({"settings.plist.corrupt-*"});
        QCOMPARE(copies.size(), copyKept ? 1 : 0);
        if (copyKept) {
            QCOMPARE(readAll(dir + "/" + copies.first()), original);
            QVERIFY(lines.contains("Unreadable template list, settings file kept as " + dir + "/" + copies.first()));
        }

        const QVariant startPages = store->dictionary()->value("templatefirst");
        const QByteArray before = readAll(dir + "/settings.plist");
        const QStringList filesBefore = QDir(dir).entryList({"tempf*"});
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QCOMPARE(bool(page), importWorks);
        if (!importWorks) {
            QVERIFY(page.error.contains("templatefirst"));
            QCOMPARE(store->dictionary()->value("templatefirst"), startPages);
            QCOMPARE(readAll(dir + "/settings.plist"), before);
            QCOMPARE(QDir(dir).entryList({"tempf*"}), filesBefore);
        }
        store->deletePage(StoreKey::TemplateFirst, 5);

        // Deleting one template never takes another one with it.
        store->deleteTemplate(names.first());
        QCOMPARE(namesOf(store->loadTemplateList()), names.mid(1));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), names.mid(1));
    }

    void pageReferencesThatNameNoPage_data()
    {
        QTest::addColumn<QVariant>("reference");
        QTest::addColumn<QString>("line"); // printed when the emptied slot is cleared
        QTest::newRow("letters") << QVariant("abc") << QString();
        QTest::newRow("empty text") << QVariant("") << QString();
        QTest::newRow("negative text") << QVariant("-1") << QString();
        QTest::newRow("negative integer") << QVariant(qlonglong(-1)) << QString();
        QTest::newRow("fraction") << QVariant("1.5") << QString();
        QTest::newRow("blank before") << QVariant(" 1") << QString();
        QTest::newRow("plus sign") << QVariant("+1") << QString();
        QTest::newRow("lower-case x") << QVariant("x") << QString();
        QTest::newRow("a list") << QVariant(QVariantList{1}) << QString();
        QTest::newRow("past the list") << QVariant("7") << "The.Row.7.doesnt.Exist";
        QTest::newRow("past the list, integer") << QVariant(qlonglong(2)) << "The.Row.2.doesnt.Exist";
    }

    void pageReferencesThatNameNoPage()
    {
        QFETCH(QVariant, reference);
        QFETCH(QString, line);
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s1.pdf")));
        const QByteArray s0 = readAll(dir + "/tempf00.pdf"), s1 = readAll(dir + "/tempf01.pdf");
        QVariantMap bad = record("X");
        bad.insert("frontPage", reference);
        store->addTemplate(entry("Other", record("1")));
        store->addTemplate(entry("Edited", bad));

        // Emptying the slot: the reference becomes "X" and no stored page goes.
        SharedData::isNewTemplate = false;
        SharedData::templateName = "Edited";
        SharedData::startPagePath = "";
        lines.clear();
        QVERIFY(store->saveTemplate("Edited"));
        QCOMPARE(recordOf(*store, "Edited").value("frontPage"), QVariant("X"));
        QCOMPARE(recordOf(*store, "Edited").value("docFormat"), QVariant("99"));
        QCOMPARE(lines.contains(line), !line.isEmpty());
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst).size(), 2);
        QCOMPARE(recordOf(*store, "Other").value("frontPage"), QVariant("1"));

        // A chosen file for it: a new page; the stored ones stay as they are.
        store->replaceTemplate("Edited", "Edited", entry("Edited", bad));
        SharedData::startPagePath = pdf("new.pdf", testpdfs::Letter);
        QVERIFY(store->saveTemplate("Edited"));
        QCOMPARE(referenceIndex(recordOf(*store, "Edited").value("frontPage")), std::optional<int>(2));
        QCOMPARE(recordOf(*store, "Edited").value("docFormat"), QVariant("1"));
        QCOMPARE(readAll(dir + "/tempf00.pdf"), s0);
        QCOMPARE(readAll(dir + "/tempf01.pdf"), s1);
    }

    // ---- stored pages ----

    void importAndDeleteStartPages()
    {
        auto store = storeWith({});
        const QString a = pdf("a.pdf"), b = pdf("b.pdf"), c = pdf("c.pdf", testpdfs::Letter);
        QCOMPARE(*store->importPage(StoreKey::TemplateFirst, a).index, 0);
        QCOMPARE(*store->importPage(StoreKey::TemplateFirst, b).index, 1);
        QCOMPARE(*store->importPage(StoreKey::TemplateFirst, c).index, 2);
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst),
                 (QStringList{dir + "/tempf00.pdf", dir + "/tempf01.pdf", dir + "/tempf02.pdf"}));
        QVERIFY(lines.contains(dir + "/tempf02.pdf"));
        QCOMPARE(testpdfs::mediaBox(dir + "/tempf02.pdf").size().toSize(), QSize(612, 792));
        QCOMPARE(onDisk().value("templatefirst").toList().size(), 3);

        store->addTemplate(entry("Refers2", record("2")));
        store->addTemplate(entry("Refers0", record("0")));
        // An integer reference, as the save procedure writes one.
        QVariantMap intRecord = record("X");
        intRecord.insert("frontPage", 2);
        store->addTemplate(entry("IntRefers2", intRecord));
        store->addTemplate(entry("NamesNoPage", record("abc")));

        store->deletePage(StoreKey::TemplateFirst, 1);
        QVERIFY(!QFileInfo::exists(dir + "/tempf01.pdf"));
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst),
                 (QStringList{dir + "/tempf00.pdf", dir + "/tempf02.pdf"}));
        QCOMPARE(recordOf(*store, "Refers2").value("frontPage"), QVariant(QStringLiteral("1")));
        QCOMPARE(recordOf(*store, "IntRefers2").value("frontPage"), QVariant(QStringLiteral("1")));
        QCOMPARE(recordOf(*store, "Refers0").value("frontPage"), QVariant(QStringLiteral("0")));
        QCOMPARE(recordOf(*store, "NamesNoPage").value("frontPage"), QVariant(QStringLiteral("abc")));

        // The next import fills the free file name and goes to the end of the list.
        QCOMPARE(*store->importPage(StoreKey::TemplateFirst, a).index, 2);
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 2), std::optional<QString>(dir + "/tempf01.pdf"));
    }

    void deletePageBeyondTheList()
    {
        auto store = storeWith({entry("A", record("1"))});
        for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
            QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf(name)));
        const QVariantMap before = *store->dictionary();
        store->deletePage(StoreKey::TemplateFirst, 3);
        QVERIFY(lines.contains("The.Row.3.doesnt.Exist"));
        QCOMPARE(*store->dictionary(), before);
        QVERIFY(QFileInfo::exists(dir + "/tempf02.pdf"));
    }

    void importOverwritesInPlace()
    {
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("a4.pdf")));
        const QString stored = dir + "/tempb00.pdf";
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("letter.pdf", testpdfs::Letter), stored));
        QCOMPARE(store->pagePaths(StoreKey::TemplateBack), QStringList{stored});
        QCOMPARE(testpdfs::mediaBox(stored).size().toSize(), QSize(612, 792));
    }

    void importKeepsOnlyPageOne()
    {
        auto store = storeWith({});
        const QString three = files + "/three.pdf";
        QVERIFY(testpdfs::writeNumbered(three, 3));
        QVERIFY(store->importPage(StoreKey::Template, three));
        QCOMPARE(testpdfs::pageCount(dir + "/temp00.pdf"), 1);
    }

    void importOfABadSource_data()
    {
        QTest::addColumn<QString>("kind");     // how the source is made
        QTest::addColumn<QString>("fileName");
        QTest::newRow("text, not a PDF") << "text" << "letter.pdf";
        QTest::newRow("broken PDF") << "broken" << "letter.pdf";
        QTest::newRow("user password") << "encrypted" << "letter.pdf";
        QTest::newRow("no pages") << "zero" << "letter.pdf";
        QTest::newRow("missing") << "missing" << "letter.pdf";
        QTest::newRow("a directory") << "directory" << "letter.pdf";
    }

    // No file, no list change, no settings change, and a reason to show.
    void importOfABadSource()
    {
        QFETCH(QString, kind);
        QFETCH(QString, fileName);
        auto store = storeWith({entry("A", record("X"))});
        const QString source = files + "/" + fileName;
        if (kind == "text")
            QVERIFY(testpdfs::writeBytes(source, "Dear Sir or Madam,\n"));
        else if (kind == "broken")
            QVERIFY(testpdfs::writeBytes(source, "%PDF-1.4 nonsense"));
        else if (kind == "encrypted")
            QVERIFY(testpdfs::writeEncrypted(source, "user", "owner"));
        else if (kind == "zero")
            QVERIFY(testpdfs::writeZeroPages(source));
        else if (kind == "directory")
            QVERIFY(QDir().mkpath(source));

        const QByteArray before = readAll(dir + "/settings.plist");
        const QVariantMap dictBefore = *store->dictionary();
        for (StoreKey page : {StoreKey::TemplateFirst, StoreKey::Template, StoreKey::TemplateBack}) {
            const ImportResult result = store->importPage(page, source);
            QVERIFY(!result);
            QVERIFY2(result.error.contains(source), qPrintable(result.error));
        }
        QCOMPARE(*store->dictionary(), dictBefore);
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QCOMPARE(QDir(dir).entryList({"temp*"}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(dir).entryList({".*part*"}, QDir::Files | QDir::Hidden), QStringList());

        // The save procedure stops before it changes anything.
        SharedData::isNewTemplate = true;
        SharedData::startPagePath = pdf("fine.pdf");
        SharedData::agbPagePath = source;
        QString error;
        QVERIFY(!store->saveTemplate("New", &error));
        QVERIFY(error.contains(source));
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"A"});
        QCOMPARE(QDir(dir).entryList({"temp*"}, QDir::Files), QStringList());
    }

    void importOfUnusualButReadableSources_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("ownerPasswordOnly");
        // The name's case does not matter to the store: the stored copy is a .pdf.
        QTest::newRow("upper-case name") << "LETTER.PDF" << false;
        // Opens without a password, like in any viewer.
        QTest::newRow("owner password only") << "letter.pdf" << true;
    }

    void importOfUnusualButReadableSources()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, ownerPasswordOnly);
        auto store = storeWith({});
        const QString source = files + "/" + fileName;
        if (ownerPasswordOnly)
            QVERIFY(testpdfs::writeEncrypted(source, "", "owner"));
        else
            QVERIFY(QFile::copy(pdf("letter.pdf", testpdfs::Letter), source));
        const ImportResult result = store->importPage(StoreKey::TemplateFirst, source);
        QVERIFY2(result, qPrintable(result.error));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, *result.index), std::optional<QString>(dir + "/tempf00.pdf"));
        QCOMPARE(testpdfs::pageCount(dir + "/tempf00.pdf"), 1);
        SharedData::startPagePath = source;
        QVERIFY(store->saveTemplate("Unusual"));
        QCOMPARE(recordOf(*store, "Unusual").value("docFormat"), QVariant(ownerPasswordOnly ? "0" : "1"));
    }

    void pagePathOutOfRange()
    {
        auto store = storeWith({});
        QVERIFY(!store->pagePath(StoreKey::TemplateFirst, 0));
        QVERIFY(!store->pagePath(StoreKey::TemplateFirst, -1));
        QVERIFY(!store->pagePath(StoreKey::TemplatePattern, 0));
    }

    void pagePathsPrintsAndSetPagePathsSaves()
    {
        auto store = storeWith({});
        store->setPagePaths(StoreKey::Template, {"/x/temp00.pdf"});
        QCOMPARE(onDisk().value("template").toList(), QVariantList{QStringLiteral("/x/temp00.pdf")});
        lines.clear();
        QCOMPARE(store->pagePaths(StoreKey::Template), QStringList{"/x/temp00.pdf"});
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith("any "));
        QVERIFY(lines.first().contains("/x/temp00.pdf"));
        QCOMPARE(store->pagePaths(StoreKey::Temporary), QStringList());
    }

    // ---- scratch files ----

    void scratchNamesShareOneCounter()
    {
        auto store = storeWith({});
        QCOMPARE(store->scratchPath(StoreKey::Temporary), dir + "/tmp1.pdf");
        QCOMPARE(store->scratchPath(StoreKey::Preview), dir + "/prev2.pdf");
        QCOMPARE(store->scratchPath(StoreKey::Temporary), dir + "/tmp3.pdf");
        QVERIFY(!QFileInfo::exists(dir + "/tmp1.pdf"));
        // A new process starts counting again.
        QCOMPARE(open()->scratchPath(StoreKey::Temporary), dir + "/tmp1.pdf");
    }

    // ---- files ----

    void fileOperationsPrintTheirFailures()
    {
        auto store = storeWith({});
        store->deleteFile(files + "/missing.pdf");
        QVERIFY(lines.contains("No deletable File"));

        const QString a = pdf("a.pdf");
        store->deleteFile(a);
        QVERIFY(!QFileInfo::exists(a));

        store->copyFile(files + "/missing.pdf", files + "/copy.pdf");
        QVERIFY(lines.contains("No Readable File"));

        const QString b = pdf("b.pdf"), c = pdf("c.pdf");
        const QByteArray cBytes = readAll(c);
        store->copyFile(b, c);
        QVERIFY(lines.contains("cant copy File " + b));
        QCOMPARE(readAll(c), cBytes);

        store->copyFile(b, files + "/b-copy.pdf");
        QCOMPARE(readAll(files + "/b-copy.pdf"), readAll(b));
    }

    void copyAndRemoveDirectories()
    {
        auto store = storeWith({});
        const QString bundle = files + "/Quillary.workflow";
        QDir().mkpath(bundle + "/Contents");
        QVERIFY(testpdfs::writeBytes(bundle + "/Contents/launch", "#!/bin/sh\n"));
        QFile::setPermissions(bundle + "/Contents/launch", QFile::permissions(bundle + "/Contents/launch") | QFile::ExeOwner);
        const QString target = files + "/PDF Services/Quillary.workflow";
        QDir().mkpath(files + "/PDF Services");
        store->copyFile(bundle, target);
        QCOMPARE(readAll(target + "/Contents/launch"), QByteArray("#!/bin/sh\n"));
        QVERIFY(QFileInfo(target + "/Contents/launch").isExecutable());

        store->removeIfReadable(target);
        QVERIFY(!QFileInfo::exists(target));
        store->removeIfReadable(target); // nothing there: nothing happens
        QVERIFY(lines.isEmpty() || !lines.last().startsWith("cant"));

        // The whole store directory, as "Reset settings" does.
        store->removeIfReadable(dir);
        QVERIFY(!QFileInfo::exists(dir));
    }

    void copyFromTheResources()
    {
        auto store = storeWith({});
        store->copyFile(":/quillary/settings.plist", files + "/defaults.plist");
        QVERIFY(readPropertyListDictionary(readAll(files + "/defaults.plist")).has_value());
        QVERIFY(QFileInfo(files + "/defaults.plist").isWritable());
    }

    // ---- change labels ----

    void changeLabels()
    {
        auto store = storeWith({});
        QCOMPARE(store->changeLabel(true), QStringLiteral("Created 05.12.26"));
        QCOMPARE(store->changeLabel(false), QStringLiteral("Updated 05.12.26"));
    }

    // ---- the save procedure ----

    void saveNewTemplate_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QString>("docFormat");
        QTest::newRow("A4 portrait") << QSizeF(595, 842) << "0";
        QTest::newRow("A4 landscape") << QSizeF(842, 595) << "0";
        QTest::newRow("US Letter") << QSizeF(612, 792) << "1";
        QTest::newRow("US Letter landscape") << QSizeF(792, 612) << "1";
        QTest::newRow("other") << QSizeF(600, 800) << "99";
    }

    void saveNewTemplate()
    {
        QFETCH(QSizeF, size);
        QFETCH(QString, docFormat);
        auto store = storeWith({entry("Old", record("X"))});
        SharedData::isNewTemplate = true;
        SharedData::startPagePath = pdf("start.pdf", size);
        SharedData::continualPagePath = "";
        SharedData::agbPagePath = pdf("terms.pdf");
        QString error;
        QVERIFY2(store->saveTemplate("New", &error), qPrintable(error));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"New", "Old"}));
        const QVariantMap r = recordOf(*store, "New");
        QCOMPARE(r.value("frontPage"), QVariant(QStringLiteral("0")));
        QCOMPARE(r.value("secondaryPage"), QVariant(QStringLiteral("X")));
        QCOMPARE(r.value("termsOfConditions"), QVariant(QStringLiteral("0")));
        QCOMPARE(r.value("lastActivityWithDate"), QVariant(QStringLiteral("Created 05.12.26")));
        QCOMPARE(r.value("isActive"), QVariant(true));
        QCOMPARE(r.value("isOverlay"), QVariant(false));
        QCOMPARE(r.value("docFormat"), QVariant(docFormat));
        QCOMPARE(store->pagePath(StoreKey::TemplateBack, 0), std::optional<QString>(dir + "/tempb00.pdf"));
        QCOMPARE(recordOf(*open(), "New"), r); // it is on disk
    }

    void saveNewTemplateWithoutStartPage()
    {
        auto store = storeWith({});
        SharedData::isNewTemplate = true;
        SharedData::continualPagePath = pdf("cont.pdf");
        QVERIFY(store->saveTemplate("NoStart"));
        const QVariantMap r = recordOf(*store, "NoStart");
        QCOMPARE(r.value("frontPage"), QVariant(QStringLiteral("X")));
        QCOMPARE(r.value("secondaryPage"), QVariant(QStringLiteral("0")));
        QCOMPARE(r.value("docFormat"), QVariant(QStringLiteral("99")));
    }

    void saveNewTemplateWithAnUnreadablePageChangesNothing()
    {
        auto store = storeWith({entry("Old", record("X"))});
        const QString bad = files + "/bad.pdf";
        QVERIFY(testpdfs::writeBytes(bad, "not a pdf"));
        SharedData::isNewTemplate = true;
        SharedData::startPagePath = pdf("good.pdf");
        SharedData::continualPagePath = pdf("good2.pdf");
        SharedData::agbPagePath = bad;
        const QByteArray before = readAll(dir + "/settings.plist");
        QString error;
        QVERIFY(!store->saveTemplate("New", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QCOMPARE(QDir(dir).entryList({"temp*.pdf"}, QDir::Files), QStringList());
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"Old"});
    }

    void saveExistingTemplate()
    {
        auto store = storeWith({});
        // "Edited" has a start page (index 1) and a terms page; no continuation page.
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("other-start.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("start.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("third-start.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        QVariantMap edited = record("1", "X", "0");
        edited.insert("isActive", false);
        edited.insert("isOverlay", true);
        store->addTemplate(entry("Third", record("2")));
        store->addTemplate(entry("Edited", edited));
        store->addTemplate(entry("First", record("0")));

        // Start page replaced by a Letter page, a continuation page added, terms page removed.
        SharedData::isNewTemplate = false;
        SharedData::templateName = "Edited";
        SharedData::startPagePath = pdf("letter.pdf", testpdfs::Letter);
        SharedData::continualPagePath = pdf("cont.pdf");
        SharedData::agbPagePath = "";
        QString error;
        QVERIFY2(store->saveTemplate("Renamed", &error), qPrintable(error));

        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"First", "Renamed", "Third"}));
        QCOMPARE(SharedData::templateName, QStringLiteral("Renamed"));
        const QVariantMap r = recordOf(*store, "Renamed");
        QCOMPARE(referenceText(r.value("frontPage")), QStringLiteral("1")); // replaced in place
        QCOMPARE(testpdfs::mediaBox(dir + "/tempf01.pdf").size().toSize(), QSize(612, 792));
        QVERIFY(r.value("secondaryPage").typeId() != QMetaType::QString); // an integer, as older versions read it
        QCOMPARE(referenceIndex(r.value("secondaryPage")), std::optional<int>(0));
        QCOMPARE(r.value("termsOfConditions"), QVariant(QStringLiteral("X")));
        QVERIFY(!QFileInfo::exists(dir + "/tempb00.pdf"));
        QCOMPARE(store->pagePaths(StoreKey::TemplateBack), QStringList());
        QCOMPARE(r.value("lastActivityWithDate"), QVariant(QStringLiteral("Updated 05.12.26")));
        QCOMPARE(r.value("docFormat"), QVariant(QStringLiteral("1")));
        QCOMPARE(r.value("isActive"), QVariant(false));
        QCOMPARE(r.value("isOverlay"), QVariant(true));
        // The other templates keep their pages.
        QCOMPARE(referenceText(recordOf(*store, "Third").value("frontPage")), QStringLiteral("2"));

        // Everything is on disk, the integer reference included.
        auto reread = open();
        QCOMPARE(recordOf(*reread, "Renamed").value("secondaryPage").typeId(), QMetaType::LongLong);
        QCOMPARE(referenceIndex(recordOf(*reread, "Renamed").value("secondaryPage")), std::optional<int>(0));
    }

    void saveExistingTemplateKeepsExistingPagesAndDeletesShiftReferences()
    {
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::Template, pdf("c0.pdf")));
        QVERIFY(store->importPage(StoreKey::Template, pdf("c1.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        store->addTemplate(entry("Later", record("X", "1")));
        store->addTemplate(entry("Edited", record("0", "0")));

        SharedData::isNewTemplate = false;
        SharedData::templateName = "Edited";
        SharedData::startPagePath = SharedData::existing;
        SharedData::continualPagePath = "";
        SharedData::agbPagePath = "";
        QVERIFY(store->saveTemplate("Edited"));

        QCOMPARE(recordOf(*store, "Edited").value("frontPage"), QVariant(QStringLiteral("0")));
        QCOMPARE(recordOf(*store, "Edited").value("secondaryPage"), QVariant(QStringLiteral("X")));
        QCOMPARE(recordOf(*store, "Edited").value("docFormat"), QVariant(QStringLiteral("0")));
        QCOMPARE(recordOf(*store, "Later").value("secondaryPage"), QVariant(QStringLiteral("0")));
        QCOMPARE(store->pagePaths(StoreKey::Template), QStringList{dir + "/temp01.pdf"});
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), (QStringList{"Edited", "Later"}));
        QCOMPARE(recordOf(*open(), "Later").value("secondaryPage"), QVariant(QStringLiteral("0")));
    }

    void saveOfAVanishedTemplateWritesNothing()
    {
        auto store = storeWith({entry("A", record("X"))});
        SharedData::isNewTemplate = false;
        SharedData::templateName = "Gone";
        SharedData::startPagePath = pdf("s.pdf");
        const QByteArray before = readAll(dir + "/settings.plist");
        QString error;
        QVERIFY(!store->saveTemplate("Gone", &error));
        QVERIFY(error.contains("Gone"));
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QCOMPARE(QDir(dir).entryList({"temp*.pdf"}, QDir::Files), QStringList());
    }

    void saveExistingWithAnUnreadablePageChangesNothing()
    {
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        store->addTemplate(entry("Edited", record("X", "X", "0")));
        SharedData::isNewTemplate = false;
        SharedData::templateName = "Edited";
        SharedData::startPagePath = pdf("fine.pdf");
        SharedData::continualPagePath = files + "/missing.pdf";
        SharedData::agbPagePath = ""; // would delete the terms page
        const QByteArray before = readAll(dir + "/settings.plist");
        QVERIFY(!store->saveTemplate("Edited"));
        QCOMPARE(readAll(dir + "/settings.plist"), before);
        QVERIFY(QFileInfo::exists(dir + "/tempb00.pdf"));
        QVERIFY(!QFileInfo::exists(dir + "/tempf00.pdf"));
    }

    // ---- a store that cannot be written ----

    void aStoreThatRefusesWrites_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("file size limit") << "limit";
        QTest::newRow("read-only directory") << "read-only";
    }

    // Every write fails; the previous settings file stays byte for byte, and the
    // store reports it instead of pretending.
    void aStoreThatRefusesWrites()
    {
        QFETCH(QString, how);
        if (how == "read-only" && ::geteuid() == 0)
            QSKIP("root writes into read-only directories");
        auto store = storeWith({entry("A", record("X"))});
        const QString settings = dir + "/settings.plist";
        const QByteArray before = readAll(settings);
        const QString source = pdf("start.pdf");

        rlimit saved{};
        const auto restore = qScopeGuard([&] {
            if (how == "limit")
                ::setrlimit(RLIMIT_FSIZE, &saved);
            else
                QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (how == "limit") {
            std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
            rlimit small = saved;
            small.rlim_cur = 16;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        } else {
            QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        }

        store->addTemplate(entry("B", record("X")));
        QVERIFY(lines.contains("Can't save settings " + settings));
        QCOMPARE(readAll(settings), before);
        QVERIFY(!store->importPage(StoreKey::TemplateFirst, source));
        SharedData::startPagePath = source;
        QString error;
        QVERIFY(!store->saveTemplate("C", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(settings), before);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.plist"});
    }

    void aStoreDirectoryThatVanishes()
    {
        auto store = storeWith({entry("A", record("X"))});
        QVERIFY(QDir(dir).removeRecursively());
        // In memory the store is whole; the next write puts everything back.
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QVERIFY2(page, qPrintable(page.error));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), QStringList{"A"});
        QCOMPARE(mode(dir), ownerOnlyDirectory);

        // Something else in its place: every write fails, nothing crashes.
        QVERIFY(QDir(dir).removeRecursively());
        QVERIFY(testpdfs::writeBytes(dir, "not a directory"));
        QVERIFY(!store->importPage(StoreKey::TemplateFirst, pdf("b.pdf")));
        SharedData::startPagePath = pdf("c.pdf");
        QVERIFY(!store->saveTemplate("New"));
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"A"});
        QCOMPARE(readAll(dir), QByteArray("not a directory"));
    }

    void theStoreIsTheUsersAlone()
    {
        const QFile::Permissions file = ownerOnlyFile;
        const QFile::Permissions directory = ownerOnlyDirectory;
        auto store = open(); // first start: directory, settings, sample start page
        QCOMPARE(mode(dir), directory);
        QCOMPARE(mode(dir + "/settings.plist"), file);
        QCOMPARE(mode(dir + "/tempf00.pdf"), file);
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        QCOMPARE(mode(dir + "/tempb00.pdf"), file);
        QCOMPARE(mode(dir + "/settings.plist"), file);

        // A store left open to others by an earlier version is closed again.
        const QFile::Permissions open644 = file | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(dir, directory | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(dir + "/settings.plist", open644));
        auto again = open();
        QCOMPARE(mode(dir), directory);
        again->addTemplate(entry("B", record("X")));
        QCOMPARE(mode(dir + "/settings.plist"), file);
    }

    // ---- shared state ----

    void sharedDataStartsEmpty()
    {
        SharedData::reset();
        QVERIFY(SharedData::isNewTemplate);
        QVERIFY(SharedData::templateName.isEmpty());
        QVERIFY(SharedData::startPagePath.isEmpty());
        QVERIFY(SharedData::continualPagePath.isEmpty());
        QVERIFY(SharedData::agbPagePath.isEmpty());
    }

    // ---- the process-wide store ----

    void sharedStoreIsCreatedOnceWithTheConfigGivenBefore()
    {
        configureSharedStore(config());
        CustomFileManager& first = sharedStore();
        QCOMPARE(first.settingsPath(), dir + "/settings.plist");
        StoreConfig later = config();
        later.directory = files + "/elsewhere";
        configureSharedStore(later); // too late: no effect
        QCOMPARE(&sharedStore(), &first);
        QCOMPARE(sharedStore().settingsPath(), dir + "/settings.plist");
        QVERIFY(!QFileInfo::exists(files + "/elsewhere"));
    }

    // ---- references ----

    void referencesReadAsText()
    {
        QCOMPARE(referenceText(QVariant(3)), QStringLiteral("3"));
        QCOMPARE(referenceText(QVariant(qlonglong(3))), QStringLiteral("3"));
        QCOMPARE(referenceText(QVariant(QStringLiteral("3"))), QStringLiteral("3"));
        QCOMPARE(referenceText(QVariant(true)), QStringLiteral("1"));
        QCOMPARE(referenceText(QVariant(false)), QStringLiteral("0"));
        QCOMPARE(referenceIndex(QVariant(QStringLiteral("X"))), std::nullopt);
        QCOMPARE(referenceIndex(QVariant(QStringLiteral("12"))), std::optional<int>(12));
        QCOMPARE(referenceIndex(QVariant(12)), std::optional<int>(12));
        QCOMPARE(referenceIndex(QVariant(QStringLiteral("abc"))), std::nullopt);
        QCOMPARE(referenceIndex(QVariant(QStringLiteral("-1"))), std::nullopt);
        QCOMPARE(referenceIndex(QVariant()), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestCustomFileManager)
#include "tst_customfilemanager.moc"
