// Saving and printing from the preview window, with the recording fake for the
// save panel, the print dialog and everything that leaves the process: the
// proposed name, the accessory's options in the written file, the follow-ups
// and the exit, a save cancelled or failed that keeps the window, and prints
// on a real QPrinter writing PDF, with the scratch file gone whatever happens.

#include "PreviewFixture.h"
#include "pdf/PdfChecks.h"
#include "preview/PrintJob.h"
#include "preview/SavePanelView.h"
#include "support/RecordingUi.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

using namespace quillary;
using namespace previewtests;

struct SaveRow {
    bool pwBox, forbidPrinting, open, mail;
    bool followUpsWork; // the file opens, the mail program starts
    QString firstTry;   // before the save that works: "" none, "cancel", or a path that cannot be written
    QStringList kinds;  // what reached the seam, in order
    QStringList alerts; // "title|part of the text" of each alert
};
Q_DECLARE_METATYPE(SaveRow)

using Spot = std::tuple<int, QPointF, char>; // page, PDF points on it (y upwards), colour

struct PrintRow {
    QSizeF documentSize;
    bool terms;
    QPageLayout::Orientation orientation;
    QString ends;      // "printed", "cancelled" in the dialog, or the printer "cannot start"
    QList<Spot> spots; // on the printed pages
};
Q_DECLARE_METATYPE(PrintRow)

struct PlaceRow {
    QSizeF page, paper;
    bool rotated;
    QRectF target;
};
Q_DECLARE_METATYPE(PlaceRow)

class TestSavePrint : public QObject {
    Q_OBJECT

    static std::function<bool(QPrinter&)> toPdf(const QString& out, QPageLayout::Orientation orientation = QPageLayout::Portrait)
    {
        return [out, orientation](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(out);
            printer.setResolution(72);
            printer.setPageSize(QPageSize(QPageSize::A4));
            printer.setPageOrientation(orientation);
            return true;
        };
    }

private slots:
    void initTestCase()
    {
        initStore();
        setTemplates({makeTemplate("A4", "0", true, true, true), makeTemplate("Letter", "1", true, true, false)});
    }

    void init() { QVERIFY(scratchFiles().isEmpty()); }

    void proposedName()
    {
        QCOMPARE(PreviewController::proposedFileName(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9))),
                 QStringLiteral("doc__14_05_09_05_12_2026.pdf"));
    }

    void save_data()
    {
        const QString notSaved = "The document was not saved|";
        pdfchecks::table<SaveRow>({
            {"no follow-up: written, then the end", {false, false, false, false, true, "", {"save panel", "exit"}}},
            {"opened and mailed", {false, false, true, true, true, "", {"save panel", "open file", "mail", "exit"}}},
            {"password and no printing, opened", {true, true, true, false, true, "", {"save panel", "open file", "exit"}}},
            {"printing forbidden, mailed", {false, true, false, true, true, "", {"save panel", "mail", "exit"}}},
            {"follow-ups that fail: said, then the end",
             {false, false, true, true, false, "", {"save panel", "open file", "alert", "mail", "alert", "exit"},
              {"The document was saved|No program other than Quillary is set up to open PDF files. The document is saved as ",
               "The document was saved|No mail program could be started. The document is saved as "}}},
            {"cancelled, then saved", {false, false, false, false, true, "cancel", {"save panel", "save panel", "exit"}}},
            {"into a folder that does not exist", {false, false, false, false, true, "missing-folder/letter.pdf",
                                                   {"save panel", "alert", "save panel", "exit"}, {notSaved + "letter.pdf"}}},
            {"onto a folder", {false, false, false, false, true, "a-folder", {"save panel", "alert", "save panel", "exit"},
                               {notSaved + "a-folder"}}},
            {"onto a stored page", {false, false, false, false, true, "store/tempf00.pdf", {"save panel", "alert", "save panel", "exit"},
                                    {notSaved + "must not be replaced: it is the document itself or a file of the template store."}}},
            {"onto the settings file", {false, false, false, false, true, "store/settings.plist", {"save panel", "alert", "save panel", "exit"},
                                        {notSaved + "must not be replaced: it is the document itself or a file of the template store."}}},
        });
    }
    void save()
    {
        const auto row = pdfchecks::fetch<SaveRow>();
        QDir(home().path()).mkpath("a-folder");
        RecordingUi ui;
        ui.openFileSucceeds = ui.mailSucceeds = row.followUpsWork;
        const QString out = file(QStringLiteral("saved-%1.pdf").arg(QTest::currentDataTag()).replace(' ', '-'));
        const QString bad = file(row.firstTry);
        const QByteArray before = pdfchecks::bytesOf(bad);
        if (!row.firstTry.isEmpty())
            ui.saveReplies.push_back([&](QWidget*) { return row.firstTry == "cancel" ? std::nullopt : std::optional(bad); });
        ui.saveReplies.push_back([&](QWidget* accessory) -> std::optional<QString> {
            auto* panel = qobject_cast<SavePanelView*>(accessory);
            panel->pwBox->setChecked(row.pwBox);
            panel->passwordField->setText("user-pw");
            panel->allowPrintBox->setChecked(row.forbidPrinting);
            panel->passwordfieldowner->setText("owner-pw");
            panel->pdfTitle->setText("Offer 12");
            panel->pdfAuthor->setText("Jane Roe");
            panel->openPDFBox->setChecked(row.open);
            panel->openMailBox->setChecked(row.mail);
            // Each password field is open only while its box asks for it.
            [&] {
                QCOMPARE(panel->passwordField->isEnabled(), row.pwBox);
                QCOMPARE(panel->passwordfieldowner->isEnabled(), row.forbidPrinting);
            }();
            return out;
        });
        auto preview = openPreview(document(2));
        if (!row.firstTry.isEmpty()) {
            QSignalSpy failed(preview.get(), &PreviewController::saveFailed);
            QTest::mouseClick(preview->saveButton, Qt::LeftButton);
            QVERIFY(row.firstTry == "cancel" || !failed.isEmpty() || failed.wait(20000)); // refused at once, or after the merge
            // Nothing written, nothing ended: the window and the document stay for the next try.
            QVERIFY(!ui.exitStatus && preview->isEnabled() && preview->saveButton->isEnabled() && !preview->isSaving());
            QVERIFY(QFileInfo(bad).isDir() || !QFileInfo::exists(bad) || pdfchecks::bytesOf(bad) == before);
            QVERIFY(row.firstTry.startsWith("store/") == QFileInfo(bad).isFile());
        }
        QTest::mouseClick(preview->saveButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ui.exitStatus.has_value(), 20000);
        QCOMPARE(*ui.exitStatus, 0);
        QCOMPARE(ui.kinds(), row.kinds);
        static const QRegularExpression proposed("^doc__\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d{4}\\.pdf$");
        for (const auto& call : ui.callsOf("save panel"))
            QVERIFY2(proposed.match(QFileInfo(call.title).fileName()).hasMatch(), qPrintable(call.title));
        for (const auto& call : ui.callsOf("open file") + ui.callsOf("mail"))
            QCOMPARE(call.arguments, QStringList{out});
        QCOMPARE(ui.alerts().size(), row.alerts.size());
        for (int i = 0; i < row.alerts.size(); ++i)
            QVERIFY2(ui.alerts()[i].startsWith(row.alerts[i].section('|', 0, 0) + '|') && ui.alerts()[i].contains(row.alerts[i].section('|', 1)),
                     qPrintable(ui.alerts()[i]));

        // The file, written before the end: pages with their stationery and the options.
        QCOMPARE(testpdfs::pageCount(out, row.pwBox ? "user-pw" : ""), 3);
        QCOMPARE(pdfchecks::open(out) == nullptr, row.pwBox);
        if (!row.pwBox) {
            QVERIFY(pdfchecks::information(out).contains("Title=Offer 12"));
            QVERIFY(pdfchecks::information(out).contains("Author=Jane Roe"));
            QCOMPARE(pdfchecks::open(out)->allowPrintHighRes(), !row.forbidPrinting);
            QCOMPARE(pdfchecks::colourAt(pdfchecks::render(out, 0), {300, 817}), 'R');
            QCOMPARE(pdfchecks::colourAt(pdfchecks::render(out, 1), {300, 817}), 'G');
        }
        QVERIFY(scratchFiles().isEmpty());
    }

    // Prints twice from one window: each print merges to a scratch file of
    // its own, there while the dialog asks and gone afterwards however the
    // print ends.
    void printing_data()
    {
        pdfchecks::table<PrintRow>({
            {"A4 on A4, no margins",
             {testpdfs::A4Whole, false, QPageLayout::Portrait, "printed",
              {{0, {300, 817}, 'R'}, {1, {300, 817}, 'G'}, {0, {125, 625}, 'K'}, {1, {125, 625}, 'K'},
               {0, {5, 5}, 'K'}, {1, {5, 5}, 'K'}, {0, {60, 300}, 'W'}}}},
            {"with the terms page", {testpdfs::A4Whole, true, QPageLayout::Portrait, "printed", {{2, {250, 450}, 'B'}, {2, {5, 5}, 'W'}}}},
            // 595 / 612 of the size, centred: the page starts 36 points up.
            {"US Letter scaled down onto A4", {testpdfs::Letter, false, QPageLayout::Portrait, "printed",
                                               {{0, {5, 5}, 'W'}, {0, {5, 41}, 'K'}, {0, {5, 800}, 'R'}, {0, {5, 815}, 'W'}}}},
            // A quarter clockwise: the page's top (the red band) is on the right.
            {"turned onto landscape paper", {testpdfs::A4Whole, false, QPageLayout::Landscape, "printed",
                                             {{0, {830, 300}, 'R'}, {0, {10, 300}, 'W'}, {0, {5, 590}, 'K'}}}},
            {"cancelled in the dialog", {testpdfs::A4Whole, true, QPageLayout::Portrait, "cancelled"}},
            {"the printer cannot start", {testpdfs::A4Whole, true, QPageLayout::Portrait, "cannot start"}},
        });
    }
    void printing()
    {
        const auto row = pdfchecks::fetch<PrintRow>();
        RecordingUi ui;
        const QString out = file(row.ends == "cannot start" ? "no-such-folder/out.pdf" : "printed.pdf");
        auto preview = openPreview(document(2, row.documentSize));
        if (!row.terms && preview->agbButton->isChecked())
            clickBox(preview->agbButton);
        QVERIFY(waitForPreview(*preview));
        QStringList seen;
        for (int round = 0; round < 2; ++round) {
            QFile::remove(out);
            ui.printReplies.push_back([&](QPrinter& printer) {
                seen << preview->tmpPdfUrl.value_or(QString());
                [&] {
                    QCOMPARE(testpdfs::pageCount(seen.last()), row.terms ? 3 : 2); // there, plain, not encrypted
                    QVERIFY(pdfchecks::information(seen.last()).contains("Author="));
                }();
                toPdf(out, row.orientation)(printer);
                return row.ends != "cancelled";
            });
            QSignalSpy finished(preview.get(), &PreviewController::printFinished);
            QTest::mouseClick(preview->printButton, Qt::LeftButton);
            QVERIFY(finished.wait(20000));
            QCOMPARE(finished.first().first().toBool(), row.ends == "printed");
            QVERIFY(!QFileInfo::exists(seen.last()) && preview->printButton->isEnabled());
        }
        QVERIFY(seen.size() == 2 && seen[0] != seen[1]);
        QVERIFY(scratchFiles().isEmpty());
        for (const QString& alert : ui.alerts())
            QVERIFY2(alert.startsWith("The document was not printed|The printer ") && alert.endsWith(" did not take the document."),
                     qPrintable(alert));
        QCOMPARE(ui.alerts().size(), row.ends == "cannot start" ? 2 : 0);
        QCOMPARE(testpdfs::pageCount(out), row.ends != "printed" ? -1 : row.terms ? 3 : 2); // -1: no such file
        for (const auto& [page, at, colour] : row.spots)
            QVERIFY2(pdfchecks::colourAt(pdfchecks::render(out, page), at) == colour,
                     qPrintable(QStringLiteral("page %1 at %2,%3").arg(page + 1).arg(at.x()).arg(at.y())));
    }

    void placement_data()
    {
        pdfchecks::table<PlaceRow>({
            {"same size", {{595, 842}, {595, 842}, false, {0, 0, 595, 842}}},
            {"smaller: centred, never enlarged", {{200, 300}, {595, 842}, false, {197.5, 271, 200, 300}}},
            {"wider: scaled down", {{612, 792}, {595, 842}, false, {0, 36, 595, 770}}},
            {"landscape on portrait: turned", {{842, 595}, {595, 842}, true, {0, 0, 595, 842}}},
            {"portrait on landscape: turned", {{595, 842}, {842, 595}, true, {0, 0, 842, 595}}},
            {"square: never turned", {{500, 500}, {595, 842}, false, {47.5, 171, 500, 500}}},
        });
    }
    void placement()
    {
        const auto row = pdfchecks::fetch<PlaceRow>();
        const PagePlacement place = placePage(row.page, row.paper);
        QCOMPARE(place.rotated, row.rotated);
        QCOMPARE(place.target, row.target); // within rounding
    }

    // Pages printed in narrow bands look exactly like pages printed whole.
    void bandsJoinSeamlessly()
    {
        const QString merged = file("bands-input.pdf");
        QVERIFY(testpdfs::writePdf(merged, {{.text = "Seams", .rects = {{QRectF(0, 0, 595, 842), QColor(250, 250, 250)},
                                                                         {QRectF(50, 100, 495, 600), QColor(30, 90, 200)},
                                                                         {MarkRect, Black}}}}));
        QImage printed[2];
        for (int narrow = 0; narrow < 2; ++narrow) {
            QPrinter printer;
            toPdf(file(QStringLiteral("bands-%1.pdf").arg(narrow)))(printer);
            QVERIFY(printPdf(merged, printer, nullptr, narrow ? 4 * 595 * 7 : kPrintBandBytes));
            printed[narrow] = pdfchecks::render(printer.outputFileName(), 0);
        }
        QCOMPARE(printed[1], printed[0]);
        QCOMPARE(pdfchecks::colourAt(printed[1], {300, 400}), 'B');
    }
};

QTEST_MAIN(TestSavePrint)
#include "tst_saveprint.moc"
