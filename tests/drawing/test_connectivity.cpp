// The drawing as a circuit: how pin ends, wires, junctions, labels and
// markers make nets.
#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <set>
#include <span>
#include <string>

#include "FreshSettings.h"
#include "Q01Builder.h"
#include "Q01Circuit.h"
#include "Q01Component.h"
#include "Q01DenseSheet.h"
#include "drawing/Annotate.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Naturalorder.h"

using q01::operator+=;

namespace {

q01::ComponentPin MakePin(std::uint8_t side, std::uint8_t offset, std::string number, std::uint8_t type = 6,
                          std::string name = {})
{
    q01::ComponentPin p;
    p.side = side;
    p.offsetUnits = offset;
    p.number = std::move(number);
    p.name = std::move(name);
    p.electricalType = type;
    return p;
}

// A two-pin part drawn as the outline of a 21 x 21 body at (x, y): pin 1
// ends at (x - 31, y + 10), pin 2 at (x + 51, y + 10).
q01::Component TwoPin(const std::string& designation, std::uint16_t x, std::uint16_t y)
{
    q01::Component c;
    c.designation = designation;
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 2}};
    c.pins = {MakePin(q01::sideLeft, 1, "1"), MakePin(q01::sideRight, 1, "2")};
    return c;
}

// Each net as "NAME: R1 pin 1, R2 pin 2 (wires W)", in the nets' order, a line each.
std::string NetTexts(const TConnectivity& connectivity)
{
    QStringList texts;
    for (const TNet& net : connectivity.Nets()) {
        QStringList pins;
        for (const TNetPin& pin : net.Pins) pins << pin.Text();
        texts
            << QStringLiteral("%1: %2 (wires %3)").arg(net.Name, pins.join(QStringLiteral(", "))).arg(net.Wires.size());
    }
    return texts.join(QLatin1Char('\n')).toStdString();
}

std::string PointTexts(const std::vector<QPoint>& points)
{
    QStringList texts;
    for (const QPoint& p : points) texts << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    return texts.join(QLatin1Char(' ')).toStdString();
}

struct Loaded {
    TDrawing drawing;
    explicit Loaded(const q01::Bytes& bytes) { drawing.Load(bytes.data(), bytes.size()); }
};

}  // namespace

TEST(Connectivity, WiresJoinAtEndsAtTeesAndAtDotsButNotWhereTheyOnlyCrossOrMiss)
{
    q01::Bytes d = q01::Header(0);
    d += q01::ComponentRecord(TwoPin("R1", 100, 100));   // pins end at (69,110) and (151,110)
    d += q01::ComponentRecord(TwoPin("R2", 281, 100));   // (250,110) and (332,110)
    d += q01::ComponentRecord(TwoPin("R3", 231, 300));   // (200,310) and (282,310)
    d += q01::ComponentRecord(TwoPin("R10", 431, 300));  // (400,310) and (482,310)
    d += q01::Line(151, 110, 250, 110, 1);               // R1 pin 2 to R2 pin 1
    d += q01::Line(200, 110, 200, 310, 1);               // a T down to R3 pin 1
    d += q01::Line(180, 50, 180, 150, 1);                // crosses the first wire: not joined
    d += q01::Line(220, 50, 220, 150, 3);                // crosses it on a dot: joined
    d += q01::Junction(220, 110);
    d += q01::Line(282, 310, 399, 310, 2);  // one pixel short of R10 pin 1
    d += q01::Line(332, 110, 332, 111, 1);  // a wire of two pixels on R2 pin 2
    Loaded loaded(d);
    const TConnectivity c(loaded.drawing);

    EXPECT_EQ(NetTexts(c),
              "Net-(R1-Pad2): R1 pin 2, R2 pin 1, R3 pin 1 (wires 3)\n"
              "Net-(R2-Pad2): R2 pin 2 (wires 1)\n"
              "Net-(R3-Pad2): R3 pin 2 (wires 1)\n"
              "unconnected-(R1-Pad1): R1 pin 1 (wires 0)\n"
              "unconnected-(R10-Pad1): R10 pin 1 (wires 0)\n"
              "unconnected-(R10-Pad2): R10 pin 2 (wires 0)\n"
              "Net-(180,50):  (wires 1)");
    // Where an end meets the inside of a wire: the T, not the dot.
    EXPECT_EQ(PointTexts(c.Joins()), "200,110");
    EXPECT_EQ(PointTexts(c.LoosePoints()), "180,50 220,50 69,110 332,111 180,150 220,150 399,310 400,310 482,310");
    EXPECT_EQ(PointTexts(c.DanglingEnds()), "180,50 220,50 332,111 180,150 220,150 399,310");
    QStringList loose;
    for (const TNetPin* pin : c.LoosePins()) loose << pin->Text();
    EXPECT_EQ(loose, (QStringList{"R1 pin 1", "R10 pin 1", "R10 pin 2"}));
    ASSERT_EQ(c.NearMisses().size(), 1u);
    const TNearMiss& miss = c.NearMisses()[0];
    EXPECT_EQ(miss.At, QPoint(400, 310));
    EXPECT_EQ(miss.Pin->Text(), "R10 pin 1");
    EXPECT_EQ(miss.Near, QPoint(399, 310));
    EXPECT_FALSE(miss.NearWire);
    EXPECT_EQ(miss.Distance, 1);

    // Any pixel of a wire, a pin end or a dot gives its net.
    EXPECT_EQ(c.NetAt({175, 110}), std::optional<std::size_t>(0));
    EXPECT_EQ(c.NetAt({200, 250}), std::optional<std::size_t>(0));
    EXPECT_EQ(c.NetAt({220, 60}), std::optional<std::size_t>(0));
    EXPECT_EQ(c.NetAt({180, 60}), std::optional<std::size_t>(6));
    EXPECT_EQ(c.NetAt({482, 310}), std::optional<std::size_t>(5));
    EXPECT_EQ(c.NetAt({201, 250}), std::nullopt);
}

TEST(Connectivity, LabelsNameAndJoinNetsHiddenPowerPinsJoinTheirNameAndMarkersLeavePinsOpen)
{
    q01::Bytes d = q01::Header(0);
    d += q01::ComponentRecord(TwoPin("R1", 100, 100));  // (69,110) and (151,110)
    d += q01::ComponentRecord(TwoPin("R2", 400, 100));  // (369,110) and (451,110)
    d += q01::ComponentRecord(TwoPin("R3", 100, 300));  // (69,310) and (151,310)
    q01::Component u1 = TwoPin("U1", 300, 300);
    u1.pins = {MakePin(q01::sideLeft, 1, "1", 0, "A"), MakePin(q01::sideTop, 1, "14", 5, "VCC"),
               MakePin(q01::sideBottom, 1, "7", 5, "GND")};
    u1.pins[1].hidden = u1.pins[2].hidden = true;
    d += q01::ComponentRecord(u1);
    d += q01::Line(151, 110, 200, 110, 1);
    d += q01::Annotation(180, 110, 0, "VOUT");
    d += q01::Annotation(160, 110, 0, "NOT A LABEL");
    d += q01::Annotation(190, 112, 0, "SDA");  // two pixels below the wire
    d += q01::Line(320, 110, 369, 110, 1);
    d += q01::Annotation(330, 110, 0, "VOUT");
    d += q01::Annotation(69, 310, 0, "GND");  // on a pin end, no wire
    d += q01::Marker(151, 310, 4);
    d += q01::Line(500, 200, 600, 200, 1);
    d += q01::Annotation(510, 200, 0, "CLK");
    d += q01::Annotation(590, 200, 0, "SCK");
    Loaded loaded(d);
    const TConnectivity c(loaded.drawing);

    EXPECT_EQ(NetTexts(c),
              "CLK:  (wires 1)\n"
              "GND: R3 pin 1, U1 pin 7 (wires 0)\n"
              "VCC: U1 pin 14 (wires 0)\n"
              "VOUT: R1 pin 2, R2 pin 1 (wires 2)\n"
              "unconnected-(R1-Pad1): R1 pin 1 (wires 0)\n"
              "unconnected-(R2-Pad2): R2 pin 2 (wires 0)\n"
              "unconnected-(R3-Pad2): R3 pin 2 (wires 0)\n"
              "unconnected-(U1-Pad1): U1 pin 1 (wires 0)");
    EXPECT_EQ(c.Nets()[0].Labels.size(), 2u);
    EXPECT_EQ(c.Nets()[3].Labels.size(), 2u);
    ASSERT_EQ(c.NoConnects().size(), 1u);
    EXPECT_EQ(c.NoConnects()[0]->Text(), "R3 pin 2");
    QStringList loose;
    for (const TNetPin* pin : c.LoosePins()) loose << pin->Text();
    EXPECT_EQ(loose, (QStringList{"R1 pin 1", "R2 pin 2", "U1 pin 1"}));
    // Wires that carry a label do not dangle.
    EXPECT_TRUE(c.DanglingEnds().empty());
    ASSERT_EQ(c.LabelsOffWire().size(), 1u);
    EXPECT_EQ(c.LabelsOffWire()[0].Label->Text().AsText(), "SDA");
    EXPECT_EQ(c.LabelsOffWire()[0].Near, QPoint(190, 110));
    EXPECT_EQ(c.LabelsOffWire()[0].Distance, 2);
    EXPECT_TRUE(c.NearMisses().empty());
    EXPECT_EQ(TConnectivity::TypeName(c.Pins()[6]->ElectricalType), "IN");
    EXPECT_EQ(TConnectivity::TypeName(c.Pins()[7]->ElectricalType), "Pwr");
}

TEST(Connectivity, UnitsShareThePinsOfPartsNoRecordShowsAndLeaveOtherUnitsPinsToThem)
{
    // U5 has two units; every record draws all three pins: 1 of unit A, 2 of
    // unit B, 14 of a part no record shows.
    const auto unit = [](std::uint8_t part, std::uint16_t x) {
        q01::Component c = TwoPin("U5", x, 500);  // pin 1 ends at (x - 31, 510), pin 2 at (x + 51, 510)
        c.parts = {{0, 2, 2}, {0, 2, 2}};
        c.partNumber = part;
        c.pins[1].pinPart = 2;
        c.pins.push_back(MakePin(q01::sideTop, 1, "14", 5, "VCC"));  // ends at (x + 10, 469)
        c.pins[2].pinPart = 3;
        return q01::ComponentRecord(c);
    };
    q01::Bytes d = q01::Header(0);
    d += unit(1, 100);
    d += unit(2, 300);
    d += q01::ComponentRecord(TwoPin("R9", 600, 500));  // (569,510) and (651,510)
    d += q01::Line(351, 510, 569, 510, 1);              // unit B's pin 2 to R9 pin 1
    d += q01::Line(151, 510, 151, 600, 1);              // from where unit A draws pin 2: no pin there
    d += q01::Line(151, 600, 651, 600, 1);
    d += q01::Line(651, 600, 651, 510, 1);  // to R9 pin 2
    d += q01::Line(110, 469, 110, 440, 1);  // pin 14 on unit A ...
    d += q01::Annotation(110, 440, 0, "VCC");
    Loaded loaded(d);
    const TConnectivity c(loaded.drawing);
    EXPECT_EQ(NetTexts(c),
              "VCC: U5 pin 14, U5 pin 14 (wires 1)\n"  // ... and its copy on unit B are one pin
              "Net-(R9-Pad1): R9 pin 1, U5 pin 2 (wires 1)\n"
              "Net-(R9-Pad2): R9 pin 2 (wires 3)\n"
              "unconnected-(U5-Pad1): U5 pin 1 (wires 0)");
    EXPECT_EQ(PointTexts(c.DanglingEnds()), "151,510");
    EXPECT_EQ(c.Pins().size(), 6u);                             // 1 and 14 on unit A, 2 and 14 on unit B, R9's two
    EXPECT_EQ(c.Pins()[0]->Component, c.Pins()[1]->Component);  // pins 1 and 14 of unit A's record
}

TEST(Connectivity, ThousandsOfCopiesOfAWireAndOfEndsOnOnePixelMakeOneNetEach)
{
    q01::Bytes d = q01::Header(4);
    for (int k = 0; k < 10000; ++k) d += q01::Line(100, 100, 4000, 3000, 1);  // one wire, drawn 10,000 times
    for (int k = 0; k < 10000; ++k)
        d += q01::Line(4000, 100, std::uint16_t(100 + k % 3800), 3000, 1);  // all from one pixel
    Loaded loaded(d);
    const TConnectivity c(loaded.drawing);
    ASSERT_EQ(c.Nets().size(), 2u);
    EXPECT_EQ(c.Nets()[0].Wires.size(), 10000u);
    EXPECT_EQ(c.Nets()[1].Wires.size(), 10000u);
    EXPECT_EQ(c.NetAt({490, 390}), std::optional<std::size_t>(0));  // a pixel of the slanted wire
    EXPECT_TRUE(c.LoosePoints().empty());                           // every end meets a copy's
}

namespace {
// The nets as sets of "R1.2", each set sorted, the sets sorted.
using TPinSets = std::set<std::set<std::string>>;

TPinSets Described(const q01::Circuit& circuit)
{
    TPinSets sets;
    std::set<std::string> used;
    for (const q01::CircuitNet& net : circuit.nets) {
        sets.insert(std::set<std::string>(net.pins.begin(), net.pins.end()));
        used.insert(net.pins.begin(), net.pins.end());
    }
    // Every other pin is a net of its own.
    for (const q01::CircuitPart& part : circuit.parts)
        for (const q01::CircuitPin& pin : part.pins)
            if (!used.count(part.designation + "." + pin.number)) sets.insert({part.designation + "." + pin.number});
    return sets;
}

TPinSets Extracted(const TConnectivity& connectivity)
{
    TPinSets sets;
    for (const TNet& net : connectivity.Nets()) {
        std::set<std::string> pins;
        for (const TNetPin& pin : net.Pins) pins.insert((pin.Designation + '.' + pin.PinNumber).toStdString());
        if (!pins.empty()) sets.insert(pins);
    }
    return sets;
}
}  // namespace

TEST(Connectivity, RandomCircuitsDrawnFromANetlistGiveTheSameNetsBack)
{
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        const q01::Circuit circuit = q01::RandomCircuit(seed);
        const q01::Bytes bytes = q01::DrawCircuit(circuit);
        Loaded loaded(bytes);
        const TConnectivity c(loaded.drawing);
        SCOPED_TRACE("seed " + std::to_string(seed) + "\n" + q01::CircuitText(circuit));
        ASSERT_EQ(Extracted(c), Described(circuit));
        // Labelled nets carry their names; nothing misses, dangles or stands beside a wire.
        for (const q01::CircuitNet& net : circuit.nets) {
            if (!net.labelled) continue;
            const auto found = std::find_if(c.Nets().begin(), c.Nets().end(), [&](const TNet& n) {
                return !n.Pins.empty() &&
                       (n.Pins[0].Designation + '.' + n.Pins[0].PinNumber).toStdString() ==
                           *std::min_element(net.pins.begin(), net.pins.end(), [](auto& a, auto& b) {
                               return NaturalCompare(QByteArray::fromStdString(a), QByteArray::fromStdString(b)) < 0;
                           });
            });
            ASSERT_NE(found, c.Nets().end());
            EXPECT_EQ(found->Name.toStdString(), net.name);
        }
        EXPECT_TRUE(c.NearMisses().empty());
        EXPECT_TRUE(c.LabelsOffWire().empty());
        EXPECT_TRUE(c.DanglingEnds().empty());
        // Every T carries a dot.
        std::set<std::pair<int, int>> dots;
        for (const auto& object : loaded.drawing.Objects())
            if (const auto* j = dynamic_cast<const Junction*>(object.get())) dots.insert({j->X(), j->Y()});
        for (const QPoint& join : c.Joins())
            EXPECT_TRUE(dots.count({join.x(), join.y()})) << join.x() << "," << join.y();
        EXPECT_FALSE(c.Joins().empty() && !dots.empty());
    }
}

namespace {
// All a connectivity tells of a drawing, as text: its nets with their pins,
// wires, points and labels; its joins, loose points, dangling ends, near
// misses and the net of every pin; the net at each wire's middle.
std::string Everything(const TDrawing& drawing, const TConnectivity& c)
{
    std::string text = NetTexts(c) + '\n';
    const auto points = [](std::span<const QPoint> list) {
        return PointTexts(std::vector<QPoint>(list.begin(), list.end()));
    };
    for (const TNet& net : c.Nets()) {
        text += points(net.Points) + " |";
        for (const LineData* w : net.Wires) text += ' ' + std::to_string(w->X1()) + ',' + std::to_string(w->Y1());
        for (const Annotate* a : net.Labels) text += ' ' + a->Text().AsText().toStdString();
        text += net.Unconnected ? " u" : "";
        text += net.Named ? " n\n" : "\n";
    }
    text += PointTexts(c.Joins()) + '\n' + PointTexts(c.LoosePoints()) + '\n' + PointTexts(c.DanglingEnds()) + '\n';
    for (const TNearMiss& m : c.NearMisses())
        text += PointTexts({m.At, m.Near}) + ' ' + std::to_string(m.Distance) + (m.Pin ? " pin " : " ") +
                (m.NearPin ? m.NearPin->Text().toStdString() : std::string()) + '\n';
    for (const TLabelOffWire& l : c.LabelsOffWire()) text += PointTexts({l.Near}) + '\n';
    for (std::size_t i = 0; i < c.Pins().size(); ++i) text += std::to_string(c.NetOfPin(i)) + ' ';
    for (const TNetPin* pin : c.LoosePins()) text += pin->Text().toStdString() + ' ';
    for (const TNetPin* pin : c.NoConnects()) text += pin->Text().toStdString() + ' ';
    for (const auto& object : drawing.Objects())
        if (const auto* w = dynamic_cast<const LineData*>(object.get())) {
            const std::optional<std::size_t> net = c.NetAt({(w->X1() + w->X2()) / 2, (w->Y1() + w->Y2()) / 2});
            text += net ? std::to_string(*net) + ' ' : "- ";
        }
    return text;
}
}  // namespace

TEST(Connectivity, NetsOfADenseSheetBuiltOnTwoThreadsAreThoseBuiltOnOne)
{
    // Large enough for every step that can to share two threads.
    q01::DenseSheetLayout layout = q01::DenseA0();
    layout.components = 600, layout.lines = 6000, layout.junctions = 1500, layout.annotations = 300;
    layout.markers = 150;
    const q01::Bytes bytes = q01::DenseSheet(layout);
    Loaded loaded(bytes);
    TDrawing::SetRenderThreads(1);
    const TConnectivity one(loaded.drawing);
    TDrawing::SetRenderThreads(2);
    const TConnectivity two(loaded.drawing);
    TDrawing::SetRenderThreads(0);
    ASSERT_GT(one.Nets().size(), 4096u);
    EXPECT_FALSE(one.NearMisses().empty());
    EXPECT_EQ(Everything(loaded.drawing, one), Everything(loaded.drawing, two));
}
