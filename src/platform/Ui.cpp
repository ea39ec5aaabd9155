#include "platform/Ui.h"

#include "platform/AlertBox.h"
#include "platform/DesktopHandlers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace quillary {

namespace {
Ui* installedUi = nullptr;

// Does not close with OK while its accessory says it cannot be used.
class GuardedFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    QPointer<QWidget> accessory;

    void accept() override
    {
        if (accessory && accessory->property("acceptable").isValid() && !accessory->property("acceptable").toBool()) {
            QApplication::beep();
            return;
        }
        QFileDialog::accept();
    }
};
} // namespace

Ui& Ui::instance()
{
    static DesktopUi desktop;
    return installedUi ? *installedUi : desktop;
}

Ui* Ui::install(Ui* ui)
{
    Ui* previous = installedUi;
    installedUi = ui;
    return previous;
}

ProgramCall mailCommand(const QString& path)
{
#ifdef Q_OS_MACOS
    return {QStringLiteral("/usr/bin/open"), {QStringLiteral("-a"), QStringLiteral("Mail.app"), path}};
#else
    return {QStringLiteral("xdg-email"), {QStringLiteral("--attach"), path}};
#endif
}

void DesktopUi::alert(QWidget* parent, const QString& title, const QString& text, AlertKind kind)
{
    QMessageBox box(parent);
    box.setStandardButtons(QMessageBox::Ok);
    setUpAlertBox(box, kind, title, text);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

SaveChoice DesktopUi::askToSave(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(parent);
    setUpAlertBox(box, AlertKind::Warning, title, text);
    QPushButton* save = box.addButton(QMessageBox::Save);
    QPushButton* discard = box.addButton(QMessageBox::Discard);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
    if (box.clickedButton() == save)
        return SaveChoice::Save;
    return box.clickedButton() == discard ? SaveChoice::Discard : SaveChoice::Cancel;
}

bool DesktopUi::confirm(QWidget* parent, const QString& title, const QString& text, const QString& acceptLabel,
                        const QString& cancelLabel)
{
    QMessageBox box(parent);
    setUpAlertBox(box, AlertKind::Warning, title, text);
    QPushButton* accept = box.addButton(acceptLabel, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(cancelLabel, QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == accept;
}

std::optional<QString> DesktopUi::chooseFileToOpen(QWidget* parent, const QString& title,
                                                   const QStringList& suffixes)
{
    QStringList patterns;
    for (const QString& suffix : suffixes)
        patterns << QStringLiteral("*.") + suffix;
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Exactly these suffixes: the dialog's own matching ignores case.
    dialog.setNameFilter(QStringLiteral("PDF (%1)").arg(patterns.join(QLatin1Char(' '))));
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    fitFileDialogColumns(dialog);
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            return std::nullopt;
        if (suffixes.isEmpty() || suffixes.contains(QFileInfo(chosen.first()).suffix()))
            return chosen.first();
    }
    return std::nullopt;
}

std::optional<QString> DesktopUi::chooseSaveFile(QWidget* parent, const QString& proposedName, QWidget* accessory)
{
    // The platform dialogs take no accessory; Qt's own dialog does, below its
    // file list.
    GuardedFileDialog dialog(parent);
    dialog.accessory = accessory;
    dialog.setOption(QFileDialog::DontUseNativeDialog, accessory != nullptr);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension still becomes a PDF file; other
    // extensions stay as typed.
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setNameFilters({QCoreApplication::translate("DesktopUi", "PDF files (*.pdf)"), QCoreApplication::translate("DesktopUi", "All files (*)")});
    const QFileInfo proposed(proposedName);
    dialog.setDirectory(proposed.isAbsolute() ? proposed.absolutePath()
                                              : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.selectFile(proposed.fileName());
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QWidget* previousParent = accessory ? accessory->parentWidget() : nullptr;
    if (accessory) {
        if (auto* layout = dialog.layout()) {
            accessory->setParent(&dialog);
            if (auto* grid = qobject_cast<QGridLayout*>(layout))
                grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
            else
                layout->addWidget(accessory);
            accessory->show();
        }
    }
    // Room for the folder list beside the accessory's options.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(860, 620)));
    fitFileDialogColumns(dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accessory) {
        // The caller reads the accessory after the dialog is gone.
        accessory->hide();
        accessory->setParent(previousParent);
    }
    if (!accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

bool DesktopUi::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    return dialog.exec() == QDialog::Accepted;
}

bool DesktopUi::openFile(const QString& path)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Quillary is registered for PDF files: the desktop's own "open" could
    // hand a stamped file back to it, to be stamped again.
    const auto call = openCommandOtherThanQuillary(QMimeDatabase().mimeTypeForFile(path).name(), path);
    return call && startDetached(call->program, call->arguments);
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

bool DesktopUi::mailFile(const QString& path)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // xdg-email starts even where no mail program is set up, and then fails
    // where nobody sees it.
    bool mailProgram = false;
    for (const QString& id : handlerIds(QStringLiteral("x-scheme-handler/mailto")))
        mailProgram = mailProgram || findDesktopEntry(id).has_value();
    if (!mailProgram)
        return false;
#endif
    const ProgramCall call = mailCommand(path);
    return startDetached(call.program, call.arguments);
}

bool DesktopUi::startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void DesktopUi::exitProcess(int status)
{
    std::fflush(stdout);
    if (QCoreApplication::instance()) {
        // Windows close and the event loop returns status from exec().
        QCoreApplication::exit(status);
        return;
    }
    std::exit(status);
}

} // namespace quillary
