#include "platform/Ui.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace quillary {

namespace {
Ui* installedUi = nullptr;
}

Ui& Ui::instance()
{
    static DesktopUi desktop;
    return installedUi ? *installedUi : desktop;
}

void Ui::install(Ui* ui)
{
    installedUi = ui;
}

void DesktopUi::alert(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopUi::openFile(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopUi::startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void DesktopUi::exitProcess(int status)
{
    std::fflush(stdout);
    std::exit(status);
}

} // namespace quillary
