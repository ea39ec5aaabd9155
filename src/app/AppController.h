#pragma once

// The application delegate of print-service mode: one window for the one
// printed document, the preview inside it, and a short menu. The process ends
// when the window closes.

#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QMainWindow;

namespace quillary {

class PreviewController;

class AppController : public QObject {
    Q_OBJECT
public:
    // path: the document, as the command line gave it.
    explicit AppController(const QString& path = {}, QObject* parent = nullptr);
    ~AppController() override;

    QString path;

    // Builds the window and brings it to the front.
    void applicationDidFinishLaunching();
    void buildServiceWindow();
    void buildServiceMenu();
    // Opens the "About" scene, when the application has one.
    void aboutWindow();

    QMainWindow* window() const { return mainWindow.get(); }
    PreviewController* preview() const { return previewController; }
    QAction* aboutAction() const { return about; }
    QAction* quitAction() const { return quit; }

    static constexpr int kWidth = 600;
    static constexpr int kHeight = 518;

private:
    void copy();
    void paste();
    void refreshAbout();

    std::unique_ptr<QMainWindow> mainWindow;
    PreviewController* previewController = nullptr;
    QAction* about = nullptr;
    QAction* quit = nullptr;
};

} // namespace quillary
