// The preview window's controller with real widgets: the template choice by
// paper format, the page toggles and template changes, the strip's labels and
// selection, the offset hand-off to the editor, rebuilds that supersede each
// other and work from a snapshot, and closing while pages render.

#include "PreviewFixture.h"
#include "pdf/PdfChecks.h"
#include "controls/ProgressCircle.h"
#include "preview/CustomCollectionView.h"
#include "preview/PreviewScenes.h"
#include "support/RecordingUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

using namespace quillary;
using namespace previewtests;

struct TemplateRow {
    QString name;
    QString docFormat; // "" : no such key
    bool active = true;
};

struct ChoiceRow {
    QSizeF documentSize;
    QList<TemplateRow> templates;
    QStringList titles;
    QString chosen; // empty: none
};
Q_DECLARE_METATYPE(ChoiceRow)

struct ToggleRow {
    bool start, continuation, terms;
    int documentPages;
    QList<bool> enabled; // start, continuation, terms
    QStringList labels;
};
Q_DECLARE_METATYPE(ToggleRow)

struct LabelRow {
    int count;
    bool terms;
    QStringList labels;
};
Q_DECLARE_METATYPE(LabelRow)

struct HandOffRow {
    int selected;          // page selected in the strip
    bool continuationOn;   // the continuation toggle
    bool termsOn;          // the terms toggle
    bool opens;            // the editor opens (else the terms alert)
    bool firstPair;        // the editor gets and sets the first-page offsets
    QString stationery;    // "start", "continuation" or "" (none)
};
Q_DECLARE_METATYPE(HandOffRow)

class TestPreviewController : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initStore();
        registerPreviewScenes();
    }

    void templateChoiceByFormat_data()
    {
        const QList<TemplateRow> mixed{{"Zeta", "0"}, {"Alpha", "0"}, {"Letter", "1"}, {"Other", "99"}};
        const QStringList mixedTitles{"DIN A4 - Alpha", "DIN A4 - Zeta", "US Letter - Letter", "Undefined - Other"};
        pdfchecks::table<ChoiceRow>({
            {"A4 takes the first DIN A4 title", {testpdfs::A4Whole, mixed, mixedTitles, "Alpha"}},
            {"US Letter takes a US Letter template", {testpdfs::Letter, mixed, mixedTitles, "Letter"}},
            {"a square page takes an undefined one", {QSizeF(500, 500), mixed, mixedTitles, "Other"}},
            {"landscape A4 counts as A4", {testpdfs::A4Landscape, mixed, mixedTitles, "Alpha"}},
            {"a template without format counts as undefined",
             {QSizeF(500, 500), {{"Plain", ""}, {"Alpha", "0"}}, {"DIN A4 - Alpha", "Undefined - Plain"}, "Plain"}},
            {"a disabled template is neither listed nor chosen",
             {testpdfs::A4Whole, {{"Off", "0", false}, {"On", "1"}}, {"US Letter - On"}, ""}},
            {"a name with the separator is found whole",
             {testpdfs::A4Whole, {{"Sales - North", "0"}}, {"DIN A4 - Sales - North"}, "Sales - North"}},
        });
    }
    void templateChoiceByFormat()
    {
        const auto row = pdfchecks::fetch<ChoiceRow>();
        QList<TemplateRecord> records;
        for (const TemplateRow& entry : row.templates) {
            TemplateRecord record = makeTemplate(entry.name, entry.docFormat, true, false, false, entry.active);
            if (entry.docFormat.isEmpty())
                record.properties.remove(TemplateRecord::kDocFormat);
            records.append(record);
        }
        setTemplates(records);
        PreviewController preview(document(1, row.documentSize));
        preview.show();

        QStringList titles;
        for (int i = 0; i < preview.popUp->count(); ++i)
            titles << preview.popUp->itemText(i);
        QCOMPARE(titles, row.titles);
        QCOMPARE(preview.sortedKeys, row.titles);
        if (row.chosen.isEmpty()) {
            QVERIFY(!preview.selectedKey);
            QVERIFY(!preview.saveButton->isEnabled());
            QTest::qWait(100);
            QCOMPARE(preview.pages().count(), 0);
            QVERIFY(preview.collectionView->viewport()->findChild<QLabel*>()->isVisible());
            return;
        }
        QCOMPARE(preview.selectedKey.value_or(QString()), row.chosen);
        QVERIFY(preview.popUp->currentText().endsWith(QStringLiteral(" - ") + row.chosen));
        QVERIFY(waitForPreview(preview));
        QCOMPARE(preview.pages().count(), 1);
    }

    void togglesFollowTheTemplate_data()
    {
        pdfchecks::table<ToggleRow>({
            {"every page", {true, true, true, 3, {true, true, true},
                            {"Start page", "Follow pages", "...", "Terms of Service"}}},
            {"start page only", {true, false, false, 2, {true, false, false}, {"Start page", "Follow page"}}},
            {"terms page only", {false, false, true, 1, {false, false, true}, {"Start page", "Terms of Service"}}},
            {"no page at all", {false, false, false, 2, {false, false, false}, {"Start page", "Follow page"}}},
        });
    }
    void togglesFollowTheTemplate()
    {
        const auto row = pdfchecks::fetch<ToggleRow>();
        setTemplates({makeTemplate("T", "0", row.start, row.continuation, row.terms)});
        PreviewController preview(document(row.documentPages));
        preview.show();
        QVERIFY(waitForPreview(preview));
        const QList<QCheckBox*> toggles{preview.startButton, preview.contButton, preview.agbButton};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(toggles[i]->isEnabled(), row.enabled[i]);
            QCOMPARE(toggles[i]->isChecked(), row.enabled[i]);
        }
        QStringList labels;
        for (int i = 0; i < preview.collectionView->model()->rowCount(); ++i)
            labels << preview.collectionView->model()->index(i, 0).data().toString();
        QCOMPARE(labels, row.labels);
    }

    void labels_data()
    {
        pdfchecks::table<LabelRow>({
            {"one page", {1, false, {"Start page"}}},
            {"two pages without terms", {2, false, {"Start page", "Follow page"}}},
            {"two pages, the second the terms", {2, true, {"Start page", "Terms of Service"}}},
            {"three pages with terms", {3, true, {"Start page", "Follow page", "Terms of Service"}}},
            {"three pages without terms", {3, false, {"Start page", "Follow pages", "..."}}},
            {"five pages without terms", {5, false, {"Start page", "Follow pages", "...", "...", "..."}}},
        });
    }
    void labels()
    {
        const auto row = pdfchecks::fetch<LabelRow>();
        QStringList labels;
        for (int i = 0; i < row.count; ++i)
            labels << CustomCollectionView::pageLabel(i, row.count, row.terms);
        QCOMPARE(labels, row.labels);
    }

    // A toggle keeps the user's toggles and the offsets; another template sets
    // the toggles, the layer, the offsets and the selection anew; the same
    // template again changes nothing.
    void toggleAndTemplateChangeRules()
    {
        TemplateRecord full = makeTemplate("A full", "0", true, true, true, true, "0");
        TemplateRecord behind = makeTemplate("B behind", "0", true, false, true, true, "1");
        setTemplates({full, behind});
        PreviewController preview(document(3));
        preview.show();
        QVERIFY(waitForPreview(preview));
        QCOMPARE(preview.selectedKey.value_or(QString()), QStringLiteral("A full"));
        QVERIFY(preview.stationeryIsOverlay);
        QCOMPARE(preview.pages().count(), 4);

        preview.collectionView->setSelectedIndex(2);
        QCOMPARE(preview.selectedIndex, 2);
        preview.offXForContinualPage = 7;
        clickBox(preview.contButton);
        QCOMPARE(preview.selectedIndex, 0);
        QVERIFY(waitForPreview(preview));
        QVERIFY(preview.startButton->isChecked());
        QVERIFY(!preview.contButton->isChecked());
        QVERIFY(preview.agbButton->isChecked());
        QCOMPARE(preview.offXForContinualPage, 7.0);
        // Page 2 lost its green band, page 1 kept its red one.
        preview.collectionView->setSelectedIndex(1);
        QVERIFY(waitForPreview(preview));
        QCOMPARE(colourAt(preview.prevImage->image(), {300, 817}), 'W');
        preview.collectionView->setSelectedIndex(0);
        QVERIFY(waitForPreview(preview));
        QCOMPARE(colourAt(preview.prevImage->image(), {300, 817}), 'R');

        // The same template again: nothing changes.
        preview.collectionView->setSelectedIndex(3);
        preview.templateChosen(preview.popUp->currentIndex());
        QCOMPARE(preview.offXForContinualPage, 7.0);
        QCOMPARE(preview.selectedIndex, 3);
        QVERIFY(!preview.contButton->isChecked());

        // Another template, chosen from the keyboard.
        preview.popUp->setFocus();
        QTest::keyClick(preview.popUp, Qt::Key_Down);
        QCOMPARE(preview.selectedKey.value_or(QString()), QStringLiteral("B behind"));
        QCOMPARE(preview.offXForContinualPage, 0.0);
        QCOMPARE(preview.selectedIndex, 0);
        QVERIFY(!preview.stationeryIsOverlay); // "isOverlay" "1": stationery behind
        QVERIFY(waitForPreview(preview));
        QVERIFY(preview.startButton->isEnabled() && preview.startButton->isChecked());
        QVERIFY(!preview.contButton->isEnabled() && !preview.contButton->isChecked());
        QVERIFY(preview.agbButton->isEnabled() && preview.agbButton->isChecked());
    }

    void offsetHandOff_data()
    {
        pdfchecks::table<HandOffRow>({
            {"page 1 edits the first page", {0, true, true, true, true, "start"}},
            {"page 3 edits the following pages", {2, true, true, true, false, "continuation"}},
            {"without the continuation toggle there is no stationery", {1, false, true, true, false, ""}},
            {"the terms page is refused", {3, true, true, false, false, ""}},
            {"without the terms toggle the last page is a following page", {2, true, false, true, false, "continuation"}},
        });
    }
    void offsetHandOff()
    {
        const auto row = pdfchecks::fetch<HandOffRow>();
        setTemplates({makeTemplate("T", "0", true, true, true, true, "1")});
        RecordingUi ui;
        PreviewController preview(document(3));
        preview.show();
        QVERIFY(waitForPreview(preview));
        if (!row.continuationOn)
            clickBox(preview.contButton);
        if (!row.termsOn)
            clickBox(preview.agbButton);
        QVERIFY(waitForPreview(preview));
        preview.offXForFirstPage = 5, preview.offYForFirstPage = 6;
        preview.offXForContinualPage = 7, preview.offYForContinualPage = 8;
        preview.collectionView->setSelectedIndex(row.selected);

        QSignalSpy opened(&preview, &PreviewController::editorOpened);
        QTest::mouseClick(preview.offsetButton, Qt::LeftButton);
        if (!row.opens) {
            QCOMPARE(opened.count(), 0);
            QCOMPARE(ui.alerts(), QStringList{"Terms of Service cant moved|Can't edit Terms of Service"});
            return;
        }
        QCOMPARE(opened.count(), 1);
        QVERIFY(ui.alerts().isEmpty());
        auto* editor = opened.first().first().value<EditViewcontroller*>();
        QCOMPARE(editor->xOffset, row.firstPair ? 5.0 : 7.0);
        QCOMPARE(editor->yOffset, row.firstPair ? 6.0 : 8.0);
        QVERIFY(editor->stationaryBehindContent->isChecked()); // "isOverlay" "1"
        const QString expected = row.stationery.isEmpty() ? QString()
            : sharedStore().pagePath(row.stationery == "start" ? PageKind::Start : PageKind::Continuation,
                                     *sharedStore().templateNamed("T")->pageIndex(
                                         row.stationery == "start" ? PageKind::Start : PageKind::Continuation)).value();
        QCOMPARE(editor->overlayPath, expected);
        QVERIFY(editor->inputPath && QFileInfo::exists(*editor->inputPath));
        const QString input = *editor->inputPath;
        QCOMPARE(testpdfs::pageCount(input), 1);

        editor->xOffset = 30;
        editor->yOffset = -40;
        editor->stationaryBehindContent->setChecked(false);
        QTest::mouseClick(editor->acceptButton, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(input));
        if (row.firstPair) {
            QCOMPARE(std::pair(preview.offXForFirstPage, preview.offYForFirstPage), std::pair(30.0, -40.0));
            QCOMPARE(std::pair(preview.offXForContinualPage, preview.offYForContinualPage), std::pair(7.0, 8.0));
        } else {
            QCOMPARE(std::pair(preview.offXForContinualPage, preview.offYForContinualPage), std::pair(30.0, -40.0));
            QCOMPARE(std::pair(preview.offXForFirstPage, preview.offYForFirstPage), std::pair(5.0, 6.0));
        }
        QVERIFY(preview.stationeryIsOverlay);
        QCOMPARE(preview.selectedIndex, row.selected); // the selection stays on the page edited
        QVERIFY(waitForPreview(preview));
        // The square moved 30 right and 40 down on the page edited.
        const QImage page = preview.prevImage->image();
        QCOMPARE(colourAt(page, {160, 570}), 'K');
        QCOMPARE(colourAt(page, {110, 640}), 'W');
    }

    // A selection made on a longer strip while a shorter one is merged stays
    // within the shorter one.
    void selectionStaysWithinTheStrip()
    {
        setTemplates({makeTemplate("T", "0", true, true, true)});
        PreviewController preview(document(3));
        preview.show();
        QVERIFY(waitForPreview(preview));
        QCOMPARE(preview.pages().count(), 4);
        clickBox(preview.agbButton); // 3 pages to come
        preview.collectionView->setSelectedIndex(3);          // still the old strip
        QCOMPARE(preview.selectedIndex, 3);
        QVERIFY(waitForPreview(preview));
        QCOMPARE(preview.pages().count(), 3);
        QCOMPARE(preview.selectedIndex, 2);
        QCOMPARE(preview.prevImage->index(), 2);
        QCOMPARE(preview.statusLabel->text(), QStringLiteral("Page 3 of 3"));
        // The arrow keys move through the strip and stop at its end.
        preview.collectionView->setFocus();
        QTest::keyClick(preview.collectionView, Qt::Key_Left);
        QCOMPARE(preview.selectedIndex, 1);
        QTest::keyClick(preview.collectionView, Qt::Key_Right);
        QTest::keyClick(preview.collectionView, Qt::Key_Right);
        QCOMPARE(preview.selectedIndex, 2);
        QCOMPARE(preview.prevImage->index(), 2);
    }

    // Two rebuilds one after the other: only the newer one reaches the
    // screen, and each merges what was set when it started.
    void newerRebuildSupersedesOlder()
    {
        setTemplates({makeTemplate("T", "0", true, false, false)});
        PreviewController preview(document(400));
        preview.show();
        QVERIFY(waitForPreview(preview));

        QSignalSpy finished(&preview, &PreviewController::rebuildFinished);
        clickBox(preview.startButton); // off: no red band
        QVERIFY(spinUntil([&] { return preview.isRebuilding(); }));
        QVERIFY(preview.progressCircle->isAnimating());
        const quint64 older = preview.rebuildGeneration();
        clickBox(preview.startButton); // on again
        QVERIFY(spinUntil([&] { return preview.rebuildGeneration() == older + 1; }));
        QVERIFY2(preview.pages().generation() < older || !preview.pages().isComplete(),
                 "the older rebuild finished before the newer one started: use a longer document");
        QSignalSpy shown(&preview.pages(), &PreviewPages::presented);
        QVERIFY(waitForPreview(preview));
        for (const QList<QVariant>& call : std::as_const(shown))
            QVERIFY2(call.at(0).toULongLong() > older, "the superseded rebuild reached the screen");
        // Only the newer one finished, and well: the older one, stopped,
        // neither emptied the strip nor reported.
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(preview.pages().generation(), older + 1);
        QCOMPARE(colourAt(preview.prevImage->image(), {300, 817}), 'R');
        QVERIFY(!preview.progressCircle->isAnimating());

        // Changes after a rebuild started wait for their own rebuild.
        preview.rebuildPreview(*preview.selectedKey, preview.stationeryIsOverlay, true);
        QTRY_VERIFY(preview.isRebuilding());
        preview.offXForFirstPage = 200;
        preview.startButton->setChecked(false);
        QVERIFY(waitForPreview(preview));
        const QImage page = preview.prevImage->image();
        QCOMPARE(colourAt(page, {300, 817}), 'R');
        QCOMPARE(colourAt(page, {125, 625}), 'K');
    }

    void unreadableDocumentSaysSo()
    {
        setTemplates({makeTemplate("T", "99", true, false, false)});
        const QString notPdf = file("notes.pdf");
        QFile text(notPdf);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("just some text, no PDF");
        text.close();
        PreviewController preview(notPdf);
        preview.show();
        QSignalSpy finished(&preview, &PreviewController::rebuildFinished);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(preview.pages().count(), 0);
        auto* message = preview.collectionView->viewport()->findChild<QLabel*>();
        QVERIFY(message->isVisible());
        QCOMPARE(message->text(), QStringLiteral("The preview could not be made: "
                                                 "“notes.pdf” is damaged or not in a format Quillary can read."));
        QVERIFY(!preview.saveButton->isEnabled());
        QVERIFY(!preview.printButton->isEnabled());
        QVERIFY(!preview.isRebuilding());
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
        const QString doc = document(120);
        for (int round = 0; round < 3; ++round) {
            auto preview = std::make_unique<PreviewController>(doc);
            preview->show();
            if (waitMs > 0) {
                QTest::qWait(waitMs);
            } else if (waitMs < 0) {
                QVERIFY(waitForPreview(*preview));
                // Scrolled until renders wait in the queue.
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
        const QStringList scratch = QDir(file("store")).entryList({"tmp*", "prev*"}, QDir::Files);
        QVERIFY2(scratch.isEmpty(), qPrintable(scratch.join(", ")));
    }
};

QTEST_MAIN(TestPreviewController)
#include "tst_previewcontroller.moc"
