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
    // Relative folders are invalid there too; none left means the default.
    QStringList systemEntries;
    for (const QString& systemFolder : qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!QDir::isRelativePath(systemFolder))
            systemEntries << systemFolder + QStringLiteral("/autostart/") + name;
    if (systemEntries.isEmpty())
        systemEntries << QStringLiteral("/etc/xdg/autostart/") + name;
    return {QStringLiteral(":/quillary/print-service/app.quillary.Quillary-agent.desktop"), folder, folder + name,
            systemEntries};
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
