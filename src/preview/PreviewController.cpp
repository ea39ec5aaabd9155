#include "preview/PreviewController.h"

#include "controls/ProgressCircle.h"
#include "platform/FailureText.h"
#include "platform/Storyboard.h"
#include "platform/Ui.h"
#include "preview/CustomCollectionView.h"
#include "preview/DocumentPasswordPanel.h"
#include "preview/LargePreview.h"
#include "preview/PreviewGeometry.h"
#include "preview/PreviewPages.h"
#include "preview/PreviewRebuildJob.h"
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

PreviewController::PreviewController(const QString& documentPath, QWidget* parent)
    : QWidget(parent)
    , path(documentPath)
    , previewPages(std::make_unique<PreviewPages>())
{
    // A rebuild merges on one worker; a newer one starts beside an older one
    // that is still stopping, and saving and printing queue behind them.
    engine.setMaxThreadCount(2);
    printer.setMaxThreadCount(1);
    rangeMerger.setMaxThreadCount(1);

    // The document first: whether it can be shown at all, then its format.
    readDocument(TaskManager::readDocument(path), QString());

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
    if (currentRebuild) {
        currentRebuild->stop = true;
        currentRebuild->firstPageShown.release();
    }
    delete editor;
    // A print job that has started is finished: closing the window must not
    // lose a page half way through the printer.
    engine.waitForDone();
    rangeMerger.waitForDone();
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
        // The state, however it changed: a click, a key, an assistive
        // tool or a program. The window's own updates are blocked.
        connect(box, &QCheckBox::toggled, this, [this, box] { stateClickedWithSender(box); });
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
    // Over the buttons, the whole width: "Page 100000 of 100000" fits in
    // every language.
    side->addWidget(statusLabel, 3, 0, 1, 4, Qt::AlignRight | Qt::AlignBottom);
    side->addWidget(progressCircle, 4, 0, Qt::AlignLeft | Qt::AlignVCenter);
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
    stripNote = new QLabel(this);
    stripNote->setObjectName(QStringLiteral("stripNote"));
    stripNote->setAccessibleName(tr("Note"));
    stripNote->setWordWrap(true);
    stripNote->setContentsMargins(8, 2, 8, 2);
    stripNote->hide();
    passwordPanel = new DocumentPasswordPanel(this);
    passwordPanel->setDocumentName(QFileInfo(path).fileName());
    passwordPanel->setFixedHeight(stripHeight);
    passwordPanel->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top, 1);
    layout->addWidget(stripNote);
    layout->addWidget(collectionView);
    layout->addWidget(passwordPanel);

    setTabOrder(collectionView, popUp);
    setFocusProxy(collectionView);

    connect(popUp, &QComboBox::currentIndexChanged, this, &PreviewController::templateChosen);
    connect(passwordPanel, &DocumentPasswordPanel::passwordEntered, this, &PreviewController::unlockDocument);
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
            [this](quint64 generation, PreviewPages::Part part) { presentFailed(generation, int(part)); });
    connect(previewPages.get(), &PreviewPages::rangeWanted, this, &PreviewController::rangeWanted);
    connect(previewPages.get(), &PreviewPages::pagesReset, this, &PreviewController::updateState);
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
    popUp->setEnabled(!saving && popUp->count() > 0 && document.ok());
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

    const QString note = count > 0 ? formatNote() : QString();
    stripNote->setText(note);
    stripNote->setVisible(!note.isEmpty());

    const bool showMessage = count == 0 && !problem.isEmpty();
    stripMessage->setText(problem);
    stripMessage->setGeometry(collectionView->viewport()->rect());
    stripMessage->setVisible(showMessage);
    collectionView->setMessage(showMessage ? problem : QString());
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


} // namespace quillary
