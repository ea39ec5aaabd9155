#include "app/LoadingScreenViewController.h"
#include "ui_LoadingScreenViewController.h"

#include "app/PrintService.h"
#include "platform/NamedImage.h"

namespace quillary {

namespace {
constexpr QSize CircleSize{26, 26};
}

LoadingScreenViewController::LoadingScreenViewController(TemplateEdit edit, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<::Ui::LoadingScreenViewController>())
    , pending(std::move(edit))
{
    ui->setupUi(this);
    collection = {ui->c1, ui->c2, ui->c3, ui->c4, ui->c5, ui->c6};
    const QPixmap empty = namedImage(QStringLiteral("kreis_leer")).pixmap(CircleSize, devicePixelRatioF());
    for (int i = 0; i < collection.size(); ++i) {
        collection[i]->setPixmap(empty);
        collection[i]->setFixedSize(CircleSize);
        collection[i]->setAccessibleName(tr("Step %1 of %2").arg(i + 1).arg(collection.size()));
    }
    QFont font = ui->message->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    ui->message->setFont(font);
    ui->message->setText(pending.isNew ? tr("Saving \"%1\"…").arg(pending.typedName)
                                       : tr("Updating \"%1\"…").arg(pending.typedName));
    timer.setInterval(StepMilliseconds);
    connect(&timer, &QTimer::timeout, this, &LoadingScreenViewController::paint);
}

LoadingScreenViewController::~LoadingScreenViewController() = default;

Result LoadingScreenViewController::viewDidLoad()
{
    const Result saved = sharedStore().saveTemplate(pending);
    if (saved)
        installPrintService();
    return saved;
}

void LoadingScreenViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!timer.isActive() && cnt < int(collection.size()))
        timer.start();
}

void LoadingScreenViewController::paint()
{
    if (cnt < int(collection.size())) {
        collection[cnt]->setPixmap(namedImage(QStringLiteral("kreis_voll")).pixmap(CircleSize, devicePixelRatioF()));
        collection[cnt]->setProperty("image", QStringLiteral("kreis_voll"));
        ++cnt;
        return;
    }
    timer.stop();
    emit finished();
}

} // namespace quillary
