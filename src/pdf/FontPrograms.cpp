#include "pdf/FontPrograms.h"

#include "pdf/SimpleEncodings.h"

#include <QFile>
#include <QRegularExpression>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace quillary {

namespace {

struct Substitute {
    const char* prefix;  // the font's name, lower case, without spaces and punctuation
    const char* family;  // the compatible face's family for fontconfig
    FontProgram::Kind kind;
    bool symbolic;
};

// Longest names first, so that "couriernew" is not taken for "courier".
const Substitute substitutes[] = {
    {"timesnewroman", "Liberation Serif", FontProgram::Kind::TrueType, false},
    {"couriernew", "Liberation Mono", FontProgram::Kind::TrueType, false},
    {"zapfdingbats", "D050000L", FontProgram::Kind::Type1, true},
    {"helvetica", "Nimbus Sans", FontProgram::Kind::Type1, false},
    {"courier", "Nimbus Mono PS", FontProgram::Kind::Type1, false},
    {"calibri", "Carlito", FontProgram::Kind::TrueType, false},
    {"cambria", "Caladea", FontProgram::Kind::TrueType, false},
    {"symbol", "Standard Symbols PS", FontProgram::Kind::Type1, true},
    {"times", "Nimbus Roman", FontProgram::Kind::Type1, false},
    {"arial", "Liberation Sans", FontProgram::Kind::TrueType, false},
};

struct Wanted {
    const Substitute* substitute = nullptr;
    bool bold = false, italic = false;
};

// "TimesNewRomanPS-BoldItalicMT", "Arial,Bold", "ABCDEF+Calibri-Italic":
// a family this code knows followed by nothing but style words.
Wanted wantedFace(const QString& baseFont)
{
    QString name = baseFont;
    static const QRegularExpression subset(QStringLiteral("^[A-Z]{6}\\+"));
    name.remove(subset);
    name = name.toLower();
    name.remove(QRegularExpression(QStringLiteral("[^a-z]")));
    for (const Substitute& candidate : substitutes) {
        if (!name.startsWith(QLatin1String(candidate.prefix)))
            continue;
        QString rest = name.mid(static_cast<qsizetype>(strlen(candidate.prefix)));
        Wanted wanted{&candidate, false, false};
        static const char* const styles[] = {"psmt", "mt", "ps", "bold", "italic", "oblique", "regular", "roman",
                                             "normal"};
        bool stripped = true;
        while (!rest.isEmpty() && stripped) {
            stripped = false;
            for (const char* style : styles) {
                if (rest.startsWith(QLatin1String(style))) {
                    rest.remove(0, static_cast<qsizetype>(strlen(style)));
                    wanted.bold = wanted.bold || qstrcmp(style, "bold") == 0;
                    wanted.italic = wanted.italic || qstrcmp(style, "italic") == 0 || qstrcmp(style, "oblique") == 0;
                    stripped = true;
                    break;
                }
            }
        }
        if (!rest.isEmpty())
            return {};
        if (candidate.symbolic && (wanted.bold || wanted.italic))
            return {};
        return wanted;
    }
    return {};
}

// The file of family's face with the wanted style and a program of kind, by
// asking fontconfig for the faces of the family and choosing among them:
// fontconfig's matching would answer with some face for any name.
QString faceFile(const Wanted& wanted)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { FcInit(); });
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(wanted.substitute->family));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_WEIGHT, FC_SLANT, FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    QString best;
    int bestScore = -1;
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcChar8* file = nullptr;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
            continue;
        FcPatternGetInteger(fonts->fonts[i], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(fonts->fonts[i], FC_SLANT, 0, &slant);
        const bool bold = weight >= FC_WEIGHT_BOLD;
        const bool regular = weight >= FC_WEIGHT_BOOK && weight <= FC_WEIGHT_MEDIUM;
        const bool italic = slant != FC_SLANT_ROMAN;
        if ((wanted.bold ? !bold : !regular) || italic != wanted.italic)
            continue;
        const QString path = QFile::decodeName(reinterpret_cast<const char*>(file));
        int score = -1;
        if (wanted.substitute->kind == FontProgram::Kind::TrueType)
            score = path.endsWith(QLatin1String(".ttf"), Qt::CaseInsensitive) ? 1 : -1;
        else if (path.endsWith(QLatin1String(".pfb"), Qt::CaseInsensitive))
            score = 2;
        else if (path.endsWith(QLatin1String(".t1"), Qt::CaseInsensitive) || path.endsWith(QLatin1String(".pfa"), Qt::CaseInsensitive))
            score = 1;
        if (score > bestScore) {
            best = path;
            bestScore = score;
        }
    }
    if (fonts)
        FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return best;
}

// A Type 1 program in the form a PDF embeds it: clear text, the encrypted
// part in binary, the trailer. From a PFB file (segments) or a PFA file
// (the encrypted part in hexadecimal).
bool splitType1(const QByteArray& file, FontProgram& program)
{
    QByteArray parts[3];
    if (file.size() > 6 && static_cast<unsigned char>(file[0]) == 0x80) {
        qsizetype at = 0;
        int part = 0;
        int lastType = 0;
        while (at + 2 <= file.size() && static_cast<unsigned char>(file[at]) == 0x80) {
            const int type = static_cast<unsigned char>(file[at + 1]);
            if (type == 3)
                break;
            if (at + 6 > file.size())
                return false;
            const auto* p = reinterpret_cast<const unsigned char*>(file.constData() + at + 2);
            const qsizetype length = p[0] | (p[1] << 8) | (p[2] << 16) | (qsizetype(p[3]) << 24);
            if (length < 0 || at + 6 + length > file.size())
                return false;
            if (lastType && type != lastType)
                ++part;
            if (part > 2)
                return false;
            parts[part] += file.mid(at + 6, length);
            lastType = type;
            at += 6 + length;
        }
    } else {
        const qsizetype eexec = file.indexOf("eexec");
        const qsizetype mark = file.lastIndexOf("cleartomark");
        if (eexec < 0 || mark < eexec)
            return false;
        qsizetype start = eexec + 5;
        while (start < file.size() && (file[start] == '\r' || file[start] == '\n' || file[start] == ' '))
            ++start;
        // The trailer: 512 zeros (in lines) before cleartomark.
        qsizetype end = mark;
        int zeros = 0;
        while (end > start && zeros < 512) {
            const char c = file[end - 1];
            if (c == '0')
                ++zeros;
            else if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
                break;
            --end;
        }
        parts[0] = file.left(start);
        parts[1] = QByteArray::fromHex(file.mid(start, end - start));
        parts[2] = file.mid(end);
    }
    if (parts[0].isEmpty() || parts[1].isEmpty())
        return false;
    program.bytes = parts[0] + parts[1] + parts[2];
    program.length1 = static_cast<int>(parts[0].size());
    program.length2 = static_cast<int>(parts[1].size());
    program.length3 = static_cast<int>(parts[2].size());
    return true;
}

std::optional<FontProgram> readProgram(const Wanted& wanted)
{
    const QString path = faceFile(wanted);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 32 * 1024 * 1024)
        return std::nullopt;
    FontProgram program;
    program.kind = wanted.substitute->kind;
    program.file = path;
    const QByteArray bytes = file.readAll();
    if (program.kind == FontProgram::Kind::TrueType) {
        program.bytes = bytes;
        program.length1 = static_cast<int>(bytes.size());
    } else if (!splitType1(bytes, program)) {
        return std::nullopt;
    }
    program.flated = qCompress(program.bytes, 9).mid(4); // without Qt's length prefix
    return program;
}

// ------------------------------------------------------------- FreeType

struct Library {
    FT_Library library = nullptr;
    Library() { FT_Init_FreeType(&library); }
    ~Library() { FT_Done_FreeType(library); }
};

struct Face {
    FT_Face face = nullptr;
    Face(FT_Library library, const QByteArray& bytes)
    {
        if (library)
            FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.constData()), bytes.size(), 0, &face);
    }
    ~Face()
    {
        if (face)
            FT_Done_Face(face);
    }
};

struct Encoding {
    bool known = true;
    bool standard = false; // StandardEncoding named, or the program's own
    SimpleEncoding base = SimpleEncoding::BuiltIn;
    std::map<int, std::string> differences;
};

Encoding encodingOf(QPDFObjectHandle font)
{
    Encoding encoding;
    QPDFObjectHandle value = font.getKey("/Encoding");
    QPDFObjectHandle base = value.isDictionary() ? value.getKey("/BaseEncoding") : value;
    if (base.isNameAndEquals("/WinAnsiEncoding"))
        encoding.base = SimpleEncoding::WinAnsi;
    else if (base.isNameAndEquals("/MacRomanEncoding"))
        encoding.base = SimpleEncoding::MacRoman;
    else if (base.isNameAndEquals("/StandardEncoding") || base.isNull())
        encoding.standard = true;
    else
        encoding.known = false;
    if (value.isDictionary() && value.getKey("/Differences").isArray()) {
        int code = 0;
        for (QPDFObjectHandle item : value.getKey("/Differences").getArrayAsVector()) {
            if (item.isInteger())
                code = item.getIntValueAsInt();
            else if (item.isName() && code >= 0 && code < 256)
                encoding.differences[code++] = item.getName().substr(1);
        }
    }
    return encoding;
}

bool selectCharmap(FT_Face face, FT_Encoding wanted)
{
    return FT_Select_Charmap(face, wanted) == 0;
}

// The glyph a code shows, as a reader finds it: a name from /Differences,
// else the character of the named encoding through the program's Unicode
// map, else the program's own encoding.
FT_UInt glyphOf(FT_Face face, FontProgram::Kind kind, const Encoding& encoding, int code)
{
    if (const auto it = encoding.differences.find(code); it != encoding.differences.end())
        return FT_Get_Name_Index(face, it->second.c_str());
    if (encoding.base != SimpleEncoding::BuiltIn) {
        const char16_t character = unicodeOf(encoding.base, static_cast<unsigned char>(code));
        if (!character || !selectCharmap(face, FT_ENCODING_UNICODE))
            return 0;
        return FT_Get_Char_Index(face, character);
    }
    if (kind == FontProgram::Kind::TrueType) {
        // A symbolic TrueType font: its (3,0) map, codes at 0xF000.
        for (int i = 0; i < face->num_charmaps; ++i) {
            if (face->charmaps[i]->platform_id == 3 && face->charmaps[i]->encoding_id == 0) {
                FT_Set_Charmap(face, face->charmaps[i]);
                if (FT_UInt glyph = FT_Get_Char_Index(face, 0xF000 + code))
                    return glyph;
                return FT_Get_Char_Index(face, code);
            }
        }
        return 0;
    }
    if (selectCharmap(face, FT_ENCODING_ADOBE_CUSTOM) || selectCharmap(face, FT_ENCODING_ADOBE_STANDARD))
        return FT_Get_Char_Index(face, code);
    return 0;
}

int scaled(FT_Face face, double value)
{
    const double units = face->units_per_EM > 0 ? face->units_per_EM : 1000;
    return static_cast<int>(std::lround(value * 1000.0 / units));
}

} // namespace

std::optional<FontProgram> compatibleProgram(const QString& baseFont)
{
    const Wanted wanted = wantedFace(baseFont);
    if (!wanted.substitute)
        return std::nullopt;
    static std::mutex mutex;
    static std::map<std::tuple<const Substitute*, bool, bool>, std::optional<FontProgram>> read;
    const std::lock_guard lock(mutex);
    const auto key = std::make_tuple(wanted.substitute, wanted.bold, wanted.italic);
    auto it = read.find(key);
    if (it == read.end())
        it = read.emplace(key, readProgram(wanted)).first;
    return it->second;
}

std::optional<std::map<int, int>> programWidths(const QByteArray& program, FontProgram::Kind kind,
                                                QPDFObjectHandle font)
{
    Library library;
    Face face(library.library, program);
    if (!face.face)
        return std::nullopt;
    const Encoding encoding = encodingOf(font);
    if (!encoding.known)
        return std::nullopt;
    std::map<int, int> widths;
    for (int code = 0; code < 256; ++code) {
        const FT_UInt glyph = glyphOf(face.face, kind, encoding, code);
        if (glyph == 0 || FT_Load_Glyph(face.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0)
            continue;
        widths[code] = scaled(face.face, face.face->glyph->metrics.horiAdvance);
    }
    return widths;
}

std::optional<std::pair<QByteArray, FontProgram::Kind>> embeddedProgram(QPDFObjectHandle font)
{
    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (!descriptor.isDictionary())
        return std::nullopt;
    for (const auto& [key, kind] : {std::pair{"/FontFile", FontProgram::Kind::Type1},
                                    std::pair{"/FontFile2", FontProgram::Kind::TrueType}}) {
        QPDFObjectHandle file = descriptor.getKey(key);
        if (!file.isStream())
            continue;
        try {
            const std::shared_ptr<Buffer> data = file.getStreamData(qpdf_dl_generalized);
            return std::pair{QByteArray(reinterpret_cast<const char*>(data->getBuffer()),
                                        static_cast<qsizetype>(data->getSize())), kind};
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::map<int, double> dictionaryWidths(QPDFObjectHandle font)
{
    std::map<int, double> widths;
    QPDFObjectHandle first = font.getKey("/FirstChar");
    QPDFObjectHandle list = font.getKey("/Widths");
    if (!first.isInteger() || !list.isArray())
        return widths;
    const int firstCode = first.getIntValueAsInt();
    const int n = list.getArrayNItems();
    for (int i = 0; i < n && firstCode + i < 256; ++i) {
        QPDFObjectHandle width = list.getArrayItem(i);
        if (width.isNumber())
            widths[firstCode + i] = width.getNumericValue();
    }
    return widths;
}

QString embedCompatibleProgram(QPDF& pdf, QPDFObjectHandle font, std::map<QString, QPDFObjectHandle>& embedded)
{
    const std::string subtype = font.getKey("/Subtype").isName() ? font.getKey("/Subtype").getName() : "";
    if (subtype != "/Type1" && subtype != "/TrueType" && subtype != "/MMType1")
        return QStringLiteral("a composite font without its program");
    QPDFObjectHandle name = font.getKey("/BaseFont");
    if (!name.isName())
        return QStringLiteral("a font without a name");
    const std::optional<FontProgram> program = compatibleProgram(QString::fromStdString(name.getName().substr(1)));
    if (!program)
        return QStringLiteral("no metric-compatible font is installed");
    const Encoding encoding = encodingOf(font);
    if (!encoding.known || (program->kind == FontProgram::Kind::TrueType && encoding.base == SimpleEncoding::BuiltIn))
        return QStringLiteral("its encoding cannot be kept with %1").arg(program->file);

    Library library;
    Face face(library.library, program->bytes);
    if (!face.face)
        return QStringLiteral("%1 cannot be read").arg(program->file);
    const std::optional<std::map<int, int>> widths = programWidths(program->bytes, program->kind, font);
    if (!widths || widths->empty())
        return QStringLiteral("%1 has no glyphs for its codes").arg(program->file);
    const std::map<int, double> given = dictionaryWidths(font);
    if (!given.empty()) {
        // The text is placed by the dictionary's widths: a program whose
        // glyphs are wider or narrower would not fit them.
        for (const auto& [code, width] : given) {
            const auto it = widths->find(code);
            if (it != widths->end() && std::abs(it->second - width) > 1)
                return QStringLiteral("its widths differ from %1").arg(program->file);
        }
    } else {
        std::vector<QPDFObjectHandle> list;
        const int first = widths->begin()->first, last = widths->rbegin()->first;
        for (int code = first; code <= last; ++code) {
            const auto it = widths->find(code);
            list.push_back(QPDFObjectHandle::newInteger(it == widths->end() ? 0 : it->second));
        }
        font.replaceKey("/FirstChar", QPDFObjectHandle::newInteger(first));
        font.replaceKey("/LastChar", QPDFObjectHandle::newInteger(last));
        font.replaceKey("/Widths", QPDFObjectHandle::newArray(list));
    }

    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (!descriptor.isDictionary()) {
        descriptor = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        font.replaceKey("/FontDescriptor", descriptor);
    }
    FT_Face f = face.face;
    auto setIfMissing = [&](const char* key, QPDFObjectHandle value) {
        if (!descriptor.hasKey(key))
            descriptor.replaceKey(key, value);
    };
    descriptor.replaceKey("/Type", QPDFObjectHandle::newName("/FontDescriptor"));
    descriptor.replaceKey("/FontName", name);
    setIfMissing("/FontBBox", QPDFObjectHandle::newArray(std::vector{
        QPDFObjectHandle::newInteger(scaled(f, f->bbox.xMin)), QPDFObjectHandle::newInteger(scaled(f, f->bbox.yMin)),
        QPDFObjectHandle::newInteger(scaled(f, f->bbox.xMax)), QPDFObjectHandle::newInteger(scaled(f, f->bbox.yMax))}));
    double italicAngle = 0;
    if (auto* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(f, FT_SFNT_POST)))
        italicAngle = post->italicAngle / 65536.0;
    else if ((f->style_flags & FT_STYLE_FLAG_ITALIC) != 0)
        italicAngle = -12;
    setIfMissing("/ItalicAngle", QPDFObjectHandle::newReal(italicAngle, 1, true));
    setIfMissing("/Ascent", QPDFObjectHandle::newInteger(scaled(f, f->ascender)));
    setIfMissing("/Descent", QPDFObjectHandle::newInteger(scaled(f, f->descender)));
    int capHeight = scaled(f, f->ascender);
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2)); os2 && os2->version >= 2)
        capHeight = scaled(f, os2->sCapHeight);
    setIfMissing("/CapHeight", QPDFObjectHandle::newInteger(capHeight));
    setIfMissing("/StemV", QPDFObjectHandle::newInteger((f->style_flags & FT_STYLE_FLAG_BOLD) ? 140 : 80));
    // Flags: a symbolic font's own encoding, or the Latin text set.
    const bool symbolic = wantedFace(QString::fromStdString(name.getName().substr(1))).substitute->symbolic;
    int flags = descriptor.getKey("/Flags").isInteger() ? descriptor.getKey("/Flags").getIntValueAsInt() : 0;
    flags &= ~(4 | 32);
    flags |= symbolic ? 4 : 32;
    if (FT_IS_FIXED_WIDTH(f))
        flags |= 1;
    if (f->style_flags & FT_STYLE_FLAG_ITALIC)
        flags |= 64;
    descriptor.replaceKey("/Flags", QPDFObjectHandle::newInteger(flags));

    auto it = embedded.find(program->file);
    if (it == embedded.end()) {
        // Compressed already: each output copies it instead of compressing it again.
        QPDFObjectHandle stream = pdf.newStream(program->flated.toStdString());
        QPDFObjectHandle dict = stream.getDict();
        dict.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
        dict.replaceKey("/Length1", QPDFObjectHandle::newInteger(program->length1));
        if (program->kind == FontProgram::Kind::Type1) {
            dict.replaceKey("/Length2", QPDFObjectHandle::newInteger(program->length2));
            dict.replaceKey("/Length3", QPDFObjectHandle::newInteger(program->length3));
        }
        it = embedded.emplace(program->file, stream).first;
    }
    for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"})
        descriptor.removeKey(key);
    descriptor.replaceKey(program->kind == FontProgram::Kind::Type1 ? "/FontFile" : "/FontFile2", it->second);
    font.replaceKey("/Subtype", QPDFObjectHandle::newName(program->kind == FontProgram::Kind::Type1 ? "/Type1" : "/TrueType"));
    return QString();
}

} // namespace quillary
