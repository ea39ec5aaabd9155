// The guides' parts: the click catchers' notifications, the segues and what
// they do to the guide window and the main view, "tourTrigger" moving the
// guide sheet on once per drop, the bobbing image, the configure action, and
// the video guide with and without a video it can play.

#include "guides/AnimatedImage.h"
#include "guides/DummyActionGetter.h"
#include "guides/FirstGuide.h"
#include "guides/GuideController.h"
#include "guides/Guides.h"
#include "guides/Segues.h"
#include "guides/VideoGuide.h"
#include "guides/WindowGuide.h"
#include "pdf/PdfChecks.h"
#include "platform/NotificationHub.h"
#include "platform/Storyboard.h"
#include "support/ManagementFixture.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/EditingViews.h"
#include "templates/MainViewController.h"
#include "templates/TemplateWindow.h"

#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSignalSpy>
#include <QVideoWidget>

using namespace quillary;

namespace {

struct Posted {
    QString name;
    QVariantMap userInfo;
};

// Everything posted while action runs.
QList<Posted> postsDuring(const std::function<void()>& action)
{
    QList<Posted> posted;
    auto connection = QObject::connect(&NotificationHub::instance(), &NotificationHub::posted,
                                       [&](const QString& name, const QVariantMap& info) { posted << Posted{name, info}; });
    action();
    QObject::disconnect(connection);
    return posted;
}

struct CatcherRow {
    int kind;       // 1 DummyActionGetter, 2 ...Second, 3 ...Third
    QString press;  // "mouse", "space", "click"
    QString name;
    int tag;
};

struct ReplaceRow {
    QString source;      // "list", "assistant", "elsewhere"
    bool assistant;      // the destination is a configuration assistant
    bool replaced;
};

struct BobRow {
    int steps;
    int y;               // where it rests afterwards (placed at y 50)
    bool toggle;
};

struct ConfigureRow {
    bool inGuideWindow;
    bool configureKnown;
    bool windowClosed;
    int clicks;
};

struct VideoRow {
    QString source;       // "resource", "missing", "damaged"
    bool backend;
    bool still;
    QString reason;       // a part of the still message
};

DummyActionGetter* makeCatcher(int kind, QWidget* parent)
{
    switch (kind) {
    case 1: return new DummyActionGetter(parent);
    case 2: return new DummyActionGetterSecond(parent);
    default: return new DummyActionGetterThird(parent);
    }
}

// Scenes counted as they are made and go away.
int scenesAlive = 0;

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
Q_DECLARE_METATYPE(ReplaceRow)
Q_DECLARE_METATYPE(BobRow)
Q_DECLARE_METATYPE(ConfigureRow)
Q_DECLARE_METATYPE(VideoRow)

class TestGuides : public QObject {
    Q_OBJECT

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
    void init() { fixture::resetTemplates({{"Alpha", fixture::pdf("alpha")}, {"Beta", fixture::pdf("beta")}}); }
    void cleanup()
    {
        VideoGuide::setMediaBackendProbe({});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void clickCatchersPostTheirSlot_data();
    void clickCatchersPostTheirSlot();
    void circleViewNamesTheSendersTag();
    void triggerSegueNeedsAGuideWindow();
    void tourTriggerMovesOnOneScenePerNotification();
    void replaceSegueLeavesOneAssistant_data();
    void replaceSegueLeavesOneAssistant();
    void imageBobsUpAndDown_data();
    void imageBobsUpAndDown();
    void configureClosesTheGuideAndClicks_data();
    void configureClosesTheGuideAndClicks();
    void videoGuide_data();
    void videoGuide();
    void videoRewindsAtItsEnd();
};

void TestGuides::clickCatchersPostTheirSlot_data()
{
    pdfchecks::table<CatcherRow>({
        {"start page, mouse", {1, "mouse", "circleView1", 1}},
        {"continuation page, mouse", {2, "mouse", "circleView2", 2}},
        {"terms page, mouse", {3, "mouse", "circleView3", 3}},
        {"terms page, space bar", {3, "space", "circleView3", 3}},
        {"continuation page, assistive press", {2, "click", "circleView2", 2}},
    });
}

void TestGuides::clickCatchersPostTheirSlot()
{
    const auto row = pdfchecks::fetch<CatcherRow>();
    QWidget window;
    window.resize(200, 200);
    auto* picture = new QWidget(&window);
    picture->setGeometry(20, 20, 60, 80);
    DummyActionGetter* catcher = makeCatcher(row.kind, picture);
    catcher->setGeometry(picture->rect());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!catcher->accessibleName().isEmpty());

    const QList<Posted> posted = postsDuring([&] {
        if (row.press == "mouse")
            QTest::mouseClick(catcher, Qt::LeftButton);
        else if (row.press == "space")
            QTest::keyClick(catcher, Qt::Key_Space);
        else
            catcher->click();
    });
    QCOMPARE(posted.size(), 1);
    QCOMPARE(posted.first().name, row.name);
    QCOMPARE(posted.first().userInfo.value("tag").toInt(), row.tag);
    QCOMPARE(posted.first().userInfo.value("window").value<QObject*>(), &window);
    // Another button does nothing.
    QVERIFY(postsDuring([&] { QTest::mouseClick(catcher, Qt::RightButton); }).isEmpty());
}

void TestGuides::circleViewNamesTheSendersTag()
{
    QWidget window;
    auto* guide = new FirstGuide(&window);
    QObject sender;
    sender.setProperty("tag", 2);
    const QList<Posted> posted = postsDuring([&] { guide->clickCircleViewWithSender(&sender); });
    QCOMPARE(posted.size(), 1);
    QCOMPARE(posted.first().name, QStringLiteral("circleView"));
    QCOMPARE(posted.first().userInfo.value("tag").toInt(), 2);
    QCOMPARE(posted.first().userInfo.value("window").value<QObject*>(), &window);
}

void TestGuides::triggerSegueNeedsAGuideWindow()
{
    // Not in a guide window: nothing happens, and the destination is not kept.
    {
        QWidget loose;
        auto* source = new QWidget(&loose);
        QPointer<QWidget> destination = new QLabel("next");
        QVERIFY(!TriggerSegue::perform(source, destination));
        QVERIFY(!destination);
    }
    QWidget host;
    host.resize(600, 500);
    CustomWindowGuide controller(&host);
    WindowGuide* window = controller.window();
    auto* first = new QLabel("first");
    window->setContentViewController(first);
    auto* inner = new QWidget(first);
    auto* second = new QLabel("second");
    QVERIFY(TriggerSegue::perform(inner, second));
    QCOMPARE(window->contentViewController(), second);
    QPointer<QLabel> gone = first;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);
    QCOMPARE(window->findChildren<QLabel*>().size(), 1);
}

void TestGuides::tourTriggerMovesOnOneScenePerNotification()
{
    QWidget host;
    host.resize(700, 600);
    host.show();
    auto* controller = new CustomWindowGuide(&host);
    WindowGuide* window = controller->window();
    window->setContentViewController(Storyboard::instantiateAs<QWidget>("test one"));
    controller->showWindow();
    QVERIFY(window->isVisible());

    const QStringList expected{"two", "three", "three", "three"};
    for (const QString& scene : expected) {
        NotificationHub::post("tourTrigger");
        QCOMPARE(window->contentViewController()->objectName(), scene);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(scenesAlive, 1); // the scenes passed go away
    }
    // Closing the window ends the guide: no scene listens any more.
    auto* guide = qobject_cast<GuideController*>(window->contentViewController());
    QSignalSpy segues(guide, &GuideController::seguePerformed);
    guide->dissmisSheetWithSender();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(scenesAlive, 0);
    NotificationHub::post("tourTrigger");
    QVERIFY(host.findChildren<WindowGuide*>().isEmpty());
}

void TestGuides::replaceSegueLeavesOneAssistant_data()
{
    pdfchecks::table<ReplaceRow>({
        {"from the list", {"list", true, true}},
        {"from the assistant shown", {"assistant", true, true}},
        {"from a view in another window", {"elsewhere", true, false}},
        {"with a destination that is no assistant", {"list", false, false}},
    });
}

void TestGuides::replaceSegueLeavesOneAssistant()
{
    const auto row = pdfchecks::fetch<ReplaceRow>();
    TemplateWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MainViewController* main = window.mainView();
    QPointer<ConfigurationAssistantController> before = main->assistant();
    QWidget other;
    QWidget* source = row.source == "list"        ? static_cast<QWidget*>(main->templateList())
                      : row.source == "assistant" ? static_cast<QWidget*>(before.data())
                                                  : &other;
    SharedData::isNewTemplate = true;
    SharedData::templateName.clear();
    QPointer<QWidget> destination = row.assistant ? static_cast<QWidget*>(new ConfigurationAssistantController)
                                                  : new QLabel("not an assistant");

    QCOMPARE(ReplaceSegue::perform(source, destination), row.replaced);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QList<QWidget*> children = main->childViewControllers();
    QCOMPARE(children.size(), 2);
    QCOMPARE(children.first(), main->templateList());
    QCOMPARE(main->templateConfigView->findChildren<ConfigurationAssistantController*>().size(), 1);
    if (row.replaced) {
        QCOMPARE(children.at(1), destination.data());
        QVERIFY(!before);
        QVERIFY(destination->isVisible());
    } else {
        QCOMPARE(children.at(1), before.data());
        QVERIFY(!destination); // not kept
    }
}

void TestGuides::imageBobsUpAndDown_data()
{
    pdfchecks::table<BobRow>({
        {"at rest", {0, 50, true}},
        {"one step: 20 up", {1, 30, false}},
        {"two steps: back", {2, 50, true}},
        {"five steps: up", {5, 30, false}},
    });
}

void TestGuides::imageBobsUpAndDown()
{
    const auto row = pdfchecks::fetch<BobRow>();
    QWidget host;
    host.resize(100, 100);
    auto* image = new AnimatedImage(&host);
    image->setGeometry(10, 50, 20, 20);
    QCOMPARE(image->timer().interval(), 700);
    QVERIFY(image->timer().isActive());
    QVERIFY(!image->timer().isSingleShot());
    for (int i = 0; i < row.steps; ++i) {
        image->animate();
        // Each step glides to its end before the next one.
        image->animator().setCurrentTime(image->animator().duration());
    }
    QCOMPARE(image->pos(), QPoint(10, row.y));
    QCOMPARE(image->target(), QPoint(10, row.y));
    QCOMPARE(image->toggle, row.toggle);
    // A step begun while the last one still glides goes from where that one ends.
    image->animate();
    image->animate();
    image->animator().setCurrentTime(image->animator().duration());
    QCOMPARE(image->pos(), QPoint(10, row.y));
}

void TestGuides::configureClosesTheGuideAndClicks_data()
{
    pdfchecks::table<ConfigureRow>({
        {"in the guide window", {true, true, true, 1}},
        {"in the guide window, no assistant", {true, false, true, 0}},
        {"in another view", {false, true, false, 1}},
    });
}

void TestGuides::configureClosesTheGuideAndClicks()
{
    const auto row = pdfchecks::fetch<ConfigureRow>();
    QWidget host;
    host.resize(600, 500);
    host.show();
    QPushButton configure("Save template", &host);
    QSignalSpy clicks(&configure, &QPushButton::clicked);
    EditingViews::configureButtonRef = row.configureKnown ? &configure : nullptr;
    auto* controller = new CustomWindowGuide(&host);
    QPointer<WindowGuide> window = controller->window();
    auto* guide = new FirstGuide;
    if (row.inGuideWindow)
        window->setContentViewController(guide);
    else
        guide->setParent(&host);
    controller->showWindow();

    guide->configurePrinterWithSender(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(!window, row.windowClosed);
    QCOMPARE(clicks.size(), row.clicks);
    EditingViews::configureButtonRef = nullptr;
}

void TestGuides::videoGuide_data()
{
    pdfchecks::table<VideoRow>({
        {"the clip", {"resource", true, false, ""}},
        {"no clip", {"missing", true, true, "not installed"}},
        {"a damaged clip", {"damaged", true, true, "cannot be played"}},
        {"no playback backend", {"resource", false, true, "cannot be played on this system"}},
    });
}

void TestGuides::videoGuide()
{
    const auto row = pdfchecks::fetch<VideoRow>();
    if (row.backend && row.source != "missing" && !VideoGuide::mediaBackendAvailable())
        QSKIP("Qt Multimedia has no playback backend here");
    if (!row.backend)
        VideoGuide::setMediaBackendProbe([] { return false; });
    QTemporaryDir dir;
    QString source = VideoGuide::defaultSource();
    if (row.source == "missing") {
        source = dir.filePath("quillary.mp4");
    } else if (row.source == "damaged") {
        source = dir.filePath("quillary.mp4");
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, '\x5a'));
    }
    QWidget window;
    window.resize(400, 300);
    auto* video = new VideoGuide(&window);
    video->setSource(source);
    video->setGeometry(10, 10, 332, 208);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (row.still) {
        QTRY_VERIFY(video->showsStill());
        QVERIFY2(video->stillMessage()->text().contains(row.reason), qPrintable(video->stillMessage()->text()));
        QTRY_VERIFY(!video->mediaPlayer());
        QVERIFY(!video->player() || !video->player()->isVisible());
        return;
    }
    QVERIFY(video->player() && video->mediaPlayer());
    QTRY_COMPARE(video->mediaPlayer()->playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(video->mediaPlayer()->duration() > 1000);
    QVERIFY(!video->showsStill());
    QVERIFY(video->mediaPlayer()->audioOutput() == nullptr); // no sound
    // Out of its window and back: a new player.
    QPointer<QMediaPlayer> first = video->mediaPlayer();
    window.hide();
    QVERIFY(!first);
    window.show();
    QVERIFY(video->mediaPlayer());
}

void TestGuides::videoRewindsAtItsEnd()
{
    if (!VideoGuide::mediaBackendAvailable())
        QSKIP("Qt Multimedia has no playback backend here");
    QWidget window;
    auto* video = new VideoGuide(&window);
    video->resize(332, 208);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QMediaPlayer* player = video->mediaPlayer();
    QVERIFY(player);
    QTRY_VERIFY(player->duration() > 1000);
    player->setPosition(player->duration() - 200);
    // The end of a pass: the player reports it, the guide rewinds on its own.
    QTRY_VERIFY_WITH_TIMEOUT(video->rewinds() >= 1, 10000);
    QTRY_VERIFY(player->position() < player->duration() - 200);
    QCOMPARE(player->playbackState(), QMediaPlayer::PlayingState);
}

QTEST_MAIN(TestGuides)
#include "tst_guides.moc"
