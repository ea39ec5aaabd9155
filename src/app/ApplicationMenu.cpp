#include "app/ApplicationMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace quillary {

QMenu* addApplicationMenu(QMenuBar* bar, QAction* about, QAction* quit)
{
    QMenu* application = bar->addMenu(QStringLiteral("Quillary"));
    application->setObjectName(QStringLiteral("Application"));
    about->setMenuRole(QAction::AboutRole);
    application->addAction(about);
#ifdef Q_OS_MACOS
    application->addSeparator();
    QAction* preferences = application->addAction(QCoreApplication::translate("ApplicationMenu", "Preferences"));
    preferences->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setEnabled(false);
#endif
    application->addSeparator();
    quit->setMenuRole(QAction::QuitRole);
    application->addAction(quit);
    return application;
}

} // namespace quillary
