#include "app/Pngwriter.h"

#include <QFile>
#include <QList>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
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

private:
    static constexpr int slotBits = 10;
    static constexpr std::uint32_t slotCount = 1u << slotBits;  // never more than a quarter full
    std::array<QRgb, slotCount> keys_{};
    std::array<std::uint8_t, slotCount> indices_{};
    QList<QRgb> colours_;
};

// The picture's pixels as indices into the palette of its colours, row after
// row; false when it has more than 256 colours.
bool MapColours(const QImage& picture, std::uint8_t* indices, QList<QRgb>& colours)
{
    const int width = picture.width(), height = picture.height();
    Palette palette;
    bool full = false;
    auto index = [&](QRgb pixel) {
        const int i = palette.IndexOf(pixel | opaque);
        full |= i < 0;
        return std::uint8_t(i);
    };
    for (int y = 0; y < height && !full; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        std::uint8_t* out = indices + std::size_t(y) * std::size_t(width);
        int x = 0;
#if defined(__SSE2__)
        // Four pixels at a time: at once when all four are the colour of the
        // last one before them (most of a page is runs of one colour).
        const __m128i alpha = _mm_set1_epi32(int(opaque));
        QRgb last = 0;
        std::uint32_t four = 0;
        for (; x + 4 <= width; x += 4) {
            const __m128i pixels = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), alpha);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(pixels, _mm_set1_epi32(int(last)))) == 0xFFFF) {
                std::memcpy(out + x, &four, 4);
                continue;
            }
            for (int k = 0; k < 4; ++k) out[x + k] = index(row[x + k]);
            last = row[x + 3] | opaque;
            four = 0x01010101u * out[x + 3];
        }
#endif
        for (; x < width; ++x) out[x] = index(row[x]);
    }
    if (full) return false;
    colours = palette.Colours();
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

    // Writes the stream of size bytes of data to out (Bound(size) bytes); its length.
    std::size_t Compress(const std::uint8_t* data, std::size_t size, std::uint8_t* out)
    {
        out_ = out;
        out_[0] = 0x78;  // deflate, 32 KiB window
        out_[1] = 0x01;  // no dictionary; (0x78 << 8 | 0x01) is a multiple of 31
        out_ += 2;
        Put(0b011, 3);  // the last block, fixed codes
        for (std::size_t at = 0; at < size;) {
            if (at + 4 <= size && !Repeats3(data, at, back_[0]) && !Repeats3(data, at, back_[1])) {
                Put(literals_[data[at]].Bits, literals_[data[at]].Count);  // the quick way to a literal
                ++at;
                continue;
            }
            std::size_t best = 0, which = 0;
            for (std::size_t k = 0; k < 2; ++k) {
                const std::size_t length = back_[k] != 0 ? MatchLength(data, size, at, back_[k]) : 0;
                if (length > best) best = length, which = k;
            }
            if (best >= 3) {
                Put(lengths_[best].Bits, lengths_[best].Count);
                Put(distances_[which].Bits, distances_[which].Count);
                at += best;
            } else {
                Put(literals_[data[at]].Bits, literals_[data[at]].Count);
                ++at;
            }
        }
        Put(0, 7);  // end of block
        while (count_ > 0) {
            *out_++ = std::uint8_t(bits_);
            bits_ >>= 8;
            count_ = std::max(0, count_ - 8);
        }
        PutU32(out_, Adler32(data, size));
        out_ += 4;
        return std::size_t(out_ - out);
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
    void Put(std::uint32_t bits, int count)
    {
        bits_ |= std::uint64_t(bits) << count_;
        count_ += count;
        if (count_ >= 32) {
            for (int k = 0; k < 4; ++k) out_[k] = std::uint8_t(bits_ >> (8 * k));
            out_ += 4;
            bits_ >>= 32;
            count_ -= 32;
        }
    }

    std::array<Code, 256> literals_;
    std::array<Code, 259> lengths_;
    std::array<Code, 2> distances_;
    std::array<std::size_t, 2> back_{};
    std::uint8_t* out_ = nullptr;
    std::uint64_t bits_ = 0;
    int count_ = 0;
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
    // Buffers the size of the picture, not cleared (every byte is written);
    // null when there is no memory for them, and then no file is written.
    auto buffer = [](std::size_t size) {
        return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
    };
    std::unique_ptr<std::uint8_t[]> indices = buffer(width * height);
    if (!indices) return false;
    QList<QRgb> colours;
    const bool indexed = MapColours(source, indices.get(), colours);
    const int depth = !indexed ? 8 : colours.size() <= 2 ? 1 : colours.size() <= 4 ? 2 : colours.size() <= 16 ? 4 : 8;

    // The rows, each after its filter byte (0: none).
    const std::size_t rowBytes = indexed ? (width * std::size_t(depth) + 7) / 8 : width * 3;
    const std::size_t size = (rowBytes + 1) * height;
    std::unique_ptr<std::uint8_t[]> rows = buffer(size);
    if (!rows) return false;
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = rows.get() + y * (rowBytes + 1);
        *row++ = 0;
        if (indexed) {
            const std::uint8_t* from = indices.get() + y * width;
            if (depth == 8) {
                std::memcpy(row, from, width);
                continue;
            }
            // Pixels packed from the high bits of each byte down; the last
            // byte filled up with zero bits.
            const std::size_t perByte = std::size_t(8 / depth), whole = width / perByte;
            std::size_t b = 0;
#if defined(__SSE2__)
            if (depth == 4) {
                // Sixteen pixels to eight bytes: (even << 4) | odd.
                const __m128i low = _mm_set1_epi16(0x00FF);
                for (; b + 8 <= whole; b += 8) {
                    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * b));
                    const __m128i pairs = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(pixels, low), 4),
                                                       _mm_srli_epi16(pixels, 8));
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
            if (whole < rowBytes) {
                unsigned bits = 0;
                for (std::size_t x = whole * perByte; x < whole * perByte + perByte; ++x)
                    bits = bits << depth | (x < width ? from[x] : 0u);
                row[whole] = std::uint8_t(bits);
            }
        } else {
            const QRgb* pixels = reinterpret_cast<const QRgb*>(source.constScanLine(int(y)));
            for (std::size_t x = 0; x < width; ++x) {
                row[3 * x] = std::uint8_t(qRed(pixels[x]));
                row[3 * x + 1] = std::uint8_t(qGreen(pixels[x]));
                row[3 * x + 2] = std::uint8_t(qBlue(pixels[x]));
            }
        }
    }
    indices.reset();
    FixedDeflate deflate(indexed ? 1 : 3, rowBytes + 1);  // one pixel (or a byte of them) back, one row up
    std::unique_ptr<std::uint8_t[]> deflated = buffer(FixedDeflate::Bound(size));
    if (!deflated) return false;
    const std::size_t deflatedSize = deflate.Compress(rows.get(), size, deflated.get());
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
