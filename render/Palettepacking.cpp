#include "render/Palettepacking.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr QRgb opaque = 0xFF000000u;

// The palette being built: colours and their indices, in a small open hash
// (an empty slot holds 0, which no opaque colour is).
class Palette {
public:
    // The index of colour (opaque), added when new; -1 when the palette is full.
    int IndexOf(QRgb colour)
    {
        std::uint32_t slot = (colour * 2654435761u) >> (32 - slotBits);
        if (keys_[slot] == colour) return indices_[slot];  // the usual case
        while (keys_[slot] != 0) {
            if (keys_[slot] == colour) return indices_[slot];
            slot = (slot + 1) & (slotCount - 1);
        }
        if (colours_.size() == 256) return -1;
        keys_[slot] = colour;
        indices_[slot] = std::uint8_t(colours_.size());
        colours_.push_back(colour);
        return indices_[slot];
    }
    const QList<QRgb>& Colours() const { return colours_; }
    Palette() { colours_.reserve(256); }  // no allocation while mapping (on any thread)

private:
    static constexpr int slotBits = 10;
    static constexpr std::uint32_t slotCount = 1u << slotBits;  // never more than a quarter full
    std::array<QRgb, slotCount> keys_{};
    std::array<std::uint8_t, slotCount> indices_{};
    QList<QRgb> colours_;
};

// A row of pixels as indices into the palette, which takes their colours in
// the order they first appear; false when it would need more than 256.
bool MapRow(const QRgb* row, int width, std::uint8_t* out, Palette& palette)
{
    bool full = false;
    auto index = [&](QRgb pixel) {
        const int i = palette.IndexOf(pixel | opaque);
        full |= i < 0;
        return std::uint8_t(i);
    };
    int x = 0;
#if defined(__SSE2__)
    // Four pixels at a time: at once when all four are the colour of the
    // last one before them (most of a page is runs of one colour), with one
    // look-up when they are all of another.
    const __m128i alpha = _mm_set1_epi32(int(opaque));
    QRgb lastColour = 0;
    std::uint32_t four = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), alpha);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(pixels, _mm_set1_epi32(int(lastColour)))) == 0xFFFF) {
            std::memcpy(out + x, &four, 4);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(pixels, _mm_shuffle_epi32(pixels, 0))) == 0xFFFF) {
            four = 0x01010101u * index(row[x]);
            std::memcpy(out + x, &four, 4);
        } else {
            for (int k = 0; k < 4; ++k) out[x + k] = index(row[x + k]);
            four = 0x01010101u * out[x + 3];
        }
        lastColour = row[x + 3] | opaque;
    }
#endif
    for (; x < width; ++x) out[x] = index(row[x]);
    return !full;
}

// The palette of a part of a picture of at most 16 colours, with a table in
// which each colour has a slot of its own: a pixel's index is one look-up,
// with one test for four pixels that they were all in it. (A busy page
// changes colour every few pixels, which defeats a test for each.)
class FewColours {
public:
    static constexpr qsizetype most = 16;

    // A row of pixels as indices into the palette, which takes their colours
    // in the order they first appear; false when it would need more than 16.
    bool MapRow(const QRgb* row, int width, std::uint8_t* out)
    {
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            QRgb missed = 0;
            for (int k = 0; k < 4; ++k) {
                const QRgb colour = row[x + k] | opaque;
                const std::uint32_t slot = (colour * multiplier_) >> shift_;
                missed |= keys_[slot] ^ colour;
                out[x + k] = indices_[slot];
            }
            if (missed != 0)
                for (int k = 0; k < 4; ++k)
                    if (!Map(row[x + k], out[x + k])) return false;
        }
        for (; x < width; ++x)
            if (!Map(row[x], out[x])) return false;
        return true;
    }
    Palette& Colours() { return palette_; }

private:
    bool Map(QRgb pixel, std::uint8_t& index)
    {
        const qsizetype before = palette_.Colours().size();
        const int i = palette_.IndexOf(pixel | opaque);
        if (i < 0 || palette_.Colours().size() > most) return false;
        index = std::uint8_t(i);
        return palette_.Colours().size() == before || Spread();
    }
    // Gives every colour a slot of its own: a multiplier after another, in
    // 256 slots and then in 1024, until none share; false when none does.
    bool Spread()
    {
        std::uint32_t multiplier = 2654435761u;
        for (const int bits : {8, 10})
            for (int attempt = 0; attempt < 64; ++attempt, multiplier = (multiplier * 1664525u + 1013904223u) | 1u) {
                keys_.fill(0);
                bool apart = true;
                const QList<QRgb>& colours = palette_.Colours();
                for (qsizetype i = 0; i < colours.size() && apart; ++i) {
                    const std::uint32_t slot = (colours[i] * multiplier) >> (32 - bits);
                    apart = keys_[slot] == 0;
                    keys_[slot] = colours[i];
                    indices_[slot] = std::uint8_t(i);
                }
                if (apart) {
                    multiplier_ = multiplier;
                    shift_ = 32 - bits;
                    return true;
                }
            }
        return false;
    }

    Palette palette_;
    std::uint32_t multiplier_ = 0;
    int shift_ = 24;                 // with multiplier 0 every pixel meets slot 0, empty
    std::array<QRgb, 1024> keys_{};  // an empty slot holds 0, which no opaque colour is
    std::array<std::uint8_t, 1024> indices_{};
};

// Rows first .. last-1 of the picture's pixels as indices into the palette
// (row y at indices + y * width); false when it would need more than 256
// colours.
bool MapRows(const QImage& picture, int first, int last, std::uint8_t* indices, Palette& palette)
{
    const int width = picture.width();
    for (int y = first; y < last; ++y)
        if (!MapRow(reinterpret_cast<const QRgb*>(picture.constScanLine(y)), width,
                    indices + std::size_t(y) * std::size_t(width), palette))
            return false;
    return true;
}

// A row of width indices packed at depth bits a pixel (1, 2, 4 or 8), from
// the high bits of each byte down; the last byte filled up with zero bits.
void PackRow(const std::uint8_t* from, std::size_t width, int depth, std::uint8_t* row)
{
    if (depth == 8) {
        std::memcpy(row, from, width);
        return;
    }
    const std::size_t perByte = std::size_t(8 / depth), whole = width / perByte;
    std::size_t b = 0;
#if defined(__SSE2__)
    if (depth == 4) {
        // Sixteen pixels to eight bytes: (even << 4) | odd.
        const __m128i low = _mm_set1_epi16(0x00FF);
        for (; b + 8 <= whole; b += 8) {
            const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * b));
            const __m128i pairs =
                _mm_or_si128(_mm_slli_epi16(_mm_and_si128(pixels, low), 4), _mm_srli_epi16(pixels, 8));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row + b), _mm_packus_epi16(pairs, pairs));
        }
    }
#endif
    for (; b < whole; ++b) {
        const std::uint8_t* pixels = from + b * perByte;
        unsigned bits = 0;
        for (std::size_t k = 0; k < perByte; ++k) bits = bits << depth | pixels[k];
        row[b] = std::uint8_t(bits);
    }
    if (whole * perByte < width) {
        unsigned bits = 0;
        for (std::size_t x = whole * perByte; x < whole * perByte + perByte; ++x)
            bits = bits << depth | (x < width ? from[x] : 0u);
        row[whole] = std::uint8_t(bits);
    }
}

// The first row of part k of `parts` parts of `rows` rows.
int FirstRow(int rows, int parts, int k) { return int(static_cast<long long>(rows) * k / parts); }

// The bits a pixel of a palette of `count` colours is packed in.
int DepthFor(qsizetype count) { return count <= 2 ? 1 : count <= 4 ? 2 : count <= 16 ? 4 : 8; }

// The bytes of a row of width pixels at depth bits each (its filter byte left out).
std::size_t PackedBytes(std::size_t width, int depth) { return (width * std::size_t(depth) + 7) / 8; }

using Renumbering = std::array<std::uint8_t, 256>;

// Joins the palettes of the parts into the first, in the order of the parts;
// for each part, its indices' indices in the joined palette (none changing
// in the first), and whether any changes. False when the joined palette
// would need more than 256 colours.
bool JoinPalettes(std::vector<Palette>& palettes, std::vector<Renumbering>& toJoined, std::vector<char>& renumbered)
{
    toJoined.assign(palettes.size(), Renumbering{});
    renumbered.assign(palettes.size(), 0);
    for (std::size_t i = 0; i < 256; ++i) toJoined[0][i] = std::uint8_t(i);
    Palette& joined = palettes[0];
    for (std::size_t k = 1; k < palettes.size(); ++k) {
        const QList<QRgb>& own = palettes[k].Colours();
        for (qsizetype i = 0; i < own.size(); ++i) {
            const int index = joined.IndexOf(own[i]);
            if (index < 0) return false;
            toJoined[k][std::size_t(i)] = std::uint8_t(index);
            renumbered[k] |= index != i;
        }
    }
    return true;
}

// Calls row(y, k, t) for every row y of each chosen part k of the picture's
// `parts` parts, the rows shared out evenly between `parts` threads (t being
// the thread's number).
template <typename F>
void ShareRows(int height, int parts, const std::vector<char>& chosen, F&& row)
{
    int total = 0;
    for (int k = 0; k < parts; ++k)
        if (chosen[std::size_t(k)]) total += FirstRow(height, parts, k + 1) - FirstRow(height, parts, k);
    if (total == 0) return;
    RunParts(parts, [&](int t) {
        const int from = FirstRow(total, parts, t), to = FirstRow(total, parts, t + 1);
        int counted = 0;
        for (int k = 0; k < parts; ++k) {
            if (!chosen[std::size_t(k)]) continue;
            const int first = FirstRow(height, parts, k), size = FirstRow(height, parts, k + 1) - first;
            for (int i = std::max(from, counted); i < std::min(to, counted + size); ++i) row(first + i - counted, k, t);
            counted += size;
        }
    });
}

// The picture's pixels as indices into the palette of its colours, in the
// order they first appear row by row; false when it has more than 256
// colours. Parts of the rows are mapped at once, each with a palette of its
// own; the palettes are joined in the order of the parts, and each part's
// indices are then those of the joined palette.
bool MapColours(const QImage& picture, int parts, std::uint8_t* indices, QList<QRgb>& colours)
{
    const int height = picture.height();
    std::vector<Palette> palettes(static_cast<std::size_t>(parts));
    std::vector<char> mapped(std::size_t(parts), 0);
    RunParts(parts, [&](int k) {
        mapped[std::size_t(k)] = MapRows(picture, FirstRow(height, parts, k), FirstRow(height, parts, k + 1), indices,
                                         palettes[std::size_t(k)]);
    });
    if (std::find(mapped.begin(), mapped.end(), 0) != mapped.end()) return false;
    std::vector<Renumbering> toJoined;
    std::vector<char> renumbered;
    if (!JoinPalettes(palettes, toJoined, renumbered)) return false;
    const std::size_t width = std::size_t(picture.width());
    ShareRows(height, parts, renumbered, [&](int y, int k, int) {
        std::uint8_t* row = indices + std::size_t(y) * width;
        const Renumbering& joinedIndex = toJoined[std::size_t(k)];
        for (std::size_t x = 0; x < width; ++x) row[x] = joinedIndex[row[x]];
    });
    colours = palettes[0].Colours();
    return true;
}

// The rows of a picture of at most 16 colours at 4 bits a pixel or fewer,
// each after its filter byte (0: none), made in one pass over its pixels:
// each part of the rows maps with a palette of its own straight into rows
// at 4 bits. Once the palettes are joined, the parts whose indices change
// are renumbered two pixels at a time, or, when the picture needs fewer
// bits, every row is packed again. False when the picture has more colours
// or there is no memory.
bool PackFewColours(const QImage& picture, int parts, TLargeBuffer& rows, int& depth, QList<QRgb>& colours)
{
    const int width = picture.width(), height = picture.height();
    const std::size_t rowBytes = PackedBytes(std::size_t(width), 4), stride = rowBytes + 1;
    TLargeBuffer packed = TakeLargeBuffer(stride * std::size_t(height));
    // A row of indices for each thread.
    TLargeBuffer scratch = TakeLargeBuffer(std::size_t(parts) * std::size_t(width));
    if (!packed || !scratch) return false;
    std::vector<FewColours> few(static_cast<std::size_t>(parts));
    std::vector<char> mapped(std::size_t(parts), 0);
    RunParts(parts, [&](int k) {
        FewColours& part = few[std::size_t(k)];
        std::uint8_t* indices = scratch.get() + std::size_t(k) * std::size_t(width);
        for (int y = FirstRow(height, parts, k); y < FirstRow(height, parts, k + 1); ++y) {
            if (!part.MapRow(reinterpret_cast<const QRgb*>(picture.constScanLine(y)), width, indices)) return;
            std::uint8_t* row = packed.get() + std::size_t(y) * stride;
            row[0] = 0;
            PackRow(indices, std::size_t(width), 4, row + 1);
        }
        mapped[std::size_t(k)] = 1;
    });
    if (std::find(mapped.begin(), mapped.end(), 0) != mapped.end()) return false;
    std::vector<Palette> palettes;
    for (FewColours& part : few) palettes.push_back(std::move(part.Colours()));
    few.clear();
    std::vector<Renumbering> toJoined;
    std::vector<char> renumbered;
    if (!JoinPalettes(palettes, toJoined, renumbered) || palettes[0].Colours().size() > FewColours::most) return false;
    const int bits = DepthFor(palettes[0].Colours().size());
    if (bits == 4) {
        std::vector<Renumbering> pairs(static_cast<std::size_t>(parts));
        for (int k = 1; k < parts; ++k)
            for (std::size_t b = 0; b < 256; ++b)
                pairs[std::size_t(k)][b] =
                    std::uint8_t(toJoined[std::size_t(k)][b >> 4] << 4 | toJoined[std::size_t(k)][b & 15]);
        ShareRows(height, parts, renumbered, [&](int y, int k, int) {
            std::uint8_t* row = packed.get() + std::size_t(y) * stride + 1;
            const Renumbering& pair = pairs[std::size_t(k)];
            for (std::size_t b = 0; b < rowBytes; ++b) row[b] = pair[row[b]];
            if (width % 2 != 0) row[rowBytes - 1] &= 0xF0;  // the filler bits stay 0
        });
        rows = std::move(packed);
    } else {
        const std::size_t fewerStride = PackedBytes(std::size_t(width), bits) + 1;
        TLargeBuffer fewer = TakeLargeBuffer(fewerStride * std::size_t(height));
        if (!fewer) return false;
        ShareRows(height, parts, std::vector<char>(std::size_t(parts), 1), [&](int y, int k, int t) {
            const std::uint8_t* from = packed.get() + std::size_t(y) * stride + 1;
            std::uint8_t* indices = scratch.get() + std::size_t(t) * std::size_t(width);
            const Renumbering& joinedIndex = toJoined[std::size_t(k)];
            for (std::size_t x = 0; x < std::size_t(width); ++x)
                indices[x] = joinedIndex[(from[x / 2] >> (x % 2 != 0 ? 0 : 4)) & 15];
            std::uint8_t* row = fewer.get() + std::size_t(y) * fewerStride;
            row[0] = 0;
            PackRow(indices, std::size_t(width), bits, row + 1);
        });
        rows = std::move(fewer);
    }
    depth = bits;
    colours = palettes[0].Colours();
    return true;
}

// The rows of any picture, each after its filter byte (0: none): with a
// palette of up to 256 colours (indexed), or else as RGB. False when there is
// no memory for them.
bool PackAnyColours(const QImage& picture, int parts, TLargeBuffer& rows, bool& indexed, int& depth,
                    QList<QRgb>& colours)
{
    const std::size_t width = std::size_t(picture.width()), height = std::size_t(picture.height());
    TLargeBuffer indices = TakeLargeBuffer(width * height);
    if (!indices) return false;
    colours.clear();
    indexed = MapColours(picture, parts, indices.get(), colours);
    depth = indexed ? DepthFor(colours.size()) : 8;
    const std::size_t stride = (indexed ? PackedBytes(width, depth) : width * 3) + 1;
    rows = TakeLargeBuffer(stride * height);
    if (!rows) return false;
    RunParts(parts, [&](int k) {
        for (int y = FirstRow(int(height), parts, k); y < FirstRow(int(height), parts, k + 1); ++y) {
            std::uint8_t* row = rows.get() + std::size_t(y) * stride;
            *row++ = 0;
            if (indexed) {
                PackRow(indices.get() + std::size_t(y) * width, width, depth, row);
                continue;
            }
            const QRgb* pixels = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (std::size_t x = 0; x < width; ++x) {
                row[3 * x] = std::uint8_t(qRed(pixels[x]));
                row[3 * x + 1] = std::uint8_t(qGreen(pixels[x]));
                row[3 * x + 2] = std::uint8_t(qBlue(pixels[x]));
            }
        }
    });
    return true;
}

}  // namespace

bool PackRows(const QImage& picture, int parts, TPackedRows& packed)
{
    packed.Depth = 4;
    packed.Indexed = PackFewColours(picture, parts, packed.Rows, packed.Depth, packed.Colours);
    if (!packed.Indexed && !PackAnyColours(picture, parts, packed.Rows, packed.Indexed, packed.Depth, packed.Colours))
        return false;
    const std::size_t width = std::size_t(picture.width());
    packed.RowBytes = packed.Indexed ? PackedBytes(width, packed.Depth) : width * 3;
    return true;
}
