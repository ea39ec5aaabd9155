// The controls: the decimal input formatter (what it lets through while the
// user types, how it shows and reads a value), the light and the dark palette
// (and which one the system asks for), the style's buttons, fields and scroll
// bars, the overlay scroll bars that fade, the hover highlight and the
// shadowed card.

#include "controls/Appearance.h"
#include "controls/OnlyIntegerValueFormatter.h"
#include "controls/OverlayScrollBars.h"
#include "controls/QuillaryStyle.h"
#include "controls/ShadowView.h"
#include "controls/TemplateSelectionOverlay.h"
#include "pdf/PdfChecks.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

using namespace quillary;

namespace {

struct TextRow {
    QString text;
    bool valid;                  // let through while typing
    std::optional<double> value; // read as a value
    QString shown;               // the value shown again
    QString locale = "C";
};

bool near(const QColor& a, const QColor& b, int tolerance = 12)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
           && qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

Q_DECLARE_METATYPE(TextRow)

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new QuillaryStyle); }
    void cleanup() { QApplication::setPalette(appearance::paletteFor(ColorScheme::Light)); }

    void typedText_data()
    {
        pdfchecks::table<TextRow>({
            {"empty", {"", true, std::nullopt}},
            {"a lone minus sign", {"-", true, std::nullopt}},
            {"integer", {"12", true, 12.0, "12.00"}},
            {"decimal comma", {"12,5", true, 12.5, "12.50"}},
            {"in a comma locale", {"-14.5", true, -14.5, "-14,50", "de_DE"}},
            {"rounded to two digits", {"2.345", true, 2.345, "2.35"}},
            {"minus zero shows as zero", {"-0", true, 0.0, "0.00"}},
            {"exponent", {"1e3", true, 1000.0, "1000.00"}},
            {"leading blank", {" 12", true, 12.0, "12.00"}},
            {"point typed last", {"12.", true, 12.0, "12.00"}},
            {"letter after digits", {"12a", false, std::nullopt}},
            {"two minus signs", {"--", false, std::nullopt}},
            {"trailing blank", {"12 ", false, std::nullopt}},
            {"a lone comma", {",", false, std::nullopt}},
            {"exponent without digits", {"1e", false, std::nullopt}},
        });
    }
    void typedText()
    {
        const auto row = pdfchecks::fetch<TextRow>();
        OnlyIntegerValueFormatter formatter;
        formatter.setLocale(QLocale(row.locale));
        QString text = row.text;
        int position = int(text.size());
        QCOMPARE(formatter.validate(text, position) == QValidator::Acceptable, row.valid);
        QCOMPARE(text, row.text); // never rewritten
        QCOMPARE(formatter.valueForString(row.text), row.value);
        if (row.value) // minus zero is read as such
            QCOMPARE(formatter.stringForValue(*formatter.valueForString(row.text)), row.shown);
    }

    void schemeFollowsTheSystemUnlessForced_data()
    {
        QTest::addColumn<QString>("override"); // what the environment asks for
        QTest::addColumn<bool>("platformDark");
        QTest::addColumn<ColorScheme>("scheme");
        QTest::newRow("light system") << "" << false << ColorScheme::Light;
        QTest::newRow("dark system") << "" << true << ColorScheme::Dark;
        QTest::newRow("forced dark on a light system") << "dark" << false << ColorScheme::Dark;
        QTest::newRow("forced light on a dark system") << "light" << true << ColorScheme::Light;
        QTest::newRow("forced, in capitals and blanks") << " DARK " << false << ColorScheme::Dark;
        QTest::newRow("unknown value: the system's") << "sepia" << true << ColorScheme::Dark;
    }
    void schemeFollowsTheSystemUnlessForced()
    {
        QFETCH(QString, override);
        QFETCH(bool, platformDark);
        QFETCH(ColorScheme, scheme);
        QPalette platform;
        platform.setColor(QPalette::Window, platformDark ? QColor(40, 40, 40) : QColor(239, 239, 239));
        QCOMPARE(appearance::chooseScheme(override, platform), scheme);
    }

    // Each palette: readable ink on every surface, the default button in the
    // accent, field text set in from the frame.
    void paletteDrawsReadableControls_data()
    {
        QTest::addColumn<ColorScheme>("scheme");
        QTest::newRow("light") << ColorScheme::Light;
        QTest::newRow("dark") << ColorScheme::Dark;
    }
    void paletteDrawsReadableControls()
    {
        QFETCH(ColorScheme, scheme);
        const QPalette palette = appearance::paletteFor(scheme);
        QCOMPARE(appearance::isDark(palette), scheme == ColorScheme::Dark);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            for (const auto& [ink, surface] : {std::pair{QPalette::Text, QPalette::Base}, {QPalette::WindowText, QPalette::Window},
                                               {QPalette::ButtonText, QPalette::Button}, {QPalette::HighlightedText, QPalette::Highlight},
                                               {QPalette::PlaceholderText, QPalette::Base}, {QPalette::PlaceholderText, QPalette::Window}}) {
                const double ratio = appearance::contrastRatio(palette.color(group, ink), palette.color(group, surface));
                QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("role %1 on %2: %3").arg(ink).arg(surface).arg(ratio)));
            }
        QVERIFY(palette.color(QPalette::Disabled, QPalette::Text) != palette.color(QPalette::Active, QPalette::Text));

        QApplication::setPalette(palette);
        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        auto* plain = new QPushButton(QStringLiteral("."), &host);
        auto* primary = new QPushButton(QStringLiteral("."), &host);
        auto* field = new QLineEdit(QStringLiteral("WWWW"), &host);
        primary->setDefault(true);
        layout->addWidget(plain);
        layout->addWidget(primary);
        layout->addWidget(field);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        // Left of the label, inside the frame; the very corner is rounded off.
        const QImage primaryImage = primary->grab().toImage();
        const QPoint inside(12, primaryImage.height() / 2);
        QVERIFY2(near(primaryImage.pixelColor(inside), appearance::accent(palette)), qPrintable(primaryImage.pixelColor(inside).name()));
        QVERIFY(near(plain->grab().toImage().pixelColor(inside), palette.color(QPalette::Button)));
        QVERIFY(!near(primaryImage.pixelColor(1, 1), appearance::accent(palette), 30));

        const QImage image = field->grab().toImage();
        int firstInk = -1;
        for (int x = 0; x < image.width() && firstInk < 0; ++x)
            for (int y = 4; y < image.height() - 4 && firstInk < 0; ++y)
                if (near(image.pixelColor(x, y), palette.color(QPalette::Text), 40))
                    firstInk = x;
        QVERIFY2(firstInk >= QuillaryStyle::TextOffset && firstInk <= QuillaryStyle::TextOffset + 6, qPrintable(QString::number(firstInk)));
        QVERIFY(near(image.pixelColor(image.width() - 8, image.height() / 2), palette.color(QPalette::Base)));
    }

    void scrollBarsHaveNoArrows()
    {
        QuillaryStyle style;
        QStyleOptionSlider bar;
        bar.orientation = Qt::Vertical;
        bar.rect = QRect(0, 0, 10, 200);
        bar.maximum = bar.pageStep = 100;
        bar.state = QStyle::State_Enabled;
        bar.sliderPosition = bar.sliderValue = 50;
        QVERIFY(style.subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarAddLine).isEmpty());
        QVERIFY(style.subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSubLine).isEmpty());
        // Half the content is in sight: half the track, halfway down.
        const QRect slider = style.subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSlider);
        QCOMPARE(slider, QRect(0, 50, 10, 100));
        QCOMPARE(style.hitTestComplexControl(QStyle::CC_ScrollBar, &bar, slider.center()), QStyle::SC_ScrollBarSlider);
    }

    void overlayBarsScrollAndFade_data()
    {
        QTest::addColumn<int>("content"); // height of the content in a 200-pixel viewport
        QTest::addColumn<int>("drag");    // pixels the thumb is dragged down
        QTest::addColumn<int>("value");   // afterwards
        QTest::newRow("a fifth in sight, dragged 80") << 1000 << 80 << 400;
        QTest::newRow("a fifth in sight, dragged past the end") << 1000 << 400 << 800;
        QTest::newRow("half in sight, dragged 50") << 400 << 50 << 100;
    }
    void overlayBarsScrollAndFade()
    {
        QFETCH(int, content);
        QFETCH(int, drag);
        QFETCH(int, value);
        OverlayScrollArea area;
        area.setFrameShape(QFrame::NoFrame);
        area.setWidget(new QWidget);
        area.widget()->setFixedSize(180, content);
        area.resize(200, 200);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        OverlayScrollBar* vertical = overlayScrollBar(&area, Qt::Vertical);
        // Over the content's edge, not beside it: the viewport keeps its
        // width. Nothing to scroll sideways: no bar there.
        QVERIFY(vertical && vertical->isVisible() && !area.verticalScrollBar()->isVisible());
        QVERIFY(overlayScrollBar(&area, Qt::Horizontal) && !overlayScrollBar(&area, Qt::Horizontal)->isVisible());
        QCOMPARE(area.viewport()->width(), 200);
        QCOMPARE(vertical->geometry().right(), area.viewport()->geometry().right());
        QCOMPARE(qRound(vertical->thumbRect().height()), 200 * 200 / content);

        // Dragging the thumb scrolls the content.
        const QPoint grip = vertical->thumbRect().center().toPoint();
        QTest::mousePress(vertical, Qt::LeftButton, {}, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(0, drag)), vertical->mapToGlobal(QPointF(grip)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vertical, &move);
        QTest::mouseRelease(vertical, Qt::LeftButton, {}, grip + QPoint(0, drag));
        QVERIFY2(qAbs(area.verticalScrollBar()->value() - value) <= 5, qPrintable(QString::number(area.verticalScrollBar()->value())));

        // Shown while it moves, faded out a moment later; scrolling while it
        // fades brings it back at once, and it stays.
        area.verticalScrollBar()->setValue(0);
        QCOMPARE(vertical->opacity(), 1.0);
        vertical->fadeOut();
        vertical->fadeAnimation().setCurrentTime(OverlayScrollBar::FadeMs / 2);
        QVERIFY(vertical->opacity() > 0 && vertical->opacity() < 1);
        area.verticalScrollBar()->setValue(30);
        QCOMPARE(vertical->opacity(), 1.0);
        QCOMPARE(vertical->fadeAnimation().state(), QAbstractAnimation::Stopped);
        vertical->fadeOut();
        vertical->fadeAnimation().setCurrentTime(OverlayScrollBar::FadeMs);
        QCOMPARE(vertical->opacity(), 0.0);
    }

    // The hover highlight of a template tile, and the card with a shadow.
    void hoverAndShadow()
    {
        QWidget host;
        host.setPalette(QPalette(Qt::white, Qt::white));
        host.setAutoFillBackground(true);
        host.resize(440, 240);
        auto* card = new ShadowView(&host);
        card->setBackgroundColor(QColor(40, 120, 200));
        card->setShadowRadius(16);
        card->setGeometry(20, 20, 260, 200);
        auto* child = new QWidget(card);
        (new QVBoxLayout(card))->addWidget(child);
        auto* overlay = new TemplateSelectionOverlay(&host);
        overlay->setGeometry(320, 20, 100, 60);
        overlay->setBackgroundColor(QColor(250, 250, 250));
        overlay->setHighlightColor(QColor(30, 90, 200));
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        const QPoint middle(50, 30);
        QEnterEvent enter(middle, middle, overlay->mapToGlobal(QPointF(middle)));
        QApplication::sendEvent(overlay, &enter);
        QVERIFY(overlay->isHovered() && near(overlay->grab().toImage().pixelColor(middle), QColor(30, 90, 200), 2));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(overlay, &leave);
        QVERIFY(near(overlay->grab().toImage().pixelColor(middle), QColor(250, 250, 250), 2));

        // The card in its colour, its children on it, a shadow just below it
        // fading to nothing far away.
        const QImage image = host.grab().toImage();
        const QRect cardRect = card->cardRect().toRect().translated(card->pos());
        QVERIFY(near(image.pixelColor(cardRect.center()), QColor(40, 120, 200), 3));
        QVERIFY(cardRect.contains(QRect(child->mapTo(&host, QPoint(0, 0)), child->size())));
        const QColor below = image.pixelColor(cardRect.center().x(), cardRect.bottom() + 5);
        QVERIFY2(below.lightness() < 250, qPrintable(below.name()));
        QVERIFY(near(image.pixelColor(2, 2), Qt::white, 1));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
