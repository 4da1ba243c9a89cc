// The header record, the page size table and the page sheet.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "app/Surface.h"
#include "drawing/Drawing.h"
#include "drawing/Header.h"

namespace {

constexpr TColor sheetInk = 0xF0CAA6;

std::vector<std::uint8_t> HeaderRecord(std::uint8_t pageCode)
{
    std::vector<std::uint8_t> bytes(16, 0);
    bytes[0] = 0x00;
    bytes[1] = pageCode;
    return bytes;
}

Header MakeHeader(std::uint8_t pageCode)
{
    const std::vector<std::uint8_t> bytes = HeaderRecord(pageCode);
    const std::uint8_t* pos = bytes.data();
    return Header(pos, bytes.data() + bytes.size());
}

// The context of a page of the given size.
TDrawContext Sheet(QSize size, TColor background = clWhite)
{
    return TDrawContext{nullptr, TRect{0, 0, size.width(), size.height()}, background};
}

// A drawing of headers with these page codes.
void LoadHeaders(TDrawing& drawing, std::initializer_list<std::uint8_t> codes)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t code : codes) {
        const auto record = HeaderRecord(code);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    const TLoadResult result = drawing.Load(bytes.data(), bytes.size());
    EXPECT_TRUE(result.Complete);
}

}  // namespace

// ---------------------------------------------------------------------------
// Record

TEST(HeaderRecordTest, PageCodeZeroMakesA4CurrentAndIsTheRectangle)
{
    TDrawing drawing;
    LoadHeaders(drawing, {0});
    ASSERT_EQ(drawing.Objects().size(), 1u);
    auto& header = dynamic_cast<Header&>(*drawing.Objects()[0]);
    EXPECT_EQ(header.GetPageIndex(), 1);
    EXPECT_EQ(drawing.Page().Size, QSize(1110, 720));
    bool valid = false;
    EXPECT_EQ(header.GetRect(valid), (TRect{0, 0, 1110, 720}));
    EXPECT_TRUE(valid);
    EXPECT_FALSE(header.IsClass("Bitmap"));
    EXPECT_EQ(header.Record()[1], 0);

    const std::vector<std::uint8_t> bytes = HeaderRecord(0);
    const std::uint8_t* pos = bytes.data();
    Header alone(pos, bytes.data() + bytes.size());
    EXPECT_EQ(pos, bytes.data() + 16);
    EXPECT_EQ(alone.GetRect(valid), (TRect{}));  // no drawing, no page
}

TEST(HeaderRecordTest, PageIndexIsTheCodePlusOneInEightBits)
{
    const struct {
        std::uint8_t code;
        int index;
        QSize size;
    } cases[] = {
        {255, 0, {800, 600}}, {10, 11, {4500, 3200}}, {4, 5, {4460, 3150}}, {5, 6, {800, 600}}, {9, 10, {3200, 2000}}};
    for (const auto& c : cases) {
        TDrawing drawing;
        LoadHeaders(drawing, {c.code});
        EXPECT_EQ(MakeHeader(c.code).GetPageIndex(), c.index) << int(c.code);
        EXPECT_EQ(drawing.Page().Size, c.size) << int(c.code);
    }
}

TEST(HeaderRecordTest, PageCodeOutsideTheTableKeepsTheCurrentSize)
{
    TDrawing drawing;
    SelectPageSize(drawing.Page(), "A3");
    for (int code : {11, 126, 127, 200, 254}) {
        LoadHeaders(drawing, {std::uint8_t(code)});
        EXPECT_EQ(drawing.Page().Size, QSize(1550, 1110)) << code;
        EXPECT_EQ(GetPageSize(MakeHeader(std::uint8_t(code)).GetPageIndex()), QSize(0, 0)) << code;
        bool valid = false;
        EXPECT_EQ(drawing.Objects()[0]->GetRect(valid), (TRect{0, 0, 1550, 1110}));
    }
    EXPECT_EQ(MakeHeader(11).GetPageIndex(), 12);
    EXPECT_EQ(MakeHeader(200).GetPageIndex(), -55);
    EXPECT_EQ(MakeHeader(254).GetPageIndex(), -1);
}

TEST(HeaderRecordTest, LastHeaderDecidesTheSizeEveryHeaderShows)
{
    TDrawing drawing;
    LoadHeaders(drawing, {0, 1});
    bool valid = false;
    EXPECT_EQ(drawing.Objects()[0]->GetRect(valid), (TRect{0, 0, 1550, 1110}));
    EXPECT_EQ(drawing.Objects()[1]->GetRect(valid), (TRect{0, 0, 1550, 1110}));
}

TEST(HeaderRecordTest, CopiesOnlyTheBytesThatExist)
{
    const std::uint8_t bytes[3] = {0x00, 0x00, 0x7E};
    const std::uint8_t* pos = bytes;
    Header header(pos, bytes + 3);
    EXPECT_EQ(pos, bytes + 3);
    EXPECT_EQ(header.Record()[2], 0x7E);
    EXPECT_EQ(header.Record()[3], 0);
}

// ---------------------------------------------------------------------------
// Page size table

TEST(PageSizeTest, StartsEmptyWithWhiteBackground)
{
    const TDrawing drawing;
    EXPECT_EQ(drawing.Page().Size, QSize(0, 0));
    EXPECT_EQ(drawing.Page().Rect, (TRect{0, 0, 0, 0}));
    EXPECT_EQ(drawing.Page().Background, clWhite);
}

TEST(PageSizeTest, TableHoldsTwelveEntriesAndElevenNames)
{
    const QSize expected[PageSizeCount] = {{800, 600},   {1110, 720},  {1550, 1110}, {2230, 1570},
                                           {3150, 2230}, {4460, 3150}, {800, 600},   {950, 750},
                                           {1500, 950},  {2000, 1500}, {3200, 2000}, {4500, 3200}};
    for (int i = 0; i < PageSizeCount; ++i) EXPECT_EQ(GetPageSize(i), expected[i]) << i;
    EXPECT_EQ(PageSizeNames(), (QStringList{"Page_0", "A4", "A3", "A2", "A1", "A0", "Page_6", "B", "C", "D", "E"}));
}

TEST(PageSizeTest, IndexOutsideTheTableGivesNoSize)
{
    for (int index : {-1, 12, -128, 1000000}) EXPECT_EQ(GetPageSize(index), QSize(0, 0)) << index;
}

TEST(PageSizeTest, SelectingANameIgnoresLetterCase)
{
    TPageState page;
    EXPECT_EQ(SelectPageSize(page, "a3"), QSize(1550, 1110));
    EXPECT_EQ(page.Rect, (TRect{0, 0, 1550, 1110}));
    EXPECT_EQ(SelectPageSize(page, "page_6"), QSize(800, 600));
    EXPECT_EQ(SelectPageSize(page, "e"), QSize(3200, 2000));
}

TEST(PageSizeTest, UnknownNameChangesNothing)
{
    TPageState page;
    EXPECT_EQ(SelectPageSize(page, "A"), QSize(0, 0));  // before any size
    SelectPageSize(page, "A1");
    for (const char* name : {"A", "", "&A4", " A4"}) EXPECT_EQ(SelectPageSize(page, name), QSize(3150, 2230)) << name;
    EXPECT_EQ(page.Rect, (TRect{0, 0, 3150, 2230}));
}

// ---------------------------------------------------------------------------
// Page sheet

namespace {

// An A4 page image with the sheet of an A4 header drawn on it.
TSurface DrawA4(TColor background = clWhite)
{
    Header header = MakeHeader(0);
    TSurface canvas(1110, 720);
    canvas.Clear(0x123456);
    header.Draw(canvas, Sheet(QSize(1110, 720), background));
    return canvas;
}

// Number of pixels of `colour` in the box x1..x2-1, y1..y2-1.
int Count(const TSurface& s, int x1, int y1, int x2, int y2, TColor colour)
{
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) n += s.Pixel(x, y) == colour;
    return n;
}

}  // namespace

TEST(PageSheetTest, ColumnTicksStandAtEveryOtherZoneBoundary)
{
    const TSurface s = DrawA4();
    for (int x : {276, 552, 828, 1104}) {
        for (int y = 0; y < 20; ++y) EXPECT_EQ(s.Pixel(x, y), sheetInk) << x << "," << y;
        for (int y = 700; y < 720; ++y) EXPECT_EQ(s.Pixel(x, y), sheetInk) << x << "," << y;
        EXPECT_EQ(s.Pixel(x - 1, 10), clBlue) << x;
        EXPECT_EQ(s.Pixel(x + 1, 10), clBlue) << x;
        EXPECT_EQ(s.Pixel(x - 1, 710), clBlue) << x;
    }
    // No tick at the zone boundaries in between (below the labels there).
    EXPECT_EQ(s.Pixel(138, 19), clBlue);
    EXPECT_EQ(s.Pixel(414, 19), clBlue);
}

TEST(PageSheetTest, RowTicksStandAtEveryOtherZoneBoundary)
{
    const TSurface s = DrawA4();
    for (int y : {180, 360, 540}) {
        for (int x = 0; x < 20; ++x) EXPECT_EQ(s.Pixel(x, y), sheetInk) << x << "," << y;
        for (int x = 1090; x < 1110; ++x) EXPECT_EQ(s.Pixel(x, y), sheetInk) << x << "," << y;
        EXPECT_EQ(s.Pixel(10, y - 1), clBlue) << y;
        EXPECT_EQ(s.Pixel(10, y + 1), clBlue) << y;
        EXPECT_EQ(s.Pixel(1100, y + 1), clBlue) << y;
    }
    // The fourth tick at y = 720 lies on the row just below the image.
    EXPECT_EQ(s.Pixel(10, 719), sheetInk);  // the outline's bottom row
    EXPECT_EQ(s.Pixel(10, 718), clBlue);
}

TEST(PageSheetTest, FrameIsPureBlueWithAnOutlineInTheSheetColour)
{
    const TSurface s = DrawA4();
    EXPECT_EQ(s.Pixel(0, 0), sheetInk);
    EXPECT_EQ(s.Pixel(1109, 719), sheetInk);
    EXPECT_EQ(s.Pixel(1109, 300), sheetInk);
    for (const QPoint p : {QPoint(10, 300), QPoint(1, 1), QPoint(1100, 300), QPoint(500, 10), QPoint(500, 710),
                           QPoint(1108, 718), QPoint(19, 19), QPoint(1090, 700)})
        EXPECT_EQ(s.Pixel(p.x(), p.y()), 0xFF0000u) << p.x() << "," << p.y();
    std::set<TColor> colours;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1110; ++x) colours.insert(s.Pixel(x, y));
    EXPECT_EQ(colours, (std::set<TColor>{clBlue, sheetInk, clWhite}));
}

TEST(PageSheetTest, PageAreaIsFilledWithTheBackgroundColour)
{
    constexpr TColor background = 0xC0FFFF;
    const TSurface s = DrawA4(background);
    // The page area (20, 20, 1090, 700): outlined in the sheet colour, filled inside.
    EXPECT_EQ(s.Pixel(20, 20), sheetInk);
    EXPECT_EQ(s.Pixel(1089, 699), sheetInk);
    EXPECT_EQ(s.Pixel(600, 20), sheetInk);
    EXPECT_EQ(Count(s, 21, 21, 1089, 699, background), 1068 * 678);
    EXPECT_EQ(s.Pixel(1090, 400), clBlue);
    EXPECT_EQ(s.Pixel(400, 700), clBlue);
}

TEST(PageSheetTest, ZoneLabelsSitInTheirCellsOnBlue)
{
    const TSurface s = DrawA4();
    // Each label cell shows exactly that label drawn alone at its place:
    // "Lucinda Console" 10 points in the sheet's ink on a blue cell.
    const auto expectLabel = [&](int x, int y, const QByteArray& label) {
        TSurface alone(1110, 720);
        alone.Font.Face = "Lucinda Console";
        alone.Font.Size = 10;
        alone.Font.Colour = sheetInk;
        alone.Brush = TBrush{clBlue, bsSolid};
        alone.TextOut(x, y, label);
        const int w = alone.TextWidth(label), h = alone.TextHeight(label);
        int ink = 0, wrong = 0;
        for (int py = y; py < std::min(y + h, 720); ++py)
            for (int px = x; px < std::min(x + w, 1110); ++px) {
                ink += alone.Pixel(px, py) == sheetInk;
                wrong += s.Pixel(px, py) != alone.Pixel(px, py);
            }
        EXPECT_GT(ink, 3) << label.toStdString();
        EXPECT_EQ(wrong, 0) << label.toStdString() << " at " << x << "," << y;
        return w;
    };
    // Column labels 1 to 4 at x = 138, 414, 690, 966, top (y = 2) and bottom (y = 702).
    const int columns[4] = {138, 414, 690, 966};
    for (int i = 0; i < 4; ++i) {
        const QByteArray label = QByteArray::number(i + 1);
        const int w = expectLabel(columns[i], 2, label);
        expectLabel(columns[i], 702, label);
        // Nothing but blue between this label and the next tick.
        EXPECT_EQ(Count(s, columns[i] + w + 2, 1, columns[i] + 130, 19, clBlue), (128 - w) * 18) << i;
    }
    // Row labels A to D at y = 90, 270, 450, 630, left (x = 6) and right (x = 1095).
    const int rows[4] = {90, 270, 450, 630};
    for (int i = 0; i < 4; ++i) {
        expectLabel(6, rows[i], QByteArray(1, char('A' + i)));
        expectLabel(1095, rows[i], QByteArray(1, char('A' + i)));
    }
}

TEST(PageSheetTest, SheetFollowsTheCurrentSizeNotTheRecord)
{
    Header header = MakeHeader(0);
    TSurface canvas(1550, 1110);
    header.Draw(canvas, Sheet(QSize(1550, 1110)));
    // zw = 1550 / 8 = 193, zh = 1110 / 8 = 138
    EXPECT_EQ(canvas.Pixel(386, 10), sheetInk);
    EXPECT_EQ(canvas.Pixel(1544, 10), sheetInk);
    EXPECT_EQ(canvas.Pixel(10, 276), sheetInk);
    EXPECT_EQ(canvas.Pixel(276, 10), clBlue);
    EXPECT_EQ(canvas.Pixel(1529, 1089), sheetInk);  // page area outline corner
    EXPECT_EQ(canvas.Pixel(1528, 1088), clWhite);
}

TEST(PageSheetTest, DrawingLeavesPenStyleAndWidthAsTheyWere)
{
    Header header = MakeHeader(0);
    TSurface canvas(1110, 720);
    canvas.Pen.Width = 3;
    canvas.Pen.Style = psSolid;
    canvas.Font.Bold = true;
    header.Draw(canvas, Sheet(QSize(1110, 720)));
    EXPECT_EQ(canvas.Pen.Width, 3);
    EXPECT_EQ(canvas.Pen.Colour, sheetInk);
    EXPECT_EQ(canvas.Brush, (TBrush{clWhite, bsSolid}));
    EXPECT_EQ(canvas.Font.Face, "Lucinda Console");
    EXPECT_EQ(canvas.Font.Size, 10);
    EXPECT_EQ(canvas.Font.Colour, sheetInk);
    EXPECT_TRUE(canvas.Font.Bold);
    // The wide pen left by an earlier object makes the ticks 3 pixels wide.
    EXPECT_EQ(canvas.Pixel(275, 10), sheetInk);
    EXPECT_EQ(canvas.Pixel(277, 10), sheetInk);
}
