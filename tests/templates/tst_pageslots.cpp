// The page slots of the assistant: what a drop takes and refuses, the open
// panel with its checks, emptying a slot, and the thumbnail with its popover.

#include "pdf/TaskManager.h"
#include "platform/NotificationHub.h"
#include "preview/PDFPOPupPreview.h"
#include "support/ManagementFixture.h"
#include "pdf/PdfChecks.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/EditingViews.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateImageViewContainer.h"

#include <QEnterEvent>

using namespace quillary;
using fixture::pdf;

namespace {

struct DropRow {
    QString file;      // made by make()
    bool taken;
    QString alert;     // "title|text" of the one alert, or empty
};

struct PanelRow {
    bool throughCatcher; // the click came from a guide's click catcher
    std::optional<QString> chosen;
    bool taken;
    QString alert;
};

struct FrameRow { QSizeF page, box; QRectF frame; };
struct PopoverRow { QSizeF page; QSize popover; };

const QString kBackground = QStringLiteral("PDF with background|The content may not be displayed after printing "
                                           "because a white background has been detected");
const QString kUnknown = QStringLiteral("Unknown Format|Supported Formats");

int posts(const QString& name, const std::function<void()>& action)
{
    int count = 0;
    auto connection = QObject::connect(&NotificationHub::instance(), &NotificationHub::posted,
                                       [&](const QString& posted, const QVariantMap&) { count += posted == name; });
    action();
    QObject::disconnect(connection);
    return count;
}

} // namespace

Q_DECLARE_METATYPE(DropRow)
Q_DECLARE_METATYPE(PanelRow)
Q_DECLARE_METATYPE(FrameRow)
Q_DECLARE_METATYPE(PopoverRow)

class TestPageSlots : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigurationAssistantController> assistant;

private slots:
    void initTestCase() { fixture::setUpStore(); }
    void init()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha")}});
        assistant = std::make_unique<ConfigurationAssistantController>();
        assistant->resize(900, 600);
        assistant->show();
        QVERIFY(QTest::qWaitForWindowExposed(assistant.get()));
    }
    void cleanup() { assistant.reset(); }

    void dropTakesOnlyPdfFilesOfTheTwoFormats_data();
    void dropTakesOnlyPdfFilesOfTheTwoFormats();
    void openPanelChecksFormatAndBackground_data();
    void openPanelChecksFormatAndBackground();
    void emptyingSlotKeepsNothingButTheRememberedFile();
    void thumbnailIsFittedWithItsMargin_data();
    void thumbnailIsFittedWithItsMargin();
    void hoverShowsPopoverAndRemoveButton_data();
    void hoverShowsPopoverAndRemoveButton();
};

void TestPageSlots::dropTakesOnlyPdfFilesOfTheTwoFormats_data()
{
    pdfchecks::table<DropRow>({
        {"A4 portrait", {pdf("a4"), true, {}}},
        {"A4 landscape", {pdf("a4-landscape", {842, 595}), true, {}}},
        {"US Letter", {pdf("letter", {612, 792}), true, {}}},
        {"US Letter landscape", {pdf("letter-landscape", {792, 612}), true, {}}},
        {"853 points high", {pdf("a4-853", {595, 853}), true, {}}},
        {"white background warns, is taken", {pdf("white", testpdfs::A4Whole, true), true, kBackground}},
        {"854 points high", {pdf("a4-854", {595, 854}), false, {}}},
        {"600 x 842", {pdf("wide", {600, 842}), false, {}}},
        {"upper-case extension", {pdf("upper", testpdfs::A4Whole, false, "PDF"), false, {}}},
        {"other extension", {pdf("text", testpdfs::A4Whole, false, "txt"), false, {}}},
        {"no such file", {fixture::home().filePath("pdfs/missing.pdf"), false, {}}},
    });
}

void TestPageSlots::dropTakesOnlyPdfFilesOfTheTwoFormats()
{
    const auto row = pdfchecks::fetch<DropRow>();
    RecordingUi ui;
    // The continuation slot already holds a page: a refused drop must keep it.
    TemplateImageViewContainer* slot = assistant->continualController;
    QVERIFY(fixture::drop(slot, pdf("before")));
    QCOMPARE(assistant->source(PageKind::Continuation), pdf("before"));
    ui.clear();

    int triggers = 0;
    bool taken = false;
    triggers = posts("tourTrigger", [&] { taken = fixture::drop(slot, row.file); });
    QCOMPARE(taken, row.taken);
    QCOMPARE(ui.alerts(), row.alert.isEmpty() ? QStringList() : QStringList{row.alert});
    const QString expected = row.taken ? row.file : pdf("before");
    QCOMPARE(assistant->source(PageKind::Continuation), expected);
    QCOMPARE(SharedData::continualPagePath, expected);
    QCOMPARE(slot->filePath, expected);
    QCOMPARE(slot->tbi->path(), expected);
    QCOMPARE(triggers, row.taken ? 1 : 0);
    QCOMPARE(slot->button()->state(), PreviewState::IMAGE_IN);
    QCOMPARE(slot->button()->imageName(), QStringLiteral("button"));
    // The other slots are untouched.
    QCOMPARE(assistant->source(PageKind::Start), QString());
    QCOMPARE(assistant->source(PageKind::Terms), QString());

    // A drop that arrives without an accepted drag is judged the same way.
    if (!row.taken)
        QVERIFY(!fixture::drop(assistant->agbController, row.file, true));
    QCOMPARE(assistant->source(PageKind::Terms), QString());
}

void TestPageSlots::openPanelChecksFormatAndBackground_data()
{
    pdfchecks::table<PanelRow>({
        {"A4", {false, pdf("a4"), true, {}}},
        {"US Letter landscape", {false, pdf("letter-landscape", {792, 612}), true, {}}},
        {"unsupported size", {false, pdf("small", {600, 800}), false, kUnknown}},
        {"upper-case extension", {false, pdf("upper", testpdfs::A4Whole, false, "PDF"), false, kUnknown}},
        {"white background warns, is taken", {false, pdf("white", testpdfs::A4Whole, true), true, kBackground}},
        {"cancelled", {false, std::nullopt, false, {}}},
        {"catcher: size not checked", {true, pdf("small", {600, 800}), true, {}}},
        {"catcher: no background warning", {true, pdf("white", testpdfs::A4Whole, true), true, {}}},
        {"catcher: cancelled", {true, std::nullopt, false, {}}},
    });
}

void TestPageSlots::openPanelChecksFormatAndBackground()
{
    const auto row = pdfchecks::fetch<PanelRow>();
    RecordingUi ui;
    ui.openReplies.push_back(row.chosen);
    CircleView* button = assistant->slotButton(1);
    QCOMPARE(EditingViews::startCircle.data(), button);
    if (row.throughCatcher)
        NotificationHub::post("circleView1", {{"tag", 1}, {"window", QVariant::fromValue<QObject*>(assistant.get())}});
    else
        QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(ui.kinds().first(), QStringLiteral("open panel"));
    QCOMPARE(ui.calls.first().arguments, QStringList{"pdf"});
    QCOMPARE(ui.alerts(), row.alert.isEmpty() ? QStringList() : QStringList{row.alert});
    QCOMPARE(assistant->source(PageKind::Start), row.taken ? *row.chosen : QString());
    QCOMPARE(button->state(), row.taken ? PreviewState::IMAGE_IN : PreviewState::EMPTY);
    QCOMPARE(button->imageName(), row.taken ? QStringLiteral("button") : QStringLiteral("button_plus"));
    QCOMPARE(assistant->startController->showsPage(), row.taken);
    // Only the slot of the tag changes.
    QCOMPARE(assistant->source(PageKind::Continuation), QString());
}

void TestPageSlots::emptyingSlotKeepsNothingButTheRememberedFile()
{
    RecordingUi ui;
    TemplateImageViewContainer* slot = assistant->agbController;
    QVERIFY(fixture::drop(slot, pdf("terms")));
    QCOMPARE(assistant->source(PageKind::Terms), pdf("terms"));

    QTest::mouseClick(slot->button(), Qt::LeftButton);
    QCOMPARE(assistant->source(PageKind::Terms), QString());
    QCOMPARE(SharedData::agbPagePath, QString());
    QCOMPARE(slot->button()->state(), PreviewState::EMPTY);
    QCOMPARE(slot->button()->imageName(), QStringLiteral("button_plus"));
    QVERIFY(!slot->showsPage());
    QCOMPARE(slot->filePath, pdf("terms"));
    QVERIFY(ui.calls.isEmpty()); // emptying asks nothing

    // A click catcher empties a filled slot too.
    QVERIFY(fixture::drop(slot, pdf("terms")));
    NotificationHub::post("circleView3", {{"tag", 3}, {"window", QVariant::fromValue<QObject*>(assistant.get())}});
    QCOMPARE(assistant->source(PageKind::Terms), QString());
    QVERIFY(ui.calls.isEmpty());
}

void TestPageSlots::thumbnailIsFittedWithItsMargin_data()
{
    pdfchecks::table<FrameRow>({
        {"A4 landscape in 200 x 283", {{842, 595}, {200, 283}, {8, 78.83, 184, 125.33}}},
        {"A4 portrait in 200 x 283", {{595, 842}, {200, 283}, {8.01, 8, 183.98, 267}}},
        {"US Letter in a wide box", {{612, 792}, {400, 283}, {98.66, 8, 202.68, 267}}},
        {"A4 portrait in a narrow box", {{595, 842}, {100, 283}, {8, 78.74, 84, 125.51}}},
    });
}

void TestPageSlots::thumbnailIsFittedWithItsMargin()
{
    const auto row = pdfchecks::fetch<FrameRow>();
    const QRectF frame = thumbnailFrame(row.page, row.box);
    QCOMPARE(qRound(frame.x() * 100), qRound(row.frame.x() * 100));
    QCOMPARE(qRound(frame.y() * 100), qRound(row.frame.y() * 100));
    QCOMPARE(qRound(frame.width() * 100), qRound(row.frame.width() * 100));
    QCOMPARE(qRound(frame.height() * 100), qRound(row.frame.height() * 100));

    // In the slot: the thumbnail sits where the frame says for the slot's size.
    const QString file = pdf(QStringLiteral("frame-%1x%2").arg(row.page.width()).arg(row.page.height()), row.page);
    TemplateImageViewContainer* slot = assistant->startController;
    QVERIFY(slot->showPage(file));
    QCOMPARE(slot->tbi->geometry(), thumbnailFrame(row.page, QSizeF(slot->size())).toRect());
    QVERIFY(slot->tbi->isVisible());
}

void TestPageSlots::hoverShowsPopoverAndRemoveButton_data()
{
    QTest::addColumn<PopoverRow>("row");
    QTest::addColumn<bool>("inTour");
    QTest::newRow("A4 landscape") << PopoverRow{{842, 595}, {320, 226}} << false;
    QTest::newRow("A4 portrait") << PopoverRow{{595, 842}, {226, 320}} << false;
    QTest::newRow("US Letter") << PopoverRow{{612, 792}, {247, 320}} << false;
    QTest::newRow("during the tour: no popover") << PopoverRow{{595, 842}, {226, 320}} << true;
}

void TestPageSlots::hoverShowsPopoverAndRemoveButton()
{
    QFETCH(PopoverRow, row);
    QFETCH(bool, inTour);
    const QString file = pdf(QStringLiteral("hover-%1x%2").arg(row.page.width()).arg(row.page.height()), row.page);
    QCOMPARE(popoverSize(TaskManager::pageSize(file)), row.popover);

    TemplateImageViewContainer* slot = assistant->startController;
    QVERIFY(fixture::drop(slot, file));
    TemplateImageView* thumbnail = slot->tbi;
    if (inTour)
        NotificationHub::post("toggleIsInTourTip");
    QCOMPARE(thumbnail->isInTourTip, inTour);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), thumbnail->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(thumbnail, &enter);
    QVERIFY(thumbnail->isHovered());
    QCOMPARE(thumbnail->ns->isVisible(), !inTour);
    QCOMPARE(slot->button()->imageName(), inTour ? QStringLiteral("button") : QStringLiteral("X_button"));
    if (!inTour) {
        QCOMPARE(thumbnail->ns->path, file);
        QCOMPARE(thumbnail->ns->shownImage().deviceIndependentSize().toSize(), row.popover);
    }

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(thumbnail, &leave);
    QVERIFY(!thumbnail->isHovered());
    QVERIFY(!thumbnail->ns->isVisible());
    QCOMPARE(slot->button()->imageName(), QStringLiteral("button"));
    if (inTour)
        NotificationHub::post("toggleIsInTourTip");
}

QTEST_MAIN(TestPageSlots)
#include "tst_pageslots.moc"
