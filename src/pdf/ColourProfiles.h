#pragma once

// The ICC profiles that give a stationery's device colours a meaning of their
// own, so that an output that claims PDF/A need not rely on its output
// intent for them. Made once per process; the bytes never change after.
// Internal to quillary_core.

#include <QByteArray>

namespace quillary {

// sRGB (IEC 61966-2.1), made with Little CMS as an ICC version 2 profile,
// which every PDF/A part accepts.
const QByteArray& srgbProfile();
// Gray with the sRGB tone curve and white point: a gray value shows as the
// same gray it showed as DeviceGray.
const QByteArray& grayProfile();
// A press characterisation for CMYK from the system's colour profiles
// (version 2). Empty when none is installed: CMYK then stays as it is.
const QByteArray& cmykProfile();

} // namespace quillary
