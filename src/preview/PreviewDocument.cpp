// Reading the printed document before anything is offered: whether it can
// be shown, its paper format, and the password of a locked one.

#include "platform/FailureText.h"
#include "preview/CustomCollectionView.h"
#include "preview/DocumentPasswordPanel.h"
#include "preview/LargePreview.h"
#include "preview/PreviewController.h"
#include "preview/PreviewGeometry.h"

#include <QFileInfo>

namespace quillary {

void PreviewController::readDocument(const ValueResult<PageSize>& read, const QString& password)
{
    document = read;
    PageSize size;
    if (read.ok() && read.value) {
        documentPassword = password;
        // Only names ending in exactly ".pdf" are measured, as pageSize does.
        if (QFileInfo(path).suffix() == QLatin1String("pdf"))
            size = *read.value;
    }
    // The document's paper format, for the template choice and every merge.
    TaskManager::documentFormat = TaskManager::pageFormat(size.width, size.height).formatCode;
    const PageSize standard = TaskManager::standardPageSize(TaskManager::documentFormat);
    aspect = standard.width > 0 ? geometry::saneAspect(QSizeF(standard.width, standard.height))
                                : geometry::saneAspect(QSizeF(size.width, size.height));
}

void PreviewController::unlockDocument(const QString& password)
{
    if (document.code != ErrorCode::PasswordProtected)
        return;
    const ValueResult<PageSize> read = TaskManager::readDocument(path, password);
    if (read.code == ErrorCode::PasswordProtected) {
        passwordPanel->refuse(tr("That password does not open the document. Try again."));
        return;
    }
    readDocument(read, password);
    collectionView->setPageAspect(aspect);
    prevImage->setPageAspect(aspect);
    passwordPanel->hide();
    collectionView->show();
    collectionView->setFocus();
    chooseInitialTemplate();
}

} // namespace quillary
