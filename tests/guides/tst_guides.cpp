// The guides. Their parts: the click catchers' notifications, the segues,
// "tourTrigger" moving a guide window on, the bobbing image, the configure
// action and the video guide. The tour over the template window: its tips in
// turn, each tip's cut-out over its control (dark around it, clear inside,
// clicks there reach the control), and the guide sheet of the slots' tip,
// which a drop moves on and whose click catchers open the slots' file panels.

#include "controls/ShadowView.h"
#include "guides/AnimatedImage.h"
#include "guides/DummyActionGetter.h"
#include "guides/FirstGuide.h"
#include "guides/GuideController.h"
#include "guides/GuideSheet.h"
#include "guides/Guides.h"
#include "guides/Segues.h"
#include "guides/TourGuide.h"
#include "guides/VideoGuide.h"
#include "guides/WindowGuide.h"
#include "pdf/PdfChecks.h"
#include "platform/NotificationHub.h"
#include "platform/Storyboard.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateViewController.h"
#include "templates/TemplateWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QScrollArea>
#include <QPushButton>
#include <QToolButton>
#include <QVideoWidget>

using namespace quillary;
using fixture::pdf;

namespace {

// kind: 1 DummyActionGetter, 2 ...Second, 3 ...Third; press: "mouse", "space", "click".
struct CatcherRow { int kind; QString press; };
// source: "resource", "missing", "damaged"; reason: a part of the still's message.
struct VideoRow { QString source; bool backend, still; QString reason; };
// steps: "create", "next", "close", "escape", "enter"; shown: the tip shown afterwards, 0 none.
struct TourRow { QStringList steps; int shown, toggles; bool sheet; };

// Everything posted while action runs, as "name tag" lines.
QStringList postsDuring(const std::function<void()>& action, QObject** window = nullptr)
{
    QStringList posted;
    QObject scope;
    QObject::connect(&NotificationHub::instance(), &NotificationHub::posted, &scope,
                     [&](const QString& name, const QVariantMap& info) {
                         posted << name + ' ' + info.value("tag").toString();
                         if (window)
                             *window = info.value("window").value<QObject*>();
                     });
    action();
    return posted;
}

int scenesAlive = 0; // scenes counted as they are made and go away

GuideController* countedScene(const QString& name, const QString& next)
{
    auto* scene = new GuideController;
    scene->setObjectName(name);
    scene->triggerDestination = next;
    ++scenesAlive;
    QObject::connect(scene, &QObject::destroyed, [] { --scenesAlive; });
    return scene;
}

} // namespace

Q_DECLARE_METATYPE(CatcherRow)
Q_DECLARE_METATYPE(VideoRow)
Q_DECLARE_METATYPE(TourRow)

class TestGuides : public QObject {
    Q_OBJECT

    std::unique_ptr<TemplateWindow> window;
    MainViewController* main = nullptr;

    void openWindow()
    {
        window = std::make_unique<TemplateWindow>();
        main = window->mainView();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }
    void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TourTipView* current() const // the tip shown now
    {
        for (int n = 1; n <= 5; ++n)
            if (main->tourTipShown(n))
                return qobject_cast<TourTipView*>(main->tourTipView(n));
        return nullptr;
    }
    WindowGuide* sheet() const { return CustomWindowGuide::sheetOf(window.get()); }

private slots:
    void initTestCase()
    {
        fixture::setUpStore();
        registerTemplateScenes();
        registerGuideScenes();
        Storyboard::registerScene("test one", [] { return countedScene("one", "test two"); });
        Storyboard::registerScene("test two", [] { return countedScene("two", "test three"); });
        Storyboard::registerScene("test three", [] { return countedScene("three", QString()); });
    }
    void init() { fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}}); }
    void cleanup()
    {
        window.reset();
        VideoGuide::setMediaBackendProbe({});
        settle();
    }

    void clickCatchersPostTheirSlot_data()
    {
        pdfchecks::table<CatcherRow>({
            {"start page, mouse", {1, "mouse"}},
            {"continuation page, mouse", {2, "mouse"}},
            {"terms page, mouse", {3, "mouse"}},
            {"terms page, space bar", {3, "space"}},
            {"continuation page, assistive press", {2, "click"}},
        });
    }
    void clickCatchersPostTheirSlot()
    {
        const auto row = pdfchecks::fetch<CatcherRow>();
        QWidget host;
        auto* picture = new QWidget(&host);
        picture->setGeometry(20, 20, 60, 80);
        DummyActionGetter* catcher = row.kind == 1   ? new DummyActionGetter(picture)
                                     : row.kind == 2 ? static_cast<DummyActionGetter*>(new DummyActionGetterSecond(picture))
                                                     : new DummyActionGetterThird(picture);
        catcher->setGeometry(picture->rect());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QObject* over = nullptr;
        const QStringList posted = postsDuring([&] {
            if (row.press == "mouse")
                QTest::mouseClick(catcher, Qt::LeftButton);
            else if (row.press == "space")
                QTest::keyClick(catcher, Qt::Key_Space);
            else
                catcher->click();
        }, &over);
        QCOMPARE(posted, QStringList{QStringLiteral("circleView%1 %1").arg(row.kind)});
        QCOMPARE(over, &host); // the file panel opens over the catcher's window
        QVERIFY(postsDuring([&] { QTest::mouseClick(catcher, Qt::RightButton); }).isEmpty());
        // The first guide's circles name their sender's tag.
        QObject sender;
        sender.setProperty("tag", row.kind);
        QCOMPARE(postsDuring([&] { (new FirstGuide(&host))->clickCircleViewWithSender(&sender); }),
                 QStringList{QStringLiteral("circleView %1").arg(row.kind)});
    }

    void segueAndTourTriggerNeedAGuideWindow()
    {
        QWidget loose; // not in a guide window: nothing happens, the destination is not kept
        QPointer<QWidget> destination = new QLabel("next");
        QVERIFY(!TriggerSegue::perform(new QWidget(&loose), destination));
        QVERIFY(!destination);
        QWidget host;
        host.resize(700, 600);
        host.show();
        auto* controller = new CustomWindowGuide(&host);
        WindowGuide* guideWindow = controller->window();
        guideWindow->setContentViewController(Storyboard::instantiateAs<QWidget>("test one"));
        controller->showWindow();
        // One scene on per notification; the scenes passed go away, the last one stays.
        for (const QString scene : {"two", "three", "three"}) {
            NotificationHub::post("tourTrigger");
            QCOMPARE(guideWindow->contentViewController()->objectName(), scene);
            settle();
            QCOMPARE(scenesAlive, 1);
        }
        // Closing the window ends the guide: no scene listens any more.
        qobject_cast<GuideController*>(guideWindow->contentViewController())->dissmisSheetWithSender();
        settle();
        QCOMPARE(scenesAlive, 0);
        NotificationHub::post("tourTrigger");
        QVERIFY(host.findChildren<WindowGuide*>().isEmpty());
    }

    void replaceSegueTakesOnlyAnAssistantFromTheTemplateWindow()
    {
        openWindow();
        QPointer<ConfigurationAssistantController> before = main->assistant();
        QWidget other;
        QPointer<QWidget> foreign = new ConfigurationAssistantController, label = new QLabel("not an assistant");
        QVERIFY(!ReplaceSegue::perform(&other, foreign));
        QVERIFY(!ReplaceSegue::perform(main->templateList(), label));
        settle();
        QVERIFY(!foreign && !label); // refused destinations are not kept
        QCOMPARE(main->assistant(), before.data());
        QPointer<QWidget> fresh = new ConfigurationAssistantController;
        QVERIFY(ReplaceSegue::perform(before, fresh));
        settle();
        QVERIFY(!before);
        QCOMPARE(main->childViewControllers(), (QList<QWidget*>{main->templateList(), fresh.data()}));
    }

    void imageBobsTwentyPointsUpAndBack()
    {
        QWidget host;
        auto* image = new AnimatedImage(&host);
        image->setGeometry(10, 50, 20, 20);
        QCOMPARE(image->timer().interval(), 700);
        QVERIFY(image->timer().isActive() && !image->timer().isSingleShot());
        QList<int> rests;
        for (int step = 1; step <= 4; ++step) {
            image->animate();
            image->animator().setCurrentTime(image->animator().duration()); // glides to its end
            rests << image->pos().y();
        }
        QCOMPARE(rests, (QList<int>{30, 50, 30, 50}));
        // A step begun while the last one still glides goes from where that one ends.
        image->animate();
        image->animate();
        image->animator().setCurrentTime(image->animator().duration());
        QCOMPARE(image->pos(), QPoint(10, 50));
        QVERIFY(image->toggle);
    }

    void videoGuide_data()
    {
        pdfchecks::table<VideoRow>({
            {"the clip", {"resource", true, false, ""}},
            {"no clip", {"missing", true, true, "not installed"}},
            {"a damaged clip", {"damaged", true, true, "cannot be played"}},
            {"no playback backend", {"resource", false, true, "cannot be played on this system"}},
        });
    }
    void videoGuide()
    {
        const auto row = pdfchecks::fetch<VideoRow>();
        if (row.backend && row.source != "missing" && !VideoGuide::mediaBackendAvailable())
            QSKIP("Qt Multimedia has no playback backend here");
        if (!row.backend)
            VideoGuide::setMediaBackendProbe([] { return false; });
        QTemporaryDir dir;
        const QString source = row.source == "resource" ? VideoGuide::defaultSource() : dir.filePath("quillary.mp4");
        if (row.source == "damaged")
            QVERIFY(testpdfs::writeBytes(source, QByteArray(4096, '\x5a')));
        QWidget host;
        auto* video = new VideoGuide(&host);
        video->setSource(source);
        video->setGeometry(10, 10, 332, 208);
        host.show();
        QTRY_COMPARE(video->showsStill(), row.still);
        QTRY_COMPARE(video->mediaPlayer() == nullptr, row.still);
        if (row.still) {
            QVERIFY2(video->stillMessage()->text().contains(row.reason), qPrintable(video->stillMessage()->text()));
            return;
        }
        QMediaPlayer* player = video->mediaPlayer();
        QTRY_COMPARE(player->playbackState(), QMediaPlayer::PlayingState);
        QTRY_VERIFY(player->duration() > 1000);
        QVERIFY(player->audioOutput() == nullptr); // no sound
        // The end of a pass: the guide rewinds on its own and plays on.
        player->setPosition(player->duration() - 200);
        QTRY_VERIFY_WITH_TIMEOUT(video->rewinds() >= 1, 10000);
        QCOMPARE(player->playbackState(), QMediaPlayer::PlayingState);
        // Out of its window and back: a new player.
        QPointer<QMediaPlayer> first = player;
        host.hide();
        QVERIFY(!first);
        host.show();
        QVERIFY(video->mediaPlayer());
    }

    void tipsInTurn_data()
    {
        pdfchecks::table<TourRow>({
            {"started", {{"create"}, 1, 1, false}},
            {"to the slots", {{"create", "next", "next"}, 3, 1, true}},
            {"past the slots", {{"create", "next", "next", "next"}, 4, 1, false}},
            {"through all five, done", {{"create", "next", "next", "next", "next", "close"}, 0, 2, false}},
            {"closed at the slots", {{"create", "next", "next", "close"}, 0, 2, false}},
            {"escape on the first", {{"create", "escape"}, 0, 2, false}},
            {"enter moves on", {{"create", "enter", "enter"}, 3, 1, true}},
            {"shown again after closing", {{"create", "close", "create"}, 1, 3, false}},
        });
    }
    void tipsInTurn()
    {
        const auto row = pdfchecks::fetch<TourRow>();
        openWindow();
        int toggles = 0;
        QObject scope;
        connect(&NotificationHub::instance(), &NotificationHub::posted, &scope,
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
        QCOMPARE(current() ? current()->number() : 0, row.shown); // the lowest shown: one left behind shows
        QCOMPARE(toggles, row.toggles);
        QCOMPARE(sheet() != nullptr, row.sheet);
        if (row.toggles % 2 == 1)
            NotificationHub::post("toggleIsInTourTip");
    }

    void cutOutLiesOverItsControlDarkAroundIt_data()
    {
        QTest::addColumn<int>("tip");
        QTest::newRow("the template list") << 1;
        QTest::newRow("the add button") << 2;
        QTest::newRow("the three page slots") << 3;
        QTest::newRow("the switches") << 4;
        QTest::newRow("the save button") << 5;
    }
    void cutOutLiesOverItsControlDarkAroundIt()
    {
        QFETCH(int, tip);
        openWindow();
        main->createTourTip();
        for (int n = 1; n < tip; ++n)
            QTest::mouseClick(current()->nextButton(), Qt::LeftButton);
        settle();
        TourTipView* shown = current();
        // The control the tip is about, in the main view's coordinates.
        const auto place = [this](QWidget* w) { return QRect(w->mapTo(main, QPoint(0, 0)), w->size()); };
        TemplateRowView* row = main->templateList()->rowView(main->templateList()->lastSelectedRow);
        QRect control = tip == 1   ? place(main->templateList()->tableView())
                        : tip == 2 ? place(main->templateList()->addTemplateButton())
                        : tip == 3 ? place(main->assistant()->startController->parentWidget())
                                         | place(main->assistant()->agbController->parentWidget())
                        : tip == 4 ? place(row->activeSwitch()) | place(row->layerSwitch())
                                   : place(main->assistant()->configureButton);
        for (QLabel* caption : row->findChildren<QLabel*>()) // the switches come with their captions
            if (tip == 4 && (caption->buddy() == row->activeSwitch() || caption->buddy() == row->layerSwitch()))
                control |= place(caption);
        const QRect cutOut = shown->highlightPoint().toRect(), card = shown->card()->geometry();
        QVERIFY2(cutOut.contains(control.intersected(main->rect())),
                 qPrintable(QStringLiteral("%1 not around %2").arg(QVariant(cutOut).toString(), QVariant(control).toString())));
        // Close around it: not much more than the control and its padding.
        QVERIFY(cutOut.width() <= control.width() + 2 * TourTipView::Padding + 1
                && cutOut.height() <= control.height() + 2 * TourTipView::Padding + 1);
        // The card beside it, in the window, and not under the slots' guide sheet.
        QVERIFY(main->rect().contains(card) && !card.intersects(cutOut));
        if (tip == 3)
            QVERIFY(!sheet()->geometry().intersects(QRect(shown->card()->mapTo(window.get(), QPoint(0, 0)), card.size())));
        // Black at 0.9 around both, and the pointer finds what lies under the cut-out.
        const QImage picture = main->grab().toImage();
        int dark = 0, checked = 0;
        for (int y = 4; y < picture.height(); y += 23)
            for (int x = 4; x < picture.width(); x += 23) {
                if (cutOut.adjusted(-6, -6, 6, 6).contains(x, y) || card.adjusted(-30, -30, 30, 30).contains(x, y))
                    continue;
                ++checked;
                dark += picture.pixelColor(x, y).value() <= 0.1 * 255 + 3; // the brightest channel
            }
        QVERIFY(checked > 100);
        QCOMPARE(dark, checked);
        QWidget* under = main->childAt(cutOut.center());
        QVERIFY(under && under != shown && !shown->isAncestorOf(under));
        if (tip == 2) {
            QVERIFY(!main->assistant()->isNewTemplate());
            // Shown as it is, inside the rounded edge.
            const QImage inside = main->grab(cutOut.adjusted(12, 12, -12, -12)).toImage();
            shown->hide();
            QCOMPARE(main->grab(cutOut.adjusted(12, 12, -12, -12)).toImage(), inside);
            shown->show();
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, main->mapTo(window.get(), cutOut.center()));
            settle();
            QVERIFY(main->assistant()->isNewTemplate()); // the click added a template
            QVERIFY(main->tourTipShown(2));
        }
        // Every control can be found by name.
        QVERIFY(!shown->accessibleName().isEmpty());
        QList<QAbstractButton*> buttons = shown->findChildren<QAbstractButton*>();
        if (tip == 3)
            buttons << sheet()->findChildren<QAbstractButton*>();
        for (auto* button : buttons)
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->text()));
    }

    void guideSheetCatchersOpenTheSlotsPanelsAndADropMovesItOn_data()
    {
        QTest::addColumn<int>("tag");
        QTest::newRow("start page") << 1;
        QTest::newRow("continuation page") << 2;
        QTest::newRow("terms page") << 3;
    }
    void guideSheetCatchersOpenTheSlotsPanelsAndADropMovesItOn()
    {
        QFETCH(int, tag);
        openWindow();
        RecordingUi ui;
        main->templateList()->addPatternWithSender(nullptr); // every slot empty
        WindowGuide* guide = showGuideSheet(window.get());
        QVERIFY(guide && guide->isVisible());
        QCOMPARE(showGuideSheet(window.get()), guide); // asked for again: the same sheet
        // Beside the slots, not over them: they still take drops.
        QWidget* slot = main->assistant()->slotContainer(tag);
        QVERIFY(!QRect(guide->pos(), guide->size()).intersects(QRect(slot->mapTo(window.get(), QPoint(0, 0)), slot->size())));
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
        settle();
        QCOMPARE(guide->contentViewController()->objectName(), QStringLiteral("guide")); // only a drop moves it on
        // A second click empties the slot again, asking nothing.
        ui.clear();
        QTest::mouseClick(catcher, Qt::LeftButton);
        QVERIFY(ui.calls.isEmpty());
        QCOMPARE(main->assistant()->source(kind), QString());
        QCOMPARE(main->assistant()->slotButton(tag)->state(), PreviewState::EMPTY);
        // A drop moves it on, once: the last scene stays.
        for (int drops = 1; drops <= 2; ++drops) {
            QVERIFY(fixture::drop(slot, pdf("letterhead")));
            settle();
            QCOMPARE(guide->contentViewController()->objectName(), QStringLiteral("guideDone"));
        }
        // "Save template" closes the sheet and confirms the assistant (which has a start page).
        QList<TemplateEdit> confirmed;
        connect(main, &MainViewController::templateConfirmed, this, [&](const TemplateEdit& e) { confirmed << e; });
        if (tag != 1)
            QVERIFY(fixture::drop(main->assistant()->startController, pdf("letterhead")));
        const auto buttons = guide->findChildren<QPushButton*>();
        const auto save = std::find_if(buttons.cbegin(), buttons.cend(),
                                       [](QPushButton* b) { return b->accessibleName() == "Save template now"; });
        QVERIFY(save != buttons.cend());
        main->assistant()->templateNameField->setText("Guided");
        QTest::mouseClick(*save, Qt::LeftButton);
        settle();
        QVERIFY(!sheet());
        QCOMPARE(confirmed.size(), 1);
        QCOMPARE(confirmed.first().source(PageKind::Start), pdf("letterhead"));
        QCOMPARE(ui.alerts(), QStringList());
    }
};

QTEST_MAIN(TestGuides)
#include "tst_guides.moc"
