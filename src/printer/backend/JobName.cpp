#include "printer/backend/JobName.h"

#include "fs/NameText.h"
#include "printer/SpoolLayout.h"

#include <cstdint>

namespace quillary::printer {

namespace {

// Length of the valid UTF-8 sequence at the start of s (0: invalid) and its
// code point.
std::size_t decode(std::string_view s, char32_t& cp)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0; // overlong, out of range, or a surrogate
    return length;
}

// Characters that break a line, are invisible, or turn the text around
// (after the character database): they become spaces, so a name cannot
// pretend to be something else.
bool isControl(char32_t cp)
{
    return fs::isHiddenOrControl(cp);
}

bool endsWithPdf(std::string_view s)
{
    if (s.size() < 4)
        return false;
    const std::string_view tail = s.substr(s.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'p' && (tail[2] | 0x20) == 'd' && (tail[3] | 0x20) == 'f';
}

void trimEnd(std::string& s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '.'))
        s.pop_back();
}

} // namespace

std::string safeTitle(std::string_view title)
{
    // Each character checked once: slashes, controls and broken bytes
    // replaced, runs of spaces and of dots made single.
    std::string out;
    out.reserve(title.size());
    for (std::size_t i = 0; i < title.size();) {
        char32_t cp = 0;
        const std::size_t length = decode(title.substr(i), cp);
        char replacement = 0;
        if (length == 0)
            replacement = '_';
        else if (cp == '/')
            replacement = '_';
        else if (isControl(cp) || cp == ' ')
            replacement = ' ';
        else if (cp == '.')
            replacement = '.';

        if (replacement == ' ' || replacement == '.') {
            if (out.empty() || out.back() != replacement)
                out += replacement;
        } else if (replacement) {
            out += replacement;
        } else {
            out.append(title.substr(i, length));
        }
        i += length == 0 ? 1 : length;
    }

    // No leading dots or spaces: no hidden files, no "." or "..".
    std::size_t start = 0;
    while (start < out.size() && (out[start] == ' ' || out[start] == '.'))
        ++start;
    out.erase(0, start);
    trimEnd(out);
    if (endsWithPdf(out)) {
        out.resize(out.size() - 4);
        trimEnd(out);
    }
    if (out.size() > kMaxTitleBytes) {
        std::size_t cut = kMaxTitleBytes;
        while (cut > 0 && (static_cast<std::uint8_t>(out[cut]) & 0xC0) == 0x80)
            --cut; // never split a character
        out.resize(cut);
        trimEnd(out);
    }
    return out.empty() ? std::string("document") : out;
}

std::string jobFileName(std::string_view title, std::string_view jobId, int attempt)
{
    std::string name(jobId);
    name += '-';
    name += safeTitle(title);
    if (attempt > 1)
        name += " (" + std::to_string(attempt) + ')';
    name.append(kJobSuffix);
    return name;
}

} // namespace quillary::printer
