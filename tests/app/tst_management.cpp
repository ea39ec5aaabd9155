// Management mode driven as a user drives it, with real widgets and the
// recording UI: the splash, the template window and its menus, saving
// through the loading screen (the store effects of adding, editing and
// renaming), the print-service installation, the first-start tour, failed
// saves that lose nothing, updates, and resetting the store.

#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/LoadingScreenViewController.h"
#include "app/ManualWindow.h"
#include "app/PrintAgentMain.h"
#include "app/SplashScreenViewController.h"
#include "guides/FirstGuide.h"
#include "guides/Guides.h"
#include "pdf/PdfChecks.h"
#include "pdf/TaskManager.h"
#include "store/PropertyList.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateWindow.h"

#include <QLabel>
#include <QLockFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>

using namespace quillary;
using fixture::pdf;
using fixture::storedPage;

namespace {

// What a user does to the slots of an edited template: keep, replace with
// another file, empty (or, for an empty slot, fill).
enum class Slot { Keep, Replace, Empty, Fill };

struct EditRow {
    Slot start, continuation, terms;
    QString name;        // typed name
    // Stored fields afterwards, see fields(); S and C stand for Alpha's start
    // and continuation page before, N for the next new terms page.
    QString record;
    QStringList names;   // the template list afterwards
};

struct FirstStartRow {
    QStringList flag;    // stored under "first_start"
    bool tour;
    QStringList after;   // on disk afterwards
};

struct FailureRow { QString how; };

struct UpdateRow {
    QString feed;        // content of the feed file; empty: no feed at all; "missing": a file that is not there
    bool userAsked;
    QString alert;
};

// A record's fields as text, "|"-joined: pages (S, C, T as "X" or index),
// label, isActive, docFormat, isOverlay.
QString fields(const QString& name)
{
    const TemplateRecord r = fixture::stored(name);
    return QStringList{r.pageReference(PageKind::Start), r.pageReference(PageKind::Continuation),
                       r.pageReference(PageKind::Terms), r.lastActivityWithDate(), r.text(TemplateRecord::kIsActive),
                       r.docFormat(), r.text(TemplateRecord::kIsOverlay)}
        .join('|');
}

QVariant onDisk(const QString& key)
{
    return readPropertyListDictionary(fixture::readAll(sharedStore().settingsPath())).value_or(QVariantMap()).value(key);
}

QStringList storeFiles()
{
    return QDir(sharedStore().storeDirectory()).entryList({"temp*.pdf"}, QDir::Files, QDir::Name);
}

void processDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The road through management mode of one test.
class Road {
public:
    AppDelegate app;

    TemplateWindow* window() const { return qobject_cast<TemplateWindow*>(currentWindow()); }
    MainViewController* main() const { return window()->mainView(); }
    ConfigurationAssistantController* assistant() const { return main()->assistant(); }
    LoadingScreenViewController* loading() const
    {
        return window() ? window()->findChild<LoadingScreenViewController*>() : nullptr;
    }

    TemplateWindow* open()
    {
        app.buildMainMenu();
        TemplateWindow* shown = app.showMainWindow();
        if (!QTest::qWaitForWindowExposed(shown))
            qWarning("template window not exposed");
        return shown;
    }
    // Saves what the assistant holds, as the user's click does.
    void save() { QTest::mouseClick(assistant()->configureButton, Qt::LeftButton); }
    // Runs the loading screen's animation to its end: the fresh template window.
    bool finishLoading()
    {
        LoadingScreenViewController* screen = loading();
        if (!screen || !screen->isVisible())
            return false;
        TemplateWindow* before = window();
        for (int i = 0; i < 6; ++i) {
            screen->paint();
            if (screen->collection[i]->property("image") != QStringLiteral("kreis_voll"))
                return false;
        }
        screen->paint();
        processDeletes();
        return window() && window() != before && window()->isVisible();
    }
    void edit(int row) { main()->templateList()->selectRow(row); }
};

void closeAllWindows()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->close();
    processDeletes();
}

} // namespace

Q_DECLARE_METATYPE(EditRow)
Q_DECLARE_METATYPE(FirstStartRow)
Q_DECLARE_METATYPE(FailureRow)
Q_DECLARE_METATYPE(UpdateRow)

class TestManagement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        fixture::setUpStore();
        registerTemplateScenes();
        registerAppScenes();
        registerGuideScenes();
    }
    void init()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha"), pdf("alpha-next")}, {"Beta", pdf("beta")}});
        sharedStore().setPagePaths(StoreKey::FirstStart, {"N"});
        QDir(fixture::serviceFolder()).removeRecursively();
        fixture::storeLines().clear();
    }
    void cleanup() { closeAllWindows(); }

    void theWholeRoad();
    void editingStoresWhatTheSlotsHold_data();
    void editingStoresWhatTheSlotsHold();
    void printServiceIsInstalledOnceAndRemovedOnRequest();
    void firstStartStartsTheTourOnce_data();
    void firstStartStartsTheTourOnce();
    void failedSaveLosesNothing_data();
    void failedSaveLosesNothing();
    void templateDeletedMeanwhileStillReopensTheWindow();
    void menuBarAndItsCommands();
    void reopenBringsBackTheWindow();
    void updates_data();
    void updates();
    void resetSettingsRemovesTheStoreAndEnds(); // last: it removes the store
};

void TestManagement::theWholeRoad()
{
    fixture::resetTemplates({{"Meine Vorlage 1", pdf("sample")}});
    sharedStore().setPagePaths(StoreKey::FirstStart, {"Y"});
    RecordingUi ui;
    Road road;

    // Splash, with the version, for four seconds.
    road.app.applicationDidFinishLaunching();
    auto* splash = qobject_cast<SplashScreenViewController*>(currentWindow());
    QVERIFY(splash);
    QCOMPARE(splash->size(), QSize(680, 360));
    QCOMPARE(splash->versionNumber->text(), QStringLiteral("Version " QUILLARY_VERSION));
    QCOMPARE(road.app.splashTimer.interval(), 4000);
    QVERIFY(road.app.splashTimer.isActive());
    road.app.hideSplashscreen();
    processDeletes();
    QVERIFY(!splash->isVisible() || !QApplication::topLevelWidgets().contains(splash));

    // The template window: the default template selected, its start page in the slot, the tour started.
    QVERIFY(road.window() && road.window()->isVisible());
    QVERIFY(!road.window()->menuBar()->actions().isEmpty());
    QCOMPARE(road.assistant()->editedName(), QStringLiteral("Meine Vorlage 1"));
    QCOMPARE(road.assistant()->source(PageKind::Start), QStringLiteral("existing"));
    QVERIFY(road.assistant()->startController->showsPage());
    QVERIFY(road.main()->tourTipShown(1));
    QCOMPARE(onDisk("first_start").toStringList(), QStringList{"N"});
    road.main()->dissmisSheetWithSender(road.main()->tourTipView(1)->findChild<QPushButton*>());
    QVERIFY(!road.main()->tourTipShown(1));

    // A new template with three dropped pages.
    road.main()->templateList()->addPatternWithSender(nullptr);
    QVERIFY(road.assistant()->isNewTemplate());
    QVERIFY(fixture::drop(road.assistant()->startController, pdf("head")));
    QVERIFY(fixture::drop(road.assistant()->continualController, pdf("follow")));
    QVERIFY(fixture::drop(road.assistant()->agbController, pdf("terms", {842, 595})));
    QTest::keyClicks(road.assistant()->templateNameField, "Invoices");
    road.save();
    QVERIFY(road.loading());
    QCOMPARE(road.loading()->templateName(), QStringLiteral("Invoices"));
    QVERIFY(road.finishLoading());
    QCOMPARE(fixture::storedNames(), (QStringList{"Invoices", "Meine Vorlage 1"}));
    QCOMPARE(fields("Invoices").section('|', 3), QStringLiteral("Created 05.12.26|1|0|0"));
    for (const PageKind kind : {PageKind::Start, PageKind::Continuation, PageKind::Terms})
        QVERIFY(QFileInfo::exists(storedPage("Invoices", kind)));
    QVERIFY(QFileInfo::exists(fixture::serviceEntry()));
    QVERIFY(!road.main()->tourTipShown(1)); // the tour runs once
    QCOMPARE(road.main()->templateList()->rowView(0)->name(), QStringLiteral("Invoices"));

    // Edit it: rename, and empty its terms page.
    road.edit(0);
    QCOMPARE(road.assistant()->editedName(), QStringLiteral("Invoices"));
    road.assistant()->templateNameField->setText("Invoices 2027");
    QTest::mouseClick(road.assistant()->slotButton(3), Qt::LeftButton);
    road.save();
    QVERIFY(road.finishLoading());
    QCOMPARE(fixture::storedNames(), (QStringList{"Invoices 2027", "Meine Vorlage 1"}));
    QCOMPARE(fixture::stored("Invoices 2027").pageReference(PageKind::Terms), QStringLiteral("X"));

    // Toggle, then delete every template down to the last.
    QTest::mouseClick(road.main()->templateList()->rowView(1)->activeSwitch(), Qt::LeftButton);
    QVERIFY(!fixture::stored("Meine Vorlage 1").isActive());
    for (int left = 2; left > 0; --left) {
        ui.confirmReplies.push_back(true);
        road.main()->templateList()->deletePatternWithSender(nullptr);
    }
    QCOMPARE(fixture::storedNames(), QStringList());
    QCOMPARE(road.main()->templateList()->numberOfRows(), 0);
    QVERIFY(road.assistant()->isNewTemplate());
    QCOMPARE(ui.alerts(), QStringList());
}

void TestManagement::editingStoresWhatTheSlotsHold_data()
{
    // Alpha: start page 0 (A4), continuation page 0, no terms page; Beta: start page 1.
    pdfchecks::table<EditRow>({
        {"nothing changed", {Slot::Keep, Slot::Keep, Slot::Keep, "Alpha", "S|C|X|Updated 05.12.26|1|0|0", {"Alpha", "Beta"}}},
        {"start page replaced in place", {Slot::Replace, Slot::Keep, Slot::Keep, "Alpha", "S|C|X|Updated 05.12.26|1|1|0", {"Alpha", "Beta"}}},
        {"continuation page emptied", {Slot::Keep, Slot::Empty, Slot::Keep, "Alpha", "S|X|X|Updated 05.12.26|1|0|0", {"Alpha", "Beta"}}},
        {"terms page added", {Slot::Keep, Slot::Keep, Slot::Fill, "Alpha", "S|C|N|Updated 05.12.26|1|0|0", {"Alpha", "Beta"}}},
        {"renamed in its place", {Slot::Keep, Slot::Replace, Slot::Keep, "Alpha 2", "S|C|X|Updated 05.12.26|1|0|0", {"Alpha 2", "Beta"}}},
    });
}

void TestManagement::editingStoresWhatTheSlotsHold()
{
    const auto row = pdfchecks::fetch<EditRow>();
    RecordingUi ui;
    Road road;
    road.open();
    const QString start = storedPage("Alpha", PageKind::Start);
    const QString next = storedPage("Alpha", PageKind::Continuation);
    const QByteArray startBytes = fixture::readAll(start), nextBytes = fixture::readAll(next);
    const QString betaBefore = fields("Beta");
    const QStringList filesBefore = storeFiles();
    QStringList expected = row.record.split('|');
    const QMap<QString, QString> before{{"S", fixture::stored("Alpha").pageReference(PageKind::Start)},
                                        {"C", fixture::stored("Alpha").pageReference(PageKind::Continuation)},
                                        {"N", QString::number(sharedStore().pagePaths(StoreKey::TemplateBack).size())},
                                        {"X", "X"}};
    for (int i = 0; i < 3; ++i)
        expected[i] = before.value(expected[i]);

    QCOMPARE(road.assistant()->editedName(), QStringLiteral("Alpha"));
    const auto apply = [&](int tag, Slot slot) {
        if (slot == Slot::Empty)
            QTest::mouseClick(road.assistant()->slotButton(tag), Qt::LeftButton);
        if (slot == Slot::Replace || slot == Slot::Fill)
            QVERIFY(fixture::drop(road.assistant()->slotContainer(tag), pdf("letter", {612, 792})));
    };
    apply(1, row.start);
    apply(2, row.continuation);
    apply(3, row.terms);
    road.assistant()->templateNameField->setText(row.name);
    road.save();
    QVERIFY(road.finishLoading());

    QCOMPARE(ui.alerts(), QStringList());
    QCOMPARE(fixture::storedNames(), row.names);
    QCOMPARE(fields(row.name), expected.join('|'));
    QCOMPARE(fields("Beta"), betaBefore);
    QCOMPARE(SharedData::templateName, row.name);
    // Replaced pages keep their file; emptied pages lose it; kept pages are untouched.
    QCOMPARE(storedPage(row.name, PageKind::Start), start);
    QCOMPARE(fixture::readAll(start) == startBytes, row.start == Slot::Keep);
    if (row.continuation == Slot::Empty) {
        QVERIFY(!QFileInfo::exists(next));
    } else {
        QCOMPARE(storedPage(row.name, PageKind::Continuation), next);
        QCOMPARE(fixture::readAll(next) == nextBytes, row.continuation == Slot::Keep);
    }
    if (row.terms == Slot::Fill) {
        QCOMPARE(TaskManager::pageSize(storedPage(row.name, PageKind::Terms)), (PageSize{612, 792}));
        QCOMPARE(storeFiles().size(), filesBefore.size() + 1);
    }
    // The fresh window shows what is stored.
    QCOMPARE(road.main()->templateList()->rowView(0)->name(), row.name);
    QCOMPARE(road.main()->templateList()->rowView(0)->dateField()->text(), QStringLiteral("Updated 05.12.26"));
}

void TestManagement::printServiceIsInstalledOnceAndRemovedOnRequest()
{
    RecordingUi ui;
    Road road;
    road.open();
    const QString cantCopy = "cant copy File " + fixture::kEntryResource;

    // The first save creates the folder and the entry.
    QVERIFY(!QFileInfo::exists(fixture::serviceFolder()));
    road.save();
    QVERIFY(road.finishLoading());
    QVERIFY(QFileInfo(fixture::serviceFolder()).isDir());
    QCOMPARE(fixture::readAll(fixture::serviceEntry()), fixture::readAll(fixture::kEntryResource));
    QVERIFY(fixture::readAll(fixture::serviceEntry()).contains("Exec=quillary --agent"));
    QVERIFY(!fixture::storeLines().contains(cantCopy));
    // No agent runs yet: one is started for this session.
    const QStringList startAgent{QCoreApplication::applicationFilePath(), "--agent"};
    QCOMPARE(ui.kinds(), QStringList{"start"});
    QCOMPARE(ui.calls.last().arguments, startAgent);

    // The second leaves the entry as it is (here: changed by the user) and says so.
    QFile entry(fixture::serviceEntry());
    QVERIFY(entry.open(QIODevice::Append));
    entry.write("# the user's own line\n");
    entry.close();
    const QByteArray changed = fixture::readAll(fixture::serviceEntry());
    road.save();
    QVERIFY(road.finishLoading());
    QCOMPARE(fixture::readAll(fixture::serviceEntry()), changed);
    QCOMPARE(fixture::storeLines().count(cantCopy), 1);
    // The entry is there but no agent runs: started again. One that runs
    // (holds the lock) is left alone.
    QCOMPARE(ui.kinds(), (QStringList{"start", "start"}));
    {
        QLockFile agent(printAgentLockPath());
        QVERIFY(agent.tryLock(0));
        road.save();
        QVERIFY(road.finishLoading());
        QCOMPARE(ui.kinds(), (QStringList{"start", "start"}));
    }
    ui.calls.clear();

    // "Delete printer" removes it (the agent sees it go); the next save installs it again.
    road.app.deletePrinter();
    QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
    QCOMPARE(ui.kinds(), QStringList{"alert"});
    road.save();
    QVERIFY(road.finishLoading());
    QCOMPARE(fixture::readAll(fixture::serviceEntry()), fixture::readAll(fixture::kEntryResource));

    // An entry the application does not carry cannot be installed.
    fixture::storeLines().clear();
    injectPrintServiceLocation([] {
        return PrintServiceLocation{fixture::home().filePath("no-such-entry"), fixture::serviceFolder() + "/",
                                    fixture::serviceFolder() + "/other.desktop"};
    });
    road.save();
    QVERIFY(road.finishLoading());
    fixture::setUpStore(); // the injected location as before
    QCOMPARE(fixture::storeLines().filter("Readable"), QStringList{"No Readable File"});
    QVERIFY(!QFileInfo::exists(fixture::serviceFolder() + "/other.desktop"));
}

void TestManagement::firstStartStartsTheTourOnce_data()
{
    pdfchecks::table<FirstStartRow>({
        {"Y", {{"Y"}, true, {"N"}}},
        {"Y and more", {{"Y", "N"}, true, {"N"}}},
        {"N", {{"N"}, false, {"N"}}},
        {"lower-case y", {{"y"}, false, {"y"}}},
        {"empty list", {{}, false, {}}},
    });
}

void TestManagement::firstStartStartsTheTourOnce()
{
    const auto row = pdfchecks::fetch<FirstStartRow>();
    sharedStore().setPagePaths(StoreKey::FirstStart, row.flag);
    Road road;
    road.open();
    QCOMPARE(road.main()->tourTipShown(1), row.tour);
    if (row.tour) {
        // The guides' first tip: the window dark but for the template list.
        auto* tip = qobject_cast<FirstGuide*>(road.main()->tourTipView(1));
        QVERIFY(tip);
        QVERIFY(tip->highlightPoint().contains(QRectF(
            road.main()->templateList()->tableView()->mapTo(road.main(), QPoint(0, 0)),
            QSizeF(road.main()->templateList()->tableView()->size()))));
    }
    QCOMPARE(onDisk("first_start").toStringList(), row.after);
    // A later template window of the same run shows no tour.
    road.app.showMainWindow();
    QVERIFY(!road.main()->tourTipShown(1));
}

void TestManagement::failedSaveLosesNothing_data()
{
    pdfchecks::table<FailureRow>({
        {"dropped file vanished", {"vanished"}},
        {"dropped file damaged", {"damaged"}},
        {"disk full", {"full disk"}},
    });
}

void TestManagement::failedSaveLosesNothing()
{
    const auto row = pdfchecks::fetch<FailureRow>();
    RecordingUi ui;
    Road road;
    road.open();
    const QString file = fixture::home().filePath("pdfs/fragile.pdf");
    QFile::remove(file);
    QVERIFY(QFile::copy(pdf("a4"), file));
    const QStringList filesBefore = storeFiles();
    const QString alphaBefore = fields("Alpha");

    road.main()->templateList()->addPatternWithSender(nullptr);
    QVERIFY(fixture::drop(road.assistant()->startController, file));
    QVERIFY(fixture::drop(road.assistant()->agbController, pdf("terms")));
    road.assistant()->templateNameField->setText("Fragile");
    if (row.how == "vanished")
        QVERIFY(QFile::remove(file));
    if (row.how == "damaged")
        QVERIFY(testpdfs::writeBytes(file, "%PDF-1.7 this is not a PDF any more"));
    TemplateWindow* window = road.window();
    {
        std::optional<fixture::FullDisk> full;
        if (row.how == "full disk")
            full.emplace();
        road.save();
    }

    // Told, with the file named, and nothing stored half-way.
    const QStringList alerts = ui.alerts();
    QCOMPARE(alerts.size(), 1);
    QVERIFY2(alerts.first().startsWith("Template not saved|The template \"Fragile\" could not be saved: "),
             qPrintable(alerts.first()));
    // What went wrong, with the file by its name; never the store's English line.
    const QString why = alerts.first().section(": ", 1);
    if (row.how == "vanished")
        QCOMPARE(why, QStringLiteral("“fragile.pdf” does not exist."));
    if (row.how == "damaged")
        QCOMPARE(why, QStringLiteral("“fragile.pdf” is damaged or not in a format Quillary can read."));
    QVERIFY2(!why.contains(QLatin1Char('/')), qPrintable(why));
    QCOMPARE(fixture::storedNames(), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(fields("Alpha"), alphaBefore);
    QCOMPARE(storeFiles(), filesBefore);
    QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
    // The assistant is still there with everything the user put in.
    QCOMPARE(road.window(), window);
    QVERIFY(!road.loading());
    QVERIFY(road.assistant()->isVisible());
    QCOMPARE(road.assistant()->templateNameField->text(), QStringLiteral("Fragile"));
    QCOMPARE(road.assistant()->source(PageKind::Start), file);
    QCOMPARE(road.assistant()->source(PageKind::Terms), pdf("terms"));
    QCOMPARE(road.assistant()->slotButton(3)->state(), PreviewState::IMAGE_IN);
}

void TestManagement::templateDeletedMeanwhileStillReopensTheWindow()
{
    RecordingUi ui;
    Road road;
    road.open();
    QCOMPARE(road.assistant()->editedName(), QStringLiteral("Alpha"));
    QVERIFY(sharedStore().removeTemplate("Alpha").ok());
    road.save();
    QCOMPARE(ui.alerts().size(), 1);
    QVERIFY2(ui.alerts().first().contains("Alpha"), qPrintable(ui.alerts().first()));
    QVERIFY(road.finishLoading());
    QCOMPARE(fixture::storedNames(), QStringList{"Beta"});
    QCOMPARE(road.main()->templateList()->numberOfRows(), 1);
    QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
}

void TestManagement::menuBarAndItsCommands()
{
    RecordingUi ui;
    Road road;
    road.open();
    QStringList menus;
    QMap<QString, QAction*> items;
    for (QAction* top : road.window()->menuBar()->actions()) {
        QStringList titles;
        for (QAction* item : top->menu()->actions()) {
            titles << (item->isSeparator() ? "-" : item->text());
            items.insert(item->text(), item);
        }
        menus << top->text() + ": " + titles.join(", ");
    }
    QCOMPARE(menus, (QStringList{"Quillary: About Quillary, -, Close Quillary", "Edit: Copy, Paste",
                                 "Configuration: Delete printer, Reset settings", "Update: Search updates",
                                 "Help: Manual"}));
    QCOMPARE(items["Delete printer"]->shortcut(), QKeySequence("Ctrl+D"));
    QCOMPARE(items["Search updates"]->shortcut(), QKeySequence("Ctrl+U"));

    // Copy and Paste act on the focused field.
    QLineEdit* name = road.assistant()->templateNameField;
    name->setFocus();
    QApplication::setActiveWindow(road.window());
    name->setText("Alpha copied");
    name->selectAll();
    items["Copy"]->trigger();
    name->clear();
    items["Paste"]->trigger();
    QCOMPARE(name->text(), QStringLiteral("Alpha copied"));

    items["About Quillary"]->trigger();
    auto* about = QApplication::activeModalWidget();
    QVERIFY(qobject_cast<AboutWindow*>(about));
    QVERIFY(about->findChild<QLabel*>("versionNumber")->text().endsWith(QUILLARY_VERSION));
    about->close();

    items["Manual"]->trigger();
    QVERIFY(road.window()->findChild<ManualWindow*>());

    items["Search updates"]->trigger();
    QCOMPARE(ui.alerts(), QStringList{"Search updates|Updates for Quillary come with your system's packages."});

    QDir().mkpath(fixture::serviceFolder());
    QVERIFY(testpdfs::writeBytes(fixture::serviceEntry(), "[Desktop Entry]\n"));
    items["Delete printer"]->trigger();
    QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
    // Deleting what is not there is no error.
    items["Delete printer"]->trigger();
    QCOMPARE(ui.kinds().count("alert"), 3);
}

void TestManagement::reopenBringsBackTheWindow()
{
    Road road;
    TemplateWindow* window = road.open();
    window->showMinimized();
    QVERIFY(!road.app.applicationShouldHandleReopen(true));
    QCOMPARE(road.window(), window);
    QVERIFY(!window->isMinimized());
    window->close();
    processDeletes();
    QVERIFY(road.app.applicationShouldHandleReopen(false));
    QVERIFY(road.window() && road.window()->isVisible());
}

void TestManagement::updates_data()
{
    const QString newer = "Quillary 9.1 is available at https://example.org/quillary.";
    pdfchecks::table<UpdateRow>({
        {"no feed, asked", {"", true, "Search updates|Updates for Quillary come with your system's packages."}},
        {"no feed, background", {"", false, {}}},
        {"newer, background", {"9.1\nhttps://example.org/quillary\n", false, "A new version is available|" + newer}},
        {"newer, asked", {"9.1\nhttps://example.org/quillary\n", true, "A new version is available|" + newer}},
        {"newer without a place", {"9.1\n", true, "A new version is available|Quillary 9.1 is available."}},
        {"same, background", {QUILLARY_VERSION "\n", false, {}}},
        {"same, asked", {QUILLARY_VERSION "\n", true, "Quillary is up to date|Version " QUILLARY_VERSION " is the newest version."}},
        {"older, asked", {"0.9\n", true, "Quillary is up to date|Version " QUILLARY_VERSION " is the newest version."}},
        {"unreadable, background", {"missing", false, {}}},
        {"garbage, background", {"<html>", false, {}}},
    });
}

void TestManagement::updates()
{
    const auto row = pdfchecks::fetch<UpdateRow>();
    RecordingUi ui;
    QUrl feed;
    if (!row.feed.isEmpty()) {
        const QString path = fixture::home().filePath("feed.txt");
        QFile::remove(path);
        if (row.feed != "missing")
            QVERIFY(testpdfs::writeBytes(path, row.feed.toUtf8()));
        feed = QUrl::fromLocalFile(path);
    }
    Updater updater(feed);
    QSignalSpy finished(&updater, &Updater::checkFinished);
    if (row.userAsked)
        updater.checkForUpdates();
    else
        updater.checkForUpdatesInBackground();
    if (!feed.isEmpty())
        QVERIFY(finished.wait(5000));
    QCOMPARE(ui.alerts(), row.alert.isEmpty() ? QStringList() : QStringList{row.alert});
}

void TestManagement::resetSettingsRemovesTheStoreAndEnds()
{
    RecordingUi ui;
    Road road;
    road.open();
    const QString directory = sharedStore().storeDirectory();
    ui.confirmReplies = {false, true};
    road.app.reset();
    QVERIFY(QFileInfo(sharedStore().settingsPath()).isFile());
    QVERIFY(!ui.exitStatus);
    road.app.reset();
    QVERIFY(!QFileInfo::exists(directory));
    QCOMPARE(ui.exitStatus, std::optional<int>(0));
    QCOMPARE(ui.kinds(), (QStringList{"confirm", "confirm", "exit"}));
}

QTEST_MAIN(TestManagement)
#include "tst_management.moc"
