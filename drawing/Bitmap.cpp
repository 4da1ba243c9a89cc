#include "drawing/Bitmap.h"

#include <QHash>
#include <QRect>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <tuple>
#include <utility>
#include <vector>

#include "base/Recenttexts.h"
#include "drawing/Objectsettings.h"

namespace {

// Electrical type names, by the pin's electricalType; one table for all components.
constexpr const char* electricalTypeNames[] = {"IN", "OUT", "I/O", "HiZ", "OC", "Pwr", "Passive"};

// Field widths of the length-prefixed texts.
constexpr int textChars = 10;
constexpr int pinNumberChars = 4;
constexpr int pinNameChars = 6;

// Head offsets.
constexpr int offDesignation = 1;
constexpr int offAnchorX = 12;
constexpr int offAnchorY = 14;
constexpr int offPackage = 17;
constexpr int offFactor1 = 28;
constexpr int offFactor2 = 30;
constexpr int offOrientation = 33;
constexpr int offDesignationX = 35;
constexpr int offDesignationY = 37;
constexpr int offValueX = 39;
constexpr int offValueY = 41;
constexpr int offPartNumber = 43;
constexpr int offPartCount = 44;
constexpr int offPinStyle = 47;
constexpr int offPinCount = 49;
constexpr int offValue = 53;

// The characters of a length-prefixed text field holding at most maxChars
// characters: a longer length is cut to the field, a zero byte ends the text.
int FieldLength(const std::uint8_t* field, int maxChars)
{
    const int length = std::min<int>(field[0], maxChars);
    int used = 0;
    while (used < length && field[1 + used] != 0) ++used;
    return used;
}

QByteArray FieldText(const std::uint8_t* field, int maxChars)
{
    return QByteArray(reinterpret_cast<const char*>(field + 1), FieldLength(field, maxChars));
}

QByteArray FieldView(const std::uint8_t* field, int maxChars)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(field + 1), FieldLength(field, maxChars));
}

std::uint64_t RoundUp16(std::uint64_t n) { return (n + 15) / 16 * 16; }

// The memory bound of all body rasters together.
std::uint64_t rasterBudget = Bitmap::defaultRasterBudget;
std::uint64_t rasterBytesInUse = 0;
int simplifiedCount = 0;

}  // namespace

// ---------------------------------------------------------------------------
// Pins

QByteArray Bitmap::Pin::Number() const { return FieldText(bytes.data() + 2, pinNumberChars); }
QByteArray Bitmap::Pin::Name() const { return FieldText(bytes.data() + 7, pinNameChars); }
QByteArray Bitmap::Pin::NumberView() const { return FieldView(bytes.data() + 2, pinNumberChars); }
QByteArray Bitmap::Pin::NameView() const { return FieldView(bytes.data() + 7, pinNameChars); }

// ---------------------------------------------------------------------------
// Construction

Bitmap::Bitmap(const std::uint8_t*& pos, const std::uint8_t* end, TBody body)
{
    const std::size_t available = (pos != nullptr && end > pos) ? std::size_t(end - pos) : 0;
    std::copy_n(pos, std::min<std::size_t>(head.size(), available), head.begin());

    const std::size_t partCount = head[offPartCount];
    pinCount = head[offPinCount];
    const Layout layout = LayoutOf(head);
    const std::size_t blocks = layout.PartBlocks;
    const RecordView record{pos, std::size_t(std::min<std::uint64_t>(layout.Length, available))};

    // Part blocks; descriptor k is in block k / 2 at byte 4 * (k % 2).
    partBlocks.resize(blocks);
    for (std::size_t b = 0; b < blocks; ++b)
        for (std::size_t i = 0; i < 16; ++i) partBlocks[b][i] = record.At(head.size() + 16 * b + i);
    partDescriptors.resize(partCount);
    for (std::size_t k = 0; k < partCount; ++k) partDescriptors[k] = partBlocks[k / 2].data() + 4 * (k % 2);

    partIndex = int(head[offPartNumber]) - 1;

    pins.resize(std::size_t(pinCount));
    const std::size_t pinStart = layout.PinStart;
    for (std::size_t p = 0; p < pins.size(); ++p)
        for (std::size_t i = 0; i < 16; ++i) pins[p].bytes[i] = record.At(pinStart + 16 * p + i);

    if (record.size > layout.AreaStart) pictureArea.assign(pos + layout.AreaStart, pos + record.size);

    // The part shown: partNumber's descriptor, the first one for a number
    // outside 1..partCount, none (a 1 x 1 outline) without descriptors.
    const std::uint8_t* descriptor = nullptr;
    if (partIndex >= 0 && std::size_t(partIndex) < partCount)
        descriptor = partDescriptors[std::size_t(partIndex)];
    else if (partCount > 0)
        descriptor = partDescriptors[0];

    Place(descriptor);
    PrepareBody(descriptor);
    if (body == TBody::Rendered) RenderBody();

    pos += record.size;
}

Bitmap::Layout Bitmap::LayoutOf(const std::array<std::uint8_t, 64>& head)
{
    Layout layout{};
    layout.PartBlocks = (std::size_t(head[offPartCount]) + 1) / 2;
    layout.PinStart = head.size() + 16 * layout.PartBlocks;
    layout.AreaStart = layout.PinStart + 16 * std::size_t(head[offPinCount]);
    layout.AreaSize = RoundUp16(std::uint64_t(ReadU16(&head[offFactor1])) * ReadU16(&head[offFactor2]));
    layout.Length = layout.AreaStart + layout.AreaSize;
    return layout;
}

std::int64_t Bitmap::ComponentLength(const std::uint8_t* start, std::size_t available)
{
    if (available < 64) return 64;
    std::array<std::uint8_t, 64> head;
    std::copy_n(start, head.size(), head.begin());
    return std::int64_t(LayoutOf(head).Length);
}

Bitmap::~Bitmap() { rasterBytesInUse -= rasterBytes; }

void Bitmap::Place(const std::uint8_t* descriptor)
{
    bodyWidth = 10 * (descriptor ? descriptor[2] : 0) + 1;
    bodyHeight = 10 * (descriptor ? descriptor[3] : 0) + 1;
    framedWidth = bodyWidth + 2 * symbolMargin;
    framedHeight = bodyHeight + 2 * symbolMargin;

    imageLeft = int(ReadU16(&head[offAnchorX])) - symbolMargin;
    imageTop = int(ReadU16(&head[offAnchorY])) - symbolMargin;

    const std::uint8_t orientation = head[offOrientation];
    vFlip = false;
    hFlip = (orientation & 0x04) != 0;
    rotation = orientation & 0x03;

    if (hFlip) {
        switch (rotation) {
        case 0: imageLeft += 1 - bodyWidth; break;
        case 1: imageLeft += 1 - bodyHeight; break;
        case 2:
            // A mirrored half turn is the same picture as a top-bottom mirror.
            rotation = 0;
            hFlip = false;
            vFlip = true;
            imageTop += 1 - bodyHeight;
            break;
        case 3: imageLeft += bodyHeight - 1; break;
        }
    }
    switch (rotation) {
    case 1: imageTop += 1 - bodyWidth; break;
    case 2:
        imageLeft += 1 - bodyWidth;
        imageTop += 1 - bodyHeight;
        break;
    case 3: imageLeft += 1 - bodyHeight; break;
    default: break;
    }
}

namespace {

// The raster a body is rendered on before it is kept as runs: one buffer for
// every component rendered on a thread, grown to the largest body (very large
// ones get a buffer of their own), so rendering writes memory that is already
// at hand.
class BodyCanvas {
public:
    BodyCanvas(int width, int height)
    {
        thread_local std::vector<QRgb> shared;
        constexpr std::size_t keptPixels = std::size_t(1) << 21;  // 8 MB
        const std::size_t pixels = std::size_t(width) * std::size_t(height);
        std::vector<QRgb>& buffer = pixels <= keptPixels ? shared : own_;
        if (buffer.size() < pixels) buffer.assign(pixels, 0);
        Surface.Image() = QImage(reinterpret_cast<uchar*>(buffer.data()), width, height,
                                 qsizetype(width) * qsizetype(sizeof(QRgb)), QImage::Format_RGB32);
    }
    TSurface Surface;  // a fresh drawing state on the buffer

private:
    std::vector<QRgb> own_;
};

}  // namespace

bool Bitmap::ReserveRaster(int width, int height)
{
    // Bodies reach 2631 x 2631 pixels (255 units plus the margins), some
    // 27 MB each: a small file can ask for far more than the budget.
    bodyImageWidth = width;
    bodyImageHeight = height;
    const std::uint64_t bytes = 4 * std::uint64_t(width) * std::uint64_t(height);
    if (bytes > rasterBudget || rasterBytesInUse > rasterBudget - bytes) {
        simplified = true;
        ++simplifiedCount;
        return false;
    }
    rasterBytes = bytes;
    rasterBytesInUse += bytes;
    return true;
}

std::uint64_t Bitmap::RasterBudget() { return rasterBudget; }
void Bitmap::SetRasterBudget(std::uint64_t bytes) { rasterBudget = bytes; }
std::uint64_t Bitmap::RasterBytesInUse() { return rasterBytesInUse; }
int Bitmap::SimplifiedCount() { return simplifiedCount; }
void Bitmap::ResetSimplifiedCount() { simplifiedCount = 0; }

QString SimplifiedComponentsMessage(int count)
{
    if (count == 1) return QStringLiteral("1 component was too large to draw in full and is shown as an outline.");
    return QStringLiteral("%1 components were too large to draw in full and are shown as outlines.").arg(count);
}

void Bitmap::PrepareBody(const std::uint8_t* descriptor)
{
    const bool upright = rotation == 0 || rotation == 2;
    const bool withinBudget = ReserveRaster(upright ? framedWidth : framedHeight, upright ? framedHeight : framedWidth);

    // pictureArea holds the bytes of the area that the data has.
    pictureIndex = descriptor ? descriptor[0] : 0;
    const std::size_t picture = pictureIndex != 0 ? 16 * std::size_t(pictureIndex - 1) : 0;
    if (pictureIndex != 0) Strange = picture < pictureArea.size() ? pictureArea[picture] : 0;
    bodyPending = withinBudget;  // otherwise drawn as its outline, straight onto the page
}

void Bitmap::RenderBody()
{
    if (!bodyPending) return;
    bodyPending = false;
    const std::size_t readable = pictureArea.size();
    const std::size_t picture = pictureIndex != 0 ? 16 * std::size_t(pictureIndex - 1) : 0;

    BodyCanvas canvas(bodyImageWidth, bodyImageHeight);
    TSurface& body = canvas.Surface;
    body.Clear(bodyBackground);
    body.TransparentColour = bodyBackground;
    body.Transparent = true;

    if (pictureIndex != 0) {
        const std::size_t rowBytes = (std::size_t(bodyWidth) + 7) / 8;
        QImage& image = body.Image();  // RGB32, as the surface keeps it
        const QRgb ink = ColourToRgb(inkColour);
        uchar* const pixels = image.isNull() ? nullptr : image.bits();
        const qsizetype stride = image.bytesPerLine();
        const int width = image.width(), height = image.height();
        // The turn and flips move a picture pixel by whole steps: the place
        // of (x, y) is that of (0, 0) and x steps across, y steps down.
        const QPoint origin = TransformPoint(0, 0);
        const QPoint across = TransformPoint(1, 0) - origin, down = TransformPoint(0, 1) - origin;
        const std::uint8_t* const area = pictureArea.data();
        for (int y = 0; y < bodyHeight; ++y) {
            const std::size_t row = picture + 1 + rowBytes * std::size_t(y);
            if (row >= readable) break;
            const std::size_t bytes = std::min(rowBytes, readable - row);
            const QPoint rowOrigin = origin + y * down;
            for (std::size_t b = 0; b < bytes; ++b) {
                // The set bits of a byte, the leftmost pixel first; a byte of
                // background is passed over whole (it is already there).
                for (unsigned bits = area[row + b]; bits != 0;) {
                    const int bit = std::bit_width(bits) - 1;  // 7: the byte's leftmost pixel
                    bits &= ~(1u << bit);
                    const int x = int(8 * b) + 7 - bit;
                    if (x >= bodyWidth) break;
                    const QPoint p = rowOrigin + x * across;
                    if (p.x() >= 0 && p.y() >= 0 && p.x() < width && p.y() < height)
                        reinterpret_cast<QRgb*>(pixels + p.y() * stride)[p.x()] = ink;
                }
            }
        }
    } else {
        const int m = symbolMargin;
        body.Pen = TPen{inkColour, psSolid, 1, pmCopy};
        body.Brush.Style = bsClear;
        body.Rectangle(m, m, body.Width() - m, body.Height() - m);
    }

    body.Pen = TPen{inkColour, psSolid, 1, pmCopy};
    body.Brush.Style = bsClear;
    for (const Pin& pin : pins) RenderPin(body, pin);

    // Kept as runs; bodyImage takes the drawing state, not the pixels.
    bodyRuns = TRasterRuns(body);
    bodyRunsTransparent = body.Transparent;
    bodyRunsKeyColour = ColourToRgb(body.TransparentColour);
    bodyImage = body;
    bodyImage.Image() = QImage();
}

void Bitmap::MakeBodyImage() const
{
    if (bodyImageMade || simplified) return;  // a simplified component has no raster
    bodyImageMade = true;
    bodyImage.SetSize(bodyImageWidth, bodyImageHeight);
    bodyImage.Clear(bodyBackground);
    bodyImage.DrawRuns(bodyRuns, 0, 0);
    bodyRunsKey = bodyImage.Image().cacheKey();
}

TSurface& Bitmap::GetBodyImage()
{
    MakeBodyImage();
    return bodyImage;
}

const TSurface& Bitmap::GetBodyImage() const
{
    MakeBodyImage();
    return bodyImage;
}

int Bitmap::BodyImageWidth() const { return bodyImageMade ? bodyImage.Width() : bodyImageWidth; }
int Bitmap::BodyImageHeight() const { return bodyImageMade ? bodyImage.Height() : bodyImageHeight; }

// ---------------------------------------------------------------------------
// Geometry

QPoint Bitmap::TransformPoint(int x, int y) const
{
    const bool upright = rotation == 0 || rotation == 2;
    const int w = upright ? framedWidth : framedHeight;
    const int h = upright ? framedHeight : framedWidth;
    x += symbolMargin;
    y += symbolMargin;
    switch (rotation) {
    case 1: std::tie(x, y) = std::pair(y, h - 1 - x); break;
    case 2: std::tie(x, y) = std::pair(w - 1 - x, h - 1 - y); break;
    case 3: std::tie(x, y) = std::pair(w - 1 - y, x); break;
    default: break;
    }
    if (hFlip) x = w - 1 - x;
    if (vFlip) y = h - 1 - y;
    return QPoint(x, y);
}

int Bitmap::ScreenSide(std::uint8_t side) const
{
    int s = int(std::int8_t(side)) + rotation;
    while (s < 0) s += 4;
    s %= 4;
    const bool horizontal = s == sideLeft || s == sideRight;
    if ((horizontal && hFlip) || (!horizontal && vFlip)) s ^= 2;
    return s;
}

QPoint Bitmap::PinEdgePoint(const Pin& pin) const
{
    const int o = 10 * pin.OffsetUnits();
    switch (pin.SideByte()) {
    case sideLeft: return TransformPoint(0, o);
    case sideBottom: return TransformPoint(o, bodyHeight - 1);
    case sideRight: return TransformPoint(bodyWidth - 1, o);
    case sideTop: return TransformPoint(o, 0);
    default: return TransformPoint(-1, -1);
    }
}

int Bitmap::PinLength() const
{
    const int style = head[offPinStyle];
    return (style >= 1 && style <= 3) ? 11 : 31;
}

QPoint Bitmap::PinEnd(const Pin& pin) const
{
    return Outward(PinEdgePoint(pin), ScreenSide(pin.SideByte()), PinLength()) + QPoint(imageLeft, imageTop);
}

QPoint Bitmap::Outward(QPoint point, int side, int distance) const
{
    switch (side) {
    case sideLeft: return point + QPoint(-distance, 0);
    case sideBottom: return point + QPoint(0, distance);
    case sideRight: return point + QPoint(distance, 0);
    default: return point + QPoint(0, -distance);
    }
}

bool Bitmap::Turned(const Pin& pin) const { return ((pin.SideByte() ^ rotation) & 1) == 1; }

void Bitmap::RenderPin(TSurface& body, const Pin& pin) const
{
    if (pin.Hidden()) return;
    const QPoint e = PinEdgePoint(pin);
    const int s = ScreenSide(pin.SideByte());
    const bool horizontal = s == sideLeft || s == sideRight;
    const int r = circleRadius;

    const QPoint a = pin.Circle() ? Outward(e, s, 2 * r) : e;
    body.Polyline({a, Outward(e, s, PinLength())});

    if (pin.Circle()) {
        const QPoint c = Outward(e, s, 2 * r);
        int x1 = std::min(e.x(), c.x()), x2 = std::max(e.x(), c.x());
        int y1 = std::min(e.y(), c.y()), y2 = std::max(e.y(), c.y());
        if (horizontal) {
            y1 -= r;
            y2 += r;
        } else {
            x1 -= r;
            x2 += r;
        }
        body.Ellipse(x1, y1, x2, y2);
    }

    if (pin.Wedge()) {
        const int half = wedgeWidth / 2;
        const QPoint across = horizontal ? QPoint(0, half) : QPoint(half, 0);
        body.Polyline({e - across, Outward(e, s, -wedgeDepth), e + across});
    }
}

// ---------------------------------------------------------------------------
// Queries

TRect Bitmap::GetRect(bool& valid)
{
    valid = true;
    return TRect{imageLeft + symbolMargin, imageTop + symbolMargin, imageLeft + BodyImageWidth() - symbolMargin,
                 imageTop + BodyImageHeight() - symbolMargin};
}

bool Bitmap::IsClass(const QString& name) const { return name == QLatin1String("Bitmap"); }

QByteArray Bitmap::GetDesignation() const { return FieldText(&head[offDesignation], textChars); }

QPoint Bitmap::GetAnchor() const { return {ReadU16(&head[offAnchorX]), ReadU16(&head[offAnchorY])}; }

QByteArray Bitmap::GetName() const
{
    QByteArray name = GetDesignation();
    if (head[offPartCount] > 1) {
        name.append(':');
        name.append(char(('A' + partIndex) & 0xFF));
    }
    return name;
}

QByteArray Bitmap::GetValue() const { return FieldText(&head[offValue], textChars); }
QByteArray Bitmap::GetPackage() const { return FieldText(&head[offPackage], textChars); }

QByteArray Bitmap::ElectricalTypeName(int electricalType)
{
    if (electricalType >= 0 && electricalType < int(std::size(electricalTypeNames)))
        return electricalTypeNames[electricalType];
    return QByteArray::number(electricalType);
}

QByteArray Bitmap::FormatPinLine(const Pin& pin)
{
    const std::uint8_t side = pin.SideByte();
    QByteArray line;
    line.append(side <= 3 ? "LBRT"[side] : '?');
    line.append(QByteArray::number(pin.OffsetUnits()));
    line.append("   ");
    line.append(pin.Number());
    line.append("    '");
    line.append(pin.Name());
    line.append("'         ");
    line.append(ElectricalTypeName(pin.ElectricalType()));
    return line;
}

void Bitmap::ListPins(QStringList& list) const
{
    for (const Pin& pin : pins) list.append(QString::fromLatin1(FormatPinLine(pin)));
}

// ---------------------------------------------------------------------------
// Drawing

namespace {

// A pin label as the runs of its glyph pixels (drawn in the font's colour),
// with the label's size.
using LabelRuns = std::shared_ptr<const TRasterRuns>;

// Labels by the font's glyph attributes, turn and text; they keep from one
// paint to the next. The cache is bounded: when it is full it starts afresh
// (components keep the labels they hold).
LabelRuns CachedLabel(const QByteArray& text, const TFont& font, bool turned)
{
    // The labels of each font, upright and turned, with the last ones found
    // in front: a component's numbers and names take turns between two
    // fonts, and a sheet's numbers and names are few.
    struct FontLabels {
        QHash<QByteArray, LabelRuns> Labels;
        TRecentTexts<LabelRuns, 256> Recent;
    };
    static TGlyphFonts fonts;
    static std::vector<std::array<FontLabels, 2>> labelsOf;  // by font, then turned
    static qsizetype count = 0;                              // labels kept, in all fonts
    auto [index, added] = fonts.Add(font);
    if (added && fonts.size() > 64) {
        fonts.clear();
        labelsOf.clear();
        count = 0;
        index = fonts.Add(font).first;
    }
    if (added) labelsOf.emplace_back();
    FontLabels& labels = labelsOf[index][turned ? 1 : 0];
    if (const LabelRuns* found = labels.Recent.Find(text)) return *found;
    const auto it = labels.Labels.constFind(text);
    if (it != labels.Labels.constEnd()) {
        labels.Recent.Keep(text, *it);
        return *it;
    }
    if (count >= 4096) {
        for (auto& both : labelsOf)
            for (FontLabels& kept : both) kept = FontLabels();
        count = 0;
    }
    TFont black = font;
    black.Colour = clBlack;  // any colour but the label's white shows the glyph pixels
    LabelRuns label = std::make_shared<const TRasterRuns>(RenderLabel(text, black, turned));
    labels.Labels.insert(text, label);
    labels.Recent.Keep(text, label);
    ++count;
    return label;
}

struct PlacedLabel {
    LabelRuns Label;
    QPoint At;  // top-left corner on the copy of bodyImage
};

}  // namespace

struct Bitmap::PaintCache {
    // Pin numbers and names, placed for the glyphs of a font.
    bool HasNumbers = false, HasNames = false;
    TFont NumberFont, NameFont;
    std::vector<PlacedLabel> Numbers, Names;
    // The body's runs with the labels filled over them, row by row (one
    // pass over the page), and which labels in which colours they hold.
    bool HasLayered = false;
    TRasterRuns Layered;
    bool LayeredNumbers = false, LayeredNames = false;
    QRgb LayeredNumberInk = 0, LayeredNameInk = 0;
    // The labels the last paint filled over the body: the next paint with
    // the same ones makes the layered runs.
    bool LayeredNext = false;
    bool NextNumbers = false, NextNames = false;
    QRgb NextNumberInk = 0, NextNameInk = 0;
};

void Bitmap::Draw(TDrawTarget& canvas, const TDrawContext& context)
{
    IBitmapSettings* settings = context.Settings ? context.Settings->Bitmap : nullptr;
    if (settings == nullptr || !settings->MasterVisible()) return;
    RenderBody();  // a body left for later that nobody rendered yet

    // The texts go first, so body ink covers them where they overlap.
    if (settings->DesigVisible() && head[offDesignation] != 0) {
        canvas.Font = settings->DesigFont();
        canvas.Brush.Style = bsClear;
        canvas.TextOut(ReadU16(&head[offDesignationX]), ReadU16(&head[offDesignationY]), GetName());
    }
    if (settings->ValueVisible() && head[offPackage] != 0) {
        canvas.Font = settings->ValueFont();
        canvas.Brush.Style = bsClear;
        canvas.TextOut(ReadU16(&head[offValueX]), ReadU16(&head[offValueY]), GetPackage());
    }

    // Pin labels are few and drawn through their own cache.
    if (canvas.TextsOnly()) return;

    if (simplified) {
        // No raster: the body's outline, drawn without changing the drawing
        // state that the next object finds.
        const TDrawStateSaver saved(canvas);
        canvas.Pen = TPen{inkColour, psSolid, 1, pmCopy};
        canvas.Brush.Style = bsClear;
        const int m = symbolMargin;
        canvas.Rectangle(imageLeft + m, imageTop + m, imageLeft + bodyImageWidth - m, imageTop + bodyImageHeight - m);
        return;
    }

    TSurface* raster = canvas.Raster();
    if (raster == nullptr) {
        DrawShapes(canvas, *settings);
        return;
    }
    if (canvas.UsesCaches() && DrawCached(*raster, *settings)) return;
    DrawCopy(*raster, *settings);
}

const TRasterRuns& Bitmap::BodyRuns(bool* remade) const
{
    if (bodyImageMade) {
        // Whoever asked for the raster may have drawn on it or changed its
        // transparency: the runs follow it.
        const qint64 key = bodyImage.Image().cacheKey();
        const QRgb bodyKey = ColourToRgb(bodyImage.TransparentColour);
        if (key != bodyRunsKey || bodyRunsTransparent != bodyImage.Transparent || bodyRunsKeyColour != bodyKey) {
            bodyRuns = TRasterRuns(bodyImage);
            bodyRunsKey = key;
            bodyRunsTransparent = bodyImage.Transparent;
            bodyRunsKeyColour = bodyKey;
            if (remade) *remade = true;
        }
    }
    return bodyRuns;
}

void Bitmap::DrawShapes(TDrawTarget& canvas, IBitmapSettings& settings)
{
    // The body's pixels as shapes, then the pin labels as texts where the
    // copy of the body puts them; the drawing state stays as the copy leaves it.
    canvas.DrawRuns(BodyRuns(), imageLeft, imageTop);
    const TDrawStateSaver saved(canvas);
    const auto label = [&](const QByteArray& text, const TFont& font, bool turned, QPoint at) {
        if ((ColourToRgb(font.Colour) & 0xFFFFFF) == 0xFFFFFF)
            return;  // white glyphs are the label's transparent colour
        canvas.Font = font;
        canvas.Brush.Style = bsClear;
        if (turned)
            canvas.TurnedTextOut(imageLeft + at.x(), imageTop + at.y(), text);
        else
            canvas.TextOut(imageLeft + at.x(), imageTop + at.y(), text);
    };
    const auto size = [](const QByteArray& text, const TFont& font, bool turned) {
        const int wt = std::max(0, FontTextWidth(font, text)), ht = std::max(0, FontTextHeight(font));
        return turned ? QSize(ht, wt) : QSize(wt, ht);
    };
    if (settings.PinNumVisible()) {
        const TFont font = settings.PinNumFont();
        for (const Pin& pin : pins) {
            if (pin.PinPart() != head[offPartNumber] || !HasNumberLabel(pin)) continue;
            const QByteArray number = pin.NumberView();  // (the targets keep copies of what they keep)
            const QSize s = size(number, font, Turned(pin));
            label(number, font, Turned(pin), NumberLabelAt(pin, s.width(), s.height()));
        }
    }
    if (settings.PinStrVisible() && head[offPinStyle] < 5) {
        const TFont font = settings.PinStrFont();
        for (const Pin& pin : pins) {
            if (!HasNameLabel(pin)) continue;
            const QByteArray text = DisplayPinName(pin.NameView());
            const QSize s = size(text, font, Turned(pin));
            label(text, font, Turned(pin), NameLabelAt(pin, s.width(), s.height()));
        }
    }
}

void Bitmap::DrawCopy(TSurface& canvas, IBitmapSettings& settings)
{
    TSurface copy = GetBodyImage();
    if (settings.PinNumVisible()) {
        const TFont font = settings.PinNumFont();
        for (const Pin& pin : pins)
            if (pin.PinPart() == head[offPartNumber]) DrawPinNumber(copy, pin, font);
    }
    if (settings.PinStrVisible() && head[offPinStyle] < 5) {
        const TFont font = settings.PinStrFont();
        for (const Pin& pin : pins) DrawPinName(copy, pin, font);
    }
    canvas.Draw(imageLeft, imageTop, copy);
}

// The copy of bodyImage with its labels, drawn transparently, is the body's
// own pixels with the labels' glyph pixels over them (a label's white is
// transparent), all within the copy's box. That holds unless a label's glyph
// colour is the body's transparent colour: those glyph pixels would let the
// page show through the body, so such a paint goes through the copy.
bool Bitmap::DrawCached(TSurface& canvas, IBitmapSettings& settings)
{
    constexpr QRgb labelWhite = 0xFFFFFFFF;
    const bool numbers = settings.PinNumVisible();
    const bool names = settings.PinStrVisible() && head[offPinStyle] < 5;
    const TFont numberFont = numbers ? settings.PinNumFont() : TFont();
    const TFont nameFont = names ? settings.PinStrFont() : TFont();
    const QRgb numberInk = ColourToRgb(numberFont.Colour);
    const QRgb nameInk = ColourToRgb(nameFont.Colour);
    const QRgb bodyKey = ColourToRgb(bodyImage.TransparentColour);
    if (bodyImage.Transparent && ((numbers && numberInk == bodyKey) || (names && nameInk == bodyKey))) return false;

    if (!paintCache) paintCache = std::make_unique<PaintCache>();
    PaintCache& cache = *paintCache;
    bool remade = false;
    BodyRuns(&remade);
    if (remade) {
        cache.HasLayered = false;
        cache.LayeredNext = false;
    }

    // The labels are filled over the body within the body's box.
    const bool drawNumbers = numbers && numberInk != labelWhite;
    const bool drawNames = names && nameInk != labelWhite;
    if (drawNumbers && (!cache.HasNumbers || !cache.NumberFont.SameGlyphs(numberFont))) {
        cache.Numbers.clear();
        for (const Pin& pin : pins) {
            if (pin.PinPart() != head[offPartNumber] || !HasNumberLabel(pin)) continue;
            LabelRuns label = CachedLabel(pin.Number(), numberFont, Turned(pin));
            const QPoint at = NumberLabelAt(pin, label->Width(), label->Height());
            cache.Numbers.push_back({std::move(label), at});
        }
        cache.NumberFont = numberFont;
        cache.HasNumbers = true;
        cache.HasLayered = false;
        cache.LayeredNext = false;
    }
    if (drawNames && (!cache.HasNames || !cache.NameFont.SameGlyphs(nameFont))) {
        cache.Names.clear();
        for (const Pin& pin : pins) {
            if (!HasNameLabel(pin)) continue;
            LabelRuns label = CachedLabel(DisplayPinName(pin.Name()), nameFont, Turned(pin));
            const QPoint at = NameLabelAt(pin, label->Width(), label->Height());
            cache.Names.push_back({std::move(label), at});
        }
        cache.NameFont = nameFont;
        cache.HasNames = true;
        cache.HasLayered = false;
        cache.LayeredNext = false;
    }
    if (!drawNumbers && !drawNames) {
        cache.HasLayered = false;
        cache.Layered = TRasterRuns();
        canvas.DrawRuns(bodyRuns, imageLeft, imageTop);
        return true;
    }
    if (!cache.HasLayered || cache.LayeredNumbers != drawNumbers || cache.LayeredNames != drawNames ||
        cache.LayeredNumberInk != numberInk || cache.LayeredNameInk != nameInk) {
        const bool again = cache.LayeredNext && cache.NextNumbers == drawNumbers && cache.NextNames == drawNames &&
                           cache.NextNumberInk == numberInk && cache.NextNameInk == nameInk;
        if (!again) {
            // The first paint with these labels fills them over the body; the
            // next one makes them one set of runs (a load's single paint, or a
            // settings change's, need not wait for it).
            cache.HasLayered = false;
            cache.Layered = TRasterRuns();
            cache.LayeredNext = true;
            cache.NextNumbers = drawNumbers;
            cache.NextNames = drawNames;
            cache.NextNumberInk = numberInk;
            cache.NextNameInk = nameInk;
            canvas.DrawRuns(bodyRuns, imageLeft, imageTop);
            const QRect copyBox(imageLeft, imageTop, BodyImageWidth(), BodyImageHeight());
            if (drawNumbers)
                for (const PlacedLabel& placed : cache.Numbers)
                    canvas.FillRuns(*placed.Label, imageLeft + placed.At.x(), imageTop + placed.At.y(), numberInk,
                                    copyBox);
            if (drawNames)
                for (const PlacedLabel& placed : cache.Names)
                    canvas.FillRuns(*placed.Label, imageLeft + placed.At.x(), imageTop + placed.At.y(), nameInk,
                                    copyBox);
            return true;
        }
        cache.LayeredNext = false;
        std::vector<TRasterRuns::Layer> layers;
        if (drawNumbers)
            for (const PlacedLabel& placed : cache.Numbers)
                layers.push_back({placed.Label.get(), placed.At.x(), placed.At.y(), numberInk});
        if (drawNames)
            for (const PlacedLabel& placed : cache.Names)
                layers.push_back({placed.Label.get(), placed.At.x(), placed.At.y(), nameInk});
        cache.Layered = bodyRuns.Layered(layers);
        cache.HasLayered = true;
        cache.LayeredNumbers = drawNumbers;
        cache.LayeredNames = drawNames;
        cache.LayeredNumberInk = numberInk;
        cache.LayeredNameInk = nameInk;
    }
    canvas.DrawRuns(cache.Layered, imageLeft, imageTop);
    return true;
}

bool Bitmap::HasNumberLabel(const Pin& pin) const { return !pin.Hidden() && pin.bytes[2] != 0; }
bool Bitmap::HasNameLabel(const Pin& pin) const { return !pin.Hidden() && pin.bytes[7] != 0; }

QPoint Bitmap::NumberLabelAt(const Pin& pin, int wl, int hl) const
{
    const int s = ScreenSide(pin.SideByte());
    QPoint q = PinEdgePoint(pin);
    if (pin.Circle()) q = Outward(q, s, 2 * circleRadius);
    q = Outward(q, s, labelGap);
    switch (s) {
    case sideLeft: return QPoint(q.x() - wl, q.y());
    case sideRight: return q;
    case sideBottom: return QPoint(q.x() - wl - 2, q.y() + 2);
    default: return QPoint(q.x() - wl - 2, q.y() - hl + 2);
    }
}

QPoint Bitmap::NameLabelAt(const Pin& pin, int wl, int hl) const
{
    const int s = ScreenSide(pin.SideByte());
    QPoint q = PinEdgePoint(pin);
    if (pin.Wedge()) q = Outward(q, s, -wedgeDepth);
    q = Outward(q, s, -labelGap);
    switch (s) {
    case sideLeft: return QPoint(q.x(), q.y() - hl / 2);
    case sideRight: return QPoint(q.x() - wl, q.y() - hl / 2);
    case sideBottom: return QPoint(q.x() - wl / 2, q.y() - hl);
    default: return QPoint(q.x() - wl / 2, q.y());
    }
}

void Bitmap::DrawPinNumber(TSurface& copy, const Pin& pin, const TFont& font) const
{
    if (!HasNumberLabel(pin)) return;
    const TSurface label = RenderLabel(pin.Number(), font, Turned(pin));
    const QPoint at = NumberLabelAt(pin, label.Width(), label.Height());
    copy.Draw(at.x(), at.y(), label);
}

void Bitmap::DrawPinName(TSurface& copy, const Pin& pin, const TFont& font) const
{
    if (!HasNameLabel(pin)) return;
    const TSurface label = RenderLabel(DisplayPinName(pin.Name()), font, Turned(pin));
    const QPoint at = NameLabelAt(pin, label.Width(), label.Height());
    copy.Draw(at.x(), at.y(), label);
}

// ---------------------------------------------------------------------------
// Labels

QByteArray DisplayPinName(const QByteArray& text)
{
    // Nearly every name has no mark and no slash: it shows as it is.
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '/' || (c & 0x80) != 0; })) return text;
    QByteArray first, second;
    first.reserve(text.size());
    QByteArray* current = &first;
    bool firstMarked = false, slash = false;  // a marked second half changes nothing
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '/') {
            current = &second;
            slash = true;
            continue;
        }
        if (c & 0x80) {
            c &= 0x7F;
            if (current == &first) firstMarked = true;
        }
        current->append(char(c));
    }
    if (!slash) return firstMarked ? "/" + first : first;
    return firstMarked ? second + "/" + first : first + "/" + second;
}
