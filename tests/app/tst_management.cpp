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
#include <QMetaEnum>
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
    // Every item of the window's menu bar by its text.
    QMap<QString, QAction*> menuItems() const
    {
        QMap<QString, QAction*> items;
        for (QAction* top : window()->menuBar()->actions())
            for (QAction* item : top->menu()->actions())
                items.insert(item->text(), item);
        return items;
    }
    // "Menu: item, -, item" for each menu.
    QStringList menus() const
    {
        QStringList result;
        for (QAction* top : window()->menuBar()->actions()) {
            QStringList titles;
            for (QAction* item : top->menu()->actions())
                titles << (item->isSeparator() ? "-" : item->text());
            result << top->text() + ": " + titles.join(", ");
        }
        return result;
    }
    // The package's autostart entry for every user, there or not, for one test.
    struct SystemEntry {
        explicit SystemEntry(bool installed)
        {
            const QString entry = fixture::home().filePath("xdg/autostart/quillary-agent.desktop");
            QDir(fixture::home().filePath("xdg")).removeRecursively();
            if (installed)
                [&] { QVERIFY(QDir().mkpath(QFileInfo(entry).path()) && QFile::copy(fixture::kEntryResource, entry)); }();
            quillary::injectPrintServiceLocation([entry] {
                return quillary::PrintServiceLocation{fixture::kEntryResource, fixture::serviceFolder() + '/',
                                                      fixture::serviceEntry(), {entry}};
            });
        }
        ~SystemEntry()
        {
            quillary::injectPrintServiceLocation([] {
                return quillary::PrintServiceLocation{fixture::kEntryResource, fixture::serviceFolder() + '/',
                                                      fixture::serviceEntry()};
            });
        }
    };
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
        QFile::remove(fixture::serviceFolder()); // a test may have put a file there
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

    // A stationery whose fonts cannot be embedded is saved, and the window
    // says PDF/A e-invoices stamped with it lose their claim; one whose fonts
    // can be is saved without a word.
    void fontsThatCannotBeEmbedded_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("alert");
        QTest::newRow("no compatible face") << "unknown" << "FancyScript-Regular";
        QTest::newRow("standard fonts") << "standard" << QString();
    }
    void fontsThatCannotBeEmbedded()
    {
        QFETCH(QString, kind);
        QFETCH(QString, alert);
        QTemporaryDir files;
        const QString paper = files.filePath(kind + ".pdf");
        QVERIFY(testpdfs::writeStationery(paper, kind));
        open();
        main()->templateList()->addPatternWithSender(nullptr);
        QVERIFY(fixture::drop(assistant()->startController, paper));
        assistant()->templateNameField->setText("Letter " + kind);
        QVERIFY(save());
        QVERIFY(!fields("Letter " + kind).isEmpty());
        if (alert.isEmpty()) {
            QCOMPARE(ui->alerts(), QStringList());
        } else {
            QCOMPARE(ui->alerts().size(), 1);
            QVERIFY2(ui->alerts().first().startsWith("Fonts cannot be embedded|") && ui->alerts().first().contains(alert),
                     qPrintable(ui->alerts().first()));
        }
    }

    void failedSaveLosesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("dropped file vanished") << "vanished" << "“vanished.pdf” does not exist.";
        QTest::newRow("dropped file damaged") << "damaged" << "“damaged.pdf” is damaged or not in a format Quillary can read.";
        QTest::newRow("dropped file replaced by one whose pages are no pages")
            << "hostile" << "“hostile.pdf” has no pages.";
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
        if (how == "hostile")
            QVERIFY(QFile::remove(file) && QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/hostile-max-object-id.pdf"), file));
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
        const QMap<QString, QAction*> items = menuItems();
        QCOMPARE(menus(), (QStringList{"Quillary: About Quillary, -, Close Quillary", "Edit: Copy, Paste",
                                       "Configuration: Delete printer, Reset settings", "Update: Search updates",
                                       "Help: Manual"}));
        items["Search updates"]->trigger();
        QCOMPARE(ui->alerts(), QStringList{"Search updates|Updates for Quillary come with your system's packages."});
    }

    // Keys that text fields take for their own editing on the desktops
    // Quillary runs on (Emacs-style keys of Linux desktops among them): with
    // the template name focused, a menu command on such a key would lose to
    // the field (Ctrl+U cleared the name instead of checking for updates).
    void noMenuCommandTakesATextEditingKey_data()
    {
        QTest::addColumn<QKeySequence>("key");
        for (const char* key : {"Ctrl+D", "Ctrl+U", "Ctrl+K", "Ctrl+A", "Ctrl+E", "Ctrl+H", "Ctrl+W", "Ctrl+Y", "Ctrl+Z",
                                "Ctrl+Shift+Z", "Ctrl+X", "Ctrl+Backspace", "Ctrl+Del", "Ctrl+Left", "Ctrl+Right",
                                "Ctrl+Home", "Ctrl+End", "Ctrl+Shift+U", "Meta+D", "Meta+U"})
            QTest::newRow(key) << QKeySequence(QString::fromLatin1(key));
    }
    void noMenuCommandTakesATextEditingKey()
    {
        QFETCH(QKeySequence, key);
        open();
        const QMap<QString, QAction*> items = menuItems();
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
#ifdef Q_OS_MACOS
            // Command+D and Command+U: the platform's own text keys use Control.
            if (it.key() == "Delete printer" || it.key() == "Search updates")
                continue;
#endif
            QVERIFY2(!it.value()->shortcuts().contains(key), qPrintable(it.key()));
        }
        // Nor any key this platform binds to text editing (Copy and Paste act
        // on the focused field by design).
        const QMetaEnum standardKeys = QMetaEnum::fromType<QKeySequence::StandardKey>();
        for (int i = 0; i < standardKeys.keyCount(); ++i) {
            const auto standard = QKeySequence::StandardKey(standardKeys.value(i));
            if (standard == QKeySequence::Copy || standard == QKeySequence::Paste || standard == QKeySequence::Quit
                || standard == QKeySequence::HelpContents)
                continue;
            for (const QKeySequence& bound : QKeySequence::keyBindings(standard))
                for (auto it = items.cbegin(); it != items.cend(); ++it)
                    QVERIFY2(!it.value()->shortcuts().contains(bound), qPrintable(it.key() + ": " + bound.toString()));
        }
        // The name field keeps what the user typed when the key is pressed in it.
        QLineEdit* name = assistant()->templateNameField;
        name->setText("Invoice");
        name->setFocus();
        name->end(false);
        QTest::keySequence(window(), key);
        QVERIFY(ui->calls.isEmpty());
    }

    // "Delete printer" asks first and says what stays: the answer, what the
    // user's entry holds afterwards ("own": as before; "hidden": Quillary
    // turned off for this user), the alerts.
    void deletePrinterAsksAndTurnsOffOnlyForThisUser_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("folder"); // "", or "file": the autostart folder is a file
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("alert");
        QTest::newRow("cancelled") << false << "" << "own" << "";
        QTest::newRow("accepted") << true << "" << "hidden" << "";
        QTest::newRow("autostart folder cannot be made")
            << true << "file" << "none" << "Printer not deleted|Quillary could not be turned off for you: ";
    }
    void deletePrinterAsksAndTurnsOffOnlyForThisUser()
    {
        QFETCH(bool, accept);
        QFETCH(QString, folder);
        QFETCH(QString, after);
        QFETCH(QString, alert);
        open();
        const QByteArray own = "[Desktop Entry]\nExec=quillary --agent\n";
        QDir().mkpath(QFileInfo(fixture::serviceFolder()).path());
        if (folder == "file")
            QVERIFY(testpdfs::writeBytes(fixture::serviceFolder(), "not a folder"));
        else
            QVERIFY(QDir().mkpath(fixture::serviceFolder()) && testpdfs::writeBytes(fixture::serviceEntry(), own));
        ui->confirmReplies = {accept};
        menuItems()["Delete printer"]->trigger();

        const QList<RecordingUi::Call> asked = ui->callsOf("confirm");
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().title, QStringLiteral("Delete printer?"));
        QVERIFY(asked.first().text.contains("stays on this computer for other users"));
        QVERIFY(asked.first().text.contains("no longer open your print jobs"));
        QCOMPARE(asked.first().arguments, (QStringList{"Delete printer", "Cancel"}));
        const QByteArray entry = fixture::readAll(fixture::serviceEntry());
        if (after == "own")
            QCOMPARE(entry, own);
        if (after == "hidden")
            QVERIFY2(entry.startsWith("[Desktop Entry]\n") && entry.contains("\nHidden=true\n"), entry.constData());
        if (after == "none")
            QVERIFY(!QFileInfo(fixture::serviceEntry()).exists());
        const QStringList alerts = ui->alerts();
        QCOMPARE(alerts.size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty())
            QVERIFY2(alerts.first().startsWith(alert), qPrintable(alerts.first()));
        QVERIFY(ui->callsOf("start").isEmpty()); // and no agent started
        QFile::remove(fixture::serviceFolder());
    }

    // With the package's entry for every user: what the user's autostart
    // folder holds ("" nothing, "hidden": "Delete printer", "gnome off": the
    // desktop's startup switch, "own": an entry of the user's that is on),
    // whether the system's entry is there; after saving a template, the
    // user's entry ("none", "same" or "carried": the one Quillary carries),
    // whether "cant copy File" was printed. The agent starts every time.
    void savingTurnsThePrintServiceOnAgain_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("system");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("cantCopy");
        QTest::newRow("system entry in force") << "" << true << "none" << true;
        QTest::newRow("turned off, system entry") << "hidden" << true << "none" << false;
        QTest::newRow("switched off, system entry") << "gnome off" << true << "none" << false;
        QTest::newRow("user's own entry, system entry") << "own" << true << "same" << true;
        QTest::newRow("turned off, no system entry") << "hidden" << false << "carried" << false;
        QTest::newRow("nothing installed") << "" << false << "carried" << false;
    }
    void savingTurnsThePrintServiceOnAgain()
    {
        QFETCH(QString, user);
        QFETCH(bool, system);
        QFETCH(QString, after);
        QFETCH(bool, cantCopy);
        const SystemEntry scope(system);
        const QByteArray before = user == "hidden"      ? "[Desktop Entry]\nExec=quillary --agent\nHidden=true\n"
                                  : user == "gnome off" ? "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n"
                                  : user == "own"       ? "[Desktop Entry]\nExec=quillary --agent\n"
                                                        : "";
        if (!before.isEmpty())
            QVERIFY(QDir().mkpath(fixture::serviceFolder()) && testpdfs::writeBytes(fixture::serviceEntry(), before));
        open();
        QVERIFY(save());
        const QByteArray entry = fixture::readAll(fixture::serviceEntry());
        if (after == "none")
            QVERIFY(!QFileInfo::exists(fixture::serviceEntry()));
        if (after == "same")
            QCOMPARE(entry, before);
        if (after == "carried")
            QCOMPARE(entry, fixture::readAll(fixture::kEntryResource));
        QCOMPARE(fixture::storeLines().contains("cant copy File " + fixture::kEntryResource), cantCopy);
        QCOMPARE(ui->kinds(), QStringList{"start"});
        QCOMPARE(ui->calls.first().arguments, (QStringList{QCoreApplication::applicationFilePath(), "--agent"}));
    }

    // Opening Quillary starts the agent when printing to Quillary is on for
    // this user and none runs: no new login is needed after installing.
    void startingQuillaryStartsTheAgent_data()
    {
        QTest::addColumn<bool>("system");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("started");
        QTest::newRow("installed for everyone") << true << "" << false << true;
        QTest::newRow("an agent runs") << true << "" << true << false;
        QTest::newRow("turned off by the user") << true << "hidden" << false << false;
        QTest::newRow("nothing installed") << false << "" << false << false;
        QTest::newRow("the user's own entry") << false << "own" << false << true;
    }
    void startingQuillaryStartsTheAgent()
    {
        QFETCH(bool, system);
        QFETCH(QString, user);
        QFETCH(bool, running);
        QFETCH(bool, started);
        const SystemEntry scope(system);
        if (!user.isEmpty())
            QVERIFY(QDir().mkpath(fixture::serviceFolder())
                    && testpdfs::writeBytes(fixture::serviceEntry(), user == "hidden" ? "[Desktop Entry]\nHidden=true\n"
                                                                                       : "[Desktop Entry]\n"));
        QLockFile agent(printAgentLockPath());
        if (running)
            QVERIFY(agent.tryLock(0));
        app->hideSplashscreen();
        QVERIFY(window());
        QCOMPARE(ui->kinds(), started ? QStringList{"start"} : QStringList{});
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
