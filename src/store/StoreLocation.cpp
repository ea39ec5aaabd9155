#include "store/StoreLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillary {

QString storeDirectoryLocation(const StoreConfig& config)
{
    QString requested = config.directory;
    if (requested.isEmpty()) {
        // As the store decides: without HOME (and no absolute XDG_DATA_HOME)
        // there is no store rather than one under "/".
        const bool dataHomeSet = QDir::isAbsolutePath(qEnvironmentVariable("XDG_DATA_HOME"));
        if (qEnvironmentVariable("HOME").isEmpty() && !dataHomeSet)
            return {};
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (base.isEmpty())
            return {};
        requested = base + QLatin1Char('/') + QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER);
    }
    const QFileInfo info(QDir::cleanPath(QFileInfo(requested).absoluteFilePath()));
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.absoluteFilePath() : resolved;
}

} // namespace quillary
