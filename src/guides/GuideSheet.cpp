#include "guides/GuideSheet.h"

#include "controls/Appearance.h"
#include "controls/ShadowView.h"
#include "guides/AnimatedImage.h"
#include "guides/DummyActionGetter.h"
#include "guides/FirstGuide.h"
#include "guides/GuideController.h"
#include "guides/VideoGuide.h"
#include "guides/WindowGuide.h"
#include "platform/NamedImage.h"
#include "platform/Storyboard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillary {

namespace {

// A small drawing of a stationery page of a slot.
class PagePicture : public QWidget {
public:
    PagePicture(int tag, QWidget* parent)
        : QWidget(parent)
        , tag(tag)
    {
        setFixedSize(58, 80);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF page = QRectF(rect()).adjusted(4, 3, -4, -5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawRoundedRect(page.translated(0, 2), 2, 2);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(page, 2, 2);
        const QColor accent = appearance::accent(palette());
        const QColor ink(150, 156, 165);
        const qreal left = page.left() + 6, right = page.right() - 6;
        qreal y = page.top() + 8;
        if (tag == 1) {
            // A letterhead: the company's band at the top.
            painter.fillRect(QRectF(page.left(), page.top(), page.width(), 12), accent);
            y = page.top() + 20;
        } else if (tag == 2) {
            painter.fillRect(QRectF(left, y - 3, 12, 3), accent);
            y += 6;
        }
        painter.setPen(QPen(ink, 1.2));
        const int lines = tag == 3 ? 11 : 5;
        const qreal gap = tag == 3 ? 5 : 7;
        for (int i = 0; i < lines && y < page.bottom() - 6; ++i, y += gap)
            painter.drawLine(QPointF(left, y), QPointF(i % 3 == 2 ? right - 10 : right, y));
        // The footer line of the stationery.
        painter.setPen(QPen(accent, 1));
        painter.drawLine(QPointF(left, page.bottom() - 5), QPointF(right, page.bottom() - 5));
    }

private:
    int tag;
};

QString pictureCaption(int tag)
{
    switch (tag) {
    case 1: return GuideController::tr("Start page");
    case 2: return GuideController::tr("Continuation");
    default: return GuideController::tr("Terms");
    }
}

QLabel* titleLabel(const QString& text, QWidget* parent)
{
    auto* title = new QLabel(text, parent);
    QFont font = title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    title->setFont(font);
    return title;
}

QLabel* bodyLabel(const QString& text, QWidget* parent)
{
    auto* body = new QLabel(text, parent);
    body->setWordWrap(true);
    body->setTextFormat(Qt::PlainText);
    return body;
}

// A scene: the card of the sheet with its content laid out in it.
ShadowView* sceneCard(GuideController* scene)
{
    auto* card = new ShadowView(scene);
    card->setCornerRadius(14);
    auto* outer = new QVBoxLayout(scene);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(card);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(10);
    return card;
}

QPushButton* closeButton(GuideController* scene, QWidget* parent)
{
    auto* close = new QPushButton(GuideController::tr("Close"), parent);
    close->setAccessibleName(GuideController::tr("Close guide"));
    QObject::connect(close, &QPushButton::clicked, scene, [scene, close] { scene->dissmisSheetWithSender(close); });
    return close;
}

// The arrow above the start page, which bobs.
class ArrowHost : public QWidget {
public:
    explicit ArrowHost(QWidget* parent)
        : QWidget(parent)
        , arrow(new AnimatedImage(this))
    {
        setFixedHeight(46);
        arrow->setObjectName(QStringLiteral("guideArrow"));
        arrow->setAccessibleName(GuideController::tr("Arrow to the start page"));
        arrow->setImage(namedImage(QStringLiteral("guide_arrow")));
        arrow->resize(26, 26);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        arrow->move((width() - arrow->width()) / 2, height() - arrow->height());
    }

private:
    AnimatedImage* arrow;
};

} // namespace

GuideController* makeGuideScene()
{
    auto* scene = new GuideController;
    scene->setObjectName(QStringLiteral("guide"));
    scene->setAccessibleName(GuideController::tr("Guide: put your letterhead in"));
    scene->triggerDestination = QStringLiteral("guideDone");
    ShadowView* card = sceneCard(scene);
    auto* layout = static_cast<QVBoxLayout*>(card->layout());

    layout->addWidget(titleLabel(GuideController::tr("Put your letterhead in"), card));
    auto* video = new VideoGuide(card);
    video->setCornerRadius(8);
    video->setBackgroundColor(appearance::isDark(card->palette()) ? QColor(12, 13, 15) : QColor(222, 226, 232));
    // The clip is 10:7.
    video->setFixedHeight(232);
    layout->addWidget(video);
    layout->addWidget(bodyLabel(GuideController::tr("Drag your letterhead PDF from your files onto the start page "
                                                    "of the assistant. Or click a page below to choose a file."),
                                card));

    auto* pages = new QHBoxLayout;
    pages->setSpacing(18);
    pages->addStretch(1);
    for (int tag = 1; tag <= 3; ++tag) {
        auto* column = new QVBoxLayout;
        column->setSpacing(4);
        if (tag == 1)
            column->addWidget(new ArrowHost(card));
        else
            column->addSpacing(46);
        auto* picture = new PagePicture(tag, card);
        DummyActionGetter* catcher = nullptr;
        if (tag == 1)
            catcher = new DummyActionGetter(picture);
        else if (tag == 2)
            catcher = new DummyActionGetterSecond(picture);
        else
            catcher = new DummyActionGetterThird(picture);
        catcher->setGeometry(picture->rect());
        catcher->cornerRadius = 4;
        column->addWidget(picture, 0, Qt::AlignHCenter);
        auto* caption = new QLabel(pictureCaption(tag), card);
        caption->setAlignment(Qt::AlignHCenter);
        caption->setForegroundRole(QPalette::PlaceholderText);
        column->addWidget(caption);
        pages->addLayout(column);
    }
    pages->addStretch(1);
    layout->addLayout(pages);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(closeButton(scene, card));
    layout->addSpacing(4);
    layout->addLayout(buttons);
    return scene;
}

GuideController* makeGuideDoneScene()
{
    auto* scene = new GuideController;
    scene->setObjectName(QStringLiteral("guideDone"));
    scene->setAccessibleName(GuideController::tr("Guide: your letterhead is in"));
    ShadowView* card = sceneCard(scene);
    auto* layout = static_cast<QVBoxLayout*>(card->layout());
    layout->addWidget(titleLabel(GuideController::tr("Your letterhead is in"), card));
    layout->addWidget(bodyLabel(GuideController::tr("Add a continuation page for pages 2 and following and a terms "
                                                    "page, if you have them. Then name the template and save it: "
                                                    "it is offered whenever you print to Quillary."),
                                card));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(closeButton(scene, card));
    auto* save = new QPushButton(GuideController::tr("Save template"), card);
    save->setAccessibleName(GuideController::tr("Save template now"));
    save->setDefault(true);
    QObject::connect(save, &QPushButton::clicked, scene, [scene] { configurePrinter(scene); });
    buttons->addWidget(save);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    return scene;
}

WindowGuide* showGuideSheet(QWidget* templateWindow)
{
    if (!templateWindow)
        return nullptr;
    if (WindowGuide* open = CustomWindowGuide::sheetOf(templateWindow)) {
        open->raise();
        return open;
    }
    auto* controller = new CustomWindowGuide(templateWindow);
    auto* first = Storyboard::instantiateAs<QWidget>(QStringLiteral("guide"));
    controller->window()->setContentViewController(first ? first : makeGuideScene());
    controller->showWindow();
    return controller->window();
}

} // namespace quillary
