#pragma once
// Builds drawing files (*.q01) record by record from readable parameters.
//
// Every function returns the exact bytes of one record; bytes that the record
// layout does not name are zero. Integers are written little-endian. A drawing
// file is its records laid end to end: collect them in a Drawing (or append
// to a Bytes with +=) and write the result with WriteFile.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace q01 {
using Bytes = std::vector<std::uint8_t>;

// Byte-level writers. Each one grows `record` with zeros when it is too short
// for what is written.
void PutU8(Bytes& record, std::size_t offset, std::uint8_t value);
void PutU16(Bytes& record, std::size_t offset, std::uint16_t value);
// Puts the bytes of `text` at `offset`, one character per byte.
void PutChars(Bytes& record, std::size_t offset, const std::string& text);
// A length-prefixed text: one length byte at `offset`, then the characters.
// The text is cut to `maxChars` (and never more than 255) characters.
void PutAsciil(Bytes& record, std::size_t offset, const std::string& text, int maxChars);

// A record of `length` zero bytes with the given type byte.
Bytes Blank(std::uint8_t type, std::size_t length = 16);

// 0x00, 16 bytes: page code in byte 1.
Bytes Header(std::uint8_t pageCode);

// 0x10, 16 bytes: X1, Y1, X2, Y2 at 1, 3, 5, 7; line type number in byte 9.
Bytes Line(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2, std::uint8_t type);

// 0x20, 16 bytes: X, Y at 1, 3.
Bytes Junction(std::uint16_t x, std::uint16_t y);

// 0x30, 32 bytes: X, Y at 1, 3, font choice in byte 5, the text length in
// byte 8 and the text in bytes 9..15 and 17..31 (byte 16, the first byte of
// the second block, is skipped and holds `byte16`). The text is cut to 22
// characters.
Bytes Annotation(std::uint16_t x, std::uint16_t y, std::uint8_t fontChoice, const std::string& text);
// The same with the length byte given explicitly, whatever the characters:
// up to 22 of `chars` are placed as above.
Bytes AnnotationRaw(std::uint16_t x, std::uint16_t y, std::uint8_t fontChoice, std::uint8_t lengthByte,
                    const std::string& chars, std::uint8_t byte16 = 0x30);

// 0x40, 16 bytes, nothing else set.
Bytes Record0x40();

// 0x50, 16 + 16 * n bytes: X1, Y1, X2, Y2 at 1, 3, 5, 7; n in byte 12; the
// lines, each followed by `lineEnd`, from byte 16 on, padded with zeros to
// whole 16-byte blocks (at most 255 blocks; a longer text is cut).
Bytes DocBox(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
             const std::vector<std::string>& lines, const std::string& lineEnd = "\r\n");
// The same with the text bytes given as they are. n = `blockCount` when it is
// 0..255, otherwise the number of blocks the text fills; the record holds the
// text padded to whole blocks, whatever n says (so n can claim more or fewer
// blocks than follow).
Bytes DocBoxRaw(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2, const Bytes& text,
                int blockCount = -1);

// 0x60, 16 bytes: X, Y at 1, 3; dot radius r in byte 6.
Bytes Marker(std::uint16_t x, std::uint16_t y, std::uint8_t r);

// Appends a record to a drawing. Bytes is a std::vector, so this operator is
// not found by argument lookup: say `using q01::operator+=;` where it is used.
Bytes& operator+=(Bytes& drawing, const Bytes& record);

// A drawing file under construction: records appended in file order.
class Drawing {
public:
    Drawing& operator+=(const Bytes& record);
    const Bytes& Data() const { return data_; }
    operator const Bytes&() const { return data_; }
    std::size_t Size() const { return data_.size(); }

private:
    Bytes data_;
};

// Writes the bytes as a file (created or replaced); throws std::runtime_error
// when the file cannot be written.
void WriteFile(const std::string& path, const Bytes& bytes);
}  // namespace q01
