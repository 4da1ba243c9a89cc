#include "Q01DenseSheet.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Q01Component.h"

namespace q01 {
namespace {

// A small fixed pseudo-random sequence (64-bit LCG, high bits), the same on
// every platform.
class Sequence {
public:
    explicit Sequence(std::uint32_t seed) : state_(0x9E3779B97F4A7C15ull ^ seed) {}
    std::uint32_t Next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return std::uint32_t(state_ >> 33);
    }
    // low .. high, both included.
    int Between(int low, int high) { return high <= low ? low : low + int(Next() % std::uint32_t(high - low + 1)); }

private:
    std::uint64_t state_;
};

std::uint16_t U16(int v) { return std::uint16_t(std::clamp(v, 0, 65535)); }

// A body picture: its outline, a notch and a scatter of ink inside.
std::vector<std::string> BodyRows(int width, int height, Sequence& random)
{
    std::vector<std::string> rows(std::size_t(height), std::string(std::size_t(width), '.'));
    auto set = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height) rows[std::size_t(y)][std::size_t(x)] = '#';
    };
    for (int x = 0; x < width; ++x) set(x, 0), set(x, height - 1);
    for (int y = 0; y < height; ++y) set(0, y), set(width - 1, y);
    for (int d = 0; d < 6; ++d) set(width / 2 - 6 + d, d), set(width / 2 + 6 - d, d);  // notch
    for (int k = 0; k < width * height / 40; ++k) set(random.Between(2, width - 3), random.Between(2, height - 3));
    return rows;
}

const char* const pinNames[] = {"A0", "A1", "D7", "CLK", "RST", "VCC", "GND", "EN", "Q", "D", "R/W", "OE"};

std::string PinName(int k, int i)
{
    switch ((k + i) % 9) {
    case 7: return std::string{char('R' | 0x80), char('S' | 0x80)};            // marked: "/RS"
    case 8: return std::string{char('C' | 0x80), char('S' | 0x80), '/', 'D'};  // marked first half: "D/CS"
    default: return pinNames[(k * 5 + i) % std::size(pinNames)];
    }
}

Bytes DenseComponent(int i, const DenseSheetLayout& sheet, Sequence& random)
{
    Component c;
    const bool quad = i % 2 == 0;  // pins on four sides, else on two
    const int widthUnits = quad ? 6 : random.Between(4, 7);
    const int heightUnits = quad ? 6 : 11;
    const int bodyWidth = 10 * widthUnits + 1, bodyHeight = 10 * heightUnits + 1;

    c.designation = "U" + std::to_string(i + 1);
    c.packageText = i % 3 == 0 ? "SO20" : (i % 3 == 1 ? "DIP20" : "TSSOP20");
    c.valueText = "74HC" + std::to_string(100 + i % 500);
    c.anchorX = U16(random.Between(60, sheet.pageWidth - 60));
    c.anchorY = U16(random.Between(60, sheet.pageHeight - 60));
    c.rotation = std::uint8_t((i / 2) % 4);
    c.hFlip = (i / 8) % 2 == 1;
    c.designationX = U16(c.anchorX + 4);
    c.designationY = U16(c.anchorY - 18);
    c.valueX = U16(c.anchorX + 4);
    c.valueY = U16(c.anchorY + 6);
    c.pinStyle = std::uint8_t(i % 23 == 22 ? 5 : i % 5);

    const bool twoParts = i % 10 == 9;
    const ComponentPart part{0, std::uint8_t(widthUnits), std::uint8_t(heightUnits)};
    c.parts = twoParts ? std::vector<ComponentPart>{part, part} : std::vector<ComponentPart>{part};
    c.partNumber = std::uint8_t(twoParts ? 1 + (i / 10) % 2 : 1);
    const std::uint8_t picture = AddPicture(c, PartPicture(std::uint8_t(i), BodyRows(bodyWidth, bodyHeight, random)));
    for (ComponentPart& p : c.parts) p.pictureIndex = picture;

    const int pinCount = std::clamp(sheet.pinsPerComponent, 0, 20);
    for (int k = 0; k < pinCount; ++k) {
        ComponentPin pin;
        if (quad) {
            pin.side = std::uint8_t(k / 5);
            pin.offsetUnits = std::uint8_t(1 + k % 5);
        } else {
            pin.side = std::uint8_t(k < 10 ? sideLeft : sideRight);
            pin.offsetUnits = std::uint8_t(1 + k % 10);
        }
        pin.number = std::to_string(k + 1);
        pin.name = PinName(k, i);
        pin.circle = k % 6 == 0;
        pin.wedge = k % 7 == 3;
        pin.hidden = k % 19 == 18;
        pin.electricalType = std::uint8_t(k % 7);
        pin.pinPart = std::uint8_t(twoParts ? 1 + k % 2 : 1);
        c.pins.push_back(pin);
    }
    return ComponentRecord(c);
}

Bytes DenseLine(int i, const DenseSheetLayout& sheet, Sequence& random)
{
    const int x = random.Between(20, sheet.pageWidth - 20), y = random.Between(20, sheet.pageHeight - 20);
    const int length = random.Between(20, 400);
    const int kind = random.Between(0, 19);  // 9 in 20 across, 9 down, 2 slanted
    int x2 = x, y2 = y;
    if (kind < 9)
        x2 = x + (kind % 2 ? length : -length);
    else if (kind < 18)
        y2 = y + (kind % 2 ? length : -length);
    else
        x2 = x + random.Between(-length, length), y2 = y + (kind % 2 ? length : -length);
    return Line(U16(x), U16(y), U16(x2), U16(y2), std::uint8_t(1 + i % 5));
}

std::string AnnotationText(int i, Sequence& random)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 _+-";
    std::string text = "N" + std::to_string(i);
    const int length = random.Between(3, 22);
    while (int(text.size()) < length) text += letters[random.Between(0, int(sizeof letters) - 2)];
    return text.substr(0, 22);
}

}  // namespace

DenseSheetLayout DenseA0() { return DenseSheetLayout{}; }

DenseSheetLayout DenseA2()
{
    DenseSheetLayout sheet;
    sheet.pageCode = 2;
    sheet.pageWidth = 2230;
    sheet.pageHeight = 1570;
    sheet.components = 200;
    sheet.lines = 2000;
    sheet.junctions = 500;
    sheet.annotations = 100;
    sheet.docBoxes = 5;
    sheet.markers = 50;
    return sheet;
}

Bytes DenseSheet(const DenseSheetLayout& sheet)
{
    Sequence random(sheet.seed);
    std::vector<Bytes> records;
    for (int i = 0; i < sheet.components; ++i) records.push_back(DenseComponent(i, sheet, random));
    for (int i = 0; i < sheet.lines; ++i) records.push_back(DenseLine(i, sheet, random));
    for (int i = 0; i < sheet.junctions; ++i)
        records.push_back(
            Junction(U16(random.Between(0, sheet.pageWidth - 1)), U16(random.Between(0, sheet.pageHeight - 1))));
    for (int i = 0; i < sheet.annotations; ++i)
        records.push_back(Annotation(U16(random.Between(0, sheet.pageWidth - 100)),
                                     U16(random.Between(20, sheet.pageHeight - 1)),
                                     std::uint8_t(i % 11 == 10 ? 7 : i % 5), AnnotationText(i, random)));
    for (int i = 0; i < sheet.docBoxes; ++i) {
        const int x = random.Between(20, sheet.pageWidth - 340), y = random.Between(20, sheet.pageHeight - 240);
        std::vector<std::string> lines;
        for (int k = 0; k < sheet.docBoxLines; ++k)
            lines.push_back("Box " + std::to_string(i + 1) + " line " + std::to_string(k + 1));
        records.push_back(DocBox(U16(x), U16(y), U16(x + 320), U16(y + 220), lines));
    }
    for (int i = 0; i < sheet.markers; ++i)
        records.push_back(Marker(U16(random.Between(0, sheet.pageWidth - 1)),
                                 U16(random.Between(0, sheet.pageHeight - 1)), std::uint8_t(i % 9)));

    // Interleave the kinds.
    for (std::size_t k = records.size(); k > 1; --k) std::swap(records[k - 1], records[random.Next() % k]);

    Bytes out = Header(sheet.pageCode);
    for (const Bytes& record : records) out.insert(out.end(), record.begin(), record.end());
    return out;
}

}  // namespace q01
