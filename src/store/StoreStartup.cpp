// Start-up and recovery: where the store lives, what it starts from, and what
// happens to a settings file that cannot be used.

#include "store/CustomFileManager.h"

#include "pdf/AtomicFile.h"
#include "pdf/PlainLines.h"
#include "store/PropertyList.h"
#include "store/SettingsFile.h"
#include "store/StoreSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace quillary {

using namespace storesupport;

CustomFileManager::CustomFileManager(StoreConfig c)
    : config(std::move(c))
{
    const ValueResult<QString> resolved = resolveDirectory();
    if (!resolved) {
        // No place for a store: it stays empty and writes nothing.
        printPlainLine(resolved.error);
        return;
    }
    directory = *resolved.value;
    linkedDirectory = QFileInfo(config.directory.isEmpty() ? defaultDirectory() : config.directory).isSymLink();
    if (storeDirectory().isEmpty())
        return;
    // Printed documents and their stationery can be confidential: the store is
    // the user's alone, also when an older version created it with a looser
    // mode. The path is a real folder of the user's (resolveDirectory).
    QFile::setPermissions(directory, ownerOnlyDirectory);
    path = directory + QStringLiteral("/settings.plist");

    const Result started = changeSettings([] { return Result::success(); }, Load::StartUp);
    if (!started && !dic) {
        // The store could not be locked (another process holds it longer than
        // anyone should, or the folder is not writable), or the start-up
        // could not be written: show what the file holds; changes try again.
        const settingsfile::Contents contents = settingsfile::read(*path);
        if (contents.state == settingsfile::State::Read) {
            dic = contents.dictionary;
            onDisk = dic;
        }
    }
    if (auto list = loadTemplateList())
        templateProperties = *list;
}

QDateTime CustomFileManager::now() const
{
    return (config.clock ? config.clock() : QDateTime::currentDateTime()).toLocalTime();
}

ValueResult<QString> CustomFileManager::resolveDirectory() const
{
    QString requested = config.directory;
    if (requested.isEmpty()) {
        // Without HOME the standard location falls back to "/", and the store
        // would end up in a folder at the root of the system.
        const bool dataHomeSet = QDir::isAbsolutePath(qEnvironmentVariable("XDG_DATA_HOME"));
        if (qEnvironmentVariable("HOME").isEmpty() && !dataHomeSet)
            return Result::failure(ErrorCode::NotFound,
                                   QStringLiteral("HOME is not set: there is no place for the template store"));
        requested = defaultDirectory();
        if (requested.isEmpty())
            return Result::failure(ErrorCode::NotFound, QStringLiteral("there is no place for the template store"));
    }
    requested = QDir::cleanPath(QFileInfo(requested).absoluteFilePath());

    struct stat info {};
    if (::lstat(QFile::encodeName(requested).constData(), &info) != 0)
        return ValueResult<QString>::of(requested); // made on first use
    if (S_ISDIR(info.st_mode))
        return ValueResult<QString>::of(requested);
    if (!S_ISLNK(info.st_mode))
        return Result::failure(ErrorCode::NotAFile, QStringLiteral("%1: the template store is not a folder").arg(requested));

    // A link the user made (to a synchronised folder, another disk) is
    // followed once, here, to a folder of the user's own; from then on the
    // store works in that folder and never looks at the link again. A link to
    // someone else's folder is refused: the store would chmod and write there.
    const QString target = QFileInfo(requested).canonicalFilePath();
    struct stat targetInfo {};
    if (target.isEmpty() || ::stat(QFile::encodeName(target).constData(), &targetInfo) != 0)
        return Result::failure(ErrorCode::NotFound,
                               QStringLiteral("%1: the template store is a symbolic link to nothing").arg(requested));
    if (!S_ISDIR(targetInfo.st_mode))
        return Result::failure(ErrorCode::NotAFile,
                               QStringLiteral("%1: the template store is a symbolic link to %2, which is not a folder")
                                   .arg(requested, target));
    if (targetInfo.st_uid != ::geteuid())
        return Result::failure(ErrorCode::Refused,
                               QStringLiteral("%1: the template store is a symbolic link to %2, a folder of another user; "
                                              "it is not followed")
                                   .arg(requested, target));
    return ValueResult<QString>::of(target);
}

QString CustomFileManager::defaultDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QLatin1Char('/') + QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER);
}

QString CustomFileManager::storeDirectory()
{
    if (directory.isEmpty())
        return {};
    // Made again when it vanished (a reset by another process); a directory
    // that cannot be made shows when a write into it fails.
    if (!itemExists(directory) && QDir().mkpath(directory))
        QFile::setPermissions(directory, ownerOnlyDirectory);
    return directory;
}

// Reads the settings file, under the lock. At start-up, and whenever the file
// is gone or unusable, the store starts over from the defaults.
Result CustomFileManager::loadSettings(Load mode)
{
    const settingsfile::Contents contents = settingsfile::read(*path);
    if (mode == Load::StartUp && contents.state != settingsfile::State::Missing)
        printPlainLine(QStringLiteral("File exists"));

    switch (contents.state) {
    case settingsfile::State::Read:
        dic = contents.dictionary;
        onDisk = dic;
        if (mode == Load::BeforeChange)
            return Result::success();
        keepDamagedTemplateList();
        break;
    case settingsfile::State::Missing:
        onDisk.reset();
        startFromDefaults();
        break;
    case settingsfile::State::Damaged:
    case settingsfile::State::TooLarge: {
        // The user's templates may still be recoverable from it by hand, so it
        // is never overwritten nor read whole: it moves aside and the store
        // starts from the defaults; the stored page files stay where they are.
        const bool tooLarge = contents.state == settingsfile::State::TooLarge;
        const auto aside = settingsfile::moveAside(*path, tooLarge ? QStringLiteral("too-large") : QStringLiteral("corrupt"), now());
        if (!aside) {
            dic.reset();
            onDisk.reset();
            const QString line = QStringLiteral("Unreadable settings file left in place: ") + *path;
            printPlainLine(line);
            return Result::failure(ErrorCode::Damaged, QStringLiteral("%1: %2; it could not be moved aside").arg(*path, contents.reason));
        }
        printPlainLine(tooLarge ? QStringLiteral("Settings file too large (%1), moved to %2").arg(contents.reason, *aside)
                                : QStringLiteral("Unreadable settings file moved to ") + *aside);
        onDisk.reset();
        startFromDefaults();
        break;
    }
    case settingsfile::State::Unreadable:
        // There, but not ours to read: probably intact, so the store leaves it
        // alone and writes nothing.
        dic.reset();
        onDisk.reset();
        printPlainLine(QStringLiteral("Can't read settings file ") + *path);
        return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: %2").arg(*path, contents.reason));
    }

    if (auto list = loadTemplateList())
        templateProperties = *list;
    const QVariant pattern = dic->value(rawValue(StoreKey::TemplatePattern));
    if (pattern.typeId() == QMetaType::QVariantMap && !pattern.toMap().isEmpty()) {
        upgradeLegacyPatterns();
        if (Result converted = convertLegacyPatterns(); !converted)
            return converted;
    }
    // No template at all (also when legacy patterns could not be converted):
    // the default template, so that there is always one to print with.
    const auto list = loadTemplateList();
    if (!list || list->isEmpty())
        return createDefaultTemplate();
    return Result::success();
}

void CustomFileManager::startFromDefaults()
{
    QFile defaults(config.defaultSettingsPath);
    std::optional<QVariantMap> read;
    if (defaults.open(QIODevice::ReadOnly))
        read = readPropertyListDictionary(defaults.read(settingsfile::kMaxSize));
    // No usable defaults (a packaging fault): an empty store, which still gets
    // its default template.
    dic = read.value_or(QVariantMap());
}

// A template list that is not a list, or holds elements that are no
// templates, is replaced or cleaned by the next write; the file is kept as it
// was, beside the store, before that happens.
void CustomFileManager::keepDamagedTemplateList()
{
    const auto stored = dic->constFind(rawValue(StoreKey::TemplateProperties));
    bool dropped = false;
    if (stored == dic->cend() || (templateEntries(*stored, &dropped) && !dropped))
        return;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString copy = settingsfile::asideName(*path, QStringLiteral("corrupt"), now());
    if (!writeFileAtomically(copy, file.read(settingsfile::kMaxSize), AtomicFile::Access::Private))
        return;
    printPlainLine(QStringLiteral("Unreadable template list, settings file kept as ") + copy);
    // Kept: the list can now be written back without what is no template, so
    // that the next start does not keep another copy.
    if (auto list = loadTemplateList())
        storeTemplates(*list);
}

// ---------------------------------------------------------------------------
// The process-wide store

namespace {

std::atomic<bool> sharedStoreCreated{false};

StoreConfig& pendingSharedStoreConfig()
{
    static StoreConfig config;
    return config;
}

} // namespace

CustomFileManager& sharedStore()
{
    static CustomFileManager store{[] {
        sharedStoreCreated = true;
        return pendingSharedStoreConfig();
    }()};
    return store;
}

void configureSharedStore(StoreConfig config)
{
    if (!sharedStoreCreated)
        pendingSharedStoreConfig() = std::move(config);
}

} // namespace quillary
