#include "templates/TourTips.h"

#include "templates/MainViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillary {

namespace {

QString tipText(int number)
{
    switch (number) {
    case 1: return MainViewController::tr("Welcome to Quillary. Your templates are listed on the left; "
                                          "the assistant on the right shows the one you chose.");
    case 2: return MainViewController::tr("Drop your letterhead PDF on the start page, or click the round "
                                          "button below it to choose a file.");
    case 3: return MainViewController::tr("A continuation page and a terms page are optional: they go on "
                                          "pages 2 and following, and after the last page.");
    case 4: return MainViewController::tr("Give the template a name and save it.");
    default: return MainViewController::tr("Now print from any program and choose Quillary: your stationery "
                                           "is laid onto the document.");
    }
}

// Dims what lies behind it, so that the card stands out.
class PlaceholderTourTip : public QWidget {
public:
    PlaceholderTourTip(int number, MainViewController* main)
    {
        setAccessibleName(MainViewController::tr("Tour tip %1 of 5").arg(number));
        auto* card = new QWidget(this);
        card->setObjectName(QStringLiteral("card"));
        card->setAutoFillBackground(true);
        card->setFixedWidth(460);
        auto* text = new QLabel(tipText(number), card);
        text->setWordWrap(true);
        auto* step = new QLabel(MainViewController::tr("Tip %1 of 5").arg(number), card);
        step->setForegroundRole(QPalette::PlaceholderText);
        auto* close = new QPushButton(number == 5 ? MainViewController::tr("Done") : MainViewController::tr("Close"),
                                      card);
        close->setProperty("tag", number);
        close->setAccessibleName(MainViewController::tr("Close tour tip"));
        QObject::connect(close, &QPushButton::clicked, main, [main, close] { main->dissmisSheetWithSender(close); });

        auto* buttons = new QHBoxLayout;
        buttons->addWidget(step, 1);
        buttons->addWidget(close);
        if (number < 5) {
            auto* next = new QPushButton(MainViewController::tr("Next"), card);
            next->setDefault(true);
            next->setAccessibleName(MainViewController::tr("Next tour tip"));
            buttons->addWidget(next);
            QObject::connect(next, &QPushButton::clicked, main, [main, number] {
                switch (number) {
                case 1: main->navigateToSecondToolTip(); break;
                case 2: main->navigateToThirdToolTip(); break;
                case 3: main->navigateToFourthToolTip(); break;
                default: main->navigateToFifthToolTip(); break;
                }
            });
        }
        auto* cardLayout = new QVBoxLayout(card);
        cardLayout->setContentsMargins(20, 18, 20, 14);
        cardLayout->setSpacing(14);
        cardLayout->addWidget(text);
        cardLayout->addLayout(buttons);

        auto* layout = new QVBoxLayout(this);
        layout->addStretch(1);
        layout->addWidget(card, 0, Qt::AlignHCenter);
        layout->addSpacing(48);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0, 0, 0, 90));
    }
};

} // namespace

QWidget* createPlaceholderTourTip(int number, MainViewController* main)
{
    return new PlaceholderTourTip(number, main);
}

} // namespace quillary
