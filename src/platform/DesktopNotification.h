#pragma once

// A desktop notification: a short message the desktop shows beside the
// windows, for a part of Quillary that has no window of its own (the print
// agent). Sent to the notification service on the session bus.

#include <QDBusConnection>
#include <QString>

namespace quillary {

// Shows summary above body, as plain text: where the service reads markup in
// the body, its markup characters are escaped. The notification stays until
// the user dismisses it. False, with *problem, when there is no service to
// show it or it refused.
bool showDesktopNotification(const QString& summary, const QString& body, QString* problem = nullptr,
                             const QDBusConnection& bus = QDBusConnection::sessionBus());

} // namespace quillary
