#pragma once

// The content of the template window: the template list beside the
// configuration area, which shows one configuration assistant at a time. The
// main view is the list's delegate and opens a fresh assistant for every
// choice. It also runs the five tips of the guided tour.

#include "store/CustomFileManager.h"
#include "templates/TemplateViewController.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QMenuBar;

namespace Ui {
class MainViewController;
}

namespace quillary {

class ConfigurationAssistantController;

class MainViewController : public QWidget, public TemplateViewControllerDelegate {
    Q_OBJECT
public:
    // Makes tour tip `number` (1 to 5) for the main view. The tip's controls
    // call navigateTo...ToolTip() and dissmisSheetWithSender() (with a sender
    // whose "tag" property is the tip's number). The guides install theirs;
    // without it the tour shows nothing.
    using TourTipFactory = std::function<QWidget*(int number, MainViewController* main)>;
    static void setTourTipFactory(TourTipFactory factory);

    explicit MainViewController(QWidget* parent = nullptr);
    ~MainViewController() override;

    QWidget* listView = nullptr;
    QWidget* templateConfigView = nullptr;
    int cnter = 0;

    TemplateViewController* templateList() const { return list; }
    ConfigurationAssistantController* assistant() const;
    // Index 0 the template list, index 1 the current assistant.
    QList<QWidget*> childViewControllers() const;

    // Tour tip 1 to 5; nullptr before it was first needed.
    QWidget* tourTipView(int number) const;
    bool tourTipShown(int number) const;

    // Opens a fresh assistant for the template (or a new one); whatever the
    // previous assistant held unconfirmed is discarded.
    void templateViewControllerWithSelectedRowName(const QString& name, bool isNewTemplate) override;
    // Unsaved changes in the assistant: asks to save, discard or stay.
    // True when the assistant may go (nothing unsaved, or discarded). Save
    // hands the edit on to be saved and stays (the saved template opens anew).
    bool templateViewControllerMayLeaveCurrentTemplate() override;
    // The last answer to that question was "save" and the edit went on to
    // be saved.
    bool savingBeforeLeaving() const { return savingOnLeave; }
    // Shows assistant (the main view takes it) in the configuration area in
    // place of the current one, which goes away with its unconfirmed input.
    void replaceConfigurationAssistant(ConfigurationAssistantController* assistant);

    void createTourTip();
    void navigateToSecondToolTip();
    void navigateToThirdToolTip();
    void navigateToFourthToolTip();
    void navigateToFifthToolTip();
    void dissmisSheetWithSender(QObject* sender);
    void imageEasterEggWithSender(QObject* sender = nullptr);

    // Removes the items the platform appends to an Edit menu (the character
    // palette, then dictation) from the end of the bar's Edit menu.
    static void cleanUpEditMenu(QMenuBar* bar);

signals:
    // The assistant's input passed its checks: show the loading screen.
    void templateConfirmed(const quillary::TemplateEdit& edit);
    void helpRequested();
    // The hidden counter reached its mark.
    void characterPaletteRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Tab goes through the list, then the assistant, as they are seen.
    void updateTabOrder();
    QWidget* ensureTourTip(int number);
    void showTourTip(int number);
    void hideTourTip(int number);
    void navigate(int from, int to);

    std::unique_ptr<::Ui::MainViewController> ui;
    TemplateViewController* list = nullptr;
    QPointer<ConfigurationAssistantController> current;
    std::array<QPointer<QWidget>, 5> tourTips;
    bool savingOnLeave = false;
};

} // namespace quillary
