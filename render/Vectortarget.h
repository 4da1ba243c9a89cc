#pragma once
// The vector writer: a drawing target that keeps what is drawn on it as
// shapes and texts, and writes them as an SVG document (the PDF writer,
// render/Pdfwriter.h, writes them as a PDF page).
//
// Geometry is placed so that a renderer at 1:1 lights the pixels the raster
// surface paints: boxes lie on pixel edges, strokes run along pixel centres
// (for even pen widths along the pixel edge the pen's stamp is centred on)
// and end on the centre of the last pixel the raster paints, so the end pixel
// stays out; dashes are the raster's on-runs, counted in pixel steps as the
// raster counts them; filled ellipses are the ellipse inscribed in the box,
// whose pixel centres are the raster's shape. Component bodies arrive as
// pixel runs and are written as the rectangles they merge into. Texts stay
// texts, in their font's family and pixel size, on the baseline of the cell
// the raster puts them in.
//
// Coordinates are page pixels; the page is (0, 0, width, height).

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Parallel.h"
#include "render/Drawtarget.h"

class QIODevice;

class TVectorTarget final : public TDrawTarget {
public:
    TVectorTarget(int width, int height);
    ~TVectorTarget() override;
    TVectorTarget(TVectorTarget&&) noexcept;
    TVectorTarget& operator=(TVectorTarget&&) noexcept;

    int Width() const override { return width_; }
    int Height() const override { return height_; }

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const std::vector<QPoint>& points) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;
    void TextOut(int x, int y, const QByteArray& text) override;
    void TurnedTextOut(int x, int y, const QByteArray& text) override;
    void DrawRuns(const TRasterRuns& runs, int x, int y) override;
    // The bodies' runs are made into boxes on a thread of their own, a little
    // ahead of the paint, while the paint draws the texts.
    bool PreparesRuns() const override { return true; }
    void PrepareRuns(std::vector<const TRasterRuns*> runs) override;
    void EndPaint() override;

    // The SVG document: viewBox "0 0 width height", one element per run of
    // shapes of the same style, every text a <text> element.
    QByteArray Svg() const;
    // The same document written to device piece by piece: the pieces are
    // made a few at a time (on several threads for a page of many shapes),
    // each written and let go before the next few are made, so the whole
    // document is never in memory; false when a write fails.
    bool WriteSvg(QIODevice& device) const;

    // How many threads write the document of a page with many shapes: 0 (the
    // start value) for one per core. The document is the same whatever the number.
    static void SetWriteThreads(int threads);

    // Number of shapes and texts kept.
    std::size_t ShapeCount() const { return shapes_.size(); }

private:
    friend class TPdfWriter;

    // Hands the document's head, its elements in parts and its tail to
    // consume in order, each part as soon as it is made (which consume may
    // take and let go); false as soon as consume returns false.
    bool WriteSvgPieces(const std::function<bool(QByteArray&)>& consume) const;

    enum class TKind : std::uint8_t {
        Box,     // filled rectangle X1, Y1 .. X2, Y2
        Stroke,  // line from (X1, Y1) to (X2, Y2) of Width, square or round ends
        Disc,    // filled ellipse in the box X1, Y1 .. X2, Y2
        Ring,    // the band between the ellipse of the box and the one of the box shrunk by Width
        Text,    // texts_[Index]
    };
    // A shape in 24 bytes (a dense page has a million): coordinates in
    // hundredths of a pixel, as the documents write them (two decimals at
    // most); a text's X2 is its index in texts_.
    struct TShape {
        TShape(TKind kind, bool round, QRgb colour, int width, double x1, double y1, double x2, double y2,
               std::uint32_t index)
            : X1(Hundredths(x1)),
              Y1(Hundredths(y1)),
              X2(kind == TKind::Text ? std::int32_t(index) : Hundredths(x2)),
              Y2(Hundredths(y2)),
              Colour(colour),
              Width(std::uint16_t(std::clamp(width, 0, 65535))),
              Kind(kind),
              Round(round)
        {
        }
        // A box of whole pixels within the page.
        static TShape Box(QRgb colour, long long x1, long long y1, long long x2, long long y2)
        {
            TShape box(TKind::Box, false, colour, 0, 0, 0, 0, 0, 0);
            box.X1 = std::int32_t(x1 * 100);
            box.Y1 = std::int32_t(y1 * 100);
            box.X2 = std::int32_t(x2 * 100);
            box.Y2 = std::int32_t(y2 * 100);
            return box;
        }
        // A coordinate in hundredths, rounded half away from zero, within
        // +-20,000,000 pixels.
        static std::int32_t Hundredths(double value)
        {
            const double scaled = std::clamp(value, -2e7, 2e7) * 100.0;
            return std::int32_t(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
        }
        std::uint32_t Index() const { return std::uint32_t(X2); }
        std::int32_t X1, Y1, X2, Y2;
        QRgb Colour;
        std::uint16_t Width;  // pixels: a stroke's pen, a ring's band
        TKind Kind;
        bool Round;  // strokes: round ends and joins (pens of 4 pixels and more)
    };
    // What the page needs of a font texts were drawn in.
    struct TTextFont {
        int Ascent;
        std::string Attributes;  // the SVG text's font attributes, from the quote closing the one before them
    };
    struct TText {
        // The text's bytes: a short one's in the record (a page's many
        // pin labels then need no memory of their own), a longer one's in Long.
        static constexpr std::size_t shortBytes = 15;
        QByteArray Long;
        std::array<char, shortBytes> Short{};
        std::uint8_t ShortSize = 0;
        std::uint32_t Font;  // glyphFonts_[Font], fonts_[Font]
        int X, Y;            // the cell's top-left corner
        int Width;           // the text's width in its font
        bool Turned;
        // A view of the bytes, as long as the record is kept.
        QByteArray Text() const { return Long.isEmpty() ? QByteArray::fromRawData(Short.data(), ShortSize) : Long; }
    };

    // One pen stroke from a to b as the raster draws it (end pixel left
    // out, the dash pattern going on from dashPhase_).
    void StrokeSegment(QPoint a, QPoint b);
    void AddBox(long long x1, long long y1, long long x2, long long y2, QRgb colour);
    void AddStroke(double x1, double y1, double x2, double y2, int width, QRgb colour);
    // Whether a box (with a margin) can reach the page.
    bool Visible(double x1, double y1, double x2, double y2, double margin) const;
    // Whether two shapes go in one path element (texts never do).
    static bool SameStyle(const TShape& a, const TShape& b)
    {
        return a.Kind == b.Kind && a.Colour == b.Colour && a.Width == b.Width && a.Round == b.Round;
    }
    // Whether shapes_[i] begins a text or a run of shapes of one style.
    bool RunStartsAt(std::size_t i) const
    {
        return i == 0 || shapes_[i].Kind == TKind::Text || shapes_[i - 1].Kind == TKind::Text ||
               !SameStyle(shapes_[i - 1], shapes_[i]);
    }
    // Keeps a text in the current font.
    void AddText(int x, int y, const QByteArray& text, int width, bool turned);
    // The SVG elements of shapes_[first, last), which begins and ends with
    // whole runs of shapes of one style.
    void WriteShapes(std::size_t first, std::size_t last, QByteArray& out) const;

    int width_, height_;
    long long dashPhase_ = 0;
    // A list that grows by blocks of many items, without moving what it
    // holds (a dense page has hundreds of thousands of shapes). A block is
    // about two megabytes, on one huge page where the system offers them
    // (a fresh page costs the system a step for each 4 KiB first written).
    template <typename T>
    class TBlockList {
    public:
        void push_back(T&& item)
        {
            if (blocks_.empty() || blocks_.back().size() == blockSize) {
                blocks_.emplace_back();
                blocks_.back().reserve(blockSize);
            }
            blocks_.back().push_back(std::move(item));
            ++size_;
        }
        std::size_t size() const { return size_; }
        const T& operator[](std::size_t i) const { return blocks_[i / blockSize][i % blockSize]; }

    private:
        static constexpr std::size_t blockSize = (std::size_t(2) << 20) / sizeof(T);
        std::vector<std::vector<T, THugePageAllocator<T>>> blocks_;
        std::size_t size_ = 0;
    };

    // The boxes of the runs a paint told ahead of time.
    struct TAhead;
    std::unique_ptr<TAhead> ahead_;

    TBlockList<TShape> shapes_;
    TBlockList<TText> texts_;
    TGlyphFonts glyphFonts_;        // the fonts of the texts
    std::vector<TTextFont> fonts_;  // and what the page needs of each
};
