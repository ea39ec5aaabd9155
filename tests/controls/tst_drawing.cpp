// The drawing-only controls: the light and the dark palette (and which one
// the system asks for), the style's buttons, fields and scroll bars, the
// overlay scroll bars that fade, the hover highlight and the shadowed card.

#include "controls/Appearance.h"
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

struct SchemeRow {
    QString override;
    bool platformDark;
    ColorScheme expected;
};

struct PaletteRow {
    ColorScheme scheme;
};

struct ScrollRow {
    int content;     // height of the content in a 200-pixel viewport
    int drag;        // pixels the thumb is dragged down
    int expected;    // value afterwards
};

// Whether two colours are alike (within tolerance per channel).
bool near(const QColor& a, const QColor& b, int tolerance = 12)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
           && qAbs(a.blue() - b.blue()) <= tolerance;
}

QPalette platformPalette(bool dark)
{
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(40, 40, 40) : QColor(239, 239, 239));
    return palette;
}

} // namespace

Q_DECLARE_METATYPE(SchemeRow)
Q_DECLARE_METATYPE(PaletteRow)
Q_DECLARE_METATYPE(ScrollRow)

class TestDrawing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new QuillaryStyle); }
    void cleanup() { QApplication::setPalette(appearance::paletteFor(ColorScheme::Light)); }

    void schemeFollowsTheSystemUnlessForced_data();
    void schemeFollowsTheSystemUnlessForced();
    void palettesAreReadable_data();
    void palettesAreReadable();
    void defaultButtonIsDrawnInTheAccent_data();
    void defaultButtonIsDrawnInTheAccent();
    void fieldTextSitsInFromItsFrame_data();
    void fieldTextSitsInFromItsFrame();
    void scrollBarsHaveNoArrows();
    void overlayBarsScrollAndFade_data();
    void overlayBarsScrollAndFade();
    void hoverHighlight();
    void shadowedCard();
};

void TestDrawing::schemeFollowsTheSystemUnlessForced_data()
{
    pdfchecks::table<SchemeRow>({
        {"light system", {"", false, ColorScheme::Light}},
        {"dark system", {"", true, ColorScheme::Dark}},
        {"forced dark on a light system", {"dark", false, ColorScheme::Dark}},
        {"forced light on a dark system", {"light", true, ColorScheme::Light}},
        {"forced, in capitals and blanks", {" DARK ", false, ColorScheme::Dark}},
        {"unknown value: the system's", {"sepia", true, ColorScheme::Dark}},
    });
}

void TestDrawing::schemeFollowsTheSystemUnlessForced()
{
    const auto row = pdfchecks::fetch<SchemeRow>();
    QCOMPARE(appearance::chooseScheme(row.override, platformPalette(row.platformDark)), row.expected);
}

void TestDrawing::palettesAreReadable_data()
{
    pdfchecks::table<PaletteRow>({{"light", {ColorScheme::Light}}, {"dark", {ColorScheme::Dark}}});
}

void TestDrawing::palettesAreReadable()
{
    const auto row = pdfchecks::fetch<PaletteRow>();
    const QPalette palette = appearance::paletteFor(row.scheme);
    QCOMPARE(appearance::isDark(palette), row.scheme == ColorScheme::Dark);
    const QList<std::pair<QPalette::ColorRole, QPalette::ColorRole>> pairs{
        {QPalette::Text, QPalette::Base},
        {QPalette::WindowText, QPalette::Window},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::PlaceholderText, QPalette::Base},
        {QPalette::PlaceholderText, QPalette::Window},
    };
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (const auto& [ink, surface] : pairs) {
            const double ratio = appearance::contrastRatio(palette.color(group, ink), palette.color(group, surface));
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("role %1 on %2: %3").arg(ink).arg(surface).arg(ratio)));
        }
    // Disabled text is told apart from enabled text.
    QVERIFY(palette.color(QPalette::Disabled, QPalette::Text) != palette.color(QPalette::Active, QPalette::Text));
}

void TestDrawing::defaultButtonIsDrawnInTheAccent_data()
{
    palettesAreReadable_data();
}

void TestDrawing::defaultButtonIsDrawnInTheAccent()
{
    const auto row = pdfchecks::fetch<PaletteRow>();
    QApplication::setPalette(appearance::paletteFor(row.scheme));
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    auto* plain = new QPushButton(QStringLiteral("."), &host);
    auto* primary = new QPushButton(QStringLiteral("."), &host);
    primary->setDefault(true);
    layout->addWidget(plain);
    layout->addWidget(primary);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage plainImage = plain->grab().toImage();
    const QImage primaryImage = primary->grab().toImage();
    // Left of the label, inside the frame.
    const QPoint inside(12, plainImage.height() / 2);
    const QPalette palette = host.palette();
    QVERIFY2(near(primaryImage.pixelColor(inside), appearance::accent(palette)),
             qPrintable(primaryImage.pixelColor(inside).name()));
    QVERIFY2(near(plainImage.pixelColor(inside), palette.color(QPalette::Button)),
             qPrintable(plainImage.pixelColor(inside).name()));
    // Rounded: the very corner shows what lies behind, not the button.
    QVERIFY(!near(primaryImage.pixelColor(1, 1), appearance::accent(palette), 30));
}

void TestDrawing::fieldTextSitsInFromItsFrame_data()
{
    palettesAreReadable_data();
}

void TestDrawing::fieldTextSitsInFromItsFrame()
{
    const auto row = pdfchecks::fetch<PaletteRow>();
    QApplication::setPalette(appearance::paletteFor(row.scheme));
    QLineEdit field(QStringLiteral("WWWW"));
    field.resize(200, field.sizeHint().height());
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QVERIFY(field.height() >= 30);
    const QImage image = field.grab().toImage();
    const QColor ink = field.palette().color(QPalette::Text);
    int firstInk = -1;
    for (int x = 0; x < image.width() && firstInk < 0; ++x)
        for (int y = 4; y < image.height() - 4; ++y)
            if (near(image.pixelColor(x, y), ink, 40)) {
                firstInk = x;
                break;
            }
    QVERIFY(firstInk >= QuillaryStyle::TextOffset);
    QVERIFY(firstInk <= QuillaryStyle::TextOffset + 6);
    // The field itself is the base colour.
    QVERIFY(near(image.pixelColor(image.width() - 8, image.height() / 2), field.palette().color(QPalette::Base)));
}

void TestDrawing::scrollBarsHaveNoArrows()
{
    QuillaryStyle style;
    QStyleOptionSlider bar;
    bar.orientation = Qt::Vertical;
    bar.rect = QRect(0, 0, 10, 200);
    bar.minimum = 0;
    bar.maximum = 100;
    bar.pageStep = 100;
    bar.state = QStyle::State_Enabled;
    for (const int value : {0, 50, 100}) {
        bar.sliderPosition = bar.sliderValue = value;
        QVERIFY(style.subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarAddLine).isEmpty());
        QVERIFY(style.subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSubLine).isEmpty());
        const QRect slider = style.subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSlider);
        // Half the content is in sight: half the track.
        QCOMPARE(slider.height(), 100);
        QCOMPARE(slider.top(), value);
        QCOMPARE(style.hitTestComplexControl(QStyle::CC_ScrollBar, &bar, slider.center()), QStyle::SC_ScrollBarSlider);
    }
    QCOMPARE(style.pixelMetric(QStyle::PM_ScrollBarExtent), QuillaryStyle::ScrollBarExtent);
}

void TestDrawing::overlayBarsScrollAndFade_data()
{
    pdfchecks::table<ScrollRow>({
        {"a fifth in sight, dragged 80", {1000, 80, 400}},
        {"a fifth in sight, dragged past the end", {1000, 400, 800}},
        {"half in sight, dragged 50", {400, 50, 100}},
    });
}

void TestDrawing::overlayBarsScrollAndFade()
{
    const auto row = pdfchecks::fetch<ScrollRow>();
    OverlayScrollArea area;
    area.setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    content->setFixedSize(180, row.content);
    area.setWidget(content);
    area.resize(200, 200);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    OverlayScrollBar* vertical = overlayScrollBar(&area, Qt::Vertical);
    OverlayScrollBar* horizontal = overlayScrollBar(&area, Qt::Horizontal);
    QVERIFY(vertical && horizontal);
    // Over the content's edge, not beside it: the viewport keeps its width.
    QVERIFY(!area.verticalScrollBar()->isVisible());
    QCOMPARE(area.viewport()->width(), 200);
    QVERIFY(vertical->isVisible());
    QVERIFY(!horizontal->isVisible()); // nothing to scroll sideways
    QCOMPARE(vertical->geometry().right(), area.viewport()->geometry().right());
    const QRectF thumb = vertical->thumbRect();
    QCOMPARE(qRound(thumb.height()), 200 * 200 / row.content);

    // Dragging the thumb scrolls the content.
    const QPoint grip = thumb.center().toPoint();
    QTest::mousePress(vertical, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(0, row.drag)), vertical->mapToGlobal(QPointF(grip)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vertical, &move);
    QTest::mouseRelease(vertical, Qt::LeftButton, {}, grip + QPoint(0, row.drag));
    QVERIFY2(qAbs(area.verticalScrollBar()->value() - row.expected) <= 5,
             qPrintable(QString::number(area.verticalScrollBar()->value())));

    // Shown while it moves, faded out a moment later.
    area.verticalScrollBar()->setValue(0);
    QCOMPARE(vertical->opacity(), 1.0);
    QVERIFY(vertical->fadeDelay().isActive());
    vertical->fadeOut();
    QCOMPARE(vertical->fadeAnimation().state(), QAbstractAnimation::Running);
    vertical->fadeAnimation().setCurrentTime(OverlayScrollBar::FadeMs / 2);
    QVERIFY(vertical->opacity() > 0 && vertical->opacity() < 1);
    // Scrolling while it fades brings it back at once, and it stays.
    area.verticalScrollBar()->setValue(30);
    QCOMPARE(vertical->opacity(), 1.0);
    QCOMPARE(vertical->fadeAnimation().state(), QAbstractAnimation::Stopped);
    vertical->fadeOut();
    vertical->fadeAnimation().setCurrentTime(OverlayScrollBar::FadeMs);
    QCOMPARE(vertical->opacity(), 0.0);
}

void TestDrawing::hoverHighlight()
{
    QWidget host;
    host.resize(120, 80);
    auto* overlay = new TemplateSelectionOverlay(&host);
    overlay->setGeometry(10, 10, 100, 60);
    overlay->setBackgroundColor(QColor(250, 250, 250));
    overlay->setHighlightColor(QColor(30, 90, 200));
    overlay->setCornerRadius(8);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QPoint middle(50, 30);
    QVERIFY(near(overlay->grab().toImage().pixelColor(middle), QColor(250, 250, 250), 2));

    const QPointF at(middle);
    QEnterEvent enter(at, at, overlay->mapToGlobal(at));
    QApplication::sendEvent(overlay, &enter);
    QVERIFY(overlay->isHovered());
    QVERIFY(near(overlay->grab().toImage().pixelColor(middle), QColor(30, 90, 200), 2));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(overlay, &leave);
    QCOMPARE(overlay->currentColor(), QColor(250, 250, 250));
    QVERIFY(near(overlay->grab().toImage().pixelColor(middle), QColor(250, 250, 250), 2));
}

void TestDrawing::shadowedCard()
{
    QWidget host;
    host.setAutoFillBackground(true);
    QPalette white = host.palette();
    white.setColor(QPalette::Window, Qt::white);
    host.setPalette(white);
    host.resize(300, 240);
    auto* card = new ShadowView(&host);
    card->setBackgroundColor(QColor(40, 120, 200));
    card->setShadowRadius(16);
    card->setGeometry(20, 20, 260, 200);
    auto* layout = new QVBoxLayout(card);
    auto* child = new QWidget(card);
    layout->addWidget(child);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCoreApplication::processEvents();
    const QImage image = host.grab().toImage();
    const QRect cardRect = card->cardRect().toRect().translated(card->pos());
    // The card in its colour, its children on it.
    QVERIFY(near(image.pixelColor(cardRect.center()), QColor(40, 120, 200), 3));
    QVERIFY(cardRect.contains(QRect(child->mapTo(&host, QPoint(0, 0)), child->size())));
    // A shadow just below it, fading to nothing far away.
    const QColor below = image.pixelColor(cardRect.center().x(), cardRect.bottom() + 5);
    QVERIFY2(below.lightness() < 250, qPrintable(below.name()));
    QVERIFY(near(image.pixelColor(2, 2), Qt::white, 1));
}

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
