#pragma once
// The component symbol (record type 0x70): one part of one component placed
// on the drawing, with the descriptors of all its parts, the pins of the whole
// component and the 1-bit body pictures.
//
// Record layout (little-endian, offsets from the type byte):
//   head, 64 bytes: 1 designation (length byte + 10 chars), 12/14 anchor x/y,
//     17 package text (length byte + 10 chars), 28/30 picture area factors,
//     33 orientation (bits 0-1 rotation, bit 2 horizontal flip),
//     35/37 designation text x/y, 39/41 value text x/y, 43 partNumber (1-based),
//     44 partCount, 47 pinStyle, 49 pinCount, 53 value text (length byte + 10 chars);
//   ceil(partCount / 2) part blocks of 16 bytes, two 4-byte descriptors each
//     (0 pictureIndex, 2 widthUnits, 3 heightUnits);
//   pinCount pin records of 16 bytes (0 pinPart, 1 flags, 2 number (length
//     byte + 4 chars), 7 name (length byte + 6 chars), 14 side, 15 offsetUnits);
//   the picture area, factor1 * factor2 bytes rounded up to a multiple of 16.
//
// The object renders its turned and mirrored body with the pin lines once, at
// construction or, for the loader, in RenderBody, into bodyImage (a margin of symbolMargin pixels on every
// side); Draw adds the texts and pin labels in the fonts of the moment.
// bodyImage is kept compactly as the runs of its ink and made into a raster
// only when GetBodyImage asks for it; every pixel is the same either way.
//
// Broken records: the constructor reads only inside its record and the data.
// A text length beyond its field is cut to the field; a partCount of 0 or a
// partNumber outside 1..partCount shows the first descriptor (a 1 x 1 outline
// when there is none); a picture running past the picture area is drawn as
// far as the area holds, the rest stays background.

#include <QByteArray>
#include <QPoint>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/Surface.h"
#include "drawing/Quorvidobject.h"

class IBitmapSettings;

class Bitmap : public QuorvidObject {
public:
    // Constants of the component subsystem.
    static constexpr int symbolMargin = 40;
    static constexpr TColor inkColour = 0xFF0000;       // pure blue
    static constexpr TColor bodyBackground = 0xF0CAA6;  // also bodyImage's transparent colour
    static constexpr int circleRadius = 4;
    static constexpr int wedgeDepth = 4;
    static constexpr int wedgeWidth = 4;
    static constexpr int labelGap = 2;

    enum Side : int { sideLeft = 0, sideBottom = 1, sideRight = 2, sideTop = 3 };

    // One 16-byte pin record, copied from the file.
    struct Pin {
        std::array<std::uint8_t, 16> bytes{};

        int PinPart() const { return bytes[0]; }
        bool Circle() const { return bytes[1] & 0x01; }
        bool Wedge() const { return bytes[1] & 0x02; }
        bool Hidden() const { return bytes[1] & 0x04; }
        int ElectricalType() const { return bytes[1] >> 4; }
        QByteArray Number() const;  // up to 4 characters
        QByteArray Name() const;    // up to 6 bytes, marked characters keep bit 7
        // The same, viewing the record's bytes as long as the pin is kept
        // and unchanged (see OwnedBytes).
        QByteArray NumberView() const;
        QByteArray NameView() const;
        std::uint8_t SideByte() const { return bytes[14]; }
        int OffsetUnits() const { return bytes[15]; }
    };

    // Where the parts of a component record lie, from its 64-byte head.
    struct Layout {
        std::size_t PartBlocks;  // ceil(partCount / 2)
        std::size_t PinStart;    // offset of the first pin record
        std::size_t AreaStart;   // offset of the picture area
        std::uint64_t AreaSize;  // factor1 * factor2 rounded up to a multiple of 16
        std::uint64_t Length;    // the whole record
    };
    static Layout LayoutOf(const std::array<std::uint8_t, 64>& head);
    // Length of the component record at `start`, of which `available` bytes
    // are there (a head cut short counts as a head alone).
    static std::int64_t ComponentLength(const std::uint8_t* start, std::size_t available);

    // When the body raster is rendered: in the constructor, or later by
    // RenderBody (the loader renders the bodies of a whole drawing at once,
    // on all cores). Whether a body fits the raster budget is decided in the
    // constructor either way, so it follows the record order.
    enum class TBody { Rendered, Later };

    // Consumes one component record at pos and leaves pos on the byte after
    // it (never beyond end).
    Bitmap(const std::uint8_t*& pos, const std::uint8_t* end, TBody body = TBody::Rendered);
    ~Bitmap() override;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;
    TRect GetRect(bool& valid) override;
    bool IsClass(const QString& name) const override;

    // Designation, with ":A", ":B", ... for a component of several parts.
    QByteArray GetName() const;
    // The designation as the record holds it, without the part letter.
    QByteArray GetDesignation() const;
    QByteArray GetValue() const;
    QByteArray GetPackage() const;
    int GetRotation() const { return rotation; }
    bool GetHFlip() const { return hFlip; }
    bool GetVFlip() const { return vFlip; }
    TSurface& GetBodyImage();
    const TSurface& GetBodyImage() const;
    std::uint8_t GetStrange() const { return Strange; }
    int GetMargin() const { return symbolMargin; }

    // One FormatPinLine per pin, in pin order, appended to list. The texts
    // hold the record's bytes one character each (Latin-1): toLatin1() gives
    // the bytes back unchanged.
    void ListPins(QStringList& list) const;
    // "%c%d   %s    '%s'         %s": side letter of "LBRT" ("?" beyond),
    // offsetUnits, number, name (bytes unchanged), electrical type name (its
    // number for 7..15).
    static QByteArray FormatPinLine(const Pin& pin);
    static QByteArray ElectricalTypeName(int electricalType);

    const std::vector<Pin>& GetPins() const { return pins; }
    // The part blocks and the picture area as the record holds them.
    const std::vector<std::array<std::uint8_t, 16>>& GetPartBlocks() const { return partBlocks; }
    const std::vector<std::uint8_t>& GetPictureArea() const { return pictureArea; }
    int GetPinCount() const { return pinCount; }
    // Where the body's origin pixel lands on the page (unsigned 16-bit).
    QPoint GetAnchor() const;
    // The orientation byte: bits 0-1 the rotation code, bit 2 the horizontal
    // flip, as recorded (GetRotation and the flips are after normalisation).
    std::uint8_t GetOrientation() const { return head[33]; }
    int GetPartNumber() const { return head[43]; }
    int GetPartCount() const { return head[44]; }
    int GetPinStyle() const { return head[47]; }
    int GetImageLeft() const { return imageLeft; }
    int GetImageTop() const { return imageTop; }
    int GetBodyWidth() const { return bodyWidth; }
    int GetBodyHeight() const { return bodyHeight; }

    // The memory bound (bytes of RGB32 raster, 4 per pixel) of all body
    // rasters alive together. A component whose raster would exceed it is
    // simplified: it keeps its record, placement and queries (GetRect
    // unchanged) but has no raster (GetBodyImage is empty), and Draw puts only
    // its texts and its body outline on the page. The loader resets the count
    // of simplified components before a walk and tells the user afterwards.
    static constexpr std::uint64_t defaultRasterBudget = std::uint64_t(1) << 30;
    static std::uint64_t RasterBudget();
    static void SetRasterBudget(std::uint64_t bytes);
    static std::uint64_t RasterBytesInUse();
    static int SimplifiedCount();
    static void ResetSimplifiedCount();
    bool IsSimplified() const { return simplified; }
    // Renders a body left for later; nothing when it is rendered already.
    // Bodies of different objects may be rendered on different threads at
    // the same time; nothing else of the object may be used meanwhile.
    void RenderBody();
    // The runs of bodyImage, as the body is drawn, made again (remade set)
    // when its raster has changed.
    const TRasterRuns& BodyRuns(bool* remade = nullptr) const;
    // The size bodyImage has, or would have had had it not been simplified.
    int GetImageWidth() const { return bodyImageWidth; }
    int GetImageHeight() const { return bodyImageHeight; }
    const std::array<std::uint8_t, 64>& GetHead() const { return head; }

    // Image point of a body point, after margin, rotation and flips.
    QPoint TransformPoint(int x, int y) const;
    // The side (0 Left, 1 Bottom, 2 Right, 3 Top) a side of the unturned
    // body shows on the page.
    int ScreenSide(std::uint8_t side) const;
    // Image point where a pin meets the body.
    QPoint PinEdgePoint(const Pin& pin) const;
    // Pin length in pixels: 11 for pin styles 1..3, else 31.
    int PinLength() const;
    // Page point where a pin's line ends: its edge point moved outward by the
    // pin length (the line itself stops one pixel short of it).
    QPoint PinEnd(const Pin& pin) const;

private:
    // Bounded view of the record while the constructor runs.
    struct RecordView {
        const std::uint8_t* start = nullptr;
        std::size_t size = 0;  // readable bytes: the record, cut at the end of the data
        std::uint8_t At(std::size_t offset) const { return offset < size ? start[offset] : 0; }
    };

    void Place(const std::uint8_t* descriptor);
    // Renders the body on a raster of bodyImage's size and keeps it as runs.
    // Takes the raster's bytes from the budget; false (simplified) when they do not fit.
    bool ReserveRaster(int width, int height);
    // Reserves the body's raster and reads what the picture says of the
    // part (Strange); the pixels come from RenderBody.
    void PrepareBody(const std::uint8_t* descriptor);
    void RenderPin(TSurface& body, const Pin& pin) const;
    // The raster of bodyImage made from its runs, once.
    void MakeBodyImage() const;
    int BodyImageWidth() const;
    int BodyImageHeight() const;
    // Draw on a target without a raster: the body as shapes, the labels as texts.
    void DrawShapes(TDrawTarget& canvas, IBitmapSettings& settings);
    // Draw step by step: the copy of bodyImage with its labels.
    void DrawCopy(TSurface& canvas, IBitmapSettings& settings);
    // Draw from what the previous paints kept (PaintCache); false when the
    // label colours ask for the copy.
    bool DrawCached(TSurface& canvas, IBitmapSettings& settings);
    void DrawPinNumber(TSurface& copy, const Pin& pin, const TFont& font) const;
    void DrawPinName(TSurface& copy, const Pin& pin, const TFont& font) const;
    // Whether a pin carries a number / a name label, and where on the copy
    // the top-left corner of a label wl x hl goes.
    bool HasNumberLabel(const Pin& pin) const;
    bool HasNameLabel(const Pin& pin) const;
    QPoint NumberLabelAt(const Pin& pin, int wl, int hl) const;
    QPoint NameLabelAt(const Pin& pin, int wl, int hl) const;
    bool Turned(const Pin& pin) const;
    QPoint Outward(QPoint point, int side, int distance) const;

    std::array<std::uint8_t, 64> head{};
    std::vector<std::array<std::uint8_t, 16>> partBlocks;
    std::vector<const std::uint8_t*> partDescriptors;  // into partBlocks
    std::vector<Pin> pins;
    std::vector<std::uint8_t> pictureArea;
    // bodyImage is kept as the runs of its pixels that are not its transparent
    // colour (all that drawing it copies); its raster is made from them the
    // first time it is asked for (GetBodyImage). Until then bodyImage holds
    // the raster's drawing state and attributes but no pixels.
    mutable TSurface bodyImage;
    mutable bool bodyImageMade = false;
    int bodyImageWidth = 0, bodyImageHeight = 0;
    mutable TRasterRuns bodyRuns;
    // What the runs were taken with: the made raster's cacheKey, its
    // transparency and transparent colour.
    mutable qint64 bodyRunsKey = 0;
    mutable bool bodyRunsTransparent = true;
    mutable QRgb bodyRunsKeyColour = 0;
    int partIndex = 0;
    int imageLeft = 0, imageTop = 0;
    int bodyWidth = 1, bodyHeight = 1;
    int framedWidth = 1 + 2 * symbolMargin, framedHeight = 1 + 2 * symbolMargin;
    int rotation = 0;
    bool vFlip = false;
    bool hFlip = false;
    int pinCount = 0;
    std::uint8_t Strange = 0;
    bool simplified = false;
    bool bodyPending = false;       // within budget, not rendered yet
    int pictureIndex = 0;           // 1-based picture of the part shown, 0 for none
    std::uint64_t rasterBytes = 0;  // this object's share of RasterBytesInUse

    // What Draw keeps from one paint to the next: the pin labels placed for
    // the fonts last drawn with.
    struct PaintCache;
    std::unique_ptr<PaintCache> paintCache;
};

// What the loader tells the user when count components were simplified, e.g.
// "3 components were too large to draw in full and are shown as outlines."
QString SimplifiedComponentsMessage(int count);

// A pin name as shown: marked characters lose bit 7; a marked first half
// ("/" splits the name) is shown behind the other, or behind a leading "/".
QByteArray DisplayPinName(const QByteArray& text);
