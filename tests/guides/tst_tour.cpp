// The tour in the template window: the five tips in turn (shown, moved on,
// closed, with one "toggleIsInTourTip" per show and per dismissal), each
// tip's cut-out over its control (dark around it, clear inside, and clicks
// there reach the control), and the guide sheet of the slots' tip, which a
// drop moves on and whose click catchers open the slots' file panels.

#include "controls/ShadowView.h"
#include "guides/DummyActionGetter.h"
#include "guides/GuideController.h"
#include "guides/GuideSheet.h"
#include "guides/Guides.h"
#include "guides/TourGuide.h"
#include "guides/WindowGuide.h"
#include "pdf/PdfChecks.h"
#include "platform/NotificationHub.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateViewController.h"
#include "templates/TemplateWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

using namespace quillary;
using fixture::pdf;

namespace {

struct SequenceRow {
    QStringList steps;   // "create", "next", "close", "escape", "enter"
    QList<int> shown;    // tips shown afterwards
    int toggles;         // "toggleIsInTourTip" posts
    bool sheet;          // the guide sheet is open afterwards
};

struct CutOutRow {
    int tip;
};

struct CatcherRow {
    int tag;
};

QList<int> shownTips(const MainViewController& main)
{
    QList<int> shown;
    for (int n = 1; n <= 5; ++n)
        if (main.tourTipShown(n))
            shown << n;
    return shown;
}

// The control a tip is about, in the main view's coordinates.
QRect controlOf(MainViewController* main, int tip)
{
    auto place = [main](QWidget* w) { return QRect(w->mapTo(main, QPoint(0, 0)), w->size()); };
    switch (tip) {
    case 1: return place(main->templateList()->tableView());
    case 2: return place(main->templateList()->addTemplateButton());
    case 3:
        return place(main->assistant()->startController->parentWidget())
               | place(main->assistant()->agbController->parentWidget());
    case 4: {
        // The switches with their captions.
        TemplateRowView* row = main->templateList()->rowView(main->templateList()->lastSelectedRow);
        QRect united = place(row->activeSwitch()) | place(row->layerSwitch());
        for (QLabel* caption : row->findChildren<QLabel*>())
            if (caption->buddy() == row->activeSwitch() || caption->buddy() == row->layerSwitch())
                united |= place(caption);
        return united;
    }
    default: return place(main->assistant()->configureButton);
    }
}

} // namespace

Q_DECLARE_METATYPE(SequenceRow)
Q_DECLARE_METATYPE(CutOutRow)

class TestTour : public QObject {
    Q_OBJECT

    std::unique_ptr<TemplateWindow> window;
    MainViewController* main = nullptr;

    TourTipView* tip(int number) const { return qobject_cast<TourTipView*>(main->tourTipView(number)); }
    // The tip shown now.
    TourTipView* current() const
    {
        for (int n = 1; n <= 5; ++n)
            if (main->tourTipShown(n))
                return tip(n);
        return nullptr;
    }
    WindowGuide* sheet() const { return CustomWindowGuide::sheetOf(window.get()); }
    void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
        fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}});
        window = std::make_unique<TemplateWindow>();
        main = window->mainView();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }
    void cleanup()
    {
        window.reset();
        settle();
    }

    void tipsInTurn_data();
    void tipsInTurn();
    void cutOutLiesOverItsControl_data();
    void cutOutLiesOverItsControl();
    void overlayIsDarkButForTheCutOut();
    void clicksInTheCutOutReachTheControl();
    void dropMovesTheGuideSheetOn();
    void clickCatcherOpensTheSlotsFilePanel_data();
    void clickCatcherOpensTheSlotsFilePanel();
    void everyControlIsNamed();
};

void TestTour::tipsInTurn_data()
{
    pdfchecks::table<SequenceRow>({
        {"started", {{"create"}, {1}, 1, false}},
        {"to the slots", {{"create", "next", "next"}, {3}, 1, true}},
        {"past the slots", {{"create", "next", "next", "next"}, {4}, 1, false}},
        {"through all five, done", {{"create", "next", "next", "next", "next", "close"}, {}, 2, false}},
        {"closed at the slots", {{"create", "next", "next", "close"}, {}, 2, false}},
        {"escape on the first", {{"create", "escape"}, {}, 2, false}},
        {"enter moves on", {{"create", "enter", "enter"}, {3}, 1, true}},
        {"shown again after closing", {{"create", "close", "create"}, {1}, 3, false}},
    });
}

void TestTour::tipsInTurn()
{
    const auto row = pdfchecks::fetch<SequenceRow>();
    int toggles = 0;
    auto connection = connect(&NotificationHub::instance(), &NotificationHub::posted, this,
                              [&](const QString& name) { toggles += name == "toggleIsInTourTip"; });
    for (const QString& step : row.steps) {
        if (step == "create") {
            main->createTourTip();
            continue;
        }
        TourTipView* shown = current();
        QVERIFY2(shown, qPrintable(step));
        if (step == "next")
            QTest::mouseClick(shown->nextButton(), Qt::LeftButton);
        else if (step == "close")
            QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
        else
            QTest::keyClick(QApplication::focusWidget(), step == "escape" ? Qt::Key_Escape : Qt::Key_Return);
        settle();
    }
    disconnect(connection);
    QCOMPARE(shownTips(*main), row.shown);
    QCOMPARE(toggles, row.toggles);
    QCOMPARE(sheet() != nullptr, row.sheet);
    // Thumbnails show no popover while a tip is up.
    QCOMPARE(main->assistant()->startController->tbi->isInTourTip, row.toggles % 2 == 1);
    if (row.toggles % 2 == 1)
        NotificationHub::post("toggleIsInTourTip");
}

void TestTour::cutOutLiesOverItsControl_data()
{
    pdfchecks::table<CutOutRow>({
        {"the template list", {1}},
        {"the add button", {2}},
        {"the three page slots", {3}},
        {"the switches", {4}},
        {"the save button", {5}},
    });
}

void TestTour::cutOutLiesOverItsControl()
{
    const auto row = pdfchecks::fetch<CutOutRow>();
    main->createTourTip();
    for (int n = 1; n < row.tip; ++n)
        QTest::mouseClick(current()->nextButton(), Qt::LeftButton);
    settle();
    TourTipView* shown = current();
    QVERIFY(shown);
    QCOMPARE(shown->number(), row.tip);
    QCOMPARE(shown->geometry(), main->rect());
    const QRect control = controlOf(main, row.tip);
    const QRect cutOut = shown->highlightPoint().toRect();
    QVERIFY2(cutOut.contains(control.intersected(main->rect())),
             qPrintable(QStringLiteral("%1 not around %2").arg(QVariant(cutOut).toString(), QVariant(control).toString())));
    // Close around it: not much more than the control and its padding.
    QVERIFY(cutOut.width() <= control.width() + 2 * TourTipView::Padding + 1);
    QVERIFY(cutOut.height() <= control.height() + 2 * TourTipView::Padding + 1);
    // The card says what it is about, beside the control, in the window.
    const QRect card = shown->card()->geometry();
    QVERIFY(main->rect().contains(card));
    QVERIFY(!card.intersects(cutOut));
    // The slots' tip leaves the guide sheet room: the card is not under it.
    if (WindowGuide* guide = sheet())
        QVERIFY(!guide->geometry().intersects(QRect(shown->card()->mapTo(window.get(), QPoint(0, 0)), card.size())));
}

void TestTour::overlayIsDarkButForTheCutOut()
{
    // Empty slots: nothing in the cut-out is still being rendered.
    main->templateList()->addPatternWithSender(nullptr);
    settle();
    const QImage before = main->grab().toImage();
    main->createTourTip();
    main->navigateToSecondToolTip();
    main->navigateToThirdToolTip();
    settle();
    // The guide sheet would cover the list in the picture; the overlay is what counts here.
    if (WindowGuide* guide = sheet())
        guide->hide();
    TourTipView* shown = current();
    const QImage after = main->grab().toImage();
    const QRect cutOut = shown->highlightPoint().toRect();
    const QRect card = shown->card()->geometry();
    int dark = 0, checked = 0;
    for (int y = 4; y < after.height(); y += 23)
        for (int x = 4; x < after.width(); x += 23) {
            const QPoint p(x, y);
            if (cutOut.adjusted(-6, -6, 6, 6).contains(p) || card.adjusted(-30, -30, 30, 30).contains(p))
                continue;
            ++checked;
            const QColor c = after.pixelColor(p);
            // Black at 0.9 over whatever was there.
            dark += qMax(qMax(c.red(), c.green()), c.blue()) <= 0.1 * 255 + 3;
        }
    QVERIFY(checked > 100);
    QCOMPARE(dark, checked);
    // Inside the cut-out everything shows as it was.
    int same = 0, inside = 0;
    for (int y = cutOut.top() + 12; y < cutOut.bottom() - 12; y += 9)
        for (int x = cutOut.left() + 12; x < cutOut.right() - 12; x += 9) {
            ++inside;
            same += after.pixel(x, y) == before.pixel(x, y);

        }
    QVERIFY(inside > 100);
    QCOMPARE(same, inside);
}

void TestTour::clicksInTheCutOutReachTheControl()
{
    main->createTourTip();
    main->navigateToSecondToolTip();
    settle();
    TourTipView* shown = current();
    QToolButton* add = main->templateList()->addTemplateButton();
    const QPoint onAdd = add->mapTo(main, add->rect().center());
    // The tip has a hole there: the button is what the pointer finds.
    QCOMPARE(main->childAt(onAdd), add);
    QCOMPARE(main->childAt(QPoint(main->width() - 20, 20)), shown);
    // A click through the window adds a template...
    QVERIFY(!main->assistant()->isNewTemplate());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, add->mapTo(window.get(), add->rect().center()));
    settle();
    QVERIFY(main->assistant()->isNewTemplate());
    // ... while one outside it changes nothing beneath.
    QLineEdit* name = main->assistant()->templateNameField;
    name->setText("unchanged");
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, name->mapTo(window.get(), QPoint(5, 5)));
    settle();
    QCOMPARE(main->assistant()->templateNameField->text(), QStringLiteral("unchanged"));
    QVERIFY(main->tourTipShown(2));
}

void TestTour::dropMovesTheGuideSheetOn()
{
    RecordingUi ui;
    WindowGuide* guide = showGuideSheet(window.get());
    QVERIFY(guide && guide->isVisible());
    QCOMPARE(guide->contentViewController()->objectName(), QStringLiteral("guide"));
    // Beside the slots, not over them: they still take drops.
    const QRect onWindow(guide->pos(), guide->size());
    for (int tag = 1; tag <= 3; ++tag) {
        QWidget* slot = main->assistant()->slotContainer(tag);
        QVERIFY(!onWindow.intersects(QRect(slot->mapTo(window.get(), QPoint(0, 0)), slot->size())));
    }
    // Asked for again: the same sheet.
    QCOMPARE(showGuideSheet(window.get()), guide);

    QVERIFY(fixture::drop(main->assistant()->startController, pdf("letterhead")));
    settle();
    QCOMPARE(guide->contentViewController()->objectName(), QStringLiteral("guideDone"));
    QCOMPARE(guide->findChildren<GuideController*>().size(), 1);
    // The last scene stays.
    QVERIFY(fixture::drop(main->assistant()->continualController, pdf("follow")));
    settle();
    QCOMPARE(guide->contentViewController()->objectName(), QStringLiteral("guideDone"));

    // "Save template" closes the sheet and confirms the assistant.
    QList<TemplateEdit> confirmed;
    connect(main, &MainViewController::templateConfirmed, this, [&](const TemplateEdit& e) { confirmed << e; });
    QPushButton* save = nullptr;
    for (auto* button : guide->findChildren<QPushButton*>())
        if (button->accessibleName() == "Save template now")
            save = button;
    QVERIFY(save);
    QTest::mouseClick(save, Qt::LeftButton);
    settle();
    QVERIFY(!sheet());
    QCOMPARE(confirmed.size(), 1);
    QCOMPARE(confirmed.first().source(PageKind::Start), pdf("letterhead"));
    QVERIFY(ui.alerts().isEmpty());
}

void TestTour::clickCatcherOpensTheSlotsFilePanel_data()
{
    QTest::addColumn<int>("tag");
    QTest::newRow("start page") << 1;
    QTest::newRow("continuation page") << 2;
    QTest::newRow("terms page") << 3;
}

void TestTour::clickCatcherOpensTheSlotsFilePanel()
{
    QFETCH(int, tag);
    RecordingUi ui;
    // A new template: every slot empty.
    main->templateList()->addPatternWithSender(nullptr);
    WindowGuide* guide = showGuideSheet(window.get());
    DummyActionGetter* catcher = nullptr;
    for (auto* candidate : guide->findChildren<DummyActionGetter*>())
        if (candidate->slotTag() == tag)
            catcher = candidate;
    QVERIFY(catcher);
    const QString file = pdf(QStringLiteral("chosen%1").arg(tag));
    ui.openReplies.push_back(file);
    QTest::mouseClick(catcher, Qt::LeftButton);
    QCOMPARE(ui.kinds(), QStringList{"open panel"});
    QCOMPARE(ui.calls.first().title, QStringLiteral("Choose the %1").arg(slotName(tag)));
    const PageKind kind = tag == 1 ? PageKind::Start : tag == 2 ? PageKind::Continuation : PageKind::Terms;
    QCOMPARE(main->assistant()->source(kind), file);
    QVERIFY(main->assistant()->slotContainer(tag)->showsPage());
    // Only a drop moves the sheet on.
    settle();
    QCOMPARE(guide->contentViewController()->objectName(), QStringLiteral("guide"));
    // A second click empties the slot again, asking nothing.
    ui.clear();
    QTest::mouseClick(catcher, Qt::LeftButton);
    QVERIFY(ui.calls.isEmpty());
    QCOMPARE(main->assistant()->source(kind), QString());
    QCOMPARE(main->assistant()->slotButton(tag)->state(), PreviewState::EMPTY);
}

void TestTour::everyControlIsNamed()
{
    main->createTourTip();
    for (int n = 1; n <= 5; ++n) {
        settle();
        TourTipView* shown = current();
        QVERIFY(!shown->accessibleName().isEmpty());
        for (auto* button : shown->findChildren<QAbstractButton*>())
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->text()));
        if (n == 3) {
            QVERIFY(sheet());
            for (auto* button : sheet()->findChildren<QAbstractButton*>())
                QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->text()));
        }
        if (n < 5)
            shown->nextButton()->click();
    }
}

QTEST_MAIN(TestTour)
#include "tst_tour.moc"
