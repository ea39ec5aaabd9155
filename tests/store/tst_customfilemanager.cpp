// The template store and the shared editing state. Every case runs in its own
// temporary store directory with a fixed clock and records the printed lines.

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
const QString kDefault = QStringLiteral("Meine Vorlage 1");
const QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions ownerOnlyDirectory = ownerOnlyFile | QFile::ExeOwner;

QDateTime fixedNow() { return QDateTime(QDate(2026, 12, 5), QTime(12, 0)); }

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Owner, group and other bits (Qt's "user" bits only repeat the owner's).
QFile::Permissions mode(const QString& path)
{
    return QFileInfo(path).permissions()
           & (ownerOnlyDirectory | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
              | QFile::WriteOther | QFile::ExeOther);
}

QVariantMap entry(const QString& name, const QVariantMap& record) { return QVariantMap{{name, record}}; }

QVariantMap record(const QVariant& front, const QString& secondary = "X", const QString& terms = "X")
{
    return QVariantMap{{"frontPage", front}, {"secondaryPage", secondary}, {"termsOfConditions", terms},
                       {"lastActivityWithDate", "Created 01.01.26"}, {"isActive", true},
                       {"docFormat", "0"}, {"isOverlay", false}};
}

QStringList namesOf(const std::optional<QVariantList>& list)
{
    QStringList names;
    for (const QVariant& e : list.value_or(QVariantList()))
        names << e.toMap().firstKey();
    return names;
}

QVariantMap recordOf(const CustomFileManager& store, const QString& name)
{
    const auto named = store.templatesNamed(name);
    return named && !named->isEmpty() ? named->first().toMap().value(name).toMap() : QVariantMap();
}

QVariant field(const CustomFileManager& store, const QString& name, const QString& key)
{
    return recordOf(store, name).value(key);
}

// A record's fields as text, in a fixed order, "|"-joined.
QString fieldsOf(const QVariantMap& r)
{
    QStringList parts;
    for (const char* key : {"frontPage", "secondaryPage", "termsOfConditions", "lastActivityWithDate", "isActive",
                            "docFormat", "isOverlay"})
        parts << referenceText(r.value(key));
    return parts.join('|');
}

void useSlots(const QString& start, const QString& continuation = {}, const QString& terms = {})
{
    SharedData::startPagePath = start;
    SharedData::continualPagePath = continuation;
    SharedData::agbPagePath = terms;
}

void editing(const QString& name)
{
    SharedData::isNewTemplate = false;
    SharedData::templateName = name;
}

} // namespace

class TestCustomFileManager : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    QString dir;       // the store directory (not created before the store runs)
    QString files;     // source PDFs outside the store
    QStringList lines; // what the store printed

    StoreConfig config()
    {
        StoreConfig c;
        c.directory = dir;
        c.clock = fixedNow;
        c.print = [this](const QString& line) { lines << line; };
        return c;
    }

    std::unique_ptr<CustomFileManager> open() { return std::make_unique<CustomFileManager>(config()); }
    QString settings() const { return dir + "/settings.plist"; }
    QByteArray settingsBytes() const { return readAll(settings()); }
    QStringList storeFiles(const QString& pattern) const { return QDir(dir).entryList({pattern}, QDir::Files | QDir::Hidden); }
    QVariantMap onDisk() const { return readPropertyListDictionary(settingsBytes()).value_or(QVariantMap()); }

    void writeSettings(const QVariantMap& dict)
    {
        QDir().mkpath(dir);
        QVERIFY(testpdfs::writeBytes(settings(), writePropertyListXml(dict)));
    }

    // A store holding the given templates and no pages (the default template
    // an empty list gets at start-up is removed again).
    std::unique_ptr<CustomFileManager> storeWith(const QVariantList& templates)
    {
        writeSettings({{"first_start", QVariantList{"N"}}, {"template", QVariantList{}},
                       {"templatefirst", QVariantList{}}, {"templateback", QVariantList{}}, {kTemplates, templates}});
        StoreConfig c = config();
        c.sampleLetterheadPath.clear();
        auto store = std::make_unique<CustomFileManager>(c);
        if (templates.isEmpty())
            store->deleteTemplate(kDefault);
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

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        dir = temp->filePath("Application Support/app.quillary.Quillary");
        files = temp->filePath("files");
        QDir().mkpath(files);
        lines.clear();
        SharedData::templateName = "stale";
        SharedData::isNewTemplate = false;
        useSlots("a", "b", "c");
        SharedData::reset();
        QVERIFY(SharedData::isNewTemplate && SharedData::templateName.isEmpty() && SharedData::startPagePath.isEmpty()
                && SharedData::continualPagePath.isEmpty() && SharedData::agbPagePath.isEmpty());
    }

    void firstAndSecondStart()
    {
        QVERIFY(!QFileInfo::exists(dir));
        auto store = open();
        QCOMPARE(store->settingsPath(), settings());
        QVERIFY(!lines.contains("File exists"));
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{kDefault});
        const QVariantMap r = recordOf(*store, kDefault);
        QCOMPARE(fieldsOf(r), QStringLiteral("0|X|X|Created 05.12.26|1|0|0"));
        QCOMPARE(r.value("isActive").typeId(), QMetaType::Bool);
        // The sample letterhead: one A4 page, entry 0 of the start pages.
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 0), std::optional<QString>(dir + "/tempf00.pdf"));
        QCOMPARE(testpdfs::pageCount(dir + "/tempf00.pdf"), 1);
        QCOMPARE(testpdfs::mediaBox(dir + "/tempf00.pdf").size().toSize(), QSize(595, 842));
        QCOMPARE(onDisk().value("first_start").toList(), QVariantList{"Y"});
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), QStringList{kDefault});
        // The store is the user's alone.
        QCOMPARE(mode(dir), ownerOnlyDirectory);
        QCOMPARE(mode(settings()), ownerOnlyFile);
        QCOMPARE(mode(dir + "/tempf00.pdf"), ownerOnlyFile);

        // A store an earlier version left open to others is closed again; the
        // second start keeps the file as it is.
        QVERIFY(QFile::setPermissions(dir, ownerOnlyDirectory | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(settings(), ownerOnlyFile | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray before = settingsBytes();
        lines.clear();
        auto again = open();
        QCOMPARE(lines.first(), QStringLiteral("File exists"));
        QCOMPARE(settingsBytes(), before);
        QCOMPARE(namesOf(again->loadTemplateList()), QStringList{kDefault});
        QCOMPARE(mode(dir), ownerOnlyDirectory);
        again->addTemplate(entry("B", record("X")));
        QCOMPARE(mode(settings()), ownerOnlyFile);
        QVERIFY(again->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        QCOMPARE(mode(dir + "/tempb00.pdf"), ownerOnlyFile);
    }

    void corruptSettingsAreMovedAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("earlierCopy"); // a corrupt copy of the same second is there already
        const QByteArray binary = readAll(QStringLiteral(QUILLARY_TEST_DATA_DIR "/settings-binary.plist"));
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("truncated XML") << writePropertyListXml({{kTemplates, QVariantList{}}}).left(120) << false;
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x13\x37garbage\x00\x01", 14) << false;
        QTest::newRow("binary header only") << QByteArray("bplist00") << false;
        QTest::newRow("truncated binary list") << binary.left(binary.size() / 2) << false;
        QTest::newRow("array root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>") << false;
        QTest::newRow("string root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><string>a</string></plist>") << false;
        QTest::newRow("copies never overwrite each other") << QByteArray("second") << true;
    }
    void corruptSettingsAreMovedAside()
    {
        QFETCH(QByteArray, bytes); QFETCH(bool, earlierCopy);
        QDir().mkpath(dir);
        const QString base = settings() + ".corrupt-20261205-120000";
        if (earlierCopy)
            QVERIFY(testpdfs::writeBytes(base, "first"));
        QVERIFY(testpdfs::writeBytes(settings(), bytes));
        auto store = open();
        const QString aside = earlierCopy ? base + "-1" : base;
        QCOMPARE(readAll(aside), bytes);
        QVERIFY(QFileInfo(aside).isFile());
        if (earlierCopy)
            QCOMPARE(readAll(base), QByteArray("first"));
        QVERIFY(lines.contains("Unreadable settings file moved to " + aside));
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{kDefault});
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), QStringList{kDefault});
    }

    void settingsWeCannotOpenAreLeftAlone()
    {
        QDir().mkpath(settings() + "/inside"); // a directory where the file belongs
        auto store = open();
        QVERIFY(lines.contains("Can't read settings file " + settings()));
        QVERIFY(!store->loadTemplateList());
        QVERIFY(QFileInfo(settings() + "/inside").isDir());
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QVERIFY(!page);
        QVERIFY(!page.error.isEmpty());
        useSlots(pdf("b.pdf"));
        QString error;
        QVERIFY(!store->saveTemplate("New", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(storeFiles("tempf*"), QStringList());
    }

    void settingsFromAnotherWriter_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("XML") << "settings-foreign.plist";
        QTest::newRow("binary") << "settings-binary.plist";
    }
    // <true/>, <integer>, dates, data and unknown keys survive a save.
    void settingsFromAnotherWriter()
    {
        QFETCH(QString, fixture);
        QDir().mkpath(dir);
        QVERIFY(QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/") + fixture, settings()));
        auto store = open();
        QCOMPARE(lines.first(), QStringLiteral("File exists"));
        QCOMPARE(QDir(dir).entryList({"*corrupt*"}), QStringList());
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"Briefpapier", "Rechnung"}));
        QCOMPARE(referenceIndex(field(*store, "Briefpapier", "frontPage")), std::optional<int>(0));
        QCOMPARE(field(*store, "Briefpapier", "isActive"), QVariant(true));
        QCOMPARE(referenceText(field(*store, "Rechnung", "isActive")), QStringLiteral("0"));
        QCOMPARE(field(*store, "Rechnung", "isOverlay"), QVariant(true));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 0), std::optional<QString>("/nonexistent/store/tempf00.pdf"));

        store->addTemplate(entry("Neu", record("X")));
        const QVariantMap saved = onDisk();
        QCOMPARE(namesOf(saved.value(kTemplates).toList()), (QStringList{"Neu", "Briefpapier", "Rechnung"}));
        const QVariantMap kept{{"lastLaunch", QDateTime(QDate(2024, 2, 1), QTime(9, 30, 15), Qt::UTC)},
                               {"windowState", QByteArray("\x00\x01\x02\xfe\xff", 5)}, {"launchCount", qlonglong(42)},
                               {"zoom", 1.25}, {"showRulers", true}, {"recentDocuments", QVariantList{"/a.pdf", "/b.pdf"}},
                               {"printer", QVariantMap{{"name", "Office"}, {"copies", qlonglong(2)}}}};
        for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
            QCOMPARE(saved.value(it.key()).typeId(), it.value().typeId());
            QCOMPARE(saved.value(it.key()), it.value());
        }
        const QVariantMap brief = saved.value(kTemplates).toList().at(1).toMap().value("Briefpapier").toMap();
        QCOMPARE(brief.value("frontPage"), QVariant(qlonglong(0))); // still an integer
        QCOMPARE(brief.value("colour"), QVariant(QStringLiteral("blue")));
    }

    void legacyPatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("fields"); // see fieldsOf
        QTest::newRow("four fields") << "1-0-X-Updated 03.04.19" << "1|0|X|Updated 03.04.19|1|0|0";
        QTest::newRow("five fields") << "0-X-X-L-0" << "0|X|X|L|0|0|0";
        QTest::newRow("six fields") << "0-X-X-L-1-1" << "0|X|X|L|1|1|0";
        QTest::newRow("seven fields") << "1-X-X-Created 05.12.26-1-1-0" << "1|X|X|Created 05.12.26|1|1|0";
    }
    // Beside a four-field pattern, each pattern ends with seven fields.
    void legacyPatterns()
    {
        QFETCH(QString, pattern); QFETCH(QString, fields);
        writeSettings({{"templatepattern", QVariantMap{{"Alpha", "0-X-X-Created 01.02.19"}, {"Beta", pattern}}}});
        auto store = open();
        QCOMPARE(store->dictionary()->value("templatepattern"), QVariant(QVariantList{}));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(fieldsOf(recordOf(*store, "Alpha")), QStringLiteral("0|X|X|Created 01.02.19|1|0|0"));
        QCOMPARE(fieldsOf(recordOf(*store, "Beta")), fields);
        QCOMPARE(field(*store, "Beta", "isActive").typeId(), QMetaType::Bool);
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), (QStringList{"Alpha", "Beta"}));

        // A second start and a second conversion change nothing.
        const QByteArray before = settingsBytes();
        auto again = open();
        again->convertLegacyPatterns();
        QCOMPARE(settingsBytes(), before);
    }

    void laterConversionKeepsTemplatesMadeSinceStartUp()
    {
        // An empty legacy dictionary does not count at start-up: the default
        // template is made, and a later conversion must not drop it.
        writeSettings({{"templatepattern", QVariantMap{}}, {kTemplates, QVariantList{}}});
        auto store = open();
        store->convertLegacyPatterns();
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{kDefault});
        QCOMPARE(store->dictionary()->value("templatepattern"), QVariant(QVariantList{}));
    }

    void templateListEdits()
    {
        auto store = storeWith({entry("A", record("X")), entry("Brief", record("X"))});
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("a.pdf")));
        store->addTemplate(entry("C", record("0")));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), (QStringList{"C", "A", "Brief"}));

        // Names compare exactly.
        QVERIFY(store->templateExists("Brief"));
        for (const char* other : {"brief", "Brief ", ""})
            QVERIFY(!store->templateExists(other));

        // Replacing a missing template writes nothing.
        const QByteArray before = settingsBytes();
        store->replaceTemplate("Nope", "Other", entry("Nope", record("X")));
        QCOMPARE(settingsBytes(), before);
        QCOMPARE(SharedData::templateName, QString());

        // Renaming keeps the place; equal names toggle a field.
        store->replaceTemplate("A", "A2", entry("A", record("X")));
        QCOMPARE(SharedData::templateName, QStringLiteral("A2"));
        QVariantMap r = recordOf(*store, "Brief");
        r.insert("isActive", false);
        store->replaceTemplate("Brief", "Brief", entry("Brief", r));
        QCOMPARE(referenceText(field(*store, "Brief", "isActive")), QStringLiteral("0"));
        QCOMPARE(SharedData::templateName, QStringLiteral("Brief"));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), (QStringList{"C", "A2", "Brief"}));

        // Deleting a template keeps its pages.
        store->deleteTemplate("C");
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"A2", "Brief"}));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 0), std::optional<QString>(dir + "/tempf00.pdf"));
        QVERIFY(QFileInfo::exists(dir + "/tempf00.pdf"));
    }

    void wrongTypesUnderEveryKey_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QStringList>("names");   // the template list as read
        QTest::addColumn<bool>("copyKept");       // the file was kept beside the store
        QTest::addColumn<bool>("importWorks");    // a start page can be added
        const QVariantMap rec = record("X");
        QTest::newRow("template list is text") << QVariantMap{{kTemplates, "templates"}} << QStringList{kDefault} << true << true;
        QTest::newRow("template list is a dictionary")
            << QVariantMap{{kTemplates, QVariantMap{{"A", rec}}}} << QStringList{kDefault} << true << true;
        QTest::newRow("an element is text")
            << QVariantMap{{kTemplates, QVariantList{"not an entry", entry("Good", rec)}}} << QStringList{"Good"} << true << true;
        QTest::newRow("a name without a record")
            << QVariantMap{{kTemplates, QVariantList{QVariantMap{{"A", "B"}}}}} << QStringList{kDefault} << true << true;
        QTest::newRow("an entry with two keys")
            << QVariantMap{{kTemplates, QVariantList{QVariantMap{{"A", rec}, {"B", rec}}, entry("C", rec)}}}
            << QStringList{"A", "B", "C"} << false << true;
        QTest::newRow("start pages are text")
            << QVariantMap{{kTemplates, QVariantList{entry("A", rec)}}, {"templatefirst", "tempf00.pdf"}}
            << QStringList{"A"} << false << false;
        QTest::newRow("start pages hold a number")
            << QVariantMap{{kTemplates, QVariantList{entry("A", rec)}}, {"templatefirst", QVariantList{"/x/tempf00.pdf", 7}}}
            << QStringList{"A"} << false << false;
        QTest::newRow("legacy patterns are text") << QVariantMap{{"templatepattern", "0-X-X-L"}} << QStringList{kDefault} << false << true;
        QTest::newRow("a legacy pattern is a number")
            << QVariantMap{{"templatepattern", QVariantMap{{"A", 5}}}} << QStringList{kDefault} << false << true;
    }
    void wrongTypesUnderEveryKey()
    {
        QFETCH(QVariantMap, settings); QFETCH(QStringList, names); QFETCH(bool, copyKept); QFETCH(bool, importWorks);
        writeSettings(settings);
        const QByteArray original = settingsBytes();
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
        const QByteArray before = settingsBytes();
        const QStringList filesBefore = storeFiles("tempf*");
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QCOMPARE(bool(page), importWorks);
        if (!importWorks) {
            QVERIFY(page.error.contains("templatefirst"));
            QCOMPARE(store->dictionary()->value("templatefirst"), startPages);
            QCOMPARE(settingsBytes(), before);
            QCOMPARE(storeFiles("tempf*"), filesBefore);
        }
        store->deletePage(StoreKey::TemplateFirst, 5);

        // Deleting one template never takes another one with it.
        store->deleteTemplate(names.first());
        QCOMPARE(namesOf(store->loadTemplateList()), names.mid(1));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), names.mid(1));
    }

    void references_data()
    {
        QTest::addColumn<QVariant>("reference");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");    // -1: names no page
        QTest::addColumn<QString>("line"); // "-": not tried in a store; else printed when the slot is emptied
        QTest::newRow("text") << QVariant("12") << "12" << 12 << "The.Row.12.doesnt.Exist";
        QTest::newRow("int") << QVariant(3) << "3" << 3 << "-";
        QTest::newRow("long long") << QVariant(qlonglong(2)) << "2" << 2 << "The.Row.2.doesnt.Exist";
        QTest::newRow("true") << QVariant(true) << "1" << 1 << "-";
        QTest::newRow("false") << QVariant(false) << "0" << 0 << "-";
        QTest::newRow("nothing") << QVariant() << "" << -1 << "-";
        QTest::newRow("negative integer") << QVariant(qlonglong(-1)) << "-1" << -1 << "";
        QTest::newRow("a list") << QVariant(QVariantList{1}) << "" << -1 << "";
        for (const char* bad : {"X", "abc", "", "-1", "1.5", " 1", "+1", "x"})
            QTest::addRow("text \"%s\"", bad) << QVariant(bad) << QString(bad) << -1 << "";
    }
    // Read as text and as an index; in a template, a reference that names no
    // stored page is cleared without deleting one, and a chosen file is a new page.
    void references()
    {
        QFETCH(QVariant, reference); QFETCH(QString, text); QFETCH(int, index); QFETCH(QString, line);
        if (reference.typeId() != QMetaType::QVariantList)
            QCOMPARE(referenceText(reference), text);
        QCOMPARE(referenceIndex(reference), index < 0 ? std::nullopt : std::optional<int>(index));
        if (line == "-")
            return;
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s1.pdf")));
        const QByteArray s0 = readAll(dir + "/tempf00.pdf"), s1 = readAll(dir + "/tempf01.pdf");
        store->addTemplate(entry("Other", record("1")));
        store->addTemplate(entry("Edited", record(reference)));
        editing("Edited");
        lines.clear();
        QVERIFY(store->saveTemplate("Edited"));
        QCOMPARE(field(*store, "Edited", "frontPage"), QVariant("X"));
        QCOMPARE(field(*store, "Edited", "docFormat"), QVariant("99"));
        QCOMPARE(lines.contains(line), !line.isEmpty());
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst).size(), 2);
        QCOMPARE(field(*store, "Other", "frontPage"), QVariant("1"));

        store->replaceTemplate("Edited", "Edited", entry("Edited", record(reference)));
        useSlots(pdf("new.pdf", testpdfs::Letter));
        QVERIFY(store->saveTemplate("Edited"));
        QCOMPARE(referenceIndex(field(*store, "Edited", "frontPage")), std::optional<int>(2));
        QCOMPARE(field(*store, "Edited", "docFormat"), QVariant("1"));
        QCOMPARE(readAll(dir + "/tempf00.pdf"), s0);
        QCOMPARE(readAll(dir + "/tempf01.pdf"), s1);
    }

    void importAndDeletePages()
    {
        auto store = storeWith({});
        const QString a = pdf("a.pdf"), b = pdf("b.pdf"), c = files + "/c.pdf";
        QVERIFY(testpdfs::writeNumbered(c, 3, testpdfs::Letter));
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, a).index, std::optional<int>(0));
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, b).index, std::optional<int>(1));
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, c).index, std::optional<int>(2));
        const QString f0 = dir + "/tempf00.pdf", f1 = dir + "/tempf01.pdf", f2 = dir + "/tempf02.pdf";
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), (QStringList{f0, f1, f2}));
        QVERIFY(lines.contains(f2));
        QCOMPARE(testpdfs::pageCount(f2), 1); // page one only
        QCOMPARE(testpdfs::mediaBox(f2).size().toSize(), QSize(612, 792));
        QCOMPARE(onDisk().value("templatefirst").toList().size(), 3);

        store->addTemplate(entry("Refers2", record("2")));
        store->addTemplate(entry("Refers0", record("0")));
        store->addTemplate(entry("IntRefers2", record(2))); // as the save procedure writes one
        store->addTemplate(entry("NamesNoPage", record("abc")));
        store->deletePage(StoreKey::TemplateFirst, 1);
        QVERIFY(!QFileInfo::exists(f1));
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), (QStringList{f0, f2}));
        QCOMPARE(field(*store, "Refers2", "frontPage"), QVariant("1"));
        QCOMPARE(field(*store, "IntRefers2", "frontPage"), QVariant("1"));
        QCOMPARE(field(*store, "Refers0", "frontPage"), QVariant("0"));
        QCOMPARE(field(*store, "NamesNoPage", "frontPage"), QVariant("abc"));

        // The next import fills the free file name and goes to the end of the list.
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, a).index, std::optional<int>(2));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 2), std::optional<QString>(f1));

        // Beyond the list: a line, and nothing changes.
        const QVariantMap before = *store->dictionary();
        store->deletePage(StoreKey::TemplateFirst, 3);
        QVERIFY(lines.contains("The.Row.3.doesnt.Exist"));
        QCOMPARE(*store->dictionary(), before);
        QVERIFY(QFileInfo::exists(f2));

        // Overwriting in place keeps the list.
        QVERIFY(store->importPage(StoreKey::TemplateFirst, a, f2));
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), (QStringList{f0, f2, f1}));
        QCOMPARE(testpdfs::mediaBox(f2).size().toSize(), QSize(595, 842));
    }

    void importOfABadSource_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"text", "broken", "encrypted", "zero", "missing", "directory"})
            QTest::newRow(kind) << QString(kind);
    }
    // No file, no list change, no settings change, and a reason to show.
    void importOfABadSource()
    {
        QFETCH(QString, kind);
        auto store = storeWith({entry("A", record("X"))});
        const QString source = files + "/letter.pdf";
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

        const QByteArray before = settingsBytes();
        const QVariantMap dictBefore = *store->dictionary();
        for (StoreKey page : {StoreKey::TemplateFirst, StoreKey::Template, StoreKey::TemplateBack}) {
            const ImportResult result = store->importPage(page, source);
            QVERIFY(!result);
            QVERIFY2(result.error.contains(source), qPrintable(result.error));
        }
        QCOMPARE(*store->dictionary(), dictBefore);
        QCOMPARE(settingsBytes(), before);
        QCOMPARE(storeFiles("temp*"), QStringList());
        QCOMPARE(storeFiles(".*part*"), QStringList());

        // The save procedure stops before it changes anything.
        useSlots(pdf("fine.pdf"), pdf("fine2.pdf"), source);
        QString error;
        QVERIFY(!store->saveTemplate("New", &error));
        QVERIFY(error.contains(source));
        QCOMPARE(settingsBytes(), before);
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{"A"});
        QCOMPARE(storeFiles("temp*"), QStringList());
    }

    void importOfUnusualButReadableSources_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("ownerPasswordOnly");
        QTest::newRow("upper-case name") << "LETTER.PDF" << false;
        QTest::newRow("owner password only") << "letter.pdf" << true; // opens like in any viewer
    }
    void importOfUnusualButReadableSources()
    {
        QFETCH(QString, fileName); QFETCH(bool, ownerPasswordOnly);
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
        useSlots(source);
        QVERIFY(store->saveTemplate("Unusual"));
        QCOMPARE(field(*store, "Unusual", "docFormat"), QVariant(ownerPasswordOnly ? "0" : "1"));
    }

    void pagePathsAndScratchNames()
    {
        auto store = storeWith({});
        QVERIFY(!store->pagePath(StoreKey::TemplateFirst, 0));
        QVERIFY(!store->pagePath(StoreKey::TemplateFirst, -1));
        QVERIFY(!store->pagePath(StoreKey::TemplatePattern, 0));
        store->setPagePaths(StoreKey::Template, {"/x/temp00.pdf"});
        QCOMPARE(onDisk().value("template").toList(), QVariantList{"/x/temp00.pdf"});
        lines.clear();
        QCOMPARE(store->pagePaths(StoreKey::Template), QStringList{"/x/temp00.pdf"});
        QCOMPARE(lines, QStringList{"any (\"/x/temp00.pdf\")"});
        QCOMPARE(store->pagePaths(StoreKey::Temporary), QStringList());

        // One counter for every kind; a new process starts again.
        QCOMPARE(store->scratchPath(StoreKey::Temporary), dir + "/tmp1.pdf");
        QCOMPARE(store->scratchPath(StoreKey::Preview), dir + "/prev2.pdf");
        QCOMPARE(store->scratchPath(StoreKey::Temporary), dir + "/tmp3.pdf");
        QVERIFY(!QFileInfo::exists(dir + "/tmp1.pdf"));
        QCOMPARE(open()->scratchPath(StoreKey::Temporary), dir + "/tmp1.pdf");
    }

    void fileOperations()
    {
        auto store = storeWith({});
        store->deleteFile(files + "/missing.pdf");
        QCOMPARE(lines, QStringList{"No deletable File"});
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
        store->copyFile(":/quillary/settings.plist", files + "/defaults.plist");
        QVERIFY(readPropertyListDictionary(readAll(files + "/defaults.plist")).has_value());
        QVERIFY(QFileInfo(files + "/defaults.plist").isWritable());

        // Directories: copied whole with their modes, removed whole.
        const QString launch = files + "/Quillary.workflow/Contents/launch";
        QDir().mkpath(QFileInfo(launch).path());
        QVERIFY(testpdfs::writeBytes(launch, "#!/bin/sh\n"));
        QFile::setPermissions(launch, QFile::permissions(launch) | QFile::ExeOwner);
        const QString target = files + "/PDF Services/Quillary.workflow";
        QDir().mkpath(files + "/PDF Services");
        lines.clear();
        store->copyFile(files + "/Quillary.workflow", target);
        QCOMPARE(readAll(target + "/Contents/launch"), QByteArray("#!/bin/sh\n"));
        QVERIFY(QFileInfo(target + "/Contents/launch").isExecutable());
        store->removeIfReadable(target);
        QVERIFY(!QFileInfo::exists(target));
        store->removeIfReadable(target); // nothing there: nothing happens
        QCOMPARE(lines, QStringList());
        store->removeIfReadable(dir); // the whole store, as "Reset settings" does
        QVERIFY(!QFileInfo::exists(dir));
    }

    void saveNewTemplate_data()
    {
        QTest::addColumn<QSizeF>("size"); // of the start page; empty: none
        QTest::addColumn<QString>("docFormat");
        QTest::newRow("A4 portrait") << QSizeF(595, 842) << "0";
        QTest::newRow("A4 landscape") << QSizeF(842, 595) << "0";
        QTest::newRow("US Letter") << QSizeF(612, 792) << "1";
        QTest::newRow("US Letter landscape") << QSizeF(792, 612) << "1";
        QTest::newRow("other") << QSizeF(600, 800) << "99";
        QTest::newRow("no start page") << QSizeF() << "99";
    }
    void saveNewTemplate()
    {
        QFETCH(QSizeF, size); QFETCH(QString, docFormat);
        auto store = storeWith({entry("Old", record("X"))});
        useSlots(size.isEmpty() ? QString() : pdf("start.pdf", size), "", pdf("terms.pdf"));
        QString error;
        QVERIFY2(store->saveTemplate("New", &error), qPrintable(error));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"New", "Old"}));
        const QVariantMap r = recordOf(*store, "New");
        QCOMPARE(fieldsOf(r), QString((size.isEmpty() ? "X" : "0") + QString("|X|0|Created 05.12.26|1|") + docFormat + "|0"));
        QCOMPARE(r.value("isActive").typeId(), QMetaType::Bool);
        QCOMPARE(store->pagePath(StoreKey::TemplateBack, 0), std::optional<QString>(dir + "/tempb00.pdf"));
        QCOMPARE(recordOf(*open(), "New"), r); // it is on disk
    }

    void saveExistingTemplate()
    {
        auto store = storeWith({});
        for (const char* start : {"other-start.pdf", "start.pdf", "third-start.pdf"})
            QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf(start)));
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        QVariantMap edited = record("1", "X", "0");
        edited.insert("isActive", false);
        edited.insert("isOverlay", true);
        store->addTemplate(entry("Third", record("2")));
        store->addTemplate(entry("Edited", edited));
        store->addTemplate(entry("First", record("0")));

        // Start page replaced by a Letter page, a continuation page added, terms page removed.
        editing("Edited");
        useSlots(pdf("letter.pdf", testpdfs::Letter), pdf("cont.pdf"), "");
        QString error;
        QVERIFY2(store->saveTemplate("Renamed", &error), qPrintable(error));
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"First", "Renamed", "Third"}));
        QCOMPARE(SharedData::templateName, QStringLiteral("Renamed"));
        const QVariantMap r = recordOf(*store, "Renamed");
        QCOMPARE(fieldsOf(r), QStringLiteral("1|0|X|Updated 05.12.26|0|1|1")); // start replaced in place
        QCOMPARE(testpdfs::mediaBox(dir + "/tempf01.pdf").size().toSize(), QSize(612, 792));
        QVERIFY(!QFileInfo::exists(dir + "/tempb00.pdf"));
        QCOMPARE(store->pagePaths(StoreKey::TemplateBack), QStringList());
        QCOMPARE(referenceText(field(*store, "Third", "frontPage")), QStringLiteral("2"));
        // On disk, the new page's index an integer, as older versions read it.
        QCOMPARE(field(*open(), "Renamed", "secondaryPage").typeId(), QMetaType::LongLong);
    }

    void saveExistingTemplateDeletesAndShiftsReferences()
    {
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::Template, pdf("c0.pdf")));
        QVERIFY(store->importPage(StoreKey::Template, pdf("c1.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        store->addTemplate(entry("Later", record("X", "1")));
        store->addTemplate(entry("Edited", record("0", "0")));
        editing("Edited");
        useSlots(SharedData::existing);
        QVERIFY(store->saveTemplate("Edited"));
        QCOMPARE(fieldsOf(recordOf(*store, "Edited")), QStringLiteral("0|X|X|Updated 05.12.26|1|0|0"));
        QCOMPARE(store->pagePaths(StoreKey::Template), QStringList{dir + "/temp01.pdf"});
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), (QStringList{"Edited", "Later"}));
        QCOMPARE(field(*open(), "Later", "secondaryPage"), QVariant("0"));
    }

    void saveExistingThatFailsChangesNothing_data()
    {
        QTest::addColumn<QString>("edited");
        QTest::newRow("template gone") << "Gone";
        QTest::newRow("unreadable continuation page") << "Edited";
    }
    void saveExistingThatFailsChangesNothing()
    {
        QFETCH(QString, edited);
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        store->addTemplate(entry("Edited", record("X", "X", "0")));
        editing(edited);
        // The terms slot emptied would delete the terms page.
        useSlots(pdf("fine.pdf"), edited == "Gone" ? QString() : files + "/missing.pdf", "");
        const QByteArray before = settingsBytes();
        QString error;
        QVERIFY(!store->saveTemplate(edited, &error));
        QVERIFY2(error.contains(edited == "Gone" ? "Gone" : "missing.pdf"), qPrintable(error));
        QCOMPARE(settingsBytes(), before);
        QCOMPARE(storeFiles("temp*"), QStringList{"tempb00.pdf"});
    }

    void aStoreThatRefusesWrites_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("file size limit") << "limit";
        QTest::newRow("read-only directory") << "read-only";
        QTest::newRow("a file in the directory's place") << "file";
    }
    // Every write fails and the store says so; what is on disk stays byte for byte.
    void aStoreThatRefusesWrites()
    {
        QFETCH(QString, how);
        if (how == "read-only" && ::geteuid() == 0)
            QSKIP("root writes into read-only directories");
        auto store = storeWith({entry("A", record("X"))});
        const QString source = pdf("start.pdf");
        rlimit saved{};
        const auto restore = qScopeGuard([&] {
            if (how == "limit")
                ::setrlimit(RLIMIT_FSIZE, &saved);
            else if (how == "read-only")
                QFile::setPermissions(dir, ownerOnlyDirectory);
        });
        if (how == "limit") {
            std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
            rlimit small = saved;
            small.rlim_cur = 16;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        } else if (how == "read-only") {
            QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        } else {
            QVERIFY(QDir(dir).removeRecursively());
            QVERIFY(testpdfs::writeBytes(dir, "not a directory"));
        }
        const QByteArray before = settingsBytes();
        store->addTemplate(entry("B", record("X")));
        QVERIFY(lines.contains("Can't save settings " + settings()));
        QVERIFY(!store->importPage(StoreKey::TemplateFirst, source));
        useSlots(source);
        QString error;
        QVERIFY(!store->saveTemplate("C", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!store->templateExists("C")); // the failed save is rolled back
        if (how == "file") {
            QCOMPARE(readAll(dir), QByteArray("not a directory"));
            return;
        }
        QCOMPARE(settingsBytes(), before);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.plist"});
    }

    // In memory the store is whole; the next write puts the directory back.
    void aStoreDirectoryThatVanishes()
    {
        auto store = storeWith({entry("A", record("X"))});
        QVERIFY(QDir(dir).removeRecursively());
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QVERIFY2(page, qPrintable(page.error));
        QCOMPARE(namesOf(onDisk().value(kTemplates).toList()), QStringList{"A"});
        QCOMPARE(mode(dir), ownerOnlyDirectory);
    }

    void sharedStoreIsCreatedOnceWithTheConfigGivenBefore()
    {
        configureSharedStore(config());
        CustomFileManager& first = sharedStore();
        QCOMPARE(first.settingsPath(), settings());
        StoreConfig later = config();
        later.directory = files + "/elsewhere";
        configureSharedStore(later); // too late: no effect
        QCOMPARE(&sharedStore(), &first);
        QCOMPARE(sharedStore().settingsPath(), settings());
        QVERIFY(!QFileInfo::exists(files + "/elsewhere"));
    }
};

QTEST_GUILESS_MAIN(TestCustomFileManager)
#include "tst_customfilemanager.moc"
