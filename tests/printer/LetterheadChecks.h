#pragma once

// What the letterhead tests share: stationery whose pages say which they
// are (a word and a coloured mark), and a page-by-page reading of a printed
// result with an independent reader (pdftotext, and Qt PDF for colours).

#include "pdf/PdfChecks.h"

#include <QDir>
#include <QProcess>

#include <algorithm>

namespace letterheadchecks {

using namespace pdfchecks;

// Where each stationery page puts its mark, and its colour letter.
inline const QRectF kMark{40, 40, 60, 60};

inline bool writeStationery(const QString& folder)
{
    const auto page = [](const char* word, QColor colour) {
        testpdfs::TestPage p;
        // The word away from the document's own text, so that a reader never merges the two.
        p.rawContent = QStringLiteral("BT /F1 24 Tf 300 400 Td (%1) Tj ET\n").arg(QString::fromLatin1(word));
        p.rects = {{kMark, colour}};
        return QList<testpdfs::TestPage>{p};
    };
    return QDir().mkpath(folder) && testpdfs::writePdf(folder + "/start.pdf", page("STARTMARK", Qt::red))
        && testpdfs::writePdf(folder + "/continuation.pdf", page("CONTMARK", Qt::green))
        && testpdfs::writePdf(folder + "/terms.pdf", page("TERMSMARK", Qt::blue));
}

inline QString pageText(const QString& path, int page)
{
    QProcess process;
    process.start("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), path, "-"});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

// The printed pages, one word each: "S1" start stationery with document
// page 1, "C2" continuation with page 2, "T" the terms page alone, "P3"
// page 3 without stationery, "?" anything else. Colours are checked too: a
// page whose word says start must show the start's red mark; after a
// printer driver that may print in grey (colours false), a mark at all.
inline QString pages(const QString& path, bool colours = true)
{
    const int n = testpdfs::pageCount(path);
    if (n < 0)
        return "unreadable";
    QStringList out;
    for (int k = 1; k <= n; ++k) {
        const QString text = pageText(path, k);
        const QImage image = render(path, k - 1);
        char colour = colourAt(image, kMark.center());
        if (!colours) {
            const QColor c = image.pixelColor(int(kMark.center().x()), image.height() - 1 - int(kMark.center().y()));
            const bool marked = std::min({c.red(), c.green(), c.blue()}) < 240;
            colour = !marked ? 'W' : text.contains("STARTMARK") ? 'R' : text.contains("CONTMARK") ? 'G' : 'B';
        }
        QString word;
        const bool start = text.contains("STARTMARK"), cont = text.contains("CONTMARK"), terms = text.contains("TERMSMARK");
        const QRegularExpressionMatch number = QRegularExpression("Page (\\d+)").match(text);
        if (start + cont + terms > 1)
            word = "?";
        else if (start)
            word = colour == 'R' ? "S" : "s?";
        else if (cont)
            word = colour == 'G' ? "C" : "c?";
        else if (terms)
            word = colour == 'B' && !number.hasMatch() ? "T" : "t?";
        else
            word = colour == 'W' ? "P" : "p?";
        out << word + number.captured(1);
    }
    return out.join(' ');
}

// The PDF inside what a printer's device received (a PDF driver may wrap
// it in printer job language).
inline QByteArray pdfIn(const QByteArray& device)
{
    const qsizetype start = device.indexOf("%PDF-");
    const qsizetype end = device.lastIndexOf("%%EOF");
    return start < 0 || end < start ? QByteArray() : device.mid(start, end + 5 - start) + '\n';
}

} // namespace letterheadchecks
