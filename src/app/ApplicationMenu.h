#pragma once

class QAction;
class QMenu;
class QMenuBar;

namespace quillary {

// The application menu both windows open with: About, then Close. On macOS
// its items go into the system's application menu by their roles (with a
// Preferences item, and Hide, Show all and Services that Qt adds there);
// elsewhere it is a menu of its own.
QMenu* addApplicationMenu(QMenuBar* bar, QAction* about, QAction* quit);

} // namespace quillary
