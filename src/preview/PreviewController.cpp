#include "preview/PreviewController.h"

#include "controls/ProgressCircle.h"
#include "platform/FailureText.h"
#include "platform/Storyboard.h"
#include "platform/Ui.h"
#include "preview/CustomCollectionView.h"
#include "preview/LargePreview.h"
#include "preview/PreviewGeometry.h"
#include "preview/PreviewPages.h"
#include "preview/SavePanelView.h"
#include "store/CustomFileManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace quillary {

namespace {
constexpr QSize kWindowSize{600, 518};
}

// One rebuild as the worker sees it: a copy of everything it reads, taken on
// the main thread, and the flag that stops it.
struct PreviewController::RebuildJob {
    quint64 generation = 0;
    MergeRequest request;
    QString firstPageScratch; // the first page merged alone
    bool termsPage = false;
    std::atomic<bool> stop{false};
};

PreviewController::PreviewController(const QString& documentPath, QWidget* parent)
    : QWidget(parent)
    , path(documentPath)
    , previewPages(std::make_unique<PreviewPages>())
{
    // The first page and the whole document of a rebuild are merged side by
    // side; saving and printing queue behind them.
    engine.setMaxThreadCount(2);
    printer.setMaxThreadCount(1);

    // The document's paper format, for the template choice and every merge.
    const PageSize size = TaskManager::pageSize(path);
    TaskManager::documentFormat = TaskManager::pageFormat(size.width, size.height).formatCode;
    const PageSize standard = TaskManager::standardPageSize(TaskManager::documentFormat);
    aspect = standard.width > 0 ? geometry::saneAspect(QSizeF(standard.width, standard.height))
                                : geometry::saneAspect(QSizeF(size.width, size.height));

    buildInterface();
    loadTemplateProperties();
    sharedStore().convertLegacyPatterns();
    fillTemplatePopUp();
    updateState();
}

PreviewController::~PreviewController()
{
    // The widgets below are hidden and deleted after this: nothing they send
    // then may reach this class.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    disconnect(previewPages.get(), nullptr, this, nullptr);
    if (currentRebuild)
        currentRebuild->stop = true;
    delete editor;
    // A print job that has started is finished: closing the window must not
    // lose a page half way through the printer.
    engine.waitForDone();
    printer.waitForDone();
    for (const QString& scratch : std::as_const(scratchFiles))
        sharedStore().removeIfReadable(scratch);
    // The views that watch the pages go first, then the renderer.
    delete prevImage;
    delete collectionView;
    previewPages.reset();
}

void PreviewController::buildInterface()
{
    setFixedSize(kWindowSize);
    setAccessibleName(tr("Preview"));

    collectionView = new CustomCollectionView(*previewPages, this);
    collectionView->setPageAspect(aspect);
    prevImage = new LargePreview(*previewPages, *collectionView, this);
    prevImage->setPageAspect(aspect);

    popUp = new QComboBox(this);
    popUp->setAccessibleName(tr("Template"));
    popUp->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    popUp->setMinimumContentsLength(18);
    auto* templateLabel = new QLabel(tr("&Template:"), this);
    templateLabel->setBuddy(popUp);

    auto* toggles = new QGroupBox(tr("Stationery pages"), this);
    auto* toggleLayout = new QVBoxLayout(toggles);
    auto toggle = [&](const QString& text) {
        auto* box = new QCheckBox(text, toggles);
        box->setAccessibleName(text);
        box->setChecked(true);
        toggleLayout->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, box] { stateClickedWithSender(box); });
        return box;
    };
    startButton = toggle(tr("Start page"));
    contButton = toggle(tr("Follow pages"));
    agbButton = toggle(tr("Terms of Service"));

    offsetButton = new QPushButton(tr("&Offset..."), this);
    offsetButton->setAccessibleName(tr("Offset"));
    offsetButton->setToolTip(tr("Move the content of the selected page against the stationery"));
    printButton = new QPushButton(tr("&Print..."), this);
    printButton->setAccessibleName(tr("Print"));
    saveButton = new QPushButton(tr("&Save..."), this);
    saveButton->setAccessibleName(tr("Save"));
    saveButton->setDefault(true);
    progressCircle = new ProgressCircle(this);
    statusLabel = new QLabel(this);
    statusLabel->setAccessibleName(tr("Status"));
    statusLabel->setForegroundRole(QPalette::PlaceholderText);

    auto* side = new QGridLayout;
    side->setContentsMargins(8, 10, 12, 8);
    side->setVerticalSpacing(8);
    side->setHorizontalSpacing(8);
    side->addWidget(templateLabel, 0, 0);
    side->addWidget(popUp, 0, 1, 1, 3);
    side->addWidget(toggles, 1, 0, 1, 4);
    side->addWidget(offsetButton, 2, 0, 1, 2, Qt::AlignLeft);
    side->setRowStretch(3, 1);
    side->addWidget(progressCircle, 4, 0, Qt::AlignLeft | Qt::AlignVCenter);
    side->addWidget(statusLabel, 4, 1);
    side->addWidget(printButton, 4, 2);
    side->addWidget(saveButton, 4, 3);
    side->setColumnStretch(1, 1);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(prevImage, 0, Qt::AlignTop);
    top->addLayout(side, 1);

    const int stripHeight = geometry::kItemSize.height() + collectionView->horizontalScrollBar()->sizeHint().height()
                            + 2 * collectionView->frameWidth();
    collectionView->setFixedHeight(stripHeight);
    stripMessage = new QLabel(collectionView->viewport());
    stripMessage->setAlignment(Qt::AlignCenter);
    stripMessage->setWordWrap(true);
    stripMessage->setForegroundRole(QPalette::PlaceholderText);
    stripMessage->setMargin(24);
    stripMessage->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top, 1);
    layout->addWidget(collectionView);

    setTabOrder(collectionView, popUp);
    setFocusProxy(collectionView);

    connect(popUp, &QComboBox::activated, this, &PreviewController::templateChosen);
    connect(offsetButton, &QPushButton::clicked, this, &PreviewController::setOffsetWithSender);
    connect(saveButton, &QPushButton::clicked, this, &PreviewController::saveWithSender);
    connect(printButton, &QPushButton::clicked, this, &PreviewController::openPrintDialogueWithSender);
    // The keys of every document window; they do what the buttons do, when they may.
    for (auto [keys, button] : {std::pair{QKeySequence::Save, saveButton}, std::pair{QKeySequence::Print, printButton}})
        new QShortcut(keys, this, [button = button] {
            if (button->isEnabled())
                button->click();
        });
    connect(collectionView, &CustomCollectionView::selectedIndexChanged, this, &PreviewController::selectionChanged);
    connect(previewPages.get(), &PreviewPages::presented, this,
            [this](quint64 generation, PreviewPages::Part part) { presented(generation, int(part)); });
    connect(previewPages.get(), &PreviewPages::presentFailed, this,
            [this](quint64 generation) { presentFailed(generation); });
    connect(previewPages.get(), &PreviewPages::pagesReset, this, &PreviewController::updateState);
}

// ---- templates ----

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
    for (int i = 0; i < popUp->count(); ++i) {
        const QString key = popUp->itemData(i).toString();
        const auto record = templateProperties(key);
        const int t = record ? docFormatNumber(record->docFormat()).value_or(99) : 99;
        if (templateFitsDocument(TaskManager::documentFormat, t)) {
            popUp->setCurrentIndex(i);
            selectedKey = key;
            stationeryIsOverlay = !record->isOverlay();
            break;
        }
    }
    if (!selectedKey) {
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
    if (selectedKey == key)
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
        toggle->setEnabled(has);
        toggle->setChecked(has);
    }
}

// ---- the preview ----

bool PreviewController::termsPageIncluded(const TemplatePagePaths& paths) const
{
    const auto& terms = paths[std::size_t(PageKind::Terms)];
    return agbButton->isEnabled() && agbButton->isChecked() && terms && !terms->isEmpty();
}

MergeRequest PreviewController::mergeRequest(const TemplatePagePaths& paths, bool overlay) const
{
    MergeRequest request;
    request.documentPath = path;
    request.startPagePath = paths[std::size_t(PageKind::Start)];
    request.continuationPagePath = paths[std::size_t(PageKind::Continuation)];
    request.termsPagePath = paths[std::size_t(PageKind::Terms)];
    request.useStartPage = startButton->isChecked();
    request.useContinuationPage = contButton->isChecked();
    request.useTermsPage = agbButton->isChecked();
    request.stationeryIsOverlay = overlay;
    request.firstPageOffsetY = offYForFirstPage;
    request.firstPageOffsetX = offXForFirstPage;
    request.continuationOffsetY = offYForContinualPage;
    request.continuationOffsetX = offXForContinualPage;
    request.documentFormat = TaskManager::documentFormat;
    // Only for looking at: plain, quick to write.
    request.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}};
    request.compact = false;
    return request;
}

void PreviewController::rebuildPreview(const QString& key, bool overlay, bool keepToggles)
{
    if (!templatePagePaths(key))
        return;
    // After the event at hand, so that a click finishes before the toggles
    // are read.
    QMetaObject::invokeMethod(
        this, [this, key, overlay, keepToggles] { startRebuild(key, overlay, keepToggles); }, Qt::QueuedConnection);
}

void PreviewController::startRebuild(const QString& key, bool overlay, bool keepToggles)
{
    const auto paths = templatePagePaths(key);
    if (!paths)
        return;
    if (!keepToggles)
        refreshPageToggles();

    if (currentRebuild)
        currentRebuild->stop = true;
    auto job = std::make_shared<RebuildJob>();
    job->generation = ++generation;
    job->request = mergeRequest(*paths, overlay);
    job->termsPage = termsPageIncluded(*paths);
    job->firstPageScratch = sharedStore().scratchPath(StoreKey::Temporary);
    scratchFiles.insert(job->firstPageScratch);
    currentRebuild = job;
    problem.clear();
    updateState();

    // Two merges side by side: the first page alone, on screen long before a
    // long document is merged whole, and the whole document.
    engine.start([this, job] {
        QByteArray bytes;
        const auto& r = job->request;
        SinglePageRequest first;
        first.documentPath = r.documentPath;
        first.outputPath = job->firstPageScratch;
        if (r.useStartPage && r.startPagePath)
            first.stationeryPath = *r.startPagePath;
        first.stationeryIsOverlay = r.stationeryIsOverlay;
        first.offsetX = r.firstPageOffsetX;
        first.offsetY = r.firstPageOffsetY;
        first.documentFormat = r.documentFormat;
        if (!job->stop && !first.outputPath.isEmpty() && TaskManager::mergeSinglePage(first)) {
            QFile file(first.outputPath);
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
        }
        QMetaObject::invokeMethod(
            this, [this, job, bytes] { firstPageMerged(job, bytes); }, Qt::QueuedConnection);
    });
    engine.start([this, job] {
        const MergeControl control{&job->stop, {}};
        auto whole = job->stop ? ValueResult<QByteArray>(Result::failure(ErrorCode::Cancelled, {}))
                               : TaskManager::mergeToBytes(job->request, control);
        QMetaObject::invokeMethod(this, [this, job, whole] { rebuildMerged(job, whole); }, Qt::QueuedConnection);
    });
}

void PreviewController::firstPageMerged(const std::shared_ptr<RebuildJob>& job, QByteArray bytes)
{
    forgetScratch(job->firstPageScratch);
    if (job != currentRebuild || bytes.isEmpty())
        return;
    previewPages->present(job->generation, PreviewPages::Part::FirstPage, std::move(bytes), job->termsPage);
}

void PreviewController::rebuildMerged(const std::shared_ptr<RebuildJob>& job, const ValueResult<QByteArray>& result)
{
    if (job != currentRebuild)
        return; // superseded: a newer rebuild shows its own result
    if (!result.ok() || !result.value) {
        currentRebuild.reset();
        previewPages->clear();
        showProblem(tr("The preview could not be made: %1")
                        .arg(FailureText::sentence(result, knownFiles(job->request))));
        emit rebuildFinished(false);
        return;
    }
    previewPages->present(job->generation, PreviewPages::Part::Whole, *result.value, job->termsPage);
}

void PreviewController::presented(quint64 shown, int part)
{
    if (PreviewPages::Part(part) != PreviewPages::Part::Whole || !currentRebuild
        || currentRebuild->generation != shown)
        return;
    currentRebuild.reset();
    updateState();
    emit rebuildFinished(true);
}

void PreviewController::presentFailed(quint64 failed)
{
    if (!currentRebuild || currentRebuild->generation != failed)
        return;
    currentRebuild.reset();
    showProblem(tr("The merged document could not be read."));
    emit rebuildFinished(false);
}

void PreviewController::forgetScratch(const QString& scratch)
{
    if (scratch.isEmpty())
        return;
    scratchFiles.remove(scratch);
    sharedStore().removeIfReadable(scratch);
}

void PreviewController::selectionChanged(int index)
{
    selectedIndex = index;
    prevImage->setIndex(index);
    updateState();
}

void PreviewController::showProblem(const QString& text)
{
    problem = text;
    updateState();
}

void PreviewController::updateState()
{
    const int count = previewPages->count();
    const bool busy = currentRebuild || saving || printing;
    if (busy)
        progressCircle->startAnimation();
    else
        progressCircle->stopAnimation();

    const bool ready = selectedKey.has_value() && count > 0 && !saving;
    saveButton->setEnabled(ready);
    printButton->setEnabled(ready && !printing);
    offsetButton->setEnabled(ready);
    popUp->setEnabled(!saving && popUp->count() > 0);
    if (!selectedKey) {
        for (QCheckBox* toggle : {startButton, contButton, agbButton})
            toggle->setEnabled(false);
    }

    if (saving)
        statusLabel->setText(tr("Saving..."));
    else if (printing)
        statusLabel->setText(tr("Printing..."));
    else if (count > 0)
        statusLabel->setText(tr("Page %1 of %2").arg(std::min(selectedIndex, count - 1) + 1).arg(count));
    else
        statusLabel->clear();

    const bool showMessage = count == 0 && !problem.isEmpty();
    stripMessage->setText(problem);
    stripMessage->setGeometry(collectionView->viewport()->rect());
    stripMessage->setVisible(showMessage);
}

void PreviewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared)
        return;
    appeared = true;
    collectionView->setFocus();
    chooseInitialTemplate();
}

// ---- toggles and offsets ----

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
    const Result extracted = TaskManager::extractPage(path, selectedIndex, input, TaskManager::documentFormat);
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
    created->stationaryBehindContent->setChecked(record && record->isOverlay());
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
