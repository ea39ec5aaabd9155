#include "pdf/StationeryNormaliser.h"

#include "pdf/ColourProfiles.h"
#include "pdf/FontPrograms.h"
#include "pdf/PdfReading.h"
#include "pdf/PdfWriting.h"
#include "pdf/StationeryScan.h"

#include <QFileInfo>

#include <map>

namespace quillary {

namespace {

// A profile compressed once (zlib, without Qt's length prefix): each output
// copies it instead of compressing it again.
const QByteArray& flatedProfile(DeviceColour model)
{
    auto flated = [](const QByteArray& profile) { return profile.isEmpty() ? profile : qCompress(profile, 9).mid(4); };
    static const QByteArray gray = flated(grayProfile());
    static const QByteArray rgb = flated(srgbProfile());
    if (model == DeviceGray)
        return gray;
    if (model == DeviceRgb)
        return rgb;
    static const QByteArray cmyk = flated(cmykProfile());
    return cmyk;
}

class Normaliser {
public:
    Normaliser(QPDF& pdf) : pdf(pdf) {}

    StationeryMends run(QPDFObjectHandle pageOrForm)
    {
        const StationeryScan scan = StationeryScan::of(pageOrForm);
        for (const PaintingContext& context : scan.contexts)
            colours(context);
        for (QPDFObjectHandle group : scan.deviceGroups) {
            const unsigned model = deviceColoursOf(group.getKey("/CS"));
            QPDFObjectHandle space = profileSpace(static_cast<DeviceColour>(model));
            if (!space.isNull() && group.getKey("/CS").isName()) {
                group.replaceKey("/CS", space);
                mends.changed = true;
            }
        }
        for (QPDFObjectHandle font : scan.fonts)
            embed(font);
        return mends;
    }

private:
    QPDF& pdf;
    StationeryMends mends;
    std::map<unsigned, QPDFObjectHandle> spaces;
    std::map<QString, QPDFObjectHandle> programs;

    // [/ICCBased profile], one stream per profile in this document.
    QPDFObjectHandle profileSpace(DeviceColour model)
    {
        if (const auto it = spaces.find(model); it != spaces.end())
            return it->second;
        const QByteArray& profile = flatedProfile(model);
        QPDFObjectHandle space;
        if (!profile.isEmpty()) {
            QPDFObjectHandle stream = pdf.newStream(profile.toStdString());
            stream.getDict().replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
            stream.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(model == DeviceRgb ? 3 : model == DeviceGray ? 1 : 4));
            stream.getDict().replaceKey("/Alternate", QPDFObjectHandle::newName(
                model == DeviceRgb ? "/DeviceRGB" : model == DeviceGray ? "/DeviceGray" : "/DeviceCMYK"));
            space = pdf.makeIndirectObject(QPDFObjectHandle::newArray(
                std::vector{QPDFObjectHandle::newName("/ICCBased"), stream}));
        } else {
            space = QPDFObjectHandle::newNull();
        }
        spaces.emplace(model, space);
        return space;
    }

    void colours(const PaintingContext& context)
    {
        const unsigned missing = context.colours & ~context.defaults();
        if (!missing)
            return;
        QPDFObjectHandle resources = context.resources;
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
            QPDFObjectHandle owner = context.owner;
            QPDFObjectHandle ownerDict = owner.isStream() ? owner.getDict() : owner;
            ownerDict.replaceKey("/Resources", resources);
        }
        QPDFObjectHandle named = resources.getKey("/ColorSpace");
        if (!named.isDictionary()) {
            named = QPDFObjectHandle::newDictionary();
            resources.replaceKey("/ColorSpace", named);
        }
        for (DeviceColour model : {DeviceGray, DeviceRgb, DeviceCmyk}) {
            if (!(missing & model))
                continue;
            QPDFObjectHandle space = profileSpace(model);
            if (space.isNull()) {
                mends.coloursLeft = true;
                continue;
            }
            named.replaceKey(defaultSpaceKey(model), space);
            mends.changed = true;
        }
    }

    void embed(QPDFObjectHandle font)
    {
        const std::string subtype = font.getKey("/Subtype").isName() ? font.getKey("/Subtype").getName() : "";
        if (subtype == "/Type3")
            return;
        QPDFObjectHandle described = font;
        if (subtype == "/Type0") {
            QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
            described = descendants.isArray() && descendants.getArrayNItems() > 0 ? descendants.getArrayItem(0)
                                                                                   : QPDFObjectHandle::newNull();
        }
        QPDFObjectHandle descriptor = described.isDictionary() ? described.getKey("/FontDescriptor")
                                                               : QPDFObjectHandle::newNull();
        if (descriptor.isDictionary()
            && (descriptor.hasKey("/FontFile") || descriptor.hasKey("/FontFile2") || descriptor.hasKey("/FontFile3")))
            return;
        QPDFObjectHandle baseFont = font.getKey("/BaseFont");
        const QString name = baseFont.isName() ? QString::fromStdString(baseFont.getName().substr(1))
                                               : QStringLiteral("a font without a name");
        const QString why = embedCompatibleProgram(pdf, font, programs);
        if (why.isEmpty()) {
            mends.embeddedFonts << name;
            mends.changed = true;
        } else {
            mends.unembeddable << QStringLiteral("%1 (%2)").arg(name, why);
        }
    }
};

} // namespace

StationeryMends normaliseStationery(QPDF& pdf, QPDFObjectHandle pageOrForm)
{
    return Normaliser(pdf).run(pageOrForm);
}

ValueResult<StationeryMends> normaliseStationeryFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(path));
    try {
        auto pdf = openPdf(path);
        if (pdf->isEncrypted())
            return ValueResult<StationeryMends>::of(StationeryMends{});
        const auto first = PageTreeHelper(*pdf).firstPage();
        if (!first)
            return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the stationery file has no pages").arg(path));
        StationeryMends mends = normaliseStationery(*pdf, first->getObjectHandle());
        ValueResult<StationeryMends> result = ValueResult<StationeryMends>::of(mends);
        if (mends.changed) {
            Result written = writePdfAtomically(*pdf, path);
            if (!written)
                return written;
        }
        for (const QString& font : mends.unembeddable)
            result.warnings << QStringLiteral("%1: the font %2 cannot be embedded").arg(path, font);
        return result;
    } catch (const std::exception& e) {
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(path, describePdfError(e)));
    }
}

} // namespace quillary
