#pragma once

// Shared by the fuzz targets: a scratch folder per process, files written fast.

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// One scratch folder for the whole fuzzing process, removed at exit by the
// bytes of its names: Qt cannot name entries whose names are not UTF-8 (the
// watch target makes such), and a warning from Qt's own clean-up at exit
// would run after Qt's globals are gone.
inline const QString& scratchDir()
{
    struct Scratch {
        std::string path;
        Scratch()
        {
            std::string pattern = QFile::encodeName(QDir::tempPath()).toStdString() + "/quillary-fuzz-XXXXXX";
            if (!::mkdtemp(pattern.data()))
                std::abort();
            path = pattern;
        }
        ~Scratch()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Scratch dir;
    static const QString path = QFile::decodeName(dir.path.c_str());
    return path;
}

inline QString scratchFile(const char* name)
{
    return scratchDir() + QLatin1Char('/') + QLatin1String(name);
}

inline void writeFile(const QString& path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

// A valid one-page A4 PDF whose page draws content.
inline void writeOnePagePdf(const QString& path, const std::string& content)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>");
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    // QPDFWriter keeps the name pointer until write().
    const QByteArray fileName = QFile::encodeName(path);
    QPDFWriter writer(pdf, fileName.constData());
    writer.write();
}

// A finding the sanitizers cannot see: a broken promise of the code under test.
#define FUZZ_CHECK(condition)                                                                              \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);           \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (0)

} // namespace fuzz
