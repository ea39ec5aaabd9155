// The template list: what the rows show, the switches, adding and deleting,
// and what the user is told when the store cannot write.

#include "pdf/PdfChecks.h"
#include "platform/FailureText.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/TemplateViewController.h"

#include <QLabel>
#include <QScrollArea>
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

struct SwitchRow {
    int row;
    bool layer;      // the layer switch, else the enable switch
    QString after;   // "isActive|isOverlay" of every template afterwards, ";"-joined
};

struct DeleteRow {
    int templates;
    int selected;
    bool confirmed;
    QStringList left;
    QStringList told; // delegate calls after the deletion
};

struct FormatRow { QString docFormat, shown; };

QString switchesOfAll()
{
    QStringList all;
    for (const auto& record : sharedStore().templateRecords().value_or(QList<TemplateRecord>()))
        all << record.text(TemplateRecord::kIsActive) + "|" + record.text(TemplateRecord::kIsOverlay);
    return all.join(';');
}

QStringList rowNames(const TemplateViewController& list)
{
    QStringList names;
    for (int i = 0; i < list.numberOfRows(); ++i)
        names << list.rowView(i)->nameField()->text();
    return names;
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
Q_DECLARE_METATYPE(FormatRow)

class TestTemplateList : public QObject {
    Q_OBJECT

    Delegate delegate;
    std::unique_ptr<TemplateViewController> list;

    QToolButton* button(const QString& name) const
    {
        for (QToolButton* candidate : list->findChildren<QToolButton*>())
            if (candidate->accessibleName() == name)
                return candidate;
        return nullptr;
    }

    void show()
    {
        delegate.calls.clear();
        list = std::make_unique<TemplateViewController>();
        list->delegate = &delegate;
        list->resize(400, 700);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
    }

private slots:
    void initTestCase() { fixture::setUpStore(); }
    void cleanup() { list.reset(); }

    void rowsShowTheStoreAndTheFirstIsOpened();
    void paperFormatLabels_data();
    void paperFormatLabels();
    void switchChangesOnlyItsTemplate_data();
    void switchChangesOnlyItsTemplate();
    void staleSwitchIsIgnored();
    void deleteAsksThenOpensWhatIsLeft_data();
    void deleteAsksThenOpensWhatIsLeft();
    void addAsksForNewTemplateAndStoresNothing();
    void failedWritesAreReported();
    void changesOfOtherProgramsShowWhenTheWindowIsActivated();
    void clicksAndKeysSelectRows();
};

void TestTemplateList::rowsShowTheStoreAndTheFirstIsOpened()
{
    fixture::resetTemplates({{"Letterhead", pdf("a4")}, {"Invoice", pdf("letter", {612, 792})}, {"Plain", {}}});
    show();
    QCOMPARE(rowNames(*list), (QStringList{"Letterhead", "Invoice", "Plain"}));
    QCOMPARE(delegate.calls, QStringList{"Letterhead|edit"});
    QCOMPARE(list->rowView(0)->height(), TemplateViewController::RowHeight);
    QCOMPARE(list->rowView(1)->dateField()->text(), QStringLiteral("Created 05.12.26"));
    QCOMPARE(list->rowView(1)->formatField()->text(), QStringLiteral("US Letter"));
    QVERIFY(list->rowView(0)->activeSwitch()->isChecked());
    QVERIFY(!list->rowView(0)->layerSwitch()->isChecked());
    // Only the selected row is highlighted.
    QVERIFY(list->rowView(0)->backgroundColor().alpha() > 0);
    QCOMPARE(list->rowView(1)->backgroundColor().alpha(), 0);
    // Every control can be found by name.
    QCOMPARE(list->rowView(1)->activeSwitch()->accessibleName(), QStringLiteral("Enable Invoice"));
    QVERIFY(!list->rowView(1)->layerSwitch()->accessibleName().isEmpty());
    // Start pages are drawn from the stored files, once rendered.
    QCOMPARE(list->rowView(0)->thumbnailPath(), fixture::storedPage("Letterhead", PageKind::Start));
    QCOMPARE(list->rowView(2)->thumbnailPath(), QString());
}

void TestTemplateList::paperFormatLabels_data()
{
    pdfchecks::table<FormatRow>({
        {"0", {"0", "DIN A4"}},
        {"1", {"1", "US Letter"}},
        {"2", {"2", "Undefined"}},
        {"99", {"99", "Undefined"}},
        {"empty", {"", "DIN A4"}},
        {"not a number", {"abc", "DIN A4"}},
    });
}

void TestTemplateList::paperFormatLabels()
{
    const auto row = pdfchecks::fetch<FormatRow>();
    QCOMPARE(formatLabelFor(row.docFormat), row.shown);
}

void TestTemplateList::switchChangesOnlyItsTemplate_data()
{
    pdfchecks::table<SwitchRow>({
        {"disable the second", {1, false, "1|0;0|0;1|0"}},
        {"second behind the content", {1, true, "1|0;1|1;1|0"}},
        {"disable the last", {2, false, "1|0;1|0;0|0"}},
        {"first behind the content", {0, true, "1|1;1|0;1|0"}},
    });
}

void TestTemplateList::switchChangesOnlyItsTemplate()
{
    const auto row = pdfchecks::fetch<SwitchRow>();
    fixture::resetTemplates(templates(3));
    show();
    SharedData::templateName = "T1"; // the assistant edits the first template
    RecordingUi ui;
    TemplateRowView* view = list->rowView(row.row);
    QAbstractButton* control = row.layer ? static_cast<QAbstractButton*>(view->layerSwitch()) : view->activeSwitch();
    QTest::mouseClick(control, Qt::LeftButton);

    QCOMPARE(switchesOfAll(), row.after);
    QCOMPARE(fixture::storedNames(), (QStringList{"T1", "T2", "T3"}));
    // The switch shows what is stored; the selection and the edited template stay.
    QCOMPARE(list->rowView(row.row)->activeSwitch()->isChecked(), fixture::stored(view->name()).isActive());
    QCOMPARE(list->rowView(row.row)->layerSwitch()->isChecked(), fixture::stored(view->name()).isOverlay());
    QCOMPARE(list->lastSelectedRow, 0);
    QCOMPARE(SharedData::templateName, QStringLiteral("T1"));
    QCOMPARE(delegate.calls, QStringList{"T1|edit"});
    QVERIFY(ui.calls.isEmpty());
    // Switched back: as before.
    QTest::mouseClick(control, Qt::LeftButton);
    QCOMPARE(switchesOfAll(), QStringLiteral("1|0;1|0;1|0"));
}

void TestTemplateList::staleSwitchIsIgnored()
{
    fixture::resetTemplates(templates(3));
    show();
    RecordingUi ui;
    // A switch still showing row 2 after the list shrank to one row.
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
    LayerSwitch untagged;
    list->switchLayerWithLayerBack(&untagged);

    QCOMPARE(switchesOfAll(), QStringLiteral("1|0"));
    QVERIFY(ui.calls.isEmpty());
    QCOMPARE(rowNames(*list), QStringList{"Only"});

    // A template another program removed meanwhile: said so, and the list catches up.
    QVERIFY(sharedStore().removeTemplate("Only").ok());
    QTest::mouseClick(list->rowView(0)->layerSwitch(), Qt::LeftButton);
    QCOMPARE(ui.alerts().size(), 1);
    QVERIFY2(ui.alerts().first().startsWith("Template not changed|The template \"Only\""), qPrintable(ui.alerts().first()));
    QCOMPARE(list->numberOfRows(), 0);
    QCOMPARE(fixture::storedNames(), QStringList());
}

void TestTemplateList::deleteAsksThenOpensWhatIsLeft_data()
{
    pdfchecks::table<DeleteRow>({
        {"the last template", {1, 0, true, {}, {"|new"}}},
        {"the middle of five", {5, 2, true, {"T1", "T2", "T4", "T5"}, {"T1|edit"}}},
        {"the first of two", {2, 0, true, {"T2"}, {"T2|edit"}}},
        {"cancelled", {3, 1, false, {"T1", "T2", "T3"}, {}}},
    });
}

void TestTemplateList::deleteAsksThenOpensWhatIsLeft()
{
    const auto row = pdfchecks::fetch<DeleteRow>();
    fixture::resetTemplates(templates(row.templates));
    const QString page = fixture::storedPage("T1", PageKind::Start);
    show();
    list->selectRow(row.selected);
    QCOMPARE(list->lastSelectedRow, row.selected);
    delegate.calls.clear();

    RecordingUi ui;
    ui.confirmReplies.push_back(row.confirmed);
    QTest::mouseClick(button("Delete template"), Qt::LeftButton);

    QCOMPARE(ui.kinds(), QStringList{"confirm"});
    QCOMPARE(ui.calls.first().title, QStringLiteral("Delete template?"));
    QCOMPARE(ui.calls.first().text, QStringLiteral("Do you want to delete the selected template?"));
    QCOMPARE(ui.calls.first().arguments, (QStringList{"Delete", "Cancel"}));
    QCOMPARE(fixture::storedNames(), row.left);
    QCOMPARE(rowNames(*list), row.left);
    QCOMPARE(delegate.calls, row.told);
    QCOMPARE(list->lastSelectedRow, row.confirmed ? 0 : row.selected);
    // The pages of a deleted template stay in the store.
    QVERIFY(QFileInfo::exists(page));

    // With nothing left, delete asks nothing.
    if (row.left.isEmpty()) {
        QVERIFY(!button("Delete template")->isEnabled());
        list->deletePatternWithSender(nullptr);
        QCOMPARE(ui.kinds(), QStringList{"confirm"});
    }
}

void TestTemplateList::addAsksForNewTemplateAndStoresNothing()
{
    fixture::resetTemplates(templates(2));
    show();
    RecordingUi ui;
    delegate.calls.clear();
    QTest::mouseClick(button("Add template"), Qt::LeftButton);
    QCOMPARE(fixture::storedNames(), (QStringList{"T1", "T2"}));
    // Meanwhile no row is selected, so there is nothing to delete,
    // and the row that was open opens again with a click.
    QCOMPARE(list->rowView(0)->backgroundColor().alpha(), 0);
    QVERIFY(!button("Delete template")->isEnabled());
    list->deletePatternWithSender(nullptr);
    QTest::mouseClick(list->rowView(0), Qt::LeftButton);
    QCOMPARE(delegate.calls, (QStringList{"|new", "T1|edit"}));
    QVERIFY(button("Delete template")->isEnabled());
    QVERIFY(ui.calls.isEmpty());
}

void TestTemplateList::failedWritesAreReported()
{
    fixture::resetTemplates(templates(2));
    show();
    RecordingUi ui;
    {
        fixture::FullDisk full;
        QTest::mouseClick(list->rowView(1)->activeSwitch(), Qt::LeftButton);
        ui.confirmReplies.push_back(true);
        list->deletePatternWithSender(nullptr);
    }
    const QStringList alerts = ui.alerts();
    QCOMPARE(alerts.size(), 2);
    // Said in words, not in the store's own line (the store's lock file
    // could not be written: no file the user knows).
    QCOMPARE(alerts[0], "Template not changed|The template \"T2\" could not be changed: "
                            + FailureText::sentence(ErrorCode::WriteFailed));
    QCOMPARE(alerts[1], "Template not deleted|The template \"T1\" could not be deleted: "
                            + FailureText::sentence(ErrorCode::WriteFailed));
    // The list shows what the store holds.
    QCOMPARE(rowNames(*list), fixture::storedNames());
    for (int i = 0; i < list->numberOfRows(); ++i)
        QCOMPARE(list->rowView(i)->activeSwitch()->isChecked(), fixture::stored(list->rowView(i)->name()).isActive());
}

void TestTemplateList::changesOfOtherProgramsShowWhenTheWindowIsActivated()
{
    fixture::resetTemplates(templates(3));
    show();
    // Another process with the same store.
    StoreConfig config;
    config.directory = sharedStore().storeDirectory();
    CustomFileManager other(config);
    const auto activate = [this] {
        QEvent activation(QEvent::ActivationChange);
        QApplication::setActiveWindow(list.get());
        QApplication::sendEvent(list.get(), &activation);
    };
    list->selectRow(2);
    QVERIFY(other.deleteTemplate("T2").ok());
    QCOMPARE(rowNames(*list), (QStringList{"T1", "T2", "T3"}));
    activate();
    QTRY_COMPARE(rowNames(*list), (QStringList{"T1", "T3"}));
    // T3 stays selected in its new row.
    QCOMPARE(list->lastSelectedRow, 1);
    QVERIFY(list->rowView(1)->backgroundColor().alpha() > 0);
    QCOMPARE(list->rowView(0)->backgroundColor().alpha(), 0);
    // Gone altogether: nothing is selected.
    QVERIFY(other.deleteTemplate("T3").ok());
    activate();
    QTRY_COMPARE(rowNames(*list), QStringList{"T1"});
    QCOMPARE(list->rowView(0)->backgroundColor().alpha(), 0);
}

void TestTemplateList::clicksAndKeysSelectRows()
{
    fixture::resetTemplates(templates(4));
    show();
    delegate.calls.clear();
    QTest::mouseClick(list->rowView(2)->dateField(), Qt::LeftButton);
    QTest::mouseClick(list->rowView(2), Qt::LeftButton); // the open row again: nothing new
    QTest::keyClick(list.get(), Qt::Key_Down);
    QTest::keyClick(list.get(), Qt::Key_Down); // past the end: stays
    QTest::keyClick(list.get(), Qt::Key_Home);
    QCOMPARE(delegate.calls, (QStringList{"T3|edit", "T4|edit", "T1|edit"}));
    QCOMPARE(list->lastSelectedRow, 0);
    int highlighted = 0;
    for (int i = 0; i < list->numberOfRows(); ++i)
        highlighted += list->rowView(i)->backgroundColor().alpha() > 0;
    QCOMPARE(highlighted, 1);
}

QTEST_MAIN(TestTemplateList)
#include "tst_templatelist.moc"
