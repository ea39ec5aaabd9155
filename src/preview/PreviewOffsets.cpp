// The page toggles and the offset editor of the preview window.

#include "platform/FailureText.h"
#include "platform/Storyboard.h"
#include "platform/Ui.h"
#include "preview/CustomCollectionView.h"
#include "preview/EditViewcontroller.h"
#include "preview/PreviewController.h"
#include "preview/PreviewPages.h"
#include "store/CustomFileManager.h"

#include <QCheckBox>

namespace quillary {

void PreviewController::stateClickedWithSender(QObject*)
{
    if (!selectedKey)
        return;
    selectedIndex = 0;
    collectionView->setSelectedIndex(0);
    rebuildPreview(*selectedKey, stationeryIsOverlay, true);
}

void PreviewController::setOffsetWithSender()
{
    if (!selectedKey || editor)
        return;
    const int count = previewPages->count();
    if (count == 0)
        return;
    if (selectedIndex == count - 1 && previewPages->hasTermsPage()) {
        Ui::instance().alert(window(), tr("Terms of Service cant moved"), tr("Can't edit Terms of Service"));
        return;
    }
    const auto record = templateProperties(*selectedKey);
    const bool firstPage = selectedIndex == 0;

    // The stationery that lies on the selected page, if its toggle is on.
    QString stationery;
    const PageKind kind = firstPage ? PageKind::Start : PageKind::Continuation;
    QCheckBox* toggle = firstPage ? startButton : contButton;
    if (toggle->isChecked() && record && !record->lacksPage(kind))
        if (const auto index = record->pageIndex(kind))
            stationery = sharedStore().pagePath(kind, *index).value_or(QString());

    const QString input = sharedStore().scratchPath(StoreKey::Temporary);
    const Result extracted =
        TaskManager::extractPage(path, selectedIndex, input, TaskManager::documentFormat, documentPassword);
    if (!extracted) {
        sharedStore().removeIfReadable(input);
        Ui::instance().alert(window(), tr("The page cannot be edited"), FailureText::sentence(extracted, {path}));
        return;
    }

    EditViewcontroller* created = Storyboard::instantiateAs<EditViewcontroller>(QStringLiteral("Edit"));
    if (!created)
        created = new EditViewcontroller;
    editor = created;
    created->setParent(window(), Qt::Dialog);
    created->setAttribute(Qt::WA_DeleteOnClose);
    created->setWindowModality(Qt::ApplicationModal);
    // The layer in force, which an earlier accepted editor may have changed,
    // not the one the template was stored with.
    created->stationaryBehindContent->setChecked(!stationeryIsOverlay);
    created->xOffset = firstPage ? offXForFirstPage : offXForContinualPage;
    created->yOffset = firstPage ? offYForFirstPage : offYForContinualPage;
    created->delegate = this;
    created->inputPath = input;
    created->overlayPath = stationery;
    created->documentFormat = TaskManager::documentFormat;
    created->setWindowTitle(firstPage ? tr("Offset of the first page") : tr("Offset of the following pages"));
    created->open();
    emit editorOpened(created);
}

void PreviewController::didAcceptOffset(bool overlay, double x, double y)
{
    if (selectedIndex != 0) {
        offXForContinualPage = x;
        offYForContinualPage = y;
    } else {
        offXForFirstPage = x;
        offYForFirstPage = y;
    }
    stationeryIsOverlay = overlay;
    if (selectedKey)
        rebuildPreview(*selectedKey, overlay, true);
}

} // namespace quillary
