// Writes the seed corpora of the fuzz targets:
//   fuzz_seeds DIR   ->  DIR/drawing/*.q01 and DIR/settings/*.ini
// Drawings come from the drawing-file builder: every record kind, every page
// code, every component orientation, pins of every side, flag and type,
// pictures, components of several parts. Settings files come from the
// program's own writers, plus a few hand-written oddities.
#include <QDir>
#include <QMenu>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <string>

#include "FuzzCommon.h"
#include "Q01Builder.h"
#include "Q01Component.h"
#include "app/Recentfiles.h"
#include "settings/Bitmapwin.h"
#include "settings/Junctionwin.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"
#include "settings/Quorvline.h"
#include "settings/Valwin.h"

using q01::Bytes;
using q01::Component;
using q01::ComponentPart;
using q01::ComponentPin;
using q01::operator+=;

namespace {

QString outDir;

void Save(const QString& sub, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(outDir + "/" + sub);
    QFile f(outDir + "/" + sub + "/" + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(bytes);
}

void SaveDrawing(const QString& name, const Bytes& bytes)
{
    Save(QStringLiteral("drawing"), name + ".q01",
         QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

ComponentPin Pin(std::string number, std::string name, std::uint8_t side, std::uint8_t offset, std::uint8_t type = 0)
{
    ComponentPin p;
    p.number = std::move(number);
    p.name = std::move(name);
    p.side = side;
    p.offsetUnits = offset;
    p.electricalType = type;
    return p;
}

// A 2 x 3 unit gate with a drawn body and one pin on each side.
Component Gate(std::uint8_t rotation, bool flip)
{
    Component c;
    c.designation = "U1";
    c.packageText = "DIP14";
    c.valueText = "74HC00";
    c.anchorX = 300;
    c.anchorY = 300;
    c.rotation = rotation;
    c.hFlip = flip;
    c.designationX = 300;
    c.designationY = 280;
    c.valueX = 300;
    c.valueY = 340;
    c.parts = {ComponentPart{0, 2, 3}};
    std::vector<std::string> rows(31, std::string(21, '.'));
    for (int x = 0; x < 21; ++x) rows[0][x] = rows[30][x] = '#';
    for (int y = 0; y < 31; ++y) rows[y][0] = rows[y][20] = '#';
    c.parts[0].pictureIndex = q01::AddPicture(c, q01::PartPicture(0x5A, rows));
    ComponentPin a = Pin("1", "A", q01::sideLeft, 1, 0);
    a.wedge = true;
    ComponentPin y = Pin("3", "\xD9", q01::sideRight, 2, 1);  // marked name
    y.circle = true;
    c.pins = {a, Pin("2", "B/C", q01::sideBottom, 1, 2), y, Pin("14", "VCC", q01::sideTop, 1, 5)};
    return c;
}

void Drawings()
{
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFE, 0xFF})
        SaveDrawing(QStringLiteral("header-%1").arg(code, 2, 16, QLatin1Char('0')), q01::Header(std::uint8_t(code)));

    Bytes lines = q01::Header(0);
    for (int type = 0; type <= 6; ++type)
        lines += q01::Line(20, std::uint16_t(30 + 20 * type), 400, std::uint16_t(30 + 20 * type), std::uint8_t(type));
    lines += q01::Line(500, 500, 10, 10, 1);
    SaveDrawing(QStringLiteral("lines"), lines);

    Bytes dots = q01::Header(0);
    dots += q01::Junction(100, 100);
    dots += q01::Junction(0, 0);
    dots += q01::Marker(200, 200, 3);
    dots += q01::Marker(65535, 65535, 255);
    SaveDrawing(QStringLiteral("junctions-markers"), dots);

    Bytes texts = q01::Header(0);
    for (int font = 0; font <= 5; ++font)
        texts += q01::Annotation(50, std::uint16_t(40 + 30 * font), std::uint8_t(font),
                                 font % 2 ? "R1" : "A LONGER LABEL TEXT 22");
    texts += q01::AnnotationRaw(10, 10, 1, 255, "overlong length byte");
    SaveDrawing(QStringLiteral("annotations"), texts);

    Bytes boxes = q01::Header(0);
    boxes += q01::DocBox(700, 500, 1080, 700, {"TITLE  AMPLIFIER", "DRAWN  TRACERY", "REV A"});
    boxes += q01::DocBox(10, 10, 100, 50, {});
    boxes += q01::DocBox(10, 10, 100, 50, {"CR LF"}, "\r\n");
    boxes += q01::DocBox(10, 60, 100, 90, {"ONE", "TWO"}, "\x8D\n");
    SaveDrawing(QStringLiteral("docboxes"), boxes);

    Bytes skipped = q01::Header(0);
    skipped += q01::Line(1, 1, 50, 50, 1);
    skipped += q01::Record0x40();
    skipped += q01::Line(1, 50, 50, 1, 2);
    skipped += q01::Blank(0x15);
    SaveDrawing(QStringLiteral("skipped-and-unknown"), skipped);

    // Every orientation, with and without flip.
    for (int rotation = 0; rotation < 4; ++rotation)
        for (bool flip : {false, true}) {
            Bytes d = q01::Header(0);
            d += q01::ComponentRecord(Gate(std::uint8_t(rotation), flip));
            SaveDrawing(QStringLiteral("component-orientation-%1").arg(rotation + (flip ? 4 : 0)), d);
        }

    // Pin styles, hidden pins, every electrical type.
    for (int style = 0; style <= 5; ++style) {
        Component c = Gate(0, false);
        c.pinStyle = std::uint8_t(style);
        c.parts[0].pictureIndex = 0;
        c.pins.clear();
        for (int t = 0; t < 16; ++t) {
            ComponentPin p = Pin(std::to_string(t + 1), "P" + std::to_string(t), std::uint8_t(t % 4),
                                 std::uint8_t(t % 3), std::uint8_t(t));
            p.hidden = t == 7;
            p.circle = t % 5 == 1;
            p.wedge = t % 3 == 2;
            c.pins.push_back(p);
        }
        Bytes d = q01::Header(1);
        d += q01::ComponentRecord(c);
        SaveDrawing(QStringLiteral("component-pinstyle-%1").arg(style), d);
    }

    // A component of three parts, each record showing one part.
    {
        Bytes d = q01::Header(1);
        for (std::uint8_t part = 1; part <= 3; ++part) {
            Component c = Gate(part % 4, false);
            c.designation = "U7";
            c.partNumber = part;
            c.anchorX = std::uint16_t(150 * part);
            c.parts = {c.parts[0], ComponentPart{0, 3, 2}, ComponentPart{0, 1, 1}};
            c.pins[0].pinPart = 1;
            c.pins[1].pinPart = 2;
            c.pins[2].pinPart = 3;
            d += q01::ComponentRecord(c);
        }
        SaveDrawing(QStringLiteral("component-three-parts"), d);
    }

    // Limits: the largest body, broken counts and lengths.
    {
        Component big;
        big.parts = {ComponentPart{0, 255, 255}};
        Bytes d = q01::Header(5);
        d += q01::ComponentRecord(big);
        d += q01::ComponentRecord(big);
        SaveDrawing(QStringLiteral("component-largest"), d);

        Component broken = Gate(1, true);
        broken.rawPartCount = 0;
        broken.rawPinCount = 7;
        broken.rawDesignationLength = 200;
        broken.rawPackageLength = 11;
        broken.pins[0].rawNumberLength = 9;
        broken.pins[0].rawNameLength = 255;
        broken.pins[1].side = 7;
        Bytes e = q01::Header(0);
        e += q01::ComponentRecord(broken);
        SaveDrawing(QStringLiteral("component-broken"), e);

        Component part9 = Gate(2, false);
        part9.partNumber = 9;
        Bytes f = q01::Header(0);
        f += q01::ComponentRecord(part9);
        Bytes cut = q01::ComponentRecord(Gate(3, false));
        cut.resize(cut.size() - 5);
        f += cut;
        SaveDrawing(QStringLiteral("component-part-out-of-range-and-cut"), f);
    }

    // Everything together, as a drawing would hold it.
    {
        Bytes d = q01::Header(1);
        d += q01::Line(10, 10, 300, 10, 1);
        d += q01::Junction(300, 10);
        d += q01::Annotation(40, 40, 2, "VIN");
        d += q01::DocBox(700, 500, 1080, 700, {"TITLE"});
        d += q01::Marker(60, 60, 4);
        d += q01::ComponentRecord(Gate(1, false));
        d += q01::Record0x40();
        SaveDrawing(QStringLiteral("all-kinds"), d);
    }
}

TFont MakePinFont()
{
    TFont f;
    f.Face = QStringLiteral("DejaVu Sans");
    f.Size = 7;
    f.Colour = 0x00800080;
    f.Bold = true;
    return f;
}

QByteArray IniText() { return fuzz::ReadBytes(SettingsFileName()); }

void Settings()
{
    // The program's defaults, written by its own writers.
    {
        QWidget owner;
        owner.setObjectName(QStringLiteral("frmLineData"));
        auto* placement = new TValWin(&owner);
        placement->SetRestoreSize(true);
        owner.move(120, 80);
        TfraFont fonts;
        fonts.SetSectionName(QStringLiteral("Font"));
        TfraColour palette;
        TfraLine lines;
        lines.LoadSettings();
        TfrmJunction junction;
        TfrmBitmap bitmap;
        QMenu menu;
        TRecentFiles recent(&menu);
        recent.AddFile(QStringLiteral("/home/user/drawings/amp.q01"));
        recent.AddFile(QStringLiteral("C:\\work\\power supply.q01"));
        fonts.SaveSettings();
        {
            TIniFile ini(SettingsFileName());
            palette.WriteSettings(&ini);
            ini.WriteString(QStringLiteral("Main"), QStringLiteral("File"),
                            QStringLiteral("/home/user/drawings/amp.q01"));
        }
        lines.SaveSettings();
        junction.SaveSettings();
        TFont pin = MakePinFont();
        bitmap.SavePinFont(pin, QStringLiteral("Pin Number"));
        pin.Italic = true;
        pin.Face = QStringLiteral("Liberation Sans, \"quoted\"");
        bitmap.SavePinFont(pin, QStringLiteral("Pin String"));
        bitmap.btnSaveClick();
        recent.Save();
        placement->close();
    }
    Save(QStringLiteral("settings"), QStringLiteral("written.ini"), IniText());

    Save(QStringLiteral("settings"), QStringLiteral("odd.ini"),
         "; comment\r\n[font]\r\nsize 1 = \"Arial\" , 12 , 0x000000ff , bold , italic\r\nSize 2=,,,\r\n"
         "[Colours]\r\nColour[0][0]=0xFFFFFFFF\r\nColour[6][4]=$7fffffff\r\nColour[1][1]=-2147483648\r\nColour[9][9]="
         "1\r\n"
         "[Lines]\r\nType 1=0x00ff0000,3,10\r\nType 2=0x0,7,-1\r\nType 5=1,2\r\n"
         "[Junction Data]\r\nDiameter=1000\r\nColour=0X80000008\r\n"
         "[Bitmap]\r\nPin Number=\"\"\r\nDesig Font=4\r\nValue Font=99\r\n"
         "[Recent Files]\r\nFile1=a.q01\r\nFile1=a.q01\r\nFile7=\"b.q01\"\r\n"
         "[frmLineData]\r\nLeft=2147483647\r\nTop=-2147483648\r\nWidth=0\r\nHeight=99999999\r\n");
    Save(QStringLiteral("settings"), QStringLiteral("empty.ini"), QByteArray());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    fuzz::StartApplication("fuzz_seeds");
    outDir = QString::fromLocal8Bit(argv[1]);
    Drawings();
    Settings();
    return 0;
}
