#include "templates/ConfigurationAssistantController.h"
#include "ui_ConfigurationAssistantController.h"

#include "pdf/TaskManager.h"
#include "platform/NotificationHub.h"
#include "platform/Ui.h"
#include "store/SharedData.h"
#include "templates/CircleView.h"
#include "templates/EditingViews.h"
#include "templates/TemplateImageViewContainer.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillary {

namespace {

QString& sharedSource(int tag)
{
    switch (tag) {
    case 1: return SharedData::startPagePath;
    case 2: return SharedData::continualPagePath;
    default: return SharedData::agbPagePath;
    }
}

QString caption(int tag)
{
    switch (tag) {
    case 1: return ConfigurationAssistantController::tr("Start page");
    case 2: return ConfigurationAssistantController::tr("Continuation page");
    default: return ConfigurationAssistantController::tr("Terms page");
    }
}

QString explanation(int tag)
{
    switch (tag) {
    case 1: return ConfigurationAssistantController::tr("Page 1 of every document");
    case 2: return ConfigurationAssistantController::tr("Pages 2 and following");
    default: return ConfigurationAssistantController::tr("Appended at the end");
    }
}

} // namespace

ConfigurationAssistantController::ConfigurationAssistantController(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<::Ui::ConfigurationAssistantController>())
{
    // The main view sets these before it creates the assistant.
    current.isNew = SharedData::isNewTemplate;
    current.editedName = current.isNew ? QString() : SharedData::templateName;

    ui->setupUi(this);
    configureButton = ui->configureButton;
    templateNameField = ui->templateNameField;

    QFont title = ui->titleLabel->font();
    title.setPointSizeF(title.pointSizeF() * 1.5);
    title.setBold(true);
    ui->titleLabel->setFont(title);
    ui->titleLabel->setText(current.isNew ? tr("New template") : tr("Edit template"));
    for (QLabel* label : {ui->introLabel, ui->formatsLabel})
        label->setForegroundRole(QPalette::PlaceholderText);
    ui->helpButton->setFixedSize(30, 30);
    // The one action of the assistant stands out.
    QPalette accent = ui->configureButton->palette();
    accent.setColor(QPalette::Button, accent.color(QPalette::Highlight));
    accent.setColor(QPalette::ButtonText, accent.color(QPalette::HighlightedText));
    ui->configureButton->setPalette(accent);
    ui->configureButton->setMinimumSize(150, 34);

    buildSlot(ui->startSlot, 1);
    buildSlot(ui->continualSlot, 2);
    buildSlot(ui->agbSlot, 3);

    connect(ui->configureButton, &QAbstractButton::clicked, this, &ConfigurationAssistantController::check);
    connect(ui->templateNameField, &QLineEdit::returnPressed, this, &ConfigurationAssistantController::check);
    connect(ui->helpButton, &QAbstractButton::clicked, this, &ConfigurationAssistantController::playVideo);

    viewDidLoad();
}

ConfigurationAssistantController::~ConfigurationAssistantController() = default;

void ConfigurationAssistantController::buildSlot(QWidget* host, int tag)
{
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* title = new QLabel(caption(tag), host);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setAlignment(Qt::AlignHCenter);
    auto* note = new QLabel(explanation(tag), host);
    note->setAlignment(Qt::AlignHCenter);
    note->setForegroundRole(QPalette::PlaceholderText);

    auto* container = new TemplateImageViewContainer(tag, host);
    container->setAccessibleName(caption(tag));
    // The size of a page at a glance: A4 proportions.
    container->setFixedSize(container->sizeHint());
    auto* button = new CircleView(tag, host);
    container->setButton(button);

    layout->addWidget(title);
    layout->addWidget(note);
    layout->addWidget(container, 1);
    layout->addWidget(button, 0, Qt::AlignHCenter);

    (tag == 1 ? startController : tag == 2 ? continualController : agbController) = container;
    connect(container, &TemplateImageViewContainer::sourceChanged, this, &ConfigurationAssistantController::setSource);
    connect(button, &CircleView::sourceChanged, this, &ConfigurationAssistantController::setSource);
}

TemplateImageViewContainer* ConfigurationAssistantController::slotContainer(int tag) const
{
    switch (tag) {
    case 1: return startController;
    case 2: return continualController;
    case 3: return agbController;
    default: return nullptr;
    }
}

CircleView* ConfigurationAssistantController::slotButton(int tag) const
{
    TemplateImageViewContainer* container = slotContainer(tag);
    return container ? container->button() : nullptr;
}

void ConfigurationAssistantController::viewDidLoad()
{
    if (!current.isNew)
        templateNameField->setText(current.editedName);
    for (int tag = 1; tag <= 3; ++tag)
        setSource(tag, QString());
    EditingViews::configureButtonRef = configureButton;
    if (!current.isNew)
        loadPagesOfEditedTemplate();
    openedSources = current.sources;

    // The guides' click catchers address the slot buttons by notification.
    connect(&NotificationHub::instance(), &NotificationHub::posted, this,
            [this](const QString& name, const QVariantMap& userInfo) {
                for (int tag = 1; tag <= 3; ++tag)
                    if (name == QStringLiteral("circleView%1").arg(tag))
                        if (CircleView* button = slotButton(tag))
                            button->notClickedWithNotification(userInfo);
            });
}

void ConfigurationAssistantController::loadPagesOfEditedTemplate()
{
    const auto record = sharedStore().templateNamed(current.editedName);
    if (!record)
        return;
    for (const PageKindInfo& info : kPageKinds) {
        // "X", a missing key or anything that is no index: the page is absent.
        const auto index = record->pageIndex(info.kind);
        if (!index)
            continue;
        const auto stored = sharedStore().pagePath(info.kind, *index);
        if (!stored)
            continue;
        setSource(info.slotTag, SharedData::existing);
        TemplateImageViewContainer* container = slotContainer(info.slotTag);
        container->showPage(*stored);
        container->button()->setState(PreviewState::IMAGE_IN);
    }
}

void ConfigurationAssistantController::setSource(int tag, const QString& source)
{
    const auto kind = pageKindOfTag(tag);
    if (!kind)
        return;
    current.source(*kind) = source;
    // Kept in the shared state too, where the guides and older readers look.
    sharedSource(tag) = source;
}

TemplateEdit ConfigurationAssistantController::edit() const
{
    TemplateEdit edit = current;
    // Blanks around a name are never meant: the template is stored under the
    // name as the checks saw it.
    edit.typedName = templateNameField->text().trimmed();
    return edit;
}

bool ConfigurationAssistantController::shouldPerformSegue(const QString& identifier)
{
    if (identifier != QLatin1String("check"))
        return true;
    const QString name = templateNameField->text().trimmed();
    if (name.isEmpty()) {
        Ui::instance().alert(window(), tr("Enter name"), tr("Pls enter a name"), AlertKind::Warning);
        return false;
    }
    // A second template of the same name could not be told apart from the
    // first (deleting one would delete both): also an edit may not take the
    // name of another template.
    const bool takesAnotherName = current.isNew || name != current.editedName;
    if (takesAnotherName && sharedStore().templateExists(name)) {
        Ui::instance().alert(window(), tr("Templatename exists"), tr("You have an template with the same name"),
                             AlertKind::Warning);
        return false;
    }
    if (current.source(PageKind::Start).isEmpty()) {
        Ui::instance().alert(window(), tr("Missing start page"), tr("You have to  include at least the home page"),
                             AlertKind::Warning);
        return false;
    }
    // Saved as it stands, one letter would come out on two paper sizes.
    if (const auto mismatch = formatMismatch()) {
        const int tag = mismatch->kind == PageKind::Continuation ? 2 : 3;
        const QString page = caption(tag);
        if (!Ui::instance().confirm(window(), tr("The pages differ in paper format"),
                                    tr("The start page is %1, but the %2 is %3. Letters made with this template "
                                       "would mix paper formats.\n\nSave the template anyway?")
                                        .arg(mismatch->startFormat, page, mismatch->otherFormat),
                                    tr("Save anyway"), tr("Cancel")))
            return false;
    }
    return true;
}

bool ConfigurationAssistantController::hasUnsavedChanges() const
{
    const QString openedName = current.isNew ? QString() : current.editedName;
    return templateNameField->text().trimmed() != openedName || current.sources != openedSources;
}

QString ConfigurationAssistantController::pageFile(PageKind kind) const
{
    const QString& source = current.source(kind);
    if (source != SharedData::existing)
        return source;
    const auto record = sharedStore().templateNamed(current.editedName);
    const auto index = record ? record->pageIndex(kind) : std::nullopt;
    return index ? sharedStore().pagePath(kind, *index).value_or(QString()) : QString();
}

namespace {

// "DIN A4", "US Letter" or the size in millimetres, and "landscape" where it is.
QString formatName(const PageSize& size, const PageFormat& format)
{
    QString name;
    if (format.formatCode == FormatA4)
        name = ConfigurationAssistantController::tr("DIN A4");
    else if (format.formatCode == FormatUSLetter)
        name = ConfigurationAssistantController::tr("US Letter");
    else
        name = ConfigurationAssistantController::tr("%1 × %2 mm")
                   .arg(qRound(size.width * 25.4 / 72))
                   .arg(qRound(size.height * 25.4 / 72));
    return format.landscape ? ConfigurationAssistantController::tr("%1 landscape").arg(name) : name;
}

} // namespace

std::optional<ConfigurationAssistantController::FormatMismatch> ConfigurationAssistantController::formatMismatch() const
{
    const QString start = pageFile(PageKind::Start);
    if (start.isEmpty())
        return std::nullopt;
    const PageSize startSize = TaskManager::pageSize(start);
    // A page that cannot be read is the save's to report, by its name.
    if (startSize.width <= 0 || startSize.height <= 0)
        return std::nullopt;
    const PageFormat startFormat = TaskManager::pageFormat(startSize.width, startSize.height);
    for (PageKind kind : {PageKind::Continuation, PageKind::Terms}) {
        const QString file = pageFile(kind);
        if (file.isEmpty())
            continue;
        const PageSize size = TaskManager::pageSize(file);
        if (size.width <= 0 || size.height <= 0)
            continue;
        const PageFormat format = TaskManager::pageFormat(size.width, size.height);
        // The same sheet of paper, upright or turned, is the same format.
        const bool sameNamedFormat = format.formatCode == startFormat.formatCode && format.formatCode != FormatUndefined;
        auto near = [](int a, int b) { return qAbs(a - b) <= 1; };
        const bool sameSize = (near(size.width, startSize.width) && near(size.height, startSize.height))
                              || (near(size.width, startSize.height) && near(size.height, startSize.width));
        if (!sameNamedFormat && !sameSize)
            return FormatMismatch{kind, formatName(startSize, startFormat), formatName(size, format)};
    }
    return std::nullopt;
}

bool ConfigurationAssistantController::check()
{
    if (!shouldPerformSegue(QStringLiteral("check")))
        return false;
    emit confirmed(edit());
    return true;
}

QList<QWidget*> ConfigurationAssistantController::tabChain() const
{
    QList<QWidget*> chain{templateNameField};
    for (int tag = 1; tag <= 3; ++tag)
        if (CircleView* button = slotButton(tag))
            chain << button;
    chain << ui->helpButton << configureButton;
    return chain;
}

void ConfigurationAssistantController::playVideo()
{
    emit helpRequested();
}

void ConfigurationAssistantController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!appeared) {
        appeared = true;
        templateNameField->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace quillary
