// The circuit written as KiCad and lepton-eda schematics: read back by a
// small s-expression reader (KiCad) and by lepton-eda's own netlister.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "Q01Builder.h"
#include "Q01Circuit.h"
#include "Q01Component.h"
#include "StubSettings.h"
#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "exports/Kicadschematic.h"
#include "exports/Leptonschematic.h"
#include "exports/Netlist.h"
#include "exports/Schematicsheet.h"

using q01::operator+=;

namespace {

// ------------------------------------------------------------ s-expressions

struct SExpr {
    bool List = false;
    QByteArray Atom;  // a symbol or a string's text
    std::vector<SExpr> Items;

    QByteArray Head() const { return List && !Items.empty() ? Items[0].Atom : QByteArray(); }
    const SExpr* Find(const char* head) const
    {
        for (const SExpr& item : Items)
            if (item.Head() == head) return &item;
        return nullptr;
    }
    std::vector<const SExpr*> All(const char* head) const
    {
        std::vector<const SExpr*> found;
        for (const SExpr& item : Items)
            if (item.Head() == head) found.push_back(&item);
        return found;
    }
    bool Has(const char* atom) const
    {
        return std::any_of(Items.begin(), Items.end(), [&](const SExpr& i) { return !i.List && i.Atom == atom; });
    }
    const QByteArray& operator[](std::size_t i) const
    {
        static const QByteArray none;
        return i < Items.size() ? Items[i].Atom : none;
    }
};

// Reads one expression from text at pos; a fault in the text fails the test.
SExpr Read(const QByteArray& text, qsizetype& pos)
{
    while (pos < text.size() && QChar(text[pos]).isSpace()) ++pos;
    SExpr e;
    if (pos >= text.size()) {
        ADD_FAILURE() << "the text ends inside an expression";
        return e;
    }
    if (text[pos] == '(') {
        e.List = true;
        ++pos;
        for (;;) {
            while (pos < text.size() && QChar(text[pos]).isSpace()) ++pos;
            if (pos >= text.size()) {
                ADD_FAILURE() << "a list is not closed";
                return e;
            }
            if (text[pos] == ')') {
                ++pos;
                return e;
            }
            e.Items.push_back(Read(text, pos));
        }
    }
    if (text[pos] == '"') {
        for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
            if (text[pos] == '\\' && pos + 1 < text.size()) {
                ++pos;
                e.Atom += text[pos] == 'n' ? '\n' : text[pos];
            } else {
                e.Atom += text[pos];
            }
        }
        ++pos;
        return e;
    }
    while (pos < text.size() && !QChar(text[pos]).isSpace() && text[pos] != '(' && text[pos] != ')')
        e.Atom += text[pos++];
    return e;
}

SExpr ReadFile(const QByteArray& text)
{
    qsizetype pos = 0;
    SExpr e = Read(text, pos);
    while (pos < text.size() && QChar(text[pos]).isSpace()) ++pos;
    EXPECT_EQ(pos, text.size()) << "text after the file's expression";
    return e;
}

// Millimetres as written, in whole micrometres; more places than three fail.
std::int64_t Microns(const QByteArray& mm)
{
    const bool negative = mm.startsWith('-');
    const QByteArray digits = negative ? mm.mid(1) : mm;
    const qsizetype dot = digits.indexOf('.');
    QByteArray fraction = dot < 0 ? QByteArray() : digits.mid(dot + 1);
    EXPECT_LE(fraction.size(), 3) << mm.constData();
    while (fraction.size() < 3) fraction += '0';
    const std::int64_t value = (dot < 0 ? digits : digits.left(dot)).toLongLong() * 1000 + fraction.toLongLong();
    return negative ? -value : value;
}

// A page point in KiCad's millimetres as a page pixel (0.254 mm each); a
// point between pixels fails.
QPoint Pixel(std::int64_t xMicrons, std::int64_t yMicrons)
{
    EXPECT_EQ(xMicrons % 254, 0) << xMicrons;
    EXPECT_EQ(yMicrons % 254, 0) << yMicrons;
    return QPoint(int(xMicrons / 254), int(yMicrons / 254));
}

QString PointText(QPoint p) { return QStringLiteral("%1,%2").arg(p.x()).arg(p.y()); }

// Every pin of every placed symbol where KiCad puts its connection point, as
// "U1 3 100,200": the library pin's (at x y) through the symbol's
// orientation as KiCad reads it (the matrix of its angle, which also turns
// the library's y axis, up, into the sheet's, down; then a mirror, of the
// sheet's y for "mirror x" and of its x for "mirror y"), plus its place.
QStringList KicadPinEnds(const SExpr& file)
{
    std::map<QByteArray, const SExpr*> library;
    for (const SExpr* symbol : file.Find("lib_symbols")->All("symbol")) library[(*symbol)[1]] = symbol;
    QStringList ends;
    for (const SExpr* placed : file.All("symbol")) {
        const SExpr& lib = *library.at(placed->Find("lib_id")->Items[1].Atom);
        const SExpr& at = *placed->Find("at");
        int x1 = 1, y1 = 0, x2 = 0, y2 = -1;
        switch (at[3].toInt()) {
        case 90: x1 = 0, y1 = -1, x2 = -1, y2 = 0; break;
        case 180: x1 = -1, y1 = 0, x2 = 0, y2 = 1; break;
        case 270: x1 = 0, y1 = 1, x2 = 1, y2 = 0; break;
        default: break;
        }
        if (const SExpr* mirror = placed->Find("mirror")) {
            if ((*mirror)[1] == "x") x2 = -x2, y2 = -y2;
            if ((*mirror)[1] == "y") x1 = -x1, y1 = -y1;
        }
        const QByteArray unit = placed->Find("unit")->Items[1].Atom;
        QString reference;
        for (const SExpr* property : placed->All("property"))
            if ((*property)[1] == "Reference") reference = QString::fromUtf8((*property)[2]);
        const QByteArray name = lib[1].mid(lib[1].indexOf(':') + 1);
        for (const SExpr* sub : lib.All("symbol")) {
            const QByteArray subName = (*sub)[1];
            if (subName != name + "_" + unit + "_1" && subName != name + "_0_1") continue;
            for (const SExpr* pin : sub->All("pin")) {
                const SExpr& p = *pin->Find("at");
                const std::int64_t lx = Microns(p[1]), ly = Microns(p[2]);
                const QPoint end = Pixel(Microns(at[1]) + x1 * lx + y1 * ly, Microns(at[2]) + x2 * lx + y2 * ly);
                ends << reference + QLatin1Char(' ') + QString::fromUtf8(pin->Find("number")->Items[1].Atom) +
                            QLatin1Char(' ') + PointText(end);
            }
        }
    }
    ends.sort();
    return ends;
}

// The same for the drawing: every pin of every part, hidden ones too; a
// hidden pin that is not a power pin, which joins nothing, where it meets
// the body.
QStringList DrawingPinEnds(const TConnectivity& connectivity)
{
    QStringList ends;
    for (const TNetPin* each : connectivity.Pins()) {
        const TNetPin& pin = *each;
        QPoint end = pin.End;
        if (pin.Hidden && pin.ElectricalType != 5) {
            const Bitmap::Pin& record = pin.Component->GetPins()[std::size_t(pin.Index)];
            end = pin.Component->PinEdgePoint(record) +
                  QPoint(pin.Component->GetImageLeft(), pin.Component->GetImageTop());
        }
        ends << pin.Designation + QLatin1Char(' ') + pin.PinNumber + QLatin1Char(' ') + PointText(end);
    }
    ends.sort();
    return ends;
}

// --------------------------------------------------------------- drawings

q01::ComponentPin MakePin(std::uint8_t side, std::uint8_t offset, std::string number, std::uint8_t type,
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

// A gate of 31 x 21 pixels with a picture (its frame and a dot), a pin on
// every side: an input with a circle and a marked name, a clocked output, a
// tri-state pin with both marks and a hidden power pin.
q01::Component Gate(const std::string& designation, std::uint16_t x, std::uint16_t y, int rotation, bool flip)
{
    q01::Component c;
    c.designation = designation;
    c.packageText = "GATE";
    c.valueText = "G";
    c.anchorX = x, c.anchorY = y;
    c.rotation = std::uint8_t(rotation);
    c.hFlip = flip;
    c.designationX = std::uint16_t(x + 5), c.designationY = std::uint16_t(y - 30);
    c.valueX = std::uint16_t(x + 5), c.valueY = std::uint16_t(y + 40);
    c.parts = {{0, 3, 2}};
    std::vector<std::string> rows(21, std::string(31, '.'));
    rows[0] = rows[20] = std::string(31, '#');
    for (auto& row : rows) row[0] = row[30] = '#';
    rows[10][15] = '#';
    c.parts[0].pictureIndex = q01::AddPicture(c, q01::PartPicture(3, rows));
    c.pins = {MakePin(q01::sideLeft, 1, "1", 0, std::string("C") + char('S' | 0x80)),
              MakePin(q01::sideRight, 1, "2", 1, "Q"), MakePin(q01::sideTop, 1, "3", 3, "T"),
              MakePin(q01::sideBottom, 2, "4", 5, "VCC")};
    c.pins[0].circle = true;
    c.pins[1].wedge = true;
    c.pins[2].circle = c.pins[2].wedge = true;
    c.pins[3].hidden = true;
    return c;
}

// One part of a component of two (outline bodies of different sizes), with
// a pin of each part and a hidden pin of a part that no record shows.
q01::Component Dual(std::uint8_t part, std::uint16_t x, std::uint16_t y, int rotation)
{
    q01::Component c;
    c.designation = "U9";
    c.packageText = "DUAL";
    c.anchorX = x, c.anchorY = y;
    c.rotation = std::uint8_t(rotation);
    c.partNumber = part;
    c.parts = {{0, 2, 2}, {0, 3, 3}};
    c.pins = {MakePin(q01::sideLeft, 1, "1", 6), MakePin(q01::sideRight, 1, "2", 6), MakePin(q01::sideLeft, 2, "3", 6),
              MakePin(q01::sideRight, 2, "4", 6), MakePin(q01::sideTop, 1, "8", 6)};
    c.pins[2].pinPart = c.pins[3].pinPart = 2;
    c.pins[4].pinPart = 3;
    c.pins[4].hidden = true;  // joins nothing
    return c;
}

// Pin end of a gate placed without a turn: left pin at (x - 31, y + 10),
// right pin at (x + 61, y + 10).
q01::Bytes Circuit()
{
    q01::Bytes d = q01::Header(0);
    for (int i = 0; i < 8; ++i)
        d += q01::ComponentRecord(Gate("U" + std::to_string(i + 1), std::uint16_t(150 + 220 * (i % 4)),
                                       std::uint16_t(120 + 170 * (i / 4)), i % 4, i >= 4));
    d += q01::ComponentRecord(Dual(1, 150, 480, 0));
    d += q01::ComponentRecord(Dual(2, 400, 480, 1));
    d += q01::Line(100, 620, 400, 620, 1);
    d += q01::Line(200, 570, 200, 620, 1);  // a T
    d += q01::Line(300, 570, 300, 670, 1);  // a crossing with a dot
    d += q01::Junction(300, 620);
    d += q01::Line(350, 570, 350, 670, 1);  // a crossing without one
    d += q01::Annotation(250, 620, 0, "NETA");
    d += q01::Line(211, 130, 260, 130, 1);  // U1's output to a label of the same name
    d += q01::Annotation(260, 130, 0, "NETA");
    d += q01::Line(119, 490, 119, 570, 1);  // U9 pin 1 down to the T's top
    d += q01::Line(119, 570, 200, 570, 1);
    d += q01::Marker(119, 130, 4);  // on U1's input: left open
    d += q01::Marker(600, 660, 3);  // on nothing
    d += q01::Annotation(500, 700, 1, "A \"QUOTED\" NOTE");
    d += q01::DocBox(800, 560, 1000, 650, {"FIRST LINE", "SECOND"});
    return d;
}

struct Loaded {
    TDrawing drawing;
    explicit Loaded(const q01::Bytes& bytes) { drawing.Load(bytes.data(), bytes.size()); }
};

// ----------------------------------------------------------- lepton-eda

// The nets lepton-netlist's geda back-end finds in a file, "NAME: R1 1, R2 2"
// (pins sorted), sorted; empty when it cannot be run.
QStringList LeptonNets(const QString& schematic, QString* error)
{
    const QString out = schematic + QStringLiteral(".net");
    QProcess p;
    p.setWorkingDirectory(QFileInfo(schematic).path());
    p.start(QStringLiteral("lepton-netlist"), {"-g", "geda", "-o", out, schematic});
    if (!p.waitForFinished(300000) || p.exitCode() != 0) {
        *error = QString::fromLocal8Bit(p.readAllStandardError());
        return {};
    }
    QFile f(out);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const qsizetype start = text.indexOf(QStringLiteral("START nets")), end = text.indexOf(QStringLiteral("END nets"));
    QStringList nets;
    for (const QString& line : text.mid(start + 10, end - start - 10).split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QStringLiteral(" : "));
        if (colon < 0) continue;
        const QStringList listed = line.mid(colon + 3).split(QStringLiteral(", "));
        const std::set<QString> pins(listed.begin(), listed.end());
        nets << line.left(colon) + QStringLiteral(": ") +
                    QStringList(pins.begin(), pins.end()).join(QStringLiteral(", "));
    }
    nets.sort();
    return nets;
}

// Tracery's own nets in the same form, nets without pins left out.
QStringList TraceryNets(const TConnectivity& connectivity)
{
    QStringList nets;
    for (const TNet& net : connectivity.Nets()) {
        std::set<QString> pins;
        for (const TNetPin& pin : net.Pins) pins.insert(pin.Designation + QLatin1Char(' ') + pin.PinNumber);
        if (pins.empty()) continue;
        nets << net.Name + QStringLiteral(": ") + QStringList(pins.begin(), pins.end()).join(QStringLiteral(", "));
    }
    nets.sort();
    return nets;
}

bool HaveLepton() { return !QStandardPaths::findExecutable(QStringLiteral("lepton-netlist")).isEmpty(); }

}  // namespace

TEST(KicadSchematic, PinsWiresJunctionsLabelsAndMarksLandWhereTheDrawingHasThem)
{
    Loaded loaded(Circuit());
    const TConnectivity connectivity(loaded.drawing);
    StubSettings stub(true);
    const TSchematicSheet sheet(loaded.drawing, connectivity, stub.settings, QSize(1110, 720));
    const QByteArray text = KicadSchematic(sheet, QStringLiteral("circuit"));
    const SExpr file = ReadFile(text);
    ASSERT_EQ(file.Head(), "kicad_sch");
    EXPECT_EQ(file.Find("version")->Items[1].Atom, "20211123");
    EXPECT_EQ(file.Find("paper")->Items[1].Atom, "A4");

    // Every pin's connection point, in all four turns with and without a
    // flip and on the units of a part of two, is the drawing's pin end.
    const QStringList drawn = DrawingPinEnds(connectivity);
    EXPECT_EQ(drawn.size(), 8 * 4 + 2 * 3);
    EXPECT_EQ(KicadPinEnds(file), drawn);
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Loaded random(q01::DrawCircuit(q01::RandomCircuit(seed)));
        const TConnectivity c(random.drawing);
        const TSchematicSheet s(random.drawing, c, stub.settings, random.drawing.Page().Size);
        EXPECT_EQ(KicadPinEnds(ReadFile(KicadSchematic(s, QStringLiteral("random")))), DrawingPinEnds(c));
    }

    // One library symbol per body: the gate, the part of two with its units.
    const SExpr& lib = *file.Find("lib_symbols");
    ASSERT_EQ(lib.All("symbol").size(), 2u);
    const SExpr& gate = *lib.All("symbol")[0];
    EXPECT_EQ(gate[1], "Tracery:GATE");
    const SExpr& gateUnit = *gate.Find("symbol");
    QStringList pins;
    for (const SExpr* pin : gateUnit.All("pin"))
        pins << QString::fromUtf8((*pin)[1] + ' ' + (*pin)[2] + ' ' + pin->Find("name")->Items[1].Atom +
                                  (pin->Has("hide") ? " hide" : ""));
    EXPECT_EQ(pins, (QStringList{"input inverted ~{CS}", "output clock Q", "tri_state inverted_clock T",
                                 "power_in line VCC hide"}));
    // The picture's ink: its frame and the dot, as rectangles of whole pixels.
    EXPECT_EQ(gateUnit.All("rectangle").size(), 5u);
    const SExpr& dot = *gateUnit.All("rectangle")[3];  // after the top row and the two sides
    EXPECT_EQ(dot.Find("start")->Items[1].Atom + ' ' + dot.Find("start")->Items[2].Atom + ' ' +
                  dot.Find("end")->Items[1].Atom + ' ' + dot.Find("end")->Items[2].Atom,
              "3.683 -2.413 3.937 -2.667");
    EXPECT_EQ(lib.All("symbol")[1]->All("symbol").size(), 2u);

    // Wires cut where the T, the dot and the label join them; the crossing
    // without a dot stays whole. Junctions on the T and the dot.
    QStringList items;
    const auto point = [](const SExpr& xy) { return PointText(Pixel(Microns(xy[1]), Microns(xy[2]))); };
    for (const SExpr& item : file.Items) {
        const QByteArray head = item.Head();
        if (head == "wire" || head == "polyline") {
            const SExpr& pts = *item.Find("pts");
            items << QString::fromLatin1(head) + QLatin1Char(' ') + point(pts.Items[1]) + QLatin1Char(' ') +
                         point(pts.Items[2]);
        } else if (head == "junction" || head == "no_connect") {
            items << QString::fromLatin1(head) + QLatin1Char(' ') + point(*item.Find("at"));
        } else if (head == "label" || head == "text") {
            const SExpr& effects = *item.Find("effects");
            items << QString::fromLatin1(head) + QLatin1Char(' ') + QString::fromUtf8(item[1]) + QLatin1Char(' ') +
                         point(*item.Find("at")) + QLatin1Char(' ') +
                         QString::fromLatin1(effects.Find("font")->Find("size")->Items[1].Atom + ' ' +
                                             effects.Find("justify")->Items[1].Atom + ' ' +
                                             effects.Find("justify")->Items[2].Atom);
        }
    }
    EXPECT_EQ(items, (QStringList{
                         "junction 200,620",
                         "junction 300,620",
                         "no_connect 119,130",
                         "wire 100,620 200,620",
                         "wire 200,620 250,620",
                         "wire 250,620 300,620",
                         "wire 300,620 400,620",
                         "wire 200,570 200,620",
                         "wire 300,570 300,620",
                         "wire 300,620 300,670",
                         "wire 350,570 350,670",
                         "wire 211,130 260,130",
                         "wire 119,490 119,570",
                         "wire 119,570 200,570",
                         "polyline 596,656 604,664",
                         "polyline 596,664 604,656",
                         "polyline 800,560 1000,560",
                         "polyline 1000,560 1000,650",
                         "polyline 1000,650 800,650",
                         "polyline 800,650 800,560",
                         "text A \"QUOTED\" NOTE 510,700 2.286 left bottom",
                         "text FIRST LINE\nSECOND 810,565 2.032 left top",
                         "label NETA 250,620 2.032 left bottom",
                         "label NETA 260,130 2.032 left bottom",
                     }));

    // Fields: the designation and the package text where the drawing writes
    // them, horizontal whatever the symbol's turn and mirror.
    QStringList fields;
    for (const SExpr* placed : file.All("symbol")) {
        const SExpr& at = *placed->Find("at");
        QString line = QString::fromLatin1(at[3]) + (placed->Find("mirror") ? " mirror" : "");
        for (const SExpr* property : placed->All("property")) {
            const SExpr& effects = *property->Find("effects");
            if (effects.Has("hide")) continue;
            const SExpr& p = *property->Find("at");
            line += QStringLiteral(" | %1 %2 %3 %4 %5")
                        .arg(QString::fromUtf8((*property)[2]), PointText(Pixel(Microns(p[1]), Microns(p[2]))),
                             QString::fromLatin1(p[3]), QString::fromLatin1(effects.Find("justify")->Items[1].Atom),
                             QString::fromLatin1(effects.Find("justify")->Items[2].Atom));
        }
        fields << line;
    }
    EXPECT_EQ(fields, (QStringList{
                          "0 | U1 155,90 0 left top | GATE 155,160 0 left top",
                          "90 | U2 375,90 90 right bottom | GATE 375,160 90 right bottom",
                          "180 | U3 595,90 0 right bottom | GATE 595,160 0 right bottom",
                          "270 | U4 815,90 90 left top | GATE 815,160 90 left top",
                          "0 mirror | U5 155,260 0 right top | GATE 155,330 0 right top",
                          "90 mirror | U6 375,260 90 left bottom | GATE 375,330 90 left bottom",
                          "0 mirror | U7 595,260 0 left bottom | GATE 595,330 0 left bottom",
                          "270 mirror | U8 815,260 90 right top | GATE 815,330 90 right top",
                          "0 | U9 0,0 0 left top | DUAL 0,0 0 left top",
                          "90 | U9 0,0 90 right bottom | DUAL 0,0 90 right bottom",
                      }));
}

TEST(LeptonSchematic, LeptonNetlistFindsTraceryNetsAndNamesAndLeptonDrawsTheSheet)
{
    if (!HaveLepton()) GTEST_SKIP() << "lepton-eda is not installed (tools/build.sh installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile sample(QStringLiteral(TRACERY_SOURCE_DIR "/samples/amp.q01"));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray sampleBytes = sample.readAll();
    // The drawing above, the sample and generated circuits of every kind of
    // part in all eight orientations (lepton-eda's netlister takes a while
    // per file: a few seeds).
    std::vector<std::pair<QString, q01::Bytes>> drawings = {
        {QStringLiteral("circuit"), Circuit()},
        {QStringLiteral("amp"), q01::Bytes(sampleBytes.begin(), sampleBytes.end())},
    };
    for (std::uint32_t seed = 1; seed <= 8; ++seed)
        drawings.emplace_back(QStringLiteral("seed%1").arg(seed), q01::DrawCircuit(q01::RandomCircuit(seed)));
    StubSettings stub(true);
    for (const auto& [name, bytes] : drawings) {
        SCOPED_TRACE(name.toStdString());
        Loaded loaded(bytes);
        const TConnectivity connectivity(loaded.drawing);
        const TSchematicSheet sheet(loaded.drawing, connectivity, stub.settings, loaded.drawing.Page().Size);
        const QString path = dir.filePath(name + QStringLiteral(".sch"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(LeptonSchematic(sheet));
        f.close();
        QString error;
        const QStringList nets = LeptonNets(path, &error);
        EXPECT_FALSE(nets.isEmpty()) << error.toStdString();
        EXPECT_EQ(nets, TraceryNets(connectivity));

        if (name.startsWith(QLatin1String("seed")) && name != QLatin1String("seed1")) continue;
        QProcess render;
        render.start(QStringLiteral("lepton-cli"), {"export", "-o", dir.filePath(name + ".pdf"), path});
        ASSERT_TRUE(render.waitForFinished(300000));
        EXPECT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
        EXPECT_GT(QFileInfo(dir.filePath(name + ".pdf")).size(), 1000);
    }
}

TEST(KicadSchematic, TheSampleIsWrittenAsTheBundledSchematic)
{
    // The program itself, from a folder of its own (so its settings file is
    // a fresh one), as a user runs it.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFile::copy(TRACERY_BINARY, dir.filePath("tracery")));
    ASSERT_TRUE(QFile::copy(TRACERY_SOURCE_DIR "/samples/amp.q01", dir.filePath("amp.q01")));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", dir.path());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(dir.filePath("tracery"), {"--batch", "--kicad", "--out=out", "amp.q01"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile written(dir.filePath("out/amp.kicad_sch")), bundled(TRACERY_SOURCE_DIR "/samples/amp.kicad_sch");
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    ASSERT_TRUE(bundled.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    EXPECT_EQ(text.toStdString(), bundled.readAll().toStdString());
    const SExpr file = ReadFile(text);
    EXPECT_EQ(file.Head(), "kicad_sch");
}

// ------------------------------------------------------------- netlist

TEST(KicadNetlist, TextsWithQuotesBackslashesLongRunsAndAccentsAreQuotedAsTheyRead)
{
    const q01::Bytes d = q01::Header(4);
    Loaded loaded(d);
    const TConnectivity connectivity(loaded.drawing);
    const QString longRun(100, QLatin1Char('d'));  // longer than the texts gathered at once
    const QString source = QStringLiteral("C:\\") + longRun + QStringLiteral("\\\"x\"\\caf\u00e9 \"1\\2\".q01");
    EXPECT_EQ(KicadNetlist(loaded.drawing, connectivity, source).toStdString(),
              "(export (version \"E\")\n"
              "  (design\n"
              "    (source \"C:\\\\" +
                  longRun.toStdString() +
                  "\\\\\\\"x\\\"\\\\caf\xC3\xA9 \\\"1\\\\2\\\".q01\")\n"
                  "    (tool \"Tracery " TRACERY_VERSION
                  "\")\n"
                  "    (sheet (number \"1\") (name \"/\") (tstamps \"/\")))\n"
                  "  (components)\n"
                  "  (nets))\n");
}
