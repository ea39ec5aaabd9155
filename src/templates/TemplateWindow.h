#pragma once

// The template window: the main view, and in its place the loading screen
// while a template is saved. The application fills its menu bar.

#include <QMainWindow>

class QStackedWidget;

namespace quillary {

class MainViewController;

class TemplateWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TemplateWindow(QWidget* parent = nullptr);

    MainViewController* mainView() const { return main; }
    // Closing was asked for with unsaved changes the user chose to save:
    // once saved, the window closes instead of opening afresh.
    bool closesAfterSaving() const { return closeAfterSave; }
    // Shows screen in place of the main view (the window takes it).
    void showInPlaceOfMainView(QWidget* screen);

protected:
    // Unsaved changes in the assistant are not lost without asking.
    void closeEvent(QCloseEvent* event) override;

private:
    QStackedWidget* pages = nullptr;
    MainViewController* main = nullptr;
    bool closeAfterSave = false;
};

// Registers the scenes "template" (a TemplateWindow) and "configController"
// (a ConfigurationAssistantController).
void registerTemplateScenes();

} // namespace quillary
