#include "platform/DesktopHandlers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QUrl>

namespace quillary {

namespace {

// Desktop files and association lists are small; anything larger is not one.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

using Groups = QHash<QString, QHash<QString, QString>>;

// The groups and keys of a desktop-entry style file; comments and localised
// keys ("Name[de]") are kept as they are.
Groups readKeyFile(const QString& path)
{
    Groups groups;
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return groups;
    QString group;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || group.isEmpty())
            continue;
        QHash<QString, QString>& keys = groups[group];
        const QString key = line.left(equals).trimmed();
        if (!keys.contains(key)) // the first of a repeated key counts
            keys.insert(key, line.mid(equals + 1).trimmed());
    }
    return groups;
}

QStringList splitList(const QString& value)
{
    QStringList items;
    for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    return items;
}

QStringList pathList(const char* variable, const QString& fallback)
{
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty())
        value = fallback;
    QStringList paths;
    for (const QString& path : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(path)) // relative entries are ignored, as the XDG base directory rules say
            paths << QDir::cleanPath(path);
    return paths;
}

QString configHome()
{
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    return QDir::isAbsolutePath(value) ? value : QDir::homePath() + QStringLiteral("/.config");
}

QString dataHome()
{
    const QString value = qEnvironmentVariable("XDG_DATA_HOME");
    return QDir::isAbsolutePath(value) ? value : QDir::homePath() + QStringLiteral("/.local/share");
}

// The applications folders, the user's first.
QStringList applicationFolders()
{
    QStringList folders{dataHome() + QStringLiteral("/applications")};
    for (const QString& dir : pathList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        folders << dir + QStringLiteral("/applications");
    return folders;
}

// The mimeapps.list files in order of precedence.
QStringList associationFiles()
{
    QStringList files{configHome() + QStringLiteral("/mimeapps.list")};
    for (const QString& dir : pathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString& folder : applicationFolders())
        files << folder + QStringLiteral("/mimeapps.list");
    return files;
}

} // namespace

QStringList handlerIds(const QString& mimeType)
{
    QStringList defaults, added, removed;
    for (const QString& path : associationFiles()) {
        const Groups groups = readKeyFile(path);
        // What a more important file removed stays removed further down.
        for (const QString& id : splitList(groups.value(QStringLiteral("Default Applications")).value(mimeType)))
            if (!removed.contains(id))
                defaults << id;
        for (const QString& id : splitList(groups.value(QStringLiteral("Added Associations")).value(mimeType)))
            if (!removed.contains(id))
                added << id;
        removed << splitList(groups.value(QStringLiteral("Removed Associations")).value(mimeType));
    }
    QStringList cached;
    for (const QString& folder : applicationFolders()) {
        const Groups groups = readKeyFile(folder + QStringLiteral("/mimeinfo.cache"));
        for (const QString& id : splitList(groups.value(QStringLiteral("MIME Cache")).value(mimeType)))
            if (!removed.contains(id))
                cached << id;
    }
    QStringList ids;
    for (const QString& id : defaults + added + cached)
        if (!ids.contains(id))
            ids << id;
    return ids;
}

std::optional<DesktopEntry> findDesktopEntry(const QString& id)
{
    if (!id.endsWith(QLatin1String(".desktop")) || id.contains(QLatin1Char('/')) || id.startsWith(QLatin1Char('.')))
        return std::nullopt;
    // "org-example-Viewer.desktop" may also live as "org/example/Viewer.desktop".
    const QStringList candidates{id, QString(id).replace(QLatin1Char('-'), QLatin1Char('/'))};
    for (const QString& folder : applicationFolders()) {
        for (const QString& name : candidates) {
            const QString path = folder + QLatin1Char('/') + name;
            if (!QFileInfo(path).isFile())
                continue;
            const QHash<QString, QString> keys = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
            // The first file of that id decides, usable or not.
            if (keys.value(QStringLiteral("Type")) != QLatin1String("Application")
                || keys.value(QStringLiteral("Hidden")) == QLatin1String("true")
                || keys.value(QStringLiteral("Exec")).isEmpty())
                return std::nullopt;
            return DesktopEntry{id, path, keys.value(QStringLiteral("Name")), keys.value(QStringLiteral("Exec"))};
        }
    }
    return std::nullopt;
}

std::optional<ProgramCall> launchCommand(const DesktopEntry& entry, const QString& file)
{
    const QStringList words = QProcess::splitCommand(entry.exec);
    if (words.isEmpty())
        return std::nullopt;
    const QString url = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    ProgramCall call{words.first(), {}};
    bool named = false;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == QLatin1String("%f") || word == QLatin1String("%F")) {
            call.arguments << file;
            named = true;
        } else if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            call.arguments << url;
            named = true;
        } else if (word.size() == 2 && word.startsWith(QLatin1Char('%'))) {
            // %i, %c, %k and deprecated codes: nothing this call needs.
        } else {
            call.arguments << QString(word).replace(QLatin1String("%%"), QLatin1String("%"));
        }
    }
    if (!named)
        call.arguments << file;
    return call;
}

bool isQuillaryEntry(const DesktopEntry& entry)
{
    if (entry.id.startsWith(QLatin1String(QUILLARY_BUNDLE_IDENTIFIER)))
        return true;
    const QStringList words = QProcess::splitCommand(entry.exec);
    return !words.isEmpty() && QFileInfo(words.first()).fileName() == QLatin1String("quillary");
}

std::optional<ProgramCall> openCommandOtherThanQuillary(const QString& mimeType, const QString& file)
{
    for (const QString& id : handlerIds(mimeType)) {
        const auto entry = findDesktopEntry(id);
        if (entry && !isQuillaryEntry(*entry))
            return launchCommand(*entry, file);
    }
    return std::nullopt;
}

} // namespace quillary
