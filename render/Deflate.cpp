#include "render/Deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "base/Checksum.h"
#include "base/Parallel.h"

namespace {

void PutU32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = std::uint8_t(value >> 24);
    at[1] = std::uint8_t(value >> 16);
    at[2] = std::uint8_t(value >> 8);
    at[3] = std::uint8_t(value);
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
                const int same =
                    std::endian::native == std::endian::little ? std::countr_zero(differ) : std::countl_zero(differ);
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
        TLargeBuffer Bits;
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
                part.Bits = TakeLargeBuffer(Bound(size - starts[std::size_t(k)]) + 8);
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

}  // namespace

std::size_t DeflateBound(std::size_t size) { return FixedDeflate::Bound(size); }

std::size_t DeflateRows(const std::uint8_t* data, std::size_t size, std::size_t pixelBytes, std::size_t rowStride,
                        int parts, std::uint8_t* out)
{
    FixedDeflate deflate(pixelBytes, rowStride);
    return deflate.Compress(data, size, out, rowStride, parts);
}
