#pragma once

// The loading screen shown when the assistant's input passed its checks: it
// saves the template, installs the print service, fills six circles one after
// the other (every 0.2 s once shown) and then says it is done, after which a
// fresh template window replaces the one it was shown in.

#include "store/CustomFileManager.h"

#include <QList>
#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class LoadingScreenViewController;
}

namespace quillary {

class LoadingScreenViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int StepMilliseconds = 200;

    explicit LoadingScreenViewController(TemplateEdit edit, QWidget* parent = nullptr);
    ~LoadingScreenViewController() override;

    // The edit the assistant handed over; its typed name is the template's new name.
    const TemplateEdit& edit() const { return pending; }
    QString templateName() const { return pending.typedName; }

    // Saves the template and, when that worked, installs the print service.
    // A failure leaves the store as it was; the caller tells the user.
    Result viewDidLoad();
    // One step of the animation: the next circle, or the end.
    void paint();

    QList<QLabel*> collection;
    int cnt = 0;
    QTimer timer;

signals:
    // The animation has run: the window can go.
    void finished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<::Ui::LoadingScreenViewController> ui;
    TemplateEdit pending;
};

} // namespace quillary
