// The preview window says what is true and holds what it shows: a document
// that cannot be shown says why (never the paper-format message), a locked
// one asks for its password in place of the strip and then merges as any
// other; every control acts on its state however it changed (assistive
// tools, programs); the offset editor starts from the layer in force; the
// save panel checks passwords while it is open, keeps what was typed and
// proposes the job's title in the folder last used; a template of another
// format says its stationery will be cut or shifted.

#include "PreviewFixture.h"
#include "pdf/PdfChecks.h"
#include "preview/CustomCollectionView.h"
#include "preview/DocumentPasswordPanel.h"
#include "preview/EditViewcontroller.h"
#include "preview/PreviewScenes.h"
#include "preview/SavePanelView.h"
#include "support/RecordingUi.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

using namespace quillary;
using namespace previewtests;
using namespace Qt::StringLiterals;

namespace {

struct FaultRow {
    QString kind;    // "text", "empty", "no pages", "locked"
    QString message; // in the strip; empty: the password panel instead
};

struct ControlRow {
    QString control; // "start", "continuation", "terms", "template"
    bool assistive;  // through the accessibility interface, else a program
};

struct LayerRow {
    QString isOverlay; // the template's
};

struct PasswordRow {
    bool protect;
    QString password;
    bool forbid;
    QString owner;
    QString problem;   // beside the field; empty: saved at once
    bool ownerAtFault;
};

struct ProposalRow {
    std::optional<QString> title;
    QString folder;   // empty: none remembered
    QString expected; // "DOCS" stands for the documents folder
};

struct NoteRow {
    QSizeF document;
    QString docFormat; // of the one template, chosen by hand
    QString note;      // empty: none
};

const QString kNoFit = u"No template fits the paper format of this document. Choose one above."_s;

} // namespace

Q_DECLARE_METATYPE(FaultRow)
Q_DECLARE_METATYPE(ControlRow)
Q_DECLARE_METATYPE(LayerRow)
Q_DECLARE_METATYPE(PasswordRow)
Q_DECLARE_METATYPE(ProposalRow)
Q_DECLARE_METATYPE(NoteRow)

class TestPreviewTruth : public QObject {
    Q_OBJECT

    QLabel* stripMessage(PreviewController& preview)
    {
        return preview.collectionView->viewport()->findChild<QLabel*>();
    }
    // What a screen reader hears of the strip besides its name.
    static QString stripDescription(PreviewController& preview)
    {
        QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(preview.collectionView);
        return strip ? strip->text(QAccessible::Description) : QString();
    }

private slots:
    void initTestCase()
    {
        initStore();
        registerPreviewScenes();
    }

    // ---- the document first ----

    void documentFaultsNameTheirReason_data()
    {
        const QString cannot = u"The preview could not be made: "_s;
        pdfchecks::table<FaultRow>({
            {"a text file named .pdf", {"text", cannot + u"“fault-text.pdf” is damaged or not in a format Quillary can read."_s}},
            {"an empty file", {"empty", cannot + u"“fault-empty.pdf” is damaged or not in a format Quillary can read."_s}},
            {"a PDF without pages", {"no pages", cannot + u"“fault-no pages.pdf” has no pages."_s}},
            {"a locked PDF asks for its password", {"locked", ""}},
        });
    }
    void documentFaultsNameTheirReason()
    {
        const auto row = pdfchecks::fetch<FaultRow>();
        // A template no unreadable document fits: its format message would be a lie.
        setTemplates({makeTemplate("Letter", "1", true, false, false)});
        const QString doc = file("fault-" + row.kind + ".pdf");
        if (row.kind == "text")
            QVERIFY(testpdfs::writeBytes(doc, "just some text, no PDF"));
        else if (row.kind == "empty")
            QVERIFY(testpdfs::writeBytes(doc, ""));
        else if (row.kind == "no pages")
            QVERIFY(testpdfs::writeZeroPages(doc));
        else
            QVERIFY(testpdfs::writeEncrypted(doc, "Swordfish7", "Marlin"));
        PreviewController preview(doc);
        preview.show();
        QCoreApplication::processEvents();
        QTest::qWait(100);
        QVERIFY(!preview.isRebuilding());
        QVERIFY(!preview.selectedKey);
        QCOMPARE(preview.pages().count(), 0);
        QVERIFY(!preview.saveButton->isEnabled() && !preview.printButton->isEnabled() && !preview.popUp->isEnabled());
        if (row.message.isEmpty()) {
            QCOMPARE(preview.documentState().code, ErrorCode::PasswordProtected);
            QVERIFY(preview.passwordPanel->isVisible() && !preview.collectionView->isVisible());
            QVERIFY(preview.passwordPanel->request->text().contains(u"“fault-locked.pdf” is protected by a password"_s));
            QVERIFY(!stripMessage(preview)->isVisible());
        } else {
            QVERIFY(!preview.passwordPanel->isVisible());
            QVERIFY(stripMessage(preview)->isVisible());
            QCOMPARE(stripMessage(preview)->text(), row.message);
            QCOMPARE(stripDescription(preview), row.message);
        }
        QVERIFY(stripMessage(preview)->text() != kNoFit);
    }

    // Page 1 reads well, but building the whole merge makes the library
    // throw (an object number at its limit): the reason shows in the strip
    // and the window stays open, with nothing to save or print.
    void aMergeTheLibraryCannotBuildKeepsTheWindow()
    {
        setTemplates({makeTemplate("T", "0", true, true, false)});
        const QString doc = file("limit.pdf");
        QFile::remove(doc);
        QVERIFY(QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/hostile-second-page-at-the-limit.pdf"), doc));
        RecordingUi ui;
        PreviewController preview(doc);
        QSignalSpy finished(&preview, &PreviewController::rebuildFinished);
        preview.show();
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 20000);
        QCOMPARE(finished.last().first().toBool(), false);
        QVERIFY(preview.isVisible() && !ui.exitStatus.has_value());
        QVERIFY(ui.alerts().isEmpty());
        QCoreApplication::processEvents(); // page 1, merged first, must not come after the failure
        QCOMPARE(preview.pages().count(), 0);
        QVERIFY(stripMessage(preview)->isVisible());
        QCOMPARE(stripMessage(preview)->text(),
                 u"The preview could not be made: “limit.pdf” is damaged or not in a format Quillary can read."_s);
        QCOMPARE(stripDescription(preview), stripMessage(preview)->text());
        QVERIFY(!preview.saveButton->isEnabled() && !preview.printButton->isEnabled());
    }

    // A wrong password is refused in the panel; the right one opens the
    // document, and everything works as with any document: the merge, the
    // offset editor's page and the saved file.
    void lockedDocumentOpensWithItsPassword()
    {
        setTemplates({makeTemplate("T", "0", true, true, false)});
        const QString doc = file("locked.pdf");
        QVERIFY(testpdfs::writeEncrypted(doc, "Swordfish7", "Marlin"));
        RecordingUi ui;
        PreviewController preview(doc);
        preview.show();
        QTRY_VERIFY(preview.passwordPanel->isVisible());
        DocumentPasswordPanel* panel = preview.passwordPanel;
        QVERIFY(!panel->openButton->isEnabled());
        QTest::keyClicks(panel->passwordField, "swordfish7");
        QTest::mouseClick(panel->openButton, Qt::LeftButton);
        QCOMPARE(panel->problem(), u"That password does not open the document. Try again."_s);
        QVERIFY(panel->passwordField->text().isEmpty() && panel->isVisible() && !preview.selectedKey);

        QTest::keyClicks(panel->passwordField, "Swordfish7");
        QTest::keyClick(panel->passwordField, Qt::Key_Return);
        QVERIFY(!panel->isVisible() && preview.collectionView->isVisible());
        QVERIFY(preview.documentState().ok());
        QCOMPARE(TaskManager::documentFormat, FormatA4);
        QCOMPARE(preview.selectedKey.value_or(QString()), u"T"_s);
        QVERIFY(waitForPreview(preview));
        QCOMPARE(preview.pages().count(), 1);
        QCOMPARE(colourAt(preview.prevImage->image(), {300, 817}), 'R');

        QSignalSpy opened(&preview, &PreviewController::editorOpened);
        QTest::mouseClick(preview.offsetButton, Qt::LeftButton);
        QCOMPARE(opened.count(), 1);
        auto* editor = opened.first().first().value<EditViewcontroller*>();
        QCOMPARE(testpdfs::pageCount(editor->inputPath.value_or(QString())), 1);
        editor->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const QString out = file("unlocked-out.pdf");
        ui.saveReplies.push_back([&](QWidget*) { return std::optional(out); });
        QTest::mouseClick(preview.saveButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ui.exitStatus.has_value(), 20000);
        QVERIFY(ui.alerts().isEmpty());
        QCOMPARE(testpdfs::pageCount(out), 1); // no password asked unless the panel chose one
        QCOMPARE(pdfchecks::colourAt(pdfchecks::render(out, 0), {300, 817}), 'R');
    }

    // ---- the controls ----

    void controlsActOnTheirState_data()
    {
        pdfchecks::table<ControlRow>({
            {"start page toggled by an assistive tool", {"start", true}},
            {"follow pages toggled by an assistive tool", {"continuation", true}},
            {"terms toggled by an assistive tool", {"terms", true}},
            {"template chosen through the pop-up's accessible menu", {"template", true}},
            {"start page set by a program", {"start", false}},
            {"terms set by a program", {"terms", false}},
            {"template set by a program", {"template", false}},
        });
    }
    void controlsActOnTheirState()
    {
        const auto row = pdfchecks::fetch<ControlRow>();
        setTemplates({makeTemplate("A full", "0", true, true, true), makeTemplate("B start only", "0", true, false, false)});
        auto preview = openPreview(document(3));
        QCOMPARE(preview->pages().count(), 4);
        const quint64 before = preview->rebuildGeneration();

        if (row.control == "template") {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(preview->popUp);
            if (row.assistive) {
                QVERIFY(accessible && accessible->actionInterface());
                QVERIFY(accessible->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
                accessible->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
                QTRY_VERIFY(preview->popUp->view()->isVisible());
                QTest::keyClick(preview->popUp->view(), Qt::Key_Down);
                QTest::keyClick(preview->popUp->view(), Qt::Key_Return);
            } else {
                preview->popUp->setCurrentIndex(1);
            }
            QCOMPARE(preview->selectedKey.value_or(QString()), u"B start only"_s);
            QVERIFY(waitForPreview(*preview));
            QVERIFY(preview->rebuildGeneration() > before);
            QCOMPARE(preview->pages().count(), 3); // no terms page
            QVERIFY(!preview->contButton->isEnabled() && !preview->agbButton->isChecked());
            return;
        }

        QCheckBox* box = row.control == "start" ? preview->startButton
                         : row.control == "continuation" ? preview->contButton
                                                         : preview->agbButton;
        QVERIFY(box->isChecked());
        if (row.assistive) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
            QVERIFY(accessible && accessible->actionInterface());
            QVERIFY(accessible->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
            accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        } else {
            box->setChecked(false);
        }
        QVERIFY(!box->isChecked());
        QVERIFY(spinUntil([&] { return preview->rebuildGeneration() > before; }));
        QVERIFY(waitForPreview(*preview));
        // What the window shows is what it holds: the page without that stationery.
        if (row.control == "terms") {
            QCOMPARE(preview->pages().count(), 3);
        } else {
            const int page = row.control == "start" ? 0 : 1;
            preview->collectionView->setSelectedIndex(page);
            QVERIFY(waitForPreview(*preview));
            QCOMPARE(colourAt(preview->prevImage->image(), {300, 817}), 'W');
        }
        // The window's own update of the toggles (another template) starts
        // no rebuild of its own for each toggle it sets.
        QSignalSpy finished(preview.get(), &PreviewController::rebuildFinished);
        const quint64 beforeChange = preview->rebuildGeneration();
        preview->popUp->setCurrentIndex(1);
        QVERIFY(waitForPreview(*preview));
        QTest::qWait(50);
        QCOMPARE(preview->rebuildGeneration(), beforeChange + 1);
    }

    // The editor's layer box shows the layer in force, also after an earlier
    // editor changed it, and accepting without touching it keeps it.
    void editorKeepsTheLayerInForce_data()
    {
        pdfchecks::table<LayerRow>({
            {"stored over the content", {"0"}},
            {"stored behind the content", {"1"}},
        });
    }
    void editorKeepsTheLayerInForce()
    {
        const auto row = pdfchecks::fetch<LayerRow>();
        setTemplates({makeTemplate("T", "0", true, true, false, true, row.isOverlay)});
        RecordingUi ui; // the white-background alert, should it come
        auto preview = openPreview(document(2));
        const bool storedBehind = row.isOverlay == "1";
        QCOMPARE(preview->stationeryIsOverlay, !storedBehind);
        auto openEditor = [&]() -> EditViewcontroller* {
            QSignalSpy opened(preview.get(), &PreviewController::editorOpened);
            QTest::mouseClick(preview->offsetButton, Qt::LeftButton);
            return opened.isEmpty() ? nullptr : opened.first().first().value<EditViewcontroller*>();
        };
        auto accept = [&](EditViewcontroller* editor) {
            QPointer<EditViewcontroller> gone(editor);
            QTest::mouseClick(editor->acceptButton, Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!gone);
            QVERIFY(waitForPreview(*preview));
        };
        EditViewcontroller* editor = openEditor();
        QVERIFY(editor);
        QCOMPARE(editor->stationaryBehindContent->isChecked(), storedBehind);
        editor->stationaryBehindContent->setChecked(!storedBehind);
        accept(editor);
        QCOMPARE(preview->stationeryIsOverlay, storedBehind);

        // Again, to move the content only: the layer chosen stays.
        editor = openEditor();
        QVERIFY(editor);
        QCOMPARE(editor->stationaryBehindContent->isChecked(), !storedBehind);
        editor->xOffset = 10;
        accept(editor);
        QCOMPARE(preview->stationeryIsOverlay, storedBehind);
        QCOMPARE(preview->offXForFirstPage, 10.0);
    }

    // ---- saving ----

    void savePanelChecksPasswords_data()
    {
        const QString tooLong = u"This password is too long: at most 127 bytes are kept."_s;
        pdfchecks::table<PasswordRow>({
            {"protection without a password", {true, "", false, "", "Enter a password, or turn the protection off.", false}},
            {"owner password equal to the password",
             {true, "Sword7", true, "Sword7", "The owner password must differ from the password.", true}},
            {"equal once a soft hyphen is dropped",
             {true, "Sword7", true, u"Sw\u00ADord7"_s, "The owner password must differ from the password.", true}},
            {"a control character",
             {true, "Sword\x07", false, "", "A password cannot hold control characters or other invisible codes.", false}},
            {"mixed directions", {true, u"abc\u05D0"_s, false, "", "A password cannot mix right-to-left and left-to-right text.", false}},
            {"only characters left out",
             {true, u"\u00AD\u200D"_s, false, "", "This password holds only characters that are left out.", false}},
            {"too long once prepared", {true, u"\u00E9"_s.repeated(64), false, "", tooLong, false}},
            {"an owner password too long", {false, "", true, QString(128, u'x'), tooLong, true}},
            {"an owner password without the ban is not read", {false, "", false, u"Sword\x07"_s, "", false}},
            {"a password without protection is not read", {false, u"\u00AD"_s, false, "", "", false}},
            {"good passwords", {true, "Sword7", true, "Marlin", "", false}},
        });
    }
    void savePanelChecksPasswords()
    {
        const auto row = pdfchecks::fetch<PasswordRow>();
        setTemplates({makeTemplate("T", "0", true, false, false)});
        RecordingUi ui;
        const QString out = file(u"passwords-%1.pdf"_s.arg(QTest::currentDataTag()).replace(' ', '-'));
        QString shownUser, shownOwner;
        bool acceptable = false;
        ui.saveReplies.push_back([&](QWidget* accessory) -> std::optional<QString> {
            auto* panel = qobject_cast<SavePanelView*>(accessory);
            panel->pwBox->setChecked(row.protect);
            panel->passwordField->setText(row.password);
            panel->allowPrintBox->setChecked(row.forbid);
            panel->passwordfieldowner->setText(row.owner);
            // Said while the panel is open, beside the field at fault.
            shownUser = panel->userProblem->isVisibleTo(panel) ? panel->userProblem->text() : QString();
            shownOwner = panel->ownerProblem->isVisibleTo(panel) ? panel->ownerProblem->text() : QString();
            acceptable = panel->property("acceptable").toBool();
            return out;
        });
        ui.saveReplies.push_back([&](QWidget* accessory) -> std::optional<QString> {
            auto* panel = qobject_cast<SavePanelView*>(accessory);
            // Open again with what was typed.
            [&] {
                QCOMPARE(panel->passwordField->text(), row.password);
                QCOMPARE(panel->passwordfieldowner->text(), row.owner);
            }();
            panel->pwBox->setChecked(false);
            panel->allowPrintBox->setChecked(false);
            return out;
        });
        auto preview = openPreview(document(1));
        QTest::mouseClick(preview->saveButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ui.exitStatus.has_value(), 20000);
        QCOMPARE(shownUser, row.ownerAtFault ? QString() : row.problem);
        QCOMPARE(shownOwner, row.ownerAtFault ? row.problem : QString());
        QCOMPARE(acceptable, row.problem.isEmpty());
        const QStringList kinds = row.problem.isEmpty() ? QStringList{"save panel", "exit"}
                                                        : QStringList{"save panel", "save panel", "exit"};
        QCOMPARE(ui.kinds(), kinds);
        QVERIFY2(ui.alerts().isEmpty(), qPrintable(ui.alerts().join('\n'))); // no vague alert afterwards
        const bool locked = row.problem.isEmpty() && row.protect;
        QCOMPARE(testpdfs::pageCount(out, locked ? row.password : QString()), 1);
    }

    void proposedSavePath_data()
    {
        pdfchecks::table<ProposalRow>({
            {"the job's title in the folder last used", {u"Rechnung März 4711"_s, "/srv/out", u"/srv/out/Rechnung März 4711.pdf"_s}},
            {"a title that ends in .PDF", {u"report.PDF"_s, "/srv/out", "/srv/out/report.PDF"}},
            {"a slash in the title", {u"a/b"_s, "/srv/out", "/srv/out/a-b.pdf"}},
            {"a title of a hidden file", {u".profile"_s, "/srv/out", "/srv/out/doc__14_05_09_05_12_2026.pdf"}},
            {"a blank title", {u"  "_s, "/srv/out", "/srv/out/doc__14_05_09_05_12_2026.pdf"}},
            {"no title: the time stamp", {std::nullopt, "/srv/out", "/srv/out/doc__14_05_09_05_12_2026.pdf"}},
            {"no folder yet: the documents folder", {u"Offer"_s, "", "DOCS/Offer.pdf"}},
        });
    }
    void proposedSavePath()
    {
        const auto row = pdfchecks::fetch<ProposalRow>();
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(PreviewController::proposedSavePath(row.title, row.folder, QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9))),
                 QString(row.expected).replace("DOCS", docs));
    }

    // A panel opened again in the same window keeps what was typed and the
    // folder chosen; the next window starts in the folder of the last save.
    void savePanelRemembers()
    {
        setTemplates({makeTemplate("T", "0", true, false, false)});
        PreviewController::rememberSaveFolder(QString());
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QDir(home().path()).mkpath("chosen folder");
        const QString out = file("chosen folder/letter.pdf");
        RecordingUi ui;
        ui.saveReplies.push_back([&](QWidget* accessory) -> std::optional<QString> {
            auto* panel = qobject_cast<SavePanelView*>(accessory);
            panel->pdfTitle->setText("Offer 12");
            panel->pwBox->setChecked(true);
            panel->passwordField->setText("Sword7");
            return file("chosen folder"); // a folder: nothing saved
        });
        ui.saveReplies.push_back([&](QWidget* accessory) -> std::optional<QString> {
            auto* panel = qobject_cast<SavePanelView*>(accessory);
            [&] {
                QCOMPARE(panel->pdfTitle->text(), u"Offer 12"_s);
                QVERIFY(panel->pwBox->isChecked());
                QCOMPARE(panel->passwordField->text(), u"Sword7"_s);
            }();
            return out;
        });
        {
            auto preview = openPreview(document(1));
            preview->jobTitle = u"Rechnung 4711"_s;
            QSignalSpy failed(preview.get(), &PreviewController::saveFailed);
            QTest::mouseClick(preview->saveButton, Qt::LeftButton);
            QVERIFY(failed.wait(20000));
            QTest::mouseClick(preview->saveButton, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(ui.exitStatus.has_value(), 20000);
        }
        const auto panels = ui.callsOf("save panel");
        QCOMPARE(panels.size(), 2);
        QCOMPARE(panels[0].title, docs + u"/Rechnung 4711.pdf"_s);
        QCOMPARE(panels[1].title, home().path() + u"/Rechnung 4711.pdf"_s); // the folder chosen first
        QCOMPARE(testpdfs::pageCount(out, "Sword7"), 1);

        // A new window, a new job without a title: the folder of the last save.
        ui.clear();
        ui.saveReplies.push_back([&](QWidget*) { return std::nullopt; });
        auto next = openPreview(document(1));
        QTest::mouseClick(next->saveButton, Qt::LeftButton);
        const QString proposed = ui.callsOf("save panel").value(0).title;
        QCOMPARE(QFileInfo(proposed).absolutePath(), QFileInfo(out).absolutePath());
        QVERIFY2(QRegularExpression("^doc__[0-9_]{19}\\.pdf$").match(QFileInfo(proposed).fileName()).hasMatch(),
                 qPrintable(proposed));
    }

    // ---- another format chosen by hand ----

    void stationeryOfAnotherFormatIsSaid_data()
    {
        pdfchecks::table<NoteRow>({
            {"an A4 document, a US Letter template",
             {testpdfs::A4Whole, "1", u"“Mine” is made for US Letter, this document is DIN A4: the stationery will be cut or shifted."_s}},
            {"a square document, an A4 template",
             {QSizeF(500, 500), "0",
              u"“Mine” is made for DIN A4, this document is neither DIN A4 nor US Letter: the stationery will be cut or shifted."_s}},
            {"a US Letter document, a template of no format",
             {testpdfs::Letter, "99", u"“Mine” is made for another size, this document is US Letter: the stationery will be cut or shifted."_s}},
            {"an A4 document, an A4 template", {testpdfs::A4Whole, "0", ""}},
        });
    }
    void stationeryOfAnotherFormatIsSaid()
    {
        const auto row = pdfchecks::fetch<NoteRow>();
        setTemplates({makeTemplate("Mine", row.docFormat, true, false, false)});
        PreviewController preview(document(1, row.document));
        preview.show();
        if (!row.note.isEmpty()) {
            // Nothing fits: nothing is in use until the user picks it.
            QTRY_COMPARE(stripMessage(preview)->text(), kNoFit);
            QCOMPARE(stripDescription(preview), kNoFit);
            QVERIFY(!preview.selectedKey);
            QCOMPARE(preview.popUp->currentIndex(), -1);
            QVERIFY(!preview.stripNote->isVisible());
            preview.popUp->setCurrentIndex(0);
        }
        QVERIFY(waitForPreview(preview));
        QCOMPARE(preview.selectedKey.value_or(QString()), u"Mine"_s);
        QCOMPARE(preview.stripNote->isVisible(), !row.note.isEmpty());
        QCOMPARE(preview.stripNote->text(), row.note);
        QVERIFY(!stripDescription(preview).contains(kNoFit)); // the message went with the pages' coming
        QVERIFY(preview.saveButton->isEnabled()); // said before the user saves, not instead
    }
};

QTEST_MAIN(TestPreviewTruth)
#include "tst_previewtruth.moc"
