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

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

// A record's fields as text in a fixed order, "|"-joined.
QString fieldsOf(const CustomFileManager& store, const QString& name)
{
    const QVariantMap r = store.templatesNamed(name).value_or(QVariantList()).value(0).toMap().value(name).toMap();
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

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    QString dir, files;
    QStringList lines;

    std::unique_ptr<CustomFileManager> open(bool sample = true)
    {
        StoreConfig c;
        c.directory = dir;
        c.clock = [] { return QDateTime(QDate(2026, 12, 5), QTime(12, 0)); };
        c.print = [this](const QString& line) { lines << line; };
        if (!sample)
            c.sampleLetterheadPath.clear();
        return std::make_unique<CustomFileManager>(c);
    }
    QString settings() const { return dir + "/settings.plist"; }
    QStringList namesOnDisk() const { return namesOf(onDisk().value(kT).toList()); }
    QVariantMap onDisk() const { return readPropertyListDictionary(readAll(settings())).value_or(QVariantMap()); }
    QStringList storeFiles(const QString& pattern) const { return QDir(dir).entryList({pattern}, QDir::Files | QDir::Hidden); }

    void writeSettings(const QByteArray& bytes)
    {
        QDir().mkpath(dir);
        QVERIFY(testpdfs::writeBytes(settings(), bytes));
    }

    // A store holding these templates and no pages.
    std::unique_ptr<CustomFileManager> storeWith(const QVariantList& templates)
    {
        writeSettings(writePropertyListXml({{"first_start", QVariantList{"N"}}, {kT, templates}}));
        auto store = open(false);
        if (templates.isEmpty())
            store->deleteTemplate(kDefault);
        lines.clear();
        return store;
    }

    // A one-page PDF, or a source of the kind "not a PDF", "encrypted", "zero pages" or "missing".
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
        dir = temp->filePath("store");
        files = temp->path();
        lines.clear();
        SharedData::reset();
    }

    void firstAndSecondStart()
    {
        auto store = open();
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{kDefault});
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

    void corruptSettingsAreMovedAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << writePropertyListXml({{kT, QVariantList{}}}).left(120);
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x13\x37garbage\x00\x01", 14);
        QTest::newRow("array root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
    }
    void corruptSettingsAreMovedAside()
    {
        QFETCH(QByteArray, bytes);
        writeSettings(bytes);
        auto store = open();
        const QString aside = settings() + ".corrupt-20261205-120000";
        QVERIFY(QFileInfo(aside).isFile());
        QCOMPARE(readAll(aside), bytes);
        QCOMPARE(lines.filter("Unreadable"), QStringList{"Unreadable settings file moved to " + aside});
        QCOMPARE(namesOf(store->loadTemplateList()), QStringList{kDefault});
        QCOMPARE(namesOnDisk(), QStringList{kDefault});
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
        writeSettings(readAll(kData + fixture));
        auto store = open();
        QCOMPARE(namesOf(store->loadTemplateList()), (QStringList{"Briefpapier", "Rechnung"}));
        QCOMPARE(fieldsOf(*store, "Briefpapier"), QStringLiteral("0|X|X|Created 01.02.24|1|0|0"));
        QCOMPARE(fieldsOf(*store, "Rechnung").section('|', 4, 6), QStringLiteral("0|99|1"));

        store->addTemplate(entry("Neu", "X"));
        const QVariantMap saved = onDisk();
        QCOMPARE(namesOf(saved.value(kT).toList()), (QStringList{"Neu", "Briefpapier", "Rechnung"}));
        const QVariantMap original = readPropertyListDictionary(readAll(kData + fixture)).value_or(QVariantMap());
        QCOMPARE(original.value("windowState"), QVariant(QByteArray("\x00\x01\x02\xfe\xff", 5)));
        QCOMPARE(original.value("lastLaunch"), QVariant(QDateTime(QDate(2024, 2, 1), QTime(9, 30, 15), Qt::UTC)));
        for (const char* key : {"lastLaunch", "windowState", "launchCount", "zoom", "showRulers", "recentDocuments", "printer"}) {
            QCOMPARE(saved.value(key).typeId(), original.value(key).typeId());
            QCOMPARE(saved.value(key), original.value(key));
        }
        const QVariantMap brief = saved.value(kT).toList().at(1).toMap().value("Briefpapier").toMap();
        QCOMPARE(brief.value("frontPage"), QVariant(qlonglong(0)));
        QCOMPARE(brief.value("colour"), QVariant(QStringLiteral("blue")));
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
        auto store = storeWith({});
        const QString upper = files + "/C.PDF";
        QVERIFY(QFile::copy(pdf("c.pdf", testpdfs::Letter), upper));
        QStringList expected;
        for (const QString& source : {pdf("a.pdf"), pdf("b.pdf"), upper}) {
            const ImportResult r = store->importPage(StoreKey::TemplateFirst, source);
            QCOMPARE(r.index, std::optional<int>(expected.size()));
            expected << dir + QString("/tempf%1.pdf").arg(expected.size(), 2, 10, QChar('0'));
        }
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), expected);
        QCOMPARE(testpdfs::mediaBox(expected[2]).size().toSize(), QSize(612, 792));

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

    void importOfABadSource_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"not a PDF", "encrypted", "zero pages", "missing"})
            QTest::newRow(kind) << QString(kind);
    }
    void importOfABadSource()
    {
        QFETCH(QString, kind);
        auto store = storeWith({entry("A", "X")});
        const QString bad = pdf("letter.pdf", testpdfs::A4Whole, kind);
        const QByteArray before = readAll(settings());
        const QVariantMap dictBefore = *store->dictionary();
        const ImportResult result = store->importPage(StoreKey::TemplateBack, bad);
        QVERIFY(!result);
        QVERIFY2(result.error.contains(bad), qPrintable(result.error));
        QCOMPARE(*store->dictionary(), dictBefore);

        // The save procedure stops before it stores the good pages either.
        useSlots(pdf("fine.pdf"), pdf("fine2.pdf"), bad);
        QString error;
        QVERIFY(!store->saveTemplate("New", &error));
        QVERIFY(error.contains(bad));
        QCOMPARE(readAll(settings()), before);
        QCOMPARE(storeFiles("*.pdf"), QStringList());
    }

    void fileOperationsAndScratchNames()
    {
        auto store = storeWith({});
        QCOMPARE(store->scratchPath(StoreKey::Temporary), dir + "/tmp1.pdf");
        QCOMPARE(store->scratchPath(StoreKey::Preview), dir + "/prev2.pdf");
        QCOMPARE(store->scratchPath(StoreKey::Temporary), dir + "/tmp3.pdf");
        store->deleteFile(files + "/missing.pdf");
        QCOMPARE(lines, QStringList{"No deletable File"});
        const QString b = pdf("b.pdf"), c = pdf("c.pdf");
        const QByteArray cBytes = readAll(c);
        store->copyFile(b, c);
        QCOMPARE(lines.last(), "cant copy File " + b);
        QCOMPARE(readAll(c), cBytes);
    }

    void templateListEdits()
    {
        auto store = storeWith({entry("A", "X"), entry("Brief", "X")});
        store->addTemplate(entry("C", "X"));
        QVERIFY(store->templateExists("Brief"));
        for (const char* other : {"brief", "Brief "})
            QVERIFY2(!store->templateExists(other), other);
        store->replaceTemplate("A", "A2", entry("A", "X"));
        QCOMPARE(SharedData::templateName, QStringLiteral("A2"));
        QCOMPARE(namesOnDisk(), (QStringList{"C", "A2", "Brief"}));
    }

    void saveNewTemplate_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QString>("docFormat");
        QTest::newRow("A4") << QSizeF(595, 842) << "0";
        QTest::newRow("A4 landscape") << QSizeF(842, 595) << "0";
        QTest::newRow("US Letter") << QSizeF(612, 792) << "1";
        QTest::newRow("other") << QSizeF(600, 800) << "99";
    }
    void saveNewTemplate()
    {
        QFETCH(QSizeF, size); QFETCH(QString, docFormat);
        auto store = storeWith({entry("Old", "X")});
        useSlots(pdf("start.pdf", size), "", pdf("terms.pdf"));
        QString error;
        QVERIFY2(store->saveTemplate("New", &error), qPrintable(error));
        QCOMPARE(namesOf(open()->loadTemplateList()), (QStringList{"New", "Old"}));
        QCOMPARE(fieldsOf(*open(), "New"), "0|X|0|Created 05.12.26|1|" + docFormat + "|0");
    }

    void saveExistingTemplate()
    {
        auto store = storeWith({});
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("start.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        store->addTemplate(entry("Edited", "0", "X", "0"));
        const QByteArray startBytes = readAll(dir + "/tempf00.pdf");

        SharedData::isNewTemplate = false;
        SharedData::templateName = "Edited";
        useSlots(SharedData::existing, pdf("cont.pdf"), "");
        QVERIFY(store->saveTemplate("Renamed"));
        QCOMPARE(SharedData::templateName, QStringLiteral("Renamed"));
        QCOMPARE(fieldsOf(*open(), "Renamed"), QStringLiteral("0|0|X|Updated 05.12.26|1|0|0"));
        QCOMPARE(readAll(dir + "/tempf00.pdf"), startBytes);
        QCOMPARE(storeFiles("tempb*"), QStringList());
        QCOMPARE(open()->templatesNamed("Renamed")->first().toMap().value("Renamed").toMap().value("secondaryPage").typeId(),
                 QMetaType::LongLong);

        useSlots(pdf("letter.pdf", testpdfs::Letter), SharedData::existing, "");
        QVERIFY(store->saveTemplate("Renamed"));
        QCOMPARE(fieldsOf(*store, "Renamed"), QStringLiteral("0|0|X|Updated 05.12.26|1|1|0"));
        QCOMPARE(testpdfs::mediaBox(dir + "/tempf00.pdf").size().toSize(), QSize(612, 792));
    }

    void aFailingWriteKeepsTheOldFile()
    {
        auto store = storeWith({entry("A", "X")});
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
        QTest::addColumn<QVariant>("templates");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("line"); // printed when the edited template's start slot is emptied
        QTest::newRow("template list is text") << QVariant("templates") << QStringList{kDefault} << "";
        const QVariantMap a = entry("A", "X"), b = entry("B", "X");
        QTest::newRow("entry with two keys") << QVariant(QVariantList{QVariantMap{{"A", a["A"]}, {"B", b["B"]}}})
                                             << QStringList{"A", "B"} << "";
        const auto refRow = [](const char* name, const QVariant& ref, const QString& line) {
            QTest::newRow(name) << QVariant(QVariantList{entry("Edited", ref), entry("Other", "0")})
                                << QStringList{"Edited", "Other"} << line;
        };
        refRow("reference neither X nor digits", "abc", "");
        refRow("negative index", qlonglong(-1), "");
        refRow("index past the list", "12", "The.Row.12.doesnt.Exist");
    }
    void wrongTypes()
    {
        QFETCH(QVariant, templates); QFETCH(QStringList, names); QFETCH(QString, line);
        writeSettings(writePropertyListXml({{"first_start", QVariantList{"N"}}, {kT, templates}}));
        auto store = open(false);
        QCOMPARE(namesOf(store->loadTemplateList()), names);
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        if (names.first() == "Edited") {
            SharedData::isNewTemplate = false;
            SharedData::templateName = "Edited";
            lines.clear();
            QVERIFY(store->saveTemplate("Edited"));
            QCOMPARE(front(*store, "Edited"), QStringLiteral("X"));
            QCOMPARE(lines.contains(line), !line.isEmpty());
            QCOMPARE(store->pagePaths(StoreKey::TemplateFirst).size(), 1);
            QCOMPARE(front(*store, "Other"), QStringLiteral("0"));
        }
        store->deleteTemplate(names.first());
        QCOMPARE(namesOnDisk(), names.mid(1));
    }

    void aStoreDirectoryThatVanishes()
    {
        auto store = storeWith({entry("A", "X")});
        QVERIFY(QDir(dir).removeRecursively());
        const ImportResult page = store->importPage(StoreKey::TemplateFirst, pdf("a.pdf"));
        QVERIFY2(page, qPrintable(page.error));
        QCOMPARE(namesOnDisk(), QStringList{"A"});
        QCOMPARE(mode(dir), QStringLiteral("700"));
    }

    void pageFormat_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("landscape");
        const struct { int w, h, code; bool landscape; } rows[] = {
            {594, 841, 1, false}, {596, 853, 1, false}, {596, 854, 0, false}, {593, 842, 0, false}, {612, 794, 0, false},
            {853, 594, 1, true}, {611, 791, 2, false}, {613, 793, 2, false}, {791, 611, 2, true}};
        for (const auto& r : rows)
            QTest::addRow("%dx%d", r.w, r.h) << r.w << r.h << r.code << r.landscape;
    }
    void pageFormat()
    {
        QFETCH(int, width); QFETCH(int, height); QFETCH(int, code); QFETCH(bool, landscape);
        QCOMPARE(TaskManager::pageFormat(width, height), (PageFormat{std::uint8_t(code), landscape}));
    }

    void pageSize_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QSize>("size");
        QTest::newRow("A4 in fractions") << "page" << "a4.pdf" << QSize(595, 842);
        QTest::newRow("upper-case PDF") << "page" << "A4.PDF" << QSize(0, 0);
        for (const char* kind : {"not a PDF", "encrypted", "zero pages", "missing"})
            QTest::newRow(kind) << QString(kind) << "bad.pdf" << QSize(0, 0);
    }
    void pageSize()
    {
        QFETCH(QString, kind); QFETCH(QString, fileName); QFETCH(QSize, size);
        QCOMPARE(TaskManager::pageSize(pdf(fileName, testpdfs::A4, kind)), (PageSize{size.width(), size.height()}));
    }

    void standardPageSize()
    {
        QCOMPARE(TaskManager::standardPageSize(0), (PageSize{0, 0}));
        QCOMPARE(TaskManager::standardPageSize(1), (PageSize{595, 842}));
        QCOMPARE(TaskManager::standardPageSize(2), (PageSize{612, 792}));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
