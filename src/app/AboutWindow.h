#pragma once

// The About window: a dialog, so that every window that offers "About
// Quillary" opens it the same way through the scene "About".

#include <QDialog>

#include <memory>

namespace Ui {
class AboutWindow;
}

namespace quillary {

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
    ~AboutWindow() override;

private:
    std::unique_ptr<::Ui::AboutWindow> ui;
};

} // namespace quillary
