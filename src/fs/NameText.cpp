#include "fs/NameText.h"

#include <unicode/uchar.h>

namespace quillary::fs {

bool isHiddenOrControl(char32_t codePoint)
{
    const auto c = static_cast<UChar32>(codePoint);
    if (c < 0 || c > 0x10FFFF)
        return true;
    switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
    case U_SURROGATE:
        return true;
    default:
        break;
    }
    return u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) || u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL);
}

} // namespace quillary::fs
