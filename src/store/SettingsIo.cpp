// Settings I/O: every change of the store runs here, under the store's lock,
// on the settings as the file holds them, and ends with one atomic write.

#include "store/CustomFileManager.h"

#include "pdf/PlainLines.h"
#include "store/SettingsFile.h"
#include "store/StoreSupport.h"

#include <QFile>

#include <cstdio>

namespace quillary {

Result CustomFileManager::changeSettings(const std::function<Result()>& edit, Load mode)
{
    if (changing)
        return edit(); // part of a running change, which writes once at its end
    if (directory.isEmpty() || !path)
        return Result::failure(ErrorCode::NotFound, QStringLiteral("there is no template store"));
    settingsfile::Lock lock(directory);
    Result locked;
    for (int attempt = 0; attempt < 3; ++attempt) {
        storeDirectory(); // made again when another process reset the store
        locked = lock.acquire(config.lockTimeoutMs);
        // A reset elsewhere may remove the folder between the two steps.
        if (locked || locked.code == ErrorCode::Locked || storesupport::itemExists(directory))
            break;
    }
    if (!locked) {
        printPlainLine(locked.error);
        return locked;
    }

    struct Changing {
        CustomFileManager& store;
        explicit Changing(CustomFileManager& s) : store(s) { store.changing = true; store.pending = {}; }
        ~Changing() { store.changing = false; }
    } scope(*this);

    Result result = loadSettings(mode);
    if (result)
        result = edit();
    if (result && dic && (!onDisk || *onDisk != *dic)) {
        adoptOutsidePages(); // a save takes pages listed from elsewhere into the store
        result = writeSettings();
    }
    if (!result)
        dic = onDisk; // memory follows the file
    finishChange(result.ok());
    return result;
}

Result CustomFileManager::writeSettings()
{
    const Result written = settingsfile::write(*path, *dic);
    if (!written) {
        printPlainLine(QStringLiteral("Can't save settings ") + *path);
        return written;
    }
    onDisk = dic;
    return written;
}

void CustomFileManager::finishChange(bool succeeded)
{
    if (succeeded) {
        // Only now that no list names them do the dropped pages go.
        for (const QString& file : std::as_const(pending.dropped))
            deleteFile(file);
        for (const auto& [page, backup] : std::as_const(pending.backups))
            QFile::remove(backup);
    } else {
        for (const QString& file : std::as_const(pending.created))
            QFile::remove(file);
        for (auto it = pending.backups.crbegin(); it != pending.backups.crend(); ++it)
            std::rename(QFile::encodeName(it->second).constData(), QFile::encodeName(it->first).constData());
    }
    pending = {};
}

Result CustomFileManager::reload()
{
    return changeSettings([] { return Result::success(); });
}

} // namespace quillary
