#include "platform/NotificationHub.h"

namespace quillary {

NotificationHub& NotificationHub::instance()
{
    static NotificationHub hub;
    return hub;
}

void NotificationHub::post(const QString& name, const QVariantMap& userInfo)
{
    emit instance().posted(name, userInfo);
}

} // namespace quillary
