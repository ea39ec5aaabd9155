#include "support/TestPdfs.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace testpdfs {

namespace {

std::string num(double v)
{
    std::ostringstream out;
    out.precision(6);
    out << std::fixed << v;
    return out.str();
}

std::string contentFor(const TestPage& page)
{
    std::ostringstream s;
    if (page.whiteBackground)
        s << "/DeviceRGB cs 1 1 1 sc 0 0 " << num(page.size.width()) << ' ' << num(page.size.height()) << " re f\n";
    for (const auto& [rect, color] : page.rects) {
        s << "q " << num(color.redF()) << ' ' << num(color.greenF()) << ' ' << num(color.blueF()) << " rg "
          << num(rect.x()) << ' ' << num(rect.y()) << ' ' << num(rect.width()) << ' ' << num(rect.height())
          << " re f Q\n";
    }
    if (!page.text.isEmpty()) {
        std::string text = page.text.toStdString();
        std::string escaped;
        for (char c : text) {
            if (c == '(' || c == ')' || c == '\\')
                escaped += '\\';
            escaped += c;
        }
        s << "BT /F1 24 Tf 72 " << num(page.size.height() - 100) << " Td (" << escaped << ") Tj ET\n";
    }
    s << page.rawContent.toStdString();
    return s.str();
}

QPDFObjectHandle makePage(QPDF& pdf, const TestPage& wanted)
{
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFObjectHandle page = QPDFObjectHandle::parse(
        "<< /Type /Page /MediaBox [" + num(wanted.origin.x()) + " " + num(wanted.origin.y()) + " "
        + num(wanted.origin.x() + wanted.size.width()) + " " + num(wanted.origin.y() + wanted.size.height())
        + "] /Resources << /Font << >> >> >>");
    if (wanted.rotate != 0)
        page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(wanted.rotate));
    page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, contentFor(wanted)));
    return pdf.makeIndirectObject(page);
}

bool writeDoc(QPDF& pdf, const QString& path, const std::function<void(QPDFWriter&)>& configure = {})
{
    try {
        // QPDFWriter keeps the name pointer until write(): the bytes must outlive it.
        const QByteArray fileName = QFile::encodeName(path);
        QPDFWriter writer(pdf, fileName.constData());
        writer.setStaticID(true);
        if (configure)
            configure(writer);
        writer.write();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool writePdf(const QString& path, const QList<TestPage>& pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    for (const TestPage& page : pages)
        doc.addPage(QPDFPageObjectHelper(makePage(pdf, page)), false);
    return writeDoc(pdf, path);
}

bool writeNumbered(const QString& path, int pages, QSizeF size)
{
    QList<TestPage> pageList;
    for (int k = 1; k <= pages; ++k) {
        TestPage page;
        page.size = size;
        page.text = QStringLiteral("Page %1").arg(k);
        pageList.append(page);
    }
    return writePdf(path, pageList);
}

bool writeRaw(const QString& path, const QByteArray& rawContent, QSizeF size)
{
    TestPage page;
    page.size = size;
    page.rawContent = QString::fromLatin1(rawContent);
    return writePdf(path, {page});
}

bool writeEncrypted(const QString& path, const QString& userPassword, const QString& ownerPassword)
{
    QPDF pdf;
    pdf.emptyPDF();
    TestPage page;
    page.text = QStringLiteral("Secret");
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(makePage(pdf, page)), false);
    return writeDoc(pdf, path, [&](QPDFWriter& w) {
        w.setR6EncryptionParameters(userPassword.toStdString().c_str(), ownerPassword.toStdString().c_str(),
                                    true, true, true, true, true, true, qpdf_r3p_full, true);
    });
}

bool writeZeroPages(const QString& path)
{
    QPDF pdf;
    pdf.emptyPDF();
    return writeDoc(pdf, path);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

int pageCount(const QString& path, const QString& password)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData(),
                        password.isEmpty() ? nullptr : password.toStdString().c_str());
        return static_cast<int>(QPDFPageDocumentHelper(pdf).getAllPages().size());
    } catch (const std::exception&) {
        return -1;
    }
}

QRectF mediaBox(const QString& path, int index, const QString& password)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData(),
                        password.isEmpty() ? nullptr : password.toStdString().c_str());
        auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (index < 0 || index >= static_cast<int>(pages.size()))
            return {};
        auto r = pages[index].getMediaBox().getArrayAsRectangle();
        return QRectF(std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::abs(r.urx - r.llx),
                      std::abs(r.ury - r.lly));
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace testpdfs
