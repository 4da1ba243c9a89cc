// A paint put off and played band by band paints what its operations paint
// one after another.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <string>
#include <utility>

#include "app/Surface.h"
#include "render/Paintrecord.h"

namespace {

class Numbers {
public:
    explicit Numbers(std::uint64_t seed) : state_(seed) {}
    long long Between(long long low, long long high)
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return low + static_cast<long long>((state_ >> 33) % std::uint64_t(high - low + 1));
    }

private:
    std::uint64_t state_;
};

// Every kind of operation, in every pen, brush and font, within the
// surface, across its edges and far outside; the glyph caches forgotten
// part way (what a paint put off holds must outlive them), and near the end
// a line to a point too far out to record.
void PaintMixture(TSurface& s)
{
    Numbers n(2026);
    const int w = s.Width(), h = s.Height();
    auto coordinate = [&](int size) {
        switch (n.Between(0, 9)) {
        case 0: return int(n.Between(-40000, 40000));
        case 1: return int(n.Between(-300, size + 300));
        default: return int(n.Between(-20, size + 20));
        }
    };
    auto colour = [&] { return TColor(n.Between(0, 0xFFFFFF)); };

    TSurface stamp(23, 17);
    stamp.Clear(clWhite);
    stamp.Pen.Colour = 0x0000FF;
    stamp.Ellipse(2, 1, 21, 16);
    stamp.Font.Size = 7;
    stamp.Brush.Style = bsClear;
    stamp.TextOut(3, 3, "R7");
    stamp.Transparent = true;
    const TRasterRuns runs(stamp);
    const char* const texts[] = {"R1", "LM741", "Vcc 12 V", "\xC4gypten", "'quoted'", "gap _ j", "W"};

    s.Clear(0x00C0FF);
    for (int k = 0; k < 1500; ++k) {
        s.Pen = TPen{colour(), int(n.Between(0, 5)), int(n.Between(0, 3) == 0 ? n.Between(2, 40) : 1), pmCopy};
        s.Brush = TBrush{colour(), int(n.Between(0, 1))};
        s.Font.Size = int(n.Between(6, 20));
        s.Font.Colour = colour();
        s.Font.Italic = n.Between(0, 3) == 0;
        const int x1 = coordinate(w), y1 = coordinate(h), x2 = coordinate(w), y2 = coordinate(h);
        if (k == 700) ForgetGlyphs();
        if (k == 1490) {
            s.MoveTo(w / 2, h / 2);
            s.LineTo(w / 3, (1 << 30) + 5);
        }
        switch (n.Between(0, 13)) {
        case 0: s.MoveTo(x1, y1); [[fallthrough]];
        case 1: s.LineTo(x2, y2); break;
        case 2: s.Polyline({{x1, y1}, {x2, y1}, {x2, y2}, {x1 + 7, y2 - 5}}); break;
        case 3:
            if (n.Between(0, 1)) s.Pen.Style = psInsideFrame;
            s.Rectangle(x1, y1, x1 + int(n.Between(0, 90)), y1 + int(n.Between(0, 90)));
            break;
        case 4: s.Ellipse(x1, y1, x1 + int(n.Between(0, 60)), y1 + int(n.Between(0, 60))); break;
        case 5: s.FillRect(x1, y1, x2, y2); break;
        case 6:
        case 7: s.TextOut(x1, y1, texts[n.Between(0, 6)]); break;
        case 8: s.TurnedTextOut(x1, y1, texts[n.Between(0, 6)]); break;
        case 9: s.DrawRuns(runs, x1, y1); break;
        case 10:
            s.FillRuns(runs, x1, y1, 0xFF000000u | QRgb(colour()),
                       QRect(x1 + int(n.Between(-5, 15)), y1 + int(n.Between(-5, 15)), int(n.Between(0, 30)),
                             int(n.Between(0, 30))));
            break;
        case 11:
            stamp.Transparent = n.Between(0, 1) == 1;
            s.Draw(x1, y1, stamp);
            stamp.Transparent = true;
            break;
        case 12: s.StretchDraw(QRect(x1, y1, int(n.Between(1, 70)), int(n.Between(1, 70))), stamp); break;
        case 13: s.SetPixel(x1 % (w + 2), y1 % (h + 2), colour()); break;
        }
    }
}

}  // namespace

TEST(PaintRecord, OperationsPlayedInBandsOnSeveralThreadsPaintWhatTheyPaintOneAfterAnother)
{
    TSurface direct(151, 203);
    PaintMixture(direct);

    struct Way {
        int Threads;
        std::size_t MaxOperations;
        int BandRows;
    };
    // Bands of one row, of a few rows and of more rows than the surface; a
    // record too small for the paint, which plays what it holds and lets the
    // surface paint the rest.
    for (const Way way : {Way{3, 100000, 7}, Way{2, 100000, 1}, Way{1, 100000, 500}, Way{2, 90, 16}}) {
        TSurface played(151, 203);
        TPaintRecord record(way.Threads, way.MaxOperations, way.BandRows);
        played.Record(&record);
        PaintMixture(played);
        if (played.Recording() == &record) {
            played.Record(nullptr);
            record.Play(played.Image());
        }
        EXPECT_EQ(record.Size(), 0u);
        EXPECT_TRUE(played.Image() == direct.Image())
            << way.Threads << " threads, at most " << way.MaxOperations << " operations, bands of " << way.BandRows;
    }
}

namespace {

// A paint of a few texts and shapes, which says it changed until a target
// first looks ahead at it.
class TCountedPaint final : public TPaintSource {
public:
    void Draw(TDrawTarget& target) override
    {
        ++Draws;
        target.ResetState();
        target.Brush.Style = bsClear;
        for (int k = 0; k < 40; ++k) {
            target.TextOut(3 + k % 5 * 30, 2 + k / 5 * 16, QByteArray("N") + QByteArray::number(k));
            target.Rectangle(k, k, k + 30, k + 12);
        }
    }
    bool FirstLookAhead() override { return std::exchange(changed_, false); }
    void Change() { changed_ = true; }
    int Draws = 0;

private:
    bool changed_ = true;
};

}  // namespace

TEST(PaintRecord, ASurfaceRecordsAPaintToItsEndAndDrawsItsSourceAheadOnceAfterEachChange)
{
    TSurface direct(170, 140);
    TCountedPaint paint;
    paint.Draw(direct);
    ASSERT_NE(direct.Pixel(3, 3), clWhite);

    // The first paint draws the source ahead (for its texts' glyphs) and
    // then for real; a later one only for real, until the source changes.
    TSurface::SetPaintThreads(3);
    ForgetGlyphs();
    TSurface page(170, 140);
    paint.Draws = 0;
    page.BeginPaint(paint);
    EXPECT_NE(page.Recording(), nullptr);
    paint.Draw(page);
    page.EndPaint();
    EXPECT_EQ(page.Recording(), nullptr);
    EXPECT_EQ(paint.Draws, 2);
    EXPECT_TRUE(page.Image() == direct.Image());

    page.Clear(clWhite);
    page.BeginPaint(paint);
    paint.Draw(page);
    page.EndPaint();
    EXPECT_EQ(paint.Draws, 3);
    EXPECT_TRUE(page.Image() == direct.Image());

    // Asked for ahead of the paint (before the page is made ready), at the
    // size it will have; a paint begun within it goes with it, and nothing
    // is painted before the outer one ends.
    paint.Change();
    page.PrepareGlyphs(paint, 170, 140);
    EXPECT_EQ(paint.Draws, 4);
    page.Clear(clWhite);
    page.BeginPaint(paint);
    page.BeginPaint(paint);
    paint.Draw(page);
    page.EndPaint();
    EXPECT_NE(page.Recording(), nullptr);
    EXPECT_EQ(page.Pixel(3, 3), clWhite);
    page.EndPaint();
    TSurface::SetPaintThreads(0);
    EXPECT_EQ(page.Recording(), nullptr);
    EXPECT_EQ(paint.Draws, 5);
    EXPECT_TRUE(page.Image() == direct.Image());
}
