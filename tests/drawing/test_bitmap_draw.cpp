// Component symbol drawing: outline and pin decorations in bodyImage, and what
// Draw puts on the page (texts, pin labels, transparency).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "Q01Component.h"
#include "app/Surface.h"
#include "drawing/Bitmap.h"
#include "drawing/Objectsettings.h"

namespace {

using q01::Bytes;
using q01::Component;
using q01::ComponentPart;
using q01::ComponentPin;
using Pixels = std::set<std::pair<int, int>>;

std::unique_ptr<Bitmap> Build(const Component& c)
{
    const Bytes data = q01::ComponentRecord(c);
    const std::uint8_t* pos = data.data();
    return std::make_unique<Bitmap>(pos, data.data() + data.size());
}

// A 2 x 3 unit body (21 x 31 pixels) at (100, 100); with `empty` its picture
// has no ink, so only the pins show in bodyImage.
Component Body(bool empty)
{
    Component c;
    c.designation = "U7";
    c.anchorX = 100;
    c.anchorY = 100;
    c.parts = {ComponentPart{0, 2, 3}};
    if (empty)
        c.parts[0].pictureIndex =
            q01::AddPicture(c, q01::PartPicture(0, std::vector<std::string>(31, std::string(21, '.'))));
    return c;
}

ComponentPin LeftPin(std::uint8_t offset)
{
    ComponentPin p;
    p.side = q01::sideLeft;
    p.offsetUnits = offset;
    p.number = "14";
    p.name = "CLK";
    return p;
}

Pixels InkPixels(const TSurface& s)
{
    Pixels ink;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) == Bitmap::inkColour) ink.insert({x, y});
    return ink;
}

Pixels Border(int x1, int y1, int x2, int y2)  // inclusive corners
{
    Pixels border;
    for (int x = x1; x <= x2; ++x) border.insert({x, y1}), border.insert({x, y2});
    for (int y = y1; y <= y2; ++y) border.insert({x1, y}), border.insert({x2, y});
    return border;
}

bool HasColour(const TSurface& s, TColor colour)
{
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) == colour) return true;
    return false;
}

bool Ink(const TSurface& s, int x, int y) { return s.Pixel(x, y) == Bitmap::inkColour; }

TFont TestFont(int size = 10, TColor colour = clBlack)
{
    TFont f;
    f.Face = QStringLiteral("DejaVu Sans");
    f.Size = size;
    f.Colour = colour;
    return f;
}

class FakeBitmapSettings : public IBitmapSettings {
public:
    bool master = true, desig = false, value = false, pinNum = false, pinStr = false;
    TFont desigFont = TestFont(12), valueFont = TestFont(9), pinNumFont = TestFont(8), pinStrFont = TestFont(7);

    bool MasterVisible() const override { return master; }
    bool DesigVisible() const override { return desig; }
    bool ValueVisible() const override { return value; }
    bool PinNumVisible() const override { return pinNum; }
    bool PinStrVisible() const override { return pinStr; }
    TFont DesigFont() const override { return desigFont; }
    TFont ValueFont() const override { return valueFont; }
    TFont PinNumFont() const override { return pinNumFont; }
    TFont PinStrFont() const override { return pinStrFont; }
};

// Installs fake component settings for one test.
class BitmapDraw : public ::testing::Test {
protected:
    void SetUp() override { ObjectSettings().Bitmap = &settings; }
    void TearDown() override { ObjectSettings().Bitmap = nullptr; }

    static TSurface Page(TColor colour = clWhite)
    {
        TSurface page(400, 400);
        page.Clear(colour);
        return page;
    }

    // The page as Draw must leave it: `texts` on the page first, then the
    // body copy with `labels` drawn onto it, transparently.
    static TSurface Expected(const Bitmap& b, const std::function<void(TSurface&)>& labels,
                             const std::function<void(TSurface&)>& texts = {})
    {
        TSurface page = Page();
        if (texts) texts(page);
        TSurface copy = b.GetBodyImage();
        if (labels) labels(copy);
        page.Draw(b.GetImageLeft(), b.GetImageTop(), copy);
        return page;
    }

    FakeBitmapSettings settings;
};

}  // namespace

// ---------------------------------------------------------------------------
// bodyImage: outline and pins

TEST(BitmapBody, PartWithoutPictureAtQuarterTurnIsA31By21Outline)
{
    Component c = Body(false);
    c.rotation = 1;
    const auto b = Build(c);
    ASSERT_EQ(b->GetBodyImage().Width(), 111);
    ASSERT_EQ(b->GetBodyImage().Height(), 101);
    EXPECT_EQ(InkPixels(b->GetBodyImage()), Border(40, 40, 70, 60));
}

TEST(BitmapBody, NoPartsShowsASinglePixelOutline)
{
    Component c = Body(false);
    c.parts.clear();
    EXPECT_EQ(InkPixels(Build(c)->GetBodyImage()), (Pixels{{40, 40}}));
}

TEST(BitmapBody, CirclePinLeavesTheEdgePointFreeAndLinesUpFrom32)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.circle = true;
    c.pins = {pin};
    const auto b = Build(c);
    const TSurface& image = b->GetBodyImage();
    ASSERT_EQ(b->PinEdgePoint(b->GetPins()[0]), QPoint(40, 60));
    // Line from (32, 60) towards (9, 60), the end pixel left out.
    for (int x = 10; x <= 32; ++x) EXPECT_TRUE(Ink(image, x, 60)) << x;
    EXPECT_FALSE(Ink(image, 9, 60));
    EXPECT_FALSE(Ink(image, 40, 60));
    EXPECT_FALSE(Ink(image, 36, 60));  // inside the circle
    // Circle inscribed in columns 32..39, rows 56..63.
    bool top = false, bottom = false, left = false, right = false;
    for (auto [x, y] : InkPixels(image)) {
        if (y == 60 && x <= 32) continue;  // the line
        EXPECT_TRUE(x >= 32 && x <= 39 && y >= 56 && y <= 63) << x << "," << y;
        top |= y == 56;
        bottom |= y == 63;
        left |= x == 32;
        right |= x == 39;
    }
    EXPECT_TRUE(top && bottom && left && right);
}

TEST(BitmapBody, WedgePointsIntoTheBody)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.wedge = true;
    c.pins = {pin};
    const auto b = Build(c);
    const TSurface& image = b->GetBodyImage();
    EXPECT_TRUE(Ink(image, 40, 58));
    EXPECT_TRUE(Ink(image, 42, 59));
    EXPECT_TRUE(Ink(image, 44, 60));
    EXPECT_TRUE(Ink(image, 42, 61));
    EXPECT_FALSE(Ink(image, 40, 62));  // the polyline's last point
    EXPECT_FALSE(Ink(image, 45, 60));
    for (int x = 10; x <= 40; ++x) EXPECT_TRUE(Ink(image, x, 60)) << x;
    for (auto [x, y] : InkPixels(image))
        if (x > 40) {
            EXPECT_TRUE(x <= 44 && y >= 58 && y <= 62) << x << "," << y;
        }
}

TEST(BitmapBody, PinStyleTwoGivesElevenPixelLinesStyleFiveThirtyOne)
{
    for (auto [style, lastInk] : {std::pair{2, 30}, std::pair{0, 10}, std::pair{5, 10}}) {
        Component c = Body(true);
        c.pinStyle = std::uint8_t(style);
        c.pins = {LeftPin(1)};
        const auto b = Build(c);
        const TSurface& image = b->GetBodyImage();
        Pixels expected;
        for (int x = lastInk; x <= 40; ++x) expected.insert({x, 50});
        EXPECT_EQ(InkPixels(image), expected) << "pinStyle " << style;
    }
}

TEST(BitmapBody, HiddenPinDrawsNothing)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(1);
    pin.hidden = true;
    pin.circle = true;
    pin.wedge = true;
    c.pins = {pin};
    EXPECT_TRUE(InkPixels(Build(c)->GetBodyImage()).empty());
}

TEST(BitmapBody, PinsOfOtherPartsAreDrawnToo)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(1);
    pin.pinPart = 2;
    c.pins = {pin};
    EXPECT_TRUE(Ink(Build(c)->GetBodyImage(), 40, 50));
}

TEST(BitmapBody, QuarterTurnLeftPinLeavesTheBottomEdgeDownwards)
{
    Component c = Body(true);
    c.rotation = 1;
    c.pins = {LeftPin(1)};
    const auto b = Build(c);
    const TSurface& image = b->GetBodyImage();
    Pixels expected;
    for (int y = 60; y <= 90; ++y) expected.insert({50, y});
    EXPECT_EQ(InkPixels(image), expected);
}

TEST(BitmapBody, CircleOnAVerticalPinWidensAcross)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(0);
    pin.side = q01::sideTop;
    pin.offsetUnits = 1;
    pin.circle = true;
    c.pins = {pin};
    const auto b = Build(c);
    const TSurface& image = b->GetBodyImage();
    // E = (50, 40); circle box columns 46..53, rows 32..39; line from (50, 32) up to (50, 10).
    for (int y = 10; y <= 32; ++y) EXPECT_TRUE(Ink(image, 50, y)) << y;
    EXPECT_FALSE(Ink(image, 50, 9));
    for (auto [x, y] : InkPixels(image))
        if (!(x == 50 && y <= 32)) {
            EXPECT_TRUE(x >= 46 && x <= 53 && y >= 32 && y <= 39) << x << "," << y;
        }
}

// ---------------------------------------------------------------------------
// Labels

TEST(BitmapLabel, LabelIsTheTextOnTransparentWhite)
{
    const TFont font = TestFont(10);
    const TSurface label = RenderLabel("R12", font, false);
    TSurface measure(1, 1);
    measure.Font = font;
    EXPECT_EQ(label.Width(), measure.TextWidth("R12"));
    EXPECT_EQ(label.Height(), measure.TextHeight("R12"));
    EXPECT_GT(label.Width(), 0);
    EXPECT_TRUE(label.Transparent);
    EXPECT_EQ(label.TransparentColour, clWhite);
    EXPECT_TRUE(HasColour(label, clBlack));
}

TEST(BitmapLabel, TurnedLabelReadsFromBottomToTop)
{
    const TFont font = TestFont(10);
    const TSurface flat = RenderLabel("Q7", font, false);
    const TSurface turned = RenderLabel("Q7", font, true);
    ASSERT_EQ(turned.Width(), flat.Height());
    ASSERT_EQ(turned.Height(), flat.Width());
    for (int i = 0; i < flat.Width(); ++i)
        for (int j = 0; j < flat.Height(); ++j) ASSERT_EQ(turned.Pixel(j, flat.Width() - 1 - i), flat.Pixel(i, j));
    EXPECT_TRUE(turned.Transparent);
    EXPECT_EQ(turned.TransparentColour, clWhite);
}

// ---------------------------------------------------------------------------
// Draw

TEST_F(BitmapDraw, NothingWithoutSettingsWindowOrWithMasterOff)
{
    Component c = Body(false);
    c.pins = {LeftPin(1)};
    const auto b = Build(c);
    settings.desig = settings.value = settings.pinNum = settings.pinStr = true;
    settings.master = false;
    TSurface page = Page();
    b->Draw(page);
    EXPECT_EQ(page.Image(), Page().Image());
    ObjectSettings().Bitmap = nullptr;
    b->Draw(page);
    EXPECT_EQ(page.Image(), Page().Image());
}

TEST_F(BitmapDraw, BodyBackgroundLeavesThePageAsItWas)
{
    Component c = Body(false);
    c.pins = {LeftPin(1)};
    const auto b = Build(c);
    TSurface page = Page(clRed);
    b->Draw(page);
    Pixels blue;
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x) {
            const TColor p = page.Pixel(x, y);
            ASSERT_TRUE(p == clRed || p == Bitmap::inkColour) << x << "," << y;
            if (p == Bitmap::inkColour) blue.insert({x - 60, y - 60});
        }
    EXPECT_EQ(blue, InkPixels(b->GetBodyImage()));
    EXPECT_FALSE(blue.empty());
}

TEST_F(BitmapDraw, DesignationWithSuffixAndPackageAreWrittenAtTheirPositions)
{
    Component c = Body(false);
    c.parts = {ComponentPart{0, 2, 3}, ComponentPart{0, 2, 3}};
    c.partNumber = 2;
    c.packageText = "DIP8";
    c.valueText = "NE555";
    c.designationX = 200;
    c.designationY = 20;
    c.valueX = 200;
    c.valueY = 300;
    const auto b = Build(c);
    settings.desig = settings.value = true;
    TSurface page = Page();
    page.Brush.Style = bsSolid;
    b->Draw(page);

    const TSurface expected = Expected(*b, {}, [&](TSurface& p) {
        p.Brush.Style = bsClear;
        p.Font = settings.desigFont;
        p.TextOut(200, 20, "U7:B");
        p.Font = settings.valueFont;
        p.TextOut(200, 300, "DIP8");
    });
    EXPECT_EQ(page.Image(), expected.Image());
    EXPECT_TRUE(HasColour(page, clBlack));
    // The canvas keeps the font and fill that Draw set last.
    EXPECT_EQ(page.Font, settings.valueFont);
    EXPECT_EQ(page.Brush.Style, bsClear);
}

TEST_F(BitmapDraw, EmptyDesignationOfAMultiPartComponentWritesNoText)
{
    Component c = Body(false);
    c.designation = "";
    c.parts = {ComponentPart{0, 2, 3}, ComponentPart{0, 2, 3}};
    c.designationX = 200;
    c.designationY = 20;
    const auto b = Build(c);
    settings.desig = settings.value = true;
    TSurface page = Page();
    b->Draw(page);
    EXPECT_FALSE(HasColour(page, clBlack));
}

TEST_F(BitmapDraw, PinNumberHangsOutsideTheBodyBelowTheLine)
{
    Component c = Body(true);
    c.pins = {LeftPin(2)};
    const auto b = Build(c);
    settings.pinNum = true;
    TSurface page = Page();
    b->Draw(page);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface label = RenderLabel("14", settings.pinNumFont, false);
        copy.Draw(38 - label.Width(), 60, label);
    });
    EXPECT_EQ(page.Image(), expected.Image());
    EXPECT_TRUE(HasColour(page, clBlack));
}

TEST_F(BitmapDraw, PinNumberMovesOutPastACircle)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.side = q01::sideRight;
    pin.circle = true;
    c.pins = {pin};
    const auto b = Build(c);
    settings.pinNum = true;
    TSurface page = Page();
    b->Draw(page);
    // E = (60, 60); outward past the circle (8) and the gap (2).
    const TSurface expected =
        Expected(*b, [&](TSurface& copy) { copy.Draw(70, 60, RenderLabel("14", settings.pinNumFont, false)); });
    EXPECT_EQ(page.Image(), expected.Image());
    EXPECT_TRUE(HasColour(page, clBlack));
}

TEST_F(BitmapDraw, PinNameBehindAWedgeStartsAtX46)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.wedge = true;
    c.pins = {pin};
    const auto b = Build(c);
    settings.pinStr = true;
    TSurface page = Page();
    b->Draw(page);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface label = RenderLabel("CLK", settings.pinStrFont, false);
        copy.Draw(46, 60 - label.Height() / 2, label);
    });
    EXPECT_EQ(page.Image(), expected.Image());
    EXPECT_TRUE(HasColour(page, clBlack));
}

TEST_F(BitmapDraw, PinNameShowsMarkedHalvesReordered)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(1);
    pin.name = "\xD2\xC4/W";  // marked RD, then W
    c.pins = {pin};
    const auto b = Build(c);
    settings.pinStr = true;
    TSurface page = Page();
    b->Draw(page);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface label = RenderLabel("W/RD", settings.pinStrFont, false);
        copy.Draw(42, 50 - label.Height() / 2, label);
    });
    EXPECT_EQ(page.Image(), expected.Image());
}

TEST_F(BitmapDraw, PinOfAnotherPartShowsItsNameButNotItsNumber)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.pinPart = 2;
    c.pins = {pin};
    const auto b = Build(c);
    settings.pinNum = true;
    TSurface page = Page();
    b->Draw(page);
    EXPECT_EQ(page.Image(), Expected(*b, {}).Image());

    settings.pinStr = true;
    TSurface named = Page();
    b->Draw(named);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface label = RenderLabel("CLK", settings.pinStrFont, false);
        copy.Draw(42, 60 - label.Height() / 2, label);
    });
    EXPECT_EQ(named.Image(), expected.Image());
    EXPECT_TRUE(HasColour(named, clBlack));
}

TEST_F(BitmapDraw, HiddenPinShowsNoNumberOrName)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.hidden = true;
    c.pins = {pin};
    const auto b = Build(c);
    settings.pinNum = settings.pinStr = true;
    TSurface page = Page();
    b->Draw(page);
    EXPECT_EQ(page.Image(), Page().Image());
}

TEST_F(BitmapDraw, PinStyleFiveDrawsNumbersButNoNames)
{
    Component c = Body(true);
    c.pinStyle = 5;
    c.pins = {LeftPin(2)};
    const auto b = Build(c);
    settings.pinNum = settings.pinStr = true;
    TSurface page = Page();
    b->Draw(page);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface label = RenderLabel("14", settings.pinNumFont, false);
        copy.Draw(38 - label.Width(), 60, label);
    });
    EXPECT_EQ(page.Image(), expected.Image());
    EXPECT_TRUE(HasColour(page, clBlack));
}

TEST_F(BitmapDraw, QuarterTurnedPinCarriesTurnedLabels)
{
    Component c = Body(true);
    c.rotation = 1;
    c.pins = {LeftPin(1)};  // leaves the bottom edge at (50, 60)
    const auto b = Build(c);
    settings.pinNum = settings.pinStr = true;
    TSurface page = Page();
    b->Draw(page);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface number = RenderLabel("14", settings.pinNumFont, true);
        copy.Draw(50 - number.Width() - 2, 62 + 2, number);
        const TSurface name = RenderLabel("CLK", settings.pinStrFont, true);
        copy.Draw(50 - name.Width() / 2, 58 - name.Height(), name);
    });
    EXPECT_EQ(page.Image(), expected.Image());
    EXPECT_TRUE(HasColour(page, clBlack));
}

TEST_F(BitmapDraw, TopPinLabelsFollowHalfAndThreeQuarterTurnsAndFlips)
{
    // A Top pin at offset 1: body point (10, 0), image point (50, 40) unturned.
    struct Case {
        std::uint8_t rotation;
        bool hFlip;
        bool turned;
        // Top-left corners of the number and name labels, from their sizes.
        std::function<QPoint(const TSurface&)> number, name;
    };
    const Case cases[] = {
        // Half turn: the pin leaves the bottom edge at (50, 70).
        {2, false, true, [](const TSurface& l) { return QPoint(50 - l.Width() - 2, 72 + 2); },
         [](const TSurface& l) { return QPoint(50 - l.Width() / 2, 68 - l.Height()); }},
        // Three quarters: the right edge at (70, 50).
        {3, false, false, [](const TSurface&) { return QPoint(72, 50); },
         [](const TSurface& l) { return QPoint(68 - l.Width(), 50 - l.Height() / 2); }},
        // Mirrored: still the top edge, at (50, 40).
        {0, true, true, [](const TSurface& l) { return QPoint(50 - l.Width() - 2, 38 - l.Height() + 2); },
         [](const TSurface& l) { return QPoint(50 - l.Width() / 2, 42); }},
        // Three quarters mirrored: the left edge at (40, 50).
        {3, true, false, [](const TSurface& l) { return QPoint(38 - l.Width(), 50); },
         [](const TSurface& l) { return QPoint(42, 50 - l.Height() / 2); }},
    };
    for (const Case& k : cases) {
        Component c = Body(true);
        c.rotation = k.rotation;
        c.hFlip = k.hFlip;
        ComponentPin pin = LeftPin(1);
        pin.side = q01::sideTop;
        c.pins = {pin};
        const auto b = Build(c);
        settings.pinNum = settings.pinStr = true;
        TSurface page = Page();
        b->Draw(page);
        const TSurface expected = Expected(*b, [&](TSurface& copy) {
            const TSurface number = RenderLabel("14", settings.pinNumFont, k.turned);
            copy.Draw(k.number(number).x(), k.number(number).y(), number);
            const TSurface name = RenderLabel("CLK", settings.pinStrFont, k.turned);
            copy.Draw(k.name(name).x(), k.name(name).y(), name);
        });
        EXPECT_EQ(page.Image(), expected.Image()) << "rotation " << int(k.rotation) << (k.hFlip ? " flipped" : "");
        EXPECT_TRUE(HasColour(page, clBlack));
    }
}

TEST_F(BitmapDraw, PinWithASideByteAbove3LeavesTheCornerOutsideTheBody)
{
    // Side 5: edge point body (-1, -1), image (39, 39); 5 counts as Bottom.
    Component c = Body(true);
    ComponentPin pin = LeftPin(1);
    pin.side = 5;
    c.pins = {pin};
    const auto b = Build(c);
    Pixels line;
    for (int y = 39; y < 70; ++y) line.insert({39, y});
    EXPECT_EQ(InkPixels(b->GetBodyImage()), line);
    settings.pinNum = settings.pinStr = true;
    TSurface page = Page();
    b->Draw(page);
    const TSurface expected = Expected(*b, [&](TSurface& copy) {
        const TSurface number = RenderLabel("14", settings.pinNumFont, true);
        copy.Draw(39 - number.Width() - 2, 41 + 2, number);
        const TSurface name = RenderLabel("CLK", settings.pinStrFont, true);
        copy.Draw(39 - name.Width() / 2, 37 - name.Height(), name);
    });
    EXPECT_EQ(page.Image(), expected.Image());
}

TEST_F(BitmapDraw, WhitePinNumberFontLeavesTheNumberInvisible)
{
    Component c = Body(true);
    c.pins = {LeftPin(2)};
    const auto b = Build(c);
    settings.pinNum = true;
    settings.pinNumFont = TestFont(10, clWhite);
    TSurface page = Page(clRed);
    b->Draw(page);
    TSurface expected = Page(clRed);
    expected.Draw(b->GetImageLeft(), b->GetImageTop(), b->GetBodyImage());
    EXPECT_EQ(page.Image(), expected.Image());
}

TEST_F(BitmapDraw, NewFontsChangeTheLabelsButNotTheBodyImage)
{
    Component c = Body(true);
    c.pins = {LeftPin(2)};
    const auto b = Build(c);
    const QImage body = b->GetBodyImage().Image().copy();
    settings.pinNum = settings.pinStr = true;
    TSurface small = Page();
    b->Draw(small);
    settings.pinNumFont = TestFont(16);
    settings.pinStrFont = TestFont(16);
    TSurface large = Page();
    b->Draw(large);
    EXPECT_NE(small.Image(), large.Image());
    EXPECT_EQ(b->GetBodyImage().Image(), body);
}

TEST_F(BitmapDraw, LabelsBeyondTheMarginAreClippedToTheCopy)
{
    Component c = Body(true);
    ComponentPin pin = LeftPin(2);
    pin.number = "8888";
    c.pins = {pin};
    const auto b = Build(c);
    settings.pinNum = true;
    settings.pinNumFont = TestFont(40);
    TSurface page = Page(clRed);
    b->Draw(page);
    // Nothing left of the image's left edge changes.
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < b->GetImageLeft(); ++x) ASSERT_EQ(page.Pixel(x, y), clRed) << x << "," << y;
}
