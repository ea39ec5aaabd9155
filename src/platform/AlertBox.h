#pragma once

// How alerts and file dialogs look: the alert's title in bold above its
// text, with the icon of its kind from the desktop's icon theme (bundled
// pictures where no theme is installed); file lists whose columns fit.

#include "platform/Ui.h"

#include <QIcon>

class QFileDialog;
class QMessageBox;

namespace quillary {

// The icon theme's "dialog-information", "dialog-warning" or "dialog-error",
// else the bundled picture of that kind.
QIcon alertIcon(AlertKind kind);

// Fills box: bold title, text below, icon of kind, the title also in the
// window's title bar.
void setUpAlertBox(QMessageBox& box, AlertKind kind, const QString& title, const QString& text);

// Widens the columns of Qt's own file dialog to their contents each time a
// folder has been read (names first; sizes and dates never cut off).
void fitFileDialogColumns(QFileDialog& dialog);

} // namespace quillary
