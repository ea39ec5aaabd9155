// Management mode driven as a user drives it, with real widgets and the
// recording UI: the splash and the template window, saving through the
// loading screen (what the store holds after an edit, and that a failed save
// loses nothing), the print-service installation, the first-start tour, the
// menus, updates, and resetting the store.

#include "app/AppDelegate.h"
#include "app/LoadingScreenViewController.h"
#include "app/PrintAgentMain.h"
#include "app/SplashScreenViewController.h"
#include "guides/Guides.h"
#include "pdf/PdfChecks.h"
#include "pdf/TaskManager.h"
#include "store/PropertyList.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateWindow.h"

#include <QLineEdit>
#include <QLockFile>
#include <QMenuBar>

using namespace quillary;
using fixture::pdf;
using fixture::storedPage;

namespace {

// What a user does to a slot of the edited template: keep, replace with
// another file, empty (or, for an empty slot, fill).
enum class Slot { Keep, Replace, Empty, Fill };

// record: Alpha's fields afterwards, see fields(); S and C stand for its
// start and continuation page before, N for the next new terms page.
struct EditRow { Slot start, continuation, terms; QString name, record; };
// after: stored under "first_start" afterwards.
struct FirstStartRow { QStringList flag; bool tour; QStringList after; };
struct UpdateRow { QString feed; bool userAsked; QString alert; };

// A record's fields, "|"-joined: pages (S, C, T as "X" or index), label,
// isActive, docFormat, isOverlay.
QString fields(const QString& name)
{
    const TemplateRecord r = fixture::stored(name);
    return QStringList{r.pageReference(PageKind::Start), r.pageReference(PageKind::Continuation),
                       r.pageReference(PageKind::Terms), r.lastActivityWithDate(), r.text(TemplateRecord::kIsActive),
                       r.docFormat(), r.text(TemplateRecord::kIsOverlay)}
        .join('|');
}

QStringList storeFiles()
{
    return QDir(sharedStore().storeDirectory()).entryList({"temp*.pdf"}, QDir::Files, QDir::Name);
}

} // namespace

Q_DECLARE_METATYPE(EditRow)
Q_DECLARE_METATYPE(FirstStartRow)

class TestManagement : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingUi> ui;
    std::unique_ptr<AppDelegate> app;

    TemplateWindow* window() const { return qobject_cast<TemplateWindow*>(currentWindow()); }
    MainViewController* main() const { return window()->mainView(); }
    ConfigurationAssistantController* assistant() const { return main()->assistant(); }
    void open()
    {
        app->buildMainMenu();
        QVERIFY(QTest::qWaitForWindowExposed(app->showMainWindow()));
    }
    // Saves what the assistant holds as the user's click does, and runs the
    // loading screen's animation to its end: true when a fresh window opened.
    bool save()
    {
        QTest::mouseClick(assistant()->configureButton, Qt::LeftButton);
        return finishLoading();
    }
    bool finishLoading()
    {
        auto* screen = window() ? window()->findChild<LoadingScreenViewController*>() : nullptr;
        if (!screen || !screen->isVisible())
            return false;
        TemplateWindow* before = window();
        for (int i = 0; i < 6; ++i) {
            screen->paint(); // the circles fill one by one
            if (screen->collection[i]->property("image") != QStringLiteral("kreis_voll"))
                return false;
        }
        screen->paint();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window() && window() != before && window()->isVisible();
    }

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
        ui = std::make_unique<RecordingUi>();
        app = std::make_unique<AppDelegate>();
    }
    void cleanup()
    {
        // What a test left unsaved goes without a question.
        ui->saveChoiceReplies.assign(16, SaveChoice::Discard);
        for (QWidget* widget : QApplication::topLevelWidgets())
            widget->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.reset();
        ui.reset();
    }

    void splashThenANewTemplateWithThreePages()
    {
        app->applicationDidFinishLaunching();
        QPointer<SplashScreenViewController> splash = qobject_cast<SplashScreenViewController*>(currentWindow());
        QVERIFY(splash);
        QCOMPARE(splash->size(), QSize(680, 360));
        QCOMPARE(splash->versionNumber->text(), QStringLiteral("Version " QUILLARY_VERSION));
        QCOMPARE(app->splashTimer.interval(), 4000);
        app->hideSplashscreen();
        QVERIFY(!splash || !splash->isVisible());
        // The template window with its menus, the first template opened.
        QVERIFY(window() && window()->isVisible());

        main()->templateList()->addPatternWithSender(nullptr);
        QVERIFY(fixture::drop(assistant()->startController, pdf("head")));
        QVERIFY(fixture::drop(assistant()->agbController, pdf("terms", {842, 595})));
        QTest::keyClicks(assistant()->templateNameField, "Invoices");
        QTest::mouseClick(assistant()->configureButton, Qt::LeftButton);
        QCOMPARE(window()->findChild<LoadingScreenViewController*>()->templateName(), QStringLiteral("Invoices"));
        QVERIFY(finishLoading());
        QCOMPARE(fixture::storedNames(), (QStringList{"Invoices", "Alpha", "Beta"}));
        QCOMPARE(fields("Invoices").section('|', 3), QStringLiteral("Created 05.12.26|1|0|0"));
        QCOMPARE(TaskManager::pageSize(storedPage("Invoices", PageKind::Terms)), (PageSize{842, 595}));
        // Reopened: a minimized window comes back, a closed one opens anew.
        window()->showMinimized();
        QVERIFY(!app->applicationShouldHandleReopen(true));
        QVERIFY(!window()->isMinimized());
        window()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(app->applicationShouldHandleReopen(false));
        QVERIFY(window() && window()->isVisible());
        QCOMPARE(ui->alerts(), QStringList());
    }

    // Closing with unsaved changes and answering "save" stores them, then
    // closes the window without opening a fresh one; "cancel" keeps both.
    void closingWithUnsavedChangesSavesThemWhenAsked()
    {
        open();
        QPointer<TemplateWindow> first = window();
        assistant()->templateNameField->setText("Alpha 2");
        ui->saveChoiceReplies = {SaveChoice::Cancel, SaveChoice::Save};
        QVERIFY(!first->close());
        QVERIFY(first->isVisible());
        QCOMPARE(fixture::storedNames(), (QStringList{"Alpha", "Beta"}));
        QVERIFY(!first->close()); // saving: the loading screen shows first
        auto* screen = first->findChild<LoadingScreenViewController*>();
        QVERIFY(screen && screen->isVisible());
        for (int i = 0; i <= 6; ++i)
            screen->paint();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(fixture::storedNames(), (QStringList{"Alpha 2", "Beta"}));
        QVERIFY(!first || !first->isVisible());
        for (QWidget* shown : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<TemplateWindow*>(shown) || !shown->isVisible(), "a fresh window opened");
        QCOMPARE(ui->callsOf("ask to save").size(), 2);
    }

    // A key the focused name field uses is the field's: no menu item takes
    // it away. Whether the field uses a key is seen with the item disabled.
    void noMenuKeyTakesWhatTheNameFieldUses()
    {
        open();
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        QLineEdit* field = assistant()->templateNameField;
        QStringList taken;
        for (QAction* item : window()->menuBar()->findChildren<QAction*>()) {
            const QKeySequence keys = item->shortcut();
            // The keys of these two are being moved elsewhere.
            if (keys.isEmpty() || item->text() == tr("Delete printer") || item->text() == tr("Search updates"))
                continue;
            auto press = [&] {
                field->setText("Alpha Beta");
                field->setCursorPosition(5);
                field->setFocus();
                QSignalSpy fired(item, &QAction::triggered);
                QTest::keySequence(field, keys);
                return std::pair{field->text() + '|' + QString::number(field->cursorPosition()) + '|'
                                     + field->selectedText(),
                                 fired.count()};
            };
            item->setEnabled(false);
            const auto [alone, unused] = press();
            item->setEnabled(true);
            const auto [withItem, fired] = press();
            const bool fieldUsesIt = alone != QStringLiteral("Alpha Beta|5|");
            if (fieldUsesIt && (fired > 0 || withItem != alone))
                taken << item->text() + ' ' + keys.toString();
        }
        QVERIFY2(taken.isEmpty(), qPrintable(taken.join(", ")));
    }

    void editingStoresWhatTheSlotsHold_data()
    {
        // Alpha: start page (A4) and continuation page, no terms page.
        pdfchecks::table<EditRow>({
            {"nothing changed", {Slot::Keep, Slot::Keep, Slot::Keep, "Alpha", "S|C|X|Updated 05.12.26|1|0|0"}},
            {"start page replaced in place", {Slot::Replace, Slot::Keep, Slot::Keep, "Alpha", "S|C|X|Updated 05.12.26|1|1|0"}},
            {"continuation page emptied", {Slot::Keep, Slot::Empty, Slot::Keep, "Alpha", "S|X|X|Updated 05.12.26|1|0|0"}},
            {"terms page added", {Slot::Keep, Slot::Keep, Slot::Fill, "Alpha", "S|C|N|Updated 05.12.26|1|0|0"}},
            {"renamed in its place", {Slot::Keep, Slot::Replace, Slot::Keep, "Alpha 2", "S|C|X|Updated 05.12.26|1|0|0"}},
        });
    }
    void editingStoresWhatTheSlotsHold()
    {
        const auto row = pdfchecks::fetch<EditRow>();
        open();
        const QString start = storedPage("Alpha", PageKind::Start), next = storedPage("Alpha", PageKind::Continuation);
        const QByteArray startBytes = fixture::readAll(start), nextBytes = fixture::readAll(next);
        const qsizetype filesBefore = storeFiles().size();
        QString expected = row.record;
        expected.replace("S", fixture::stored("Alpha").pageReference(PageKind::Start))
            .replace("C", fixture::stored("Alpha").pageReference(PageKind::Continuation))
            .replace("N", QString::number(sharedStore().pagePaths(StoreKey::TemplateBack).size()));
        const QList<Slot> wanted{row.start, row.continuation, row.terms};
        for (int tag = 1; tag <= 3; ++tag) {
            if (wanted[tag - 1] == Slot::Empty)
                QTest::mouseClick(assistant()->slotButton(tag), Qt::LeftButton);
            if (wanted[tag - 1] == Slot::Replace || wanted[tag - 1] == Slot::Fill)
                QVERIFY(fixture::drop(assistant()->slotContainer(tag), pdf("letter", {612, 792})));
        }
        assistant()->templateNameField->setText(row.name);
        // A US Letter page in this DIN A4 template: saved anyway when asked.
        ui->confirmReplies = {true};
        QVERIFY(save());

        QCOMPARE(ui->alerts(), QStringList());
        QCOMPARE(fixture::storedNames(), (QStringList{row.name, "Beta"}));
        QCOMPARE(fields(row.name), expected);
        // Replaced pages keep their file; emptied pages lose it; kept pages are untouched.
        QCOMPARE(storedPage(row.name, PageKind::Start), start);
        QCOMPARE(fixture::readAll(start) == startBytes, row.start == Slot::Keep);
        QCOMPARE(QFileInfo::exists(next), row.continuation != Slot::Empty);
        QCOMPARE(fixture::readAll(next) == nextBytes, row.continuation == Slot::Keep);
        QCOMPARE(storeFiles().size(), filesBefore + (row.terms == Slot::Fill) - (row.continuation == Slot::Empty));
    }

    void printServiceIsInstalledOnceAndTheAgentStartedWhenNoneRuns()
    {
        open();
        const QString cantCopy = "cant copy File " + fixture::kEntryResource;
        QVERIFY(save());
        QCOMPARE(fixture::readAll(fixture::serviceEntry()), fixture::readAll(fixture::kEntryResource));
        QVERIFY(!fixture::storeLines().contains(cantCopy));
        QCOMPARE(ui->kinds(), QStringList{"start"});
        QCOMPARE(ui->calls.last().arguments, (QStringList{QCoreApplication::applicationFilePath(), "--agent"}));

        // The next save leaves the entry as it is (here: changed by the user) and says so.
        QVERIFY(testpdfs::writeBytes(fixture::serviceEntry(), "[Desktop Entry]\n# the user's own\n"));
        QVERIFY(save());
        QCOMPARE(fixture::readAll(fixture::serviceEntry()), QByteArray("[Desktop Entry]\n# the user's own\n"));
        QCOMPARE(fixture::storeLines().count(cantCopy), 1);
        QCOMPARE(ui->kinds(), (QStringList{"start", "start"})); // no agent runs: started again
        {
            QLockFile agent(printAgentLockPath()); // one that runs is left alone
            QVERIFY(agent.tryLock(0));
            QVERIFY(save());
            QCOMPARE(ui->kinds(), (QStringList{"start", "start"}));
        }
    }

    void firstStartStartsTheTourOnce_data()
    {
        pdfchecks::table<FirstStartRow>({
            {"Y", {{"Y"}, true, {"N"}}},
            {"N", {{"N"}, false, {"N"}}},
            {"lower-case y", {{"y"}, false, {"y"}}},
            {"empty list", {{}, false, {}}},
        });
    }
    void firstStartStartsTheTourOnce()
    {
        const auto row = pdfchecks::fetch<FirstStartRow>();
        sharedStore().setPagePaths(StoreKey::FirstStart, row.flag);
        open();
        QCOMPARE(main()->tourTipShown(1), row.tour);
        const QVariantMap onDisk = readPropertyListDictionary(fixture::readAll(sharedStore().settingsPath())).value_or(QVariantMap());
        QCOMPARE(onDisk.value("first_start").toStringList(), row.after);
    }

    void failedSaveLosesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("dropped file vanished") << "vanished" << "“vanished.pdf” does not exist.";
        QTest::newRow("dropped file damaged") << "damaged" << "“damaged.pdf” is damaged or not in a format Quillary can read.";
        QTest::newRow("disk full") << "full disk" << QString();
    }
    void failedSaveLosesNothing()
    {
        QFETCH(QString, how);
        QFETCH(QString, why);
        open();
        const QString file = pdf(how);
        const QStringList filesBefore = storeFiles();
        main()->templateList()->addPatternWithSender(nullptr);
        QVERIFY(fixture::drop(assistant()->startController, file));
        QVERIFY(fixture::drop(assistant()->agbController, pdf("terms")));
        assistant()->templateNameField->setText("Fragile");
        if (how == "vanished")
            QVERIFY(QFile::remove(file));
        if (how == "damaged")
            QVERIFY(testpdfs::writeBytes(file, "%PDF-1.7 this is not a PDF any more"));
        {
            std::optional<fixture::FullDisk> full;
            if (how == "full disk")
                full.emplace();
            QVERIFY(!save());
        }
        // Told what went wrong, the file by its name, never the store's own line.
        QCOMPARE(ui->alerts().size(), 1);
        const QString alert = ui->alerts().first();
        QVERIFY2(alert.startsWith("Template not saved|The template \"Fragile\" could not be saved: "), qPrintable(alert));
        if (!why.isEmpty())
            QCOMPARE(alert.section(": ", 1), why);
        QVERIFY2(!alert.section(": ", 1).contains(QLatin1Char('/')), qPrintable(alert));
        // Nothing stored half-way; the assistant keeps everything the user put in.
        QCOMPARE(fixture::storedNames(), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(storeFiles(), filesBefore);
        QCOMPARE(assistant()->templateNameField->text(), QStringLiteral("Fragile"));
        QCOMPARE(assistant()->source(PageKind::Start), file);
        QCOMPARE(assistant()->source(PageKind::Terms), pdf("terms"));
    }

    void templateDeletedMeanwhileStillReopensTheWindow()
    {
        open();
        QVERIFY(sharedStore().removeTemplate("Alpha").ok());
        QVERIFY(save());
        QCOMPARE(ui->alerts().size(), 1);
        QVERIFY2(ui->alerts().first().contains("\"Alpha\""), qPrintable(ui->alerts().first()));
        QCOMPARE(fixture::storedNames(), QStringList{"Beta"});
        QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
    }

    void menuBarAndItsCommands()
    {
        open();
        QVERIFY(save()); // installs the print-service entry
        QStringList menus;
        QMap<QString, QAction*> items;
        for (QAction* top : window()->menuBar()->actions()) {
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
        items["Search updates"]->trigger();
        QCOMPARE(ui->alerts(), QStringList{"Search updates|Updates for Quillary come with your system's packages."});
        // Delete printer removes the installed entry (the agent sees it go).
        items["Delete printer"]->trigger();
        QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
        QCOMPARE(ui->kinds().count("alert"), 2);
    }

    void updatesAreAnnouncedOnlyWhenThereIsSomethingToSay()
    {
        const QString newer = "A new version is available|Quillary 9.1 is available at https://example.org/quillary.";
        const QString upToDate = "Quillary is up to date|Version " QUILLARY_VERSION " is the newest version.";
        // The feed file's content ("": no feed; "missing": a file that is not
        // there), whether the user asked, the one alert or none.
        const QList<UpdateRow> rows{
            {"", true, "Search updates|Updates for Quillary come with your system's packages."},
            {"", false, {}},
            {"9.1\nhttps://example.org/quillary\n", false, newer},
            {"9.1\n", true, "A new version is available|Quillary 9.1 is available."},
            {QUILLARY_VERSION "\n", true, upToDate},
            {"0.9\n", true, upToDate},
            {"missing", false, {}},
        };
        const QString path = fixture::home().filePath("feed.txt");
        for (const UpdateRow& row : rows) {
            ui->clear();
            QFile::remove(path);
            if (!row.feed.isEmpty() && row.feed != "missing")
                QVERIFY(testpdfs::writeBytes(path, row.feed.toUtf8()));
            Updater updater(row.feed.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
            QSignalSpy finished(&updater, &Updater::checkFinished);
            if (row.userAsked)
                updater.checkForUpdates();
            else
                updater.checkForUpdatesInBackground();
            QVERIFY(row.feed.isEmpty() || finished.wait(5000));
            QVERIFY2(ui->alerts() == (row.alert.isEmpty() ? QStringList() : QStringList{row.alert}), qPrintable(row.feed));
        }
    }

    void resetSettingsRemovesTheStoreAndEnds() // last: it removes the store
    {
        open();
        const QString directory = sharedStore().storeDirectory();
        ui->confirmReplies = {false, true};
        app->reset();
        QVERIFY(QFileInfo(sharedStore().settingsPath()).isFile());
        QVERIFY(!ui->exitStatus);
        app->reset();
        QVERIFY(!QFileInfo::exists(directory));
        QCOMPARE(ui->exitStatus, std::optional<int>(0));
        QCOMPARE(ui->kinds(), (QStringList{"confirm", "confirm", "exit"}));
    }
};

QTEST_MAIN(TestManagement)
#include "tst_management.moc"
