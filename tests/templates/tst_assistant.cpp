// The configuration assistant: the pages of an edited template in its slots,
// and its checks, in their order, before it hands the edit on.

#include "pdf/PdfChecks.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/EditingViews.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateImageViewContainer.h"

#include <QLineEdit>

using namespace quillary;
using fixture::pdf;

namespace {

struct CheckRow {
    QString edited;       // template being edited; empty: a new template
    QString typed;        // what the user types
    bool emptyStartSlot;  // the user empties the start slot (or, new, never fills it)
    QString alert;        // the one alert, or empty when the edit is handed on
    QString handedName;   // the name handed on
};

const QString kEnterName = QStringLiteral("Enter name|Pls enter a name");
const QString kExists = QStringLiteral("Templatename exists|You have an template with the same name");
const QString kNoStart = QStringLiteral("Missing start page|You have to  include at least the home page");

std::unique_ptr<ConfigurationAssistantController> open(const QString& edited)
{
    SharedData::isNewTemplate = edited.isEmpty();
    SharedData::templateName = edited;
    auto assistant = std::make_unique<ConfigurationAssistantController>();
    assistant->resize(900, 600);
    assistant->show();
    return assistant;
}

} // namespace

Q_DECLARE_METATYPE(CheckRow)

class TestAssistant : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { fixture::setUpStore(); }
    void init()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha"), {}, pdf("alpha-terms")},
                                 {"Beta", pdf("beta"), pdf("beta-next")}});
    }

    void editedTemplateShowsItsStoredPages();
    void newTemplateStartsEmptyWithTheNameFieldFocused();
    void checksRunInOrderAndReportOnlyTheFirstFailure_data();
    void checksRunInOrderAndReportOnlyTheFirstFailure();
};

void TestAssistant::editedTemplateShowsItsStoredPages()
{
    auto assistant = open("Alpha");
    QCOMPARE(assistant->templateNameField->text(), QStringLiteral("Alpha"));
    QCOMPARE(assistant->editedName(), QStringLiteral("Alpha"));
    QVERIFY(!assistant->isNewTemplate());
    const QStringList sources{assistant->source(PageKind::Start), assistant->source(PageKind::Continuation),
                              assistant->source(PageKind::Terms)};
    QCOMPARE(sources, (QStringList{"existing", "", "existing"}));
    QCOMPARE(SharedData::startPagePath, QStringLiteral("existing"));
    QCOMPARE(SharedData::continualPagePath, QString());
    const QList<PreviewState> states{assistant->slotButton(1)->state(), assistant->slotButton(2)->state(),
                                     assistant->slotButton(3)->state()};
    QCOMPARE(states, (QList<PreviewState>{PreviewState::IMAGE_IN, PreviewState::EMPTY, PreviewState::IMAGE_IN}));
    // The slots show the stored files, not the files they were made from.
    QCOMPARE(assistant->startController->tbi->path(), fixture::storedPage("Alpha", PageKind::Start));
    QCOMPARE(assistant->agbController->tbi->path(), fixture::storedPage("Alpha", PageKind::Terms));
    QVERIFY(!assistant->continualController->showsPage());
    QCOMPARE(EditingViews::configureButtonRef.data(), assistant->configureButton);
}

void TestAssistant::newTemplateStartsEmptyWithTheNameFieldFocused()
{
    SharedData::startPagePath = "left over from an earlier run";
    auto assistant = open({});
    QVERIFY(QTest::qWaitForWindowExposed(assistant.get()));
    QVERIFY(assistant->isNewTemplate());
    QCOMPARE(assistant->templateNameField->text(), QString());
    QCOMPARE(SharedData::startPagePath, QString());
    for (int tag = 1; tag <= 3; ++tag)
        QCOMPARE(assistant->slotButton(tag)->state(), PreviewState::EMPTY);
    QTRY_VERIFY(assistant->templateNameField->hasFocus());
}

void TestAssistant::checksRunInOrderAndReportOnlyTheFirstFailure_data()
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

void TestAssistant::checksRunInOrderAndReportOnlyTheFirstFailure()
{
    const auto row = pdfchecks::fetch<CheckRow>();
    RecordingUi ui;
    auto assistant = open(row.edited);
    if (row.edited.isEmpty() && !row.emptyStartSlot)
        QVERIFY(fixture::drop(assistant->startController, pdf("gamma")));
    if (!row.edited.isEmpty() && row.emptyStartSlot)
        QTest::mouseClick(assistant->slotButton(1), Qt::LeftButton);
    assistant->templateNameField->setText(row.typed);

    QList<TemplateEdit> handed;
    connect(assistant.get(), &ConfigurationAssistantController::confirmed, this,
            [&](const TemplateEdit& edit) { handed << edit; });
    QTest::mouseClick(assistant->configureButton, Qt::LeftButton);

    QCOMPARE(ui.alerts(), row.alert.isEmpty() ? QStringList() : QStringList{row.alert});
    QCOMPARE(handed.size(), row.alert.isEmpty() ? 1 : 0);
    if (!handed.isEmpty()) {
        QCOMPARE(handed.first().typedName, row.handedName);
        QCOMPARE(handed.first().editedName, row.edited);
        QCOMPARE(handed.first().isNew, row.edited.isEmpty());
        QCOMPARE(handed.first().source(PageKind::Start),
                 row.edited.isEmpty() ? pdf("gamma") : QStringLiteral("existing"));
    }
    // Checking never writes: the store is as it was, the input stays.
    QCOMPARE(fixture::storedNames(), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(assistant->templateNameField->text(), row.typed);
    // Return in the name field runs the same checks.
    ui.clear();
    QTest::keyClick(assistant->templateNameField, Qt::Key_Return);
    QCOMPARE(ui.alerts().size(), row.alert.isEmpty() ? 0 : 1);
    QCOMPARE(handed.size(), row.alert.isEmpty() ? 2 : 0);
}

QTEST_MAIN(TestAssistant)
#include "tst_assistant.moc"
