// Loading a drawing apart from any window: the component bodies rendered on
// several threads, and the glyphs of the first paint's texts prepared on
// several, are those rendered one after another.
#include <gtest/gtest.h>

#include <QImage>

#include "Q01Builder.h"
#include "Q01DenseSheet.h"
#include "StubSettings.h"
#include "app/Surface.h"
#include "drawing/Bitmap.h"
#include "drawing/Drawing.h"

using q01::operator+=;

namespace {

struct TLoaded {
    std::size_t Objects = 0;
    int Simplified = 0;
    bool Complete = false;
    std::uint64_t RasterBytes = 0;
    std::vector<bool> SimplifiedOnes;
    std::vector<QImage> Bodies;
    QImage Page;
    std::vector<int> NameWidths;  // as measured after the paint
};

TLoaded LoadWith(int threads, const q01::Bytes& bytes, StubSettings& stub)
{
    TDrawing::SetRenderThreads(threads);
    TSurface::SetPaintThreads(threads);
    ForgetGlyphs();  // the first paint prepares the glyphs of its texts on as many threads
    TDrawing drawing;
    const TLoadResult result = drawing.Load(bytes.data(), bytes.size());
    TLoaded loaded;
    loaded.Objects = drawing.Objects().size();
    loaded.Simplified = result.Simplified;
    loaded.Complete = result.Complete;
    loaded.RasterBytes = Bitmap::RasterBytesInUse();
    for (const Bitmap* component : drawing.Components()) {
        loaded.SimplifiedOnes.push_back(component->IsSimplified());
        loaded.Bodies.push_back(component->GetBodyImage().Image());
    }
    TSurface page(drawing.Page().Rect.Right, drawing.Page().Rect.Bottom);
    drawing.Paint(page, stub.settings);
    loaded.Page = page.Image();
    for (const Bitmap* component : drawing.Components())
        loaded.NameWidths.push_back(FontTextWidth(stub.DesigFont(), component->GetName()));
    return loaded;
}

}  // namespace

TEST(DrawingLoad, BodiesAndGlyphsMadeOnSeveralThreadsAreThoseMadeOneAfterAnother)
{
    // A sheet whose later components outrun a small raster budget, so which
    // ones are simplified depends on the record order, and a record cut
    // short at the end.
    q01::Bytes bytes = q01::DenseSheet(q01::DenseA2());
    const q01::Bytes line = q01::Line(1, 1, 50, 50, 1);
    bytes.insert(bytes.end(), line.begin(), line.begin() + 9);

    const std::uint64_t budget = Bitmap::RasterBudget();
    StubSettings stub(true);
    const TLoaded full = LoadWith(1, bytes, stub);
    ASSERT_EQ(full.Simplified, 0);
    Bitmap::SetRasterBudget(full.RasterBytes * 3 / 5);
    const TLoaded serial = LoadWith(1, bytes, stub);
    const TLoaded parallel = LoadWith(4, bytes, stub);
    Bitmap::SetRasterBudget(budget);
    TDrawing::SetRenderThreads(0);
    TSurface::SetPaintThreads(0);

    ASSERT_GT(serial.Simplified, 10);
    ASSERT_LT(std::size_t(serial.Simplified), serial.Bodies.size() - 10);
    EXPECT_FALSE(serial.Complete);
    EXPECT_EQ(parallel.Complete, serial.Complete);
    EXPECT_EQ(parallel.Objects, serial.Objects);
    EXPECT_EQ(parallel.Simplified, serial.Simplified);
    EXPECT_EQ(parallel.RasterBytes, serial.RasterBytes);
    EXPECT_EQ(parallel.SimplifiedOnes, serial.SimplifiedOnes);
    ASSERT_EQ(parallel.Bodies.size(), serial.Bodies.size());
    for (std::size_t i = 0; i < serial.Bodies.size(); ++i)
        EXPECT_TRUE(parallel.Bodies[i] == serial.Bodies[i]) << "component " << i;
    EXPECT_TRUE(parallel.Page == serial.Page);
    EXPECT_EQ(parallel.NameWidths, serial.NameWidths);
}
