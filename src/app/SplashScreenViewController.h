#pragma once

// The splash window shown for four seconds at start: name, a line about what
// Quillary does, and the version.

#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class SplashScreenViewController;
}

namespace quillary {

class SplashScreenViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize WindowSize{680, 360};

    explicit SplashScreenViewController(QWidget* parent = nullptr);
    ~SplashScreenViewController() override;

    QLabel* versionNumber = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<::Ui::SplashScreenViewController> ui;
};

// "Version x.y.z" for the version of this build.
QString versionText();

} // namespace quillary
