#include "app/AboutWindow.h"
#include "ui_AboutWindow.h"

#include "app/SplashScreenViewController.h"
#include "platform/NamedImage.h"

#include <QPushButton>

namespace quillary {

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<::Ui::AboutWindow>())
{
    ui->setupUi(this);
    setAccessibleName(windowTitle());
    ui->logo->setPixmap(namedImage(QStringLiteral("quillary")).pixmap(QSize(96, 96), devicePixelRatioF()));
    QFont name = ui->appName->font();
    name.setPointSizeF(name.pointSizeF() * 1.8);
    name.setBold(true);
    ui->appName->setFont(name);
    ui->versionNumber->setText(versionText());
    ui->versionNumber->setForegroundRole(QPalette::PlaceholderText);
    connect(ui->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setFixedSize(sizeHint().expandedTo(QSize(420, 0)));
}

AboutWindow::~AboutWindow() = default;

} // namespace quillary
