#pragma once

// Independent looks at written PDFs: structure through qpdf, pixels through a
// render (Qt PDF, or pdftoppm as a second renderer), text through pdftotext.

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace pdfchecks {

// Page pageIndex rendered at one pixel per point.
inline QImage render(const QString& path, int pageIndex, const QString& password = {})
{
    QPdfDocument document;
    if (!password.isEmpty())
        document.setPassword(password);
    if (document.load(path) != QPdfDocument::Error::None)
        return {};
    const QSize size = document.pagePointSize(pageIndex).toSize();
    // Pages render on a transparent ground; paper is white.
    QImage paper(size, QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, document.render(pageIndex, size));
    return paper;
}

// Page rendered by pdftoppm at 72 dpi.
inline QImage renderWithPoppler(const QString& path, int pageIndex)
{
    QProcess process;
    const QString page = QString::number(pageIndex + 1);
    process.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"), page,
                                               QStringLiteral("-l"), page, QStringLiteral("-png"), path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    QImage image;
    image.loadFromData(process.readAllStandardOutput(), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

// Colour at PDF point (x, y) of a page image rendered at one pixel per point
// (y upwards from the bottom edge).
inline QColor at(const QImage& image, double x, double y)
{
    const int px = static_cast<int>(x);
    const int py = image.height() - 1 - static_cast<int>(y);
    if (px < 0 || py < 0 || px >= image.width() || py >= image.height())
        return {};
    return image.pixelColor(px, py);
}

// One letter for the few colours the tests paint: R, G, B, Y, W (white), ? other.
inline QChar colourName(const QColor& c)
{
    auto near = [&](int r, int g, int b) {
        return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 && std::abs(c.blue() - b) < 40;
    };
    if (near(255, 0, 0)) return QLatin1Char('R');
    if (near(0, 255, 0)) return QLatin1Char('G');
    if (near(0, 0, 255)) return QLatin1Char('B');
    if (near(255, 255, 0)) return QLatin1Char('Y');
    if (near(255, 255, 255)) return QLatin1Char('W');
    return QLatin1Char('?');
}

inline QString text(const QString& path, const QString& password = {})
{
    QProcess process;
    QStringList args;
    if (!password.isEmpty())
        args << QStringLiteral("-upw") << password;
    args << path << QStringLiteral("-");
    process.start(QStringLiteral("pdftotext"), args);
    process.waitForFinished(60000);
    // Words in reading order; line breaks depend on layout analysis.
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

// Opens with qpdf; null when that fails (for example for a wrong password).
inline std::unique_ptr<QPDF> open(const QString& path, const char* password = nullptr)
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

// Document information entries through qpdf.
inline QMap<QString, QString> information(const QString& path, const char* password = nullptr)
{
    QMap<QString, QString> entries;
    auto pdf = open(path, password);
    if (!pdf)
        return entries;
    QPDFObjectHandle info = pdf->getTrailer().getKey("/Info");
    if (!info.isDictionary())
        return entries;
    for (const auto& key : info.getKeys()) {
        QPDFObjectHandle value = info.getKey(key);
        entries.insert(QString::fromStdString(key.substr(1)),
                       value.isString() ? QString::fromStdString(value.getUTF8Value()) : QStringLiteral("<?>"));
    }
    return entries;
}

// Runs fn with standard output sent to a file and returns what it printed.
inline QString captureStdout(const std::function<void()>& fn)
{
    std::fflush(stdout);
    char name[] = "/tmp/quillary-stdout-XXXXXX";
    const int fd = ::mkstemp(name);
    const int saved = ::dup(1);
    ::dup2(fd, 1);
    fn();
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    ::close(fd);
    QFile file(QString::fromLatin1(name));
    file.open(QIODevice::ReadOnly);
    const QString printed = QString::fromUtf8(file.readAll());
    file.remove();
    return printed;
}

// Files in dir other than the expected ones (leftover temporary files).
inline QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace pdfchecks
