// The preview window and its offset editor with real widgets: the template
// choice by paper format, the page toggles, the strip's pages and their
// labels, template changes, the offset hand-off to the editor, rebuilds that
// supersede each other and work from a snapshot, and closing while pages
// render; in the editor, millimetres typed into its fields, the steppers, the
// help lines within their limits, the layer box with its white-background
// alert, accepting, and the extracted page deleted however the editor closes.

#include "PreviewFixture.h"
#include "pdf/PdfChecks.h"
#include "controls/ProgressCircle.h"
#include "controls/Stepper.h"
#include "preview/CustomCollectionView.h"
#include "preview/EditViewcontroller.h"
#include "preview/PreviewScenes.h"
#include "preview/RulerView.h"
#include "support/RecordingUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

using namespace quillary;
using namespace previewtests;

namespace {

struct Accepted : EditViewControllerDelegate {
    QList<std::tuple<bool, double, double>> calls;
    void didAcceptOffset(bool overlay, double x, double y) override { calls.append({overlay, x, y}); }
};

// The editor reads a millimetre as 17/6 points, a shade under 72/25.4.
constexpr double pointsPerMillimetre = 17.0 / 6;

} // namespace

struct FieldRow {
    bool yField;
    QString typed;                // keys typed into the emptied field; ↑ ↓ the arrow keys, ▲ ▼ its stepper
    QString shown;                // the field's text afterwards
    std::optional<double> points; // the offset afterwards; nothing: unchanged
};
Q_DECLARE_METATYPE(FieldRow)

struct LineRow {
    bool vertical;
    int to;       // position dragged to, in the page area
    int expected; // where the line sits
};
Q_DECLARE_METATYPE(LineRow)

struct TemplateRow {
    QString name;
    QString docFormat;        // "" : no such key
    bool active = true;
    QString pages = "S";      // its stationery: start, continuation, terms
};

struct ChoiceRow {
    QSizeF documentSize;
    int documentPages;        // 0: a text file named "notes.pdf"
    QList<TemplateRow> templates;
    QStringList titles;       // in the menu; empty: not looked at
    QString chosen;           // empty: none
    QStringList labels;       // the strip's pages
    QString message;          // the strip's message when it has no pages
};
Q_DECLARE_METATYPE(ChoiceRow)

struct HandOffRow {
    int selected;         // page selected in the strip
    bool continuationOn;  // the continuation toggle
    bool termsOn;         // the terms toggle
    bool opens;           // the editor opens (else the terms alert)
    bool firstPair;       // the editor gets and sets the first-page offsets
    std::optional<PageKind> stationery; // on the page edited
};
Q_DECLARE_METATYPE(HandOffRow)

class TestPreviewController : public QObject {
    Q_OBJECT

    // An editor on a fresh one-page copy of a document page, shown.
    std::unique_ptr<EditViewcontroller> open(double x = 5, double y = 5, bool whitePage = false, bool withStationery = true)
    {
        const QString input = sharedStore().scratchPath(StoreKey::Temporary);
        [&] { QVERIFY(testpdfs::writePdf(input, {{.rects = {{MarkRect, Black}}, .whiteBackground = whitePage}})); }();
        auto editor = std::make_unique<EditViewcontroller>();
        editor->xOffset = x;
        editor->yOffset = y;
        editor->inputPath = input;
        editor->overlayPath = withStationery ? stationeryFile(PageKind::Start) : QString();
        editor->documentFormat = FormatA4;
        editor->show();
        return editor;
    }

private slots:
    void initTestCase()
    {
        initStore();
        registerPreviewScenes();
        QLocale::setDefault(QLocale::c());
    }

    // The template is chosen by paper format; its pages set the toggles, and
    // the strip has a page for each document page and one for the terms,
    // labelled by their role.
    void templateChoiceAndStrip_data()
    {
        const QList<TemplateRow> mixed{{"Zeta", "0"}, {"Alpha", "0"}, {"Letter", "1"}, {"Other", "99"}};
        const QStringList mixedTitles{"DIN A4 - Alpha", "DIN A4 - Zeta", "US Letter - Letter", "Undefined - Other"};
        const QSizeF a4 = testpdfs::A4Whole;
        pdfchecks::table<ChoiceRow>({
            {"A4 takes the first DIN A4 title", {a4, 1, mixed, mixedTitles, "Alpha", {"Start page"}}},
            {"US Letter takes a US Letter template", {testpdfs::Letter, 1, mixed, mixedTitles, "Letter", {"Start page"}}},
            {"a square page takes an undefined one", {QSizeF(500, 500), 1, mixed, mixedTitles, "Other", {"Start page"}}},
            {"landscape A4 counts as A4", {testpdfs::A4Landscape, 1, mixed, mixedTitles, "Alpha", {"Start page"}}},
            {"a template without format counts as undefined",
             {QSizeF(500, 500), 1, {{"Plain", ""}, {"Alpha", "0"}}, {"DIN A4 - Alpha", "Undefined - Plain"}, "Plain", {"Start page"}}},
            {"a disabled template is neither listed nor chosen",
             {a4, 1, {{"Off", "0", false}, {"On", "1"}}, {"US Letter - On"}, "", {},
              "No template fits the paper format of this document. Choose one above."}},
            // Read before its format counts: no template is put in use for it.
            {"a document that is no PDF", {{}, 0, {{"T", "99"}}, {}, "", {},
                                           "The preview could not be made: “notes.pdf” is damaged or not in a format Quillary can read."}},
            {"a name with the separator is found whole",
             {a4, 1, {{"Sales - North", "0"}}, {"DIN A4 - Sales - North"}, "Sales - North", {"Start page"}}},
            {"every page, one document page", {a4, 1, {{"T", "0", true, "SCT"}}, {}, "T", {"Start page", "Terms of Service"}}},
            {"every page, two document pages",
             {a4, 2, {{"T", "0", true, "SCT"}}, {}, "T", {"Start page", "Follow page", "Terms of Service"}}},
            {"every page, four document pages",
             {a4, 4, {{"T", "0", true, "SCT"}}, {}, "T", {"Start page", "Follow pages", "...", "...", "Terms of Service"}}},
            {"start page only, three document pages", {a4, 3, {{"T", "0"}}, {}, "T", {"Start page", "Follow pages", "..."}}},
            {"no page at all", {a4, 2, {{"T", "0", true, ""}}, {}, "T", {"Start page", "Follow page"}}},
        });
    }
    void templateChoiceAndStrip()
    {
        const auto row = pdfchecks::fetch<ChoiceRow>();
        QList<TemplateRecord> records;
        QString pages; // of the template chosen
        for (const TemplateRow& entry : row.templates) {
            records << makeTemplate(entry.name, entry.docFormat, entry.pages.contains('S'), entry.pages.contains('C'),
                                    entry.pages.contains('T'), entry.active);
            if (entry.docFormat.isEmpty())
                records.last().properties.remove(TemplateRecord::kDocFormat);
            if (entry.name == row.chosen)
                pages = entry.pages;
        }
        setTemplates(records);
        QFile notes(file("notes.pdf"));
        QVERIFY(row.documentPages || (notes.open(QIODevice::WriteOnly) && notes.write("just some text, no PDF") > 0));
        notes.close();
        PreviewController preview(row.documentPages ? document(row.documentPages, row.documentSize) : notes.fileName());
        preview.show();
        QStringList titles;
        for (int i = 0; i < preview.popUp->count(); ++i)
            titles << preview.popUp->itemText(i);
        if (!row.titles.isEmpty())
            QCOMPARE(titles, row.titles);
        QCOMPARE(preview.selectedKey.value_or(QString()), row.chosen);
        if (row.labels.isEmpty()) { // nothing merged, nothing to save or print, and the strip says why
            QTRY_VERIFY(!preview.isRebuilding());
            QTest::qWait(100);
            QVERIFY(!preview.saveButton->isEnabled() && !preview.printButton->isEnabled());
            QCOMPARE(preview.pages().count(), 0);
            QVERIFY(preview.collectionView->viewport()->findChild<QLabel*>()->isVisible());
            QCOMPARE(preview.collectionView->viewport()->findChild<QLabel*>()->text(), row.message);
            return;
        }
        QVERIFY(preview.popUp->currentText().endsWith(" - " + row.chosen));
        QVERIFY(waitForPreview(preview));
        for (int i = 0; i < 3; ++i) {
            QAbstractButton* toggle = QList<QAbstractButton*>{preview.startButton, preview.contButton, preview.agbButton}[i];
            QCOMPARE(toggle->isEnabled(), pages.contains("SCT"[i]));
            QCOMPARE(toggle->isChecked(), pages.contains("SCT"[i]));
        }
        QStringList labels;
        for (int i = 0; i < preview.collectionView->model()->rowCount(); ++i)
            labels << preview.collectionView->model()->index(i, 0).data().toString();
        QCOMPARE(labels, row.labels);
    }

    // A toggle keeps the user's toggles and the offsets and selects the first
    // page; another template sets the toggles, the layer, the offsets and the
    // selection anew; the same template again changes nothing.
    void toggleAndTemplateChangeRules()
    {
        setTemplates({makeTemplate("A full", "0", true, true, true, true, "0"),
                      makeTemplate("B behind", "0", true, false, true, true, "1")});
        auto preview = openPreview(document(3));
        QCOMPARE(preview->selectedKey.value_or(QString()), QStringLiteral("A full"));
        QVERIFY(preview->stationeryIsOverlay);
        QCOMPARE(preview->pages().count(), 4);

        preview->collectionView->setSelectedIndex(2);
        preview->offXForContinualPage = 7;
        clickBox(preview->contButton);
        QCOMPARE(preview->selectedIndex, 0);
        QVERIFY(waitForPreview(*preview));
        QVERIFY(preview->startButton->isChecked() && !preview->contButton->isChecked() && preview->agbButton->isChecked());
        QCOMPARE(preview->offXForContinualPage, 7.0);
        // Page 2 lost its green band, page 1 kept its red one.
        for (const auto& [page, colour] : {std::pair{1, 'W'}, {0, 'R'}}) {
            preview->collectionView->setSelectedIndex(page);
            QVERIFY(waitForPreview(*preview));
            QCOMPARE(colourAt(preview->prevImage->image(), {300, 817}), colour);
        }

        // The same template again: nothing changes.
        preview->collectionView->setSelectedIndex(3);
        preview->templateChosen(preview->popUp->currentIndex());
        QCOMPARE(preview->offXForContinualPage, 7.0);
        QCOMPARE(preview->selectedIndex, 3);
        QVERIFY(!preview->contButton->isChecked());

        // A selection made on the longer strip while a shorter one is merged
        // stays within the shorter one; the arrow keys stop at its end.
        clickBox(preview->agbButton);
        preview->collectionView->setSelectedIndex(3);
        QCOMPARE(preview->selectedIndex, 3);
        QVERIFY(waitForPreview(*preview));
        QCOMPARE(preview->pages().count(), 3);
        QCOMPARE(preview->statusLabel->text(), QStringLiteral("Page 3 of 3"));
        preview->collectionView->setFocus();
        QTest::keyClick(preview->collectionView, Qt::Key_Left);
        QCOMPARE(preview->selectedIndex, 1);
        QTest::keyClick(preview->collectionView, Qt::Key_Right);
        QTest::keyClick(preview->collectionView, Qt::Key_Right);
        QCOMPARE(std::pair(preview->selectedIndex, preview->prevImage->index()), std::pair(2, 2));

        // Another template, chosen from the keyboard: its toggles, all on.
        preview->popUp->setFocus();
        QTest::keyClick(preview->popUp, Qt::Key_Down);
        QCOMPARE(preview->selectedKey.value_or(QString()), QStringLiteral("B behind"));
        QCOMPARE(preview->offXForContinualPage, 0.0);
        QCOMPARE(preview->selectedIndex, 0);
        QVERIFY(!preview->stationeryIsOverlay); // "isOverlay" "1": stationery behind
        QVERIFY(waitForPreview(*preview));
        QVERIFY(preview->startButton->isEnabled() && preview->startButton->isChecked());
        QVERIFY(!preview->contButton->isEnabled() && !preview->contButton->isChecked());
        QVERIFY(preview->agbButton->isEnabled() && preview->agbButton->isChecked());
    }

    void offsetHandOff_data()
    {
        pdfchecks::table<HandOffRow>({
            {"page 1 edits the first page", {0, true, true, true, true, PageKind::Start}},
            {"page 3 edits the following pages", {2, true, true, true, false, PageKind::Continuation}},
            {"without the continuation toggle there is no stationery", {1, false, true, true, false, std::nullopt}},
            {"the terms page is refused", {3, true, true, false, false, std::nullopt}},
            {"without the terms toggle the last page is a following page",
             {2, true, false, true, false, PageKind::Continuation}},
        });
    }
    void offsetHandOff()
    {
        const auto row = pdfchecks::fetch<HandOffRow>();
        setTemplates({makeTemplate("T", "0", true, true, true, true, "1")});
        RecordingUi ui;
        auto preview = openPreview(document(3));
        if (!row.continuationOn)
            clickBox(preview->contButton);
        if (!row.termsOn)
            clickBox(preview->agbButton);
        QVERIFY(waitForPreview(*preview));
        preview->offXForFirstPage = 5, preview->offYForFirstPage = 6;
        preview->offXForContinualPage = 7, preview->offYForContinualPage = 8;
        preview->collectionView->setSelectedIndex(row.selected);

        QSignalSpy opened(preview.get(), &PreviewController::editorOpened);
        QTest::mouseClick(preview->offsetButton, Qt::LeftButton);
        QCOMPARE(opened.count(), int(row.opens));
        QCOMPARE(ui.alerts(), row.opens ? QStringList() : QStringList{"Terms of Service cant moved|Can't edit Terms of Service"});
        if (!row.opens)
            return;
        auto* editor = opened.first().first().value<EditViewcontroller*>();
        QCOMPARE(std::pair(editor->xOffset, editor->yOffset), row.firstPair ? std::pair(5.0, 6.0) : std::pair(7.0, 8.0));
        QVERIFY(editor->stationaryBehindContent->isChecked()); // "isOverlay" "1"
        const QString input = editor->inputPath.value_or(QString());
        QCOMPARE(testpdfs::pageCount(input), 1);
        // The editor shows the page with its stationery and follows the
        // offsets typed: the square moves, the stationery stays.
        QSignalSpy refreshed(editor, &EditViewcontroller::previewRefreshed);
        QVERIFY(refreshed.wait(10000));
        const char band = !row.stationery ? 'W' : row.stationery == PageKind::Start ? 'R' : 'G';
        QCOMPARE(colourAt(editor->previewImage(), {300, 817}), band);
        QCOMPARE(colourAt(editor->previewImage(), {125, 625}), 'K');
        editor->xField->setText(QStringLiteral("100"));
        editor->applyField(editor->xField);
        QVERIFY(refreshed.wait(10000));
        QCOMPARE(colourAt(editor->previewImage(), {125, 625}), 'W');
        QCOMPARE(colourAt(editor->previewImage(), {125 + 100 * pointsPerMillimetre, 625}), 'K');
        QCOMPARE(colourAt(editor->previewImage(), {300, 817}), band);

        editor->yOffset = -40;
        editor->stationaryBehindContent->setChecked(false);
        QTest::mouseClick(editor->acceptButton, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(input));
        // The offsets typed and set reach the pair of the page edited; the other pair stays.
        const double x = row.firstPair ? preview->offXForFirstPage : preview->offXForContinualPage;
        QVERIFY2(qAbs(x - 100 * pointsPerMillimetre) < 1e-4, qPrintable(QString::number(x)));
        QCOMPARE(row.firstPair ? preview->offYForFirstPage : preview->offYForContinualPage, -40.0);
        QCOMPARE(row.firstPair ? std::pair(preview->offXForContinualPage, preview->offYForContinualPage)
                               : std::pair(preview->offXForFirstPage, preview->offYForFirstPage),
                 row.firstPair ? std::pair(7.0, 8.0) : std::pair(5.0, 6.0));
        QVERIFY(preview->stationeryIsOverlay);
        QCOMPARE(preview->selectedIndex, row.selected); // the selection stays on the page edited
        QVERIFY(waitForPreview(*preview));
        // The square moved 100 mm right and 40 points down on the page edited.
        QCOMPARE(colourAt(preview->prevImage->image(), {400, 570}), 'K');
        QCOMPARE(colourAt(preview->prevImage->image(), {110, 640}), 'W');
    }

    // Two rebuilds one after the other: only the newer one reaches the
    // screen, and each merges what was set when it started.
    void newerRebuildSupersedesOlder()
    {
        setTemplates({makeTemplate("T", "0", true, false, false)});
        auto preview = openPreview(document(400));
        QSignalSpy finished(preview.get(), &PreviewController::rebuildFinished);
        clickBox(preview->startButton); // off: no red band
        QVERIFY(spinUntil([&] { return preview->isRebuilding(); }));
        QVERIFY(preview->progressCircle->isAnimating());
        const quint64 older = preview->rebuildGeneration();
        clickBox(preview->startButton); // on again
        QVERIFY(spinUntil([&] { return preview->rebuildGeneration() == older + 1; }));
        QVERIFY2(preview->pages().generation() < older || !preview->pages().isComplete(),
                 "the older rebuild finished before the newer one started: use a longer document");
        QSignalSpy shown(&preview->pages(), &PreviewPages::presented);
        QVERIFY(waitForPreview(*preview));
        for (const QList<QVariant>& call : std::as_const(shown))
            QVERIFY2(call.at(0).toULongLong() > older, "the superseded rebuild reached the screen");
        // Only the newer one finished, and well: the older one, stopped,
        // neither emptied the strip nor reported.
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(preview->pages().generation(), older + 1);
        QCOMPARE(colourAt(preview->prevImage->image(), {300, 817}), 'R');
        QVERIFY(!preview->progressCircle->isAnimating());

        // Changes after a rebuild started wait for their own rebuild.
        preview->rebuildPreview(*preview->selectedKey, preview->stationeryIsOverlay, true);
        QTRY_VERIFY(preview->isRebuilding());
        preview->offXForFirstPage = 200;
        QVERIFY(waitForPreview(*preview));
        QCOMPARE(colourAt(preview->prevImage->image(), {300, 817}), 'R');
        QCOMPARE(colourAt(preview->prevImage->image(), {125, 625}), 'K');
    }

    // Closing the window at any moment of a rebuild: no crash, no scratch
    // file left behind.
    void closingWhileThumbnailsRender_data()
    {
        QTest::addColumn<int>("waitMs");
        QTest::newRow("before anything is merged") << 0;
        QTest::newRow("while the first pages come") << 40;
        QTest::newRow("while the strip scrolls") << -1;
    }
    void closingWhileThumbnailsRender()
    {
        QFETCH(int, waitMs);
        setTemplates({makeTemplate("T", "0", true, true, true)});
        for (int round = 0; round < 3; ++round) {
            auto preview = std::make_unique<PreviewController>(document(120));
            preview->show();
            QTest::qWait(std::max(waitMs, 0));
            if (waitMs < 0) { // scrolled until renders wait in the queue
                QVERIFY(waitForPreview(*preview));
                QScrollBar* bar = preview->collectionView->horizontalScrollBar();
                int step = 0;
                QVERIFY(spinUntil([&] {
                    bar->setValue(bar->maximum() * (++step % 7) / 6);
                    QCoreApplication::processEvents();
                    return preview->pages().renderer().pendingCount() > 0;
                }));
            }
            preview.reset();
            QCoreApplication::processEvents(); // whatever was queued for the window finds it gone
        }
        QVERIFY2(scratchFiles().isEmpty(), qPrintable(scratchFiles().join(", ")));
    }

    // ---- the offset editor ----

    void millimetresTyped_data()
    {
        pdfchecks::table<FieldRow>({
            {"10 in y", {true, "10", "10.00", 10 * pointsPerMillimetre}},
            {"10,5 in x", {false, "10,5", "10.50", 10.5 * pointsPerMillimetre}},
            {"past the limit stops at it", {false, "600", "500.00", 500 * pointsPerMillimetre}},
            {"past the limit downwards", {true, "-600", "-500.00", -500 * pointsPerMillimetre}},
            {"-5 in y moves down", {true, "-5", "-5.00", -5 * pointsPerMillimetre}},
            {"-5 in x moves left", {false, "-5", "-5.00", -5 * pointsPerMillimetre}},
            {"empty keeps the offset", {true, "", "1.76", std::nullopt}},
            {"a lone minus keeps the offset", {false, "-", "1.76", std::nullopt}},
            {"letters are refused as typed", {false, "1a2", "12.00", 12 * pointsPerMillimetre}},
            {"only letters leave the field empty", {true, "abc", "1.76", std::nullopt}},
            // Stepping starts from the offset in force, half a millimetre a step.
            {"arrow keys step x", {false, "↑↑", "2.76", 2.76 * pointsPerMillimetre}},
            {"the stepper steps y", {true, "▼", "1.26", 1.26 * pointsPerMillimetre}},
            {"the stepper steps x", {false, "▲▲", "2.76", 2.76 * pointsPerMillimetre}},
            {"arrow down in y", {true, "↓", "1.26", 1.26 * pointsPerMillimetre}},
        });
    }
    void millimetresTyped()
    {
        const auto row = pdfchecks::fetch<FieldRow>();
        auto editor = open(5, 5);
        QLineEdit* field = row.yField ? editor->yField : editor->xField;
        QCOMPARE(field->text(), QStringLiteral("1.76")); // 5 points, as they stand
        QSignalSpy refreshed(editor.get(), &EditViewcontroller::previewRefreshed);
        QVERIFY(refreshed.wait(10000)); // the first preview
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        Stepper* stepper = row.yField ? editor->yStepper : editor->xStepper;
        for (const QChar key : row.typed) {
            if (key == u'↑' || key == u'↓')
                QTest::keyClick(field, key == u'↑' ? Qt::Key_Up : Qt::Key_Down);
            else if (key == u'▲' || key == u'▼')
                QTest::mouseClick(key == u'▲' ? stepper->upButton() : stepper->downButton(), Qt::LeftButton);
            else
                QTest::keyClick(field, key.toLatin1());
        }
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->text(), row.shown);
        QCOMPARE(row.yField ? editor->xOffset : editor->yOffset, 5.0);
        const double changed = row.yField ? editor->yOffset : editor->xOffset;
        QVERIFY2(qAbs(changed - row.points.value_or(5.0)) < 1e-4, qPrintable(QString::number(changed)));
        if (row.points)
            QVERIFY(refreshed.wait(10000));
    }

    void helpLinesStayWithinTheirLimits_data()
    {
        pdfchecks::table<LineRow>({
            {"vertical, far right", {true, 700, 519}},
            {"vertical, far left", {true, -50, 7}},
            {"horizontal, above the top", {false, 2, 5}},
            {"horizontal, below the bottom", {false, 900, 651}},
        });
    }
    void helpLinesStayWithinTheirLimits()
    {
        const auto row = pdfchecks::fetch<LineRow>();
        auto editor = open();
        const QPoint onBox(8, editor->helpLines->height() / 2);
        QVERIFY(!editor->left->isVisible());
        QTest::mouseClick(editor->helpLines, Qt::LeftButton, {}, onBox);
        QVERIFY(editor->left->isVisible() && editor->down->isVisible());
        RulerView* line = row.vertical ? editor->right : editor->down;
        const int across = row.vertical ? line->y() : line->x();
        const QPoint press(RulerView::kThickness / 2, 10);
        QMouseEvent down(QEvent::MouseButtonPress, press, line->mapToGlobal(press), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(line, &down);
        const QPoint local = line->mapFromParent(row.vertical ? QPoint(row.to, 10) : QPoint(10, row.to));
        QMouseEvent move(QEvent::MouseMove, local, line->mapToGlobal(local), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(line, &move);
        QCOMPARE(line->position(), row.expected);
        QCOMPARE(row.vertical ? line->y() : line->x(), across); // only along its own axis
        QCOMPARE(editor->xOffset, 5.0);                          // a guide, not an offset
        QTest::mouseClick(editor->helpLines, Qt::LeftButton, {}, onBox);
        QVERIFY(!line->isVisible());
    }

    void layerBoxWarnsOfWhiteBackgrounds_data()
    {
        QTest::addColumn<bool>("whitePage");
        QTest::addColumn<bool>("check"); // the click checks the box (else unchecks it)
        QTest::addColumn<bool>("alert");
        QTest::newRow("checking on a white page warns") << true << true << true;
        QTest::newRow("unchecking never warns") << true << false << false;
        QTest::newRow("checking on a page without a white fill") << false << true << false;
    }
    void layerBoxWarnsOfWhiteBackgrounds()
    {
        QFETCH(bool, whitePage);
        QFETCH(bool, check);
        QFETCH(bool, alert);
        RecordingUi ui;
        auto editor = open(0, 0, whitePage);
        editor->stationaryBehindContent->setChecked(!check);
        clickBox(editor->stationaryBehindContent);
        QCOMPARE(editor->stationaryBehindContent->isChecked(), check);
        QCOMPARE(ui.alerts(), alert ? QStringList{"Background in the document|The stationery may not be displayed because a "
                                                  "white background has been detected in the created document"}
                                    : QStringList());
        // Without stationery there is no layer to choose.
        QVERIFY(!open(0, 0, whitePage, false)->stationaryBehindContent->isEnabled());
    }

    // Accepting reports the offsets in force and the layer; the page made for
    // the editor and every preview scratch file are gone however the editor
    // closes, even while its preview merges.
    void acceptAndClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("accept") << "accept";
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("window closed") << "close";
        QTest::newRow("destroyed while its preview merges") << "destroy";
    }
    void acceptAndClose()
    {
        QFETCH(QString, how);
        Accepted delegate;
        auto editor = open(5, 5);
        editor->delegate = &delegate;
        editor->stationaryBehindContent->setChecked(true);
        editor->yField->setText(QStringLiteral("10"));
        editor->applyField(editor->yField);
        const QString input = *editor->inputPath;
        QVERIFY(QFileInfo::exists(input));
        if (how == "accept")
            QTest::mouseClick(editor->acceptButton, Qt::LeftButton);
        else if (how == "cancel")
            QTest::mouseClick(editor->cancelButton, Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(editor.get(), Qt::Key_Escape);
        else if (how == "close")
            editor->close();
        else
            for (int i = 0; i < 5; ++i) // still merging when it goes
                editor->refreshPreview();
        if (how != "destroy")
            QVERIFY(!editor->isVisible() && !QFileInfo::exists(input));
        editor.reset();
        QCoreApplication::processEvents();
        QVERIFY(!QFileInfo::exists(input));
        QVERIFY2(scratchFiles().isEmpty(), qPrintable(scratchFiles().join(", ")));
        QCOMPARE(delegate.calls.size(), int(how == "accept"));
        if (how == "accept") {
            const auto [overlay, x, y] = delegate.calls.first();
            QCOMPARE(overlay, false); // checked: stationery behind
            QCOMPARE(x, 5.0);         // untouched: exactly as handed in
            QVERIFY(qAbs(y - 10 * pointsPerMillimetre) < 1e-4);
        }
    }

};

QTEST_MAIN(TestPreviewController)
#include "tst_previewcontroller.moc"
