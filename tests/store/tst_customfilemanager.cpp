// The template store (spec Part 2.1) and the shared editing state (Part 2.2).
// Every case runs in its own temporary store directory with a fixed clock and
// records the store's output lines instead of printing them.

#include "store/CustomFileManager.h"
#include "store/PropertyList.h"
#include "store/SharedData.h"
#include "support/TestPdfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
        testpdfs::PageSpec page;
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

    void unreadableSettingsAreSetAsideAndTheStoreStartsAfresh()
    {
        QDir().mkpath(dir);
        QVERIFY(testpdfs::writeBytes(dir + "/settings.plist", "this is not a property list"));
        auto store = open();
        QVERIFY(store->dictionary().has_value());
        QCOMPARE(readAll(dir + "/settings.plist.unreadable"), QByteArray("this is not a property list"));
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"Meine Vorlage 1"});
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

    void aTemplateListOfTheWrongShapeCountsAsNone_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("list of text") << QVariant(QVariantList{QStringLiteral("not an entry")});
        QTest::newRow("entry without record") << QVariant(QVariantList{QVariantMap{{"A", "B"}}});
        QTest::newRow("dictionary") << QVariant(QVariantMap{{"A", QVariantMap{}}});
        QTest::newRow("text") << QVariant(QStringLiteral("templates"));
    }

    void aTemplateListOfTheWrongShapeCountsAsNone()
    {
        QFETCH(QVariant, value);
        writeSettings(QVariantMap{{kTemplates, value}});
        auto store = open();
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"Meine Vorlage 1"});
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

        store->deletePage(StoreKey::TemplateFirst, 1);
        QVERIFY(!QFileInfo::exists(dir + "/tempf01.pdf"));
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst),
                 (QStringList{dir + "/tempf00.pdf", dir + "/tempf02.pdf"}));
        QCOMPARE(recordOf(*store, "Refers2").value("frontPage"), QVariant(QStringLiteral("1")));
        QCOMPARE(recordOf(*store, "IntRefers2").value("frontPage"), QVariant(QStringLiteral("1")));
        QCOMPARE(recordOf(*store, "Refers0").value("frontPage"), QVariant(QStringLiteral("0")));

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

    void importOfAnUnreadableSourceChangesNothing()
    {
        auto store = storeWith({});
        const QString bad = files + "/bad.pdf";
        QVERIFY(testpdfs::writeBytes(bad, "%PDF-1.4 nonsense"));
        const QByteArray before = readAll(dir + "/settings.plist");
        const ImportResult result = store->importPage(StoreKey::TemplateFirst, bad);
        QVERIFY(!result);
        QVERIFY(!result.error.isEmpty());
        QVERIFY(!QFileInfo::exists(dir + "/tempf00.pdf"));
        QCOMPARE(readAll(dir + "/settings.plist"), before);

        const QString none = files + "/none.pdf";
        QVERIFY(testpdfs::writeZeroPages(none));
        QVERIFY(!store->importPage(StoreKey::TemplateFirst, none));
        QVERIFY(!store->importPage(StoreKey::TemplateFirst, files + "/missing.pdf"));
        QCOMPARE(QDir(dir).entryList({"tempf*"}, QDir::Files), QStringList());
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
        QVERIFY(r.value("secondaryPage").typeId() != QMetaType::QString); // an integer, as the spec writes it
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
