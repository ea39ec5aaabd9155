#pragma once

// Small helpers shared by the parts of the store. Internal to src/store.

#include <QFile>
#include <QString>
#include <QVariant>

#include <filesystem>
#include <optional>

#include <sys/stat.h>

namespace quillary::storesupport {

inline constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
inline constexpr QFile::Permissions ownerOnlyDirectory = ownerOnlyFile | QFile::ExeOwner;

inline std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// True when something (also a dangling symbolic link) is at the path.
inline bool itemExists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The template entries of a "templateproperties" value: one one-key entry
// (name -> record) per template. Nothing when the value is no list at all.
// An element holding several templates yields each of them, in key order, so
// that renaming or deleting one of them cannot drop the others; an element
// that holds no record (text, a name with a value that is no record) is
// skipped and *dropped is set.
std::optional<QVariantList> templateEntries(const QVariant& value, bool* dropped = nullptr);

// A stored value on one line, for the "any " line of pagePaths.
QString describe(const QVariant& value);

} // namespace quillary::storesupport
