#pragma once

// Named notifications between the template assistant and the guides
// ("tourTrigger", "toggleIsInTourTip", "circleView1", ...): a sender posts a
// name with a user info; whoever is interested connects to posted() and
// looks at the name. Main thread only.

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace quillary {

class NotificationHub : public QObject {
    Q_OBJECT
public:
    static NotificationHub& instance();
    // Delivers at once to every connected receiver.
    static void post(const QString& name, const QVariantMap& userInfo = {});

signals:
    void posted(const QString& name, const QVariantMap& userInfo);

private:
    NotificationHub() = default;
};

} // namespace quillary
