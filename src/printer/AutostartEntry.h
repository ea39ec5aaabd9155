#pragma once

// Whether the print agent's autostart entry turns Quillary off for a user.
// Shared by the CUPS backend (plain C++, reads the user's own entry as that
// user), the agent and the application: one reading for all three.
//
// The package installs the entry for every user (/etc/xdg/autostart); a user
// entry of the same name in the user's autostart folder takes its place.
// "Delete printer" writes one with Hidden=true (the way desktops delete an
// autostart entry for one user); a desktop's "startup applications" switch
// writes X-GNOME-Autostart-enabled=false. Either turns Quillary off.

#include <cstddef>
#include <string_view>

namespace quillary::printer {

// The entry's file name, in every autostart folder.
inline constexpr std::string_view kAutostartEntryName = "app.quillary.Quillary-agent.desktop";
// Larger entries are not ours to read whole; what a real one holds is tiny.
inline constexpr std::size_t kAutostartEntryMaxBytes = 64 * 1024;

// True when the [Desktop Entry] group of text says Hidden=true or
// X-GNOME-Autostart-enabled=false (keys and values exact, blanks around '='
// allowed, comments and other groups ignored).
inline bool autostartEntryTurnsOff(std::string_view text)
{
    const auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
            s.remove_suffix(1);
        return s;
    };
    bool inMainGroup = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos)
            continue;
        const std::string_view key = trim(line.substr(0, equals)), value = trim(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

} // namespace quillary::printer
