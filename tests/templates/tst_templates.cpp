// The template windows. The list: rows, switches, selecting, adding,
// deleting, failed writes. The assistant: its slots (drops, the open panel,
// emptying, the thumbnail and its popover) and its checks before it hands an
// edit on. The main view: a fresh assistant per choice, tour tips, the
// counter image and the Edit menu clean-up.

#include "guides/Guides.h"
#include "pdf/PdfChecks.h"
#include "pdf/TaskManager.h"
#include "platform/FailureText.h"
#include "platform/NotificationHub.h"
#include "preview/PDFPOPupPreview.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/EditingViews.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateViewController.h"
#include "templates/TemplateWindow.h"

#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QToolButton>

using namespace quillary;
using fixture::pdf;

namespace {

// What the list asked its delegate for, as "name|new" lines.
class Delegate : public TemplateViewControllerDelegate {
public:
    QStringList calls;
    void templateViewControllerWithSelectedRowName(const QString& name, bool isNew) override
    {
        calls << name + (isNew ? "|new" : "|edit");
    }
};

// after: "isActive|isOverlay" of every template, ";"-joined.
struct SwitchRow { int row; bool layer; QString after; };
// told: delegate calls after the deletion.
struct DeleteRow { int templates, selected; bool confirmed; QStringList left, told; };
// alert: "title|text" of the one alert, or empty.
struct DropRow { QString file; bool taken; QString alert; };
// throughCatcher: the click came from a guide's click catcher.
struct PanelRow { bool throughCatcher; std::optional<QString> chosen; bool taken; QString alert; };
// frame: the thumbnail fitted into box.
struct PageRow { QSizeF page, box; QRectF frame; QSize popover; bool inTour; };
// edited empty: a new template; emptyStartSlot: emptied (or, new, never filled).
struct CheckRow { QString edited, typed; bool emptyStartSlot; QString alert, handedName; };

const QString kBackground = QStringLiteral("PDF with background|The content may not be displayed after printing "
                                           "because a white background has been detected");
const QString kUnknown = QStringLiteral("Unknown Format|Supported Formats");

// A file that makes the PDF library throw once it has to add an object.
QString hostile()
{
    const QString path = fixture::home().filePath(QStringLiteral("pdfs/hostile.pdf"));
    QDir().mkpath(fixture::home().filePath(QStringLiteral("pdfs")));
    if (!QFileInfo::exists(path))
        QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/hostile-max-object-id.pdf"), path);
    return path;
}
const QString kEnterName = QStringLiteral("Enter name|Pls enter a name");
const QString kExists = QStringLiteral("Templatename exists|You have an template with the same name");
const QString kNoStart = QStringLiteral("Missing start page|You have to  include at least the home page");

QStringList alertList(const QString& alert) { return alert.isEmpty() ? QStringList() : QStringList{alert}; }

QString switchesOfAll()
{
    QStringList all;
    for (const auto& record : sharedStore().templateRecords().value_or(QList<TemplateRecord>()))
        all << record.text(TemplateRecord::kIsActive) + "|" + record.text(TemplateRecord::kIsOverlay);
    return all.join(';');
}

QList<fixture::Setup> templates(int n)
{
    QList<fixture::Setup> setups;
    for (int i = 1; i <= n; ++i)
        setups.append({QStringLiteral("T%1").arg(i), pdf("a4")});
    return setups;
}

} // namespace

Q_DECLARE_METATYPE(SwitchRow)
Q_DECLARE_METATYPE(DeleteRow)
Q_DECLARE_METATYPE(DropRow)
Q_DECLARE_METATYPE(PanelRow)
Q_DECLARE_METATYPE(PageRow)
Q_DECLARE_METATYPE(CheckRow)

class TestTemplates : public QObject {
    Q_OBJECT

    Delegate delegate;
    std::unique_ptr<TemplateViewController> list;
    std::unique_ptr<ConfigurationAssistantController> assistant;
    std::unique_ptr<TemplateWindow> window;

    void show(const QList<fixture::Setup>& setups)
    {
        fixture::resetTemplates(setups);
        delegate.calls.clear();
        list = std::make_unique<TemplateViewController>();
        list->delegate = &delegate;
        list->resize(400, 700);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
    }
    void open(const QString& edited)
    {
        SharedData::isNewTemplate = edited.isEmpty();
        SharedData::templateName = edited;
        assistant = std::make_unique<ConfigurationAssistantController>();
        assistant->resize(900, 600);
        assistant->show();
        QVERIFY(QTest::qWaitForWindowExposed(assistant.get()));
    }
    MainViewController* openMain()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}, {"Gamma", {}}});
        window = std::make_unique<TemplateWindow>();
        window->show();
        return window->mainView();
    }
    QToolButton* button(const QString& name) const
    {
        for (QToolButton* candidate : list->findChildren<QToolButton*>())
            if (candidate->accessibleName() == name)
                return candidate;
        return nullptr;
    }
    QStringList rowNames() const
    {
        QStringList names;
        for (int i = 0; i < list->numberOfRows(); ++i)
            names << list->rowView(i)->nameField()->text();
        return names;
    }
    QList<int> highlighted() const
    {
        QList<int> rows;
        for (int i = 0; i < list->numberOfRows(); ++i)
            if (list->rowView(i)->backgroundColor().alpha() > 0)
                rows << i;
        return rows;
    }

private slots:
    void initTestCase()
    {
        fixture::setUpStore();
        registerTemplateScenes();
        registerGuideScenes();
    }
    void init()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha"), {}, pdf("alpha-terms")},
                                 {"Beta", pdf("beta"), pdf("beta-next")}});
    }
    void cleanup()
    {
        list.reset();
        assistant.reset();
        window.reset();
    }

    void switchChangesOnlyItsTemplate_data()
    {
        pdfchecks::table<SwitchRow>({
            {"disable the second", {1, false, "1|0;0|0;1|0"}},
            {"second behind the content", {1, true, "1|0;1|1;1|0"}},
            {"disable the last", {2, false, "1|0;1|0;0|0"}},
            {"first behind the content", {0, true, "1|1;1|0;1|0"}},
        });
    }
    void switchChangesOnlyItsTemplate()
    {
        const auto row = pdfchecks::fetch<SwitchRow>();
        show(templates(3));
        SharedData::templateName = "T1"; // the assistant edits the first template
        RecordingUi ui;
        TemplateRowView* view = list->rowView(row.row);
        QAbstractButton* control = row.layer ? static_cast<QAbstractButton*>(view->layerSwitch()) : view->activeSwitch();
        QTest::mouseClick(control, Qt::LeftButton);
        QCOMPARE(switchesOfAll(), row.after);
        // The switch shows what is stored; the selection and the edited template stay.
        QCOMPARE(view->activeSwitch()->isChecked(), fixture::stored(view->name()).isActive());
        QCOMPARE(view->layerSwitch()->isChecked(), fixture::stored(view->name()).isOverlay());
        QCOMPARE(SharedData::templateName, QStringLiteral("T1"));
        QCOMPARE(delegate.calls, QStringList{"T1|edit"});
        QVERIFY(ui.calls.isEmpty());
        QTest::mouseClick(control, Qt::LeftButton);
        QCOMPARE(switchesOfAll(), QStringLiteral("1|0;1|0;1|0"));
    }

    void staleSwitchIsIgnoredAndAVanishedTemplateIsReported()
    {
        show(templates(3));
        RecordingUi ui;
        // Switches still showing rows 2 and 1 after the list shrank to one row.
        ActiveSwitch stale;
        stale.rowTag = 2;
        stale.setChecked(false);
        LayerSwitch staleLayer;
        staleLayer.rowTag = 1;
        staleLayer.setChecked(true);
        fixture::resetTemplates({{"Only", pdf("a4")}});
        list->reloadData();
        list->activateTemplateWithActiveSwitch(&stale);
        list->switchLayerWithLayerBack(&staleLayer);
        QCOMPARE(switchesOfAll(), QStringLiteral("1|0"));
        QVERIFY(ui.calls.isEmpty());
        // A template another program removed meanwhile: said so, and the list catches up.
        QVERIFY(sharedStore().removeTemplate("Only").ok());
        QTest::mouseClick(list->rowView(0)->layerSwitch(), Qt::LeftButton);
        QCOMPARE(ui.alerts().size(), 1);
        QVERIFY2(ui.alerts().first().startsWith("Template not changed|The template \"Only\""), qPrintable(ui.alerts().first()));
        QCOMPARE(list->numberOfRows(), 0);
    }

    void deleteAsksThenOpensWhatIsLeft_data()
    {
        pdfchecks::table<DeleteRow>({
            {"the last template", {1, 0, true, {}, {"|new"}}},
            {"the middle of five", {5, 2, true, {"T1", "T2", "T4", "T5"}, {"T1|edit"}}},
            {"the first of two", {2, 0, true, {"T2"}, {"T2|edit"}}},
            {"cancelled", {3, 1, false, {"T1", "T2", "T3"}, {}}},
        });
    }
    void deleteAsksThenOpensWhatIsLeft()
    {
        const auto row = pdfchecks::fetch<DeleteRow>();
        show(templates(row.templates));
        const QString page = fixture::storedPage("T1", PageKind::Start);
        list->selectRow(row.selected);
        delegate.calls.clear();
        RecordingUi ui;
        ui.confirmReplies.push_back(row.confirmed);
        QTest::mouseClick(button("Delete template"), Qt::LeftButton);
        QCOMPARE(ui.kinds(), QStringList{"confirm"});
        QCOMPARE(ui.calls.first().title, QStringLiteral("Delete template?"));
        QCOMPARE(ui.calls.first().text, QStringLiteral("Do you want to delete the selected template?"));
        QCOMPARE(ui.calls.first().arguments, (QStringList{"Delete", "Cancel"}));
        QCOMPARE(fixture::storedNames(), row.left);
        QCOMPARE(rowNames(), row.left);
        QCOMPARE(delegate.calls, row.told);
        QCOMPARE(list->lastSelectedRow, row.confirmed ? 0 : row.selected);
        QVERIFY(QFileInfo::exists(page)); // the pages of a deleted template stay in the store
        // With nothing left, delete asks nothing.
        list->deletePatternWithSender(nullptr);
        QCOMPARE(ui.kinds().size(), row.left.isEmpty() ? 1 : 2);
        QCOMPARE(button("Delete template")->isEnabled(), !row.left.isEmpty());
    }

    void rowsShowTheStoreAndClicksKeysAndAddSelect()
    {
        show({{"Letterhead", pdf("a4")}, {"Invoice", pdf("letter", {612, 792})}, {"Plain", {}}, {"T4", pdf("a4")}});
        QCOMPARE(rowNames(), (QStringList{"Letterhead", "Invoice", "Plain", "T4"}));
        QCOMPARE(highlighted(), QList<int>{0});
        // Stored as "Created 05.12.26", shown in the locale's date format (C here).
        QCOMPARE(list->rowView(1)->dateField()->text(), QStringLiteral("Created on 5 Dec 2026"));
        QCOMPARE(list->rowView(1)->activeSwitch()->accessibleName(), QStringLiteral("Enable Invoice"));
        QCOMPARE(list->rowView(0)->thumbnailPath(), fixture::storedPage("Letterhead", PageKind::Start));
        const QList<std::pair<QString, QString>> labels{{"0", "DIN A4"},     {"1", "US Letter"}, {"2", "Undefined"},
                                                        {"99", "Undefined"}, {"", "DIN A4"},     {"abc", "DIN A4"}};
        for (const auto& [code, label] : labels)
            QCOMPARE(formatLabelFor(code), label);
        QCOMPARE(list->rowView(1)->formatField()->text(), QStringLiteral("US Letter"));

        RecordingUi ui;
        QTest::mouseClick(list->rowView(2)->dateField(), Qt::LeftButton);
        QTest::mouseClick(list->rowView(2), Qt::LeftButton); // the open row again: nothing new
        QTest::keyClick(list.get(), Qt::Key_Down);
        QTest::keyClick(list.get(), Qt::Key_Down); // past the end: stays
        QTest::keyClick(list.get(), Qt::Key_Home);
        QCOMPARE(highlighted(), QList<int>{0});
        // Adding stores nothing and selects no row, so there is nothing to
        // delete; the row that was open opens again with a click.
        QTest::mouseClick(button("Add template"), Qt::LeftButton);
        QCOMPARE(fixture::storedNames(), (QStringList{"Letterhead", "Invoice", "Plain", "T4"}));
        QCOMPARE(highlighted(), QList<int>());
        QVERIFY(!button("Delete template")->isEnabled());
        list->deletePatternWithSender(nullptr);
        QTest::mouseClick(list->rowView(0), Qt::LeftButton);
        QCOMPARE(delegate.calls, (QStringList{"Letterhead|edit", "Plain|edit", "T4|edit", "Letterhead|edit", "|new", "Letterhead|edit"}));
        QVERIFY(ui.calls.isEmpty());
    }

    void failedWritesAreReported()
    {
        show(templates(2));
        RecordingUi ui;
        {
            fixture::FullDisk full;
            QTest::mouseClick(list->rowView(1)->activeSwitch(), Qt::LeftButton);
            ui.confirmReplies.push_back(true);
            list->deletePatternWithSender(nullptr);
        }
        // Said in words, not in the store's own line (its lock file could
        // not be written: no file the user knows).
        const QString why = FailureText::sentence(ErrorCode::WriteFailed);
        QCOMPARE(ui.alerts(), (QStringList{"Template not changed|The template \"T2\" could not be changed: " + why,
                                           "Template not deleted|The template \"T1\" could not be deleted: " + why}));
        QCOMPARE(rowNames(), fixture::storedNames());
    }

    void changesOfOtherProgramsShowWhenTheWindowIsActivated()
    {
        show(templates(3));
        StoreConfig config; // another process with the same store
        config.directory = sharedStore().storeDirectory();
        CustomFileManager other(config);
        const auto activate = [this] {
            QEvent activation(QEvent::ActivationChange);
            QApplication::setActiveWindow(list.get());
            QApplication::sendEvent(list.get(), &activation);
        };
        list->selectRow(2);
        QVERIFY(other.deleteTemplate("T2").ok());
        QCOMPARE(rowNames(), (QStringList{"T1", "T2", "T3"}));
        activate();
        QTRY_COMPARE(rowNames(), (QStringList{"T1", "T3"}));
        QCOMPARE(highlighted(), QList<int>{1}); // T3 stays selected in its new row
    }

    void assistantOpensTheEditedTemplateOrAnEmptyOne()
    {
        SharedData::startPagePath = "left over from an earlier run";
        open({});
        QCOMPARE(assistant->templateNameField->text(), QString());
        QCOMPARE(SharedData::startPagePath, QString());
        for (int tag = 1; tag <= 3; ++tag)
            QCOMPARE(assistant->slotButton(tag)->state(), PreviewState::EMPTY);
        QTRY_VERIFY(assistant->templateNameField->hasFocus());

        open("Alpha");
        QCOMPARE(assistant->templateNameField->text(), QStringLiteral("Alpha"));
        QVERIFY(!assistant->isNewTemplate());
        const QStringList sources{assistant->source(PageKind::Start), assistant->source(PageKind::Continuation),
                                  assistant->source(PageKind::Terms)};
        QCOMPARE(sources, (QStringList{"existing", "", "existing"}));
        QCOMPARE(SharedData::startPagePath, QStringLiteral("existing"));
        QVERIFY(assistant->startController->showsPage() && !assistant->continualController->showsPage());
        // The slots show the stored files, not the files they were made from.
        QCOMPARE(assistant->startController->tbi->path(), fixture::storedPage("Alpha", PageKind::Start));
        QCOMPARE(assistant->agbController->tbi->path(), fixture::storedPage("Alpha", PageKind::Terms));
        QCOMPARE(EditingViews::configureButtonRef.data(), assistant->configureButton);
    }

    void dropTakesOnlyPdfFilesOfTheTwoFormats_data()
    {
        pdfchecks::table<DropRow>({
            {"A4 portrait", {pdf("a4"), true, {}}},
            {"A4 landscape", {pdf("a4-landscape", {842, 595}), true, {}}},
            {"US Letter", {pdf("letter", {612, 792}), true, {}}},
            {"853 points high", {pdf("a4-853", {595, 853}), true, {}}},
            {"white background warns, is taken", {pdf("white", testpdfs::A4Whole, true), true, kBackground}},
            {"854 points high", {pdf("a4-854", {595, 854}), false, {}}},
            {"600 x 842", {pdf("wide", {600, 842}), false, {}}},
            {"upper-case extension", {pdf("upper", testpdfs::A4Whole, false, "PDF"), false, {}}},
            {"other extension", {pdf("text", testpdfs::A4Whole, false, "txt"), false, {}}},
            {"no such file", {fixture::home().filePath("pdfs/missing.pdf"), false, {}}},
        });
    }
    void dropTakesOnlyPdfFilesOfTheTwoFormats()
    {
        const auto row = pdfchecks::fetch<DropRow>();
        open({});
        RecordingUi ui;
        // The continuation slot already holds a page: a refused drop must keep it.
        TemplateImageViewContainer* slot = assistant->continualController;
        QVERIFY(fixture::drop(slot, pdf("before")));
        ui.clear();
        int triggers = 0;
        {
            QObject scope;
            connect(&NotificationHub::instance(), &NotificationHub::posted, &scope,
                    [&](const QString& name) { triggers += name == "tourTrigger"; });
            QCOMPARE(fixture::drop(slot, row.file), row.taken);
        }
        QCOMPARE(ui.alerts(), alertList(row.alert));
        const QString expected = row.taken ? row.file : pdf("before");
        QCOMPARE(assistant->source(PageKind::Continuation), expected);
        QCOMPARE(SharedData::continualPagePath, expected);
        QCOMPARE(slot->tbi->path(), expected);
        QCOMPARE(triggers, row.taken ? 1 : 0);
        // A drop that arrives without an accepted drag is judged the same way.
        QCOMPARE(fixture::drop(assistant->agbController, row.file, true), row.taken);
        QCOMPARE(assistant->source(PageKind::Terms), row.taken ? row.file : QString());
    }

    void openPanelChecksAndASecondClickEmpties_data()
    {
        pdfchecks::table<PanelRow>({
            {"A4", {false, pdf("a4"), true, {}}},
            {"US Letter landscape", {false, pdf("letter-landscape", {792, 612}), true, {}}},
            {"unsupported size", {false, pdf("small", {600, 800}), false, kUnknown}},
            {"upper-case extension", {false, pdf("upper", testpdfs::A4Whole, false, "PDF"), false, kUnknown}},
            {"white background warns, is taken", {false, pdf("white", testpdfs::A4Whole, true), true, kBackground}},
            // Page 1 is no page the library can use: it would throw once asked to make one.
            {"a file with object numbers at the limit", {false, hostile(), false, kUnknown}},
            {"cancelled", {false, std::nullopt, false, {}}},
            {"catcher: size not checked", {true, pdf("small", {600, 800}), true, {}}},
            {"catcher: no background warning", {true, pdf("white", testpdfs::A4Whole, true), true, {}}},
            {"catcher: cancelled", {true, std::nullopt, false, {}}},
        });
    }
    void openPanelChecksAndASecondClickEmpties()
    {
        const auto row = pdfchecks::fetch<PanelRow>();
        open({});
        RecordingUi ui;
        ui.openReplies.push_back(row.chosen);
        CircleView* circle = assistant->slotButton(1);
        const auto click = [&] {
            if (row.throughCatcher)
                NotificationHub::post("circleView1", {{"tag", 1}, {"window", QVariant::fromValue<QObject*>(assistant.get())}});
            else
                QTest::mouseClick(circle, Qt::LeftButton);
        };
        click();
        QCOMPARE(ui.kinds().first(), QStringLiteral("open panel"));
        QCOMPARE(ui.calls.first().arguments, QStringList{"pdf"});
        QCOMPARE(ui.alerts(), alertList(row.alert));
        QCOMPARE(assistant->source(PageKind::Start), row.taken ? *row.chosen : QString());
        QCOMPARE(circle->imageName(), row.taken ? QStringLiteral("button") : QStringLiteral("button_plus"));
        QCOMPARE(assistant->startController->showsPage(), row.taken);
        QCOMPARE(assistant->source(PageKind::Continuation), QString()); // only the slot of the tag
        if (!row.taken)
            return;
        // A filled slot is emptied by the next click, asking nothing.
        ui.clear();
        click();
        QVERIFY(ui.calls.isEmpty());
        QCOMPARE(assistant->source(PageKind::Start), QString());
        QCOMPARE(circle->imageName(), QStringLiteral("button_plus"));
        QVERIFY(!assistant->startController->showsPage());
    }

    void thumbnailFitAndPopover_data()
    {
        pdfchecks::table<PageRow>({
            {"A4 landscape", {{842, 595}, {200, 283}, {8, 78.83, 184, 125.33}, {320, 226}, false}},
            {"A4 portrait", {{595, 842}, {200, 283}, {8.01, 8, 183.98, 267}, {226, 320}, false}},
            {"US Letter in a wide box", {{612, 792}, {400, 283}, {98.66, 8, 202.68, 267}, {247, 320}, false}},
            {"during the tour: no popover", {{595, 842}, {200, 283}, {8.01, 8, 183.98, 267}, {226, 320}, true}},
        });
    }
    void thumbnailFitAndPopover()
    {
        const auto row = pdfchecks::fetch<PageRow>();
        const auto hundredths = [](const QRectF& r) {
            return QList<int>{qRound(r.x() * 100), qRound(r.y() * 100), qRound(r.width() * 100), qRound(r.height() * 100)};
        };
        QCOMPARE(hundredths(thumbnailFrame(row.page, row.box)), hundredths(row.frame));
        const QString file = pdf(QStringLiteral("page-%1x%2").arg(row.page.width()).arg(row.page.height()), row.page);
        QCOMPARE(popoverSize(TaskManager::pageSize(file)), row.popover);
        // In the slot: placed by the same rule for the slot's size.
        open({});
        TemplateImageViewContainer* slot = assistant->startController;
        QVERIFY(fixture::drop(slot, file));
        TemplateImageView* thumbnail = slot->tbi;
        QCOMPARE(thumbnail->geometry(), thumbnailFrame(row.page, QSizeF(slot->size())).toRect());
        if (row.inTour)
            NotificationHub::post("toggleIsInTourTip");
        QCOMPARE(thumbnail->isInTourTip, row.inTour);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), thumbnail->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(thumbnail, &enter);
        QCOMPARE(thumbnail->ns->isVisible(), !row.inTour);
        QCOMPARE(slot->button()->imageName(), row.inTour ? QStringLiteral("button") : QStringLiteral("X_button"));
        if (!row.inTour)
            QCOMPARE(thumbnail->ns->shownImage().deviceIndependentSize().toSize(), row.popover);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(thumbnail, &leave);
        QVERIFY(!thumbnail->ns->isVisible());
        QCOMPARE(slot->button()->imageName(), QStringLiteral("button"));
        if (row.inTour)
            NotificationHub::post("toggleIsInTourTip");
    }

    void checksRunInOrderAndReportOnlyTheFirstFailure_data()
    {
        pdfchecks::table<CheckRow>({
            {"blank name, nothing else either", {"", "   ", true, kEnterName, {}}},
            {"taken name, no start page", {"", "Alpha", true, kExists, {}}},
            {"taken name with blanks around it", {"", "  Beta ", false, kExists, {}}},
            {"names differ in case", {"", "alpha", false, {}, "alpha"}},
            {"no start page", {"", "Gamma", true, kNoStart, {}}},
            {"new template passes, name trimmed", {"", " Gamma  ", false, {}, "Gamma"}},
            {"edit keeps its own name", {"Alpha", "Alpha", false, {}, "Alpha"}},
            {"edit renamed", {"Alpha", "Delta", false, {}, "Delta"}},
            {"edit renamed onto another template", {"Alpha", "Beta", false, kExists, {}}},
            {"edit with the start slot emptied", {"Alpha", "Alpha", true, kNoStart, {}}},
            {"edit with a blank name", {"Alpha", " ", false, kEnterName, {}}},
        });
    }
    void checksRunInOrderAndReportOnlyTheFirstFailure()
    {
        const auto row = pdfchecks::fetch<CheckRow>();
        RecordingUi ui;
        open(row.edited);
        if (row.edited.isEmpty() && !row.emptyStartSlot)
            QVERIFY(fixture::drop(assistant->startController, pdf("gamma")));
        if (!row.edited.isEmpty() && row.emptyStartSlot)
            QTest::mouseClick(assistant->slotButton(1), Qt::LeftButton);
        assistant->templateNameField->setText(row.typed);
        QList<TemplateEdit> handed;
        connect(assistant.get(), &ConfigurationAssistantController::confirmed, this,
                [&](const TemplateEdit& edit) { handed << edit; });
        QTest::mouseClick(assistant->configureButton, Qt::LeftButton);
        QCOMPARE(ui.alerts(), alertList(row.alert));
        QCOMPARE(handed.size(), row.alert.isEmpty() ? 1 : 0);
        if (!handed.isEmpty()) {
            QCOMPARE(handed.first().typedName, row.handedName);
            QCOMPARE(handed.first().editedName, row.edited);
            QCOMPARE(handed.first().isNew, row.edited.isEmpty());
            QCOMPARE(handed.first().source(PageKind::Start), row.edited.isEmpty() ? pdf("gamma") : "existing");
        }
        // Checking never writes: the store is as it was, the input stays.
        QCOMPARE(fixture::storedNames(), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(assistant->templateNameField->text(), row.typed);
        // Return in the name field runs the same checks.
        ui.clear();
        QTest::keyClick(assistant->templateNameField, Qt::Key_Return);
        QCOMPARE(ui.alerts(), alertList(row.alert));
        QCOMPARE(handed.size(), row.alert.isEmpty() ? 2 : 0);
    }

    void everyChoiceOpensAFreshAssistantThatKeepsItsTemplate()
    {
        RecordingUi ui;
        ui.saveChoiceReplies = {SaveChoice::Discard}; // the unconfirmed edit below
        MainViewController* main = openMain();
        QCOMPARE(main->childViewControllers().size(), 2);
        QCOMPARE(main->childViewControllers().first(), main->templateList());
        QPointer<ConfigurationAssistantController> first = main->assistant();
        QCOMPARE(first->editedName(), QStringLiteral("Alpha"));
        first->templateNameField->setText("Alpha renamed, not confirmed");
        QVERIFY(fixture::drop(first->continualController, pdf("next")));
        main->templateList()->selectRow(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first); // the unconfirmed edit is gone
        ConfigurationAssistantController* second = main->assistant();
        QCOMPARE(second->templateNameField->text(), QStringLiteral("Beta"));
        QCOMPARE(second->source(PageKind::Continuation), QString());
        QCOMPARE(main->templateConfigView->findChildren<ConfigurationAssistantController*>().size(), 1);
        // Switches clicked in the list meanwhile do not redirect the edit.
        QVERIFY(fixture::drop(second->startController, pdf("new-start", {612, 792})));
        QTest::mouseClick(main->templateList()->rowView(0)->activeSwitch(), Qt::LeftButton);
        QTest::mouseClick(main->templateList()->rowView(2)->layerSwitch(), Qt::LeftButton);
        QList<TemplateEdit> confirmed;
        connect(main, &MainViewController::templateConfirmed, this, [&](const TemplateEdit& e) { confirmed << e; });
        QVERIFY(second->check());
        QCOMPARE(confirmed.size(), 1);
        QCOMPARE(confirmed.first().editedName, QStringLiteral("Beta"));
        QCOMPARE(confirmed.first().source(PageKind::Start), pdf("new-start"));
        QVERIFY(!fixture::stored("Alpha").isActive());
        QVERIFY(fixture::stored("Gamma").isOverlay());
    }

    void tourTipsCloseByTheirNumber()
    {
        MainViewController* main = openMain();
        int toggles = 0;
        QObject scope, wrong, untagged, third;
        connect(&NotificationHub::instance(), &NotificationHub::posted, &scope,
                [&](const QString& name) { toggles += name == "toggleIsInTourTip"; });
        wrong.setProperty("tag", 2);
        third.setProperty("tag", 3);
        main->createTourTip();
        // Thumbnails keep no popover while a tip is up; an assistant opened meanwhile starts in step.
        QVERIFY(main->assistant()->startController->tbi->isInTourTip);
        main->templateList()->selectRow(1);
        QVERIFY(main->assistant()->startController->tbi->isInTourTip);
        main->dissmisSheetWithSender(&wrong); // another tip's number, or none: no tip closes
        main->dissmisSheetWithSender(&untagged);
        QVERIFY(main->tourTipShown(1));
        main->navigateToSecondToolTip();
        main->navigateToThirdToolTip();
        QVERIFY(!main->tourTipShown(1) && main->tourTipShown(3));
        main->dissmisSheetWithSender(&third);
        QVERIFY(!main->tourTipShown(3));
        QCOMPARE(toggles, 4); // one per show and per dismissal, each flipping every thumbnail
        QVERIFY(!main->assistant()->startController->tbi->isInTourTip);
    }

    void counterImageOpensThePaletteOnEvery21stClick()
    {
        MainViewController* main = openMain();
        QList<int> openedAt;
        int click = 0;
        connect(main, &MainViewController::characterPaletteRequested, this, [&] { openedAt << click; });
        QLabel* image = main->templateList()->findChild<QLabel*>("counterImage");
        QVERIFY(image);
        for (click = 1; click <= 42; ++click)
            QTest::mouseClick(image, Qt::LeftButton);
        QCOMPARE(openedAt, (QList<int>{21, 42}));
    }

    void editMenuLosesWhatThePlatformAppended()
    {
        const QString palette = "orderFrontCharacterPalette:", dictation = "startDictation:";
        const QList<std::pair<QStringList, QStringList>> menus{
            {{"copy", "paste", palette}, {"copy", "paste"}},
            {{"copy", dictation, palette}, {"copy"}},
            {{"copy", palette, dictation}, {"copy", palette}},
        };
        for (const auto& [items, left] : menus) {
            QMenuBar bar;
            bar.addMenu("Other")->addAction("palette")->setObjectName(palette);
            QMenu* edit = bar.addMenu("Edit");
            edit->setObjectName("Edit");
            for (const QString& item : items)
                edit->addAction(item)->setObjectName(item);
            MainViewController::cleanUpEditMenu(&bar);
            QStringList kept;
            for (QAction* action : edit->actions())
                kept << action->objectName();
            QCOMPARE(kept, left);
            QCOMPARE(bar.actions().first()->menu()->actions().size(), 1); // only the Edit menu
        }
    }
};

QTEST_MAIN(TestTemplates)
#include "tst_templates.moc"
