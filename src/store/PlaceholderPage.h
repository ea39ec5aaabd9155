#pragma once

#include <QString>

namespace quillary {

// The first template's placeholder page in the user's language: the file
// the translations name beside path (the English one), else path.
QString placeholderPageIn(const QString& path);

} // namespace quillary
