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

std::string contentFor(const PageSpec& spec)
{
    std::ostringstream s;
    if (spec.whiteBackground)
        s << "/DeviceRGB cs 1 1 1 sc 0 0 " << num(spec.size.width()) << ' ' << num(spec.size.height()) << " re f\n";
    for (const auto& [rect, color] : spec.rects) {
        s << "q " << num(color.redF()) << ' ' << num(color.greenF()) << ' ' << num(color.blueF()) << " rg "
          << num(rect.x()) << ' ' << num(rect.y()) << ' ' << num(rect.width()) << ' ' << num(rect.height())
          << " re f Q\n";
    }
    if (!spec.text.isEmpty()) {
        std::string text = spec.text.toStdString();
        std::string escaped;
        for (char c : text) {
            if (c == '(' || c == ')' || c == '\\')
                escaped += '\\';
            escaped += c;
        }
        s << "BT /F1 24 Tf 72 " << num(spec.size.height() - 100) << " Td (" << escaped << ") Tj ET\n";
    }
    s << spec.rawContent.toStdString();
    return s.str();
}

QPDFObjectHandle makePage(QPDF& pdf, const PageSpec& spec)
{
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFObjectHandle page = QPDFObjectHandle::parse(
        "<< /Type /Page /MediaBox [" + num(spec.origin.x()) + " " + num(spec.origin.y()) + " "
        + num(spec.origin.x() + spec.size.width()) + " " + num(spec.origin.y() + spec.size.height())
        + "] /Resources << /Font << >> >> >>");
    if (spec.rotate != 0)
        page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
    page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, contentFor(spec)));
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

bool writePdf(const QString& path, const QList<PageSpec>& pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    for (const PageSpec& spec : pages)
        doc.addPage(QPDFPageObjectHelper(makePage(pdf, spec)), false);
    return writeDoc(pdf, path);
}

bool writeNumbered(const QString& path, int pages, QSizeF size)
{
    QList<PageSpec> specs;
    for (int k = 1; k <= pages; ++k) {
        PageSpec spec;
        spec.size = size;
        spec.text = QStringLiteral("Page %1").arg(k);
        specs.append(spec);
    }
    return writePdf(path, specs);
}

bool writeRaw(const QString& path, const QByteArray& rawContent, QSizeF size)
{
    PageSpec spec;
    spec.size = size;
    spec.rawContent = QString::fromLatin1(rawContent);
    return writePdf(path, {spec});
}

bool writeEncrypted(const QString& path, const QString& userPassword, const QString& ownerPassword)
{
    QPDF pdf;
    pdf.emptyPDF();
    PageSpec spec;
    spec.text = QStringLiteral("Secret");
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(makePage(pdf, spec)), false);
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
