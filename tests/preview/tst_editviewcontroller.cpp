// The offset editor with real widgets: millimetres typed into its fields, the
// steppers, the help lines within their limits, the layer box with its
// white-background alert, accepting, and the extracted page deleted however
// the editor closes.

#include "PreviewFixture.h"
#include "controls/Stepper.h"
#include "pdf/PdfChecks.h"
#include "preview/EditViewcontroller.h"
#include "preview/RulerView.h"
#include "support/RecordingUi.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

using namespace quillary;
using namespace previewtests;

namespace {

struct Accepted : EditViewControllerDelegate {
    QList<std::tuple<bool, double, double>> calls;
    void didAcceptOffset(bool overlay, double x, double y) override { calls.append({overlay, x, y}); }
};

} // namespace

struct FieldRow {
    bool yField;
    QString typed;           // keys typed into the emptied field
    QString shown;           // the field's text afterwards
    std::optional<double> points; // the offset afterwards; nothing: unchanged
};
Q_DECLARE_METATYPE(FieldRow)

struct LineRow {
    bool vertical;
    int to;       // position dragged to, in the page area
    int expected; // where the line sits
};
Q_DECLARE_METATYPE(LineRow)

struct LayerRow {
    bool whitePage;
    bool check; // the click checks the box (else unchecks it)
    bool alert;
};
Q_DECLARE_METATYPE(LayerRow)

class TestEditViewcontroller : public QObject {
    Q_OBJECT

    // An editor on a fresh one-page copy of a document page, shown.
    std::unique_ptr<EditViewcontroller> open(double x = 5, double y = 5, bool whitePage = false,
                                             bool withStationery = true)
    {
        const QString input = sharedStore().scratchPath(StoreKey::Temporary);
        testpdfs::TestPage page{.rects = {{MarkRect, Black}}, .whiteBackground = whitePage};
        [&] { QVERIFY(testpdfs::writePdf(input, {page})); }();
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
        QLocale::setDefault(QLocale::c());
    }

    void millimetresTyped_data()
    {
        pdfchecks::table<FieldRow>({
            {"10 in y", {true, "10", "10.00", 10 * 17.0 / 6}},
            {"10,5 in x", {false, "10,5", "10.50", 29.75}},
            {"-5 in y moves down", {true, "-5", "-5.00", -5 * 17.0 / 6}},
            {"-5 in x moves left", {false, "-5", "-5.00", -5 * 17.0 / 6}},
            {"empty keeps the offset", {true, "", "1.76", std::nullopt}},
            {"a lone minus keeps the offset", {false, "-", "1.76", std::nullopt}},
            {"letters are refused as typed", {false, "1a2", "12.00", 12 * 17.0 / 6}},
            {"only letters leave the field empty", {true, "abc", "1.76", std::nullopt}},
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
        QTest::keyClicks(field, row.typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->text(), row.shown);
        const double other = 5;
        const double changed = row.yField ? editor->yOffset : editor->xOffset;
        const double unchanged = row.yField ? editor->xOffset : editor->yOffset;
        QCOMPARE(unchanged, other);
        if (row.points) {
            QVERIFY(qAbs(changed - *row.points) < 1e-4);
            QVERIFY(refreshed.wait(10000));
        } else {
            QCOMPARE(changed, 5.0);
        }
    }

    // Text that reached the field some other way than typing.
    void textThatIsNoNumberKeepsTheOffset()
    {
        auto editor = open(0, 0);
        editor->xField->setText(QStringLiteral("12a"));
        editor->applyField(editor->xField);
        QCOMPARE(editor->xOffset, 0.0);
        QCOMPARE(editor->xField->text(), QStringLiteral("0.00"));
    }

    void steppersStepTheirField()
    {
        auto editor = open(0, 0);
        QTest::mouseClick(editor->xStepper->upButton(), Qt::LeftButton);
        QTest::mouseClick(editor->xStepper->upButton(), Qt::LeftButton);
        QCOMPARE(editor->xField->text(), QStringLiteral("1.00"));
        QCOMPARE(editor->xOffset, 17.0 / 6);
        QTest::mouseClick(editor->yStepper->downButton(), Qt::LeftButton);
        QCOMPARE(editor->yField->text(), QStringLiteral("-0.50"));
        QVERIFY(qAbs(editor->yOffset + 0.5 * 17 / 6) < 1e-6);
        QCOMPARE(editor->xOffset, 17.0 / 6);
        // The arrow keys in a field step it too.
        editor->yField->setFocus();
        QTest::keyClick(editor->yField, Qt::Key_Up);
        QCOMPARE(editor->yField->text(), QStringLiteral("0.00"));
    }

    // The preview follows the offsets: the square moves.
    void previewFollowsTheOffsets()
    {
        auto editor = open(0, 0);
        QSignalSpy refreshed(editor.get(), &EditViewcontroller::previewRefreshed);
        QVERIFY(refreshed.wait(10000));
        QCOMPARE(colourAt(editor->previewImage(), {125, 625}), 'K');
        QCOMPARE(colourAt(editor->previewImage(), {300, 817}), 'R'); // the stationery
        editor->xField->setText(QStringLiteral("100"));
        editor->applyField(editor->xField);
        QVERIFY(refreshed.wait(10000));
        QCOMPARE(colourAt(editor->previewImage(), {125, 625}), 'W');
        QCOMPARE(colourAt(editor->previewImage(), {125 + 100 * 72 / 25.4, 625}), 'K');
        QCOMPARE(colourAt(editor->previewImage(), {300, 817}), 'R'); // stationery stays
    }

    void helpLinesStayWithinTheirLimits_data()
    {
        pdfchecks::table<LineRow>({
            {"vertical, far right", {true, 700, 519}},
            {"vertical, far left", {true, -50, 7}},
            {"vertical, within", {true, 300, 300}},
            {"horizontal, above the top", {false, 2, 5}},
            {"horizontal, below the bottom", {false, 900, 651}},
            {"horizontal, within", {false, 400, 400}},
        });
    }
    void helpLinesStayWithinTheirLimits()
    {
        const auto row = pdfchecks::fetch<LineRow>();
        auto editor = open();
        QVERIFY(!editor->left->isVisible());
        QTest::mouseClick(editor->helpLines, Qt::LeftButton, {}, QPoint(8, editor->helpLines->height() / 2));
        QVERIFY(editor->left->isVisible() && editor->down->isVisible());
        RulerView* line = row.vertical ? editor->right : editor->down;
        const int before = row.vertical ? line->y() : line->x();
        const QPoint press(RulerView::kThickness / 2, 10);
        QMouseEvent down(QEvent::MouseButtonPress, press, line->mapToGlobal(press), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(line, &down);
        const QPoint target = row.vertical ? QPoint(row.to, 10) : QPoint(10, row.to);
        const QPoint local = line->mapFromParent(target);
        QMouseEvent move(QEvent::MouseMove, local, line->mapToGlobal(local), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(line, &move);
        QCOMPARE(line->position(), row.expected);
        QCOMPARE(row.vertical ? line->y() : line->x(), before); // only along its own axis
        QCOMPARE(editor->xOffset, 5.0);                        // a guide, not an offset
        QTest::mouseClick(editor->helpLines, Qt::LeftButton, {}, QPoint(8, editor->helpLines->height() / 2));
        QVERIFY(!line->isVisible());
    }

    void layerBoxWarnsOfWhiteBackgrounds_data()
    {
        pdfchecks::table<LayerRow>({
            {"checking on a white page warns", {true, true, true}},
            {"unchecking never checks", {true, false, false}},
            {"checking on a page without a white fill", {false, true, false}},
        });
    }
    void layerBoxWarnsOfWhiteBackgrounds()
    {
        const auto row = pdfchecks::fetch<LayerRow>();
        RecordingUi ui;
        auto editor = open(0, 0, row.whitePage);
        editor->stationaryBehindContent->setChecked(!row.check);
        QTest::mouseClick(editor->stationaryBehindContent, Qt::LeftButton, {},
                          QPoint(8, editor->stationaryBehindContent->height() / 2));
        QCOMPARE(editor->stationaryBehindContent->isChecked(), row.check);
        const QStringList expected{"Background in the document|The stationery may not be displayed because a white "
                                   "background has been detected in the created document"};
        QCOMPARE(ui.alerts(), row.alert ? expected : QStringList());
    }

    void withoutStationeryTheLayerBoxIsOff()
    {
        auto editor = open(0, 0, false, false);
        QVERIFY(!editor->stationaryBehindContent->isEnabled());
    }

    // Accepting reports the offsets in force and the layer; the page made for
    // the editor is gone however the editor closes.
    void acceptAndClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("accept") << "accept";
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("window closed") << "close";
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
        else
            editor->close();
        QVERIFY(!editor->isVisible());
        QVERIFY(!QFileInfo::exists(input));
        if (how == "accept") {
            QCOMPARE(delegate.calls.size(), 1);
            const auto [overlay, x, y] = delegate.calls.first();
            QCOMPARE(overlay, false); // checked: stationery behind
            QCOMPARE(x, 5.0);         // untouched: exactly as handed in
            QVERIFY(qAbs(y - 10 * 17.0 / 6) < 1e-4);
        } else {
            QVERIFY(delegate.calls.isEmpty());
        }
    }

    // No preview scratch file outlives the editor, even one still merging.
    void closingWhileThePreviewMerges()
    {
        for (int round = 0; round < 3; ++round) {
            auto editor = open(0, 0);
            for (int i = 0; i < 5; ++i)
                editor->refreshPreview();
            editor.reset();
        }
        QCoreApplication::processEvents();
        const QStringList scratch = QDir(file("store")).entryList({"tmp*", "prev*"}, QDir::Files);
        QVERIFY2(scratch.isEmpty(), qPrintable(scratch.join(", ")));
    }
};

QTEST_MAIN(TestEditViewcontroller)
#include "tst_editviewcontroller.moc"
