#include "Q01Builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace q01 {

namespace {
void Reserve(Bytes& record, std::size_t end)
{
    if (record.size() < end) record.resize(end, 0);
}
}  // namespace

void PutU8(Bytes& record, std::size_t offset, std::uint8_t value)
{
    Reserve(record, offset + 1);
    record[offset] = value;
}

void PutU16(Bytes& record, std::size_t offset, std::uint16_t value)
{
    Reserve(record, offset + 2);
    record[offset] = std::uint8_t(value & 0xFF);
    record[offset + 1] = std::uint8_t(value >> 8);
}

void PutChars(Bytes& record, std::size_t offset, const std::string& text)
{
    Reserve(record, offset + text.size());
    std::copy(text.begin(), text.end(), record.begin() + std::ptrdiff_t(offset));
}

void PutAsciil(Bytes& record, std::size_t offset, const std::string& text, int maxChars)
{
    const std::size_t limit = std::size_t(std::clamp(maxChars, 0, 255));
    const std::size_t n = std::min(text.size(), limit);
    PutU8(record, offset, std::uint8_t(n));
    PutChars(record, offset + 1, text.substr(0, n));
}

Bytes Blank(std::uint8_t type, std::size_t length)
{
    Bytes record(std::max<std::size_t>(length, 1), 0);
    record[0] = type;
    return record;
}

Bytes Header(std::uint8_t pageCode)
{
    Bytes record = Blank(0x00);
    record[1] = pageCode;
    return record;
}

namespace {
Bytes TwoPoints(std::uint8_t type, std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2)
{
    Bytes record = Blank(type);
    PutU16(record, 1, x1);
    PutU16(record, 3, y1);
    PutU16(record, 5, x2);
    PutU16(record, 7, y2);
    return record;
}
}  // namespace

Bytes Line(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2, std::uint8_t type)
{
    Bytes record = TwoPoints(0x10, x1, y1, x2, y2);
    record[9] = type;
    return record;
}

Bytes Junction(std::uint16_t x, std::uint16_t y)
{
    Bytes record = Blank(0x20);
    PutU16(record, 1, x);
    PutU16(record, 3, y);
    return record;
}

Bytes AnnotationRaw(std::uint16_t x, std::uint16_t y, std::uint8_t fontChoice, std::uint8_t lengthByte,
                    const std::string& chars, std::uint8_t byte16)
{
    Bytes record = Blank(0x30, 32);
    PutU16(record, 1, x);
    PutU16(record, 3, y);
    record[5] = fontChoice;
    record[8] = lengthByte;
    const std::string text = chars.substr(0, 22);
    PutChars(record, 9, text.substr(0, 7));
    if (text.size() > 7) PutChars(record, 17, text.substr(7));
    record[16] = byte16;
    return record;
}

Bytes Annotation(std::uint16_t x, std::uint16_t y, std::uint8_t fontChoice, const std::string& text)
{
    const std::string cut = text.substr(0, 22);
    return AnnotationRaw(x, y, fontChoice, std::uint8_t(cut.size()), cut);
}

Bytes Record0x40() { return Blank(0x40); }

Bytes DocBoxRaw(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2, const Bytes& text,
                int blockCount)
{
    const std::size_t blocks = (text.size() + 15) / 16;
    Bytes record = TwoPoints(0x50, x1, y1, x2, y2);
    record[12] =
        std::uint8_t(blockCount >= 0 && blockCount <= 255 ? blockCount : int(std::min<std::size_t>(blocks, 255)));
    record.insert(record.end(), text.begin(), text.end());
    record.resize(16 + 16 * blocks, 0);
    return record;
}

Bytes DocBox(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
             const std::vector<std::string>& lines, const std::string& lineEnd)
{
    Bytes text;
    for (const std::string& line : lines) {
        text.insert(text.end(), line.begin(), line.end());
        text.insert(text.end(), lineEnd.begin(), lineEnd.end());
    }
    if (text.size() > 255 * 16) text.resize(255 * 16);
    return DocBoxRaw(x1, y1, x2, y2, text);
}

Bytes Marker(std::uint16_t x, std::uint16_t y, std::uint8_t r)
{
    Bytes record = Blank(0x60);
    PutU16(record, 1, x);
    PutU16(record, 3, y);
    record[6] = r;
    return record;
}

Bytes& operator+=(Bytes& drawing, const Bytes& record)
{
    drawing.insert(drawing.end(), record.begin(), record.end());
    return drawing;
}

Drawing& Drawing::operator+=(const Bytes& record)
{
    data_ += record;
    return *this;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace q01
