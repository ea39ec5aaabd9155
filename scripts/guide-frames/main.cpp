// Renders the frames of the guide video from the template window itself: a
// new template, a letterhead PDF dragged onto the start page and dropped, a
// continuation page likewise, a name typed. Each frame is the window as it is
// drawn at that moment, with the pointer and the dragged file drawn over it.
//
//   quillary-guide-frames OUTPUT-FOLDER
//
// Run it offscreen with a throwaway HOME (scripts/make-guide-video.sh does):
// it makes a template store there. Frames are written as 0000.png, 0001.png, ...

#include "controls/Appearance.h"
#include "platform/Translations.h"
#include "platform/Ui.h"
#include "store/CustomFileManager.h"
#include "store/PlaceholderPage.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/PageThumbnails.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateViewController.h"
#include "templates/TemplateWindow.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextStream>
#include <QUrl>

#include <cmath>
#include <cstdio>

using namespace quillary;

namespace {

constexpr int Fps = 15;

// No dialog may stop the recording.
class SilentUi : public quillary::Ui {
public:
    void alert(QWidget*, const QString&, const QString&, AlertKind) override {}
    bool confirm(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return false; }
    SaveChoice askToSave(QWidget*, const QString&, const QString&) override { return SaveChoice::Cancel; }
    std::optional<QString> chooseFileToOpen(QWidget*, const QString&, const QStringList&) override { return {}; }
    std::optional<QString> chooseSaveFile(QWidget*, const QString&, QWidget*) override { return {}; }
    bool choosePrinter(QWidget*, QPrinter&) override { return false; }
    bool openFile(const QString&) override { return false; }
    bool mailFile(const QString&) override { return false; }
    bool startDetached(const QString&, const QStringList&) override { return false; }
    void exitProcess(int) override {}
};

// A continuation page: the company's line at the top and its footer.
QString writeContinuationPage(const QString& path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter painter(&writer);
    const QColor blue(38, 90, 160);
    painter.fillRect(QRectF(56, 40, 120, 6), blue);
    painter.setPen(QPen(QColor(150, 150, 150), 0.8));
    painter.drawLine(QPointF(56, 790), QPointF(539, 790));
    painter.setPen(QColor(110, 110, 110));
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 7));
    painter.drawText(QRectF(56, 796, 483, 20), Qt::AlignLeft, QStringLiteral("Beispiel & Partner GmbH"));
    return path;
}

struct Stage {
    TemplateWindow& window;
    QDir out;
    int frame = 0;
    QPointF pointer{1000, 120};

    ConfigurationAssistantController* assistant() const { return window.mainView()->assistant(); }

    QPointF centreOf(QWidget* widget) const
    {
        return QPointF(widget->mapTo(&window, widget->rect().center()));
    }

    // The window with the pointer and, while dragging, the file under it.
    void shoot(const QString& dragged = {}, int repeat = 1)
    {
        // Thumbnails render in the background: a first paint asks for them.
        QCoreApplication::processEvents();
        window.grab();
        PageThumbnails::instance().waitForRenders();
        QCoreApplication::processEvents();
        QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (!dragged.isEmpty())
            drawFile(painter, pointer + QPointF(-34, -22), dragged);
        drawPointer(painter, pointer);
        painter.end();
        for (int i = 0; i < repeat; ++i)
            image.save(out.filePath(QStringLiteral("%1.png").arg(frame++, 4, 10, QLatin1Char('0'))));
    }

    void hold(double seconds, const QString& dragged = {}) { shoot(dragged, qMax(1, int(std::lround(seconds * Fps)))); }

    // Glides the pointer to target, easing in and out.
    void glide(const QPointF& target, double seconds, const QString& dragged = {})
    {
        const QPointF from = pointer;
        const int steps = qMax(1, int(std::lround(seconds * Fps)));
        for (int i = 1; i <= steps; ++i) {
            const double t = double(i) / steps;
            const double eased = 0.5 - 0.5 * std::cos(t * M_PI);
            pointer = from + (target - from) * eased;
            shoot(dragged);
        }
    }

    static void drawPointer(QPainter& painter, const QPointF& at)
    {
        QPainterPath arrow;
        arrow.moveTo(0, 0);
        arrow.lineTo(0, 22);
        arrow.lineTo(6, 17);
        arrow.lineTo(10, 26);
        arrow.lineTo(14, 24);
        arrow.lineTo(10, 15);
        arrow.lineTo(17, 15);
        arrow.closeSubpath();
        painter.save();
        painter.translate(at);
        painter.scale(1.3, 1.3);
        painter.setPen(QPen(Qt::white, 1.6));
        painter.setBrush(Qt::black);
        painter.drawPath(arrow);
        painter.restore();
    }

    static void drawFile(QPainter& painter, const QPointF& at, const QString& name)
    {
        const QRectF page(at, QSizeF(46, 62));
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 60));
        painter.drawRoundedRect(page.translated(2, 3), 3, 3);
        painter.setBrush(Qt::white);
        painter.setPen(QPen(QColor(150, 156, 165), 1));
        painter.drawRoundedRect(page, 3, 3);
        painter.fillRect(QRectF(page.left() + 1, page.top() + 1, page.width() - 2, 9), QColor(38, 90, 160));
        painter.setPen(QPen(QColor(170, 175, 182), 1.2));
        for (int i = 0; i < 5; ++i)
            painter.drawLine(QPointF(page.left() + 7, page.top() + 20 + i * 7), QPointF(page.right() - 7, page.top() + 20 + i * 7));
        QFont font = painter.font();
        font.setPointSizeF(8);
        font.setBold(true);
        painter.setFont(font);
        const QRectF label(page.left() - 30, page.bottom() + 4, page.width() + 60, 18);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(38, 113, 185));
        const qreal w = QFontMetricsF(font).horizontalAdvance(name) + 14;
        painter.drawRoundedRect(QRectF(label.center().x() - w / 2, label.top(), w, label.height()), 9, 9);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, name);
        painter.restore();
    }

    // Drags a file from where the pointer is onto a slot and drops it there.
    void dragOnto(TemplateImageViewContainer* slot, const QString& path, const QString& name)
    {
        hold(0.3, name);
        const QPointF target = centreOf(slot);
        glide(target, 1.2, name);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slot, &enter);
        hold(0.4, name);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slot, &drop);
        hold(0.9);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillary-guide-frames OUTPUT-FOLDER\n");
        return 2;
    }
    appearance::apply(app);
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    // The window in the language asked for (LANGUAGE), as the user sees it.
    const Translations translations;
    const bool german = translations.language() == QLatin1String("de");
    SilentUi silent;
    quillary::Ui::install(&silent);
    registerTemplateScenes();

    // The files the video drops: the bundled letterhead and a continuation page.
    const QString letterhead = out.filePath(QStringLiteral("letterhead.pdf"));
    QFile::remove(letterhead);
    QFile::copy(placeholderPageIn(QStringLiteral(":/quillary/sample-letterhead.pdf")), letterhead);
    QFile::setPermissions(letterhead, QFile::ReadOwner | QFile::WriteOwner);
    const QString follow = writeContinuationPage(out.filePath(QStringLiteral("follow.pdf")));

    TemplateWindow window;
    window.resize(1140, 700);
    window.show();
    window.mainView()->templateList()->addPatternWithSender(nullptr);
    Stage stage{window, out};
    QCoreApplication::processEvents();

    const QPointF rest(1040, 150);
    stage.pointer = rest;
    stage.hold(0.8);
    stage.dragOnto(stage.assistant()->startController, letterhead, QStringLiteral("letterhead.pdf"));
    stage.pointer = QPointF(1060, 120);
    stage.glide(QPointF(1080, 90), 0.3);
    stage.dragOnto(stage.assistant()->continualController, follow, QStringLiteral("follow.pdf"));

    // The name, typed.
    QLineEdit* name = stage.assistant()->templateNameField;
    stage.glide(stage.centreOf(name) + QPointF(-120, 2), 0.6);
    name->setFocus();
    for (const QChar c : german ? QStringLiteral("Briefe") : QStringLiteral("Letters")) {
        name->setText(name->text() + c);
        stage.shoot({}, 2);
    }
    stage.hold(1.0);
    // Back to where it began, so that the loop joins up.
    stage.glide(rest, 0.6);
    std::printf("%d frames\n", stage.frame);
    quillary::Ui::install(nullptr);
    return 0;
}
