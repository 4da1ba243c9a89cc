#include "Q01Circuit.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "Q01Component.h"

namespace q01 {
namespace {

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};
Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point operator*(int k, Point a) { return {k * a.x, k * a.y}; }

// Where a body point lands relative to the anchor: turned anticlockwise by
// quarter turns, then mirrored left to right.
Point Turn(Point body, int rotation, bool mirrored)
{
    Point p;
    switch (rotation & 3) {
    case 0: p = {body.x, body.y}; break;
    case 1: p = {body.y, -body.x}; break;
    case 2: p = {-body.x, -body.y}; break;
    default: p = {-body.y, body.x}; break;
    }
    if (mirrored) p.x = -p.x;
    return p;
}

const char* const typeNames[] = {"IN", "OUT", "I/O", "HiZ", "OC", "Pwr", "Passive"};
constexpr int pwrType = 5;
constexpr int pitch = 20;  // between pins, columns, lanes and buses

int RoundUp(int v, int step, int residue)
{
    int r = ((v - residue) % step + step) % step;
    return r == 0 ? v : v + step - r;
}

// A part laid out: its component record and where its pins are.
struct Laid {
    Component component;
    std::vector<int> offsets;  // by pin: offsetUnits
    int widthUnits = 2, heightUnits = 2;
    // Relative to the anchor.
    std::vector<Point> ends, outward;
    // From each pin end, the stub and the jog lead to the top of its column.
    std::vector<std::vector<Point>> routes;
    int left = 0, top = 0, right = 0, bottom = 0;  // extent of body, pins and stubs
};

struct PinPlace {
    std::size_t part, pin;
};

class Layout {
public:
    explicit Layout(const Circuit& circuit) : circuit_(circuit) {}
    Bytes Draw();

private:
    PinPlace Find(const std::string& ref) const;
    Laid LayPart(const CircuitPart& part) const;

    const Circuit& circuit_;
};

PinPlace Layout::Find(const std::string& ref) const
{
    const std::size_t dot = ref.rfind('.');
    if (dot == std::string::npos) throw CircuitError("not a pin: '" + ref + "' (DESIGNATION.NUMBER)");
    const std::string designation = ref.substr(0, dot), number = ref.substr(dot + 1);
    for (std::size_t p = 0; p < circuit_.parts.size(); ++p) {
        if (circuit_.parts[p].designation != designation) continue;
        const auto& pins = circuit_.parts[p].pins;
        for (std::size_t i = 0; i < pins.size(); ++i)
            if (pins[i].number == number) return {p, i};
        throw CircuitError("no pin " + number + " on " + designation);
    }
    throw CircuitError("no part " + designation);
}

Laid Layout::LayPart(const CircuitPart& part) const
{
    Laid laid;
    int perSide[4] = {0, 0, 0, 0};
    laid.offsets.resize(part.pins.size());
    for (std::size_t i = 0; i < part.pins.size(); ++i) {
        const CircuitPin& pin = part.pins[i];
        if (pin.hidden) continue;
        laid.offsets[i] = 2 * ++perSide[pin.side & 3];
    }
    // Even units keep every edge point on the 20-pixel grid of the anchor.
    laid.heightUnits = std::max(4, 2 * std::max(perSide[0], perSide[2]) + 2);
    laid.widthUnits = std::max(4, 2 * std::max(perSide[1], perSide[3]) + 2);
    const int w = 10 * laid.widthUnits + 1, h = 10 * laid.heightUnits + 1;
    const int length = part.shortPins ? 11 : 31;

    Component& c = laid.component;
    c.designation = part.designation;
    c.valueText = part.value;
    c.packageText = part.package;
    c.rotation = part.rotation & 3;
    c.hFlip = part.mirrored;
    c.pinStyle = part.shortPins ? 1 : 0;
    c.parts = {{0, std::uint8_t(laid.widthUnits), std::uint8_t(laid.heightUnits)}};
    for (std::size_t i = 0; i < part.pins.size(); ++i) {
        const CircuitPin& pin = part.pins[i];
        ComponentPin p;
        p.number = pin.number;
        p.name = pin.name;
        p.side = pin.side & 3;
        p.offsetUnits = std::uint8_t(laid.offsets[i]);
        p.electricalType = pin.type;
        p.hidden = pin.hidden;
        c.pins.push_back(p);

        const int o = 10 * laid.offsets[i];
        const Point edges[4] = {{0, o}, {o, h - 1}, {w - 1, o}, {o, 0}};
        const Point steps[4] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
        const Point out = Turn(steps[p.side], c.rotation, c.hFlip);
        laid.outward.push_back(out);
        laid.ends.push_back(Turn(edges[p.side], c.rotation, c.hFlip) + length * out);
    }
    // The routes: horizontal pins step their columns outward from the lowest
    // one up, so that no stub crosses a column of its own side.
    laid.routes.resize(part.pins.size());
    std::vector<std::size_t> order(part.pins.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return laid.ends[a].y > laid.ends[b].y; });
    int stepsLeft = 0, stepsRight = 0;
    for (std::size_t i : order) {
        if (part.pins[i].hidden) continue;
        const Point end = laid.ends[i], out = laid.outward[i];
        if (out.y == 0) {
            int& steps = out.x < 0 ? stepsLeft : stepsRight;
            laid.routes[i] = {end, end + (4 + pitch * steps++) * out};
        } else {
            const Point stub = end + 4 * out;
            laid.routes[i] = {end, stub, stub + Point{out.y < 0 ? 5 : -5, 0}};
        }
    }
    // The extent: the body, the pins and their routes, with room for the texts above.
    const Point a = Turn({0, 0}, c.rotation, c.hFlip), b = Turn({w - 1, h - 1}, c.rotation, c.hFlip);
    laid.left = std::min(a.x, b.x), laid.right = std::max(a.x, b.x);
    laid.top = std::min(a.y, b.y), laid.bottom = std::max(a.y, b.y);
    for (const auto& route : laid.routes)
        for (const Point& q : route) {
            laid.left = std::min(laid.left, q.x), laid.right = std::max(laid.right, q.x);
            laid.top = std::min(laid.top, q.y), laid.bottom = std::max(laid.bottom, q.y);
        }
    laid.left -= pitch, laid.right += pitch, laid.top -= 2 * pitch, laid.bottom += pitch;
    return laid;
}

Bytes Layout::Draw()
{
    const std::size_t count = circuit_.parts.size();
    std::set<std::string> designations;
    for (const CircuitPart& part : circuit_.parts) {
        if (!designations.insert(part.designation).second) throw CircuitError("two parts " + part.designation);
        std::set<std::string> numbers;
        for (const CircuitPin& pin : part.pins)
            if (!numbers.insert(pin.number).second)
                throw CircuitError("two pins " + pin.number + " on " + part.designation);
    }

    // Which net each pin is in.
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> netOf;
    for (std::size_t n = 0; n < circuit_.nets.size(); ++n) {
        const CircuitNet& net = circuit_.nets[n];
        if ((net.labelled || net.split) && net.name.empty()) throw CircuitError("a labelled net needs a name");
        for (const std::string& ref : net.pins) {
            const PinPlace at = Find(ref);
            if (!netOf.emplace(std::pair(at.part, at.pin), n).second) throw CircuitError("pin " + ref + " in two nets");
            const CircuitPin& pin = circuit_.parts[at.part].pins[at.pin];
            if (pin.hidden && (pin.type != pwrType || pin.name != net.name))
                throw CircuitError("hidden pin " + ref + " can only be in a net named after it");
        }
    }

    std::vector<Laid> laid;
    for (const CircuitPart& part : circuit_.parts) laid.push_back(LayPart(part));

    // The drawn pins of each net: visible pins, when there are two or more
    // or the net is labelled (a hidden pin joins by its name alone).
    std::vector<std::vector<PinPlace>> drawn(circuit_.nets.size());
    for (const auto& [place, n] : netOf) {
        const CircuitPin& pin = circuit_.parts[place.first].pins[place.second];
        if (!pin.hidden) drawn[n].push_back({place.first, place.second});
    }
    for (std::size_t n = 0; n < drawn.size(); ++n) {
        const bool hasHidden =
            std::any_of(circuit_.nets[n].pins.begin(), circuit_.nets[n].pins.end(), [&](const std::string& r) {
                const PinPlace at = Find(r);
                return circuit_.parts[at.part].pins[at.pin].hidden;
            });
        if (hasHidden && !drawn[n].empty() && !circuit_.nets[n].labelled)
            throw CircuitError("net " + circuit_.nets[n].name +
                               " joins hidden pins and drawn ones: it needs its label");
        if (drawn[n].size() == 1 && !circuit_.nets[n].labelled) drawn[n].clear();
    }

    // Rows of parts; the anchors on the 20-pixel grid.
    std::size_t perRow = 1;
    while (perRow * perRow < count) ++perRow;
    std::vector<Point> anchors(count);
    std::vector<int> rowOf(count);
    struct Row {
        int laneTop = 0;
        std::vector<std::size_t> parts;
    };
    std::vector<Row> rows;
    int rowTop = 60, maxRight = 60;
    for (std::size_t first = 0; first < count; first += perRow) {
        Row row;
        int x = 40, bottom = rowTop;
        for (std::size_t p = first; p < std::min(count, first + perRow); ++p) {
            const Laid& l = laid[p];
            anchors[p] = {RoundUp(x - l.left, pitch, 0), RoundUp(rowTop - l.top, pitch, 0)};
            x = anchors[p].x + l.right + pitch;
            bottom = std::max(bottom, anchors[p].y + l.bottom);
            maxRight = std::max(maxRight, x);
            rowOf[p] = int(rows.size());
            row.parts.push_back(p);
        }
        row.laneTop = RoundUp(bottom + pitch, pitch, pitch / 2);
        int lanes = 0;
        for (std::size_t p : row.parts)
            for (std::size_t i = 0; i < circuit_.parts[p].pins.size(); ++i) {
                const auto found = netOf.find({p, i});
                if (found != netOf.end() && !drawn[found->second].empty()) ++lanes;
            }
        rowTop = row.laneTop + pitch * lanes + 2 * pitch;
        rows.push_back(row);
    }

    // The buses: one per net, two for a split one, in the band right of the rows.
    struct Bus {
        std::size_t net;
        int x;
        std::vector<PinPlace> pins;
    };
    std::vector<Bus> buses;
    int busX = RoundUp(maxRight + 2 * pitch, pitch, pitch / 2);
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> busOf;
    for (std::size_t n = 0; n < drawn.size(); ++n) {
        if (drawn[n].empty()) continue;
        const bool split = circuit_.nets[n].split && drawn[n].size() >= 2;
        const std::size_t half = split ? drawn[n].size() / 2 : drawn[n].size();
        for (int part = 0; part < (split ? 2 : 1); ++part) {
            Bus bus{n, busX, {}};
            busX += pitch;
            for (std::size_t k = part == 0 ? 0 : half; k < (part == 0 ? half : drawn[n].size()); ++k) {
                bus.pins.push_back(drawn[n][k]);
                busOf[{drawn[n][k].part, drawn[n][k].pin}] = buses.size();
            }
            buses.push_back(std::move(bus));
        }
    }

    Drawing d;
    const int width = busX + 120, height = rowTop + 40;
    struct Page {
        std::uint8_t code;
        int width, height;
    };
    // A4, A3, A2, A1, A0 (page codes 0 to 4).
    const Page pages[] = {{0, 1110, 720}, {1, 1550, 1110}, {2, 2230, 1570}, {3, 3150, 2230}, {4, 4460, 3150}};
    std::uint8_t code = 4;
    for (const Page& page : pages)
        if (width <= page.width - 20 && height <= page.height - 20) {
            code = page.code;
            break;
        }
    d += Header(code);

    for (std::size_t p = 0; p < count; ++p) {
        Component c = laid[p].component;
        c.anchorX = std::uint16_t(anchors[p].x);
        c.anchorY = std::uint16_t(anchors[p].y);
        c.designationX = std::uint16_t(anchors[p].x + laid[p].left + pitch);
        c.designationY = std::uint16_t(anchors[p].y + laid[p].top);
        c.valueX = c.designationX;
        c.valueY = std::uint16_t(c.designationY + 14);
        d += ComponentRecord(c);
    }

    const auto wire = [&](Point a, Point b) {
        if (a == b) return;
        d += Line(std::uint16_t(a.x), std::uint16_t(a.y), std::uint16_t(b.x), std::uint16_t(b.y), 1);
    };

    // Every drawn pin: stub, column, lane.
    std::map<std::pair<std::size_t, std::size_t>, int> laneOf;
    std::vector<int> nextLane(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) nextLane[r] = rows[r].laneTop;
    for (std::size_t p = 0; p < count; ++p) {
        const Laid& l = laid[p];
        const CircuitPart& part = circuit_.parts[p];
        for (std::size_t i = 0; i < part.pins.size(); ++i) {
            if (part.pins[i].hidden) continue;
            const Point end = anchors[p] + l.ends[i];
            const auto net = netOf.find({p, i});
            if (net == netOf.end() || drawn[net->second].empty()) {
                d += Marker(std::uint16_t(end.x), std::uint16_t(end.y), 3);
                continue;
            }
            const int lane = nextLane[std::size_t(rowOf[p])];
            nextLane[std::size_t(rowOf[p])] += pitch;
            laneOf[{p, i}] = lane;
            const std::vector<Point>& route = l.routes[i];
            for (std::size_t k = 1; k < route.size(); ++k) wire(anchors[p] + route[k - 1], anchors[p] + route[k]);
            const Point column = anchors[p] + route.back(), corner{column.x, lane};
            wire(column, corner);
            wire(corner, {buses[busOf[{p, i}]].x, lane});
        }
    }

    // The buses, their dots and labels.
    for (const Bus& bus : buses) {
        int top = 1 << 30, bottom = -1;
        for (const PinPlace& pin : bus.pins) {
            const int lane = laneOf[{pin.part, pin.pin}];
            top = std::min(top, lane), bottom = std::max(bottom, lane);
        }
        wire({bus.x, top}, {bus.x, bottom});
        for (const PinPlace& pin : bus.pins) {
            const int lane = laneOf[{pin.part, pin.pin}];
            if (lane != top && lane != bottom) d += Junction(std::uint16_t(bus.x), std::uint16_t(lane));
        }
        const CircuitNet& net = circuit_.nets[bus.net];
        if (net.labelled) d += Annotation(std::uint16_t(bus.x), std::uint16_t(top), 1, net.name);
    }
    return d.Data();
}

// A small fixed pseudo-random sequence (64-bit LCG, high bits).
class Sequence {
public:
    explicit Sequence(std::uint32_t seed) : state_(0x2545F4914F6CDD1Dull ^ (std::uint64_t(seed) << 1)) { Next(); }
    std::uint32_t Next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return std::uint32_t(state_ >> 33);
    }
    int Between(int low, int high) { return high <= low ? low : low + int(Next() % std::uint32_t(high - low + 1)); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

private:
    std::uint64_t state_;
};

int TypeOf(const std::string& name)
{
    for (int t = 0; t < 7; ++t)
        if (name == typeNames[t]) return t;
    return -1;
}

}  // namespace

Bytes DrawCircuit(const Circuit& circuit) { return Layout(circuit).Draw(); }

Circuit RandomCircuit(std::uint32_t seed)
{
    Sequence random(seed);
    Circuit circuit;
    const int parts = random.Between(2, 10);
    int resistors = 0, chips = 0;
    for (int k = 0; k < parts; ++k) {
        CircuitPart part;
        part.rotation = std::uint8_t(random.Between(0, 3));
        part.mirrored = random.Chance(50);
        part.shortPins = random.Chance(30);
        if (random.Chance(40)) {
            part.designation = "R" + std::to_string(++resistors);
            part.value = std::to_string(random.Between(1, 99)) + "k";
            part.package = "0805";
            part.pins = {{"1", "", 0, 6, false}, {"2", "", 2, 6, false}};
        } else {
            part.designation = "U" + std::to_string(++chips);
            part.value = "74HC" + std::to_string(random.Between(0, 599));
            part.package = "SO14";
            const int pins = random.Between(3, 10);
            for (int i = 0; i < pins; ++i) {
                CircuitPin pin;
                pin.number = std::to_string(i + 1);
                pin.name = "P" + std::to_string(i + 1);
                pin.side = std::uint8_t(random.Between(0, 3));
                pin.type = std::uint8_t(random.Between(0, 6));
                part.pins.push_back(pin);
            }
            if (random.Chance(50)) {
                part.pins.push_back({std::to_string(pins + 1), "VCC", 3, pwrType, true});
                part.pins.push_back({std::to_string(pins + 2), "GND", 1, pwrType, true});
            }
        }
        circuit.parts.push_back(std::move(part));
    }

    // The visible pins, shuffled; most of them go into nets of 2 to 5.
    std::vector<std::string> visible;
    CircuitNet vcc{"VCC", {}, true, false}, gnd{"GND", {}, true, false};
    for (const CircuitPart& part : circuit.parts)
        for (const CircuitPin& pin : part.pins) {
            const std::string ref = part.designation + "." + pin.number;
            if (!pin.hidden)
                visible.push_back(ref);
            else
                (pin.name == "VCC" ? vcc : gnd).pins.push_back(ref);
        }
    for (std::size_t k = visible.size(); k > 1; --k) std::swap(visible[k - 1], visible[random.Next() % k]);
    std::size_t at = 0;
    int named = 0;
    while (at < visible.size()) {
        if (random.Chance(15)) {
            ++at;  // left unused
            continue;
        }
        // Some visible pins join the power nets.
        if (random.Chance(10)) {
            (random.Chance(50) ? vcc : gnd).pins.push_back(visible[at++]);
            continue;
        }
        const std::size_t size = std::size_t(random.Between(2, 5));
        CircuitNet net;
        for (std::size_t k = 0; k < size && at < visible.size(); ++k) net.pins.push_back(visible[at++]);
        if (random.Chance(40)) {
            net.name = "SIG" + std::to_string(++named);
            net.labelled = true;
            net.split = net.pins.size() >= 2 && random.Chance(40);
        }
        circuit.nets.push_back(std::move(net));
    }
    for (CircuitNet* power : {&vcc, &gnd})
        if (!power->pins.empty()) circuit.nets.push_back(*power);
    return circuit;
}

Circuit ParseCircuit(const std::string& text)
{
    Circuit circuit;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        throw CircuitError("line " + std::to_string(number) + ": " + why);
    };
    while (std::getline(lines, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        if (w[0] == "part") {
            if (w.size() < 4) fail("part DESIGNATION VALUE PACKAGE [turn=N] [mirror] [short]");
            CircuitPart part{w[1], w[2], w[3], {}, 0, false, false};
            for (std::size_t k = 4; k < w.size(); ++k) {
                if (w[k].rfind("turn=", 0) == 0 && w[k].size() == 6 && w[k][5] >= '0' && w[k][5] <= '3')
                    part.rotation = std::uint8_t(w[k][5] - '0');
                else if (w[k] == "mirror")
                    part.mirrored = true;
                else if (w[k] == "short")
                    part.shortPins = true;
                else
                    fail("unknown word '" + w[k] + "'");
            }
            circuit.parts.push_back(part);
        } else if (w[0] == "pin") {
            if (w.size() < 5) fail("pin DESIGNATION NUMBER SIDE TYPE [NAME] [hidden]");
            auto part = std::find_if(circuit.parts.begin(), circuit.parts.end(),
                                     [&](const CircuitPart& p) { return p.designation == w[1]; });
            if (part == circuit.parts.end()) fail("no part " + w[1]);
            const std::string sides = "LBRT";
            if (w[3].size() != 1 || sides.find(w[3][0]) == std::string::npos) fail("side is one of L B R T");
            const int type = TypeOf(w[4]);
            if (type < 0) fail("type is one of IN OUT I/O HiZ OC Pwr Passive");
            CircuitPin pin{w[2], "", std::uint8_t(sides.find(w[3][0])), std::uint8_t(type), false};
            for (std::size_t k = 5; k < w.size(); ++k) {
                if (w[k] == "hidden")
                    pin.hidden = true;
                else if (pin.name.empty())
                    pin.name = w[k];
                else
                    fail("unknown word '" + w[k] + "'");
            }
            part->pins.push_back(pin);
        } else if (w[0] == "net") {
            if (w.size() < 2) fail("net NAME|- [label] [split] PIN...");
            CircuitNet net;
            net.name = w[1] == "-" ? "" : w[1];
            for (std::size_t k = 2; k < w.size(); ++k) {
                if (w[k] == "label")
                    net.labelled = true;
                else if (w[k] == "split")
                    net.split = net.labelled = true;
                else
                    net.pins.push_back(w[k]);
            }
            circuit.nets.push_back(net);
        } else {
            fail("unknown statement '" + w[0] + "'");
        }
    }
    return circuit;
}

std::string CircuitText(const Circuit& circuit)
{
    std::ostringstream out;
    for (const CircuitPart& part : circuit.parts) {
        out << "part " << part.designation << ' ' << part.value << ' ' << part.package;
        if (part.rotation) out << " turn=" << int(part.rotation);
        if (part.mirrored) out << " mirror";
        if (part.shortPins) out << " short";
        out << '\n';
        for (const CircuitPin& pin : part.pins) {
            out << "pin " << part.designation << ' ' << pin.number << ' ' << "LBRT"[pin.side & 3] << ' '
                << (pin.type < 7 ? typeNames[pin.type] : "Passive");
            if (!pin.name.empty()) out << ' ' << pin.name;
            if (pin.hidden) out << " hidden";
            out << '\n';
        }
    }
    for (const CircuitNet& net : circuit.nets) {
        out << "net " << (net.name.empty() ? "-" : net.name);
        if (net.split)
            out << " split";
        else if (net.labelled)
            out << " label";
        for (const std::string& pin : net.pins) out << ' ' << pin;
        out << '\n';
    }
    return out.str();
}

}  // namespace q01
