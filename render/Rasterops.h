#pragma once
// The raster operations of the drawing surface, on the pixels of an RGB32
// image: runs and boxes of one colour, strokes of a pen (the one-pixel path,
// the round stamp of a wide pen, dash patterns), ellipses (the rows of their
// shapes, their rims), and rasters copied as they are, with their
// transparent colour left out, or stretched. Each paints exactly the pixels
// the surface's pixel rules name (app/Surface.h) and writes nothing outside
// the pixels it is given. The raster surface paints with them as it goes,
// and a paint record (render/Paintrecord.h) band by band; the vector writer
// takes its dash patterns and pen widths from here.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <algorithm>
#include <vector>

#include "app/Drawstyle.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The alpha bits of every pixel painted (the pixels are opaque).
constexpr QRgb opaqueBlack = 0xFF000000u;

// Row y of an RGB32 image, to read.
inline const QRgb* ImageRow(const QImage& image, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

// Direct access to the pixels of an RGB32 image, or of a band of its rows.
struct TPixels {
    QRgb* Bits = nullptr;
    qsizetype Stride = 0;  // in pixels
    int Width = 0, Height = 0;

    TPixels() = default;
    TPixels(QRgb* bits, qsizetype stride, int width, int height)
        : Bits(bits),
          Stride(stride),
          Width(width),
          Height(height)
    {
    }
    // Taken once per operation (taking it detaches a shared image, as any
    // write does).
    explicit TPixels(QImage& image)
    {
        if (image.isNull()) return;
        Bits = reinterpret_cast<QRgb*>(image.bits());
        Stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
        Width = image.width();
        Height = image.height();
    }
    QRgb* Row(int y) const { return Bits + y * Stride; }
};

// count pixels from at on in one colour: four at a time where there are four
// (the last four ending at the last pixel), else one by one.
inline void FillPixels(QRgb* at, long long count, QRgb colour)
{
#if defined(__SSE2__)
    if (count >= 4) {
        const __m128i four = _mm_set1_epi32(int(colour));
        QRgb* const end = at + count;
        for (; end - at >= 16; at += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 4), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 8), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 12), four);
        }
        for (; end - at >= 4; at += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(at), four);
        if (at != end) _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 4), four);
        return;
    }
#endif
    switch (count) {
    case 3: at[2] = colour; [[fallthrough]];
    case 2: at[1] = colour; [[fallthrough]];
    case 1: at[0] = colour; break;
    default:
        for (long long i = 0; i < count; ++i) at[i] = colour;
    }
}

// The first of pixels at[x .. end-1] that differs from `key` (in every
// bit but the alpha ones when `opaque` is given), or end: four at a time,
// and with `wide` sixteen at a time first (for long stretches of the key).
template <bool wide = false>
inline int SkipPixels(const QRgb* at, int x, int end, QRgb key, QRgb opaque)
{
#if defined(__SSE2__)
    const __m128i keys = _mm_set1_epi32(int(key)), alpha = _mm_set1_epi32(int(opaque));
    if constexpr (wide) {
        const auto keyed = [&](int from) {
            return _mm_cmpeq_epi32(_mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + from)), alpha),
                                   keys);
        };
        for (; x + 16 <= end; x += 16) {
            const __m128i all =
                _mm_and_si128(_mm_and_si128(keyed(x), keyed(x + 4)), _mm_and_si128(keyed(x + 8), keyed(x + 12)));
            if (_mm_movemask_epi8(all) != 0xFFFF) break;  // it is among these sixteen
        }
    }
    for (; x + 4 <= end; x += 4) {
        const __m128i four = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + x)), alpha);
        const int same = _mm_movemask_epi8(_mm_cmpeq_epi32(four, keys));
        if (same != 0xFFFF) return x + __builtin_ctz(unsigned(~same) & 0xFFFFu) / 4;
    }
#endif
    for (; x < end && (at[x] | opaque) == key; ++x) {
    }
    return x;
}

// Columns x1 .. x2-1 of row y, clipped.
inline void FillSpan(const TPixels& image, long long y, long long x1, long long x2, QRgb colour)
{
    if (y < 0 || y >= image.Height) return;
    x1 = std::max<long long>(x1, 0);
    x2 = std::min<long long>(x2, image.Width);
    if (x1 >= x2) return;
    FillPixels(image.Row(int(y)) + x1, x2 - x1, colour);
}

// Columns x1 .. x2-1 of rows y1 .. y2-1, clipped.
inline void FillBox(const TPixels& image, long long x1, long long y1, long long x2, long long y2, QRgb colour)
{
    const long long top = std::max<long long>(y1, 0);
    const long long bottom = std::min<long long>(y2, image.Height);
    for (long long y = top; y < bottom; ++y) FillSpan(image, y, x1, x2, colour);
}

// A hint that a pixel is about to be written (rows far apart miss the cache).
inline void PrefetchForWrite(const QRgb* pixel)
{
#if defined(__GNUC__)
    __builtin_prefetch(pixel, 1);
#else
    (void)pixel;
#endif
}

// A raster image with its transparency: when Transparent is set, pixels of
// exactly TransparentColour leave the target unchanged when it is drawn.
class TRasterImage {
public:
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    // The image as RGB32: itself, or a converted copy.
    QImage Rgb32() const
    {
        return image_.format() == QImage::Format_RGB32 ? image_ : image_.convertToFormat(QImage::Format_RGB32);
    }

    bool Transparent = false;
    TColor TransparentColour = clWhite;

protected:
    QImage image_;
};

// A box x1 .. x2-1, y1 .. y2-1 with its corners in order: Left < Right and
// Top < Bottom unless it is empty.
struct TBox {
    long long Left, Top, Right, Bottom;
    long long Width() const { return Right - Left; }
    long long Height() const { return Bottom - Top; }
    bool Empty() const { return Left >= Right || Top >= Bottom; }
};

inline TBox MakeBox(int x1, int y1, int x2, int y2)
{
    return TBox{std::min<long long>(x1, x2), std::min<long long>(y1, y2), std::max<long long>(x1, x2),
                std::max<long long>(y1, y2)};
}

// Pens: widths beyond maxPenWidth draw that wide (a stamp that size already
// covers a page zone); 0 draws as 1.
constexpr int maxPenWidth = 256;
inline int PenWidth(const TPen& pen) { return std::clamp(pen.Width, 1, maxPenWidth); }

// On/off runs, in pixels, of the dash pattern of a one-pixel pen of a style;
// empty for solid.
const std::vector<int>& DashPattern(int style);

// The round stamp of a wide pen: for each of its rows (offset Dy from the
// point) the columns it covers, as offsets First .. Last from the point.
struct TStampRow {
    int Dy, First, Last;
};
const std::vector<TStampRow>& Stamp(int width);

// A line from a to b with the pen, b left out, its dash pattern standing at
// `phase` at a.
void PaintStroke(const TPixels& pixels, QPoint a, QPoint b, const TPen& pen, long long phase);

// Largest box side an ellipse is drawn in; bigger boxes draw nothing.
constexpr long long maxEllipseSide = 1LL << 28;
// The ellipse inscribed in the box x1 .. x2-1, y1 .. y2-1, outlined with the
// pen and filled with the brush.
void PaintEllipse(const TPixels& pixels, int x1, int y1, int x2, int y2, const TPen& pen, const TBrush& brush);

// A raster with its top-left pixel at (x, y), honouring its transparency.
void PaintRaster(const TPixels& pixels, int x, int y, const TRasterImage& raster);
// A raster scaled into a rectangle (each target pixel takes the raster
// pixel its position falls on), honouring its transparency.
void PaintStretched(const TPixels& pixels, const QRect& target, const TRasterImage& raster);
