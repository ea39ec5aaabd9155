// The template store, its settings file, where it lives and the page
// geometry it records. Every case runs in its own temporary store with a
// fixed clock. The cases of several processes run this executable again
// ("--store-child") on one store.

#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"
#include "store/PropertyList.h"
#include "store/SharedData.h"
#include "store/StoreLocation.h"
#include "support/SmallDisk.h"
#include "support/TestPdfs.h"

#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <cstdio>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace quillary;

namespace {

const QString kT = QStringLiteral("templateproperties");
const QString kDefault = QStringLiteral("Meine Vorlage 1");
const QString kStamp = QStringLiteral("20261205-120000"); // the fixed clock, as aside names show it

// One row of each data table, fetched as a single "row" column.
struct StartRow { QByteArray bytes; QString tag; QString line; bool nameTaken = false; };
struct LegacyRow { QVariantMap patterns; QVariantMap fields; };
struct RenumberRow { QVariant past; bool shared; bool throughSave; bool replace = false; };
struct SaveRow { QString kind; QSizeF size; QString docFormat; QString name = "New"; };
struct WrongRow { QVariant templates; QStringList names; QString line; bool keptCopy = false; };
struct FormatRow { int w, h, code; bool landscape; };
enum class Full { Settings, PageInPlace, SecondNewPage, SettingsAfterNewPages, SettingsAfterReplacedPage };
struct ProcessRow { QStringList roles; int count; };
enum class Place { HomeUnset, DefaultPlace, LinkToOwnFolder, LinkToOthersFolder, DanglingLink, NotAFolder };
struct PlaceRow { Place place; QString line; };

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

TemplateRecord rec(const QString& name, const QVariant& front, const QVariant& secondary = "X", const QVariant& terms = "X")
{
    return {name, QVariantMap{{"frontPage", front}, {"secondaryPage", secondary}, {"termsOfConditions", terms},
                              {"lastActivityWithDate", "Created 01.01.26"}, {"isActive", true},
                              {"docFormat", "0"}, {"isOverlay", false}}};
}
QVariantMap entry(const QString& name, const QVariant& front, const QVariant& secondary = "X") { return rec(name, front, secondary).toEntry(); }

QStringList namesOf(const CustomFileManager& store)
{
    QStringList names;
    for (const TemplateRecord& r : store.loadTemplateList().value_or(QList<TemplateRecord>()))
        names << r.name;
    return names;
}

// A record's fields as text in a fixed order, "|"-joined.
QString fieldsOf(const CustomFileManager& store, const QString& name)
{
    const QVariantMap r = store.templateNamed(name).value_or(TemplateRecord{}).properties;
    QStringList parts;
    for (const char* key : {"frontPage", "secondaryPage", "termsOfConditions", "lastActivityWithDate", "isActive",
                            "docFormat", "isOverlay"})
        parts << referenceText(r.value(key));
    return parts.join('|');
}
QString front(const CustomFileManager& store, const QString& name) { return fieldsOf(store, name).section('|', 0, 0); }

TemplateEdit editOf(const QString& editedName, const QString& typedName, const QString& start,
                    const QString& continuation = {}, const QString& terms = {})
{
    return TemplateEdit{typedName, editedName, editedName.isEmpty(), {start, continuation, terms}};
}

// One of the processes of severalProcessesAtOnce: saves count templates named
// tag + number, and depending on the role disables and deletes some of them or
// resets the store half-way.
int storeChild(const QStringList& a)
{
    const QString dir = a.value(0), role = a.value(1), tag = a.value(2), source = a.value(4);
    ScopedPlainLineSink quiet{PlainLineSink()};
    CustomFileManager store(StoreConfig{.directory = dir, .lockTimeoutMs = 60000});
    const auto failed = [](const Result& r) {
        if (!r)
            std::fprintf(stderr, "%s\n", qPrintable(r.error));
        return !r;
    };
    for (int i = 0; i < a.value(3).toInt(); ++i) {
        const QString name = tag + QString::number(i);
        if (failed(store.saveTemplate(editOf({}, name, source))))
            return 1;
        if (role == "churn") {
            auto record = store.templateNamed(name).value_or(TemplateRecord{});
            record.setActive(false);
            if (failed(store.updateTemplate(record)) || (i % 2 && failed(store.removeTemplate(name))))
                return 1;
        }
        if (role == "reset" && i == a.value(3).toInt() / 2 && failed(store.resetStore()))
            return 1;
    }
    return 0;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<ScopedPlainLineSink> sink;
    QString dir, files;
    QStringList lines;

    std::unique_ptr<CustomFileManager> open(bool sample = true, int lockTimeoutMs = 10000)
    {
        StoreConfig c{.directory = dir, .clock = [] { return QDateTime(QDate(2026, 12, 5), QTime(12, 0)); },
                      .lockTimeoutMs = lockTimeoutMs};
        if (!sample)
            c.sampleLetterheadPath.clear();
        return std::make_unique<CustomFileManager>(c);
    }
    QString inStore(const QString& name) const { return dir + "/" + name; }
    QString settings() const { return inStore("settings.plist"); }
    QVariantMap onDisk() const { return readPropertyListDictionary(readAll(settings())).value_or(QVariantMap()); }
    QStringList namesOnDisk() const
    {
        QStringList names;
        for (const QVariant& e : onDisk().value(kT).toList())
            names << e.toMap().firstKey();
        return names;
    }
    QStringList storeFiles(const QString& pattern = "*") const { return QDir(dir).entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System); }
    // Every file of the store directory with its bytes.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> all;
        for (const QString& name : storeFiles())
            all.insert(name, readAll(inStore(name)));
        return all;
    }

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

    // A one-page PDF, or a source that cannot be stored; "big": about 200 KB
    // that do not compress, too large for a full disk.
    QString pdf(const QString& name, QSizeF size = testpdfs::A4Whole, const QString& kind = "page")
    {
        const QString path = files + "/" + name;
        QByteArray noise;
        for (quint32 i = 0, state = 7; kind == "big" && i < 30000; ++i) {
            state = state * 1664525u + 1013904223u;
            noise += QByteArray::number(state % 100000) + ' ' + QByteArray::number((state >> 7) % 100000) + " m ";
        }
        const bool ok = kind == "missing" || (kind == "not a PDF" && testpdfs::writeBytes(path, "Dear Sir,\n"))
                        || (kind == "encrypted" && testpdfs::writeEncrypted(path, "user", "owner"))
                        || (kind == "zero pages" && testpdfs::writeZeroPages(path))
                        || ((kind == "page" || kind == "big") && testpdfs::writePdf(path, {{size, name, {}, false, QString::fromLatin1(noise)}}));
        if (!ok)
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // What is wrong with the store on disk: listed pages missing or listed
    // twice, files no list names, references past their list.
    QStringList storeProblems() const
    {
        QStringList problems;
        const QVariantMap s = onDisk();
        if (s.isEmpty())
            return {"no readable settings file"};
        QStringList listed;
        for (const PageKindInfo& kind : kPageKinds) {
            const QStringList paths = s.value(kind.settingsKey).toStringList();
            for (const QString& p : paths) {
                if (!QFileInfo(p).isFile())
                    problems << "missing " + p;
                if (listed.contains(p))
                    problems << "listed twice " + p;
                listed << p;
            }
            for (const QVariant& e : s.value(kT).toList()) {
                const auto r = TemplateRecord::fromEntry(e);
                if (r && r->pageIndex(kind.kind).value_or(-1) >= paths.size())
                    problems << r->name + " points past " + kind.settingsKey;
            }
        }
        for (const QString& f : storeFiles())
            if (f != "settings.plist" && !f.startsWith("settings.plist.corrupt-") && !f.startsWith("settings.plist.too-large-")
                && !listed.contains(inStore(f)))
                problems << "stray " + f;
        return problems;
    }

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        files = temp->path();
        dir = temp->filePath("store");
        lines.clear();
        sink = std::make_unique<ScopedPlainLineSink>([this](const QString& line) { lines << line; });
        SharedData::reset();
    }
    void cleanup() { sink.reset(); }

    // With no settings file (a null row) or one the store cannot use, which is
    // moved aside (same inode: moved, not copied) under a name no file has.
    void firstAndSecondStart_data()
    {
        QTest::addColumn<StartRow>("row");
        const QString unreadable = "Unreadable settings file moved to ";
        QTest::newRow("no settings file") << StartRow{QByteArray(), "corrupt", ""};
        QTest::newRow("empty") << StartRow{QByteArray(""), "corrupt", unreadable};
        QTest::newRow("truncated") << StartRow{writePropertyListXml({{kT, QVariantList{}}}).left(120), "corrupt", unreadable};
        QTest::newRow("binary garbage") << StartRow{QByteArray("\x00\xff\x13\x37garbage\x00\x01", 14), "corrupt", unreadable};
        QTest::newRow("array root") << StartRow{"<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>", "corrupt", unreadable};
        QTest::newRow("first aside name taken") << StartRow{"garbage", "corrupt", unreadable, true};
        // Valid, so only its size can keep it out of memory.
        QByteArray huge = writePropertyListXml({{kT, QVariantList{entry("Huge", "X")}}});
        huge.insert(huge.indexOf("<dict>"), QByteArray(17 * 1024 * 1024, ' '));
        QTest::newRow("over 16 MB") << StartRow{huge, "too-large", "Settings file too large (17826"};
    }
    void firstAndSecondStart()
    {
        QFETCH(StartRow, row);
        struct stat before {}, after {};
        if (!row.bytes.isNull()) {
            writeSettings(row.bytes);
            ::lstat(QFile::encodeName(settings()).constData(), &before);
        }
        const QString firstName = settings() + "." + row.tag + "-" + kStamp, aside = firstName + (row.nameTaken ? "-1" : "");
        QVERIFY(!row.nameTaken || testpdfs::writeBytes(firstName, "earlier"));
        auto store = open();
        if (row.bytes.isNull()) {
            QVERIFY(!QFileInfo::exists(aside));
        } else {
            QVERIFY(::lstat(QFile::encodeName(aside).constData(), &after) == 0 && after.st_ino == before.st_ino);
            QVERIFY(readAll(aside) == row.bytes);
            QCOMPARE(lines.filter(aside).size(), 1);
            QVERIFY2(lines.filter(aside).first().startsWith(row.line), qPrintable(lines.join('\n')));
        }
        QCOMPARE(readAll(firstName), row.nameTaken ? QByteArray("earlier") : row.bytes);
        QCOMPARE(namesOf(*store), QStringList{kDefault});
        QCOMPARE(namesOnDisk(), QStringList{kDefault});
        QCOMPARE(fieldsOf(*store, kDefault), QStringLiteral("0|X|X|Created 05.12.26|1|0|0"));
        const QString start = store->pagePath(StoreKey::TemplateFirst, 0).value_or("");
        QCOMPARE((QStringList{mode(dir), mode(settings()), mode(start)}), (QStringList{"700", "600", "600"}));

        const QByteArray written = readAll(settings());
        lines.clear();
        auto again = open();
        QCOMPARE(lines, QStringList{"File exists"});
        QCOMPARE(readAll(settings()), written);
        QCOMPARE(storeProblems(), QStringList());
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
        const QByteArray bytes = readAll(QUILLARY_TEST_DATA_DIR "/" + fixture);
        writeSettings(bytes);
        auto store = open();
        QCOMPARE(namesOf(*store), (QStringList{"Briefpapier", "Rechnung"}));
        QCOMPARE(fieldsOf(*store, "Briefpapier"), QStringLiteral("0|X|X|Created 01.02.24|1|0|0"));
        QCOMPARE(fieldsOf(*store, "Rechnung").section('|', 4, 6), QStringLiteral("0|99|1"));

        QVERIFY(store->addTemplate(rec("Neu", "X")));
        const QVariantMap saved = onDisk();
        QCOMPARE(namesOnDisk(), (QStringList{"Neu", "Briefpapier", "Rechnung"}));
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

    // Patterns of older versions, each field a different value, so that a field
    // read from the wrong place shows.
    void legacyPatterns_data()
    {
        QTest::addColumn<LegacyRow>("row");
        QTest::newRow("four fields") << LegacyRow{{{"A", "0-X-X-Created 01.02.19"}}, {{"A", "0|X|X|Created 01.02.19|1|0|0"}}};
        QTest::newRow("five fields, disabled") << LegacyRow{{{"A", "1-0-X-Updated 03.04.19-0"}}, {{"A", "1|0|X|Updated 03.04.19|0|0|0"}}};
        QTest::newRow("six fields, US Letter") << LegacyRow{{{"A", "0-X-1-L-1-1"}}, {{"A", "0|X|1|L|1|1|0"}}};
        QTest::newRow("seven fields, letter under the content") << LegacyRow{{{"A", "2-X-X-L-1-1-0"}}, {{"A", "2|X|X|L|1|1|0"}}};
        QTest::newRow("seven fields, A4 over the content, disabled") << LegacyRow{{{"A", "2-X-X-L-0-0-1"}}, {{"A", "2|X|X|L|0|0|1"}}};
        // Each pattern gets only the fields it lacks: the five-field one must
        // not take the four-field one's "1" as its paper format.
        QTest::newRow("four and five fields in one file")
            << LegacyRow{{{"Alpha", "0-X-X-L"}, {"Beta", "1-X-X-M-0"}}, {{"Alpha", "0|X|X|L|1|0|0"}, {"Beta", "1|X|X|M|0|0|0"}}};
        QTest::newRow("five and seven fields in one file")
            << LegacyRow{{{"Alpha", "0-X-X-L-0"}, {"Beta", "1-X-X-M-1-1-1"}}, {{"Alpha", "0|X|X|L|0|0|0"}, {"Beta", "1|X|X|M|1|1|1"}}};
    }
    void legacyPatterns()
    {
        QFETCH(LegacyRow, row);
        writeSettings(writePropertyListXml({{"templatepattern", row.patterns}}));
        auto store = open();
        QCOMPARE(onDisk().value("templatepattern"), QVariant(QVariantList{}));
        QCOMPARE(namesOnDisk(), row.fields.keys());
        for (auto it = row.fields.cbegin(); it != row.fields.cend(); ++it)
            QCOMPARE(fieldsOf(*open(), it.key()), it.value().toString());
        const QByteArray before = readAll(settings());
        QVERIFY(store->convertLegacyPatterns());
        open();
        QCOMPARE(readAll(settings()), before);
    }

    void importAndDeletePages()
    {
        auto store = storeWith(QVariantList{entry("A", "X")});
        QStringList expected;
        for (const QString& source : {pdf("a.pdf"), pdf("b.pdf"), pdf("C.PDF", testpdfs::Letter)}) {
            QCOMPARE(store->importPage(StoreKey::TemplateFirst, source).value, std::optional<int>(expected.size()));
            expected << inStore(QString("tempf%1.pdf").arg(expected.size(), 2, 10, QChar('0')));
        }
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst), expected);
        QCOMPARE(lines.last(), "any (\"" + expected.join("\", \"") + "\")");
        QCOMPARE(testpdfs::mediaBox(expected[2]).size().toSize(), QSize(612, 792));
        // Only a lower-case ".pdf" source is measured; bad sources are rows of saveNewTemplate.
        QCOMPARE(TaskManager::pageSize(files + "/C.PDF"), (PageSize{0, 0}));
        QCOMPARE(TaskManager::pageSize(pdf("a4.pdf", testpdfs::A4)), (PageSize{595, 842}));

        QVERIFY(store->deletePage(StoreKey::TemplateFirst, 1));
        QVERIFY(!QFileInfo::exists(expected[1]));
        QCOMPARE(open(false)->pagePaths(StoreKey::TemplateFirst), (QStringList{expected[0], expected[2]}));
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, pdf("d.pdf")).value, std::optional<int>(2));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 2), std::optional<QString>(expected[1]));
        // A listed page whose file went missing keeps its name: a new page
        // never answers for the old reference.
        QVERIFY(QFile::remove(expected[0]));
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, pdf("f.pdf")).value, std::optional<int>(3));
        QCOMPARE(store->pagePath(StoreKey::TemplateFirst, 3), std::optional<QString>(inStore("tempf03.pdf")));
        QVERIFY(QFile::copy(pdf("a.pdf"), expected[0]));

        const QVariantMap before = *store->dictionary();
        QCOMPARE(store->deletePage(StoreKey::TemplateFirst, 4).code, ErrorCode::Missing);
        QVERIFY(lines.contains("The.Row.4.doesnt.Exist"));
        QCOMPARE(*store->dictionary(), before);

        // The store directory vanishes (another process reset it): the next
        // change starts from the defaults and stores the page as number 0.
        QVERIFY(QDir(dir).removeRecursively());
        QCOMPARE(store->importPage(StoreKey::TemplateFirst, pdf("e.pdf")).value, std::optional<int>(0));
        QCOMPARE(namesOnDisk(), QStringList{kDefault});
        QCOMPARE(mode(dir), QStringLiteral("700"));
        QCOMPARE(storeProblems(), QStringList());
    }

    // Template Edited gives up its start page (number 1 of three) while Past
    // points past it; the save procedure, or deletePage directly.
    void deletedPageRenumbers_data()
    {
        QTest::addColumn<RenumberRow>("row");
        QTest::newRow("save, later page as text") << RenumberRow{"2", false, true};
        QTest::newRow("save, later page as integer") << RenumberRow{qlonglong(2), false, true};
        QTest::newRow("save, page shared with another template") << RenumberRow{"2", true, true};
        QTest::newRow("deletePage, page shared with another template") << RenumberRow{qlonglong(2), true, false};
        // Replaced rather than emptied: the other template keeps its page as it was.
        QTest::newRow("save, shared page replaced") << RenumberRow{"2", true, true, true};
    }
    void deletedPageRenumbers()
    {
        QFETCH(RenumberRow, row);
        QVariantList templates{entry("Edited", "1"), entry("Past", row.past), entry("Before", "0"), entry("OtherKind", "X", "2")};
        if (row.shared)
            templates << entry("Shared", "1");
        auto store = storeWith(templates);
        for (const char* name : {"p0.pdf", "p1.pdf", "p2.pdf"}) {
            QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf(name)));
            QVERIFY(store->importPage(StoreKey::Template, pdf(name)));
        }
        const QString p1 = inStore("tempf01.pdf"), p2 = inStore("tempf02.pdf");
        const QByteArray p1Bytes = readAll(p1);
        if (row.throughSave)
            QVERIFY(store->saveTemplate(editOf("Edited", "Edited", row.replace ? pdf("new.pdf", testpdfs::Letter) : "")));
        else
            QVERIFY(store->deletePage(StoreKey::TemplateFirst, 1));
        auto again = open(false);
        QCOMPARE(front(*again, "Edited"), row.replace ? QStringLiteral("3") : QStringLiteral("X"));
        QCOMPARE(front(*again, "Before"), QStringLiteral("0"));
        QCOMPARE(fieldsOf(*again, "OtherKind").section('|', 0, 1), QStringLiteral("X|2"));
        const bool kept = row.shared && row.throughSave;
        QCOMPARE(readAll(p1), kept ? p1Bytes : QByteArray());
        // Past still shows its own page, whichever number that now has.
        QCOMPARE(again->pagePath(PageKind::Start, again->templateNamed("Past")->pageIndex(PageKind::Start).value_or(-1)),
                 std::optional<QString>(p2));
        QCOMPARE(front(*again, "Past"), kept ? QStringLiteral("2") : QStringLiteral("1"));
        if (row.shared)
            QCOMPARE(front(*again, "Shared"), kept ? QStringLiteral("1") : QStringLiteral("X"));
        QCOMPARE(storeProblems(), QStringList());
    }

    void namesAndFileOperations()
    {
        auto store = storeWith(QVariantList{entry("A", "X"), entry("Brief", "X")});
        QCOMPARE((QStringList{store->scratchPath(StoreKey::Temporary), store->scratchPath(StoreKey::Preview), store->scratchPath(StoreKey::Temporary)}),
                 (QStringList{inStore("tmp1.pdf"), inStore("prev2.pdf"), inStore("tmp3.pdf")}));
        // Merges on worker threads ask at once: never the same name twice.
        QSet<QString> names;
        std::mutex guard;
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                QStringList mine;
                for (++ready; ready < 4;) {
                }
                for (int i = 0; i < 2500; ++i)
                    mine << store->scratchPath(StoreKey::Preview);
                std::lock_guard lock(guard);
                names.unite(QSet<QString>(mine.begin(), mine.end()));
            });
        for (std::thread& t : threads)
            t.join();
        QCOMPARE(names.size(), 10000);
        QVERIFY(names.contains(inStore("prev10003.pdf")));
        // A second process on the same store counts from 1 again and skips
        // the names this one holds (tmp1, prev2, tmp3), each claimed by an
        // empty private file.
        auto other = open(false);
        const QString next = other->scratchPath(StoreKey::Temporary);
        QCOMPARE((QStringList{next, other->scratchPath(StoreKey::Temporary), mode(next), QString::number(QFileInfo(next).size())}),
                 (QStringList{inStore("tmp2.pdf"), inStore("tmp4.pdf"), "600", "0"}));
        lines.clear();

        QVERIFY(!store->deleteFile(files + "/missing.pdf"));
        QCOMPARE(lines, QStringList{"No deletable File"});
        QVERIFY(!store->deleteFile(files)); // a folder is no file
        QVERIFY(QFileInfo(files).isDir());
        const QString b = pdf("b.pdf"), c = pdf("c.pdf");
        const QByteArray cBytes = readAll(c);
        QVERIFY(!store->copyFile(b, c));
        QCOMPARE(lines.last(), "cant copy File " + b);
        QCOMPARE(readAll(c), cBytes);

        QVERIFY(store->addTemplate(rec("C", "X")));
        QVERIFY(store->templateExists("Brief") && !store->templateExists("brief") && !store->templateExists("Brief "));
        QVERIFY(store->replaceTemplate("A", "A2", rec("A", "X")));
        QCOMPARE(SharedData::templateName, QStringLiteral("A2"));
        QCOMPARE(namesOnDisk(), (QStringList{"C", "A2", "Brief"}));

        // The list's switches: written in place, SharedData left alone.
        TemplateRecord brief = *store->templateNamed("Brief");
        brief.setActive(false);
        QVERIFY(store->updateTemplate(brief));
        QCOMPARE(SharedData::templateName, QStringLiteral("A2"));
        QCOMPARE(fieldsOf(*open(false), "Brief").section('|', 4, 4), QStringLiteral("0"));
        QCOMPARE(store->updateTemplate(rec("Gone", "X")).code, ErrorCode::Missing);
        QVERIFY(store->removeTemplate("C"));
        QCOMPARE(namesOnDisk(), (QStringList{"A2", "Brief"}));
        QVERIFY(store->isStoreFile(settings()) && store->isStoreFile(inStore("tmp1.pdf")) && !store->isStoreFile(b));
    }

    // A good start page decides docFormat, under a name kept as the user typed
    // it (no normalisation, no escaping left in it); a bad terms page is
    // neither measured nor imported, and the save stops before it stores the
    // good pages either.
    void saveNewTemplate_data()
    {
        QTest::addColumn<SaveRow>("row");
        QTest::newRow("A4") << SaveRow{"page", {595, 842}, "0"};
        QTest::newRow("A4 landscape") << SaveRow{"page", {842, 595}, "0"};
        QTest::newRow("US Letter") << SaveRow{"page", {612, 792}, "1"};
        QTest::newRow("US Letter landscape") << SaveRow{"page", {792, 612}, "1"};
        QTest::newRow("other") << SaveRow{"page", {600, 800}, "99"};
        QTest::newRow("Müller") << SaveRow{"page", {595, 842}, "0", QStringLiteral("Müller")};
        QTest::newRow("Müller, decomposed") << SaveRow{"page", {595, 842}, "0", QStringLiteral("Mu\u0308ller")};
        QTest::newRow("XML characters") << SaveRow{"page", {595, 842}, "0", QStringLiteral("Brief & <Rechnung> \"A\" 'B'")};
        QTest::newRow("beyond the BMP") << SaveRow{"page", {595, 842}, "0", QStringLiteral("Rechnung \U0001F4C4 \u00DF")};
        for (const char* kind : {"not a PDF", "encrypted", "zero pages", "missing"})
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
            const ValueResult<int> result = store->importPage(StoreKey::TemplateBack, terms);
            QVERIFY2(!result && result.error.contains(terms), qPrintable(result.error));
            QCOMPARE(*store->dictionary(), dictBefore);
        }
        const Result saved = store->saveTemplate(editOf({}, row.name, pdf("start.pdf", row.size), good ? "" : pdf("cont.pdf"), terms));
        QVERIFY2(saved.ok() == good, qPrintable(saved.error));
        if (!good) {
            QVERIFY(saved.error.contains(terms));
            QCOMPARE(readAll(settings()), before);
            QCOMPARE(storeFiles("*.pdf"), QStringList());
            return;
        }
        // Width and height as the page has them, not swapped.
        QCOMPARE(TaskManager::pageSize(inStore("tempf00.pdf")), (PageSize{int(row.size.width()), int(row.size.height())}));
        QVERIFY(store->saveTemplate(editOf("Old", row.name + " 2", "")));
        QCOMPARE(SharedData::templateName.toUtf8(), (row.name + " 2").toUtf8());
        auto again = open();
        QCOMPARE(namesOf(*again).join('/').toUtf8(), (row.name + '/' + row.name + " 2").toUtf8());
        QCOMPARE(fieldsOf(*again, row.name), "0|X|0|Created 05.12.26|1|" + row.docFormat + "|0");
        const QString composed = row.name.normalized(QString::NormalizationForm_C);
        QCOMPARE(again->templateExists(composed), composed == row.name);
    }

    void saveExistingTemplate()
    {
        auto store = storeWith(QVariantList{});
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("start.pdf")));
        QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
        QVERIFY(store->addTemplate(rec("Edited", "0", "X", "0")));
        const QString start = inStore("tempf00.pdf");
        const QByteArray startBytes = readAll(start);

        // Through SharedData, as the loading screen runs it.
        SharedData::isNewTemplate = false;
        SharedData::templateName = "Edited";
        SharedData::startPagePath = SharedData::existing;
        SharedData::continualPagePath = pdf("cont.pdf");
        QVERIFY(store->saveTemplate(QStringLiteral("Renamed")));
        QCOMPARE(SharedData::templateName, QStringLiteral("Renamed"));
        QCOMPARE(fieldsOf(*open(), "Renamed"), QStringLiteral("0|0|X|Updated 05.12.26|1|0|0"));
        QCOMPARE(readAll(start), startBytes);
        QCOMPARE(storeFiles("tempb*"), QStringList());
        QCOMPARE(open()->templateNamed("Renamed")->properties.value("secondaryPage").typeId(), QMetaType::LongLong);

        QVERIFY(store->saveTemplate(editOf("Renamed", "Renamed", pdf("letter.pdf", testpdfs::Letter), SharedData::existing)));
        QCOMPARE(fieldsOf(*store, "Renamed"), QStringLiteral("0|0|X|Updated 05.12.26|1|1|0"));
        QCOMPARE(testpdfs::mediaBox(start).size().toSize(), QSize(612, 792));

        // Removed meanwhile (by another process): nothing is written.
        QVERIFY(open(false)->removeTemplate("Renamed"));
        const auto files = snapshot();
        QCOMPARE(store->saveTemplate(editOf("Renamed", "Again", pdf("s2.pdf"))).code, ErrorCode::Missing);
        QCOMPARE(snapshot(), files);
    }

    // A write that runs out of room fails, names the file and the reason, and
    // leaves every file of the store as it was; freed room, it succeeds.
    void fullDisk_data()
    {
        QTest::addColumn<Full>("fails");
        QTest::newRow("settings file") << Full::Settings;
        QTest::newRow("page imported over a stored page") << Full::PageInPlace;
        QTest::newRow("second new page of a save") << Full::SecondNewPage;
        QTest::newRow("settings after two new pages") << Full::SettingsAfterNewPages;
        QTest::newRow("settings after a page replaced in place") << Full::SettingsAfterReplacedPage;
    }
    void fullDisk()
    {
        QFETCH(Full, fails);
        testdisk::SmallDisk disk(temp->filePath("disk"));
        if (fails == Full::SecondNewPage && !disk.isTmpfs())
            QSKIP("needs a disk that fills up; a file-size limit stops the copy of the page first");
        dir = disk.folder() + "/store";
        QVariantList many{entry("Edited", "0")};
        for (int i = 0; i < 400 && fails != Full::PageInPlace && fails != Full::SecondNewPage; ++i)
            many << entry(QString("Template %1").arg(i), "X"); // a settings file of about 120 KB
        auto store = storeWith(many);
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("start.pdf")));
        const QString small = pdf("letter.pdf", testpdfs::Letter), big = pdf("big.pdf", testpdfs::A4Whole, "big");
        const auto before = snapshot();

        QVERIFY(disk.limit(48 * 1024));
        const Result failed = fails == Full::Settings      ? store->addTemplate(rec("New", "X"))
                            : fails == Full::PageInPlace   ? store->importPage(StoreKey::TemplateFirst, big, inStore("tempf00.pdf"))
                            : fails == Full::SecondNewPage ? store->saveTemplate(editOf({}, "New", small, {}, big))
                            : fails == Full::SettingsAfterNewPages ? store->saveTemplate(editOf({}, "New", small, {}, small))
                                                                   : store->saveTemplate(editOf("Edited", "Edited", small));
        disk.lift();
        QCOMPARE(failed.code, ErrorCode::NoSpace);
        QVERIFY2(failed.error.contains(disk.reason()) && failed.error.contains(dir), qPrintable(failed.error));
        QVERIFY(snapshot() == before);
        QCOMPARE(*open(false)->dictionary(), *store->dictionary());
        // With room again the same change goes through.
        QVERIFY(fails == Full::Settings ? store->addTemplate(rec("New", "X")) : store->saveTemplate(editOf({}, "New", small, {}, small)));
        QCOMPARE(storeProblems(), QStringList());
    }

    // Processes that start on a store no one made yet, save, switch and delete
    // at once; one row resets the store half-way. No change may be lost, no
    // page file left that no list names.
    void severalProcessesAtOnce_data()
    {
        QTest::addColumn<ProcessRow>("row");
        QTest::newRow("start and save") << ProcessRow{{"save", "save", "save"}, 8};
        QTest::newRow("save, switch off and delete") << ProcessRow{{"churn", "churn", "save"}, 6};
        QTest::newRow("reset while others save") << ProcessRow{{"save", "reset", "save"}, 6};
    }
    void severalProcessesAtOnce()
    {
        QFETCH(ProcessRow, row);
        const QString source = pdf("page.pdf");
        std::vector<std::unique_ptr<QProcess>> children;
        for (int i = 0; i < row.roles.size(); ++i) {
            children.emplace_back(std::make_unique<QProcess>())->start(QCoreApplication::applicationFilePath(),
                {"--store-child", dir, row.roles[i], QString("P%1-").arg(i), QString::number(row.count), source});
        }
        for (auto& child : children) {
            QVERIFY(child->waitForFinished(120000));
            QVERIFY2(child->exitStatus() == QProcess::NormalExit && child->exitCode() == 0, child->readAllStandardError().constData());
        }
        QCOMPARE(storeProblems(), QStringList());
        if (row.roles.contains("reset"))
            return;
        QStringList expected{kDefault}, names = namesOnDisk();
        for (int i = 0; i < row.roles.size(); ++i)
            for (int n = 0; n < row.count; ++n)
                if (row.roles[i] == "save" || n % 2 == 0)
                    expected << QString("P%1-%2").arg(i).arg(n);
        names.sort();
        expected.sort();
        QCOMPARE(names, expected);
        auto store = open();
        for (const TemplateRecord& r : store->loadTemplateList().value_or(QList<TemplateRecord>()))
            QCOMPARE(r.isActive(), r.name == kDefault || row.roles.value(r.name.mid(1, 1).toInt()) != "churn");
        // One sample page, and one page per saved template.
        QCOMPARE(store->pagePaths(StoreKey::TemplateFirst).size(), 1 + row.roles.size() * row.count);
    }

    // A lock that stays taken stops a change after the timeout, with nothing
    // written. A store reset by another store object: the other's next change
    // finds a store as a first start leaves it. (Changes of several stores at
    // once are severalProcessesAtOnce.)
    void lockAndResetByAnother()
    {
        auto a = storeWith(QVariantList{entry("Shared", "X")});
        QLockFile held(inStore("settings.plist.lock"));
        QVERIFY(held.tryLock(0));
        auto c = open(false, 100);
        QCOMPARE(namesOf(*c), namesOnDisk()); // read, though not locked
        QVERIFY2(lines.filter("in use by another program").size() == 1, qPrintable(lines.join('\n')));
        const auto files = snapshot();
        const Result locked = c->addTemplate(rec("Late", "X"));
        QCOMPARE(locked.code, ErrorCode::Locked);
        QVERIFY2(locked.error.contains(QString::number(QCoreApplication::applicationPid())), qPrintable(locked.error));
        QCOMPARE(snapshot(), files);
        held.unlock();
        QVERIFY(c->addTemplate(rec("Late", "X")));

        QVERIFY(c->resetStore());
        QVERIFY(!QFileInfo::exists(dir));
        QVERIFY(a->addTemplate(rec("AfterReset", "X")));
        QCOMPARE(namesOf(*a), (QStringList{"AfterReset", kDefault}));
        QCOMPARE(namesOnDisk(), namesOf(*a));
    }

    // Where the store lives: worked out beforehand without a store, and the
    // same folder the store then works in, with nothing made on the way.
    void storePlaces_data()
    {
        QTest::addColumn<PlaceRow>("row");
        QTest::newRow("HOME unset") << PlaceRow{Place::HomeUnset, "HOME is not set: there is no place for the template store"};
        QTest::newRow("default place under XDG_DATA_HOME") << PlaceRow{Place::DefaultPlace, ""};
        QTest::newRow("link to a folder of the user's") << PlaceRow{Place::LinkToOwnFolder, ""};
        QTest::newRow("link to a folder of another user") << PlaceRow{Place::LinkToOthersFolder, "a folder of another user; it is not followed"};
        QTest::newRow("link to nothing") << PlaceRow{Place::DanglingLink, "the template store is a symbolic link to nothing"};
        QTest::newRow("a file") << PlaceRow{Place::NotAFolder, "the template store is not a folder"};
    }
    void storePlaces()
    {
        QFETCH(PlaceRow, row);
        const QString target = temp->filePath("target");
        const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME");
        const QString rootStore = "/.local";
        const bool rootStoreBefore = QFileInfo::exists(rootStore);
        QString where = target; // where the store works when it does
        switch (row.place) {
        case Place::HomeUnset:
        case Place::DefaultPlace:
            qputenv("HOME", files.toUtf8());
            qputenv("XDG_DATA_HOME", temp->filePath("data").toUtf8());
            if (row.place == Place::HomeUnset)
                qunsetenv("HOME"), qunsetenv("XDG_DATA_HOME");
            where = temp->filePath("data/" QUILLARY_BUNDLE_IDENTIFIER);
            dir.clear();
            break;
        case Place::LinkToOwnFolder:
        case Place::LinkToOthersFolder:
            QVERIFY(QDir().mkdir(target) && ::chmod(QFile::encodeName(target).constData(), 0755) == 0);
            if (row.place == Place::LinkToOthersFolder
                && (::geteuid() != 0 || ::chown(QFile::encodeName(target).constData(), 65534, 65534) != 0))
                QSKIP("only root can give a folder to another user");
            [[fallthrough]];
        case Place::DanglingLink:
            QVERIFY(QFile::link(target, dir));
            break;
        case Place::NotAFolder:
            QVERIFY(testpdfs::writeBytes(dir, "a file"));
            break;
        }
        const QString location = storeDirectoryLocation(StoreConfig{.directory = dir});
        const bool made = row.place == Place::DefaultPlace ? QFileInfo::exists(where) : !QDir(target).isEmpty();
        auto store = open();
        qputenv("HOME", home);
        if (!dataHome.isNull())
            qputenv("XDG_DATA_HOME", dataHome);
        const bool madeUnderRoot = !rootStoreBefore && QFileInfo::exists(rootStore);
        if (madeUnderRoot)
            QDir(rootStore).removeRecursively(); // should the store have written under / after all
        QVERIFY(!made && !madeUnderRoot);
        if (row.line.isEmpty()) {
            QCOMPARE(location, where);
            QCOMPARE(store->storeDirectory(), where);
            QCOMPARE(mode(where), QStringLiteral("700"));
            QVERIFY(QFileInfo(where + "/settings.plist").isFile());
            QVERIFY(store->pagePath(PageKind::Start, 0).value_or("").startsWith(where + "/tempf00.pdf"));
            QCOMPARE(namesOf(*store), QStringList{kDefault});
            if (row.place == Place::DefaultPlace)
                return;
            // A reset empties the folder of the store's files only, and leaves
            // it for the link: the next start works there again.
            QVERIFY(testpdfs::writeBytes(where + "/notes.txt", "mine"));
            QVERIFY(store->resetStore());
            QCOMPARE(QDir(where).entryList(QDir::Files | QDir::Hidden), QStringList{"notes.txt"});
            QCOMPARE(namesOf(*open()), QStringList{kDefault});
            return;
        }
        QVERIFY2(lines.filter(row.line).size() == 1, qPrintable(lines.join('\n')));
        QCOMPARE(store->storeDirectory(), QString());
        QCOMPARE(location.isEmpty(), row.place == Place::HomeUnset);
        QVERIFY(!store->dictionary());
        QCOMPARE(store->scratchPath(StoreKey::Temporary), QString());
        QCOMPARE(store->saveTemplate(editOf({}, "New", pdf("s.pdf"))).code, ErrorCode::NotFound);
        QVERIFY(!store->addTemplate(rec("New", "X")));
        QVERIFY(!QFileInfo::exists(target) || QDir(target).isEmpty());
        if (row.place == Place::LinkToOthersFolder)
            QCOMPARE(mode(target), QStringLiteral("755"));
    }

    // Page lists written by hand or on another machine may name files
    // relative to the store; they are found there, never in the current folder.
    void relativePagePaths()
    {
        const QString elsewhere = pdf("elsewhere.pdf");
        QDir().mkpath(dir);
        QVERIFY(QFile::copy(pdf("mine.pdf"), inStore("tempf00.pdf")));
        writeSettings(writePropertyListXml({{"first_start", QVariantList{"N"}},
                                            {"templatefirst", QVariantList{"tempf00.pdf", elsewhere}},
                                            {kT, QVariantList{entry("Relative", "0"), entry("Absolute", "1")}}}));
        const QString decoyFolder = temp->filePath("cwd"), decoy = decoyFolder + "/tempf00.pdf";
        QDir().mkpath(decoyFolder);
        QVERIFY(QFile::copy(pdf("decoy.pdf"), decoy));
        const QByteArray decoyBytes = readAll(decoy);
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(decoyFolder));
        auto store = open(false);
        QCOMPARE(store->pagePath(PageKind::Start, 0), std::optional<QString>(inStore("tempf00.pdf")));
        QCOMPARE(store->pagePath(PageKind::Start, 1), std::optional<QString>(elsewhere));
        QVERIFY(store->isStoreFile(elsewhere) && !store->isStoreFile(decoy));
        QVERIFY(store->saveTemplate(editOf("Relative", "Relative", pdf("letter.pdf", testpdfs::Letter))));
        QCOMPARE(testpdfs::mediaBox(inStore("tempf00.pdf")).size().toSize(), QSize(612, 792));
        QCOMPARE(fieldsOf(*store, "Relative").section('|', 5, 5), QStringLiteral("1"));
        QVERIFY(store->deletePage(StoreKey::TemplateFirst, 0));
        QDir::setCurrent(cwd);
        QVERIFY(!QFileInfo::exists(inStore("tempf00.pdf")));
        QCOMPARE(readAll(decoy), decoyBytes);
        // The save took the page from elsewhere into the store.
        QCOMPARE(onDisk().value("templatefirst").toStringList(), QStringList{inStore("tempf01.pdf")});
        QCOMPARE(front(*store, "Absolute"), QStringLiteral("0"));
        QVERIFY(QFileInfo::exists(elsewhere));
    }

    // A settings file brought from elsewhere lists pages outside the store.
    // Such a file is read and never written, re-moded or deleted: replacing
    // the page puts the new one into the store, emptying the slot leaves the
    // file, and any save takes a copy into the store for the template.
    void outsidePagesOnlyRead_data()
    {
        QTest::addColumn<QString>("listed"); // as the settings file names the page
        QTest::addColumn<QString>("change"); // replace, empty, save
        for (const char* listed : {"absolute", "climbing"})
            for (const char* change : {"replace", "empty", "save"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(listed, change))) << QString(listed) << QString(change);
    }
    void outsidePagesOnlyRead()
    {
        QFETCH(QString, listed);
        QFETCH(QString, change);
        const QString outside = pdf("outside.pdf");
        QVERIFY(QFile::setPermissions(outside, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray bytes = readAll(outside);
        writeSettings(writePropertyListXml({{"first_start", QVariantList{"N"}},
                                            {"templatefirst", QVariantList{listed == "absolute" ? outside : "../outside.pdf"}},
                                            {kT, QVariantList{entry("Brought", "0")}}}));
        auto store = open(false);
        if (change == "replace") {
            const auto replaced = store->importPage(StoreKey::TemplateFirst, pdf("new.pdf", testpdfs::Letter),
                                                    listed == "absolute" ? outside : "../outside.pdf");
            QCOMPARE(replaced.value, std::optional<int>(0));
            QCOMPARE(testpdfs::mediaBox(*store->pagePath(PageKind::Start, 0)).size().toSize(), QSize(612, 792));
        } else if (change == "empty") {
            QVERIFY(store->deletePage(StoreKey::TemplateFirst, 0));
            QVERIFY(onDisk().value("templatefirst").toStringList().isEmpty());
        } else {
            QVERIFY(store->importPage(StoreKey::TemplateBack, pdf("terms.pdf")));
            const auto copy = store->pagePath(PageKind::Start, 0);
            QVERIFY(copy && store->isStoreFile(*copy) && QFileInfo(*copy).path() == dir);
            QCOMPARE(testpdfs::pageCount(*copy), 1);
            QCOMPARE(front(*store, "Brought"), QStringLiteral("0"));
        }
        QVERIFY(QFileInfo::exists(outside));
        QCOMPARE(readAll(outside), bytes);
        QCOMPARE(mode(outside), QStringLiteral("644"));
        QVERIFY(change == "empty" || onDisk().value("templatefirst").toStringList().value(0).startsWith(dir + "/tempf"));
        QVERIFY2(storeProblems().isEmpty(), qPrintable(storeProblems().join('\n')));
    }

    void wrongTypes_data()
    {
        // line: printed when the edited template's start slot is emptied.
        QTest::addColumn<WrongRow>("row");
        QTest::newRow("template list is text") << WrongRow{"templates", {kDefault}, "", true};
        const QVariantMap a = entry("A", "X"), b = entry("B", "X");
        QTest::newRow("entry with two keys") << WrongRow{QVariantList{QVariantMap{{"A", a["A"]}, {"B", b["B"]}}}, {"A", "B"}, ""};
        QTest::newRow("elements that are no template") << WrongRow{QVariantList{"text", a, QVariantMap{{"B", "no record"}}}, {"A"}, "", true};
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
        const QByteArray original = writePropertyListXml({{"first_start", QVariantList{"N"}}, {kT, row.templates}});
        auto store = storeWith(row.templates);
        QCOMPARE(namesOf(*store), row.names);
        // What the store cannot read is kept in a copy once, and dropped from the list.
        const QString copy = settings() + ".corrupt-" + kStamp;
        QCOMPARE(readAll(copy), row.keptCopy ? original : QByteArray());
        open(false);
        QVERIFY(!QFileInfo::exists(copy + "-1"));
        QVERIFY(store->importPage(StoreKey::TemplateFirst, pdf("s0.pdf")));
        if (row.names.first() == "Edited") {
            QVERIFY(store->saveTemplate(editOf("Edited", "Edited", "")));
            QCOMPARE(front(*store, "Edited"), QStringLiteral("X"));
            QCOMPARE(lines.contains(row.line), !row.line.isEmpty());
            QCOMPARE(store->pagePaths(StoreKey::TemplateFirst).size(), 1);
            QCOMPARE(front(*store, "Other"), QStringLiteral("0"));
        }
        QVERIFY(store->deleteTemplate(row.names.first()));
        QCOMPARE(namesOnDisk(), row.names.mid(1));
    }

    // Boundary sizes in both orientations, and the standard size of the format each one falls in.
    void pageFormat_data()
    {
        QTest::addColumn<FormatRow>("row");
        for (const FormatRow& r : {FormatRow{594, 841, 1, false}, {596, 853, 1, false}, {596, 854, 0, false},
                                   {593, 842, 0, false}, {597, 842, 0, false}, {595, 840, 0, false},
                                   {853, 594, 1, true}, {841, 596, 1, true}, {854, 595, 0, false}, {842, 593, 0, false},
                                   {611, 791, 2, false}, {613, 793, 2, false}, {610, 792, 0, false}, {614, 792, 0, false},
                                   {612, 790, 0, false}, {612, 794, 0, false},
                                   {791, 611, 2, true}, {793, 613, 2, true}, {790, 612, 0, false}, {794, 612, 0, false},
                                   {792, 610, 0, false}, {792, 614, 0, false}})
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

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--store-child") == 0)
        return storeChild(app.arguments().mid(2));
    TestStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_store.moc"
