// A user who prints before making a template of their own: the preview says
// that the stationery is Quillary's sample and offers the template window;
// once the user has a template of their own, the line is gone.

#include "../preview/PreviewFixture.h"
#include "app/AppController.h"
#include "pdf/PdfChecks.h"
#include "preview/FirstTemplateHint.h"
#include "support/RecordingUi.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

using namespace previewtests;
using quillary::sharedStore;

namespace {

// What the store holds besides (or instead of) the template Quillary made:
// "" nothing; "another": a second template; "own start": the sample's start
// page replaced by another file; "terms": the sample with a terms page too;
// "gone": no template at all; "german": the sample's German page.
struct HintRow {
    QString change;
    bool hint;
};

} // namespace

Q_DECLARE_METATYPE(HintRow)

class TestFirstTemplate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { initStore(); }

    void hintUntilTheUserHasATemplate_data()
    {
        pdfchecks::table<HintRow>({
            {"only the template Quillary made", {"", true}},
            {"the template Quillary made, in German", {"german", true}},
            {"a second template of the user's", {"another", false}},
            {"the sample's start page replaced", {"own start", false}},
            {"the sample with a terms page", {"terms", false}},
            {"no template", {"gone", false}},
        });
    }
    void hintUntilTheUserHasATemplate()
    {
        const auto row = pdfchecks::fetch<HintRow>();
        setTemplates({});
        QVERIFY(sharedStore().createDefaultTemplate().ok());
        TemplateRecord sample = sharedStore().templateRecords().value_or(QList<TemplateRecord>()).value(0);
        QVERIFY(sample.pageIndex(PageKind::Start).has_value());
        if (row.change == "another")
            QVERIFY(sharedStore().addTemplate(makeTemplate("Mine", "0", true, false, false)).ok());
        if (row.change == "own start" || row.change == "terms") {
            const TemplateRecord own = makeTemplate("Own", "0", row.change == "own start", false, row.change == "terms");
            if (row.change == "own start")
                sample.setPageIndex(PageKind::Start, *own.pageIndex(PageKind::Start));
            else
                sample.setPageIndex(PageKind::Terms, *own.pageIndex(PageKind::Terms));
            QVERIFY(sharedStore().updateTemplate(sample).ok());
        }
        if (row.change == "gone")
            setTemplates({});
        if (row.change == "german") {
            const QFileInfo english(sharedStore().sampleLetterheadPath());
            const auto german = sharedStore().importPage(
                quillary::StoreKey::TemplateFirst, english.dir().filePath(english.completeBaseName() + "_de.pdf"));
            QVERIFY2(german.ok(), qPrintable(german.error));
            sample.setPageIndex(PageKind::Start, *german.value);
            QVERIFY(sharedStore().updateTemplate(sample).ok());
        }

        QCOMPARE(quillary::hasOnlyTheSampleTemplate(sharedStore()), row.hint);
        RecordingUi ui;
        quillary::AppController controller(document(1));
        controller.applicationDidFinishLaunching();
        QMainWindow* window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto* hint = window->findChild<QWidget*>("firstTemplateHint");
        QCOMPARE(hint != nullptr, row.hint);
        // The preview keeps its whole size, the line or not; the window stays fixed.
        QCOMPARE(window->centralWidget()->size(), QSize(600, 518));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        if (!row.hint)
            return;
        QVERIFY(hint->isVisible());
        QVERIFY(hint->findChild<QLabel*>()->text().contains("no template of your own"));
        QVERIFY(hint->mapTo(window, QPoint(0, 0)).y() > window->centralWidget()->geometry().bottom()); // below the preview
        // The button opens the template window: Quillary started without a document.
        auto* button = hint->findChild<QPushButton*>();
        QVERIFY(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ui.kinds(), QStringList{"start"});
        QCOMPARE(ui.calls.first().arguments, QStringList{QCoreApplication::applicationFilePath()});
        QVERIFY(waitForPreview(*controller.preview())); // the window works as ever
    }
};

QTEST_MAIN(TestFirstTemplate)
#include "tst_firsttemplate.moc"
