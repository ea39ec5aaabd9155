#include "templates/MainViewController.h"
#include "ui_MainViewController.h"

#include "platform/CharacterPalette.h"
#include "platform/NotificationHub.h"
#include "platform/Storyboard.h"
#include "platform/Ui.h"
#include "store/SharedData.h"
#include "templates/ConfigurationAssistantController.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace quillary {

namespace {

MainViewController::TourTipFactory& tourTipFactory()
{
    static MainViewController::TourTipFactory factory;
    return factory;
}

} // namespace

void MainViewController::setTourTipFactory(TourTipFactory factory)
{
    tourTipFactory() = std::move(factory);
}

MainViewController::MainViewController(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<::Ui::MainViewController>())
{
    ui->setupUi(this);
    listView = ui->listView;
    templateConfigView = ui->templateConfigView;
    ui->divider->setForegroundRole(QPalette::Mid);

    list = new TemplateViewController(listView);
    auto* listLayout = new QVBoxLayout(listView);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(list);
    // Set before the list first appears, which opens its first template.
    list->delegate = this;
    connect(list, &TemplateViewController::rowsChanged, this, &MainViewController::updateTabOrder);
    connect(list, &TemplateViewController::imageClicked, this, [this] { imageEasterEggWithSender(list); });

    auto* configLayout = new QVBoxLayout(templateConfigView);
    configLayout->setContentsMargins(0, 0, 0, 0);
    // An assistant for a new template until the list opens its first row.
    templateViewControllerWithSelectedRowName(QString(), true);

    connect(this, &MainViewController::characterPaletteRequested, this, [] { showCharacterPalette(); });
}

MainViewController::~MainViewController()
{
    // Tips that are not shown have no parent to delete them.
    for (const QPointer<QWidget>& tip : tourTips)
        if (tip && !tip->parentWidget())
            delete tip.data();
}

ConfigurationAssistantController* MainViewController::assistant() const
{
    return current;
}

QList<QWidget*> MainViewController::childViewControllers() const
{
    QList<QWidget*> children{list};
    if (current)
        children << current.data();
    return children;
}

void MainViewController::templateViewControllerWithSelectedRowName(const QString& name, bool isNewTemplate)
{
    // The assistant takes which template it edits from here when it is made.
    SharedData::isNewTemplate = isNewTemplate;
    SharedData::templateName = name;
    auto* assistant = Storyboard::instantiateAs<ConfigurationAssistantController>(QStringLiteral("configController"));
    if (!assistant)
        assistant = new ConfigurationAssistantController;
    replaceConfigurationAssistant(assistant);
}

bool MainViewController::templateViewControllerMayLeaveCurrentTemplate()
{
    savingOnLeave = false;
    if (!current || !current->hasUnsavedChanges())
        return true;
    const QString name = current->templateNameField->text().trimmed();
    const QString title = current->isNewTemplate() ? tr("Save the new template?")
                                                   : tr("Save the changes to \"%1\"?").arg(current->editedName());
    const QString text = name.isEmpty() ? tr("Your changes will be lost if you don't save them.")
                                        : tr("Your changes to \"%1\" will be lost if you don't save them.").arg(name);
    switch (Ui::instance().askToSave(window(), title, text)) {
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Save:
        // The checks speak up if something is missing; otherwise it is saved.
        savingOnLeave = current->check();
        return false;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void MainViewController::replaceConfigurationAssistant(ConfigurationAssistantController* assistant)
{
    if (!assistant || assistant == current)
        return;
    QPointer<ConfigurationAssistantController> previous = current;
    current = assistant;
    connect(assistant, &ConfigurationAssistantController::confirmed, this, &MainViewController::templateConfirmed);
    connect(assistant, &ConfigurationAssistantController::helpRequested, this, &MainViewController::helpRequested);
    templateConfigView->layout()->addWidget(assistant);
    if (templateConfigView->isVisible())
        assistant->show(); // at once, not when the event loop comes round

    if (previous) {
        // Out of sight and deaf at once; gone when control returns to the loop.
        QObject::disconnect(&NotificationHub::instance(), nullptr, previous, nullptr);
        previous->hide();
        templateConfigView->layout()->removeWidget(previous);
        previous->setParent(nullptr);
        previous->deleteLater();
    }
    updateTabOrder();
    if (isVisible())
        assistant->templateNameField->setFocus(Qt::OtherFocusReason);
}

void MainViewController::updateTabOrder()
{
    QList<QWidget*> chain = list->tabChain();
    if (current)
        chain += current->tabChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void MainViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (auto* mainWindow = qobject_cast<QMainWindow*>(window()))
        cleanUpEditMenu(mainWindow->menuBar());
}

void MainViewController::cleanUpEditMenu(QMenuBar* bar)
{
    if (!bar)
        return;
    for (QAction* item : bar->actions()) {
        QMenu* menu = item->menu();
        if (!menu || menu->objectName() != QLatin1String("Edit"))
            continue;
        for (const char* appended : {"orderFrontCharacterPalette:", "startDictation:"}) {
            const QList<QAction*> items = menu->actions();
            if (!items.isEmpty() && items.last()->objectName() == QLatin1String(appended))
                menu->removeAction(items.last());
        }
        return;
    }
}

// ---------------------------------------------------------------------------
// The tour

QWidget* MainViewController::tourTipView(int number) const
{
    return number >= 1 && number <= 5 ? tourTips[number - 1].data() : nullptr;
}

bool MainViewController::tourTipShown(int number) const
{
    QWidget* tip = tourTipView(number);
    return tip && tip->parentWidget() == this;
}

QWidget* MainViewController::ensureTourTip(int number)
{
    QPointer<QWidget>& tip = tourTips[number - 1];
    if (!tip) {
        const TourTipFactory& factory = tourTipFactory();
        tip = factory ? factory(number, this) : nullptr;
        if (tip) {
            tip->hide();
            tip->setParent(nullptr);
        }
    }
    return tip;
}

void MainViewController::showTourTip(int number)
{
    QWidget* tip = ensureTourTip(number);
    if (!tip || tip->parentWidget() == this)
        return;
    tip->setParent(this);
    tip->setGeometry(rect());
    tip->show();
    tip->raise();
}

void MainViewController::hideTourTip(int number)
{
    QWidget* tip = tourTipView(number);
    if (!tip || !tip->parentWidget())
        return;
    tip->hide();
    tip->setParent(nullptr);
}

void MainViewController::createTourTip()
{
    showTourTip(1);
    NotificationHub::post(QStringLiteral("toggleIsInTourTip"));
}

void MainViewController::navigate(int from, int to)
{
    showTourTip(to);
    hideTourTip(from);
}

void MainViewController::navigateToSecondToolTip() { navigate(1, 2); }
void MainViewController::navigateToThirdToolTip() { navigate(2, 3); }
void MainViewController::navigateToFourthToolTip() { navigate(3, 4); }
void MainViewController::navigateToFifthToolTip() { navigate(4, 5); }

void MainViewController::dissmisSheetWithSender(QObject* sender)
{
    const int tag = sender ? sender->property("tag").toInt() : 0;
    if (tag >= 1 && tag <= 5)
        hideTourTip(tag);
    NotificationHub::post(QStringLiteral("toggleIsInTourTip"));
}

void MainViewController::imageEasterEggWithSender(QObject*)
{
    if (cnter == 20) {
        cnter = 0;
        emit characterPaletteRequested();
        return;
    }
    ++cnter;
}

void MainViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (const QPointer<QWidget>& tip : tourTips)
        if (tip && tip->parentWidget() == this)
            tip->setGeometry(rect());
}

} // namespace quillary
