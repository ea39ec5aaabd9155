// The templates of the preview window: the pop-up's titles, the choice by
// paper format, a choice by hand, and the page toggles a template sets.

#include "platform/FailureText.h"
#include "preview/CustomCollectionView.h"
#include "preview/DocumentPasswordPanel.h"
#include "preview/PreviewController.h"
#include "store/CustomFileManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>

#include <algorithm>

namespace quillary {

QString PreviewController::templateTitle(const TemplateRecord& record)
{
    const QString format = record.docFormat();
    QString label;
    if (format == QLatin1String("0"))
        label = QStringLiteral("DIN A4");
    else if (format == QLatin1String("1"))
        label = QStringLiteral("US Letter");
    else
        label = tr("Undefined");
    return label + QStringLiteral(" - ") + record.name;
}

void PreviewController::loadTemplateProperties()
{
    const auto records = sharedStore().templateRecords();
    if (!records)
        return;
    templatePropertiesArray.append(*records);
}

void PreviewController::fillTemplatePopUp()
{
    QList<std::pair<QString, QString>> titled; // title, name
    for (const TemplateRecord& record : std::as_const(templatePropertiesArray))
        if (record.isActive())
            titled.append({templateTitle(record), record.name});
    std::stable_sort(titled.begin(), titled.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    sortedKeys.clear();
    const QSignalBlocker quiet(popUp);
    popUp->clear();
    // The name rides along with its title, so that a name with " - " in it
    // is found again whole.
    for (const auto& [title, name] : titled) {
        sortedKeys.append(title);
        popUp->addItem(title, name);
    }
}

std::optional<TemplateRecord> PreviewController::templateProperties(const QString& key) const
{
    for (const TemplateRecord& record : templatePropertiesArray)
        if (record.name == key)
            return record;
    return std::nullopt;
}

std::optional<TemplatePagePaths> PreviewController::templatePagePaths(const QString& key) const
{
    const auto record = templateProperties(key);
    if (!record)
        return std::nullopt;
    TemplatePagePaths paths;
    for (const PageKindInfo& info : kPageKinds) {
        // A reference the store cannot resolve counts as no page.
        if (const auto index = record->pageIndex(info.kind))
            paths[std::size_t(info.kind)] = sharedStore().pagePath(info.kind, *index);
    }
    return paths;
}

void PreviewController::chooseInitialTemplate()
{
    // A document that cannot be shown says why, before any format counts.
    if (!document.ok()) {
        if (document.code == ErrorCode::PasswordProtected) {
            collectionView->hide();
            passwordPanel->show();
            passwordPanel->setFocus();
        } else {
            showProblem(tr("The preview could not be made: %1").arg(FailureText::sentence(document, {path})));
        }
        updateState();
        return;
    }
    for (int i = 0; i < popUp->count(); ++i) {
        const QString key = popUp->itemData(i).toString();
        const auto record = templateProperties(key);
        const int t = record ? docFormatNumber(record->docFormat()).value_or(99) : 99;
        if (templateFitsDocument(TaskManager::documentFormat, t)) {
            const QSignalBlocker quiet(popUp); // the window's own choice
            popUp->setCurrentIndex(i);
            selectedKey = key;
            stationeryIsOverlay = !record->isOverlay();
            break;
        }
    }
    if (!selectedKey) {
        // Nothing in use, nothing shown as chosen: picking any title is a change.
        const QSignalBlocker quiet(popUp);
        popUp->setCurrentIndex(-1);
        showProblem(popUp->count() == 0
                        ? tr("There is no enabled template. Enable one in Quillary's template window.")
                        : tr("No template fits the paper format of this document. Choose one above."));
    }
    rebuildPreview(selectedKey.value_or(QString()), stationeryIsOverlay, false);
    updateState();
}

void PreviewController::templateChosen(int index)
{
    if (index < 0)
        return;
    const QString key = popUp->itemData(index).toString();
    if (selectedKey == key || !document.ok())
        return;
    selectedKey = key;
    offYForFirstPage = offXForFirstPage = offXForContinualPage = offYForContinualPage = 0;
    // The layer follows the template, as at the first choice.
    const auto record = templateProperties(key);
    stationeryIsOverlay = !(record && record->isOverlay());
    selectedIndex = 0;
    collectionView->setSelectedIndex(0);
    rebuildPreview(key, stationeryIsOverlay, false);
    updateState();
}

void PreviewController::refreshPageToggles()
{
    const std::array<QCheckBox*, 3> toggles{startButton, contButton, agbButton};
    if (!selectedKey) {
        for (QCheckBox* toggle : toggles)
            toggle->setEnabled(false);
        return;
    }
    const auto record = templateProperties(*selectedKey);
    for (const PageKindInfo& info : kPageKinds) {
        QCheckBox* toggle = toggles[std::size_t(info.kind)];
        const bool has = !(record && record->lacksPage(info.kind));
        const QSignalBlocker quiet(toggle); // the template's pages, not a change of the user's
        toggle->setEnabled(has);
        toggle->setChecked(has);
    }
}


QString PreviewController::formatNote() const
{
    if (!selectedKey)
        return {};
    const auto record = templateProperties(*selectedKey);
    const int t = record ? docFormatNumber(record->docFormat()).value_or(99) : 99;
    if (templateFitsDocument(TaskManager::documentFormat, t))
        return {};
    const QString made = t == 0 ? QStringLiteral("DIN A4") : t == 1 ? QStringLiteral("US Letter") : tr("another size");
    const QString is = TaskManager::documentFormat == FormatA4         ? QStringLiteral("DIN A4")
                       : TaskManager::documentFormat == FormatUSLetter ? QStringLiteral("US Letter")
                                                                       : tr("neither DIN A4 nor US Letter");
    return tr("“%1” is made for %2, this document is %3: the stationery will be cut or shifted.")
        .arg(*selectedKey, made, is);
}

} // namespace quillary
