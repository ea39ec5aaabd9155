#include "pdf/ColourProfiles.h"

#include <QFile>

#include <lcms2.h>

namespace quillary {

namespace {

QByteArray saved(cmsHPROFILE profile)
{
    QByteArray bytes;
    if (!profile)
        return bytes;
    cmsSetProfileVersion(profile, 2.1);
    cmsUInt32Number size = 0;
    if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(static_cast<qsizetype>(size));
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    cmsCloseProfile(profile);
    return bytes;
}

cmsToneCurve* srgbCurve()
{
    // The sRGB transfer function: linear near black, a 2.4 power above.
    const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

} // namespace

const QByteArray& srgbProfile()
{
    static const QByteArray bytes = [] {
        cmsHPROFILE profile = cmsCreate_sRGBProfile();
        if (profile)
            cmsMLUsetASCII(static_cast<cmsMLU*>(cmsReadTag(profile, cmsSigProfileDescriptionTag)), "en", "US", "sRGB");
        return saved(profile);
    }();
    return bytes;
}

const QByteArray& grayProfile()
{
    static const QByteArray bytes = [] {
        cmsToneCurve* curve = srgbCurve();
        cmsHPROFILE profile = curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve) : nullptr;
        if (curve)
            cmsFreeToneCurve(curve);
        if (profile) {
            cmsMLU* description = cmsMLUalloc(nullptr, 1);
            cmsMLUsetASCII(description, "en", "US", "Gray, sRGB tone curve");
            cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
            cmsMLUfree(description);
        }
        return saved(profile);
    }();
    return bytes;
}

const QByteArray& cmykProfile()
{
    static const QByteArray bytes = [] {
        // FOGRA39 where the system has it as a profile, else the SWOP
        // characterisation the system's PostScript interpreter ships.
        for (const char* path : {"/usr/share/color/icc/FOGRA39L_coated.icc", "/usr/share/color/icc/CoatedFOGRA39.icc",
                                 "/usr/share/color/icc/ghostscript/default_cmyk.icc"}) {
            QFile file(QString::fromLatin1(path));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray data = file.read(8 * 1024 * 1024);
            // A version 2 output profile with CMYK data, nothing else.
            if (data.size() > 128 && data.mid(16, 4) == "CMYK" && static_cast<unsigned char>(data.at(8)) == 2)
                return data;
        }
        return QByteArray();
    }();
    return bytes;
}

} // namespace quillary
