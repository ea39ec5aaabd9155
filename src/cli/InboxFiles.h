#pragma once

// What the watch does to one file in the folders it holds open: looks at its
// end to see whether it is complete, and moves it without replacing another.

#include <QString>

namespace quillary::cli {

// Whether the last bytes of the open file (of that size) hold a PDF's end
// marker. True when they cannot be read: the stamp then says why.
bool endsLikePdf(int file, qint64 size);

// Moves name (in the held inbox) into the held folder under its own name, or
// with a number when that is taken: an original is never replaced. Returns
// the new name, or empty (with *why) when it could not be moved.
QString moveInto(int inbox, const QString& name, int folder, const QString& folderPath, QString* why);

} // namespace quillary::cli
