#include "platform/PrintServiceLocation.h"

#include <QCoreApplication>
#include <QDir>

namespace quillary {

namespace {

std::function<PrintServiceLocation()>& injected()
{
    static std::function<PrintServiceLocation()> location;
    return location;
}

PrintServiceLocation platformLocation()
{
#ifdef Q_OS_MACOS
    const QString folder = QDir::homePath() + QStringLiteral("/Library/PDF Services/");
    const QString resources = QCoreApplication::applicationDirPath() + QStringLiteral("/../Resources/");
    return {resources + QCoreApplication::translate("PrintService", "printer") + QStringLiteral(".workflow"), folder,
            folder + QCoreApplication::translate("PrintService", "open with") + QStringLiteral(".workflow")};
#else
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config)) // relative values are invalid there
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = config + QStringLiteral("/autostart/");
    const QString name = QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER "-agent.desktop");
    return {QStringLiteral(":/quillary/print-service/app.quillary.Quillary-agent.desktop"), folder, folder + name};
#endif
}

} // namespace

PrintServiceLocation printServiceLocation()
{
    return injected() ? injected()() : platformLocation();
}

void injectPrintServiceLocation(std::function<PrintServiceLocation()> location)
{
    injected() = std::move(location);
}

} // namespace quillary
