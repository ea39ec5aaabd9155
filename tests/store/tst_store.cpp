// The template store, its settings file and the page geometry it records.
// Every case runs in its own temporary store with a fixed clock.

#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"
#include "store/PropertyList.h"
#include "store/SharedData.h"
#include "support/TestPdfs.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace quillary;

namespace {

const QString kT = QStringLiteral("templateproperties");
const QString kDefault = QStringLiteral("Meine Vorlage 1");
const QString kData = QStringLiteral(QUILLARY_TEST_DATA_DIR "/");
const char* const kBadKinds[] = {"not a PDF", "encrypted", "zero pages", "missing"};

// One row of each data table, fetched as a single "row" column.
struct SaveRow { QString kind; QSizeF size; QString docFormat; };
struct WrongRow { QVariant templates; QStringList names; QString line; };
struct FormatRow { int w, h, code; bool landscape; };

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Unix mode bits as octal text ("700"), Qt's extra "user" bits left out.
QString mode(const QString& path)
{
    const int p = int(QFileInfo(path).permissions());
    return QString::number(((p >> 12) & 7) * 64 + ((p >> 4) & 7) * 8 + (p & 7), 8);
}

QVariantMap entry(const QString& name, const QVariant& front, const QString& secondary = "X", const QString& terms = "X")
{
    return {{name, QVariantMap{{"frontPage", front}, {"secondaryPage", secondary}, {"termsOfConditions", terms},
                               {"lastActivityWithDate", "Created 01.01.26"}, {"isActive", true},
                               {"docFormat", "0"}, {"isOverlay", false}}}};
}

QStringList namesOf(const std::optional<QVariantList>& list)
{
    QStringList names;
    for (const QVariant& e : list.value_or(QVariantList()))
        names << e.toMap().firstKey();
    return names;
}
QStringList namesOf(const CustomFileManager& store) { return namesOf(store.loadTemplateList()); }

QVariantMap recordOf(const CustomFileManager& store, const QString& name)
{
    return store.templatesNamed(name).value_or(QVariantList()).value(0).toMap().value(name).toMap();
}

// A record's fields as text in a fixed order, "|"-joined.
QString fieldsOf(const CustomFileManager& store, const QString& name)
{
    const QVariantMap r = recordOf(store, name);
    QStringList parts;
    for (const char* key : {"frontPage", "secondaryPage", "termsOfConditions", "lastActivityWithDate", "isActive",
                            "docFormat", "isOverlay"})
        parts << referenceText(r.value(key));
    return parts.join('|');
}

QString front(const CustomFileManager& store, const QString& name) { return fieldsOf(store, name).section('|', 0, 0); }

void useSlots(const QString& start, const QString& continuation = {}, const QString& terms = {})
{
    SharedData::startPagePath = start;
    SharedData::continualPagePath = continuation;
    SharedData::agbPagePath = terms;
}

// Puts SharedData into "editing the template called name".
void editing(const QString& name)
{
    SharedData::isNewTemplate = false;
    SharedData::templateName = name;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    QString dir, files;
    QStringList lines;

    std::unique_ptr<CustomFileManager> open(bool sample = true)
    {
        StoreConfig c{.directory = dir, .clock = [] { return QDateTime(QDate(2026, 12, 5), QTime(12, 0)); },
                      .print = [this](const QString& line) { lines << line; }};
        if (!sample)
            c.sampleLetterheadPath.clear();
        return std::make_unique<CustomFileManager>(c);
    }
    QString inStore(const QString& name) const { return dir + "/" + name; }
    QString settings() const { return inStore("settings.plist"); }
    QStringList namesOnDisk() const { return namesOf(onDisk().value(kT).toList()); }
    QVariantMap onDisk() const { return readPropertyListDictionary(readAll(settings())).value_or(QVariantMap()); }
    QStringList storeFiles(const QString& pattern) const { return QDir(dir).entryList({pattern}, QDir::Files | QDir::Hidden); }

    void writeSettings(const QByteArray& bytes)
    {
        QDir().mkpath(dir);
        QVERIFY(testpdfs::writeBytes(settings(), bytes));
    }

    // A store holding these templates (an empty list: none at all) and no pages.
    std::unique_ptr<CustomFileManager> storeWith(const QVariant& templates)
    {
        writeSettings(writePropertyListXml({{"first_start", QVariantList{"N"}}, {kT, templates}}));
        auto store = open(false);
        if (templates.typeId() == QMetaType::QVariantList && templates.toList().isEmpty())
            store->deleteTemplate(kDefault);
        lines.clear();
        return store;
    }

    // A one-page PDF, or a source of one of the kBadKinds.
    QString pdf(const QString& name, QSizeF size = testpdfs::A4Whole, const QString& kind = "page")
    {
        const QString path = files + "/" + name;
        const bool ok = kind == "missing" || (kind == "not a PDF" && testpdfs::writeBytes(path, "Dear Sir,\n"))
                        || (kind == "encrypted" && testpdfs::writeEncrypted(path, "user", "owner"))
                        || (kind == "zero pages" && testpdfs::writeZeroPages(path))
                        || (kind == "page" && testpdfs::writePdf(path, {testpdfs::TestPage{size, name}}));
        if (!ok)
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        files = temp->path();
        dir = temp->filePath("store");
        lines.clear();
        SharedData::reset();
    }

    // With no settings file (a null row) or an unreadable one, which is moved aside first.
    void firstAndSecondStart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no settings file") << QByteArray();
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("truncated") << writePropertyListXml({{kT, QVariantList{}}}).left(120);
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x13\x37garbage\x00\x01", 14);
        QTest::newRow("array root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
    }
    void firstAndSecondStart()
    {
        QFETCH(QByteArray, bytes);
        if (!bytes.isNull())
            writeSettings(bytes);
        auto store = open();
        const QString aside = settings() + ".corrupt-20261205-120000";
        QCOMPARE(readAll(aside), bytes);
        QCOMPARE(lines.filter("Unreadable"), bytes.isNull() ? QStringList() : QStringList{"Unreadable settings file moved to " + aside});
        QCOMPARE(QFileInfo(aside).isFile(), !bytes.isNull());
        QCOMPARE(namesOf(*store), QStringList{kDefault});
        QCOMPARE(namesOnDisk(), QStringList{kDefault});
        QCOMPARE(fieldsOf(*store, kDefault), QStringLiteral("0|X|X|Created 05.12.26|1|0|0"));
        const auto start = store->pagePath(StoreKey::TemplateFirst, 0);
        QVERIFY(start && QFileInfo(*start).isFile());
        QCOMPARE((QStringList{mode(dir), mode(settings()), mode(*start)}), (QStringList{"700", "600", "600"}));

        const QByteArray before = readAll(settings());
        lines.clear();
        auto again = open();
        QCOMPARE(lines, QStringList{"File exists"});
        QCOMPARE(readAll(settings()), before);
    }

    void settingsFromAnotherWriter_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("XML") << "settings-foreign.plist";
        QTest::newRow("binary") << "settings-binary.plist";
    }
    void settingsFromAnotherWriter()
    {
        QFETCH(QString, fixture);
        const QByteArray bytes = readAll(kData + fixture);
        writeSettings(bytes);
        auto store = open();
        QCOMPARE(namesOf(*store), (QStringList{"Briefpapier", "Rechnung"}));
        QCOMPARE(fieldsOf(*store, "Briefpapier"), QStringLiteral("0|X|X|Created 01.02.24|1|0|0"));
        QCOMPARE(fieldsOf(*store, "Rechnung").section('|', 4, 6), QStringLiteral("0|99|1"));

        store->addTemplate(entry("Neu", "X"));
        const QVariantMap saved = onDisk();
        QCOMPARE(namesOf(saved.value(kT).toList()), (QStringList{"Neu", "Briefpapier", "Rechnung"}));
        const QVariantMap original = readPropertyListDictionary(bytes).value_or(QVariantMap());
        QCOMPARE(original.value("windowState"), QVariant(QByteArray("\x00\x01\x02\xfe\xff", 5)));
        QCOMPARE(original.value("lastLaunch"), QVariant(QDateTime(QDate(2024, 2, 1), QTime(9, 30, 15), Qt::UTC)));
        for (const char* key : {"lastLaunch", "windowState", "launchCount", "zoom", "showRulers", "recentDocuments", "printer"}) {
            QCOMPARE(saved.value(key).typeId(), original.value(key).typeId());
            QCOMPARE(saved.value(key), original.value(key));
        }
        // Records keep their integer references and unknown keys ("colour": "blue") as they were.
        QCOMPARE(saved.value(kT).toList().mid(1), original.value(kT).toList());
    }

    void legacyPatternsBecomeTemplates()
    {
        writeSettings(writePropertyListXml(
            {{"templatepattern", QVariantMap{{"Alpha", "0-X-X-Created 01.02.19"}, {"Beta", "1-0-X-Updated 03.04.19"}}}}));
        auto store = open();
        QCOMPARE(store->dictionary()->value("templatepattern"), QVariant(QVariantList{}));
        QCOMPARE(namesOnDisk(), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(fieldsOf(*store, "Alpha"), QStringLiteral("0|X|X|Created 01.02.19|1|0|0"));
        QCOMPARE(fieldsOf(*store, "Beta"), QStringLiteral("1|0|X|Updated 03.04.19|1|0|0"));
        const QByteArray before = readAll(settings());
        open();
        QCOMPARE(readAll(settings()), before);
    }

    void importAndDeletePages()
    {
        // The store directory vanishes first; the import makes it again and rewrites the settings.
        auto store = storeWith(QVariantList{entry("A", "X")});
        QVERIFY(QDir(dir).removeRecursively());
        QStringList expected;
        for (const QString& source : {pdf("a.pdf"), pdf("b.pdf"), pdf("C.PDF", testpdfs::Letter)}) {
            QCOMPARE(store->importPage(StoreKey::TemplateFirst, source).index, std::optional<int>(expected.size()));
            expected << inStore(QString("tempf%1.pdf").arg(expected.size(), 2, 10, QChar('0')));
        }
        QCOMPARE(namesOnDisk(), QStringList{"A"});
        QCOMPARE(mode(dir), QStringLiteral("700"));
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), expected);
        QCOMPARE(testpdfs::mediaBox(expected[2]).size().toSize(), QSize(612, 792));
        // Only a lower-case ".pdf" source is measured; bad sources are rows of saveNewTemplate.
        QCOMPARE(TaskManager::pageSize(files + "/C.PDF"), (PageSize{0, 0}));
        QCOMPARE(TaskManager::pageSize(pdf("a4.pdf", testpdfs::A4)), (PageSize{595, 842}));

        store->addTemplate(entry("Refers2", "2"));
        store->addTemplate(entry("Refers0", "0"));
        store->deletePage(StoreKey::TemplateFirst, 1);
        QVERIFY(!QFileInfo::exists(expected[1]));
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), (QStringList{expected[0], expected[2]}));
        QCOMPARE(front(*store, "Refers2"), QStringLiteral("1"));
        QCOMPARE(front(*store, "Refers0"), QStringLiteral("0"));

        QCOMPARE(store->importPage(StoreKey::TemplateFirst, pdf("d.pdf")).index, std::optional<int>(2));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 2), std::optional<QString>(expected[1]));

        const QVariantMap before = *store->dictionary();
        store->deletePage(StoreKey::TemplateFirst, 3);
        QVERIFY(lines.contains("The.Row.3.doesnt.Exist"));
        QCOMPARE(*store->dictionary(), before);
    }

    void namesAndFileOperations()
    {
        auto store = storeWith(QVariantList{entry("A", "X"), entry("Brief", "X")});
        QCOMPARE(store->scratchPath(StoreKey::Temporary), inStore("tmp1.pdf"));
        QCOMPARE(store->scratchPath(StoreKey::Preview), inStore("prev2.pdf"));
        QCOMPARE(store->scratchPath(StoreKey::Temporary), inStore("tmp3.pdf"));
        store->deleteFile(files + "/missing.pdf");
        QCOMPARE(lines, QStringList{"No deletable File"});
        const QString b = pdf("b.pdf"), c = pdf("c.pdf");
        const QByteArray cBytes = readAll(c);
        store->copyFile(b, c);
        QCOMPARE(lines.last(), "cant copy File " + b);
        QCOMPARE(readAll(c), cBytes);

        store->addTemplate(entry("C", "X"));
        QVERIFY(store->templateExists("Brief"));
        for (const char* other : {"brief", "Brief "})
            QVERIFY2(!store->templateExists(other), other);
        store->replaceTemplate("A", "A2", entry("A", "X"));
        QCOMPARE(SharedData::templateName, QStringLiteral("A2"));
        QCOMPARE(namesOnDisk(), (QStringList{"C", "A2", "Brief"}));
    }

    // A good start page decides docFormat; a bad terms page is neither measured nor imported, and
    // the save stops before it stores the good pages either.
    void saveNewTemplate_data()
    {
        QTest::addColumn<SaveRow>("row");
        QTest::newRow("A4") << SaveRow{"page", {595, 842}, "0"};
        QTest::newRow("A4 landscape") << SaveRow{"page", {842, 595}, "0"};
        QTest::newRow("US Letter") << SaveRow{"page", {612, 792}, "1"};
        QTest::newRow("other") << SaveRow{"page", {600, 800}, "99"};
        for (const char* kind : kBadKinds)
            QTest::newRow(kind) << SaveRow{kind, testpdfs::A4Whole, ""};
    }
    void saveNewTemplate()
    {
        QFETCH(SaveRow, row);
        auto store = storeWith(QVariantList{entry("Old", "X")});
        const QString terms = pdf("terms.pdf", testpdfs::A4Whole, row.kind);
        const bool good = row.kind == "page";
        const QByteArray before = readAll(settings());
        const QVariantMap dictBefore = *store->dictionary();
        if (!good) {
            QCOMPARE(TaskManager::pageSize(terms), (PageSize{0, 0}));
            const ImportResult result = store->importPage(StoreKey::TemplateBack, terms);
            QVERIFY2(!result && result.error.contains(terms), qPrintable(result.error));
            QCOMPARE(*store->dictionary(), dictBefore);
        }
        useSlots(pdf("start.pdf", row.size), good ? "" : pdf("cont.pdf"), terms);
        QString error;
        QVERIFY2(store->saveTemplate("New", &error) == good, qPrintable(error));
        if (!good) {
            QVERIFY(error.contains(terms));
            QCOMPARE(readAll(settings()), before);
            QCOMPARE(storeFiles("*.pdf"), QStringList());
            return;
        }
        QCOMPARE(namesOf(*open()), (QStringList{"New", "Old"}));
        QCOMPARE(fieldsOf(*open(), "New"), "0|X|0|Created 05.12.26|1|" + row.docFormat + "|0");
    }

    void saveExistingTemplate()
    {
        auto store = storeWith(QVariantList{});
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("start.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        store->addTemplate(entry("Edited", "0", "X", "0"));
        const QString start = inStore("tempf00.pdf");
        const QByteArray startBytes = readAll(start);

        editing("Edited");
        useSlots(SharedData::existing, pdf("cont.pdf"), "");
        QVERIFY(store->saveTemplate("Renamed"));
        QCOMPARE(SharedData::templateName, QStringLiteral("Renamed"));
        QCOMPARE(fieldsOf(*open(), "Renamed"), QStringLiteral("0|0|X|Updated 05.12.26|1|0|0"));
        QCOMPARE(readAll(start), startBytes);
        QCOMPARE(storeFiles("tempb*"), QStringList());
        QCOMPARE(recordOf(*open(), "Renamed").value("secondaryPage").typeId(), QMetaType::LongLong);

        useSlots(pdf("letter.pdf", testpdfs::Letter), SharedData::existing, "");
        QVERIFY(store->saveTemplate("Renamed"));
        QCOMPARE(fieldsOf(*store, "Renamed"), QStringLiteral("0|0|X|Updated 05.12.26|1|1|0"));
        QCOMPARE(testpdfs::mediaBox(start).size().toSize(), QSize(612, 792));
    }

    void aFailingWriteKeepsTheOldFile()
    {
        auto store = storeWith(QVariantList{entry("A", "X")});
        const QByteArray before = readAll(settings());
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small{16, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        store->addTemplate(entry("B", "X"));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(lines.contains("Can't save settings " + settings()));
        QCOMPARE(readAll(settings()), before);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.plist"});
    }

    void wrongTypes_data()
    {
        // line: printed when the edited template's start slot is emptied.
        QTest::addColumn<WrongRow>("row");
        QTest::newRow("template list is text") << WrongRow{"templates", {kDefault}, ""};
        const QVariantMap a = entry("A", "X"), b = entry("B", "X");
        QTest::newRow("entry with two keys") << WrongRow{QVariantList{QVariantMap{{"A", a["A"]}, {"B", b["B"]}}}, {"A", "B"}, ""};
        const auto refRow = [](const char* name, const QVariant& ref, const QString& line) {
            QTest::newRow(name) << WrongRow{QVariantList{entry("Edited", ref), entry("Other", "0")}, {"Edited", "Other"}, line};
        };
        refRow("reference neither X nor digits", "abc", "");
        refRow("negative index", qlonglong(-1), "");
        refRow("index past the list", "12", "The.Row.12.doesnt.Exist");
    }
    void wrongTypes()
    {
        QFETCH(WrongRow, row);
        auto store = storeWith(row.templates);
        QCOMPARE(namesOf(*store), row.names);
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        if (row.names.first() == "Edited") {
            editing("Edited");
            QVERIFY(store->saveTemplate("Edited"));
            QCOMPARE(front(*store, "Edited"), QStringLiteral("X"));
            QCOMPARE(lines.contains(row.line), !row.line.isEmpty());
            QCOMPARE(store->pagePaths(StoreKey::TemplateFirst).size(), 1);
            QCOMPARE(front(*store, "Other"), QStringLiteral("0"));
        }
        store->deleteTemplate(row.names.first());
        QCOMPARE(namesOnDisk(), row.names.mid(1));
    }

    // Boundary sizes, and the standard size of the format each one falls in.
    void pageFormat_data()
    {
        QTest::addColumn<FormatRow>("row");
        for (const FormatRow& r : {FormatRow{594, 841, 1, false}, {596, 853, 1, false}, {596, 854, 0, false},
                                   {593, 842, 0, false}, {612, 794, 0, false}, {853, 594, 1, true},
                                   {611, 791, 2, false}, {613, 793, 2, false}, {791, 611, 2, true}})
            QTest::addRow("%dx%d", r.w, r.h) << r;
    }
    void pageFormat()
    {
        QFETCH(FormatRow, row);
        QCOMPARE(TaskManager::pageFormat(row.w, row.h), (PageFormat{std::uint8_t(row.code), row.landscape}));
        const PageSize standard[] = {{0, 0}, {595, 842}, {612, 792}};
        QCOMPARE(TaskManager::standardPageSize(std::uint8_t(row.code)), standard[row.code]);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
