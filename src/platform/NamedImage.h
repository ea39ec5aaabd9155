#pragma once

// The application's own images by name ("kreis_voll", "button", "button_plus",
// "X_button", "quillary"): scalable drawings among the Qt resources, sharp at
// every size and device pixel ratio.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quillary {

// Null icon for an unknown name.
QIcon namedImage(const QString& name);
// The image drawn at size (device-independent pixels) for the screen's ratio.
QPixmap namedPixmap(const QString& name, const QSize& size, qreal devicePixelRatio);

} // namespace quillary
