#include "pdf/QpdfSupport.h"

#include <QFile>

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>

namespace quillary {

std::string toLocal8(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::shared_ptr<QPDF> openPdf(const QString& path)
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processFile(toLocal8(path).c_str());
    return pdf;
}

QRectF mediaBoxOf(QPDFObjectHandle page)
{
    QPDFPageObjectHelper helper(page);
    QPDFObjectHandle box = helper.getMediaBox();
    if (!box.isRectangle())
        return {};
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    const double llx = std::min(r.llx, r.urx);
    const double lly = std::min(r.lly, r.ury);
    return QRectF(llx, lly, std::abs(r.urx - r.llx), std::abs(r.ury - r.lly));
}

std::optional<QRectF> firstPageMediaBox(const QString& path)
{
    try {
        auto pdf = openPdf(path);
        const auto pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        if (pages.empty())
            return std::nullopt;
        const QRectF box = mediaBoxOf(pages.front().getObjectHandle());
        if (box.isNull())
            return std::nullopt;
        return box;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QString describePdfError(const std::exception& e)
{
    if (const auto* exc = dynamic_cast<const QPDFExc*>(&e)) {
        if (exc->getErrorCode() == qpdf_e_password)
            return QStringLiteral("the file is protected by a password");
        if (exc->getErrorCode() == qpdf_e_system)
            return QString::fromStdString(exc->getMessageDetail());
        return QStringLiteral("not a readable PDF (%1)").arg(QString::fromStdString(exc->getMessageDetail()));
    }
    return QString::fromLocal8Bit(e.what());
}

} // namespace quillary

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <stdexcept>

namespace quillary {

void writePdfAtomically(QPDF& pdf, const QString& destination,
                        const std::function<void(QPDFWriter&)>& configure)
{
    const QFileInfo target(destination);
    QTemporaryFile temp(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(target.fileName())));
    if (!temp.open())
        throw std::runtime_error(QStringLiteral("cannot write in %1: %2")
                                     .arg(target.absolutePath(), temp.errorString())
                                     .toStdString());
    const std::string tempPath = toLocal8(temp.fileName());
    // On any exception QTemporaryFile removes the partial file.
    std::FILE* file = ::fdopen(::dup(temp.handle()), "wb");
    if (!file)
        throw std::runtime_error("cannot open a temporary file");
    {
        QPDFWriter writer(pdf);
        writer.setOutputFile(tempPath.c_str(), file, true);
        if (configure)
            configure(writer);
        writer.write();
    }
    std::filesystem::rename(tempPath, toLocal8(target.absoluteFilePath()));
    temp.setAutoRemove(false);
}

} // namespace quillary
