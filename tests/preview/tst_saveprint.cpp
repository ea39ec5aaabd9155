// Saving and printing from the preview window, with the recording fake for the
// save panel, the print dialog and everything that leaves the process: the
// accessory's options in the written file, the follow-ups and the exit, the
// alert when a save fails, and prints on a real QPrinter writing PDF, with the
// scratch file gone whatever happens.

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

struct OptionsRow {
    bool pwBox, forbidPrinting;
    QString password, owner, title, author;
    SaveOptionsMap expected;
};
Q_DECLARE_METATYPE(OptionsRow)

struct SaveRow {
    bool pwBox, forbidPrinting, open, mail;
    bool openWorks = true, mailWorks = true;
    QStringList kinds; // what reached the seam, in order
    int alerts = 0;
};
Q_DECLARE_METATYPE(SaveRow)

struct Spot {
    int page;
    QPointF at; // PDF points on the printed page, y upwards
    char colour;
};

struct PrintRow {
    QSizeF documentSize;
    QString docFormat;
    bool terms;
    QPageLayout::Orientation orientation;
    QSizeF printedSize;
    QList<Spot> spots;
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

    std::unique_ptr<PreviewController> openPreview(const QString& doc)
    {
        auto preview = std::make_unique<PreviewController>(doc);
        preview->show();
        [&] { QVERIFY(waitForPreview(*preview)); }();
        return preview;
    }

    QStringList scratchFiles() const { return QDir(file("store")).entryList({"tmp*", "prev*"}, QDir::Files); }

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

    void init()
    {
        QVERIFY(scratchFiles().isEmpty());
    }

    void proposedName()
    {
        QCOMPARE(PreviewController::proposedFileName(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9))),
                 QStringLiteral("doc__14_05_09_05_12_2026.pdf"));
        RecordingUi ui;
        auto preview = openPreview(document(1));
        QTest::mouseClick(preview->saveButton, Qt::LeftButton);
        QCOMPARE(ui.kinds(), QStringList{"save panel"});
        static const QRegularExpression pattern("^doc__\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d{4}\\.pdf$");
        QVERIFY(pattern.match(ui.calls.first().title).hasMatch());
        // Cancelled: nothing written, nothing ended, the window as it was.
        QVERIFY(!ui.exitStatus);
        QVERIFY(preview->saveButton->isEnabled());
        QVERIFY(!preview->isSaving());
    }

    void accessoryOptions_data()
    {
        using enum SaveOptions;
        pdfchecks::table<OptionsRow>({
            {"all off, all empty", {false, false, "", "", "", "",
                {{WITH_PASSWORD, false}, {ALLOW_PRINT, true}, {PASSWORD, ""}, {OWNER_PASSWORD, ""}, {AUTHOR, ""}, {TITLE, ""}}}},
            {"a password without its box", {false, false, "secret", "", "", "",
                {{WITH_PASSWORD, false}, {ALLOW_PRINT, true}, {PASSWORD, "secret"}, {OWNER_PASSWORD, ""}, {AUTHOR, ""}, {TITLE, ""}}}},
            {"printing forbidden, no owner password", {false, true, "", "", "", "",
                {{WITH_PASSWORD, false}, {ALLOW_PRINT, false}, {PASSWORD, ""}, {OWNER_PASSWORD, ""}, {AUTHOR, ""}, {TITLE, ""}}}},
            {"everything as typed", {true, true, " pw ", "own", "Offer 12", "Jane Roe",
                {{WITH_PASSWORD, true}, {ALLOW_PRINT, false}, {PASSWORD, " pw "}, {OWNER_PASSWORD, "own"}, {AUTHOR, "Jane Roe"}, {TITLE, "Offer 12"}}}},
        });
    }
    void accessoryOptions()
    {
        const auto row = pdfchecks::fetch<OptionsRow>();
        SavePanelView accessory;
        accessory.pwBox->setChecked(row.pwBox);
        accessory.allowPrintBox->setChecked(row.forbidPrinting);
        accessory.passwordField->setText(row.password);
        accessory.passwordfieldowner->setText(row.owner);
        accessory.pdfTitle->setText(row.title);
        accessory.pdfAuthor->setText(row.author);
        QCOMPARE(accessory.collectOptions(), row.expected);
        QCOMPARE(accessory.passwordField->isEnabled(), row.pwBox);
        QCOMPARE(accessory.passwordfieldowner->isEnabled(), row.forbidPrinting);
    }

    void saveWithOptions_data()
    {
        pdfchecks::table<SaveRow>({
            {"no follow-up: written, then the end", {false, false, false, false, true, true, {"save panel", "exit"}}},
            {"opened and mailed", {false, false, true, true, true, true, {"save panel", "open file", "mail", "exit"}}},
            {"password and no printing, opened", {true, true, true, false, true, true, {"save panel", "open file", "exit"}}},
            {"mailed only", {false, true, false, true, true, true, {"save panel", "mail", "exit"}}},
            {"no mail program: said, then the end", {false, false, false, true, true, false,
                                                     {"save panel", "mail", "alert", "exit"}, 1}},
        });
    }
    void saveWithOptions()
    {
        const auto row = pdfchecks::fetch<SaveRow>();
        RecordingUi ui;
        ui.openFileSucceeds = row.openWorks;
        ui.mailSucceeds = row.mailWorks;
        const QString out = file(QStringLiteral("saved-%1.pdf").arg(QTest::currentDataTag()).replace(' ', '-'));
        QFile::remove(out);
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
            return out;
        });
        auto preview = openPreview(document(2));
        QTest::mouseClick(preview->saveButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ui.exitStatus.has_value(), 20000);
        QCOMPARE(*ui.exitStatus, 0);
        QCOMPARE(ui.kinds(), row.kinds);
        QCOMPARE(ui.callsOf("alert").size(), row.alerts);
        for (const QString& kind : {QStringLiteral("open file"), QStringLiteral("mail")})
            for (const auto& call : ui.callsOf(kind))
                QCOMPARE(call.arguments, QStringList{out});

        // The file, written before the end: pages with their stationery and the options.
        QVERIFY(QFileInfo::exists(out));
        QCOMPARE(testpdfs::pageCount(out, row.pwBox ? "user-pw" : ""), 3);
        QCOMPARE(pdfchecks::open(out) == nullptr, row.pwBox);
        if (!row.pwBox) {
            QVERIFY(pdfchecks::information(out).contains("Title=Offer 12"));
            QVERIFY(pdfchecks::information(out).contains("Author=Jane Roe"));
            QCOMPARE(pdfchecks::open(out)->allowPrintHighRes(), !row.forbidPrinting);
            const QImage first = pdfchecks::render(out, 0);
            QCOMPARE(pdfchecks::colourAt(first, {300, 817}), 'R');
            QCOMPARE(pdfchecks::colourAt(pdfchecks::render(out, 1), {300, 817}), 'G');
        }
        QVERIFY(scratchFiles().isEmpty());
    }

    // A save that fails says which file and why, and keeps the window and the
    // document; the next save can succeed.
    void failedSaveKeepsTheWindow_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a folder that does not exist") << "missing-folder/letter.pdf";
        QTest::newRow("a folder where the file should go") << "a-folder";
    }
    void failedSaveKeepsTheWindow()
    {
        QFETCH(QString, target);
        QDir(home().path()).mkpath("a-folder");
        RecordingUi ui;
        const QString bad = file(target);
        ui.saveReplies.push_back([&](QWidget*) -> std::optional<QString> { return bad; });
        auto preview = openPreview(document(2));
        QSignalSpy failed(preview.get(), &PreviewController::saveFailed);
        QTest::mouseClick(preview->saveButton, Qt::LeftButton);
        QVERIFY(failed.wait(20000));
        QVERIFY(!ui.exitStatus);
        QCOMPARE(ui.kinds(), (QStringList{"save panel", "alert"}));
        const auto alert = ui.callsOf("alert").first();
        QCOMPARE(alert.title, QStringLiteral("The document was not saved"));
        QVERIFY2(alert.text.contains(QFileInfo(bad).fileName()), qPrintable(alert.text));
        QVERIFY(preview->isEnabled() && preview->saveButton->isEnabled());
        QVERIFY(QFileInfo(bad).isDir() || !QFileInfo::exists(bad));

        const QString good = file("second-try.pdf");
        ui.saveReplies.push_back([&](QWidget*) -> std::optional<QString> { return good; });
        QTest::mouseClick(preview->saveButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ui.exitStatus.has_value(), 20000);
        QCOMPARE(testpdfs::pageCount(good), 3);
    }

    void printedPages_data()
    {
        const QSizeF a4(595.28, 841.89);
        pdfchecks::table<PrintRow>({
            {"A4 on A4, no margins",
             {testpdfs::A4Whole, "0", false, QPageLayout::Portrait, a4,
              {{0, {300, 817}, 'R'}, {1, {300, 817}, 'G'}, {0, {125, 625}, 'K'}, {1, {125, 625}, 'K'},
               {0, {5, 5}, 'K'}, {1, {5, 5}, 'K'}, {0, {60, 300}, 'W'}}}},
            {"with the terms page", {testpdfs::A4Whole, "0", true, QPageLayout::Portrait, a4,
                                     {{2, {250, 450}, 'B'}, {2, {5, 5}, 'W'}}}},
            {"US Letter scaled down onto A4",
             {testpdfs::Letter, "1", false, QPageLayout::Portrait, a4,
              // 595 / 612 of the size, centred: the page starts 36 points up.
              {{0, {5, 5}, 'W'}, {0, {5, 41}, 'K'}, {0, {5, 800}, 'R'}, {0, {5, 815}, 'W'}}}},
            {"turned onto landscape paper",
             {testpdfs::A4Whole, "0", false, QPageLayout::Landscape, a4.transposed(),
              // A quarter clockwise: the page's top (the red band) is on the right.
              {{0, {830, 300}, 'R'}, {0, {10, 300}, 'W'}, {0, {5, 590}, 'K'}}}},
        });
    }
    void printedPages()
    {
        const auto row = pdfchecks::fetch<PrintRow>();
        RecordingUi ui;
        const QString out = file("printed.pdf");
        QFile::remove(out);
        ui.printReplies.push_back(toPdf(out, row.orientation));
        auto preview = openPreview(document(2, row.documentSize));
        if (!row.terms && preview->agbButton->isChecked())
            clickBox(preview->agbButton);
        QVERIFY(waitForPreview(*preview));
        QSignalSpy finished(preview.get(), &PreviewController::printFinished);
        QTest::mouseClick(preview->printButton, Qt::LeftButton);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(ui.alerts().isEmpty());

        QCOMPARE(testpdfs::pageCount(out), row.terms ? 3 : 2);
        const QRectF box = testpdfs::mediaBox(out, 0);
        QVERIFY2(qAbs(box.width() - row.printedSize.width()) < 1 && qAbs(box.height() - row.printedSize.height()) < 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
        for (const Spot& spot : row.spots)
            QVERIFY2(pdfchecks::colourAt(pdfchecks::render(out, spot.page), spot.at) == spot.colour,
                     qPrintable(QStringLiteral("page %1 at %2,%3").arg(spot.page + 1).arg(spot.at.x()).arg(spot.at.y())));
        // The scratch file lived until the job ended, no longer.
        QVERIFY(preview->tmpPdfUrl);
        QVERIFY(!QFileInfo::exists(*preview->tmpPdfUrl));
    }

    // The scratch file is there while the dialog asks and gone afterwards,
    // however the print ends; each print has its own.
    void scratchFileLife_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("printed") << "printed";
        QTest::newRow("cancelled in the dialog") << "cancelled";
        QTest::newRow("the printer cannot start") << "cannot start";
    }
    void scratchFileLife()
    {
        QFETCH(QString, how);
        RecordingUi ui;
        auto preview = openPreview(document(2));
        QStringList seen;
        for (int round = 0; round < 2; ++round) {
            ui.printReplies.push_back([&](QPrinter& printer) {
                seen << preview->tmpPdfUrl.value_or(QString());
                [&] {
                    QVERIFY(QFileInfo::exists(seen.last()));
                    QCOMPARE(testpdfs::pageCount(seen.last()), 3); // plain, not encrypted
                    QVERIFY(pdfchecks::information(seen.last()).contains("Author="));
                }();
                if (how == "cancelled")
                    return false;
                toPdf(how == "printed" ? file("printed-again.pdf") : file("no-such-folder/out.pdf"))(printer);
                return true;
            });
            QSignalSpy finished(preview.get(), &PreviewController::printFinished);
            QTest::mouseClick(preview->printButton, Qt::LeftButton);
            QVERIFY(finished.wait(20000));
            QCOMPARE(finished.first().first().toBool(), how == "printed");
            QVERIFY(!QFileInfo::exists(seen.last()));
            QVERIFY(preview->printButton->isEnabled());
        }
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[0] != seen[1]);
        QCOMPARE(ui.alerts().size(), how == "cannot start" ? 2 : 0);
        if (how == "cannot start")
            QVERIFY2(ui.alerts().first().startsWith("The document was not printed|The printer ")
                         && ui.alerts().first().endsWith(" did not take the document."),
                     qPrintable(ui.alerts().first()));
        QVERIFY(scratchFiles().isEmpty());
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
        QVERIFY2(qAbs(place.target.x() - row.target.x()) < 0.01 && qAbs(place.target.y() - row.target.y()) < 0.01
                     && qAbs(place.target.width() - row.target.width()) < 0.01
                     && qAbs(place.target.height() - row.target.height()) < 0.01,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(place.target.x()).arg(place.target.y())
                                .arg(place.target.width()).arg(place.target.height())));
    }

    // Pages printed in narrow bands look exactly like pages printed whole.
    void bandsJoinSeamlessly()
    {
        const QString merged = file("bands-input.pdf");
        testpdfs::TestPage page{.text = "Seams", .rects = {{QRectF(0, 0, 595, 842), QColor(250, 250, 250)},
                                                           {QRectF(50, 100, 495, 600), QColor(30, 90, 200)},
                                                           {MarkRect, Black}}};
        QVERIFY(testpdfs::writePdf(merged, {page}));
        QImage printed[2];
        for (int narrow = 0; narrow < 2; ++narrow) {
            const QString out = file(QStringLiteral("bands-%1.pdf").arg(narrow));
            QPrinter printer;
            toPdf(out)(printer);
            QVERIFY(printPdf(merged, printer, nullptr, narrow ? 4 * 595 * 7 : kPrintBandBytes));
            printed[narrow] = pdfchecks::render(out, 0);
        }
        QCOMPARE(printed[1], printed[0]);
        QCOMPARE(pdfchecks::colourAt(printed[1], {300, 400}), 'B');
    }
};

QTEST_MAIN(TestSavePrint)
#include "tst_saveprint.moc"
