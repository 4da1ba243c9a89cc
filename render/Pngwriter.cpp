#include "render/Pngwriter.h"

#include <QFile>
#include <QList>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "base/Parallel.h"


#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr QRgb opaque = 0xFF000000u;

struct GiveBack {
    std::size_t Capacity = 0;
    void operator()(std::uint8_t* data) const { GiveBackLarge(data, Capacity); }
};
using Buffer = std::unique_ptr<std::uint8_t[], GiveBack>;

// A buffer of size bytes, not cleared (every byte used is written); null
// when there is no memory for it.
Buffer LargeBuffer(std::size_t size)
{
    std::size_t capacity = 0;
    std::uint8_t* const data = static_cast<std::uint8_t*>(TakeLarge(size, capacity));
    return Buffer(data, GiveBack{capacity});
}

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
    int shift_ = 24;                       // with multiplier 0 every pixel meets slot 0, empty
    std::array<QRgb, 1024> keys_{};        // an empty slot holds 0, which no opaque colour is
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

int pictureThreads = 0;  // 0: one per core

// Rows a part of a picture has at least.
constexpr int minPartRows = 64;

// The number of parts of `rows` rows to work on at once.
int PartsOf(int rows)
{
    const int threads = pictureThreads > 0 ? pictureThreads : std::min(ThreadsFor(0), 8);
    return std::clamp(rows / minPartRows, 1, threads);
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
bool MapColours(const QImage& picture, std::uint8_t* indices, QList<QRgb>& colours)
{
    const int height = picture.height();
    const int parts = PartsOf(height);
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
bool PackFewColours(const QImage& picture, Buffer& rows, int& depth, QList<QRgb>& colours)
{
    const int width = picture.width(), height = picture.height();
    const std::size_t rowBytes = PackedBytes(std::size_t(width), 4), stride = rowBytes + 1;
    const int parts = PartsOf(height);
    Buffer packed = LargeBuffer(stride * std::size_t(height));
    Buffer scratch = LargeBuffer(std::size_t(parts) * std::size_t(width));  // a row of indices for each thread
    if (!packed || !scratch) return false;
    std::vector<FewColours> few(static_cast<std::size_t>(parts));
    std::vector<char> mapped(std::size_t(parts), 0);
    RunParts(parts, [&](int k) {
        FewColours& colours = few[std::size_t(k)];
        std::uint8_t* indices = scratch.get() + std::size_t(k) * std::size_t(width);
        for (int y = FirstRow(height, parts, k); y < FirstRow(height, parts, k + 1); ++y) {
            if (!colours.MapRow(reinterpret_cast<const QRgb*>(picture.constScanLine(y)), width, indices)) return;
            std::uint8_t* row = packed.get() + std::size_t(y) * stride;
            row[0] = 0;
            PackRow(indices, std::size_t(width), 4, row + 1);
        }
        mapped[std::size_t(k)] = 1;
    });
    if (std::find(mapped.begin(), mapped.end(), 0) != mapped.end()) return false;
    std::vector<Palette> palettes;
    for (FewColours& colours : few) palettes.push_back(std::move(colours.Colours()));
    few.clear();
    std::vector<Renumbering> toJoined;
    std::vector<char> renumbered;
    if (!JoinPalettes(palettes, toJoined, renumbered) || palettes[0].Colours().size() > FewColours::most)
        return false;
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
        Buffer fewer = LargeBuffer(fewerStride * std::size_t(height));
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
bool PackAnyColours(const QImage& picture, Buffer& rows, bool& indexed, int& depth, QList<QRgb>& colours)
{
    const std::size_t width = std::size_t(picture.width()), height = std::size_t(picture.height());
    const int parts = PartsOf(int(height));
    Buffer indices = LargeBuffer(width * height);
    if (!indices) return false;
    colours.clear();
    indexed = MapColours(picture, indices.get(), colours);
    depth = indexed ? DepthFor(colours.size()) : 8;
    const std::size_t stride = (indexed ? PackedBytes(width, depth) : width * 3) + 1;
    rows = LargeBuffer(stride * height);
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

void PutU32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = std::uint8_t(value >> 24);
    at[1] = std::uint8_t(value >> 16);
    at[2] = std::uint8_t(value >> 8);
    at[3] = std::uint8_t(value);
}

// CRC-32 of the PNG chunks (polynomial 0xEDB88320, reflected), going on from
// crc; eight bytes a step through eight tables.
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size)
{
    static const std::array<std::array<std::uint32_t, 256>, 8> tables = [] {
        std::array<std::array<std::uint32_t, 256>, 8> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][n] = c;
        }
        for (std::uint32_t n = 0; n < 256; ++n)
            for (std::size_t k = 1; k < 8; ++k) t[k][n] = t[0][t[k - 1][n] & 0xFF] ^ (t[k - 1][n] >> 8);
        return t;
    }();
    crc = ~crc;
    for (; size >= 8; data += 8, size -= 8) {
        const std::uint32_t low = crc ^ (std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                                         std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
        crc = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
              tables[4][low >> 24] ^ tables[3][data[4]] ^ tables[2][data[5]] ^ tables[1][data[6]] ^ tables[0][data[7]];
    }
    for (; size > 0; ++data, --size) crc = tables[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// Adler-32 of the deflated data.
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t a = 1, b = 0;
    while (size > 0) {
        const std::size_t block = std::min<std::size_t>(size, 5552);  // sums stay below 2^32
        for (std::size_t i = 0; i < block; ++i) {
            a += data[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
        data += block;
        size -= block;
    }
    return b << 16 | a;
}

// The Adler-32 of two pieces of data one after the other, from theirs and
// the second one's length.
std::uint32_t Adler32Combine(std::uint32_t first, std::uint32_t second, std::size_t secondLength)
{
    constexpr std::uint32_t base = 65521;
    const std::uint32_t rest = std::uint32_t(secondLength % base);
    std::uint32_t a = first & 0xFFFF;
    std::uint32_t b = std::uint32_t((std::uint64_t(rest) * a) % base);
    a += (second & 0xFFFF) + base - 1;
    b += (first >> 16) + (second >> 16) + base - rest;
    if (a >= base) a -= base;
    if (a >= base) a -= base;
    if (b >= 2 * base) b -= 2 * base;
    if (b >= base) b -= base;
    return b << 16 | a;
}

// Deflate (RFC 1951) in one block with the fixed codes, the only repeats
// looked for being those of the bytes one pixel back and one row up: a page's
// rows are long runs of one colour and much like the rows above them, so
// this finds most of what a general compressor would, in a fraction of its
// time. The result is a zlib stream (RFC 1950).
class FixedDeflate {
public:
    FixedDeflate(std::size_t pixelBytes, std::size_t rowBytes)
    {
        for (int byte = 0; byte < 256; ++byte) literals_[std::size_t(byte)] = Symbol(byte);
        for (int length = 3; length <= 258; ++length) {
            int code = 0;
            while (code < 28 && lengthBase[code + 1] <= length) ++code;
            const Code symbol = Symbol(257 + code);
            lengths_[std::size_t(length)] = {symbol.Bits | std::uint32_t(length - lengthBase[code]) << symbol.Count,
                                             symbol.Count + lengthExtra[code]};
        }
        distances_[0] = Distance(pixelBytes);
        distances_[1] = rowBytes < 32768 ? Distance(rowBytes) : Code{};
        back_[0] = pixelBytes;
        back_[1] = rowBytes < 32768 ? rowBytes : 0;  // beyond the window: not looked for
    }

    // The most bytes Compress writes for size bytes: 9 bits a byte at worst.
    static std::size_t Bound(std::size_t size) { return size + size / 8 + 64; }

    // Writes the stream of size bytes of data to out (Bound(size) bytes); its
    // length. The data is parsed in `parts` parts at once, each from the start
    // of a row; a part goes on past the next one's start until it reaches the
    // start of one of the next part's tokens, from where the two parse alike.
    // (Parts that never meet leave the rest to the one before.) The stream is
    // the one a single parse writes.
    std::size_t Compress(const std::uint8_t* data, std::size_t size, std::uint8_t* out, std::size_t rowStride,
                         int parts)
    {
        out[0] = 0x78;  // deflate, 32 KiB window
        out[1] = 0x01;  // no dictionary; (0x78 << 8 | 0x01) is a multiple of 31
        BitWriter stream(out + 2);
        stream.Put(0b011, 3);  // the last block, fixed codes
        const std::size_t rows = rowStride == 0 ? 0 : size / rowStride;
        parts = int(std::clamp<std::size_t>(std::size_t(std::max(parts, 1)), 1, std::max<std::size_t>(rows, 1)));
        std::vector<Part> pieces;
        std::uint32_t adler = 1;
        if (parts > 1 && Split(data, size, rowStride, rows, parts, stream, pieces, adler)) {
            // The first part wrote its share into the stream itself.
            for (std::size_t k = 1; k < pieces.size() && !pieces[k - 1].RanToTheEnd; ++k)
                stream.Append(pieces[k].Bits.get(), pieces[k].From, pieces[k].To);
        } else {
            Parse(data, size, 0, size, stream, [](std::size_t, const BitWriter&) { return true; });
            adler = Adler32(data, size);
        }
        stream.Put(0, 7);  // end of block
        std::uint8_t* end = stream.Finish();
        PutU32(end, adler);
        return std::size_t(end + 4 - out);
    }

private:
    struct Code {
        std::uint32_t Bits = 0;  // in the order they are written, first bit lowest
        int Count = 0;
    };
    static constexpr int lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

    static std::uint32_t Reversed(std::uint32_t value, int count)
    {
        std::uint32_t result = 0;
        for (int i = 0; i < count; ++i) result |= ((value >> i) & 1) << (count - 1 - i);
        return result;
    }
    // The fixed code of a literal/length symbol (Huffman codes go highest bit first).
    static Code Symbol(int symbol)
    {
        if (symbol < 144) return {Reversed(0x30 + std::uint32_t(symbol), 8), 8};
        if (symbol < 256) return {Reversed(0x190 + std::uint32_t(symbol - 144), 9), 9};
        if (symbol < 280) return {Reversed(std::uint32_t(symbol - 256), 7), 7};
        return {Reversed(0xC0 + std::uint32_t(symbol - 280), 8), 8};
    }
    // A distance's fixed 5-bit code and its extra bits.
    static Code Distance(std::size_t distance)
    {
        int code = 0;
        std::size_t base = 1;
        for (;; ++code) {
            const int extra = code < 4 ? 0 : code / 2 - 1;
            if (distance < base + (std::size_t(1) << extra)) {
                return {Reversed(std::uint32_t(code), 5) | std::uint32_t(distance - base) << 5, 5 + extra};
            }
            base += std::size_t(1) << extra;
        }
    }
    // Whether the three bytes from at on (four readable) repeat those back
    // bytes before them (back 0: none are looked for).
    static bool Repeats3(const std::uint8_t* data, std::size_t at, std::size_t back)
    {
        if (back == 0 || at < back) return false;
        std::uint32_t here, there;
        std::memcpy(&here, data + at, 4);
        std::memcpy(&there, data + at - back, 4);
        constexpr std::uint32_t first3 = std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;
        return ((here ^ there) & first3) == 0;
    }
    // How many bytes from at on repeat those back bytes before them (at most 258).
    static std::size_t MatchLength(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t back)
    {
        if (at < back) return 0;
        const std::size_t most = std::min<std::size_t>(258, size - at);
        std::size_t length = 0;
        for (; length + 8 <= most; length += 8) {
            std::uint64_t here, there;
            std::memcpy(&here, data + at + length, 8);
            std::memcpy(&there, data + at + length - back, 8);
            if (here != there) {
                // The first differing byte: the lowest in memory.
                const std::uint64_t differ = here ^ there;
                const int same = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                             : std::countl_zero(differ);
                return length + std::size_t(same / 8);
            }
        }
        while (length < most && data[at + length] == data[at + length - back]) ++length;
        return length;
    }
    // Bits in the order they are written, first bit lowest, four bytes at a time.
    class BitWriter {
    public:
        explicit BitWriter(std::uint8_t* out) : begin_(out), out_(out) {}
        void Put(std::uint32_t bits, int count)
        {
            bits_ |= std::uint64_t(bits) << count_;
            count_ += count;
            if (count_ >= 32) {
                if constexpr (std::endian::native == std::endian::little) {
                    const std::uint32_t word = std::uint32_t(bits_);
                    std::memcpy(out_, &word, 4);
                } else {
                    for (int k = 0; k < 4; ++k) out_[k] = std::uint8_t(bits_ >> (8 * k));
                }
                out_ += 4;
                bits_ >>= 32;
                count_ -= 32;
            }
        }
        // How many bits have been put.
        std::uint64_t Bits() const { return std::uint64_t(out_ - begin_) * 8 + std::uint64_t(count_); }
        // Bits from .. to-1 of what another writer wrote (and finished).
        void Append(const std::uint8_t* bits, std::uint64_t from, std::uint64_t to)
        {
            while (from < to) {
                const int count = int(std::min<std::uint64_t>(32, to - from));
                std::uint64_t word = 0;
                std::memcpy(&word, bits + from / 8, 8);  // (little-endian: the first bits lowest)
                word >>= from % 8;
                Put(std::uint32_t(word) & (count == 32 ? 0xFFFFFFFFu : (1u << count) - 1), count);
                from += std::uint64_t(count);
            }
        }
        // The last bits out, the last byte filled up with zero bits; where the next byte goes.
        std::uint8_t* Finish()
        {
            while (count_ > 0) {
                *out_++ = std::uint8_t(bits_);
                bits_ >>= 8;
                count_ = std::max(0, count_ - 8);
            }
            return out_;
        }

    private:
        std::uint8_t* begin_;
        std::uint8_t* out_;
        std::uint64_t bits_ = 0;
        int count_ = 0;
    };

    // The tokens of the data from `at` on while at < stop; before each,
    // token(at, out) says whether to go on. Where it stopped.
    template <typename Token>
    std::size_t Parse(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t stop, BitWriter& to,
                      Token&& token) const
    {
        // (A writer of its own here stays in registers: the bytes it writes
        // cannot be its own fields.)
        BitWriter out = to;
        struct Back {
            BitWriter& To;
            const BitWriter& From;
            ~Back() { To = From; }
        } back{to, out};
        while (at < stop) {
            if (!token(at, std::as_const(out))) return at;
            if (at + 4 <= size && !Repeats3(data, at, back_[0]) && !Repeats3(data, at, back_[1])) {
                out.Put(literals_[data[at]].Bits, literals_[data[at]].Count);  // the quick way to a literal
                ++at;
                continue;
            }
            std::size_t best = 0, which = 0;
            for (std::size_t k = 0; k < 2; ++k) {
                const std::size_t length = back_[k] != 0 ? MatchLength(data, size, at, back_[k]) : 0;
                if (length > best) best = length, which = k;
            }
            if (best >= 3) {
                out.Put(lengths_[best].Bits, lengths_[best].Count);
                out.Put(distances_[which].Bits, distances_[which].Count);
                at += best;
            } else {
                out.Put(literals_[data[at]].Bits, literals_[data[at]].Count);
                ++at;
            }
        }
        return at;
    }

    // A part's tokens: bits From .. To-1 of Bits are its share of the stream.
    struct Part {
        Buffer Bits;
        std::uint64_t From = 0, To = 0;
        bool RanToTheEnd = false;  // it met no token of the next part
        struct Start {
            std::size_t At;
            std::uint64_t Bit;
        };
        std::vector<Start> FirstTokens;  // where its first tokens begin
        std::size_t Reached = 0;         // the end of those
        std::uint32_t Adler = 1;         // of its rows
    };

    // The parts' shares of the stream, the first one's written to `first`,
    // and the data's Adler-32; false when there is no memory for them (and
    // nothing was written).
    bool Split(const std::uint8_t* data, std::size_t size, std::size_t stride, std::size_t rows, int parts,
               BitWriter& first, std::vector<Part>& pieces, std::uint32_t& adler) const
    {
        std::vector<std::size_t> starts(std::size_t(parts) + 1);
        for (int k = 0; k <= parts; ++k) starts[std::size_t(k)] = rows * std::size_t(k) / std::size_t(parts) * stride;
        starts[std::size_t(parts)] = size;
        const std::size_t window = std::max<std::size_t>(std::size_t(1) << 16, 2 * stride);
        try {
            pieces.resize(std::size_t(parts));
            for (int k = 1; k < parts; ++k) {
                Part& part = pieces[std::size_t(k)];
                // A part may go on to the end of the data; 8 bytes more for Append's reads.
                part.Bits = LargeBuffer(Bound(size - starts[std::size_t(k)]) + 8);
                if (!part.Bits) return false;
                part.FirstTokens.reserve(std::min(window, size - starts[std::size_t(k)]));
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::vector<BitWriter> own;
        own.reserve(std::size_t(parts));
        for (Part& part : pieces) own.emplace_back(part.Bits.get());
        const auto writer = [&](int k) -> BitWriter& { return k == 0 ? first : own[std::size_t(k)]; };
        // First the tokens each part after the first begins with, ...
        RunParts(parts, [&](int k) {
            if (k == 0) return;
            Part& part = pieces[std::size_t(k)];
            const std::size_t from = starts[std::size_t(k)];
            part.Reached = Parse(data, size, from, std::min(size, from + window), writer(k),
                                 [&part](std::size_t at, const BitWriter& out) {
                                     part.FirstTokens.push_back({at, out.Bits()});
                                     return true;
                                 });
        });
        // ... then each part on to the next one's start and until it meets one of them.
        RunParts(parts, [&](int k) {
            Part& part = pieces[std::size_t(k)];
            BitWriter& out = writer(k);
            const std::size_t next = starts[std::size_t(k) + 1];
            part.Adler = Adler32(data + starts[std::size_t(k)], next - starts[std::size_t(k)]);
            std::size_t at = k == 0 ? starts[0] : part.Reached;
            at = Parse(data, size, at, next, out, [](std::size_t, const BitWriter&) { return true; });
            if (k + 1 == parts) {
                part.RanToTheEnd = true;
            } else {
                const Part& following = pieces[std::size_t(k) + 1];
                std::size_t i = 0;
                bool met = false, looking = true;
                // (Only within the next part's rows: beyond them it has
                // handed over to the part after it.)
                const std::size_t nextEnd = starts[std::size_t(k) + 2];
                Parse(data, size, at, size, out, [&](std::size_t position, const BitWriter&) {
                    if (!looking) return true;
                    if (position >= nextEnd) {
                        looking = false;
                        return true;
                    }
                    while (i < following.FirstTokens.size() && following.FirstTokens[i].At < position) ++i;
                    if (i < following.FirstTokens.size() && following.FirstTokens[i].At == position) {
                        met = true;
                        return false;
                    }
                    if (i == following.FirstTokens.size()) looking = false;  // past them: on to the end
                    return true;
                });
                part.RanToTheEnd = !met;
                if (met) pieces[std::size_t(k) + 1].From = following.FirstTokens[i].Bit;
            }
            part.To = out.Bits();
            if (k > 0) out.Finish();
        });
        adler = pieces[0].Adler;
        for (int k = 1; k < parts; ++k)
            adler = Adler32Combine(adler, pieces[std::size_t(k)].Adler,
                                   starts[std::size_t(k) + 1] - starts[std::size_t(k)]);
        return true;
    }

    std::array<Code, 256> literals_;
    std::array<Code, 259> lengths_;
    std::array<Code, 2> distances_;
    std::array<std::size_t, 2> back_{};
};

// A PNG file being written, chunk by chunk, each with its length and CRC.
class PngFile {
public:
    explicit PngFile(QIODevice& device) : file_(device) {}

    bool Open()
    {
        static const char signature[] = "\x89PNG\r\n\x1a\n";
        return (file_.isOpen() || file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) && Put(signature, 8);
    }

    bool Chunk(const char* type, const std::uint8_t* data, std::size_t size)
    {
        std::uint8_t head[8];
        PutU32(head, std::uint32_t(size));
        std::memcpy(head + 4, type, 4);
        std::uint8_t tail[4];
        PutU32(tail, Crc32(Crc32(0, head + 4, 4), data, size));
        return Put(head, 8) && (size == 0 || Put(data, size)) && Put(tail, 4);
    }

    bool Close()
    {
        if (!Chunk("IEND", nullptr, 0)) return false;
        auto* file = qobject_cast<QFileDevice*>(&file_);
        return !file || file->flush();
    }

private:
    bool Put(const void* data, std::size_t size)
    {
        return file_.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
    }

    QIODevice& file_;
};

}  // namespace

void TPngWriter::SetThreads(int threads) { pictureThreads = std::max(0, threads); }

bool TPngWriter::Write(const QImage& picture, const QString& path)
{
    QFile file(path);
    return Write(picture, file);
}

bool TPngWriter::Write(const QImage& picture, QIODevice& device)
{
    if (picture.isNull()) return false;
    const QImage source = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    const std::size_t width = std::size_t(source.width()), height = std::size_t(source.height());
    // The rows, each after its filter byte (0: none); when there is no
    // memory for them, no file is written.
    Buffer rows;
    QList<QRgb> colours;
    int depth = 4;
    bool indexed = PackFewColours(source, rows, depth, colours);
    if (!indexed && !PackAnyColours(source, rows, indexed, depth, colours)) return false;
    const int parts = PartsOf(int(height));
    const std::size_t rowBytes = indexed ? PackedBytes(width, depth) : width * 3;
    const std::size_t size = (rowBytes + 1) * height;
    FixedDeflate deflate(indexed ? 1 : 3, rowBytes + 1);  // one pixel (or a byte of them) back, one row up
    Buffer deflated = LargeBuffer(FixedDeflate::Bound(size));
    if (!deflated) return false;
    const std::size_t deflatedSize = deflate.Compress(rows.get(), size, deflated.get(), rowBytes + 1, parts);
    rows.reset();

    PngFile png(device);
    if (!png.Open()) return false;
    std::uint8_t header[13];
    PutU32(header, std::uint32_t(width));
    PutU32(header + 4, std::uint32_t(height));
    header[8] = std::uint8_t(depth);
    header[9] = indexed ? 3 : 2;  // palette, or RGB
    header[10] = header[11] = header[12] = 0;  // deflate, the five filters, no interlace
    if (!png.Chunk("IHDR", header, sizeof header)) return false;
    if (indexed) {
        std::vector<std::uint8_t> palette;
        for (const QRgb colour : colours)
            palette.insert(palette.end(),
                           {std::uint8_t(qRed(colour)), std::uint8_t(qGreen(colour)), std::uint8_t(qBlue(colour))});
        if (!png.Chunk("PLTE", palette.data(), palette.size())) return false;
    }
    constexpr std::size_t chunk = std::size_t(1) << 20;
    for (std::size_t at = 0; at < deflatedSize; at += chunk)
        if (!png.Chunk("IDAT", deflated.get() + at, std::min(chunk, deflatedSize - at))) return false;
    return png.Close();
}
