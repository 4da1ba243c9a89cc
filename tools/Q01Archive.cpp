#include "Q01Archive.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Q01Component.h"

namespace q01 {
namespace {

// A small fixed pseudo-random sequence (64-bit LCG, high bits).
class Sequence {
public:
    explicit Sequence(std::uint64_t seed) : state_(0x9E3779B97F4A7C15ull ^ seed) {}
    std::uint32_t Next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return std::uint32_t(state_ >> 33);
    }
    int Below(int n) { return n <= 1 ? 0 : int(Next() % std::uint32_t(n)); }

private:
    std::uint64_t state_;
};

constexpr int sheetsPerRevision = 20;

struct Page {
    std::uint8_t code;
    int width, height;
};
// A4, A3, A2, A1, A0 with the page sizes of their codes.
constexpr Page pages[] = {{0, 1110, 720}, {1, 1550, 1110}, {2, 2230, 1570}, {3, 3150, 2230}, {4, 4460, 3150}};

const char* const chips[] = {"LM741", "TL071",  "NE555",  "74HC00",    "74HC74",
                             "LM317", "LM7805", "MAX232", "ATMEGA328", "CD4017"};
const char* const chipPackages[] = {"DIP8", "SO8", "DIP14", "SO14", "TO220"};
const char* const resistors[] = {"1k", "2k2", "4k7", "10k", "22k", "47k", "100k", "330R"};
const char* const capacitors[] = {"100n", "10n", "1u", "10u", "47u", "22p"};
const char* const labels[] = {"VCC", "GND", "VIN", "VOUT", "CLK", "RESET", "TX", "RX", "SDA", "SCL", "+5V", "+12V"};

ComponentPin Pin(const std::string& number, std::uint8_t side, std::uint8_t offset)
{
    ComponentPin p;
    p.number = number;
    p.side = side;
    p.offsetUnits = offset;
    return p;
}

Bytes Chip(const std::string& designation, const std::string& value, const std::string& package, int x, int y)
{
    Component c;
    c.designation = designation;
    c.valueText = value;
    c.packageText = package;
    c.anchorX = std::uint16_t(x), c.anchorY = std::uint16_t(y);
    c.designationX = std::uint16_t(x), c.designationY = std::uint16_t(y - 18);
    c.valueX = std::uint16_t(x), c.valueY = std::uint16_t(y + 55);
    c.parts.assign(1, ComponentPart{0, 4, 5});
    for (int k = 0; k < 4; ++k) {
        c.pins.push_back(Pin(std::to_string(k + 1), sideLeft, std::uint8_t(k + 1)));
        c.pins.push_back(Pin(std::to_string(8 - k), sideRight, std::uint8_t(k + 1)));
    }
    std::vector<std::string> rows(51, std::string(41, '.'));
    for (int i = 0; i < 41; ++i) rows[0][std::size_t(i)] = rows[50][std::size_t(i)] = '#';
    for (auto& row : rows) row[0] = row[40] = '#';
    c.parts[0].pictureIndex = AddPicture(c, PartPicture(9, rows));
    return ComponentRecord(c);
}

Bytes TwoPin(const std::string& designation, const std::string& value, int x, int y, bool turned)
{
    Component c;
    c.designation = designation;
    c.valueText = "0805";
    c.packageText = value;
    c.anchorX = std::uint16_t(x), c.anchorY = std::uint16_t(y);
    c.rotation = turned ? 1 : 0;
    c.designationX = std::uint16_t(x + 4), c.designationY = std::uint16_t(y - 22);
    c.valueX = std::uint16_t(x + 4), c.valueY = std::uint16_t(y + 22);
    c.pinStyle = 1;
    c.parts.assign(1, ComponentPart{0, 4, 2});
    c.pins = {Pin("1", sideLeft, 1), Pin("2", sideRight, 1)};
    std::vector<std::string> rows(21, std::string(41, '.'));
    for (int i = 4; i <= 36; ++i) rows[6][std::size_t(i)] = rows[14][std::size_t(i)] = '#';
    for (int j = 6; j <= 14; ++j) rows[std::size_t(j)][4] = rows[std::size_t(j)][36] = '#';
    for (int i = 0; i <= 4; ++i) rows[10][std::size_t(i)] = rows[10][std::size_t(36 + i)] = '#';
    c.parts[0].pictureIndex = AddPicture(c, PartPicture(1, rows));
    return ComponentRecord(c);
}

}  // namespace

std::string ArchiveSheetPath(int index)
{
    const int perProduct = 2 * sheetsPerRevision;
    const int product = index / perProduct, revision = (index % perProduct) / sheetsPerRevision;
    const int sheet = index % sheetsPerRevision + 1;
    char path[64];
    std::snprintf(path, sizeof path, "product-%02d/rev-%c/sheet-%03d.q01", product + 1, 'A' + revision, sheet);
    return path;
}

Bytes ArchiveSheet(int index, std::uint32_t seed)
{
    Sequence random(std::uint64_t(seed) << 32 | std::uint32_t(index));
    // Most sheets are small: 45 % A4, 25 % A3, 15 % A2, 10 % A1, 5 % A0.
    const int roll = random.Below(100);
    const Page& page = pages[roll < 45 ? 0 : roll < 70 ? 1 : roll < 85 ? 2 : roll < 95 ? 3 : 4];
    Bytes d = Header(page.code);

    // Parts on a grid of cells inside the frame, clear of the title block.
    const int cell = 150, left = 60, top = 60;
    const int columns = (page.width - 2 * left) / cell, rowsOfCells = (page.height - 2 * top - 140) / cell;
    int chipsPlaced = 0, resistorsPlaced = 0, capacitorsPlaced = 0;
    struct Placed {
        int x, y;
    };
    std::vector<Placed> placed;
    for (int row = 0; row < rowsOfCells; ++row)
        for (int column = 0; column < columns; ++column) {
            if (random.Below(100) < 45) continue;
            const int x = left + column * cell + random.Below(40), y = top + row * cell + random.Below(40) + 20;
            const int kind = random.Below(10);
            if (kind < 3) {
                d += Chip("U" + std::to_string(++chipsPlaced), chips[random.Below(int(std::size(chips)))],
                          chipPackages[random.Below(int(std::size(chipPackages)))], x + 30, y);
            } else if (kind < 7) {
                d += TwoPin("R" + std::to_string(++resistorsPlaced), resistors[random.Below(int(std::size(resistors)))],
                            x + 20, y + 20, random.Below(2) == 1);
            } else {
                d += TwoPin("C" + std::to_string(++capacitorsPlaced),
                            capacitors[random.Below(int(std::size(capacitors)))], x + 20, y + 20, random.Below(2) == 1);
            }
            placed.push_back({x, y});
        }
    // Wires from part to part along the grid, with a label on some.
    for (std::size_t k = 1; k < placed.size(); ++k) {
        const Placed a = placed[k - 1], b = placed[k];
        const int ay = a.y + 110, bx = b.x + 5;
        d += Line(std::uint16_t(a.x + 5), std::uint16_t(ay), std::uint16_t(bx), std::uint16_t(ay), 1);
        d += Line(std::uint16_t(bx), std::uint16_t(ay), std::uint16_t(bx), std::uint16_t(b.y + 110), 1);
        if (random.Below(4) == 0) {
            d += Junction(std::uint16_t(bx), std::uint16_t(ay));
            d += Annotation(std::uint16_t(bx + 4), std::uint16_t(ay - 2), 1,
                            labels[random.Below(int(std::size(labels)))]);
        }
    }
    // The title block.
    const int product = index / (2 * sheetsPerRevision) + 1;
    d += DocBox(
        std::uint16_t(page.width - 320), std::uint16_t(page.height - 160), std::uint16_t(page.width - 40),
        std::uint16_t(page.height - 40),
        {"PRODUCT " + std::to_string(product), "REVISION " + std::string(1, char('A' + index / sheetsPerRevision % 2)),
         "SHEET " + std::to_string(index % sheetsPerRevision + 1) + " OF " + std::to_string(sheetsPerRevision)});
    return d;
}

}  // namespace q01
