// q01gen: writes drawing files made with the drawing-file builder.
//
//   q01gen sample OUT.q01            the bundled sample circuit
//   q01gen circuit OUT.q01 FILE      a circuit drawn from the netlist in FILE
//                                    (the form is in Q01Circuit.h)
//   q01gen random OUT.q01 SEED       a random circuit; its netlist goes to
//                                    standard output
//   q01gen records OUT.q01 RECORD...   one record per RECORD, in order:
//       header:CODE  line:X1,Y1,X2,Y2,TYPE  junction:X,Y  marker:X,Y,R
//       annotation:X,Y,FONT,TEXT  docbox:X1,Y1,X2,Y2,LINE|LINE|...  x40
//   q01gen archive DIR COUNT [SEED]  COUNT sheets of an archive below DIR
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Q01Archive.h"
#include "Q01Builder.h"
#include "Q01Circuit.h"
#include "Q01Component.h"

using q01::Bytes;
using q01::operator+=;

namespace {

// A body picture drawn with a few primitives on rows of '.' and '#'.
class Picture {
public:
    Picture(int width, int height) : rows_(std::size_t(height), std::string(std::size_t(width), '.')) {}
    void Set(int x, int y)
    {
        if (y >= 0 && y < int(rows_.size()) && x >= 0 && x < int(rows_[0].size())) rows_[y][x] = '#';
    }
    void Line(int x0, int y0, int x1, int y1)
    {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            Set(x0, y0);
            if (x0 == x1 && y0 == y1) break;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x0 += sx;
            if (e2 <= dx) err += dx, y0 += sy;
        }
    }
    void Box(int x0, int y0, int x1, int y1)
    {
        Line(x0, y0, x1, y0);
        Line(x1, y0, x1, y1);
        Line(x1, y1, x0, y1);
        Line(x0, y1, x0, y0);
    }
    const std::vector<std::string>& Rows() const { return rows_; }

private:
    std::vector<std::string> rows_;
};

int BodyWidth(const q01::Component& c) { return 10 * c.parts[c.partNumber - 1].widthUnits + 1; }
int BodyHeight(const q01::Component& c) { return 10 * c.parts[c.partNumber - 1].heightUnits + 1; }

// Page point where a wire meets the outer end of a pin (no flips).
struct Point {
    int x, y;
};
Point PinEnd(const q01::Component& c, const q01::ComponentPin& pin)
{
    const int o = 10 * pin.offsetUnits, w = BodyWidth(c), h = BodyHeight(c);
    const Point body[4] = {{0, o}, {o, h - 1}, {w - 1, o}, {o, 0}};
    const Point b = body[pin.side];
    Point p{};
    switch (c.rotation) {
    case 0: p = {c.anchorX + b.x, c.anchorY + b.y}; break;
    case 1: p = {c.anchorX + b.y, c.anchorY - b.x}; break;
    case 2: p = {c.anchorX - b.x, c.anchorY - b.y}; break;
    default: p = {c.anchorX - b.y, c.anchorY + b.x}; break;
    }
    static const Point step[4] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    const int length = (c.pinStyle >= 1 && c.pinStyle <= 3) ? 11 : 31;
    const Point s = step[(pin.side + c.rotation) % 4];
    return {p.x + length * s.x, p.y + length * s.y};
}

q01::ComponentPin Pin(std::string number, std::string name, int side, int offset, int type = 0)
{
    q01::ComponentPin p;
    p.number = std::move(number);
    p.name = std::move(name);
    p.side = std::uint8_t(side);
    p.offsetUnits = std::uint8_t(offset);
    p.electricalType = std::uint8_t(type);
    return p;
}

q01::Component OpAmp()
{
    q01::Component c;
    c.designation = "U1";
    c.packageText = "LM741";
    c.valueText = "OPAMP";
    c.anchorX = 500, c.anchorY = 280;
    c.designationX = 570, c.designationY = 250;
    c.valueX = 570, c.valueY = 330;
    c.parts = {{0, 6, 4}};
    Picture pic(61, 41);
    pic.Line(0, 0, 0, 40);
    pic.Line(0, 0, 60, 20);
    pic.Line(0, 40, 60, 20);
    pic.Line(6, 10, 12, 10);  // minus sign
    pic.Line(6, 30, 12, 30);  // plus sign
    pic.Line(9, 27, 9, 33);
    c.parts[0].pictureIndex = q01::AddPicture(c, q01::PartPicture(7, pic.Rows()));
    c.pins = {Pin("2", "-", q01::sideLeft, 1, 0), Pin("3", "+", q01::sideLeft, 3, 0),
              Pin("6", "OUT", q01::sideRight, 2, 1), Pin("7", "V+", q01::sideTop, 3, 5),
              Pin("4", "V-", q01::sideBottom, 3, 5)};
    return c;
}

q01::Component Resistor(const char* name, const char* value, int x, int y, int rotation)
{
    q01::Component c;
    c.designation = name;
    c.packageText = value;
    c.valueText = "0805";
    c.anchorX = std::uint16_t(x), c.anchorY = std::uint16_t(y);
    c.rotation = std::uint8_t(rotation);
    const int left = rotation == 2 ? x - 40 : x;  // a half turn puts the body left of and above the anchor
    const int top = rotation == 2 ? y - 20 : y;
    c.designationX = std::uint16_t(left + 4), c.designationY = std::uint16_t(top - 22);
    c.valueX = std::uint16_t(left + 4), c.valueY = std::uint16_t(top + 22);
    c.pinStyle = 1;  // short pins, names shown
    c.parts = {{0, 4, 2}};
    Picture pic(41, 21);
    pic.Box(4, 6, 36, 14);
    pic.Line(0, 10, 4, 10);
    pic.Line(36, 10, 40, 10);
    c.parts[0].pictureIndex = q01::AddPicture(c, q01::PartPicture(1, pic.Rows()));
    c.pins = {Pin("1", "", q01::sideLeft, 1, 6), Pin("2", "", q01::sideRight, 1, 6)};
    return c;
}

q01::Component Capacitor()
{
    q01::Component c;
    c.designation = "C1";
    c.packageText = "100n";
    c.valueText = "X7R";
    c.anchorX = 700, c.anchorY = 460;
    c.rotation = 1;  // standing upright: its left pin points down
    c.designationX = 730, c.designationY = 400;
    c.valueX = 730, c.valueY = 420;
    c.pinStyle = 2;
    c.parts = {{0, 4, 2}};
    Picture pic(41, 21);
    pic.Line(0, 10, 17, 10);
    pic.Line(23, 10, 40, 10);
    pic.Line(17, 2, 17, 18);
    pic.Line(18, 2, 18, 18);
    pic.Line(22, 2, 22, 18);
    pic.Line(23, 2, 23, 18);
    c.parts[0].pictureIndex = q01::AddPicture(c, q01::PartPicture(2, pic.Rows()));
    c.pins = {Pin("1", "", q01::sideLeft, 1, 6), Pin("2", "", q01::sideRight, 1, 6)};
    return c;
}

// One part of a dual flip-flop, mirrored, with a clock wedge and an inverted
// output marked by a circle and a marked pin name.
q01::Component FlipFlop()
{
    q01::Component c;
    c.designation = "U2";
    c.packageText = "74HC74";
    c.valueText = "DFF";
    c.anchorX = 260, c.anchorY = 480;
    c.designationX = 190, c.designationY = 455;
    c.valueX = 190, c.valueY = 560;
    c.partNumber = 1;
    c.parts = {{0, 5, 6}, {0, 5, 6}};
    Picture pic(51, 61);
    pic.Box(0, 0, 50, 60);
    c.parts[0].pictureIndex = c.parts[1].pictureIndex = q01::AddPicture(c, q01::PartPicture(9, pic.Rows()));
    auto clk = Pin("3", "CLK", q01::sideLeft, 4, 0);
    clk.wedge = true;
    auto qbar = Pin("6", std::string(1, char('Q' | 0x80)), q01::sideRight, 4, 1);
    qbar.circle = true;
    auto other = Pin("12", "D", q01::sideLeft, 1, 0);
    other.pinPart = 2;  // belongs to the second part: its line shows, its number not
    other.hidden = true;
    c.pins = {Pin("2", "D", q01::sideLeft, 1, 0), clk, Pin("5", "Q", q01::sideRight, 1, 1), qbar, other};
    return c;
}

// A connector drawn as an outline only (no picture), turned a quarter clockwise.
q01::Component Connector()
{
    q01::Component c;
    c.designation = "J1";
    c.packageText = "HDR1X3";
    c.valueText = "IN";
    c.anchorX = 120, c.anchorY = 240;
    c.rotation = 3;
    c.designationX = 60, c.designationY = 180;
    c.valueX = 60, c.valueY = 300;
    c.parts = {{0, 2, 4}};
    c.pins = {Pin("1", "SIG", q01::sideRight, 1, 2), Pin("2", "GND", q01::sideRight, 3, 5)};
    return c;
}

Bytes Wire(Point a, Point b, int type = 1)
{
    return q01::Line(std::uint16_t(a.x), std::uint16_t(a.y), std::uint16_t(b.x), std::uint16_t(b.y),
                     std::uint8_t(type));
}

Bytes Sample()
{
    Bytes d = q01::Header(0);  // A4
    const q01::Component u1 = OpAmp(), r1 = Resistor("R1", "10k", 330, 280, 0),
                         r2 = Resistor("R2", "100k", 620, 210, 2), c1 = Capacitor(), u2 = FlipFlop(), j1 = Connector();
    for (const auto* c : {&u1, &r1, &r2, &c1, &u2, &j1}) d += q01::ComponentRecord(*c);

    const Point inMinus = PinEnd(u1, u1.pins[0]), inPlus = PinEnd(u1, u1.pins[1]), out = PinEnd(u1, u1.pins[2]);
    const Point vplus = PinEnd(u1, u1.pins[3]), vminus = PinEnd(u1, u1.pins[4]);
    const Point r1a = PinEnd(r1, r1.pins[0]), r1b = PinEnd(r1, r1.pins[1]);
    const Point r2a = PinEnd(r2, r2.pins[0]), r2b = PinEnd(r2, r2.pins[1]);
    const Point c1a = PinEnd(c1, c1.pins[0]), c1b = PinEnd(c1, c1.pins[1]);
    const Point sig = PinEnd(j1, j1.pins[0]), gnd = PinEnd(j1, j1.pins[1]);

    // Input: connector to R1 to the inverting input, feedback through R2.
    d += Wire(sig, {sig.x, r1a.y});
    d += Wire({sig.x, r1a.y}, r1a);
    d += Wire(r1b, inMinus);
    const Point tee{(r1b.x + inMinus.x) / 2, r1b.y};
    d += Wire(tee, {tee.x, r2b.y});
    d += Wire({tee.x, r2b.y}, r2b);
    d += Wire(r2a, {out.x + 40, r2a.y});
    d += Wire({out.x + 40, r2a.y}, {out.x + 40, out.y});
    d += Wire(out, {out.x + 160, out.y});
    d += Wire({c1b.x, out.y}, c1b);
    // Ground rail (line type 2) and power.
    const int railY = 620;
    d += Wire(inPlus, {inPlus.x - 20, inPlus.y});
    d += Wire({inPlus.x - 20, inPlus.y}, {inPlus.x - 20, railY});
    d += Wire(gnd, {gnd.x, railY});
    d += Wire({gnd.x, railY}, {c1a.x + 60, railY}, 2);
    d += Wire(c1a, {c1a.x, railY});
    d += Wire(vminus, {vminus.x, railY});
    d += Wire(vplus, {vplus.x, vplus.y - 30});
    // The output clocks the flip-flop, which toggles: its inverted output
    // feeds its data input. The clock wire crosses the ground rail without
    // joining it.
    const Point d2 = PinEnd(u2, u2.pins[0]), ck = PinEnd(u2, u2.pins[1]), qbar = PinEnd(u2, u2.pins[3]);
    d += Wire({out.x + 160, out.y}, {out.x + 160, 660});
    d += Wire({out.x + 160, 660}, {ck.x - 30, 660});
    d += Wire({ck.x - 30, 660}, {ck.x - 30, ck.y});
    d += Wire({ck.x - 30, ck.y}, ck);
    d += Wire(qbar, {qbar.x + 20, qbar.y});
    d += Wire({qbar.x + 20, qbar.y}, {qbar.x + 20, d2.y - 40});
    d += Wire({qbar.x + 20, d2.y - 40}, {d2.x - 20, d2.y - 40});
    d += Wire({d2.x - 20, d2.y - 40}, {d2.x - 20, d2.y});
    d += Wire({d2.x - 20, d2.y}, d2);

    for (const Point& j : {tee, Point{out.x + 40, out.y}, Point{c1b.x, out.y}, Point{gnd.x, railY},
                           Point{inPlus.x - 20, railY}, Point{c1a.x, railY}, Point{vminus.x, railY}})
        d += q01::Junction(std::uint16_t(j.x), std::uint16_t(j.y));

    // Net labels, each anchored on its wire.
    d += q01::Annotation(std::uint16_t(sig.x), std::uint16_t(r1a.y), 1, "VIN");
    d += q01::Annotation(std::uint16_t(out.x + 100), std::uint16_t(out.y), 2, "VOUT");
    d += q01::Annotation(std::uint16_t(c1a.x + 20), railY, 0, "GND");
    d += q01::Annotation(std::uint16_t(vplus.x), std::uint16_t(vplus.y - 30), 1, "+12V");
    d += q01::Annotation(300, 90, 4, "INVERTING AMPLIFIER");

    // The unused flip-flop output: a crossed marker.
    const Point q = PinEnd(u2, u2.pins[2]);
    d += q01::Marker(std::uint16_t(q.x), std::uint16_t(q.y), 4);
    d += q01::DocBox(820, 560, 1080, 690,
                     {"TRACERY SAMPLE DRAWING", "INVERTING AMPLIFIER", "DRAWN WITH Q01GEN", "SHEET 1 OF 1"});
    return d;
}

std::vector<std::string> Fields(const std::string& text, char separator)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        out.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return out;
        start = at + 1;
    }
}

bool AddRecord(Bytes& d, const std::string& recordText)
{
    const std::size_t colon = recordText.find(':');
    const std::string kind = recordText.substr(0, colon);
    const std::vector<std::string> f =
        colon == std::string::npos ? std::vector<std::string>{} : Fields(recordText.substr(colon + 1), ',');
    auto n = [&](std::size_t i) { return i < f.size() ? std::strtoul(f[i].c_str(), nullptr, 0) : 0UL; };
    auto u16 = [&](std::size_t i) { return std::uint16_t(n(i)); };
    auto u8 = [&](std::size_t i) { return std::uint8_t(n(i)); };
    if (kind == "header")
        d += q01::Header(u8(0));
    else if (kind == "line")
        d += q01::Line(u16(0), u16(1), u16(2), u16(3), u8(4));
    else if (kind == "junction")
        d += q01::Junction(u16(0), u16(1));
    else if (kind == "marker")
        d += q01::Marker(u16(0), u16(1), u8(2));
    else if (kind == "annotation")
        d += q01::Annotation(u16(0), u16(1), u8(2), f.size() > 3 ? f[3] : "");
    else if (kind == "docbox")
        d += q01::DocBox(u16(0), u16(1), u16(2), u16(3), f.size() > 4 ? Fields(f[4], '|') : std::vector<std::string>{});
    else if (kind == "x40")
        d += q01::Record0x40();
    else
        return false;
    return true;
}

int Usage()
{
    std::fputs(
        "usage: q01gen sample OUT.q01\n"
        "       q01gen circuit OUT.q01 FILE\n"
        "       q01gen random OUT.q01 SEED\n"
        "       q01gen records OUT.q01 RECORD...\n"
        "  RECORD: header:CODE line:X1,Y1,X2,Y2,TYPE junction:X,Y marker:X,Y,R\n"
        "        annotation:X,Y,FONT,TEXT docbox:X1,Y1,X2,Y2,LINE|LINE x40\n"
        "       q01gen archive DIR COUNT [SEED]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return Usage();
    const std::string command = argv[1], out = argv[2];
    Bytes drawing;
    if (command == "archive") {
        const int count = argc > 3 ? std::atoi(argv[3]) : 0;
        const auto seed = std::uint32_t(argc > 4 ? std::strtoul(argv[4], nullptr, 0) : 1);
        if (count <= 0) return Usage();
        try {
            for (int i = 0; i < count; ++i) {
                const std::filesystem::path path = std::filesystem::path(out) / q01::ArchiveSheetPath(i);
                std::filesystem::create_directories(path.parent_path());
                q01::WriteFile(path.string(), q01::ArchiveSheet(i, seed));
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "q01gen: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (command == "sample") {
        drawing = Sample();
    } else if (command == "circuit" || command == "random") {
        if (argc != 4) return Usage();
        try {
            q01::Circuit circuit;
            if (command == "random") {
                circuit = q01::RandomCircuit(std::uint32_t(std::strtoul(argv[3], nullptr, 0)));
                std::cout << q01::CircuitText(circuit);
            } else {
                std::ifstream in(argv[3]);
                if (!in) {
                    std::fprintf(stderr, "q01gen: cannot read '%s'\n", argv[3]);
                    return 1;
                }
                std::stringstream text;
                text << in.rdbuf();
                circuit = q01::ParseCircuit(text.str());
            }
            drawing = q01::DrawCircuit(circuit);
        } catch (const q01::CircuitError& e) {
            std::fprintf(stderr, "q01gen: %s\n", e.what());
            return 2;
        }
    } else if (command == "records") {
        for (int i = 3; i < argc; ++i) {
            if (!AddRecord(drawing, argv[i])) {
                std::fprintf(stderr, "q01gen: unknown record '%s'\n", argv[i]);
                return 2;
            }
        }
    } else {
        return Usage();
    }
    try {
        q01::WriteFile(out, drawing);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "q01gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
