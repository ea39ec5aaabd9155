#pragma once

// Independent readers for written PDFs (qpdf for structure, Qt PDF for pixels,
// pdftotext for text) and one-struct-per-row test tables.

#include "support/TestPdfs.h"

#include <QPainter>
#include <QPdfDocument>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <unistd.h>

namespace pdfchecks {

// A data table whose one column "row" holds a Row per named row.
template <class Row> void table(std::initializer_list<std::pair<const char*, Row>> rows)
{
    QTest::addColumn<Row>("row");
    for (const auto& [name, row] : rows)
        QTest::newRow(name) << row;
}
template <class Row> Row fetch() { return *static_cast<Row*>(QTest::qData("row", qMetaTypeId<Row>())); }

// Page rendered at one pixel per point on white paper.
inline QImage render(const QString& path, int page)
{
    QPdfDocument document;
    document.load(path);
    const QSize size = document.pagePointSize(page).toSize();
    QImage paper(size, QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter(&paper).drawImage(0, 0, document.render(page, size));
    return paper;
}

// Colour letter (K B G C R M Y W) at PDF point p, y upwards.
inline char colourAt(const QImage& image, QPointF p)
{
    const QColor c = image.pixelColor(int(p.x()), image.height() - 1 - int(p.y()));
    return "KBGCRMYW"[(c.red() > 127) * 4 + (c.green() > 127) * 2 + (c.blue() > 127)];
}

inline QString text(const QString& path)
{
    QProcess process;
    process.start("pdftotext", {path, "-"});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

// Null when qpdf cannot open the file (for example without its password).
inline std::unique_ptr<QPDF> open(const QString& path, const char* password = "")
{
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        pdf->processFile(QFile::encodeName(path).constData(), password);
        return pdf;
    } catch (const std::exception&) {
        return nullptr;
    }
}

// Document information as sorted "Key=value" entries.
inline QStringList information(const QString& path)
{
    QStringList entries;
    auto pdf = open(path);
    QPDFObjectHandle info = pdf ? pdf->getTrailer().getKey("/Info") : QPDFObjectHandle::newNull();
    for (const auto& key : info.isDictionary() ? info.getKeys() : std::set<std::string>{})
        entries << QString::fromStdString(key.substr(1) + '=' + info.getKey(key).getUTF8Value());
    return entries;
}

inline QString captureStdout(const std::function<void()>& fn)
{
    QTemporaryFile file;
    file.open();
    std::fflush(stdout);
    const int saved = ::dup(1);
    ::dup2(file.handle(), 1);
    fn();
    std::fflush(stdout);
    ::dup2(saved, 1), ::close(saved);
    return file.seek(0) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace pdfchecks
