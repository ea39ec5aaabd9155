#include "pdf/StationeryScan.h"

#include <string>

namespace quillary {

unsigned deviceColoursOf(QPDFObjectHandle space)
{
    for (int depth = 0; depth < 8; ++depth) {
        if (space.isName()) {
            const std::string name = space.getName();
            if (name == "/DeviceGray" || name == "/G")
                return DeviceGray;
            if (name == "/DeviceRGB" || name == "/RGB")
                return DeviceRgb;
            if (name == "/DeviceCMYK" || name == "/CMYK")
                return DeviceCmyk;
            return 0;
        }
        if (!space.isArray() || space.getArrayNItems() == 0 || !space.getArrayItem(0).isName())
            return 0;
        const std::string family = space.getArrayItem(0).getName();
        if ((family == "/Indexed" || family == "/I" || family == "/Pattern") && space.getArrayNItems() > 1)
            space = space.getArrayItem(1);
        else if (family == "/Separation" && space.getArrayNItems() > 2)
            space = space.getArrayItem(2);
        else if (family == "/DeviceN" && space.getArrayNItems() > 2)
            space = space.getArrayItem(2);
        else
            return 0; // ICC based, CIE based or unknown: not a device space
    }
    return 0;
}

const char* defaultSpaceKey(DeviceColour model)
{
    switch (model) {
    case DeviceGray: return "/DefaultGray";
    case DeviceRgb: return "/DefaultRGB";
    case DeviceCmyk: return "/DefaultCMYK";
    }
    return "";
}

unsigned PaintingContext::defaults() const
{
    QPDFObjectHandle held = resources;
    if (!held.isDictionary())
        return 0;
    QPDFObjectHandle spaces = held.getKey("/ColorSpace");
    if (!spaces.isDictionary())
        return 0;
    unsigned covered = 0;
    for (DeviceColour model : {DeviceGray, DeviceRgb, DeviceCmyk}) {
        QPDFObjectHandle space = spaces.getKey(defaultSpaceKey(model));
        // Only an ICC based space gives device colours a meaning of their own.
        if (space.isArray() && space.getArrayNItems() == 2 && space.getArrayItem(0).isNameAndEquals("/ICCBased")
            && space.getArrayItem(1).isStream())
            covered |= model;
    }
    return covered;
}

namespace {

// The colour operators of one content stream.
class ColourOperators : public QPDFObjectHandle::ParserCallbacks {
public:
    unsigned colours = 0;

    void handleObject(QPDFObjectHandle object, size_t, size_t) override
    {
        if (!object.isOperator()) {
            if (inInlineImage && object.isName())
                colours |= deviceColoursOf(object);
            if (object.isName())
                lastName = object;
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "g" || op == "G")
            colours |= DeviceGray;
        else if (op == "rg" || op == "RG")
            colours |= DeviceRgb;
        else if (op == "k" || op == "K")
            colours |= DeviceCmyk;
        else if ((op == "cs" || op == "CS") && lastName.isName())
            colours |= deviceColoursOf(lastName);
        else if (op == "BI")
            inInlineImage = true;
        else if (op == "ID")
            inInlineImage = false;
        lastName = QPDFObjectHandle();
    }
    void handleEOF() override {}

private:
    QPDFObjectHandle lastName;
    bool inInlineImage = false;
};

class Walker {
public:
    StationeryScan scan;

    void paint(QPDFObjectHandle owner, const std::vector<QPDFObjectHandle>& streams, int depth)
    {
        if (depth > 32 || !visit(owner)) {
            scan.incomplete = scan.incomplete || depth > 32;
            return;
        }
        QPDFObjectHandle dict = owner.isStream() ? owner.getDict() : owner;
        PaintingContext context{owner, dict.getKey("/Resources"), 0};
        if (!context.resources.isDictionary())
            context.resources = QPDFObjectHandle::newNull();
        for (QPDFObjectHandle stream : streams) {
            if (!stream.isStream())
                continue;
            ColourOperators colours;
            try {
                stream.parseAsContents(&colours);
            } catch (const std::exception&) {
                // A damaged stream is the merge's business; here it only
                // means fewer colours were seen.
            }
            context.colours |= colours.colours;
        }
        group(dict.getKey("/Group"));
        context.colours |= resources(context.resources, depth);
        scan.contexts.push_back(context);
    }

private:
    std::set<QPDFObjGen> seen;
    int budget = 5000;

    bool visit(QPDFObjectHandle object)
    {
        if (--budget < 0) {
            scan.incomplete = true;
            return false;
        }
        return !object.isIndirect() || seen.insert(object.getObjGen()).second;
    }

    void group(QPDFObjectHandle group)
    {
        if (!group.isDictionary() || !group.getKey("/S").isNameAndEquals("/Transparency"))
            return;
        scan.transparency = true;
        if (deviceColoursOf(group.getKey("/CS")))
            scan.deviceGroups.push_back(group);
    }

    void graphicsState(QPDFObjectHandle state, int depth)
    {
        if (!state.isDictionary())
            return;
        QPDFObjectHandle mask = state.getKey("/SMask");
        if (mask.isDictionary()) {
            scan.transparency = true;
            QPDFObjectHandle form = mask.getKey("/G");
            if (form.isStream())
                paint(form, {form}, depth + 1);
        } else if (mask.isName() && !mask.isNameAndEquals("/None")) {
            scan.transparency = true;
        }
        for (const char* alpha : {"/CA", "/ca"}) {
            QPDFObjectHandle value = state.getKey(alpha);
            if (value.isNumber() && value.getNumericValue() < 1)
                scan.transparency = true;
        }
        QPDFObjectHandle blend = state.getKey("/BM");
        if (blend.isArray() && blend.getArrayNItems() > 0)
            blend = blend.getArrayItem(0);
        if (blend.isName() && !blend.isNameAndEquals("/Normal") && !blend.isNameAndEquals("/Compatible"))
            scan.transparency = true;
    }

    void font(QPDFObjectHandle font, int depth)
    {
        if (!font.isDictionary() || !visit(font))
            return;
        scan.fonts.push_back(font);
        if (font.getKey("/Subtype").isNameAndEquals("/Type3")) {
            std::vector<QPDFObjectHandle> glyphs;
            QPDFObjectHandle procs = font.getKey("/CharProcs");
            if (procs.isDictionary())
                for (auto& [name, glyph] : procs.getDictAsMap())
                    glyphs.push_back(glyph);
            paint(font, glyphs, depth + 1);
        }
    }

    // What the resources draw with by themselves (images, shadings, colour
    // spaces), and the walk into what they hold.
    unsigned resources(QPDFObjectHandle held, int depth)
    {
        if (!held.isDictionary())
            return 0;
        unsigned colours = 0;
        auto each = [&](const char* key, auto&& handle) {
            QPDFObjectHandle dict = held.getKey(key);
            if (dict.isDictionary())
                for (auto& [name, value] : dict.getDictAsMap())
                    handle(name, value);
        };
        each("/ColorSpace", [&](const std::string& name, QPDFObjectHandle space) {
            if (name.rfind("/Default", 0) != 0)
                colours |= deviceColoursOf(space);
        });
        each("/Shading", [&](const std::string&, QPDFObjectHandle shading) {
            QPDFObjectHandle dict = shading.isStream() ? shading.getDict() : shading;
            if (dict.isDictionary())
                colours |= deviceColoursOf(dict.getKey("/ColorSpace"));
        });
        each("/Pattern", [&](const std::string&, QPDFObjectHandle pattern) {
            QPDFObjectHandle dict = pattern.isStream() ? pattern.getDict() : pattern;
            if (!dict.isDictionary())
                return;
            if (pattern.isStream()) { // a tiling pattern draws like a form
                paint(pattern, {pattern}, depth + 1);
            } else {
                QPDFObjectHandle shading = dict.getKey("/Shading");
                QPDFObjectHandle shadingDict = shading.isStream() ? shading.getDict() : shading;
                if (shadingDict.isDictionary())
                    colours |= deviceColoursOf(shadingDict.getKey("/ColorSpace"));
                graphicsState(dict.getKey("/ExtGState"), depth);
            }
        });
        each("/ExtGState", [&](const std::string&, QPDFObjectHandle state) { graphicsState(state, depth); });
        each("/Font", [&](const std::string&, QPDFObjectHandle f) { font(f, depth); });
        each("/XObject", [&](const std::string&, QPDFObjectHandle object) {
            if (!object.isStream())
                return;
            QPDFObjectHandle dict = object.getDict();
            if (dict.getKey("/Subtype").isNameAndEquals("/Image")) {
                if (dict.getKey("/SMask").isStream()
                    || (dict.getKey("/SMaskInData").isNumber() && dict.getKey("/SMaskInData").getNumericValue() > 0))
                    scan.transparency = true;
                if (!dict.getKey("/ImageMask").isBool() || !dict.getKey("/ImageMask").getBoolValue())
                    colours |= deviceColoursOf(dict.getKey("/ColorSpace"));
            } else if (dict.getKey("/Subtype").isNameAndEquals("/Form")) {
                paint(object, {object}, depth + 1);
            }
        });
        return colours;
    }
};

} // namespace

StationeryScan StationeryScan::of(QPDFObjectHandle formOrPage)
{
    Walker walker;
    if (formOrPage.isStream()) {
        walker.paint(formOrPage, {formOrPage}, 0);
    } else if (formOrPage.isDictionary()) {
        QPDFObjectHandle contents = formOrPage.getKey("/Contents");
        walker.paint(formOrPage, contents.isArray() ? contents.getArrayAsVector() : std::vector{contents}, 0);
    }
    return walker.scan;
}

} // namespace quillary
