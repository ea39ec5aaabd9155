// The template window as a first-time user meets it: unsaved edits are not
// lost without asking, pages of different paper formats are named at save
// time, every text of the list is readable in each palette (measured on
// rendered pixels), dates read in the user's language, the keyboard walks the
// window in visual order, assistive technology sees a list of templates,
// alerts show their kind, the open panel's dialog is chosen, and the first
// template's page is a placeholder in the user's language.

#include "controls/Appearance.h"
#include "guides/GuideSheet.h"
#include "guides/Guides.h"
#include "guides/VideoGuide.h"
#include "guides/WindowGuide.h"
#include "pdf/PdfChecks.h"
#include "platform/AlertBox.h"
#include "platform/FileDialogChoice.h"
#include "platform/NamedImage.h"
#include "platform/StderrSieve.h"
#include "platform/Translations.h"
#include "store/PlaceholderPage.h"
#include "support/ManagementFixture.h"
#include "support/RecordingUi.h"
#include "templates/CircleView.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateViewController.h"
#include "templates/TemplateWindow.h"

#include <QAccessible>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPdfDocument>
#include <QToolButton>

#include <map>

#include <cstdio>
#include <unistd.h>

using namespace quillary;
using fixture::pdf;

namespace {

// action: "add", "select" or "close"; change: "none", "name", "page", "same"
// (the name typed back as it was); left: the assistant (or window) went.
struct LeaveRow {
    QString action, change;
    std::optional<SaveChoice> reply;
    bool asked, left;
    int handedOn;
};
// asked: a part of the question's text, empty when none is asked.
struct FormatRow { QSizeF start, next, terms; bool saveAnyway; QString asked; bool handedOn; };
struct PaletteRow { QPalette palette; };
struct LabelRow { QString stored; QLocale locale; bool german; QString shown; };
struct PortalRow { FileDialogSetting setting; bool portal; };

QPalette withHighlight(ColorScheme scheme, QColor highlight, QColor text)
{
    QPalette palette = appearance::paletteFor(scheme);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, highlight);
        palette.setColor(group, QPalette::HighlightedText, text);
    }
    return palette;
}

// The lowest contrast of any text label of row against what it is drawn
// on, as rendered: the label's most frequent colour is its background, the
// pixel farthest from it its text.
double lowestTextContrast(QWidget* row, QString* worst)
{
    const QImage image = row->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = image.devicePixelRatio();
    double lowest = 21;
    for (QLabel* label : row->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        const QRect area(label->mapTo(row, QPoint(0, 0)) * ratio, label->size() * ratio);
        std::map<QRgb, int> counts;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ++counts[image.pixel(x, y)];
        QRgb background = 0;
        int most = -1;
        for (const auto& [colour, n] : counts)
            if (n > most)
                most = n, background = colour;
        double best = 1;
        for (const auto& [colour, n] : counts)
            best = std::max(best, appearance::contrastRatio(QColor(colour), QColor(background)));
        if (best < lowest) {
            lowest = best;
            *worst = label->text();
        }
    }
    return lowest;
}

// Everything written on standard error while body runs.
QByteArray standardErrorOf(const std::function<void()>& body)
{
    QTemporaryFile file;
    if (!file.open())
        return "cannot capture";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    body();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

QString pdfText(const QString& path)
{
    QPdfDocument document;
    document.load(path);
    return document.pageCount() > 0 ? document.getAllText(0).text() : QString();
}

} // namespace

Q_DECLARE_METATYPE(LeaveRow)
Q_DECLARE_METATYPE(FormatRow)
Q_DECLARE_METATYPE(PaletteRow)
Q_DECLARE_METATYPE(LabelRow)
Q_DECLARE_METATYPE(PortalRow)

class TestWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TemplateWindow> window;
    std::unique_ptr<ConfigurationAssistantController> assistant;
    std::unique_ptr<TemplateViewController> list;

    MainViewController* openMain()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}});
        window = std::make_unique<TemplateWindow>();
        window->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(window.get())); }();
        return window->mainView();
    }

private slots:
    void initTestCase()
    {
        fixture::setUpStore();
        // The application's own style and palette, as the window has them.
        appearance::apply(*qApp);
        registerTemplateScenes();
        registerGuideScenes();
        // The sheet's video is not what these tests look at.
        VideoGuide::setMediaBackendProbe([] { return false; });
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void cleanup()
    {
        window.reset();
        assistant.reset();
        list.reset();
        QApplication::setPalette(appearance::paletteFor(ColorScheme::Light));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void unsavedEditsAreNotLostWithoutAsking_data()
    {
        using S = SaveChoice;
        pdfchecks::table<LeaveRow>({
            {"+ with nothing changed: no question", {"add", "none", {}, false, true, 0}},
            {"+ after a new name: cancel stays", {"add", "name", S::Cancel, true, false, 0}},
            {"+ after a dropped page: discard goes", {"add", "page", S::Discard, true, true, 0}},
            {"another row after a new name: save hands the edit on", {"select", "name", S::Save, true, false, 1}},
            {"another row after a dropped page: cancel stays", {"select", "page", S::Cancel, true, false, 0}},
            {"another row after a new name: discard goes", {"select", "name", S::Discard, true, true, 0}},
            {"a name typed back as it was: nothing to ask", {"select", "same", {}, false, true, 0}},
            {"quitting after a new name: cancel keeps the window", {"close", "name", S::Cancel, true, false, 0}},
            {"quitting after a dropped page: discard closes", {"close", "page", S::Discard, true, true, 0}},
            {"quitting with nothing changed: no question", {"close", "none", {}, false, true, 0}},
        });
    }
    void unsavedEditsAreNotLostWithoutAsking()
    {
        const auto row = pdfchecks::fetch<LeaveRow>();
        RecordingUi ui;
        MainViewController* main = openMain();
        QPointer<ConfigurationAssistantController> first = main->assistant();
        QCOMPARE(first->editedName(), QStringLiteral("Alpha"));
        if (row.change == "name")
            first->templateNameField->setText("Alpha renamed");
        else if (row.change == "same")
            first->templateNameField->setText("Alpha x"), first->templateNameField->setText("Alpha");
        else if (row.change == "page")
            QVERIFY(fixture::drop(first->continualController, pdf("next")));
        if (row.reply)
            ui.saveChoiceReplies = {*row.reply};
        int handed = 0;
        connect(main, &MainViewController::templateConfirmed, this, [&] { ++handed; });

        if (row.action == "add")
            QTest::mouseClick(main->templateList()->addTemplateButton(), Qt::LeftButton);
        else if (row.action == "select")
            main->templateList()->selectRow(1);
        else
            window->close();

        QCOMPARE(ui.callsOf("ask to save").size(), row.asked ? 1 : 0);
        if (row.asked)
            QVERIFY(ui.callsOf("ask to save").first().text.contains(row.change == "name" ? "Alpha renamed" : "Alpha"));
        QCOMPARE(handed, row.handedOn);
        if (row.action == "close") {
            QCOMPARE(!window->isVisible(), row.left);
        } else {
            QCOMPARE(main->assistant() != first.data(), row.left);
            // The list shows selected what the assistant shows.
            const int shown = main->templateList()->rowView(0)->isSelected() ? 0
                              : main->templateList()->rowView(1)->isSelected() ? 1 : -1;
            QCOMPARE(shown, row.left ? (row.action == "select" ? 1 : -1) : 0);
        }
        if (!row.left && row.handedOn == 0 && row.change == "name")
            QCOMPARE(first->templateNameField->text(), QStringLiteral("Alpha renamed")); // nothing lost
    }

    void pagesOfDifferentFormatsAreNamedAtSaveTime_data()
    {
        const QSizeF a4 = testpdfs::A4Whole, letter = testpdfs::Letter, landscape = testpdfs::A4Landscape;
        pdfchecks::table<FormatRow>({
            {"all DIN A4: no question", {a4, a4, a4, false, "", true}},
            {"US Letter start, DIN A4 continuation: named, cancel keeps",
             {letter, a4, {}, false, "The start page is US Letter, but the Continuation page is DIN A4", false}},
            {"the same, saved anyway", {letter, a4, {}, true, "the Continuation page is DIN A4", true}},
            {"a US Letter terms page is named", {a4, {}, letter, false, "but the Terms page is US Letter", false}},
            {"a landscape continuation page is the same paper: no question", {a4, landscape, {}, false, "", true}},
            {"a landscape US Letter continuation page is named with its orientation",
             {a4, QSizeF(792, 612), {}, false, "Continuation page is US Letter landscape", false}},
            {"US Letter throughout: no question", {letter, letter, letter, false, "", true}},
        });
    }
    void pagesOfDifferentFormatsAreNamedAtSaveTime()
    {
        const auto row = pdfchecks::fetch<FormatRow>();
        RecordingUi ui;
        ui.confirmReplies = {row.saveAnyway};
        SharedData::isNewTemplate = true;
        SharedData::templateName.clear();
        assistant = std::make_unique<ConfigurationAssistantController>();
        assistant->show();
        auto file = [](QSizeF size) {
            return pdf(QStringLiteral("format-%1x%2").arg(size.width()).arg(size.height()), size);
        };
        QVERIFY(fixture::drop(assistant->startController, file(row.start)));
        if (!row.next.isEmpty())
            QVERIFY(fixture::drop(assistant->continualController, file(row.next)));
        if (!row.terms.isEmpty())
            QVERIFY(fixture::drop(assistant->agbController, file(row.terms)));
        assistant->templateNameField->setText("Mixed");
        int handed = 0;
        connect(assistant.get(), &ConfigurationAssistantController::confirmed, this, [&] { ++handed; });

        QCOMPARE(assistant->check(), row.handedOn);
        QCOMPARE(handed, row.handedOn ? 1 : 0);
        const auto asked = ui.callsOf("confirm");
        QCOMPARE(asked.size(), row.asked.isEmpty() ? 0 : 1);
        if (!row.asked.isEmpty())
            QVERIFY2(asked.first().text.contains(row.asked), qPrintable(asked.first().text));
        QVERIFY(ui.alerts().isEmpty());
    }

    void everyTextOfTheListIsReadable_data()
    {
        pdfchecks::table<PaletteRow>({
            {"light", {appearance::paletteFor(ColorScheme::Light)}},
            {"dark", {appearance::paletteFor(ColorScheme::Dark)}},
            {"a dark scheme with a light highlight",
             {withHighlight(ColorScheme::Dark, QColor(204, 228, 247), Qt::black)}},
            {"a light scheme with a dark highlight",
             {withHighlight(ColorScheme::Light, QColor(20, 40, 90), Qt::white)}},
        });
    }
    void everyTextOfTheListIsReadable()
    {
        const auto row = pdfchecks::fetch<PaletteRow>();
        fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}});
        // Switched while the list is open, as the system's scheme may be.
        list = std::make_unique<TemplateViewController>();
        list->resize(420, 500);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        QApplication::setPalette(row.palette);
        QCoreApplication::processEvents();
        QVERIFY(list->rowView(0)->isSelected());
        for (int i : {0, 1}) {
            QString worst;
            const double contrast = lowestTextContrast(list->rowView(i), &worst);
            QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("row %1, \"%2\": %3:1").arg(i).arg(worst).arg(contrast)));
        }
    }

    void datesAreShownInTheUsersLanguage_data()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates), de(QLocale::German, QLocale::Germany);
        pdfchecks::table<LabelRow>({
            {"created, in English", {"Created 05.12.26", us, false, "Created on 12/5/26"}},
            {"updated, in German", {"Updated 01.02.25", de, true, "Aktualisiert am 01.02.25"}},
            {"created, in German", {"Created 05.12.26", de, true, "Erstellt am 05.12.26"}},
            {"a German label of an older version, in English", {"Erstellt 05.12.26", us, false, "Created on 12/5/26"}},
            {"missing", {"", us, false, ""}},
            {"anything else stays as stored", {"Imported yesterday", de, true, "Imported yesterday"}},
        });
    }
    void datesAreShownInTheUsersLanguage()
    {
        const auto row = pdfchecks::fetch<LabelRow>();
        std::optional<Translations> german;
        if (row.german)
            german.emplace(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(shownChangeLabel(row.stored, row.locale), row.shown);
    }

    void theStoredLabelStaysEnglishAndTheRowTranslatesIt()
    {
        const Translations german(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(german.language(), QStringLiteral("de"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        fixture::resetTemplates({{"Alpha", pdf("alpha")}});
        QCOMPARE(fixture::stored("Alpha").lastActivityWithDate(), QStringLiteral("Created 05.12.26"));
        list = std::make_unique<TemplateViewController>();
        QCOMPARE(list->rowView(0)->dateField()->text(), QStringLiteral("Erstellt am 05.12.26"));
    }

    void keyboardWalksTheWindowAsItIsSeen()
    {
        MainViewController* main = openMain();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        TemplateViewController* rows = main->templateList();
        ConfigurationAssistantController* edit = main->assistant();
        QList<QWidget*> expected{rows};
        for (int i = 0; i < rows->numberOfRows(); ++i)
            expected << rows->rowView(i)->activeSwitch() << rows->rowView(i)->layerSwitch();
        expected << rows->addTemplateButton();
        for (QToolButton* button : rows->findChildren<QToolButton*>())
            if (button->accessibleName() == TemplateViewController::tr("Delete template"))
                expected << button;
        expected << edit->templateNameField << edit->slotButton(1) << edit->slotButton(2) << edit->slotButton(3)
                 << edit->findChild<QToolButton*>(QStringLiteral("helpButton")) << edit->configureButton;
        QVERIFY(!expected.contains(nullptr));

        // Tab from the list on, as a user presses it.
        rows->setFocus(Qt::TabFocusReason);
        QList<QWidget*> walked{QApplication::focusWidget()};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget();
        }
        QCOMPARE(walked, expected);

        // + shows it has the keyboard: a ring in the accent colour.
        const QColor accent = appearance::accent(rows->palette());
        auto accentPixels = [&](QWidget* widget) {
            const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    n += qAbs(c.red() - accent.red()) + qAbs(c.green() - accent.green()) + qAbs(c.blue() - accent.blue()) < 40;
                }
            return n;
        };
        rows->addTemplateButton()->setFocus(Qt::TabFocusReason);
        QVERIFY(rows->addTemplateButton()->hasFocus());
        QVERIFY2(accentPixels(rows->addTemplateButton()) > 20, "no focus ring on +");
        edit->templateNameField->setFocus(Qt::TabFocusReason);
        QCOMPARE(accentPixels(rows->addTemplateButton()), 0);
    }

    void escapeClosesTheGuideSheet()
    {
        MainViewController* main = openMain();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QPointer<WindowGuide> sheet = showGuideSheet(window.get());
        QVERIFY(sheet && sheet->isVisible());
        main->assistant()->templateNameField->setFocus();
        QTest::keyClick(main->assistant()->templateNameField, Qt::Key_Escape);
        QVERIFY(!sheet || !sheet->isVisible());
    }

    void assistiveTechnologySeesAListOfTemplates()
    {
        fixture::resetTemplates({{"Alpha", pdf("alpha")}, {"Beta", pdf("beta")}});
        list = std::make_unique<TemplateViewController>();
        list->resize(420, 500);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        QAccessibleInterface* host = QAccessible::queryAccessibleInterface(list->rowView(0)->parentWidget());
        QVERIFY(host);
        QCOMPARE(host->role(), QAccessible::List);
        auto items = [&] {
            QStringList seen;
            for (int i = 0; i < host->childCount(); ++i) {
                QAccessibleInterface* child = host->child(i);
                if (child && child->role() == QAccessible::ListItem)
                    seen << child->text(QAccessible::Name) + (child->state().selected ? "|selected" : "");
            }
            return seen;
        };
        QCOMPARE(items(), (QStringList{"Alpha|selected", "Beta"}));
        list->selectRow(1);
        QCOMPARE(items(), (QStringList{"Alpha", "Beta|selected"}));
        // A screen reader's "press" selects.
        QAccessibleInterface* alpha = QAccessible::queryAccessibleInterface(list->rowView(0));
        QVERIFY(alpha->actionInterface());
        alpha->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(items(), (QStringList{"Alpha|selected", "Beta"}));
        QVERIFY(alpha->text(QAccessible::Description).contains(QStringLiteral("DIN A4")));
    }

    void alertsShowTheirKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("picture");
        QTest::newRow("information") << int(AlertKind::Information) << "alert-information";
        QTest::newRow("warning") << int(AlertKind::Warning) << "alert-warning";
        QTest::newRow("error") << int(AlertKind::Error) << "alert-error";
    }
    void alertsShowTheirKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, picture);
        // No icon theme here: the bundled pictures stand in.
        QIcon::setThemeName(QString());
        QMessageBox box;
        setUpAlertBox(box, AlertKind(kind), "Template not saved", "The disk is full.");
        const QImage shown = box.iconPixmap().toImage();
        const QImage bundled = namedImage(picture).pixmap(QSize(48, 48), box.devicePixelRatioF()).toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown, bundled);
        auto* first = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(first);
        QCOMPARE(first->text(), QStringLiteral("Template not saved"));
        QVERIFY(first->font().bold());
        QCOMPARE(box.informativeText(), QStringLiteral("The disk is full."));
    }

    void fileDialogColumnsFitTheirContents()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir("Vorlagen"));
        const QString longName = QStringLiteral("Vorlagen/Briefpapier der Niederlassung Nord mit Bankverbindung, Fassung 2026.pdf");
        QVERIFY(testpdfs::writePdf(folder.filePath(longName), {{}}));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setViewMode(QFileDialog::Detail);
        dialog.setDirectory(folder.path());
        fitFileDialogColumns(dialog);
        dialog.show();
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(view);
        QAbstractItemView* items = view;
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
        // Narrow columns, as a dialog state saved earlier brings them back;
        // then into the folder with the long name.
        for (int column = 0; column < view->header()->count(); ++column)
            view->setColumnWidth(column, 40);
        dialog.setDirectory(folder.filePath("Vorlagen"));
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
        QCoreApplication::processEvents();
        // The name shows whole, and so do size, kind and date.
        for (int column = 0; column < view->header()->count(); ++column)
            QTRY_VERIFY2(view->columnWidth(column) >= items->sizeHintForColumn(column),
                         qPrintable(QStringLiteral("column %1: %2 < %3").arg(column).arg(view->columnWidth(column))
                                        .arg(items->sizeHintForColumn(column))));
    }

    void theOpenPanelUsesThePortalWhereTheDesktopOffersIt_data()
    {
        const FileDialogSetting offered{.sessionBus = true, .portalFileChooser = true, .portalThemeInstalled = true};
        auto with = [&](auto change) {
            FileDialogSetting s = offered;
            change(s);
            return s;
        };
        pdfchecks::table<PortalRow>({
            {"a desktop with a file chooser portal", {offered, true}},
            {"no portal backend with a file chooser", {with([](auto& s) { s.portalFileChooser = false; }), false}},
            {"no session bus", {with([](auto& s) { s.sessionBus = false; }), false}},
            {"Qt's portal theme not installed", {with([](auto& s) { s.portalThemeInstalled = false; }), false}},
            {"a platform theme set by the user", {with([](auto& s) { s.platformTheme = "gtk3"; }), false}},
            {"QUILLARY_FILE_DIALOG=qt", {with([](auto& s) { s.quillaryFileDialog = "qt"; }), false}},
            {"QUILLARY_FILE_DIALOG=portal without a backend",
             {with([](auto& s) { s.quillaryFileDialog = "portal", s.portalFileChooser = false; }), true}},
            {"a Flatpak sandbox", {with([](auto& s) { s.sandboxed = true, s.sessionBus = false; }), true}},
        });
    }
    void theOpenPanelUsesThePortalWhereTheDesktopOffersIt()
    {
        const auto row = pdfchecks::fetch<PortalRow>();
        QCOMPARE(usePortalFileDialog(row.setting), row.portal);
    }

    void videoHardwareProbesDoNotReachStandardError_data()
    {
        QTest::addColumn<QByteArrayList>("written");
        QTest::addColumn<QByteArray>("passed");
        QTest::newRow("the driver loader's lines are dropped")
            << QByteArrayList{"Failed to open VDPAU backend libvdpau_nvidia.so: cannot open shared object file\n",
                              "libva info: VA-API version 1.17.0\n", "[AVHWDeviceContext @ 0x55] Cannot load libcuda.so.1\n"}
            << QByteArray();
        QTest::newRow("anything else is passed on, in order")
            << QByteArrayList{"libva error: /usr/lib/dri/iHD_drv_video.so init failed\n", "quillary: a real problem\n",
                              "Failed to open VDPAU backend x\n", "second line\n"}
            << QByteArray("quillary: a real problem\nsecond line\n");
        QTest::newRow("a last line without its end") << QByteArrayList{"unfinished"} << QByteArray("unfinished\n");
    }
    void videoHardwareProbesDoNotReachStandardError()
    {
        QFETCH(QByteArrayList, written);
        QFETCH(QByteArray, passed);
        const QByteArray seen = standardErrorOf([&] {
            StderrSieve sieve(videoHardwareProbeNoise());
            QVERIFY(sieve.active());
            for (const QByteArray& text : written) {
                // Both ways a library writes: through stdio and to the descriptor.
                if (text.startsWith("libva"))
                    std::fputs(text.constData(), stderr);
                else
                    QCOMPARE(::write(STDERR_FILENO, text.constData(), size_t(text.size())), ssize_t(text.size()));
            }
        });
        QCOMPARE(seen, passed);
    }

    void theGuideVideoSpeaksTheInterfaceLanguage_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("video");
        QTest::newRow("English") << false << ":/quillary/guides/quillary.mp4";
        QTest::newRow("German") << true << ":/quillary/guides/quillary_de.mp4";
    }
    void theGuideVideoSpeaksTheInterfaceLanguage()
    {
        QFETCH(bool, german);
        QFETCH(QString, video);
        std::optional<Translations> translations;
        if (german)
            translations.emplace(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(VideoGuide::defaultSource(), video);
        QFile clip(video);
        QVERIFY(clip.open(QIODevice::ReadOnly));
        QCOMPARE(clip.read(12).mid(4, 4), QByteArray("ftyp")); // an MP4 file, not a placeholder
    }

    void theFirstTemplatesPageIsAPlaceholderInTheUsersLanguage_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("says");
        QTest::newRow("English") << false << ":/quillary/sample-letterhead.pdf" << "Your letterhead here";
        QTest::newRow("German") << true << ":/quillary/sample-letterhead_de.pdf" << "Ihr Briefkopf";
    }
    void theFirstTemplatesPageIsAPlaceholderInTheUsersLanguage()
    {
        QFETCH(bool, german);
        QFETCH(QString, file);
        QFETCH(QString, says);
        std::optional<Translations> translations;
        if (german)
            translations.emplace(QLocale(QLocale::German, QLocale::Germany));
        const QString page = placeholderPageIn(QStringLiteral(":/quillary/sample-letterhead.pdf"));
        QCOMPARE(page, file);
        const QString text = pdfText(page);
        QVERIFY2(text.contains(says), qPrintable(text));
        // No company, no bank details: nothing that could pass for real stationery.
        QVERIFY(!text.contains("IBAN") && !text.contains("GmbH") && !text.contains("Partner"));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
