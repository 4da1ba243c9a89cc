#include "render/Truetypefont.h"

#include <algorithm>
#include <set>

namespace {

// Big-endian integers at an offset of a table; 0 past its end.
std::uint32_t U16(const QByteArray& t, qsizetype at)
{
    if (at < 0 || at + 2 > t.size()) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(t.constData()) + at;
    return std::uint32_t(p[0]) << 8 | p[1];
}
std::int32_t S16(const QByteArray& t, qsizetype at) { return std::int16_t(std::uint16_t(U16(t, at))); }
std::uint32_t U32(const QByteArray& t, qsizetype at) { return U16(t, at) << 16 | U16(t, at + 2); }

void PutU16(QByteArray& t, qsizetype at, std::uint32_t value)
{
    if (at < 0 || at + 2 > t.size()) return;
    t[at] = char(value >> 8);
    t[at + 1] = char(value);
}
void PutU32(QByteArray& t, qsizetype at, std::uint32_t value)
{
    PutU16(t, at, value >> 16);
    PutU16(t, at + 2, value & 0xFFFF);
}
void AppendU16(QByteArray& t, std::uint32_t value)
{
    t.append(char(value >> 8));
    t.append(char(value));
}
void AppendU32(QByteArray& t, std::uint32_t value)
{
    AppendU16(t, value >> 16);
    AppendU16(t, value & 0xFFFF);
}

// The sum of a table's big-endian 32-bit words (the last one padded with zeros).
std::uint32_t TableSum(const QByteArray& t)
{
    std::uint32_t sum = 0;
    for (qsizetype at = 0; at < t.size(); at += 4) {
        std::uint32_t word = 0;
        for (int k = 0; k < 4; ++k) word = word << 8 | (at + k < t.size() ? static_cast<unsigned char>(t[at + k]) : 0u);
        sum += word;
    }
    return sum;
}

// The PostScript name (name id 6) of a naming table.
QString NamedPostScriptName(const QByteArray& name)
{
    const std::uint32_t count = U16(name, 2), strings = U16(name, 4);
    for (std::uint32_t k = 0; k < count; ++k) {
        const qsizetype record = 6 + 12 * qsizetype(k);
        if (record + 12 > name.size()) break;
        if (U16(name, record + 6) != 6) continue;
        const std::uint32_t platform = U16(name, record), length = U16(name, record + 8),
                            offset = U16(name, record + 10);
        const qsizetype at = qsizetype(strings) + offset;
        if (at + length > name.size()) continue;
        QString text;
        if (platform == 0 || platform == 3) {
            for (std::uint32_t i = 0; i + 1 < length; i += 2) text += QChar(char16_t(U16(name, at + i)));
        } else {
            text = QString::fromLatin1(name.constData() + at, length);
        }
        QString kept;
        for (const QChar c : text)
            if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-')
                kept += c;
        if (!kept.isEmpty()) return kept.left(100);
    }
    return QString();
}

}  // namespace

std::optional<TTrueTypeFont> TTrueTypeFont::FromTables(const std::function<QByteArray(const char* tag)>& table)
{
    TTrueTypeFont font;
    font.head_ = table("head");
    font.hhea_ = table("hhea");
    font.maxp_ = table("maxp");
    font.hmtx_ = table("hmtx");
    font.loca_ = table("loca");
    font.glyf_ = table("glyf");
    if (font.head_.size() < 54 || font.hhea_.size() < 36 || font.maxp_.size() < 6 || font.glyf_.isEmpty() ||
        font.loca_.isEmpty())
        return std::nullopt;
    font.cvt_ = table("cvt ");
    font.fpgm_ = table("fpgm");
    font.prep_ = table("prep");
    font.unitsPerEm_ = int(U16(font.head_, 18));
    if (font.unitsPerEm_ < 16 || font.unitsPerEm_ > 16384) return std::nullopt;
    font.longOffsets_ = S16(font.head_, 50) != 0;
    font.glyphCount_ = int(U16(font.maxp_, 4));
    // A count the location table cannot hold is cut to what it holds.
    const qsizetype locations = font.loca_.size() / (font.longOffsets_ ? 4 : 2);
    font.glyphCount_ = int(std::min<qsizetype>(font.glyphCount_, std::max<qsizetype>(locations - 1, 0)));
    font.longMetrics_ = int(std::min<qsizetype>(U16(font.hhea_, 34), font.hmtx_.size() / 4));
    if (font.glyphCount_ == 0 || font.longMetrics_ == 0) return std::nullopt;
    font.box_ =
        QRectF(QPointF(S16(font.head_, 36), S16(font.head_, 38)), QPointF(S16(font.head_, 40), S16(font.head_, 42)));
    font.ascent_ = S16(font.hhea_, 4);
    font.descent_ = S16(font.hhea_, 6);
    const QByteArray os2 = table("OS/2");
    font.capHeight_ = U16(os2, 0) >= 2 && os2.size() >= 90 ? S16(os2, 88) : font.ascent_;
    const QByteArray post = table("post");
    if (post.size() >= 8) font.italicAngle_ = double(std::int32_t(U32(post, 4))) / 65536.0;
    font.postScriptName_ = NamedPostScriptName(table("name"));
    return font;
}

int TTrueTypeFont::Advance(std::uint32_t glyph) const
{
    if (glyph >= std::uint32_t(glyphCount_)) return 0;
    const std::uint32_t metric = std::min(glyph, std::uint32_t(longMetrics_ - 1));
    return int(U16(hmtx_, 4 * qsizetype(metric)));
}

std::pair<std::uint32_t, std::uint32_t> TTrueTypeFont::GlyphSpan(std::uint32_t glyph) const
{
    if (glyph >= std::uint32_t(glyphCount_)) return {0, 0};
    const auto location = [&](std::uint32_t g) {
        return longOffsets_ ? U32(loca_, 4 * qsizetype(g)) : 2 * U16(loca_, 2 * qsizetype(g));
    };
    const std::uint32_t begin = location(glyph), end = location(glyph + 1);
    if (begin >= end || end > std::uint32_t(glyf_.size())) return {0, 0};
    return {begin, end};
}

QByteArray TTrueTypeFont::Subset(const std::vector<std::uint32_t>& glyphs) const
{
    // The glyphs kept: those asked for, glyph 0, and the parts of composites.
    std::set<std::uint32_t> kept;
    std::vector<std::uint32_t> pending(glyphs.begin(), glyphs.end());
    pending.push_back(0);
    while (!pending.empty()) {
        const std::uint32_t glyph = pending.back();
        pending.pop_back();
        if (glyph >= std::uint32_t(glyphCount_) || !kept.insert(glyph).second) continue;
        const auto [begin, end] = GlyphSpan(glyph);
        if (end - begin < 10 || S16(glyf_, begin) >= 0) continue;
        // A composite: its parts, one after the other.
        qsizetype at = qsizetype(begin) + 10;
        for (int parts = 0; parts < 256 && at + 4 <= qsizetype(end); ++parts) {
            const std::uint32_t flags = U16(glyf_, at), part = U16(glyf_, at + 2);
            if (!kept.count(part)) pending.push_back(part);
            at += 4 + ((flags & 0x0001) ? 4 : 2);
            if (flags & 0x0008)
                at += 2;
            else if (flags & 0x0040)
                at += 4;
            else if (flags & 0x0080)
                at += 8;
            if (!(flags & 0x0020)) break;
        }
    }
    const std::uint32_t count = *kept.rbegin() + 1;

    QByteArray glyf, loca;
    loca.reserve(4 * qsizetype(count + 1));
    for (std::uint32_t g = 0; g < count; ++g) {
        AppendU32(loca, std::uint32_t(glyf.size()));
        if (!kept.count(g)) continue;
        const auto [begin, end] = GlyphSpan(g);
        glyf.append(glyf_.constData() + begin, end - begin);
        while (glyf.size() % 4) glyf.append('\0');
    }
    AppendU32(loca, std::uint32_t(glyf.size()));

    const std::uint32_t longMetrics = std::min<std::uint32_t>(count, std::uint32_t(longMetrics_));
    QByteArray hmtx = hmtx_.left(4 * qsizetype(longMetrics) + 2 * qsizetype(count - longMetrics));
    hmtx.resize(4 * qsizetype(longMetrics) + 2 * qsizetype(count - longMetrics), '\0');
    QByteArray head = head_, hhea = hhea_, maxp = maxp_;
    PutU32(head, 8, 0);   // checkSumAdjustment, set below
    PutU16(head, 50, 1);  // long offsets
    PutU16(hhea, 34, longMetrics);
    PutU16(maxp, 4, count);

    struct Table {
        const char* Tag;
        const QByteArray* Data;
    };
    const Table all[] = {{"cvt ", &cvt_}, {"fpgm", &fpgm_}, {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea},
                         {"hmtx", &hmtx}, {"loca", &loca},  {"maxp", &maxp}, {"prep", &prep_}};
    // Tables the font does not have are left out of the subset's directory.
    std::vector<Table> tables;
    for (const Table& t : all)
        if (!t.Data->isEmpty()) tables.push_back(t);
    const auto numTables = std::uint32_t(tables.size());
    std::uint32_t power = 1, log2 = 0;
    while (power * 2 <= numTables) power *= 2, ++log2;
    QByteArray font;
    AppendU32(font, 0x00010000);
    AppendU16(font, numTables);
    AppendU16(font, power * 16);
    AppendU16(font, log2);
    AppendU16(font, numTables * 16 - power * 16);
    std::uint32_t offset = 12 + 16 * numTables;
    for (const Table& t : tables) {
        font.append(t.Tag, 4);
        AppendU32(font, TableSum(*t.Data));
        AppendU32(font, offset);
        AppendU32(font, std::uint32_t(t.Data->size()));
        offset += (std::uint32_t(t.Data->size()) + 3) & ~3u;
    }
    qsizetype headAt = -1;
    for (const Table& t : tables) {
        if (t.Data == &head) headAt = font.size();
        font.append(*t.Data);
        while (font.size() % 4) font.append('\0');
    }
    if (headAt >= 0) PutU32(font, headAt + 8, 0xB1B0AFBAu - TableSum(font));
    return font;
}
