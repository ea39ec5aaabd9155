#pragma once

#include <QHash>
#include <QVariant>

namespace quillary {

// Options of a PDF output. Values are bool (ALLOW_PRINT, WITH_PASSWORD) or
// QString (AUTHOR, TITLE, PASSWORD, OWNER_PASSWORD).
enum class SaveOptions : int {
    ALLOW_PRINT = 0,
    WITH_PASSWORD = 1,
    AUTHOR = 2,
    TITLE = 3,
    PASSWORD = 4,
    OWNER_PASSWORD = 5,
};

inline size_t qHash(SaveOptions key, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(key), seed);
}

using SaveOptionsMap = QHash<SaveOptions, QVariant>;

} // namespace quillary
