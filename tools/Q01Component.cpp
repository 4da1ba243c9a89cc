#include "Q01Component.h"

#include <algorithm>

namespace q01 {
namespace {

constexpr std::uint8_t componentType = 0x70;

// A length-prefixed text field of `fieldChars` characters at `at`. The text
// is cut to the field; `rawLength` replaces the length byte.
void PutText(Bytes& out, std::size_t at, std::size_t fieldChars, const std::string& text,
             std::optional<std::uint8_t> rawLength)
{
    const std::size_t n = std::min(text.size(), fieldChars);
    out[at] = rawLength ? *rawLength : std::uint8_t(n);
    for (std::size_t i = 0; i < n; ++i) out[at + 1 + i] = std::uint8_t(text[i]);
}

std::size_t RoundUp16(std::uint64_t n) { return std::size_t((n + 15) / 16 * 16); }

}  // namespace

std::size_t ComponentRecordLength(std::size_t partCount, std::size_t pinCount, std::uint16_t factor1,
                                  std::uint16_t factor2)
{
    return 64 + 16 * ((partCount + 1) / 2) + 16 * pinCount + RoundUp16(std::uint64_t(factor1) * factor2);
}

Bytes ComponentRecord(const Component& c)
{
    const std::size_t partCount = c.rawPartCount ? *c.rawPartCount : std::min<std::size_t>(c.parts.size(), 255);
    const std::size_t pinCount = c.rawPinCount ? *c.rawPinCount : std::min<std::size_t>(c.pins.size(), 255);
    const std::size_t blocks = (partCount + 1) / 2;
    const std::size_t area = RoundUp16(std::uint64_t(c.pictureAreaFactor1) * c.pictureAreaFactor2);

    Bytes out(ComponentRecordLength(partCount, pinCount, c.pictureAreaFactor1, c.pictureAreaFactor2), 0);

    // Head.
    out[0] = componentType;
    PutText(out, 1, 10, c.designation, c.rawDesignationLength);
    PutU16(out, 12, c.anchorX);
    PutU16(out, 14, c.anchorY);
    PutText(out, 17, 10, c.packageText, c.rawPackageLength);
    PutU16(out, 28, c.pictureAreaFactor1);
    PutU16(out, 30, c.pictureAreaFactor2);
    out[33] = c.rawOrientation ? *c.rawOrientation : std::uint8_t((c.rotation & 3) | (c.hFlip ? 4 : 0));
    PutU16(out, 35, c.designationX);
    PutU16(out, 37, c.designationY);
    PutU16(out, 39, c.valueX);
    PutU16(out, 41, c.valueY);
    out[43] = c.partNumber;
    out[44] = std::uint8_t(partCount);
    out[47] = c.pinStyle;
    out[49] = std::uint8_t(pinCount);
    PutText(out, 53, 10, c.valueText, c.rawValueLength);

    // Part blocks: descriptor k in block k / 2 at byte 4 * (k % 2).
    std::size_t at = 64;
    for (std::size_t k = 0; k < partCount && k < c.parts.size(); ++k) {
        const std::size_t d = at + 16 * (k / 2) + 4 * (k % 2);
        out[d] = c.parts[k].pictureIndex;
        out[d + 2] = c.parts[k].widthUnits;
        out[d + 3] = c.parts[k].heightUnits;
    }
    at += 16 * blocks;

    // Pin records.
    for (std::size_t i = 0; i < pinCount && i < c.pins.size(); ++i) {
        const ComponentPin& p = c.pins[i];
        const std::size_t r = at + 16 * i;
        out[r] = p.pinPart;
        out[r + 1] = p.rawFlags ? *p.rawFlags
                                : std::uint8_t((p.circle ? 1 : 0) | (p.wedge ? 2 : 0) | (p.hidden ? 4 : 0) |
                                               ((p.electricalType & 0x0F) << 4));
        PutText(out, r + 2, 4, p.number, p.rawNumberLength);
        PutText(out, r + 7, 6, p.name, p.rawNameLength);
        out[r + 14] = p.side;
        out[r + 15] = p.offsetUnits;
    }
    at += 16 * pinCount;

    // Picture area.
    std::copy_n(c.pictureArea.begin(), std::min(area, c.pictureArea.size()), out.begin() + std::ptrdiff_t(at));
    return out;
}

Bytes PartPicture(std::uint8_t strange, const std::vector<std::string>& rows)
{
    std::size_t width = 0;
    for (const std::string& row : rows) width = std::max(width, row.size());
    const std::size_t rowBytes = (width + 7) / 8;

    Bytes out(1 + rowBytes * rows.size(), 0);
    out[0] = strange;
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == '#') out[1 + rowBytes * y + x / 8] |= std::uint8_t(0x80 >> (x % 8));
    return out;
}

std::uint8_t AddPicture(Component& component, const Bytes& picture)
{
    Bytes& area = component.pictureArea;
    area.resize(RoundUp16(area.size()), 0);
    const std::size_t index = area.size() / 16 + 1;
    area.insert(area.end(), picture.begin(), picture.end());
    area.resize(RoundUp16(area.size()), 0);
    component.pictureAreaFactor1 = std::uint16_t(std::min<std::size_t>(area.size(), 0xFFFF));
    component.pictureAreaFactor2 = 1;
    return std::uint8_t(index);
}

Bytes SmallComponent(std::uint16_t x, std::uint16_t y, const std::string& designation)
{
    Component c;
    c.designation = designation;
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 3}};
    return ComponentRecord(c);
}

}  // namespace q01
