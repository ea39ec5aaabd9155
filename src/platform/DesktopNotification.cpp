#include "platform/DesktopNotification.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace quillary {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kCallMs = 5000; // a service that does not answer holds nobody up for longer

QDBusMessage call(const QDBusConnection& bus, const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kService, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, kCallMs);
}

} // namespace

bool showDesktopNotification(const QString& summary, const QString& body, QString* problem, const QDBusConnection& bus)
{
    const auto fail = [&](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    if (!bus.isConnected())
        return fail(QStringLiteral("no session bus"));
    const QDBusMessage capabilities = call(bus, QStringLiteral("GetCapabilities"));
    if (capabilities.type() != QDBusMessage::ReplyMessage)
        return fail(capabilities.errorMessage().isEmpty() ? capabilities.errorName() : capabilities.errorMessage());
    const bool markup = capabilities.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)},
                            {QStringLiteral("desktop-entry"), QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER)}};
    const QDBusMessage shown = call(bus, QStringLiteral("Notify"),
                                    {QStringLiteral("Quillary"), 0u, QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER), summary,
                                     markup ? body.toHtmlEscaped() : body, QStringList(), hints, 0});
    if (shown.type() != QDBusMessage::ReplyMessage)
        return fail(shown.errorMessage().isEmpty() ? shown.errorName() : shown.errorMessage());
    return true;
}

} // namespace quillary
