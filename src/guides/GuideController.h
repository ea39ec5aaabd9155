#pragma once

// One scene of the guide sheet. While it is loaded it listens for
// "tourTrigger" (a page file was dropped on a slot) and then performs the
// segue "trigger", which shows the scene named by triggerDestination in its
// place. The last scene names none and stays.

#include <QString>
#include <QWidget>

namespace quillary {

class GuideController : public QWidget {
    Q_OBJECT
public:
    explicit GuideController(QWidget* parent = nullptr);

    // The scene identifier "trigger" leads to; empty for the last scene.
    QString triggerDestination;

    // The observer entry for "tourTrigger".
    void segueStart();
    // Performs a segue of this scene ("trigger"); false when none was performed.
    bool performSegue(const QString& identifier);
    // Closes the guide window this scene is shown in, if any.
    void dissmisSheetWithSender(QObject* sender = nullptr);

signals:
    void seguePerformed(const QString& identifier);

private:
    void viewDidLoad();
};

} // namespace quillary
