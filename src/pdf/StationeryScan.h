#pragma once

// A walk through everything a stationery page draws: its content, the forms,
// tiling patterns, Type 3 glyphs and soft masks it paints through, each with
// the resources its content is drawn with. What PDF/A asks of the colours,
// fonts and transparency of a stationery is judged on this walk, and the
// normaliser mends along it. Internal to quillary_core.

#include <qpdf/QPDFObjectHandle.hh>

#include <functional>
#include <set>
#include <vector>

namespace quillary {

// Device colour models, as bits.
enum DeviceColour : unsigned { DeviceGray = 1, DeviceRgb = 2, DeviceCmyk = 4 };

// The device colour models a colour space object stands on (an Indexed
// base, a Separation or DeviceN alternate, a pattern's underlying space).
unsigned deviceColoursOf(QPDFObjectHandle space);

// The resource dictionary key naming the Default colour space of a model
// ("/DefaultRGB", ...).
const char* defaultSpaceKey(DeviceColour model);

// One content stream (or group of them) and the resources its drawing uses.
struct PaintingContext {
    QPDFObjectHandle owner;     // the stream or dictionary whose /Resources apply
    QPDFObjectHandle resources; // a dictionary, or null when the owner has none
    unsigned colours = 0;       // device models drawn with, directly or via images and shadings
    // Device models covered by Default colour spaces in these resources.
    unsigned defaults() const;
};

struct StationeryScan {
    std::vector<PaintingContext> contexts;
    // Every font dictionary met, once.
    std::vector<QPDFObjectHandle> fonts;
    // Transparency groups whose blending space is a device space.
    std::vector<QPDFObjectHandle> deviceGroups;
    bool transparency = false;
    bool incomplete = false; // the walk stopped at its budget: judge no further

    // Walks a form XObject (a stationery page drawn as a form) or a page.
    static StationeryScan of(QPDFObjectHandle formOrPage);
};

} // namespace quillary
