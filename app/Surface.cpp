#include "app/Surface.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>

#include "base/Parallel.h"
#include "render/Paintrecord.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A new RGB32 image. Large ones (pages from A1 up, which live long and are
// drawn on many times) lie on 2 MB boundaries and ask for huge memory pages
// where the system offers them: a line running down a page touches a new row,
// and with small pages a new memory page, at every pixel.
QImage NewRaster(int width, int height)
{
    constexpr std::size_t large = std::size_t(16) << 20;
    const std::size_t stride = std::size_t(width) * sizeof(QRgb);
    const std::size_t bytes = stride * std::size_t(height);
    if (bytes >= large && stride <= std::size_t(std::numeric_limits<qsizetype>::max())) {
        if (void* memory = AllocateLarge(bytes)) {
            QImage image(
                static_cast<uchar*>(memory), width, height, qsizetype(stride), QImage::Format_RGB32,
                [](void* buffer) { std::free(buffer); }, memory);
            if (!image.isNull()) return image;
            std::free(memory);
        }
    }
    return QImage(width, height, QImage::Format_RGB32);
}

}  // namespace

TSurface::TSurface(int width, int height) { SetSize(width, height); }

void TSurface::SetSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == Width() && height == Height() && !image_.isNull()) return;
    QImage next = NewRaster(width, height);
    if (next.isNull()) {
        image_ = QImage();
        return;
    }
    next.fill(Qt::white);
    EnsureFormat();
    const int keepWidth = std::min(width, Width());
    const int keepHeight = std::min(height, Height());
    const TPixels target(next);
    for (int y = 0; y < keepHeight; ++y) std::copy_n(ImageRow(std::as_const(image_), y), keepWidth, target.Row(y));
    image_ = next;
}

void TSurface::EnsureFormat()
{
    if (!image_.isNull() && image_.format() != QImage::Format_RGB32)
        image_ = image_.convertToFormat(QImage::Format_RGB32);
}

bool TSurface::Recorded(const TPaintOperation& operation, bool kept)
{
    if (record_.To == nullptr) return false;
    if (kept && record_.To->Add(operation)) return true;
    EndRecording();
    return false;
}

void TSurface::EndRecording()
{
    // What the record holds goes on the surface first; then the surface
    // paints as it goes.
    TPaintRecord* const record = record_.To;
    record_.To = nullptr;
    if (record) record->Play(image_);
}

void TSurface::PaintBox(long long x1, long long y1, long long x2, long long y2, QRgb colour)
{
    if (x1 >= x2 || y1 >= y2) return;
    // (A box wholly beyond an int's range is off the surface: nothing to keep.)
    if (record_.To && std::max(x1, y1) <= INT_MAX && std::min(x2, y2) >= INT_MIN) {
        TPaintOperation box = TPaintOperation::Of(TPaintOperation::Box, x1, y1, x2, y2, y1, y2);
        box.Colour = colour;
        if (Recorded(box)) return;
    }
    FillBox(TPixels(image_), x1, y1, x2, y2, colour);
}

void TSurface::Clear(TColor colour)
{
    EnsureFormat();
    if (record_.To) {
        PaintBox(0, 0, Width(), Height(), ColourToRgb(colour) | opaqueBlack);
        return;
    }
    image_.fill(ColourToRgb(colour));
}

void TSurface::MoveTo(int x, int y)
{
    PenPos = QPoint(x, y);
    dashPhase_ = 0;
}

void TSurface::LineTo(int x, int y)
{
    EnsureFormat();
    StrokeSegment(PenPos, QPoint(x, y));
    PenPos = QPoint(x, y);
}

void TSurface::StrokeSegment(QPoint a, QPoint b)
{
    const long long x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
    const long long steps = std::max(std::llabs(x1 - x0), std::llabs(y1 - y0));
    if (Pen.Style == psClear || steps == 0) return;

    const int width = PenWidth(Pen);
    const long long phase = dashPhase_;
    dashPhase_ = int((phase + steps) % 960000);  // a multiple of every pattern period

    // Nothing to do when the stroke cannot reach the surface.
    const long long reach = width;
    if (std::max(x0, x1) + reach < 0 || std::max(y0, y1) + reach < 0 || std::min(x0, x1) - reach >= Width() ||
        std::min(y0, y1) - reach >= Height())
        return;
    if (record_.To) {
        TPaintOperation stroke = TPaintOperation::Of(TPaintOperation::Stroke, x0, y0, x1, y1, std::min(y0, y1) - reach,
                                                     std::max(y0, y1) + reach + 1);
        stroke.Pen = Pen;
        stroke.Phase = int(phase);
        if (Recorded(stroke)) return;
    }
    PaintStroke(TPixels(image_), a, b, Pen, phase);
}

void TSurface::Polyline(const std::vector<QPoint>& points)
{
    EnsureFormat();
    dashPhase_ = 0;
    for (std::size_t k = 1; k < points.size(); ++k) StrokeSegment(points[k - 1], points[k]);
}

void TSurface::Rectangle(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    const TBox box = MakeBox(x1, y1, x2, y2);
    if (box.Empty()) return;
    const bool outline = Pen.Style != psClear;
    if (Brush.Style != bsClear) {
        const QRgb fill = ColourToRgb(Brush.Colour);
        if (outline)
            PaintBox(box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1, fill);
        else
            PaintBox(box.Left, box.Top, box.Right, box.Bottom, fill);
    }
    if (!outline) return;

    const int width = PenWidth(Pen);
    if (width > 1 && Pen.Style == psInsideFrame) {
        const QRgb colour = ColourToRgb(Pen.Colour);
        const long long w = std::min<long long>(width, std::max(box.Width(), box.Height()));
        PaintBox(box.Left, box.Top, box.Right, std::min(box.Bottom, box.Top + w), colour);
        PaintBox(box.Left, std::max(box.Top, box.Bottom - w), box.Right, box.Bottom, colour);
        PaintBox(box.Left, box.Top, std::min(box.Right, box.Left + w), box.Bottom, colour);
        PaintBox(std::max(box.Left, box.Right - w), box.Top, box.Right, box.Bottom, colour);
        return;
    }
    // The closed path around the border pixels, each corner the start of one side.
    const int left = int(box.Left), top = int(box.Top), right = int(box.Right - 1), bottom = int(box.Bottom - 1);
    if (left == right && top == bottom) {
        PaintBox(left, top, left + 1LL, top + 1LL, ColourToRgb(Pen.Colour));
        if (width > 1) {
            for (const TStampRow& r : Stamp(width))
                PaintBox(left + r.First, top + r.Dy, left + r.Last + 1, top + r.Dy + 1LL, ColourToRgb(Pen.Colour));
        }
        return;
    }
    dashPhase_ = 0;
    StrokeSegment(QPoint(left, top), QPoint(right, top));
    StrokeSegment(QPoint(right, top), QPoint(right, bottom));
    StrokeSegment(QPoint(right, bottom), QPoint(left, bottom));
    StrokeSegment(QPoint(left, bottom), QPoint(left, top));
}

void TSurface::Ellipse(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    const TBox box = MakeBox(x1, y1, x2, y2);
    if (box.Empty()) return;
    // Rows outside the surface need no work.
    const long long firstRow = std::max<long long>(0, -box.Top);
    const long long lastRow = std::min<long long>(box.Height(), Height() - box.Top);  // exclusive
    if (firstRow >= lastRow || box.Right <= 0 || box.Left >= Width()) return;

    if (box.Width() > maxEllipseSide || box.Height() > maxEllipseSide) return;
    if (record_.To) {
        TPaintOperation ellipse = TPaintOperation::Of(TPaintOperation::Ellipse, x1, y1, x2, y2, box.Top, box.Bottom);
        ellipse.Pen = Pen;
        ellipse.Brush = Brush;
        if (Recorded(ellipse)) return;
    }
    PaintEllipse(TPixels(image_), x1, y1, x2, y2, Pen, Brush);
}

void TSurface::FillRect(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    if (Brush.Style == bsClear) return;
    const TBox box = MakeBox(x1, y1, x2, y2);
    PaintBox(box.Left, box.Top, box.Right, box.Bottom, ColourToRgb(Brush.Colour));
}

void TSurface::TextOut(int x, int y, const QByteArray& text)
{
    EnsureFormat();
    if (text.isEmpty()) return;
    const std::shared_ptr<const TGlyphMask>& mask = GlyphsOf(Font, text);
    if (Brush.Style != bsClear)
        PaintBox(x, y, static_cast<long long>(x) + mask->CellWidth, static_cast<long long>(y) + mask->Height,
                 ColourToRgb(Brush.Colour));
    const QRgb ink = ColourToRgb(Font.Colour);
    if (record_.To && !mask->Spans.empty()) {
        TPaintOperation glyphs =
            TPaintOperation::Of(TPaintOperation::Glyphs, x, y, 0, 0, static_cast<long long>(y) + mask->Top,
                                static_cast<long long>(y) + mask->Bottom);
        glyphs.Colour = ink;
        if (Recorded(glyphs, record_.To->KeepMask(mask, glyphs.Kept))) return;
    }
    PaintGlyphs(TPixels(image_), *mask, x, y, ink);
}

void TSurface::TurnedTextOut(int x, int y, const QByteArray& text) { Draw(x, y, RenderLabel(text, Font, true)); }

TSurface RenderLabel(const QByteArray& text, const TFont& font, bool turned)
{
    TSurface label(1, 1);
    label.Font = font;
    label.Transparent = true;
    label.TransparentColour = clWhite;
    const int wt = std::max(0, label.TextWidth(text));
    const int ht = std::max(0, label.TextHeight(text));
    label.SetSize(wt, ht);
    label.Clear(clWhite);
    label.Brush.Style = bsClear;
    label.TextOut(0, 0, text);
    if (!turned) return label;

    // A quarter turn anticlockwise: the text reads from bottom to top.
    TSurface upright(ht, wt);
    upright.Font = font;
    upright.Transparent = true;
    upright.TransparentColour = clWhite;
    for (int i = 0; i < wt; ++i)
        for (int j = 0; j < ht; ++j) upright.SetPixel(j, wt - 1 - i, label.Pixel(i, j));
    return upright;
}

void TSurface::DrawRuns(const TRasterRuns& runs, int x, int y)
{
    EnsureFormat();
    if (image_.isNull() || runs.Empty()) return;
    if (record_.To) {
        TPaintOperation draw =
            TPaintOperation::Of(TPaintOperation::DrawRuns, x, y, 0, 0, y, static_cast<long long>(y) + runs.Height());
        draw.Runs = &runs;
        if (Recorded(draw)) return;
    }
    runs.Draw(TPixels(image_), x, y);
}

void TSurface::FillRuns(const TRasterRuns& runs, int x, int y, QRgb colour, const QRect& clip)
{
    EnsureFormat();
    if (image_.isNull() || runs.Empty() || clip.isEmpty()) return;
    if (record_.To) {
        TPaintOperation fill =
            TPaintOperation::Of(TPaintOperation::FillRuns, x, y, 0, 0, std::max(y, clip.top()),
                                std::min<long long>(static_cast<long long>(y) + runs.Height(), clip.bottom() + 1LL));
        fill.Runs = &runs;
        fill.Colour = colour;
        fill.Area = clip;
        if (Recorded(fill)) return;
    }
    runs.Fill(TPixels(image_), x, y, colour, clip);
}

TColor TSurface::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0xFFFFFFFF;
    return RgbToColour(image_.pixel(x, y));
}

void TSurface::SetPixel(int x, int y, TColor colour)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    EnsureFormat();
    PaintBox(x, y, x + 1LL, y + 1LL, ColourToRgb(colour));
}

void TSurface::Draw(int x, int y, const TRasterImage& raster)
{
    EnsureFormat();
    if (raster.Image().isNull() || image_.isNull()) return;
    if (record_.To) {
        TPaintOperation draw = TPaintOperation::Of(TPaintOperation::Raster, x, y, 0, 0, y,
                                                   static_cast<long long>(y) + raster.Image().height());
        if (Recorded(draw, record_.To->KeepRaster(raster, draw.Kept))) return;
    }
    PaintRaster(TPixels(image_), x, y, raster);
}

void TSurface::StretchDraw(const QRect& target, const TRasterImage& raster)
{
    EnsureFormat();
    if (raster.Image().isNull() || image_.isNull() || target.width() <= 0 || target.height() <= 0) return;
    if (record_.To) {
        TPaintOperation stretch = TPaintOperation::Of(TPaintOperation::Stretch, 0, 0, 0, 0, target.y(),
                                                      static_cast<long long>(target.y()) + target.height());
        stretch.Area = target;
        if (Recorded(stretch, record_.To->KeepRaster(raster, stretch.Kept))) return;
    }
    PaintStretched(TPixels(image_), target, raster);
}

TSurface TSurface::HalfSample(TColor skip) const
{
    const int width = Width() / 2, height = Height() / 2;
    TSurface half;
    if (width == 0 || height == 0) {
        half.SetSize(width, height);
        return half;
    }
    half.image_ = NewRaster(width, height);  // every pixel is written below
    if (half.image_.isNull()) return half;
    const QImage source =
        image_.format() == QImage::Format_RGB32 ? image_ : image_.convertToFormat(QImage::Format_RGB32);
    const QRgb skipped = ColourToRgb(skip) & 0xFFFFFF;
    const TPixels target(half.image_);
    for (int py = 0; py < height; ++py) {
        const QRgb* upper = ImageRow(source, 2 * py);
        const QRgb* lower = ImageRow(source, 2 * py + 1);
        QRgb* out = target.Row(py);
        int px = 0;
#if defined(__SSE2__)
        // Four preview pixels at a time: the blocks' pixels (x, y), (x + 1, y)
        // from the upper row and (x, y + 1), (x + 1, y + 1) from the lower one.
        const __m128i colourBits = _mm_set1_epi32(0xFFFFFF);
        const __m128i skippedBits = _mm_set1_epi32(int(skipped));
        const __m128i white = _mm_set1_epi32(-1);
        auto take = [&](__m128i shown, __m128i pixels) {
            const __m128i isSkipped = _mm_cmpeq_epi32(_mm_and_si128(pixels, colourBits), skippedBits);
            return _mm_or_si128(_mm_and_si128(isSkipped, shown), _mm_andnot_si128(isSkipped, pixels));
        };
        auto split = [](const QRgb* from, __m128i& even, __m128i& odd) {
            const __m128 first = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
            const __m128 second = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4)));
            even = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
            odd = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
        };
        for (; px + 4 <= width; px += 4) {
            __m128i a, b, c, d;
            split(upper + 2 * px, a, c);
            split(lower + 2 * px, b, d);
            const __m128i shown = take(take(take(take(white, a), b), c), d);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + px),
                             _mm_or_si128(shown, _mm_set1_epi32(int(opaqueBlack))));
        }
#endif
        for (; px < width; ++px) {
            const QRgb a = upper[2 * px], b = lower[2 * px], c = upper[2 * px + 1], d = lower[2 * px + 1];
            QRgb shown = 0xFFFFFFFF;  // white where the whole block is skipped
            shown = (a & 0xFFFFFF) != skipped ? a : shown;
            shown = (b & 0xFFFFFF) != skipped ? b : shown;
            shown = (c & 0xFFFFFF) != skipped ? c : shown;
            shown = (d & 0xFFFFFF) != skipped ? d : shown;
            out[px] = shown | opaqueBlack;
        }
    }
    return half;
}

// ---------------------------------------------------------------------------
// Paints

namespace {
int paintThreads = 0;
}  // namespace

void TSurface::SetPaintThreads(int threads) { paintThreads = std::max(threads, 0); }
int TSurface::PaintThreads() { return paintThreads; }

TSurface::PaintLink::PaintLink() = default;
TSurface::PaintLink::PaintLink(const PaintLink&) {}
TSurface::PaintLink& TSurface::PaintLink::operator=(const PaintLink&) { return *this; }
TSurface::PaintLink::~PaintLink() = default;

void TSurface::PrepareGlyphs(TPaintSource& source, int width, int height)
{
    // The first page of a drawing has thousands of texts a raster has not
    // drawn before, and Qt takes some microseconds for each: other threads
    // make their glyphs while this one goes on. (Later paints find them ready.)
    if (!source.FirstLookAhead()) return;
    paint_.Ahead.reset();  // one at a time
    paint_.Ahead = TGlyphsAhead::Start(source, width, height, paintThreads);
}

void TSurface::BeginPaint(TPaintSource& source)
{
    if (paint_.Depth++ > 0) return;
    PrepareGlyphs(source, Width(), Height());
    paint_.Glyphs = std::move(paint_.Ahead);
    if (UsesCaches() && record_.To == nullptr) {
        try {
            paint_.Record = std::make_unique<TPaintRecord>(paintThreads);
            record_.To = paint_.Record.get();
        } catch (const std::bad_alloc&) {
            // the objects are painted as they draw
        }
    }
}

void TSurface::EndPaint()
{
    if (paint_.Depth == 0 || --paint_.Depth > 0) return;
    paint_.Glyphs.reset();  // its helpers give their cores to the bands
    // (A record that filled up was played then, and the surface went on
    // painting as the objects drew.)
    if (paint_.Record && record_.To == paint_.Record.get()) EndRecording();
    paint_.Record.reset();
}
