#pragma once

// A template store written as the application leaves it on disk: pages
// s/tempf00.pdf (start), s/temp00.pdf (continuation), s/tempb00.pdf (terms).

#include "support/TestPdfs.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <optional>

namespace clitest {

inline bool writeStationery(const QString& path, QColor colour = Qt::red)
{
    testpdfs::TestPage page;
    page.rects.append({QRectF(50, 50, 300, 300), colour});
    return testpdfs::writePdf(path, {page});
}

// "Behind": start + continuation, isOverlay true, A4, enabled.
// "Over": start + terms, isOverlay false, US Letter, disabled.
// "Gone": a terms page (number 5) the store does not hold, A4, enabled.
// secondStart: a start page s/tempf01.pdf in that colour, which "Behind"
// uses instead; the settings file is then replaced whole, as the
// application replaces it (for a process that watches it).
inline bool writeStore(const QString& s, std::optional<QColor> secondStart = std::nullopt)
{
    const QString f = s + "/tempf00.pdf", c = s + "/temp00.pdf", b = s + "/tempb00.pdf";
    const QString f1 = s + "/tempf01.pdf";
    if (secondStart) {
        if (!writeStationery(f1, *secondStart))
            return false;
    } else if (!QDir().mkpath(s) || !writeStationery(f) || !writeStationery(c) || !writeStationery(b)) {
        return false;
    }
    const QString behindStart = secondStart ? "1" : "0";
    const QString starts = "<string>" + f + "</string>" + (secondStart ? "<string>" + f1 + "</string>" : "");
    auto tpl = [](const char* name, const char* pages, bool overlay, int format, bool active) {
        return QString::asprintf("<dict><key>%s</key><dict>%s<key>isActive</key><%s/><key>docFormat</key>"
                                 "<string>%d</string><key>isOverlay</key><%s/></dict></dict>",
                                 name, pages, active ? "true" : "false", format, overlay ? "true" : "false");
    };
    const QString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>first_start</key><array><string>N</string></array><key>templatepattern</key><array/>"
        "<key>templatefirst</key><array>" + starts + "</array>"
        "<key>template</key><array><string>" + c + "</string></array>"
        "<key>templateback</key><array><string>" + b + "</string></array><key>templateproperties</key><array>"
        + tpl("Behind", ("<key>frontPage</key><string>" + behindStart + "</string><key>secondaryPage</key>"
                         "<integer>0</integer><key>termsOfConditions</key><string>X</string>").toUtf8().constData(),
              true, 0, true)
        + tpl("Over", "<key>frontPage</key><string>0</string><key>secondaryPage</key><string>X</string>"
                             "<key>termsOfConditions</key><string>0</string>", false, 1, false)
        + tpl("Gone", "<key>frontPage</key><string>X</string><key>secondaryPage</key><string>X</string>"
                      "<key>termsOfConditions</key><string>5</string>", true, 0, true)
        + "</array></dict></plist>\n";
    return testpdfs::writeBytes(s + "/settings.plist.new", xml.toUtf8())
        && std::rename(QFile::encodeName(s + "/settings.plist.new").constData(),
                       QFile::encodeName(s + "/settings.plist").constData()) == 0;
}

} // namespace clitest
