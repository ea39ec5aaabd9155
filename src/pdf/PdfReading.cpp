#include "pdf/PdfReading.h"

#include "pdf/FirstPageInput.h"

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>

#include <cmath>
#include <cstring>
#include <new>
#include <map>
#include <set>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quillary {

namespace {

// Writing compresses stream after stream; each compressor takes a few hundred
// KB from the top of the heap and gives it back. By default glibc returns that
// memory to the kernel every time and takes it again for the next stream,
// which made a 1000-page merge five times slower. Keeping a few MB at the top
// costs at most those few MB. Set once when the library is loaded, so that no
// merge changes anything process-wide while it runs.
[[maybe_unused]] const bool heapTopKept = [] {
#ifdef __GLIBC__
    return mallopt(M_TOP_PAD, 4 * 1024 * 1024) == 1;
#else
    return false;
#endif
}();

constexpr int MaxWarnings = 5;

} // namespace

std::shared_ptr<QPDF> openPdf(const QString& path, const QString& password)
{
    return openPdf(openInputSource(path), password);
}

std::shared_ptr<QPDF> openPdf(std::shared_ptr<InputSource> input, const QString& password)
{
    const std::string utf8 = password.toStdString();
    const QByteArray latin1 = password.toLatin1();
    const bool secondTry = !password.isEmpty() && QString::fromLatin1(latin1) == password
                           && latin1.toStdString() != utf8;
    for (int attempt = 0;; ++attempt) {
        auto pdf = std::make_shared<QPDF>();
        pdf->setSuppressWarnings(true);
        try {
            input->seek(0, SEEK_SET);
            pdf->processInputSource(input, password.isEmpty() ? nullptr
                                           : attempt == 0     ? utf8.c_str()
                                                              : latin1.constData());
            return pdf;
        } catch (const QPDFExc& e) {
            if (attempt > 0 || !secondTry || e.getErrorCode() != qpdf_e_password)
                throw;
        }
    }
}

std::shared_ptr<QPDF> openPdfForFirstPage(const QString& path, const QString& password)
{
    if (std::shared_ptr<InputSource> quick = firstPageInput(path)) {
        try {
            auto pdf = openPdf(quick, password);
            // Only a clean reading counts: what qpdf had to mend it mends
            // (and reports) reading the whole file.
            if (PageTreeHelper(*pdf).firstPage() && !pdf->anyWarnings())
                return pdf;
        } catch (const QPDFExc& e) {
            if (e.getErrorCode() == qpdf_e_password)
                throw;
        } catch (const std::exception&) {
        }
    }
    return openPdf(path, password);
}

QStringList takeWarnings(QPDF& pdf, const QString& file)
{
    QStringList lines;
    int dropped = 0;
    for (const QPDFExc& warning : pdf.getWarnings()) {
        QString what = QString::fromStdString(warning.getMessageDetail()).simplified();
        if (what.isEmpty())
            continue;
        if (warning.getObject().size())
            what = QStringLiteral("%1 (%2)").arg(what, QString::fromStdString(warning.getObject()));
        const QString line = QStringLiteral("%1: %2").arg(file, what);
        if (lines.contains(line))
            continue;
        if (lines.size() < MaxWarnings)
            lines << line;
        else
            ++dropped;
    }
    if (dropped > 0)
        lines << QStringLiteral("%1: %2 more warnings").arg(file).arg(dropped);
    return lines;
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

QString describePdfError(const std::exception& e)
{
    if (const auto* sys = dynamic_cast<const QPDFSystemError*>(&e))
        return QString::fromLocal8Bit(std::strerror(sys->getErrno()));
    if (const auto* exc = dynamic_cast<const QPDFExc*>(&e)) {
        if (exc->getErrorCode() == qpdf_e_password)
            return QStringLiteral("the file is protected by a password");
        if (exc->getErrorCode() == qpdf_e_system)
            return QString::fromStdString(exc->getMessageDetail());
        return QStringLiteral("not a readable PDF (%1)").arg(QString::fromStdString(exc->getMessageDetail()));
    }
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("not enough memory to work on this document (%1)").arg(QString::fromLocal8Bit(e.what()));
    // Anything else the library or the standard library throws (a range,
    // length or logic error) comes from contents it could not make sense of.
    return QStringLiteral("the document is damaged and cannot be used (%1)").arg(QString::fromLocal8Bit(e.what()));
}

ErrorCode errorCodeOf(const std::exception& e)
{
    if (const auto* sys = dynamic_cast<const QPDFSystemError*>(&e)) {
        const int error = sys->getErrno();
        return error == EACCES || error == EPERM || error == EIO ? ErrorCode::Unreadable : errorCodeForErrno(error);
    }
    if (const auto* exc = dynamic_cast<const QPDFExc*>(&e)) {
        if (exc->getErrorCode() == qpdf_e_password)
            return ErrorCode::PasswordProtected;
        if (exc->getErrorCode() == qpdf_e_system)
            return ErrorCode::Unreadable;
        return ErrorCode::Damaged;
    }
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return ErrorCode::OutOfMemory;
    return ErrorCode::Damaged;
}

// ------------------------------------------------------------ PageTreeHelper

namespace {

// Attributes a page takes from its ancestors when it has none of its own.
const char* const Inheritable[] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};

struct Walk {
    std::set<QPDFObjGen> seen;
    int budget = 10000; // nodes looked at before giving up on a broken tree
};

// Depth first, kids in order, the first leaf wins. inherited holds the
// attributes of the ancestors, nearest last.
std::optional<QPDFObjectHandle> firstLeaf(QPDFObjectHandle node, std::map<std::string, QPDFObjectHandle> inherited,
                                          Walk& walk, int depth)
{
    if (!node.isDictionary() || depth > 64 || --walk.budget < 0)
        return std::nullopt;
    if (node.isIndirect() && !walk.seen.insert(node.getObjGen()).second)
        return std::nullopt; // a loop in the tree
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray()) {
        if (node.getKey("/Type").isNameAndEquals("/Pages"))
            return std::nullopt; // an empty branch
        // A leaf: a page. Hand down what it does not have itself.
        for (const auto& [key, value] : inherited) {
            if (!node.hasKey(key))
                node.replaceKey(key, value);
        }
        return node;
    }
    for (const char* key : Inheritable) {
        if (node.hasKey(key))
            inherited[key] = node.getKey(key);
    }
    const int count = kids.getArrayNItems();
    for (int i = 0; i < count; ++i) {
        if (auto leaf = firstLeaf(kids.getArrayItem(i), inherited, walk, depth + 1))
            return leaf;
    }
    return std::nullopt;
}

} // namespace

std::optional<QPDFPageObjectHelper> PageTreeHelper::firstPage()
{
    Walk walk;
    QPDFObjectHandle root = qpdf.getRoot().getKey("/Pages");
    if (!root.isDictionary() || !root.getKey("/Kids").isArray())
        return std::nullopt;
    auto leaf = firstLeaf(root, {}, walk, 0);
    if (!leaf)
        return std::nullopt;
    return QPDFPageObjectHelper(*leaf);
}

std::optional<QRectF> firstPageMediaBox(const QString& path)
{
    try {
        auto pdf = openPdfForFirstPage(path);
        auto page = PageTreeHelper(*pdf).firstPage();
        if (!page)
            return std::nullopt;
        const QRectF box = mediaBoxOf(page->getObjectHandle());
        if (box.isNull())
            return std::nullopt;
        return box;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace quillary
