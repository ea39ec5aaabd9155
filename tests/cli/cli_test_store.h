#pragma once

// A template store written by hand, the way the application leaves it on disk,
// so the tool's tests do not depend on the store's own writers.

#include "support/TestPdfs.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QStringList>

namespace clitest {

// Stationery whose colour shows which page was laid where: a filled square
// from (50, 50) to (350, 350) points.
inline bool writeStationery(const QString& path, const QColor& colour, QSizeF size = testpdfs::A4Whole)
{
    testpdfs::TestPage page;
    page.size = size;
    page.rects.append({QRectF(50, 50, 300, 300), colour});
    return testpdfs::writePdf(path, {page});
}

// A document of n pages, each with a blue square from (100, 100) to (200, 200),
// inside the stationery's square, so the layer decides the colour there.
inline bool writeDocument(const QString& path, int pages, QSizeF size = testpdfs::A4Whole)
{
    QList<testpdfs::TestPage> pageList;
    for (int k = 1; k <= pages; ++k) {
        testpdfs::TestPage page;
        page.size = size;
        page.rects.append({QRectF(100, 100, 100, 100), QColor(Qt::blue)});
        page.text = QStringLiteral("Page %1").arg(k);
        pageList.append(page);
    }
    return testpdfs::writePdf(path, pageList);
}

struct TemplateRecord {
    QString name;
    QString frontPage;         // "X" or an index; "int:N" stores an integer
    QString secondaryPage;
    QString termsOfConditions;
    bool isActive = true;
    QString docFormat = QStringLiteral("0");
    bool isOverlay = false;    // true: stationery behind the content
};

inline QString plistValue(const QString& reference)
{
    if (reference.startsWith(QLatin1String("int:")))
        return QStringLiteral("<integer>%1</integer>").arg(reference.mid(4));
    return QStringLiteral("<string>%1</string>").arg(reference.toHtmlEscaped());
}

inline QString plistStrings(const QStringList& values)
{
    QString xml = QStringLiteral("<array>");
    for (const QString& v : values)
        xml += QStringLiteral("<string>%1</string>").arg(v.toHtmlEscaped());
    return xml + QStringLiteral("</array>");
}

// Writes storeDir/settings.plist with the page lists and templates given.
inline bool writeStore(const QString& storeDir, const QStringList& startPages, const QStringList& continuationPages,
                       const QStringList& termsPages, const QList<TemplateRecord>& templates)
{
    if (!QDir().mkpath(storeDir))
        return false;
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\"><dict>\n");
    xml += QStringLiteral("<key>first_start</key><array><string>N</string></array>\n");
    xml += QStringLiteral("<key>templatepattern</key><array/>\n");
    xml += QStringLiteral("<key>templatefirst</key>") + plistStrings(startPages) + QLatin1Char('\n');
    xml += QStringLiteral("<key>template</key>") + plistStrings(continuationPages) + QLatin1Char('\n');
    xml += QStringLiteral("<key>templateback</key>") + plistStrings(termsPages) + QLatin1Char('\n');
    xml += QStringLiteral("<key>templateproperties</key><array>\n");
    for (const TemplateRecord& t : templates) {
        xml += QStringLiteral("<dict><key>%1</key><dict>").arg(t.name.toHtmlEscaped());
        xml += QStringLiteral("<key>frontPage</key>") + plistValue(t.frontPage);
        xml += QStringLiteral("<key>secondaryPage</key>") + plistValue(t.secondaryPage);
        xml += QStringLiteral("<key>termsOfConditions</key>") + plistValue(t.termsOfConditions);
        xml += QStringLiteral("<key>lastActivityWithDate</key><string>Created 01.12.26</string>");
        xml += QStringLiteral("<key>isActive</key>") + (t.isActive ? QStringLiteral("<true/>") : QStringLiteral("<false/>"));
        xml += QStringLiteral("<key>docFormat</key>") + plistValue(t.docFormat);
        xml += QStringLiteral("<key>isOverlay</key>") + (t.isOverlay ? QStringLiteral("<true/>") : QStringLiteral("<false/>"));
        xml += QStringLiteral("</dict></dict>\n");
    }
    xml += QStringLiteral("</array>\n</dict></plist>\n");
    return testpdfs::writeBytes(storeDir + QStringLiteral("/settings.plist"), xml.toUtf8());
}

} // namespace clitest
