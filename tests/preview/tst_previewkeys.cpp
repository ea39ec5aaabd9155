// The preview window from the keyboard and through assistive technology:
// Ctrl+S saves and Ctrl+P prints as the buttons do, Return accepts the
// offset editor, and the strip names every page by its role.

#include "PreviewFixture.h"
#include "pdf/PdfChecks.h"
#include "preview/CustomCollectionView.h"
#include "preview/EditViewcontroller.h"
#include "preview/PreviewScenes.h"
#include "support/RecordingUi.h"

#include <QAccessible>
#include <QLineEdit>

using namespace quillary;
using namespace previewtests;

namespace {
// names: the accessible name of every page of the strip, in order.
struct StripRow { int pages; bool terms; QStringList names; };
}
Q_DECLARE_METATYPE(StripRow)

class TestPreviewKeys : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initStore();
        registerPreviewScenes();
        QLocale::setDefault(QLocale::c());
    }

    void keysSaveAndPrint_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("opens");
        QTest::newRow("Ctrl+S") << QKeySequence(QKeySequence::Save) << "save panel";
        QTest::newRow("Ctrl+P") << QKeySequence(QKeySequence::Print) << "print dialog";
    }
    void keysSaveAndPrint()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, opens);
        setTemplates({makeTemplate("A4", "0", true, true, false)});
        RecordingUi ui;
        auto preview = openPreview(document(2));
        preview->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(preview.get()));
        QTest::keySequence(preview.get(), keys);
        // Printing merges first, then asks for the printer.
        QVERIFY(spinUntil([&] { return !ui.callsOf(opens).isEmpty(); }));
        QCOMPARE(ui.callsOf(opens).size(), 1);
    }

    void returnAcceptsTheOffsetEditor()
    {
        const QString input = sharedStore().scratchPath(StoreKey::Temporary);
        QVERIFY(testpdfs::writePdf(input, {{.rects = {{MarkRect, Black}}}}));
        EditViewcontroller editor;
        editor.inputPath = input;
        editor.overlayPath = stationeryFile(PageKind::Start);
        editor.documentFormat = FormatA4;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QLineEdit* field = editor.xField;
        field->setFocus();
        field->setText("7");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QVERIFY(!editor.isVisible());
        // What was typed counts: 7 mm to the right.
        QVERIFY2(qAbs(editor.xOffset - millimetresToPoints(7)) < 1e-6, qPrintable(QString::number(editor.xOffset)));
    }

    void stripPagesAreNamedByRole_data()
    {
        pdfchecks::table<StripRow>({
            {"five pages and terms", {4, true, {"Page 1: Start page", "Page 2: Continuation page", "Page 3: Continuation page",
                                                "Page 4: Continuation page", "Page 5: Terms page"}}},
            {"two pages", {2, false, {"Page 1: Start page", "Page 2: Continuation page"}}},
            {"one page and terms", {1, true, {"Page 1: Start page", "Page 2: Terms page"}}},
        });
    }
    void stripPagesAreNamedByRole()
    {
        const auto row = pdfchecks::fetch<StripRow>();
        setTemplates({makeTemplate("A4", "0", true, true, row.terms)});
        auto preview = openPreview(document(row.pages));
        QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(preview->collectionView);
        QVERIFY(strip);
        QStringList names;
        for (int i = 0; i < strip->childCount(); ++i)
            if (QAccessibleInterface* cell = strip->child(i); cell && cell->role() == QAccessible::ListItem)
                names << cell->text(QAccessible::Name);
        QCOMPARE(names, row.names);
    }
};

QTEST_MAIN(TestPreviewKeys)
#include "tst_previewkeys.moc"
