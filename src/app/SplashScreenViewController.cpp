#include "app/SplashScreenViewController.h"
#include "ui_SplashScreenViewController.h"

#include "platform/NamedImage.h"

#include <QLinearGradient>
#include <QPainter>

namespace quillary {

QString versionText()
{
    return SplashScreenViewController::tr("Version %1").arg(QStringLiteral(QUILLARY_VERSION));
}

SplashScreenViewController::SplashScreenViewController(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , ui(std::make_unique<::Ui::SplashScreenViewController>())
{
    ui->setupUi(this);
    versionNumber = ui->versionNumber;
    setWindowTitle(QStringLiteral("Quillary"));
    setAccessibleName(QStringLiteral("Quillary"));
    setFixedSize(WindowSize);

    ui->logo->setPixmap(namedImage(QStringLiteral("quillary")).pixmap(QSize(150, 150), devicePixelRatioF()));
    QPalette light = palette();
    light.setColor(QPalette::WindowText, Qt::white);
    setPalette(light);
    QFont name = ui->appName->font();
    name.setPointSizeF(name.pointSizeF() * 3.4);
    name.setBold(true);
    ui->appName->setFont(name);
    QFont tagline = ui->tagline->font();
    tagline.setPointSizeF(tagline.pointSizeF() * 1.35);
    ui->tagline->setFont(tagline);
    QPalette muted = light;
    muted.setColor(QPalette::WindowText, QColor(200, 214, 232));
    ui->versionNumber->setPalette(muted);

    versionNumber->setText(versionText());
}

SplashScreenViewController::~SplashScreenViewController() = default;

void SplashScreenViewController::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient background(rect().topLeft(), rect().bottomRight());
    background.setColorAt(0, QColor(5, 46, 76));
    background.setColorAt(1, QColor(22, 88, 140));
    painter.fillRect(rect(), background);
}

} // namespace quillary
