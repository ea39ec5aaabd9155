// The main view: a fresh assistant for every choice (and which template it
// saves to, whatever the list does meanwhile), the tour tips, the counter
// image and the Edit menu clean-up.

#include "guides/Guides.h"
#include "pdf/PdfChecks.h"
#include "platform/NotificationHub.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateWindow.h"

#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

using namespace quillary;
using fixture::pdf;

namespace {

struct TourRow {
    QStringList steps;  // "create", "next", "close N"
    QList<int> shown;   // tips shown afterwards
    int toggles;        // "toggleIsInTourTip" posts
};

struct MenuRow {
    QStringList items;  // object names of the Edit menu's items, in order
    QStringList left;
};

QList<int> shownTips(const MainViewController& main)
{
    QList<int> shown;
    for (int n = 1; n <= 5; ++n)
        if (main.tourTipShown(n))
            shown << n;
    return shown;
}

} // namespace

Q_DECLARE_METATYPE(TourRow)
Q_DECLARE_METATYPE(MenuRow)

class TestMainView : public QObject {
    Q_OBJECT

    std::unique_ptr<TemplateWindow> window;
    MainViewController* main = nullptr;

    void show()
    {
        window = std::make_unique<TemplateWindow>();
        main = window->mainView();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

private slots:
    void initTestCase()
    {
        fixture::setUpStore();
        registerTemplateScenes();
        registerGuideScenes();
    }
    void init() { fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}, {"Gamma", {}}}); }
    void cleanup()
    {
        window.reset();
        registerGuideScenes();
    }

    void everyChoiceOpensAFreshAssistant();
    void switchesInTheListDoNotRedirectTheEdit();
    void tourTips_data();
    void tourTips();
    void tourTipFactoryIsUsed();
    void counterImageOpensThePaletteOnThe21stClick();
    void editMenuLosesWhatThePlatformAppended_data();
    void editMenuLosesWhatThePlatformAppended();
};

void TestMainView::everyChoiceOpensAFreshAssistant()
{
    show();
    // The list opened its first template.
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
    QCOMPARE(second->editedName(), QStringLiteral("Beta"));
    QCOMPARE(second->templateNameField->text(), QStringLiteral("Beta"));
    QCOMPARE(second->source(PageKind::Continuation), QString());
    QCOMPARE(main->templateConfigView->findChildren<ConfigurationAssistantController*>().size(), 1);

    main->templateList()->addPatternWithSender(nullptr);
    QVERIFY(main->assistant()->isNewTemplate());
    QCOMPARE(main->assistant()->templateNameField->text(), QString());
    QCOMPARE(main->childViewControllers().size(), 2);
}

void TestMainView::switchesInTheListDoNotRedirectTheEdit()
{
    show();
    main->templateList()->selectRow(1); // edit Beta
    ConfigurationAssistantController* assistant = main->assistant();
    QVERIFY(fixture::drop(assistant->startController, pdf("new-start", {612, 792})));
    // Meanwhile, Alpha and Gamma are switched in the list.
    QTest::mouseClick(main->templateList()->rowView(0)->activeSwitch(), Qt::LeftButton);
    QTest::mouseClick(main->templateList()->rowView(2)->layerSwitch(), Qt::LeftButton);

    QList<TemplateEdit> confirmed;
    connect(main, &MainViewController::templateConfirmed, this, [&](const TemplateEdit& e) { confirmed << e; });
    QVERIFY(assistant->check());
    QCOMPARE(confirmed.size(), 1);
    QCOMPARE(confirmed.first().editedName, QStringLiteral("Beta"));
    QVERIFY(!confirmed.first().isNew);

    // Saved, the new page lands in Beta; Alpha keeps its page and only its switch changed.
    const QString alphaPage = fixture::storedPage("Alpha", PageKind::Start);
    const QByteArray alphaBytes = fixture::readAll(alphaPage);
    QVERIFY(sharedStore().saveTemplate(confirmed.first()).ok());
    QCOMPARE(fixture::storedNames(), (QStringList{"Alpha", "Beta", "Gamma"}));
    QCOMPARE(fixture::stored("Beta").docFormat(), QStringLiteral("1"));
    QCOMPARE(fixture::stored("Alpha").docFormat(), QStringLiteral("0"));
    QCOMPARE(fixture::storedPage("Alpha", PageKind::Start), alphaPage);
    QCOMPARE(fixture::readAll(alphaPage), alphaBytes);
    QVERIFY(!fixture::stored("Alpha").isActive());
    QVERIFY(fixture::stored("Gamma").isOverlay());
    QCOMPARE(fixture::stored("Gamma").pageReference(PageKind::Start), QStringLiteral("X"));
}

void TestMainView::tourTips_data()
{
    pdfchecks::table<TourRow>({
        {"started", {{"create"}, {1}, 1}},
        {"started twice", {{"create", "create"}, {1}, 2}},
        {"moved on to the third", {{"create", "next", "next"}, {3}, 1}},
        {"through all five", {{"create", "next", "next", "next", "next"}, {5}, 1}},
        {"closed on the third", {{"create", "next", "next", "close 3"}, {}, 2}},
        {"close with another number", {{"create", "close 2"}, {1}, 2}},
        {"close without a number", {{"create", "close 0"}, {1}, 2}},
    });
}

void TestMainView::tourTips()
{
    const auto row = pdfchecks::fetch<TourRow>();
    show();
    ConfigurationAssistantController* assistant = main->assistant();
    TemplateImageView* thumbnail = assistant->startController->tbi;
    int toggles = 0;
    auto connection = connect(&NotificationHub::instance(), &NotificationHub::posted, this,
                              [&](const QString& name) { toggles += name == "toggleIsInTourTip"; });
    int at = 0;
    for (const QString& step : row.steps) {
        if (step == "create") {
            main->createTourTip();
            at = 1;
        } else if (step == "next") {
            // The tip's own "Next" button.
            QPushButton* next = nullptr;
            for (auto* button : main->tourTipView(at)->findChildren<QPushButton*>())
                if (button->accessibleName() == "Next tour tip")
                    next = button;
            QVERIFY(next);
            QTest::mouseClick(next, Qt::LeftButton);
            ++at;
        } else {
            QObject sender;
            sender.setProperty("tag", step.section(' ', 1).toInt());
            main->dissmisSheetWithSender(&sender);
        }
    }
    disconnect(connection);
    QCOMPARE(shownTips(*main), row.shown);
    QCOMPARE(toggles, row.toggles);
    // Thumbnails keep no popover while a tip is shown (each post flips them).
    QCOMPARE(thumbnail->isInTourTip, row.toggles % 2 == 1);
    for (int n : row.shown)
        QCOMPARE(main->tourTipView(n)->geometry(), main->rect());
    // An assistant opened meanwhile starts in step.
    main->templateList()->selectRow(1);
    QCOMPARE(main->assistant()->startController->tbi->isInTourTip, row.toggles % 2 == 1);
    // Closed again for the next row.
    if (row.toggles % 2 == 1)
        NotificationHub::post("toggleIsInTourTip");
}

void TestMainView::tourTipFactoryIsUsed()
{
    QList<int> made;
    MainViewController::setTourTipFactory([&](int number, MainViewController*) {
        made << number;
        auto* tip = new QWidget;
        tip->setObjectName(QStringLiteral("guide %1").arg(number));
        return tip;
    });
    show();
    main->createTourTip();
    main->navigateToSecondToolTip();
    QCOMPARE(made, (QList<int>{1, 2}));
    QCOMPARE(main->tourTipView(2)->objectName(), QStringLiteral("guide 2"));
    QCOMPARE(shownTips(*main), QList<int>{2});
    // A tip shown again is the same view.
    main->navigateToThirdToolTip();
    main->dissmisSheetWithSender(nullptr);
    main->createTourTip();
    QCOMPARE(made, (QList<int>{1, 2, 3}));
}

void TestMainView::counterImageOpensThePaletteOnThe21stClick()
{
    show();
    RecordingUi ui;
    int opened = 0;
    connect(main, &MainViewController::characterPaletteRequested, this, [&] { ++opened; });
    QLabel* image = main->templateList()->findChild<QLabel*>("counterImage");
    QVERIFY(image);
    for (int i = 0; i < 20; ++i)
        QTest::mouseClick(image, Qt::LeftButton);
    QCOMPARE(opened, 0);
    QTest::mouseClick(image, Qt::LeftButton);
    QCOMPARE(opened, 1);
    QCOMPARE(main->cnter, 0);
    for (int i = 0; i < 21; ++i)
        main->imageEasterEggWithSender();
    QCOMPARE(opened, 2);
}

void TestMainView::editMenuLosesWhatThePlatformAppended_data()
{
    const QString palette = "orderFrontCharacterPalette:", dictation = "startDictation:";
    pdfchecks::table<MenuRow>({
        {"palette last", {{"copy", "paste", palette}, {"copy", "paste"}}},
        {"dictation, then palette", {{"copy", dictation, palette}, {"copy"}}},
        {"palette, then dictation", {{"copy", palette, dictation}, {"copy", palette}}},
        {"nothing appended", {{"copy", "paste"}, {"copy", "paste"}}},
    });
}

void TestMainView::editMenuLosesWhatThePlatformAppended()
{
    const auto row = pdfchecks::fetch<MenuRow>();
    QMenuBar bar;
    QMenu* other = bar.addMenu("Other");
    other->addAction("palette")->setObjectName("orderFrontCharacterPalette:");
    QMenu* edit = bar.addMenu("Edit");
    edit->setObjectName("Edit");
    for (const QString& item : row.items)
        edit->addAction(item)->setObjectName(item);
    MainViewController::cleanUpEditMenu(&bar);
    QStringList left;
    for (QAction* action : edit->actions())
        left << action->objectName();
    QCOMPARE(left, row.left);
    QCOMPARE(other->actions().size(), 1);
}

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
