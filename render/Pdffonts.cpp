#include "render/Pdffonts.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <optional>

#include "base/Ownedbytes.h"
#include "render/Pdffile.h"
#include "render/Truetypefont.h"

namespace {

std::atomic<bool> outlinesOnly{false};

// Whether a Latin-1 character is shown: not the control characters.
bool Shown(unsigned char c) { return c >= 0x20 && !(c >= 0x7F && c < 0xA0); }

// Glyph widths and font boxes in thousandths of an em.
int Thousandths(double units, int unitsPerEm) { return int(std::lround(units * 1000.0 / unitsPerEm)); }

void AppendHex16(QByteArray& out, std::uint32_t value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(value >> shift) & 15];
}

// A map from codes to the characters they stand for (a ToUnicode CMap),
// codes of `codeBytes` bytes.
QByteArray UnicodeMap(const std::map<std::uint32_t, QString>& characters, int codeBytes)
{
    QByteArray map =
        "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
        "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n";
    map += codeBytes == 1 ? "<00><FF>\n" : "<0000><FFFF>\n";
    map += "endcodespacerange\n";
    const auto code = [&](std::uint32_t value) {
        QByteArray text;
        AppendHex16(text, value);
        return codeBytes == 1 ? text.mid(2) : text;
    };
    auto it = characters.begin();
    while (it != characters.end()) {
        const auto count = std::min<std::size_t>(100, std::size_t(std::distance(it, characters.end())));
        map += QByteArray::number(qsizetype(count)) + " beginbfchar\n";
        for (std::size_t k = 0; k < count; ++k, ++it) {
            map += '<' + code(it->first) + "><";
            for (const QChar c : it->second) AppendHex16(map, c.unicode());
            map += ">\n";
        }
        map += "endbfchar\n";
    }
    map += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    return map;
}

// Six capital letters that mark a font as a part of another (the same
// glyphs of the same face give the same ones).
QByteArray SubsetTag(const QString& name, const std::vector<std::uint32_t>& glyphs)
{
    std::uint64_t hash = 1469598103934665603ull;
    const auto mix = [&](std::uint32_t value) { hash = (hash ^ value) * 1099511628211ull; };
    for (const QChar c : name) mix(c.unicode());
    for (const std::uint32_t g : glyphs) mix(g);
    QByteArray tag;
    for (int k = 0; k < 6; ++k, hash /= 26) tag += char('A' + hash % 26);
    return tag;
}

// A name of only the characters a PDF name may hold bare.
QByteArray PlainName(const QString& text)
{
    QByteArray name;
    for (const QChar c : text)
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-')
            name += char(c.unicode());
    return name.isEmpty() ? QByteArrayLiteral("Font") : name.left(100);
}

QByteArray Number(double value, int decimals = 2)
{
    QByteArray out;
    TPdfFile::AppendNumber(out, value, decimals);
    return out;
}

QByteArray Reference(int object) { return QByteArray::number(object) + " 0 R"; }

}  // namespace

// A face the page's texts use.
struct TPdfFonts::TFace {
    std::uint32_t Index = 0;  // in faces_
    QRawFont Raw;
    std::optional<TTrueTypeFont> TrueType;  // none: drawn as Type 3 outlines
    QRawFont Outlines;                      // at 1000 pixels an em, for Type 3 glyphs
    bool Italic = false;
    // The glyph of each Latin-1 character (0: none).
    std::array<std::uint32_t, 256> Latin1{};
    std::map<std::uint32_t, int> Widths;       // of every glyph shown, in thousandths of an em
    std::map<std::uint32_t, QString> Unicode;  // the characters each glyph stands for
    // TrueType: the face's one resource. Type 3: the resource of each 256
    // glyphs, and each glyph's code in its resource.
    std::vector<std::uint32_t> Resources;
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint8_t>> Codes;
    std::vector<std::vector<std::uint32_t>> PartGlyphs;

    int Width(std::uint32_t glyph)
    {
        if (const auto known = Widths.find(glyph); known != Widths.end()) return known->second;
        int width = 0;
        if (TrueType) {
            width = Thousandths(TrueType->Advance(glyph), TrueType->UnitsPerEm());
        } else {
            const QList<QPointF> advances =
                Outlines.advancesForGlyphIndexes(QList<quint32>{glyph}, QRawFont::UseDesignMetrics);
            width = advances.isEmpty() ? 0 : int(std::lround(advances.first().x()));
        }
        Widths.emplace(glyph, width);
        return width;
    }
};

// A text font of the page: the Qt font the screen draws it in, and its texts' shapes.
struct TPdfFonts::TEntry {
    TFont Font;
    QFont QtFont;
    TTextFont Info;
    QHash<QByteArray, std::uint32_t> Shapes;
};

TPdfFonts::TPdfFonts(double pointsPerPixel) : pointsPerPixel_(pointsPerPixel) {}
TPdfFonts::~TPdfFonts() = default;

void TPdfFonts::SetOutlinesOnly(bool outlines) { outlinesOnly = outlines; }

QByteArray TPdfFonts::ResourceName(std::uint32_t resource) { return "/F" + QByteArray::number(resource); }

std::uint32_t TPdfFonts::Add(const TFont& font)
{
    for (std::size_t k = fonts_.size(); k-- > 0;)
        if (fonts_[k]->Font.SameGlyphs(font)) return std::uint32_t(k);
    auto entry = std::make_unique<TEntry>();
    entry->Font = font;
    entry->QtFont = font.ToQFont();
    const QRawFont raw = QRawFont::fromFont(entry->QtFont);
    const QFontMetricsF metrics(entry->QtFont);
    TTextFont& info = entry->Info;
    info.Size = entry->QtFont.pixelSize();
    info.Embolden = font.Bold && raw.isValid() && raw.weight() < QFont::DemiBold;
    info.Slant = font.Italic && raw.isValid() && raw.style() == QFont::StyleNormal;
    info.LineWidth = std::max(1.0, metrics.lineWidth());
    info.UnderlineTop = metrics.underlinePos() - info.LineWidth / 2;
    info.StrikeTop = -metrics.strikeOutPos() - info.LineWidth / 2;
    fonts_.push_back(std::move(entry));
    return std::uint32_t(fonts_.size() - 1);
}

const TPdfFonts::TTextFont& TPdfFonts::Font(std::uint32_t font) const { return fonts_[font]->Info; }

TPdfFonts::TFace& TPdfFonts::FaceFor(const QRawFont& raw)
{
    for (const auto& face : faces_)
        if (face->Raw.familyName() == raw.familyName() && face->Raw.styleName() == raw.styleName() &&
            face->Raw.weight() == raw.weight() && face->Raw.style() == raw.style())
            return *face;
    auto face = std::make_unique<TFace>();
    face->Index = std::uint32_t(faces_.size());
    face->Raw = raw;
    face->Italic = raw.style() != QFont::StyleNormal;
    if (!outlinesOnly) face->TrueType = TTrueTypeFont::FromTables([&](const char* tag) { return raw.fontTable(tag); });
    if (face->TrueType) {
        face->Resources.push_back(std::uint32_t(resources_.size()));
        resources_.push_back({face->Index, 0});
    } else {
        face->Outlines = raw;
        face->Outlines.setPixelSize(1000);
    }
    QString latin1(256, QChar(u' '));
    for (int c = 0; c < 256; ++c) latin1[c] = QChar(char16_t(c));
    const QList<quint32> glyphs = raw.glyphIndexesForString(latin1);
    for (int c = 0; c < 256 && c < glyphs.size(); ++c) face->Latin1[std::size_t(c)] = glyphs[c];
    faces_.push_back(std::move(face));
    return *faces_.back();
}

std::uint32_t TPdfFonts::Shape(std::uint32_t font, const QByteArray& text)
{
    TEntry& entry = *fonts_[font];
    if (const auto known = entry.Shapes.constFind(text); known != entry.Shapes.constEnd()) return *known;
    const auto index = std::uint32_t(shaped_.size());
    entry.Shapes.insert(OwnedBytes(text), index);
    shaped_.emplace_back();

    QByteArray shownBytes;
    for (const char c : text)
        if (Shown(static_cast<unsigned char>(c))) shownBytes += c;
    if (shownBytes.isEmpty()) return index;
    const QString shown = QString::fromLatin1(shownBytes);

    QTextLayout layout(shown, entry.QtFont);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> glyphRuns = layout.glyphRuns();

    // Every glyph in order, with its face and place.
    struct Glyph {
        TFace* Face;
        std::uint32_t Index;
        double X;
    };
    std::vector<Glyph> glyphs;
    for (const QGlyphRun& run : glyphRuns) {
        TFace& face = FaceFor(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype k = 0; k < indexes.size() && k < positions.size(); ++k)
            glyphs.push_back({&face, indexes[k], positions[k].x()});
    }
    std::stable_sort(glyphs.begin(), glyphs.end(), [](const Glyph& a, const Glyph& b) { return a.X < b.X; });

    // The characters each glyph stands for: its own character, or for a
    // glyph of several (a ligature) those up to the next glyph's own.
    qsizetype next = 0;
    for (std::size_t g = 0; g < glyphs.size(); ++g) {
        TFace& face = *glyphs[g].Face;
        const auto own = [&](const Glyph& glyph, qsizetype at) {
            return at < shown.size() && glyph.Face->Latin1[shown[at].unicode() & 0xFF] == glyph.Index;
        };
        qsizetype end = next + 1;
        if (!own(glyphs[g], next) && g + 1 < glyphs.size())
            while (end < shown.size() && !own(glyphs[g + 1], end)) ++end;
        if (g + 1 == glyphs.size()) end = std::max(end, shown.size());
        end = std::min(end, shown.size());
        if (next < end) face.Unicode.emplace(glyphs[g].Index, shown.mid(next, end - next));
        next = end;
    }

    // The runs: one for each resource in turn, each glyph moved to its place.
    const double size = entry.Info.Size;
    double pen = 0;  // where the last glyph shown ends, in pixels
    TShaped& shaped = shaped_[index];
    shaped.FirstRun = std::uint32_t(runs_.size());
    std::uint32_t resource = std::uint32_t(-1);
    QByteArray show, literal;
    bool adjusted = false;
    const auto endLiteral = [&] {
        if (literal.isEmpty()) return;
        show += '(';
        TPdfFile::AppendLiteral(show, literal.constData(), literal.size());
        show += ')';
        literal.clear();
    };
    const auto endRun = [&] {
        endLiteral();
        if (show.isEmpty()) return;
        runs_.push_back({resource, adjusted ? '[' + show + "]TJ" : show + "Tj"});
        show.clear();
        adjusted = false;
    };
    for (const Glyph& glyph : glyphs) {
        TFace& face = *glyph.Face;
        std::uint32_t glyphResource = 0;
        char code[2];
        int codeBytes = 2;
        if (face.TrueType) {
            glyphResource = face.Resources.front();
            code[0] = char(glyph.Index >> 8);
            code[1] = char(glyph.Index);
        } else {
            auto known = face.Codes.find(glyph.Index);
            if (known == face.Codes.end()) {
                if (face.PartGlyphs.empty() || face.PartGlyphs.back().size() == 256) {
                    face.PartGlyphs.emplace_back();
                    face.Resources.push_back(std::uint32_t(resources_.size()));
                    resources_.push_back({face.Index, std::uint32_t(face.PartGlyphs.size() - 1)});
                }
                const auto part = std::uint32_t(face.PartGlyphs.size() - 1);
                known =
                    face.Codes.emplace(glyph.Index, std::make_pair(part, std::uint8_t(face.PartGlyphs.back().size())))
                        .first;
                face.PartGlyphs.back().push_back(glyph.Index);
            }
            glyphResource = face.Resources[known->second.first];
            code[0] = char(known->second.second);
            codeBytes = 1;
        }
        if (glyphResource != resource) {
            endRun();
            resource = glyphResource;
        }
        const int width = face.Width(glyph.Index);
        const long long shift = std::llround((glyph.X - pen) * 1000.0 / size);
        if (shift != 0) {
            endLiteral();
            show += QByteArray::number(-shift);
            adjusted = true;
            pen += double(shift) * size / 1000.0;
        }
        literal.append(code, codeBytes);
        pen += width * size / 1000.0;
        if (width * size / 1000.0 * pointsPerPixel_ < 3) ++shaped.Tiny;
    }
    endRun();
    shaped.Runs = std::uint32_t(runs_.size()) - shaped.FirstRun;
    return index;
}

QByteArray TPdfFonts::WriteObjects(TPdfFile& file) const
{
    std::vector<int> objects(resources_.size(), 0);
    for (const auto& facePointer : faces_) {
        const TFace& face = *facePointer;
        if (face.TrueType) {
            const TTrueTypeFont& font = *face.TrueType;
            std::vector<std::uint32_t> glyphs;
            for (const auto& [glyph, width] : face.Widths) glyphs.push_back(glyph);
            const QByteArray name =
                SubsetTag(face.Raw.familyName() + face.Raw.styleName(), glyphs) + '+' +
                PlainName(font.PostScriptName().isEmpty() ? face.Raw.familyName() + u'-' + face.Raw.styleName()
                                                          : font.PostScriptName());
            const QByteArray program = font.Subset(glyphs);
            const int fontFile = file.NewObject();
            file.Stream(fontFile, "/Length1 " + QByteArray::number(program.size()), TPdfFile::Deflate(program, 6),
                        true);

            const int upem = font.UnitsPerEm();
            const QRectF box = font.Box();
            const int descriptor = file.NewObject();
            file.Object(descriptor, "<</Type/FontDescriptor/FontName/" + name + "/Flags " +
                                        QByteArray::number(face.Italic ? 4 + 64 : 4) + "/FontBBox[" +
                                        QByteArray::number(Thousandths(box.left(), upem)) + ' ' +
                                        QByteArray::number(Thousandths(box.top(), upem)) + ' ' +
                                        QByteArray::number(Thousandths(box.right(), upem)) + ' ' +
                                        QByteArray::number(Thousandths(box.bottom(), upem)) + "]/ItalicAngle " +
                                        Number(font.ItalicAngle()) + "/Ascent " +
                                        QByteArray::number(Thousandths(font.Ascent(), upem)) + "/Descent " +
                                        QByteArray::number(Thousandths(font.Descent(), upem)) + "/CapHeight " +
                                        QByteArray::number(Thousandths(font.CapHeight(), upem)) +
                                        "/StemV 80/FontFile2 " + Reference(fontFile) + ">>");
            // The widths, in runs of consecutive glyphs.
            QByteArray widths = "[";
            std::uint32_t expected = std::uint32_t(-1);
            for (const auto& [glyph, width] : face.Widths) {
                if (glyph != expected) {
                    if (expected != std::uint32_t(-1)) widths += "]";
                    widths += QByteArray::number(glyph) + '[';
                } else {
                    widths += ' ';
                }
                widths += QByteArray::number(width);
                expected = glyph + 1;
            }
            if (expected != std::uint32_t(-1)) widths += ']';
            widths += ']';
            const int cidFont = file.NewObject();
            file.Object(cidFont,
                        "<</Type/Font/Subtype/CIDFontType2/BaseFont/" + name +
                            "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor " +
                            Reference(descriptor) + "/CIDToGIDMap/Identity/DW 0/W" + widths + ">>");
            const int unicode = file.NewObject();
            file.Stream(unicode, QByteArray(), TPdfFile::Deflate(UnicodeMap(face.Unicode, 2), 6), true);
            const int type0 = file.NewObject();
            file.Object(type0, "<</Type/Font/Subtype/Type0/BaseFont/" + name + "/Encoding/Identity-H/DescendantFonts[" +
                                   Reference(cidFont) + "]/ToUnicode " + Reference(unicode) + ">>");
            objects[face.Resources.front()] = type0;
            continue;
        }
        // Type 3: each glyph its outline, 256 glyphs a font.
        for (std::size_t part = 0; part < face.PartGlyphs.size(); ++part) {
            const std::vector<std::uint32_t>& glyphs = face.PartGlyphs[part];
            QByteArray procs = "<<", differences = "[0", widths = "[";
            std::map<std::uint32_t, QString> characters;
            QRectF all;
            for (std::size_t code = 0; code < glyphs.size(); ++code) {
                const std::uint32_t glyph = glyphs[code];
                const QPainterPath path = face.Outlines.pathForGlyph(glyph);
                const QRectF box = path.boundingRect();
                all = all.united(QRectF(box.left(), -box.bottom(), box.width(), box.height()));
                const int width = face.Widths.count(glyph) ? face.Widths.at(glyph) : 0;
                QByteArray drawing = QByteArray::number(width) + " 0 " + Number(box.left()) + ' ' +
                                     Number(-box.bottom()) + ' ' + Number(box.right()) + ' ' + Number(-box.top()) +
                                     " d1\n";
                for (int k = 0; k < path.elementCount(); ++k) {
                    const QPainterPath::Element e = path.elementAt(k);
                    if (e.isCurveTo() && k + 2 < path.elementCount()) {
                        const QPainterPath::Element c2 = path.elementAt(k + 1), end = path.elementAt(k + 2);
                        drawing += Number(e.x) + ' ' + Number(-e.y) + ' ' + Number(c2.x) + ' ' + Number(-c2.y) + ' ' +
                                   Number(end.x) + ' ' + Number(-end.y) + " c\n";
                        k += 2;
                    } else {
                        drawing += Number(e.x) + ' ' + Number(-e.y) + (e.isMoveTo() ? " m\n" : " l\n");
                    }
                }
                if (!path.isEmpty()) drawing += "f\n";
                const int proc = file.NewObject();
                file.Stream(proc, QByteArray(), drawing, false);
                const QByteArray glyphName = "/g" + QByteArray::number(code);
                procs += glyphName + ' ' + Reference(proc);
                differences += glyphName;
                widths += (code ? " " : "") + QByteArray::number(width);
                if (const auto u = face.Unicode.find(glyph); u != face.Unicode.end())
                    characters.emplace(std::uint32_t(code), u->second);
            }
            const int unicode = file.NewObject();
            file.Stream(unicode, QByteArray(), TPdfFile::Deflate(UnicodeMap(characters, 1), 6), true);
            const int type3 = file.NewObject();
            file.Object(type3, "<</Type/Font/Subtype/Type3/FontBBox[" + Number(all.left(), 0) + ' ' +
                                   Number(all.top(), 0) + ' ' + Number(all.right(), 0) + ' ' + Number(all.bottom(), 0) +
                                   "]/FontMatrix[0.001 0 0 0.001 0 0]/CharProcs" + procs +
                                   ">>/Encoding<</Type/Encoding/Differences" + differences +
                                   "]>>/FirstChar 0/LastChar " + QByteArray::number(qsizetype(glyphs.size()) - 1) +
                                   "/Widths" + widths + "]/Resources<<>>/ToUnicode " + Reference(unicode) + ">>");
            objects[face.Resources[part]] = type3;
        }
    }
    QByteArray entries;
    for (std::size_t r = 0; r < objects.size(); ++r)
        if (objects[r]) entries += ResourceName(std::uint32_t(r)) + ' ' + Reference(objects[r]);
    return entries;
}
