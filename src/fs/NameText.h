#pragma once

// Which characters a name shown to a person must not carry as they are:
// controls, line and paragraph separators, characters that turn the text
// around (bidirectional controls) and characters drawn as nothing (default
// ignorable code points). A name holding them can read differently from the
// file it names, or break a line in a log. Taken from the character
// database, so new characters of those kinds are caught too.

namespace quillary::fs {

bool isHiddenOrControl(char32_t codePoint);

} // namespace quillary::fs
