// The two ways out of the preview window: saving the merged document (the
// process then ends) and printing it (the window stays).

#include "controls/ProgressCircle.h"
#include "platform/FailureText.h"
#include "platform/Ui.h"
#include "preview/PreviewController.h"
#include "preview/PreviewPages.h"
#include "preview/PrintJob.h"
#include "preview/SavePanelView.h"
#include "pdf/PdfaOutlook.h"
#include "store/CustomFileManager.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>

namespace quillary {

namespace {

// A print job that failed, in the user's words.
QString printProblem(const Result& result, const QString& printerName)
{
    if (result.code != ErrorCode::WriteFailed)
        return FailureText::sentence(result.code);
    return printerName.isEmpty() ? PreviewController::tr("The printer did not take the document.")
                                 : PreviewController::tr("The printer “%1” did not take the document.").arg(printerName);
}

} // namespace

QStringList PreviewController::knownFiles(const MergeRequest& request)
{
    QStringList files{request.documentPath};
    for (const auto& page : {request.startPagePath, request.continuationPagePath, request.termsPagePath})
        if (page)
            files << *page;
    return files;
}

QString PreviewController::proposedFileName(const QDateTime& when)
{
    return QStringLiteral("doc_") + when.toString(QStringLiteral("_HH_mm_ss_dd_MM_yyyy")) + QStringLiteral(".pdf");
}

QString PreviewController::proposedSavePath(const std::optional<QString>& title, const QString& folder,
                                           const QDateTime& when)
{
    QString name = title ? title->trimmed() : QString();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (name.startsWith(QLatin1Char('.')) || name.isEmpty())
        name = proposedFileName(when);
    else if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QStringLiteral(".pdf");
    const QString in = !folder.isEmpty() ? folder : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(in).filePath(name);
}

namespace {
// Apart from the application's own settings, which are cleared at every start.
QSettings savingSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("quillary"), QStringLiteral("saving"));
}
} // namespace

QString PreviewController::lastSaveFolder()
{
    const QString folder = savingSettings().value(QStringLiteral("lastFolder")).toString();
    return QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir() ? folder : QString();
}

void PreviewController::rememberSaveFolder(const QString& folder)
{
    savingSettings().setValue(QStringLiteral("lastFolder"), folder);
}

void PreviewController::saveWithSender()
{
    if (!selectedKey || saving)
        return;
    const auto paths = templatePagePaths(*selectedKey);
    if (!paths)
        return;

    if (!accpanel)
        accpanel = std::make_unique<SavePanelView>();
    {
        const MergeRequest shown = mergeRequest(*paths, stationeryIsOverlay);
        QStringList stationery;
        for (const auto& [used, path] : {std::pair{shown.useStartPage, shown.startPagePath},
                                         std::pair{shown.useContinuationPage, shown.continuationPagePath},
                                         std::pair{shown.useTermsPage, shown.termsPagePath}})
            if (used && path)
                stationery << *path;
        accpanel->showPdfaLoss(pdfaLossOf(shown.documentPath, stationery));
    }
    std::optional<QString> chosen;
    do {
        // Passwords the writer would refuse keep the panel open, with what
        // was typed and the reason beside the field.
        const QString folder = QFileInfo(saveFolder).isDir() ? saveFolder : lastSaveFolder();
        chosen = Ui::instance().chooseSaveFile(
            window(), proposedSavePath(jobTitle, folder, QDateTime::currentDateTime()), accpanel.get());
        if (!chosen || chosen->isEmpty())
            return;
        saveFolder = QFileInfo(*chosen).absolutePath();
    } while (!accpanel->passwordProblem().isEmpty());
    // A merged document over the settings file or a stored page would break
    // the templates: refused as quillary-stamp refuses it, nothing written.
    if (sharedStore().isStoreFile(*chosen)) {
        Ui::instance().alert(window(), tr("The document was not saved"),
                             tr("%1 could not be saved. %2")
                                 .arg(FailureText::shownName(*chosen), FailureText::sentence(ErrorCode::Refused, *chosen)),
                             AlertKind::Error);
        emit saveFailed();
        return;
    }

    // The state shown at the moment the panel closed.
    MergeRequest request = mergeRequest(*paths, stationeryIsOverlay);
    request.outputPath = *chosen;
    request.options = accpanel->collectOptions();
    request.compact = true;
    const bool openAfterwards = accpanel->openPDFBox->isChecked();
    const bool mailAfterwards = accpanel->openMailBox->isChecked();

    saving = true;
    setEnabled(false);
    updateState();
    engine.start([this, request, openAfterwards, mailAfterwards] {
        const Result result = TaskManager::mergeDocument(request, MergeControl{});
        QMetaObject::invokeMethod(
            this, [=, this] { saveMerged(result, request, openAfterwards, mailAfterwards); },
            Qt::QueuedConnection);
    });
}

void PreviewController::saveMerged(const Result& result, const MergeRequest& request, bool openAfterwards,
                                   bool mailAfterwards)
{
    const QString& file = request.outputPath;
    saving = false;
    setEnabled(true);
    updateState();
    Ui& ui = Ui::instance();
    if (!result) {
        // The user still has the document on screen: nothing is lost.
        ui.alert(window(), tr("The document was not saved"),
                 tr("%1 could not be saved. %2")
                     .arg(FailureText::shownName(file),
                          FailureText::sentence(result, QStringList{file} + knownFiles(request))));
        emit saveFailed();
        return;
    }
    rememberSaveFolder(QFileInfo(file).absolutePath());
    if (openAfterwards && !ui.openFile(file))
        ui.alert(window(), tr("The document was saved"),
                 tr("No program other than Quillary is set up to open PDF files. The document is saved as %1.")
                     .arg(file));
    if (mailAfterwards && !ui.mailFile(file))
        ui.alert(window(), tr("The document was saved"),
                 tr("No mail program could be started. The document is saved as %1.").arg(file));
    ui.exitProcess(0);
}

void PreviewController::openPrintDialogueWithSender()
{
    if (!selectedKey || printing)
        return;
    const auto paths = templatePagePaths(*selectedKey);
    if (!paths)
        return;
    const QString scratch = sharedStore().scratchPath(StoreKey::Temporary);
    if (scratch.isEmpty())
        return;
    tmpPdfUrl = scratch;
    scratchFiles.insert(scratch);

    MergeRequest request = mergeRequest(*paths, stationeryIsOverlay);
    request.outputPath = scratch;
    // Never encrypted, whatever a save chose: it is only for the printer.
    request.options = {{SaveOptions::ALLOW_PRINT, true},
                       {SaveOptions::WITH_PASSWORD, false},
                       {SaveOptions::PASSWORD, QString()},
                       {SaveOptions::OWNER_PASSWORD, QString()},
                       {SaveOptions::AUTHOR, QString()},
                       {SaveOptions::TITLE, QString()}};
    printing = true;
    updateState();
    engine.start([this, request] {
        const Result result = TaskManager::mergeDocument(request, MergeControl{});
        QMetaObject::invokeMethod(
            this, [=, this] { printMerged(result, request); }, Qt::QueuedConnection);
    });
}

void PreviewController::printMerged(const Result& merged, const MergeRequest& request)
{
    const QString scratch = request.outputPath;
    if (!merged) {
        printed(merged, scratch, FailureText::sentence(merged, knownFiles(request)));
        return;
    }
    auto device = std::make_shared<QPrinter>(QPrinter::HighResolution);
    device->setDocName(QFileInfo(path).completeBaseName());
    device->setFullPage(true);
    device->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    if (!Ui::instance().choosePrinter(window(), *device)) {
        printed(Result::failure(ErrorCode::Cancelled, {}), scratch, QString());
        return;
    }
    printer.start([this, device, scratch] {
        const Result result = printPdf(scratch, *device);
        QMetaObject::invokeMethod(
            this,
            [this, device, result, scratch] {
                printed(result, scratch, printProblem(result, device->printerName()));
            },
            Qt::QueuedConnection);
    });
}

void PreviewController::printed(const Result& result, const QString& scratch, const QString& problem)
{
    // Whatever happened, the scratch file goes.
    forgetScratch(scratch);
    printing = false;
    updateState();
    if (!result && result.code != ErrorCode::Cancelled)
        Ui::instance().alert(window(), tr("The document was not printed"), problem);
    emit printFinished(result.ok());
}

} // namespace quillary
