#include "pdf/TaskManager.h"
#include "pdf/PdfReading.h"

#include <QFileInfo>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cmath>

namespace quillary {

namespace {

bool within(int value, int low, int high)
{
    return value >= low && value <= high;
}

int roundHalfAwayFromZero(double value)
{
    return static_cast<int>(std::lround(value));
}

} // namespace

PageSize TaskManager::pageSize(const std::optional<QString>& path)
{
    if (!path || path->isEmpty())
        return {};
    // Only names ending in exactly ".pdf" are opened; ".PDF" is not.
    if (QFileInfo(*path).suffix() != QLatin1String("pdf"))
        return {};
    auto box = firstPageMediaBox(*path);
    if (!box)
        return {};
    return {roundHalfAwayFromZero(box->width()), roundHalfAwayFromZero(box->height())};
}

PageFormat TaskManager::pageFormat(int width, int height)
{
    if (within(width, 594, 596) && within(height, 841, 853))
        return {FormatA4, false};
    if (within(width, 841, 853) && within(height, 594, 596))
        return {FormatA4, true};
    if (within(width, 611, 613) && within(height, 791, 793))
        return {FormatUSLetter, false};
    if (within(width, 791, 793) && within(height, 611, 613))
        return {FormatUSLetter, true};
    return {FormatUndefined, false};
}

PageSize TaskManager::standardPageSize(std::uint8_t formatCode)
{
    switch (formatCode) {
    case FormatA4: return {595, 842};
    case FormatUSLetter: return {612, 792};
    default: return {0, 0};
    }
}

} // namespace quillary

namespace quillary {

double millimetresToPoints(float millimetres)
{
    return static_cast<double>(millimetres) * 17.0 / 6.0;
}

double pointsToMillimetres(double points)
{
    return points * 6.0 / 17.0;
}

QString docFormatFor(std::uint8_t formatCode)
{
    switch (formatCode) {
    case FormatA4: return QStringLiteral("0");
    case FormatUSLetter: return QStringLiteral("1");
    default: return QStringLiteral("99");
    }
}

std::optional<int> docFormatNumber(const QString& docFormat)
{
    bool ok = false;
    const int value = docFormat.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool templateFitsDocument(std::uint8_t documentFormat, int t)
{
    switch (documentFormat) {
    case FormatA4: return t == 0;
    case FormatUSLetter: return t == 1;
    default: return t != 0 && t != 1;
    }
}

} // namespace quillary
