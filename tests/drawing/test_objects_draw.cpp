// How line, junction, annotation, document box and marker objects draw:
// exact pixels on the drawing surface, with scripted settings windows.
#include <gtest/gtest.h>

#include <QRect>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "Q01Builder.h"
#include "app/Surface.h"
#include "drawing/Annotate.h"
#include "drawing/Docbox.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"
#include "drawing/Objectsettings.h"

namespace {

constexpr TColor Purple = 0x800080;
constexpr TColor Green = 0x00FF00;

class FakeLineSettings : public ILineSettings {
public:
    std::map<int, TPen> Pens;
    TPen Other;  // the pen for a number without a line type
    bool Visible = true;
    std::vector<int> Asked;
    const TPen& GetPen(int lineType) override
    {
        Asked.push_back(lineType);
        const auto it = Pens.find(lineType);
        return it == Pens.end() ? Other : it->second;
    }
    bool IsVisible() const override { return Visible; }
};

class FakeJunctionSettings : public IJunctionSettings {
public:
    int Diameter = 4;
    TColor Colour = clRed;
    bool Visible = true;
    int GetDiameter() const override { return Diameter; }
    TColor GetColour() const override { return Colour; }
    bool IsVisible() const override { return Visible; }
};

class FakeAnnotateSettings : public IAnnotateSettings {
public:
    std::map<int, TFont> Fonts;
    bool Visible = true;
    mutable std::vector<int> Asked;
    bool IsVisible() const override { return Visible; }
    void ApplyFont(TFont& font, int n) const override
    {
        Asked.push_back(n);
        const auto it = Fonts.find(n);
        if (it != Fonts.end()) font = it->second;
    }
};

class FakeDocBoxSettings : public IDocBoxSettings {
public:
    TPen Pen{clBlue, psSolid, 1, pmCopy};
    TFont Font;
    bool Visible = true;
    std::vector<int> AskedPens;
    const TPen& GetPen(int lineType) override
    {
        AskedPens.push_back(lineType);
        return Pen;
    }
    void ApplyFont(TFont& font, int n) const override
    {
        if (n == 0) font = Font;
    }
    bool IsVisible() const override { return Visible; }
};

// Builds one object from builder bytes.
template <class T>
T Make(const q01::Bytes& bytes)
{
    const std::uint8_t* pos = bytes.data();
    return T(pos, bytes.data() + bytes.size());
}

// Every pixel that is not white.
std::vector<QPoint> Painted(const TSurface& s)
{
    std::vector<QPoint> points;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) != clWhite) points.push_back(QPoint(x, y));
    return points;
}

// The smallest rectangle holding every painted pixel (empty when none).
QRect PaintedBounds(const TSurface& s)
{
    QRect bounds;
    for (const QPoint& p : Painted(s)) bounds |= QRect(p, QSize(1, 1));
    return bounds;
}

bool AllPaintedIn(const TSurface& s, TColor colour)
{
    for (const QPoint& p : Painted(s))
        if (s.Pixel(p.x(), p.y()) != colour) return false;
    return true;
}

TFont PlainFont(int size, TColor colour)
{
    TFont font;
    font.Face = QStringLiteral("DejaVu Sans");
    font.Size = size;
    font.Colour = colour;
    return font;
}

// A font of the given colour whose text height measures `height` pixels on
// the surface, searched over the installed substitute faces and sizes.
std::optional<TFont> FontOfTextHeight(int height, TColor colour)
{
    TSurface measure(10, 10);
    for (const char* face : {"DejaVu Sans", "Liberation Sans", "Liberation Serif", "Liberation Mono",
                             "Liberation Sans Narrow", "DejaVu Serif", "DejaVu Sans Mono"})
        for (int size = 4; size <= 40; ++size) {
            measure.Font = PlainFont(size, colour);
            measure.Font.Face = QString::fromLatin1(face);
            if (measure.TextHeight("Ag") == height) return measure.Font;
        }
    return std::nullopt;
}

class ObjectDrawing : public ::testing::Test {
protected:
    void TearDown() override { ObjectSettings() = TObjectSettings{}; }

    FakeLineSettings lines;
    FakeJunctionSettings junctions;
    FakeAnnotateSettings annotations;
    FakeDocBoxSettings docBoxes;
};

}  // namespace

// ---- Lines ---------------------------------------------------------------

TEST_F(ObjectDrawing, LineDrawsWithThePenOfItsTypeLeavingOutTheEndPixel)
{
    lines.Pens[3] = TPen{clRed, psSolid, 1, pmCopy};
    ObjectSettings().LineData = &lines;
    LineData line = Make<LineData>({0x10, 0x0A, 0x00, 0x14, 0x00, 0xC8, 0x00, 0x14, 0x00, 0x03, 0, 0, 0, 0, 0, 0});
    TSurface s(240, 40);
    line.Draw(s);

    EXPECT_EQ(lines.Asked, std::vector<int>{3});
    EXPECT_EQ(s.Pen, lines.Pens[3]);
    EXPECT_EQ(PaintedBounds(s), QRect(QPoint(10, 20), QPoint(199, 20)));
    EXPECT_EQ(Painted(s).size(), 190u);
    EXPECT_TRUE(AllPaintedIn(s, clRed));
    EXPECT_EQ(s.Pixel(200, 20), clWhite);
}

TEST_F(ObjectDrawing, LineTakesTheWholePenOfItsSettings)
{
    const TPen wide{Green, psSolid, 3, pmCopy};
    lines.Pens[1] = wide;
    ObjectSettings().LineData = &lines;
    TSurface s(100, 100);
    s.Pen = TPen{clBlack, psDot, 1, pmCopy};
    Make<LineData>(q01::Line(10, 50, 90, 50, 1)).Draw(s);
    EXPECT_EQ(s.Pen, wide);
    EXPECT_EQ(s.Pixel(50, 49), Green);
    EXPECT_EQ(s.Pixel(50, 50), Green);
    EXPECT_EQ(s.Pixel(50, 51), Green);
}

TEST_F(ObjectDrawing, LineWithoutALineTypeUsesThePenTheWindowHandsOut)
{
    lines.Other = TPen{clBlue, psSolid, 1, pmCopy};
    ObjectSettings().LineData = &lines;
    TSurface s(100, 20);
    Make<LineData>(q01::Line(0, 5, 50, 5, 9)).Draw(s);
    Make<LineData>(q01::Line(0, 7, 50, 7, 0)).Draw(s);
    EXPECT_EQ(lines.Asked, (std::vector<int>{9, 0}));
    EXPECT_EQ(s.Pixel(20, 5), clBlue);
    EXPECT_EQ(s.Pixel(20, 7), clBlue);
}

TEST_F(ObjectDrawing, LineOfZeroLengthDrawsNothing)
{
    lines.Pens[1] = TPen{clRed, psSolid, 1, pmCopy};
    ObjectSettings().LineData = &lines;
    TSurface s(40, 40);
    Make<LineData>(q01::Line(20, 20, 20, 20, 1)).Draw(s);
    EXPECT_TRUE(Painted(s).empty());
}

TEST_F(ObjectDrawing, LineDrawsNothingWithoutItsWindowOrWhenHidden)
{
    TSurface s(60, 20);
    s.Pen = TPen{clBlack, psSolid, 1, pmCopy};
    LineData line = Make<LineData>(q01::Line(0, 5, 50, 5, 1));
    line.Draw(s);
    EXPECT_TRUE(Painted(s).empty());

    lines.Pens[1] = TPen{clRed, psSolid, 1, pmCopy};
    lines.Visible = false;
    ObjectSettings().LineData = &lines;
    line.Draw(s);
    EXPECT_TRUE(Painted(s).empty());
}

TEST_F(ObjectDrawing, LineSurvivesAnyPen)
{
    ObjectSettings().LineData = &lines;
    TSurface s(60, 60);
    for (int style : {-1, 7, 255, 1000})
        for (int width : {-5, 0, 1, 40}) {
            lines.Pens[1] = TPen{clRed, style, width, 9};
            Make<LineData>(q01::Line(65535, 0, 0, 65535, 1)).Draw(s);
        }
    SUCCEED();
}

// ---- Junctions -----------------------------------------------------------

TEST_F(ObjectDrawing, JunctionFillsItsBoxWithoutOutline)
{
    junctions.Diameter = 4;
    junctions.Colour = clRed;
    ObjectSettings().Junction = &junctions;
    TSurface s(200, 100);
    s.Pen = TPen{clBlue, psSolid, 1, pmCopy};
    Make<Junction>(q01::Junction(100, 50)).Draw(s);

    // The box (97, 47)-(105, 55) covers columns 97..104 and rows 47..54.
    EXPECT_EQ(PaintedBounds(s), QRect(QPoint(97, 47), QPoint(104, 54)));
    EXPECT_TRUE(AllPaintedIn(s, clRed));
    EXPECT_EQ(s.Pixel(101, 51), clRed);
    EXPECT_EQ(s.Pen.Style, psClear);
    EXPECT_EQ(s.Pen.Colour, clBlue);
    EXPECT_EQ(s.Brush, (TBrush{clRed, bsSolid}));
}

TEST_F(ObjectDrawing, JunctionOfDiameterZeroDrawsNothing)
{
    junctions.Diameter = 0;
    ObjectSettings().Junction = &junctions;
    TSurface s(200, 100);
    Make<Junction>(q01::Junction(100, 50)).Draw(s);
    EXPECT_TRUE(Painted(s).empty());
}

TEST_F(ObjectDrawing, JunctionDrawsNothingWithoutItsWindowOrWhenHidden)
{
    TSurface s(200, 100);
    s.Brush = TBrush{clBlack, bsSolid};
    Junction junction = Make<Junction>(q01::Junction(100, 50));
    junction.Draw(s);
    EXPECT_TRUE(Painted(s).empty());

    junctions.Visible = false;
    ObjectSettings().Junction = &junctions;
    junction.Draw(s);
    EXPECT_TRUE(Painted(s).empty());
}

TEST_F(ObjectDrawing, LineAfterJunctionIsNotHiddenByTheClearPen)
{
    ObjectSettings().Junction = &junctions;
    lines.Pens[2] = TPen{Green, psSolid, 1, pmCopy};
    ObjectSettings().LineData = &lines;
    TSurface s(200, 100);
    Make<Junction>(q01::Junction(100, 50)).Draw(s);
    Make<LineData>(q01::Line(10, 80, 60, 80, 2)).Draw(s);
    EXPECT_EQ(s.Pixel(30, 80), Green);
}

// ---- Crossed markers -----------------------------------------------------

TEST_F(ObjectDrawing, MarkerDrawsDotAndDiagonalCross)
{
    TSurface s(400, 300);
    Make<Mod0x60>(q01::Marker(300, 200, 6)).Draw(s);

    // Dot box (295, 195)-(307, 207): columns 295..306, rows 195..206.
    EXPECT_EQ(PaintedBounds(s), QRect(QPoint(295, 195), QPoint(306, 206)));
    EXPECT_TRUE(AllPaintedIn(s, Purple));
    for (int i = 0; i <= 8; ++i) {
        EXPECT_EQ(s.Pixel(296 + i, 196 + i), Purple) << i;
        EXPECT_EQ(s.Pixel(296 + i, 204 - i), Purple) << i;
    }
    EXPECT_EQ(s.Pen, (TPen{Purple, psSolid, 1, pmCopy}));
    EXPECT_EQ(s.Brush, (TBrush{Purple, bsSolid}));
}

TEST_F(ObjectDrawing, MarkerOfRadiusZeroDrawsOnlyTheCross)
{
    TSurface s(400, 300);
    Make<Mod0x60>(q01::Marker(300, 200, 0)).Draw(s);
    std::vector<QPoint> expected;
    for (int y = 196; y <= 204; ++y)
        for (int x = 296; x <= 304; ++x)
            if (x - 296 == y - 196 || x - 296 == 204 - y) expected.push_back(QPoint(x, y));
    EXPECT_EQ(Painted(s), expected);
    EXPECT_TRUE(AllPaintedIn(s, Purple));
}

TEST_F(ObjectDrawing, MarkerCrossKeepsThePenWidthLeftByTheLineBefore)
{
    lines.Pens[1] = TPen{clBlack, psSolid, 3, pmCopy};
    ObjectSettings().LineData = &lines;
    TSurface s(400, 300);
    Make<LineData>(q01::Line(10, 10, 60, 10, 1)).Draw(s);
    Make<Mod0x60>(q01::Marker(300, 200, 0)).Draw(s);
    EXPECT_EQ(s.Pen.Width, 3);

    // The same two diagonals drawn with a 3-pixel purple pen.
    TSurface expected(400, 300);
    expected.Pen = TPen{clBlack, psSolid, 3, pmCopy};
    expected.MoveTo(10, 10);
    expected.LineTo(60, 10);
    expected.Pen.Colour = Purple;
    expected.MoveTo(296, 196);
    expected.LineTo(305, 205);
    expected.MoveTo(296, 204);
    expected.LineTo(305, 195);
    EXPECT_EQ(s.Image(), expected.Image());

    TSurface thin(400, 300);
    Make<Mod0x60>(q01::Marker(300, 200, 0)).Draw(thin);
    EXPECT_GT(Painted(s).size(), Painted(thin).size() + 2 * 40);
}

// ---- Annotations ---------------------------------------------------------

TEST_F(ObjectDrawing, AnnotationStandsRightOfItsAnchorWithItsBottomOnTheAnchorRow)
{
    const TFont font = PlainFont(12, clRed);
    annotations.Fonts[2] = font;
    ObjectSettings().Annotate = &annotations;
    TSurface s(400, 200);
    Make<Annotate>(q01::Annotation(200, 100, 2, "Hg|")).Draw(s);

    EXPECT_EQ(annotations.Asked, std::vector<int>{2});
    EXPECT_EQ(s.Font, font);
    EXPECT_EQ(s.Brush, (TBrush{clBlack, bsClear}));

    TSurface measure(10, 10);
    measure.Font = font;
    const int h = measure.TextHeight("Hg|");
    ASSERT_GT(h, 0);
    const QRect bounds = PaintedBounds(s);
    ASSERT_FALSE(bounds.isEmpty());
    EXPECT_GE(bounds.left(), 210);
    EXPECT_GE(bounds.top(), 100 - h);
    EXPECT_LT(bounds.bottom(), 100);
    EXPECT_TRUE(AllPaintedIn(s, clRed));

    TSurface expected(400, 200);
    expected.Font = font;
    expected.Brush.Style = bsClear;
    expected.TextOut(210, 100 - h, "Hg|");
    EXPECT_EQ(s.Image(), expected.Image());
}

TEST_F(ObjectDrawing, AnnotationBrushIsWhiteOnlyForABlackFont)
{
    annotations.Fonts[0] = PlainFont(10, clBlack);
    annotations.Fonts[1] = PlainFont(10, clWindowText);
    ObjectSettings().Annotate = &annotations;
    TSurface s(100, 50);
    Make<Annotate>(q01::Annotation(10, 30, 0, "a")).Draw(s);
    EXPECT_EQ(s.Brush, (TBrush{clWhite, bsClear}));
    Make<Annotate>(q01::Annotation(10, 30, 1, "a")).Draw(s);
    EXPECT_EQ(s.Brush, (TBrush{clBlack, bsClear}));
}

TEST_F(ObjectDrawing, AnnotationWithoutAFontChoiceKeepsTheCanvasFont)
{
    annotations.Fonts[0] = PlainFont(10, clRed);
    ObjectSettings().Annotate = &annotations;
    TSurface s(200, 100);
    const TFont canvasFont = PlainFont(14, clBlue);
    s.Font = canvasFont;
    Make<Annotate>(q01::Annotation(20, 60, 7, "Kept")).Draw(s);
    EXPECT_EQ(s.Font, canvasFont);
    EXPECT_FALSE(Painted(s).empty());
    EXPECT_TRUE(AllPaintedIn(s, clBlue));
}

TEST_F(ObjectDrawing, AnnotationWithoutItsWindowDrawsInTheCanvasFont)
{
    TSurface s(200, 100);
    s.Font = PlainFont(14, Green);
    Make<Annotate>(q01::Annotation(20, 60, 0, "Text")).Draw(s);
    EXPECT_FALSE(Painted(s).empty());
    EXPECT_TRUE(AllPaintedIn(s, Green));
}

TEST_F(ObjectDrawing, HiddenAnnotationsAndEmptyTextsDrawNothing)
{
    annotations.Fonts[0] = PlainFont(10, clRed);
    annotations.Visible = false;
    ObjectSettings().Annotate = &annotations;
    TSurface s(200, 100);
    Make<Annotate>(q01::Annotation(20, 60, 0, "Text")).Draw(s);
    EXPECT_TRUE(Painted(s).empty());

    annotations.Visible = true;
    Make<Annotate>(q01::Annotation(20, 60, 0, "")).Draw(s);
    EXPECT_TRUE(Painted(s).empty());
}

// ---- Document boxes ------------------------------------------------------

TEST_F(ObjectDrawing, DocBoxWritesItsLinesDownFromTheTopLeftCorner)
{
    const std::optional<TFont> found = FontOfTextHeight(16, clRed);
    ASSERT_TRUE(found.has_value()) << "no installed font measures 16 pixels";
    const TFont font = *found;
    docBoxes.Font = font;
    docBoxes.Pen = TPen{clBlue, psSolid, 1, pmCopy};
    ObjectSettings().DocBox = &docBoxes;

    TSurface s(400, 200);
    Make<DocBox>(q01::DocBox(40, 30, 300, 120, {"Ag", "Bh", "Cj"})).Draw(s);
    EXPECT_EQ(docBoxes.AskedPens, std::vector<int>{2});
    EXPECT_EQ(s.Pen, docBoxes.Pen);
    EXPECT_EQ(s.Font, font);
    EXPECT_EQ(s.Brush.Style, bsClear);

    // Outline only: columns 40..299, rows 30..119.
    EXPECT_EQ(s.Pixel(40, 30), clBlue);
    EXPECT_EQ(s.Pixel(299, 119), clBlue);
    EXPECT_EQ(s.Pixel(300, 30), clWhite);
    EXPECT_EQ(s.Pixel(40, 120), clWhite);
    EXPECT_EQ(s.Pixel(250, 100), clWhite);

    TSurface expected(400, 200);
    expected.Pen = docBoxes.Pen;
    expected.Brush.Style = bsClear;
    expected.Rectangle(40, 30, 300, 120);
    expected.Font = font;
    expected.TextOut(50, 35, "Ag");
    expected.TextOut(50, 51, "Bh");
    expected.TextOut(50, 67, "Cj");
    EXPECT_EQ(s.Image(), expected.Image());
    // Each line's glyphs stay within its own 16 rows.
    bool glyphs = false;
    for (const QPoint& p : Painted(s))
        if (s.Pixel(p.x(), p.y()) == clRed) {
            glyphs = true;
            EXPECT_GE(p.x(), 50);
            EXPECT_GE(p.y(), 35);
            EXPECT_LT(p.y(), 83);
        }
    EXPECT_TRUE(glyphs);
}

TEST_F(ObjectDrawing, DocBoxLineStepIsTheMeasuredTextHeight)
{
    docBoxes.Font = PlainFont(11, clRed);
    ObjectSettings().DocBox = &docBoxes;
    TSurface s(300, 200);
    Make<DocBox>(q01::DocBox(20, 10, 250, 150, {"Ag", "", "Qy"})).Draw(s);

    TSurface expected(300, 200);
    expected.Pen = docBoxes.Pen;
    expected.Font = docBoxes.Font;
    expected.Brush.Style = bsClear;
    expected.Rectangle(20, 10, 250, 150);
    const int h1 = expected.TextHeight("Ag");
    const int h2 = expected.TextHeight("");
    ASSERT_GT(h1, 0);
    expected.TextOut(30, 15, "Ag");
    expected.TextOut(30, 15 + h1 + h2, "Qy");
    EXPECT_EQ(s.Image(), expected.Image());
}

TEST_F(ObjectDrawing, DocBoxLinesAreNotClippedToTheBox)
{
    docBoxes.Font = PlainFont(12, clRed);
    ObjectSettings().DocBox = &docBoxes;
    TSurface s(300, 200);
    Make<DocBox>(q01::DocBox(10, 10, 30, 20, {"A long line of text", "second", "third"})).Draw(s);
    const QRect bounds = PaintedBounds(s);
    EXPECT_GT(bounds.right(), 60);
    EXPECT_GT(bounds.bottom(), 40);
}

TEST_F(ObjectDrawing, DocBoxWithoutItsWindowUsesTheCanvasPenAndFont)
{
    TSurface s(300, 200);
    s.Pen = TPen{Green, psSolid, 1, pmCopy};
    s.Brush = TBrush{clBlack, bsSolid};
    s.Font = PlainFont(12, clRed);
    Make<DocBox>(q01::DocBox(10, 10, 200, 100, {"Text"})).Draw(s);
    EXPECT_EQ(s.Pixel(10, 10), Green);
    EXPECT_EQ(s.Pixel(150, 80), clWhite);
    EXPECT_EQ(s.Brush.Style, bsClear);
    const QRect text = PaintedBounds(s) & QRect(QPoint(11, 11), QPoint(198, 98));
    EXPECT_FALSE(text.isEmpty());
}

TEST_F(ObjectDrawing, HiddenDocBoxDrawsNothing)
{
    docBoxes.Visible = false;
    ObjectSettings().DocBox = &docBoxes;
    TSurface s(300, 200);
    Make<DocBox>(q01::DocBox(10, 10, 200, 100, {"Text"})).Draw(s);
    EXPECT_TRUE(Painted(s).empty());
}
