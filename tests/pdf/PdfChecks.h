#pragma once

// Independent readers for written PDFs (qpdf for structure, Qt PDF for pixels,
// pdftotext for text) and one-struct-per-row test tables.

#include "support/TestPdfs.h"

#include <QPainter>
#include <QPdfDocument>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

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

// Decoded data of a stream object.
inline QByteArray streamData(QPDFObjectHandle stream)
{
    const auto data = stream.getStreamData(qpdf_dl_generalized);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}

inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

inline QByteArray stream(const QByteArray& dict, const QByteArray& data)
{
    return "<< " + dict + " /Length " + QByteArray::number(data.size()) + " >> stream\n" + data + "\nendstream";
}

// Objects numbered from 1 (the catalog; the information dictionary last when
// withInfo) as PDF text without a cross-reference table, rewritten by qpdf,
// which finds the objects itself, unless a reader is to repair it (tidy false).
inline bool writeObjects(const QString& path, const QList<QByteArray>& objects, bool withInfo = false, bool tidy = true,
                         const std::function<void(QPDFWriter&)>& configure = {})
{
    QByteArray text = "%PDF-1.7\n";
    for (int i = 0; i < objects.size(); ++i)
        text += QByteArray::number(i + 1) + " 0 obj " + objects[i] + " endobj\n";
    text += "trailer << /Root 1 0 R /Size " + QByteArray::number(objects.size() + 1)
            + (withInfo ? " /Info " + QByteArray::number(objects.size()) + " 0 R" : "") + " >>\n%%EOF\n";
    if (!tidy)
        return testpdfs::writeBytes(path, text);
    QPDF q;
    q.setSuppressWarnings(true);
    q.processMemoryFile("objects", text.constData(), size_t(text.size()));
    const QByteArray name = QFile::encodeName(path);
    QPDFWriter writer(q, name.constData());
    writer.setStaticID(true);
    if (configure)
        configure(writer);
    writer.write();
    return true;
}

} // namespace pdfchecks
