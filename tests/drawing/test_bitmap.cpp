// Component symbol records: framing, parts, placement, queries, the picture
// body and broken records.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include <memory>
#include <set>
#include <utility>

#include "Q01Component.h"
#include "app/Surface.h"
#include "drawing/Bitmap.h"

namespace {

using q01::Bytes;
using q01::Component;
using q01::ComponentPart;
using q01::ComponentPin;

struct Loaded {
    std::unique_ptr<Bitmap> bitmap;
    std::ptrdiff_t consumed = 0;
};

// Constructs a component from the start of `data`; the data ends where the vector ends.
Loaded Load(const Bytes& data)
{
    const std::uint8_t* pos = data.data();
    Loaded loaded;
    loaded.bitmap = std::make_unique<Bitmap>(pos, data.data() + data.size());
    loaded.consumed = pos - data.data();
    return loaded;
}

// A 2 x 3 unit body (21 x 31 pixels) without picture, anchored at (100, 200).
Component TwoByThree()
{
    Component c;
    c.designation = "U7";
    c.anchorX = 100;
    c.anchorY = 200;
    c.parts = {ComponentPart{0, 2, 3}};
    return c;
}

ComponentPin MakePin(std::uint8_t side, std::uint8_t offset, std::string number, std::string name,
                     std::uint8_t type = 0)
{
    ComponentPin p;
    p.side = side;
    p.offsetUnits = offset;
    p.number = std::move(number);
    p.name = std::move(name);
    p.electricalType = type;
    return p;
}

TRect RectOf(Bitmap& b)
{
    bool valid = false;
    const TRect r = b.GetRect(valid);
    EXPECT_TRUE(valid);
    return r;
}

// Image pixels holding ink.
std::set<std::pair<int, int>> InkPixels(const TSurface& s)
{
    std::set<std::pair<int, int>> ink;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) == Bitmap::inkColour) ink.insert({x, y});
    return ink;
}

}  // namespace

// ---------------------------------------------------------------------------
// Framing and record layout

TEST(BitmapRecord, ThreePartsTwoPinsFactorsFiveAndSevenMake176Bytes)
{
    Component c = TwoByThree();
    c.parts = {ComponentPart{0, 1, 1}, ComponentPart{0, 2, 2}, ComponentPart{0, 3, 3}};
    c.pins = {MakePin(0, 1, "1", "A"), MakePin(2, 1, "2", "B")};
    c.pictureAreaFactor1 = 5;
    c.pictureAreaFactor2 = 7;
    Bytes data = q01::ComponentRecord(c);
    ASSERT_EQ(data.size(), 176u);
    data.resize(176 + 32, 0x10);  // a following record must stay unread

    const Loaded loaded = Load(data);
    EXPECT_EQ(loaded.consumed, 176);
    EXPECT_EQ(loaded.bitmap->GetPinCount(), 2);
}

TEST(BitmapRecord, PictureAreaFactorZeroGivesNoArea)
{
    Component c = TwoByThree();
    c.parts = {ComponentPart{0, 1, 1}, ComponentPart{0, 2, 2}, ComponentPart{0, 3, 3}};
    c.pins = {MakePin(0, 1, "1", "A"), MakePin(2, 1, "2", "B")};
    c.pictureAreaFactor1 = 0;
    c.pictureAreaFactor2 = 9;
    Bytes data = q01::ComponentRecord(c);
    ASSERT_EQ(data.size(), 128u);
    data.resize(160, 0x10);
    EXPECT_EQ(Load(data).consumed, 128);
}

TEST(BitmapRecord, HeadFieldsSitAtTheirOffsets)
{
    Component c = TwoByThree();
    c.packageText = "DIP14";
    c.valueText = "74HC00";
    c.rotation = 3;
    c.hFlip = true;
    c.designationX = 0x1234;
    c.valueY = 0xABCD;
    c.partNumber = 1;
    c.pinStyle = 4;
    const Bytes data = q01::ComponentRecord(c);
    EXPECT_EQ(data[0], 0x70);
    EXPECT_EQ(data[1], 2);
    EXPECT_EQ(data[2], 'U');
    EXPECT_EQ(data[12], 100);
    EXPECT_EQ(data[14], 200);
    EXPECT_EQ(data[17], 5);
    EXPECT_EQ(data[18], 'D');
    EXPECT_EQ(data[33], 7);
    EXPECT_EQ(data[35], 0x34);
    EXPECT_EQ(data[36], 0x12);
    EXPECT_EQ(data[41], 0xCD);
    EXPECT_EQ(data[42], 0xAB);
    EXPECT_EQ(data[44], 1);
    EXPECT_EQ(data[47], 4);
    EXPECT_EQ(data[53], 6);
    EXPECT_EQ(data[54], '7');
}

TEST(BitmapRecord, ThirdPartDescriptorOpensTheSecondBlockSecondEndsTheFirstHalf)
{
    // Written by hand: three descriptors, each with its own body size.
    Bytes data(64 + 32, 0);
    data[0] = 0x70;
    data[44] = 3;
    data[64 + 2] = 1;  // part 1: 1 x 1 units
    data[64 + 3] = 1;
    data[64 + 4 + 2] = 2;  // part 2: bytes 4-7 of block 0
    data[64 + 4 + 3] = 4;
    data[64 + 16 + 2] = 5;  // part 3: bytes 0-3 of block 1
    data[64 + 16 + 3] = 6;

    data[43] = 2;
    Loaded two = Load(data);
    EXPECT_EQ(two.consumed, 96);
    EXPECT_EQ(two.bitmap->GetBodyWidth(), 21);
    EXPECT_EQ(two.bitmap->GetBodyHeight(), 41);

    data[43] = 3;
    Loaded three = Load(data);
    EXPECT_EQ(three.bitmap->GetBodyWidth(), 51);
    EXPECT_EQ(three.bitmap->GetBodyHeight(), 61);

    // The builder puts them in the same places.
    Component c;
    c.parts = {ComponentPart{0, 1, 1}, ComponentPart{0, 2, 4}, ComponentPart{0, 5, 6}};
    c.partNumber = 3;
    c.designation = "";
    const Bytes built = q01::ComponentRecord(c);
    EXPECT_EQ(Bytes(built.begin() + 64, built.end()), Bytes(data.begin() + 64, data.end()));
}

TEST(BitmapRecord, PinRecordsAreCopiedInFileOrder)
{
    Component c = TwoByThree();
    ComponentPin a = MakePin(2, 3, "14", "CLK", 0);
    a.pinPart = 2;
    a.circle = true;
    a.hidden = true;
    ComponentPin b = MakePin(1, 0, "7", "GND", 5);
    b.wedge = true;
    c.pins = {a, b};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    const auto& pins = loaded.bitmap->GetPins();
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0].PinPart(), 2);
    EXPECT_TRUE(pins[0].Circle());
    EXPECT_FALSE(pins[0].Wedge());
    EXPECT_TRUE(pins[0].Hidden());
    EXPECT_EQ(pins[0].Number(), "14");
    EXPECT_EQ(pins[0].Name(), "CLK");
    EXPECT_EQ(pins[0].SideByte(), 2);
    EXPECT_EQ(pins[0].OffsetUnits(), 3);
    EXPECT_TRUE(pins[1].Wedge());
    EXPECT_FALSE(pins[1].Circle());
    EXPECT_EQ(pins[1].ElectricalType(), 5);
}

// ---------------------------------------------------------------------------
// Texts and names

TEST(BitmapQueries, NameOfASinglePartComponentIsTheDesignation)
{
    Component c = TwoByThree();
    EXPECT_EQ(Load(q01::ComponentRecord(c)).bitmap->GetName(), "U7");
}

TEST(BitmapQueries, NameOfPartTwoOfFourCarriesSuffixB)
{
    Component c = TwoByThree();
    c.parts = {ComponentPart{0, 2, 3}, ComponentPart{0, 2, 3}, ComponentPart{0, 2, 3}, ComponentPart{0, 2, 3}};
    c.partNumber = 2;
    EXPECT_EQ(Load(q01::ComponentRecord(c)).bitmap->GetName(), "U7:B");
}

TEST(BitmapQueries, ValueAndPackageComeFromTheirOwnFields)
{
    Component c = TwoByThree();
    c.packageText = "DIP14";
    c.valueText = "74HC00";
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->GetValue(), "74HC00");
    EXPECT_EQ(loaded.bitmap->GetPackage(), "DIP14");
}

TEST(BitmapQueries, ZeroByteEndsAText)
{
    Component c = TwoByThree();
    c.designation = std::string("AB\0CD", 5);
    EXPECT_EQ(Load(q01::ComponentRecord(c)).bitmap->GetName(), "AB");
}

TEST(BitmapQueries, IsClassOnlyForBitmapInItsOwnCase)
{
    const Loaded loaded = Load(q01::ComponentRecord(TwoByThree()));
    EXPECT_TRUE(loaded.bitmap->IsClass("Bitmap"));
    EXPECT_FALSE(loaded.bitmap->IsClass("bitmap"));
    EXPECT_FALSE(loaded.bitmap->IsClass("Junction"));
    EXPECT_EQ(loaded.bitmap->GetMargin(), 40);
}

TEST(BitmapQueries, PinLinesFollowTheFixedFormat)
{
    Component c = TwoByThree();
    c.pins = {MakePin(2, 3, "14", "CLK", 0), MakePin(3, 0, "1", "", 5)};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    QStringList lines{"existing"};
    loaded.bitmap->ListPins(lines);
    EXPECT_EQ(lines, QStringList({"existing", "R3   14    'CLK'         IN", "T0   1    ''         Pwr"}));
}

TEST(BitmapQueries, PinLineKeepsMarkedCharactersAndNamesEveryType)
{
    Bitmap::Pin pin;
    pin.bytes[7] = 3;
    pin.bytes[8] = char(0xC3);  // marked C
    pin.bytes[9] = '/';
    pin.bytes[10] = 'S';
    pin.bytes[14] = 1;
    pin.bytes[15] = 12;
    const char* names[] = {"IN", "OUT", "I/O", "HiZ", "OC", "Pwr", "Passive"};
    for (int type = 0; type < 7; ++type) {
        pin.bytes[1] = std::uint8_t(type << 4);
        EXPECT_EQ(Bitmap::FormatPinLine(pin), QByteArray("B12       '\xC3/S'         ") + names[type]);
    }
    // The texts of ListPins give the bytes back unchanged.
    EXPECT_EQ(QString::fromLatin1(Bitmap::FormatPinLine(pin)).toLatin1(), Bitmap::FormatPinLine(pin));
}

TEST(BitmapQueries, PinLineForUnnamedSideAndTypeShowsQuestionMarkAndNumber)
{
    Bitmap::Pin pin;
    pin.bytes[1] = 0x90;  // type 9
    pin.bytes[2] = 1;
    pin.bytes[3] = '5';
    pin.bytes[14] = 4;
    pin.bytes[15] = 2;
    EXPECT_EQ(Bitmap::FormatPinLine(pin), "?2   5    ''         9");
    pin.bytes[1] = 0xF0;
    pin.bytes[14] = 0xFF;
    EXPECT_EQ(Bitmap::FormatPinLine(pin), "?2   5    ''         15");
}

TEST(BitmapQueries, DisplayPinNameReordersMarkedHalves)
{
    EXPECT_EQ(DisplayPinName("RD"), "RD");
    EXPECT_EQ(DisplayPinName("\xC3\xD3"), "/CS");
    EXPECT_EQ(DisplayPinName("\xC1/B"), "B/A");
    EXPECT_EQ(DisplayPinName("A/B"), "A/B");
    EXPECT_EQ(DisplayPinName("A/B/C"), "A/BC");
    EXPECT_EQ(DisplayPinName("A/\xC2"), "A/B");  // a marked second half changes nothing
    EXPECT_EQ(DisplayPinName(""), "");
    EXPECT_EQ(DisplayPinName("/"), "/");
}

// ---------------------------------------------------------------------------
// Placement

struct PlacementCase {
    std::uint8_t orientation;
    int width, height;  // bodyImage
    int left, top;      // imageLeft, imageTop
    TRect rect;
    int rotation;
    bool hFlip, vFlip;
};

// Test names and failure output show the orientation byte.
[[maybe_unused]] static void PrintTo(const PlacementCase& p, std::ostream* os)
{
    *os << "orientation " << int(p.orientation);
}

class BitmapPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(BitmapPlacement, ImageSizePositionRectAndStoredOrientation)
{
    const PlacementCase& p = GetParam();
    Component c = TwoByThree();  // w = 21, h = 31, anchor (100, 200)
    c.rawOrientation = p.orientation;
    const Loaded loaded = Load(q01::ComponentRecord(c));
    Bitmap& b = *loaded.bitmap;
    EXPECT_EQ(b.GetBodyImage().Width(), p.width);
    EXPECT_EQ(b.GetBodyImage().Height(), p.height);
    EXPECT_EQ(b.GetImageLeft(), p.left);
    EXPECT_EQ(b.GetImageTop(), p.top);
    EXPECT_EQ(RectOf(b), p.rect);
    EXPECT_EQ(b.GetRotation(), p.rotation);
    EXPECT_EQ(b.GetHFlip(), p.hFlip);
    EXPECT_EQ(b.GetVFlip(), p.vFlip);
    // The body's origin pixel lands on the anchor.
    EXPECT_EQ(b.TransformPoint(0, 0) + QPoint(b.GetImageLeft(), b.GetImageTop()), QPoint(100, 200));
}

INSTANTIATE_TEST_SUITE_P(AllEightOrientations, BitmapPlacement,
                         ::testing::Values(PlacementCase{0, 101, 111, 60, 160, {100, 200, 121, 231}, 0, false, false},
                                           PlacementCase{4, 101, 111, 40, 160, {80, 200, 101, 231}, 0, true, false},
                                           PlacementCase{1, 111, 101, 60, 140, {100, 180, 131, 201}, 1, false, false},
                                           PlacementCase{5, 111, 101, 30, 140, {70, 180, 101, 201}, 1, true, false},
                                           PlacementCase{2, 101, 111, 40, 130, {80, 170, 101, 201}, 2, false, false},
                                           PlacementCase{6, 101, 111, 60, 130, {100, 170, 121, 201}, 0, false, true},
                                           PlacementCase{3, 111, 101, 30, 160, {70, 200, 101, 221}, 3, false, false},
                                           PlacementCase{7, 111, 101, 60, 160, {100, 200, 131, 221}, 3, true, false},
                                           // Bits 3-7 are not read.
                                           PlacementCase{
                                               0xF9, 111, 101, 60, 140, {100, 180, 131, 201}, 1, false, false}),
                         [](const ::testing::TestParamInfo<PlacementCase>& placement) {
                             return "Orientation" + std::to_string(placement.param.orientation);
                         });

TEST(BitmapPlacementEdges, WidthUnitsZeroGivesABodyOnePixelWide)
{
    Component c = TwoByThree();
    c.parts = {ComponentPart{0, 0, 3}};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Width(), 81);
    EXPECT_EQ(RectOf(*loaded.bitmap), (TRect{100, 200, 101, 231}));
}

TEST(BitmapPlacementEdges, AnchorNearTheOriginGivesANegativeImagePosition)
{
    Component c = TwoByThree();
    c.anchorX = 5;
    c.anchorY = 0;
    c.rotation = 2;
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->GetImageLeft(), 5 - 40 - 20);
    EXPECT_EQ(loaded.bitmap->GetImageTop(), -40 - 30);
}

// ---------------------------------------------------------------------------
// Pin geometry

TEST(BitmapPinGeometry, LeftPinAtOffsetTwoMeetsTheBodyAt40_60)
{
    Component c = TwoByThree();
    c.pins = {MakePin(0, 2, "1", "A")};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->PinEdgePoint(loaded.bitmap->GetPins()[0]), QPoint(40, 60));
}

TEST(BitmapPinGeometry, EdgePointsOfEverySideAtRotationZero)
{
    Component c = TwoByThree();  // 21 x 31
    c.pins = {MakePin(0, 1, "", ""), MakePin(1, 1, "", ""), MakePin(2, 2, "", ""), MakePin(3, 2, "", ""),
              MakePin(4, 1, "", "")};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    const Bitmap& b = *loaded.bitmap;
    const auto& pins = b.GetPins();
    EXPECT_EQ(b.PinEdgePoint(pins[0]), QPoint(40, 50));
    EXPECT_EQ(b.PinEdgePoint(pins[1]), QPoint(50, 70));
    EXPECT_EQ(b.PinEdgePoint(pins[2]), QPoint(60, 60));
    EXPECT_EQ(b.PinEdgePoint(pins[3]), QPoint(60, 40));
    EXPECT_EQ(b.PinEdgePoint(pins[4]), QPoint(39, 39));  // no side: body point (-1, -1)
}

TEST(BitmapPinGeometry, QuarterTurnTakesLeftToBottom)
{
    Component c = TwoByThree();
    c.rotation = 1;
    const Loaded loaded = Load(q01::ComponentRecord(c));
    const Bitmap& b = *loaded.bitmap;
    EXPECT_EQ(b.ScreenSide(0), Bitmap::sideBottom);
    EXPECT_EQ(b.ScreenSide(1), Bitmap::sideRight);
    EXPECT_EQ(b.ScreenSide(2), Bitmap::sideTop);
    EXPECT_EQ(b.ScreenSide(3), Bitmap::sideLeft);
    EXPECT_EQ(b.ScreenSide(0xFF), Bitmap::sideLeft);  // -1 + 1
}

TEST(BitmapPinGeometry, FlipsSwapTheirOwnPairOfSides)
{
    Component c = TwoByThree();
    c.hFlip = true;
    const Loaded h = Load(q01::ComponentRecord(c));
    EXPECT_EQ(h.bitmap->ScreenSide(0), Bitmap::sideRight);
    EXPECT_EQ(h.bitmap->ScreenSide(1), Bitmap::sideBottom);
    c.rotation = 2;  // stored as a top-bottom mirror
    const Loaded v = Load(q01::ComponentRecord(c));
    EXPECT_EQ(v.bitmap->ScreenSide(0), Bitmap::sideLeft);
    EXPECT_EQ(v.bitmap->ScreenSide(1), Bitmap::sideTop);
    EXPECT_EQ(v.bitmap->ScreenSide(0xFE), Bitmap::sideRight);  // -2 wraps to Right
}

TEST(BitmapPinGeometry, PinLengthByPinStyle)
{
    const std::pair<int, int> cases[] = {{0, 31}, {1, 11}, {2, 11}, {3, 11}, {4, 31}, {5, 31}, {255, 31}};
    for (auto [style, length] : cases) {
        Component c = TwoByThree();
        c.pinStyle = std::uint8_t(style);
        EXPECT_EQ(Load(q01::ComponentRecord(c)).bitmap->PinLength(), length) << "pinStyle " << style;
    }
}

// ---------------------------------------------------------------------------
// Picture bodies

namespace {

// An 11 x 11 body with a few ink pixels that tell every turn and mirror apart.
const std::vector<std::pair<int, int>> pictureInk = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {7, 3}, {10, 10}};

Component PictureComponent(std::uint8_t orientation)
{
    std::vector<std::string> rows(11, std::string(11, '.'));
    for (auto [x, y] : pictureInk) rows[std::size_t(y)][std::size_t(x)] = '#';
    Component c;
    c.anchorX = 300;
    c.anchorY = 300;
    c.rawOrientation = orientation;
    c.parts = {ComponentPart{q01::AddPicture(c, q01::PartPicture(0x5A, rows)), 1, 1}};
    return c;
}

}  // namespace

TEST(BitmapPicture, UnturnedPictureInkSitsInsideTheMargin)
{
    const Loaded loaded = Load(q01::ComponentRecord(PictureComponent(0)));
    const TSurface& image = loaded.bitmap->GetBodyImage();
    ASSERT_EQ(image.Width(), 91);
    EXPECT_EQ(image.Pixel(40, 40), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(42, 40), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(40, 41), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(47, 43), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(50, 50), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(41, 41), Bitmap::bodyBackground);
    EXPECT_EQ(image.Pixel(0, 0), Bitmap::bodyBackground);
    EXPECT_EQ(InkPixels(image).size(), pictureInk.size());
    EXPECT_TRUE(image.Transparent);
    EXPECT_EQ(image.TransparentColour, Bitmap::bodyBackground);
    EXPECT_EQ(loaded.bitmap->GetStrange(), 0x5A);
}

TEST(BitmapPicture, QuarterTurnRunsTheTopRowUpwards)
{
    const Loaded loaded = Load(q01::ComponentRecord(PictureComponent(1)));
    const TSurface& image = loaded.bitmap->GetBodyImage();
    // Body (0,0), (1,0), (2,0) run up from the bottom-left corner; (0,1) is to its right.
    EXPECT_EQ(image.Pixel(40, 50), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(40, 49), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(40, 48), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(41, 50), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(50, 40), Bitmap::inkColour);  // body (10, 10)
    EXPECT_EQ(InkPixels(image).size(), pictureInk.size());
}

TEST(BitmapPicture, EveryOrientationPaintsExactlyTheTransformedInk)
{
    for (std::uint8_t orientation = 0; orientation < 8; ++orientation) {
        const Loaded loaded = Load(q01::ComponentRecord(PictureComponent(orientation)));
        std::set<std::pair<int, int>> expected;
        for (auto [x, y] : pictureInk) {
            const QPoint p = loaded.bitmap->TransformPoint(x, y);
            expected.insert({p.x(), p.y()});
        }
        EXPECT_EQ(InkPixels(loaded.bitmap->GetBodyImage()), expected) << "orientation " << int(orientation);
    }
}

TEST(BitmapPicture, MirroredHalfTurnEqualsTopBottomMirror)
{
    const Loaded loaded = Load(q01::ComponentRecord(PictureComponent(6)));
    const TSurface& image = loaded.bitmap->GetBodyImage();
    EXPECT_EQ(image.Pixel(40, 50), Bitmap::inkColour);  // body (0, 0) at the bottom left
    EXPECT_EQ(image.Pixel(42, 50), Bitmap::inkColour);
    EXPECT_EQ(image.Pixel(40, 49), Bitmap::inkColour);  // body (0, 1) above it
    EXPECT_EQ(image.Pixel(50, 40), Bitmap::inkColour);  // body (10, 10) at the top right
}

TEST(BitmapPicture, PaddingBitsOfARowAreNotPainted)
{
    Component c = PictureComponent(0);
    // Body rows are 11 columns: two bytes, bits of columns 11-15 are padding.
    for (int y = 0; y < 11; ++y) c.pictureArea[std::size_t(1 + 2 * y + 1)] |= 0x1F;
    const Loaded loaded = Load(q01::ComponentRecord(c));
    for (int y = 0; y < 11; ++y)
        for (int x = 51; x < 56; ++x) EXPECT_EQ(loaded.bitmap->GetBodyImage().Pixel(x, 40 + y), Bitmap::bodyBackground);
}

TEST(BitmapPicture, EachPartShowsItsOwnPictureAndStrangeByte)
{
    Component c;
    const std::uint8_t first = q01::AddPicture(c, q01::PartPicture(7, {"#"}));
    const std::uint8_t second = q01::AddPicture(c, q01::PartPicture(9, {".#"}));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    c.parts = {ComponentPart{first, 0, 0}, ComponentPart{second, 0, 0}};
    c.partNumber = 2;
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->GetStrange(), 9);
    // Column 1 lies outside a 1-pixel body: no ink at all.
    EXPECT_TRUE(InkPixels(loaded.bitmap->GetBodyImage()).empty());
    c.partNumber = 1;
    const Loaded one = Load(q01::ComponentRecord(c));
    EXPECT_EQ(one.bitmap->GetStrange(), 7);
    EXPECT_EQ(InkPixels(one.bitmap->GetBodyImage()), (std::set<std::pair<int, int>>{{40, 40}}));
}

TEST(BitmapPicture, PartWithoutPictureHasStrangeZero)
{
    EXPECT_EQ(Load(q01::ComponentRecord(TwoByThree())).bitmap->GetStrange(), 0);
}

// ---------------------------------------------------------------------------
// Broken records

TEST(BitmapBroken, TextLengthsBeyondTheirFieldsAreCut)
{
    Component c = TwoByThree();
    c.designation = "ABCDEFGHIJ";
    c.rawDesignationLength = 200;
    c.packageText = "PKG";
    c.rawPackageLength = 11;  // would take the first anchor byte
    c.valueText = "VALUE";
    c.rawValueLength = 255;  // would run past the head
    ComponentPin p = MakePin(0, 0, "1234", "NAME");
    p.rawNumberLength = 9;
    p.rawNameLength = 200;
    c.pins = {p};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->GetName(), "ABCDEFGHIJ");
    EXPECT_EQ(loaded.bitmap->GetPackage(), "PKG");
    EXPECT_EQ(loaded.bitmap->GetValue(), "VALUE");
    EXPECT_EQ(loaded.bitmap->GetPins()[0].Number(), "1234");
    EXPECT_EQ(loaded.bitmap->GetPins()[0].Name(), "NAME");
}

TEST(BitmapBroken, NoPartsShowsAOnePixelOutline)
{
    Component c = TwoByThree();
    c.parts.clear();
    c.pins = {MakePin(0, 0, "1", "A")};
    const Bytes data = q01::ComponentRecord(c);
    ASSERT_EQ(data.size(), 80u);
    const Loaded loaded = Load(data);
    EXPECT_EQ(loaded.consumed, 80);
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Width(), 81);
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Height(), 81);
    EXPECT_EQ(RectOf(*loaded.bitmap), (TRect{100, 200, 101, 201}));
    EXPECT_EQ(loaded.bitmap->GetName(), "U7");
}

TEST(BitmapBroken, PartNumberOutsideTheCountShowsTheFirstPart)
{
    Component c = TwoByThree();
    c.parts = {ComponentPart{0, 4, 5}, ComponentPart{0, 2, 2}};
    for (std::uint8_t number : {std::uint8_t(0), std::uint8_t(3), std::uint8_t(255)}) {
        c.partNumber = number;
        const Loaded loaded = Load(q01::ComponentRecord(c));
        EXPECT_EQ(loaded.bitmap->GetBodyWidth(), 41) << int(number);
        EXPECT_EQ(loaded.bitmap->GetBodyHeight(), 51) << int(number);
    }
    c.partNumber = 0;
    EXPECT_EQ(Load(q01::ComponentRecord(c)).bitmap->GetName(), "U7:@");  // 'A' - 1
}

TEST(BitmapBroken, PictureRunningPastTheAreaIsDrawnAsFarAsTheAreaHolds)
{
    // An all-ink 11 x 11 picture needs 1 + 22 bytes; the area holds 16.
    Component c;
    const std::vector<std::string> rows(11, std::string(11, '#'));
    c.parts = {ComponentPart{q01::AddPicture(c, q01::PartPicture(3, rows)), 1, 1}};
    c.pictureAreaFactor1 = 4;
    c.pictureAreaFactor2 = 4;
    Bytes data = q01::ComponentRecord(c);
    ASSERT_EQ(data.size(), 64u + 16 + 16);
    data.resize(data.size() + 64, 0xFF);  // ink bits right behind the record
    const Loaded loaded = Load(data);
    EXPECT_EQ(loaded.consumed, 96);
    // Strange byte, rows 0-6 (two bytes each) and the first byte of row 7.
    EXPECT_EQ(InkPixels(loaded.bitmap->GetBodyImage()).size(), 7u * 11 + 8);
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Pixel(47, 47), Bitmap::inkColour);
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Pixel(48, 47), Bitmap::bodyBackground);
    EXPECT_EQ(loaded.bitmap->GetStrange(), 3);
}

TEST(BitmapBroken, PictureIndexBeyondTheAreaLeavesBackgroundAndStrangeZero)
{
    Component c;
    c.parts = {ComponentPart{q01::AddPicture(c, q01::PartPicture(3, {"#"})), 1, 1}};
    c.parts[0].pictureIndex = 200;
    Bytes data = q01::ComponentRecord(c);
    data.resize(data.size() + 4096, 0xFF);
    const Loaded loaded = Load(data);
    EXPECT_TRUE(InkPixels(loaded.bitmap->GetBodyImage()).empty());
    EXPECT_EQ(loaded.bitmap->GetStrange(), 0);
}

TEST(BitmapBroken, RecordCutByTheEndOfTheDataStopsAtTheEnd)
{
    Component c = TwoByThree();
    c.parts = {ComponentPart{0, 2, 3}, ComponentPart{0, 1, 1}, ComponentPart{0, 1, 1}};
    c.pins = {MakePin(0, 1, "1", "A"), MakePin(2, 1, "2", "B")};
    c.parts[0].pictureIndex = 1;
    c.pictureAreaFactor1 = 5;
    c.pictureAreaFactor2 = 7;
    const Bytes whole = q01::ComponentRecord(c);
    for (std::size_t cut : {std::size_t(0), std::size_t(1), std::size_t(40), std::size_t(64), std::size_t(100),
                            std::size_t(150), whole.size() - 1}) {
        // Exactly `cut` bytes on the heap, so a read beyond them is caught by the sanitizers.
        const Bytes data(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
        const Loaded loaded = Load(data);
        EXPECT_EQ(loaded.consumed, std::ptrdiff_t(cut));
    }
    const Bytes data(whole.begin(), whole.begin() + 100);
    const Loaded loaded = Load(data);
    ASSERT_EQ(loaded.bitmap->GetPins().size(), 2u);
    EXPECT_EQ(loaded.bitmap->GetPins()[0].Number(), "1");  // bytes 96-111: partly there
    EXPECT_EQ(loaded.bitmap->GetPins()[1].SideByte(), 0);  // not in the data: zero
}

TEST(BitmapBroken, LargestCountsAndFactorsInAShortBufferLoad)
{
    Bytes data(64, 0);
    data[0] = 0x70;
    data[44] = 255;  // partCount
    data[43] = 1;
    data[49] = 255;  // pinCount
    data[28] = data[29] = data[30] = data[31] = 0xFF;
    const Loaded loaded = Load(data);
    EXPECT_EQ(loaded.consumed, 64);
    EXPECT_EQ(loaded.bitmap->GetPins().size(), 255u);
    EXPECT_EQ(loaded.bitmap->GetBodyWidth(), 1);
    EXPECT_EQ(loaded.bitmap->GetName(), ":A");
}

TEST(BitmapBroken, LargestBodyIsRenderedWithinItsRaster)
{
    Component c;
    c.rotation = 3;
    c.parts = {ComponentPart{1, 255, 255}};
    c.pictureAreaFactor1 = 16;
    c.pictureAreaFactor2 = 1;
    c.pictureArea = Bytes(16, 0xFF);
    ComponentPin far = MakePin(2, 255, "9999", "FAR");
    far.circle = true;
    far.wedge = true;
    c.pins = {far};
    const Loaded loaded = Load(q01::ComponentRecord(c));
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Width(), 2631);
    EXPECT_EQ(loaded.bitmap->GetBodyImage().Height(), 2631);
    EXPECT_EQ(loaded.bitmap->GetStrange(), 0xFF);
}
