#include "drawing/Bitmap.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <tuple>
#include <utility>

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
QByteArray FieldText(const std::uint8_t* field, int maxChars)
{
    const int length = std::min<int>(field[0], maxChars);
    QByteArray text;
    for (int i = 0; i < length && field[1 + i] != 0; ++i) text.append(char(field[1 + i]));
    return text;
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

// ---------------------------------------------------------------------------
// Construction

Bitmap::Bitmap(const std::uint8_t*& pos, const std::uint8_t* end)
{
    const std::size_t available = (pos != nullptr && end > pos) ? std::size_t(end - pos) : 0;
    std::copy_n(pos, std::min<std::size_t>(head.size(), available), head.begin());

    const std::size_t partCount = head[offPartCount];
    const std::size_t blocks = (partCount + 1) / 2;
    pinCount = head[offPinCount];
    const std::uint64_t areaSize =
        RoundUp16(std::uint64_t(ReadU16(&head[offFactor1])) * ReadU16(&head[offFactor2]));
    const std::size_t areaStart = head.size() + 16 * blocks + 16 * std::size_t(pinCount);
    const std::uint64_t length = areaStart + areaSize;
    const RecordView record{pos, std::size_t(std::min<std::uint64_t>(length, available))};

    // Part blocks; descriptor k is in block k / 2 at byte 4 * (k % 2).
    partBlocks.resize(blocks);
    for (std::size_t b = 0; b < blocks; ++b)
        for (std::size_t i = 0; i < 16; ++i) partBlocks[b][i] = record.At(head.size() + 16 * b + i);
    partDescriptors.resize(partCount);
    for (std::size_t k = 0; k < partCount; ++k) partDescriptors[k] = partBlocks[k / 2].data() + 4 * (k % 2);

    partIndex = int(head[offPartNumber]) - 1;

    pins.resize(std::size_t(pinCount));
    const std::size_t pinStart = head.size() + 16 * blocks;
    for (std::size_t p = 0; p < pins.size(); ++p)
        for (std::size_t i = 0; i < 16; ++i) pins[p].bytes[i] = record.At(pinStart + 16 * p + i);

    // The part shown: partNumber's descriptor, the first one for a number
    // outside 1..partCount, none (a 1 x 1 outline) without descriptors.
    const std::uint8_t* descriptor = nullptr;
    if (partIndex >= 0 && std::size_t(partIndex) < partCount)
        descriptor = partDescriptors[std::size_t(partIndex)];
    else if (partCount > 0)
        descriptor = partDescriptors[0];

    Place(descriptor);
    RenderBody(descriptor, record, areaStart, std::size_t(std::min<std::uint64_t>(areaSize, SIZE_MAX)));

    pos += record.size;
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

void Bitmap::AllocateBodyImage(int width, int height)
{
    // Bodies reach 2631 x 2631 pixels (255 units plus the margins), some
    // 27 MB each: a small file can ask for far more than the budget.
    imageWidth = width;
    imageHeight = height;
    const std::uint64_t bytes = 4 * std::uint64_t(width) * std::uint64_t(height);
    if (bytes > rasterBudget || rasterBytesInUse > rasterBudget - bytes) {
        simplified = true;
        ++simplifiedCount;
        return;
    }
    bodyImage.SetSize(width, height);
    rasterBytes = bytes;
    rasterBytesInUse += bytes;
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

void Bitmap::RenderBody(const std::uint8_t* descriptor, const RecordView& record, std::size_t areaStart,
                        std::size_t areaSize)
{
    const bool upright = rotation == 0 || rotation == 2;
    AllocateBodyImage(upright ? framedWidth : framedHeight, upright ? framedHeight : framedWidth);

    // Picture bytes that the area holds and the data has.
    const int pictureIndex = descriptor ? descriptor[0] : 0;
    const std::size_t inRecord = record.size > areaStart ? record.size - areaStart : 0;
    const std::size_t readable = std::min(areaSize, inRecord);
    const std::size_t picture = pictureIndex != 0 ? 16 * std::size_t(pictureIndex - 1) : 0;
    if (pictureIndex != 0) Strange = picture < readable ? record.At(areaStart + picture) : 0;
    if (simplified) return;  // drawn as its outline, straight onto the page

    bodyImage.Clear(bodyBackground);
    bodyImage.TransparentColour = bodyBackground;
    bodyImage.Transparent = true;

    if (pictureIndex != 0) {
        const std::size_t rowBytes = (std::size_t(bodyWidth) + 7) / 8;
        for (int y = 0; y < bodyHeight; ++y) {
            const std::size_t row = picture + 1 + rowBytes * std::size_t(y);
            if (row >= readable) break;
            for (int x = 0; x < bodyWidth; ++x) {
                const std::size_t at = row + std::size_t(x) / 8;
                if (at >= readable) break;
                if (!(record.At(areaStart + at) & (0x80 >> (x % 8)))) continue;  // background is already there
                const QPoint p = TransformPoint(x, y);
                bodyImage.SetPixel(p.x(), p.y(), inkColour);
            }
        }
    } else {
        const int m = symbolMargin;
        bodyImage.Pen = TPen{inkColour, psSolid, 1, pmCopy};
        bodyImage.Brush.Style = bsClear;
        bodyImage.Rectangle(m, m, bodyImage.Width() - m, bodyImage.Height() - m);
    }

    bodyImage.Pen = TPen{inkColour, psSolid, 1, pmCopy};
    bodyImage.Brush.Style = bsClear;
    for (const Pin& pin : pins) RenderPin(pin);
}

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

void Bitmap::RenderPin(const Pin& pin)
{
    if (pin.Hidden()) return;
    const QPoint e = PinEdgePoint(pin);
    const int s = ScreenSide(pin.SideByte());
    const bool horizontal = s == sideLeft || s == sideRight;
    const int r = circleRadius;

    const QPoint a = pin.Circle() ? Outward(e, s, 2 * r) : e;
    bodyImage.Polyline({a, Outward(e, s, PinLength())});

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
        bodyImage.Ellipse(x1, y1, x2, y2);
    }

    if (pin.Wedge()) {
        const int half = wedgeWidth / 2;
        const QPoint across = horizontal ? QPoint(0, half) : QPoint(half, 0);
        bodyImage.Polyline({e - across, Outward(e, s, -wedgeDepth), e + across});
    }
}

// ---------------------------------------------------------------------------
// Queries

TRect Bitmap::GetRect(bool& valid)
{
    valid = true;
    return TRect{imageLeft + symbolMargin, imageTop + symbolMargin, imageLeft + imageWidth - symbolMargin,
                 imageTop + imageHeight - symbolMargin};
}

bool Bitmap::IsClass(const QString& name) const { return name == QLatin1String("Bitmap"); }

QByteArray Bitmap::GetName() const
{
    QByteArray name = FieldText(&head[offDesignation], textChars);
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

void Bitmap::Draw(TSurface& canvas)
{
    IBitmapSettings* settings = ObjectSettings().Bitmap;
    if (settings == nullptr || !settings->MasterVisible()) return;

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

    if (simplified) {
        // No raster: the body's outline, drawn without changing the pen and
        // brush that the next object finds.
        const TPen pen = canvas.Pen;
        const TBrush brush = canvas.Brush;
        canvas.Pen = TPen{inkColour, psSolid, 1, pmCopy};
        canvas.Brush.Style = bsClear;
        const int m = symbolMargin;
        canvas.Rectangle(imageLeft + m, imageTop + m, imageLeft + imageWidth - m, imageTop + imageHeight - m);
        canvas.Pen = pen;
        canvas.Brush = brush;
        return;
    }

    TSurface copy = bodyImage;
    if (settings->PinNumVisible()) {
        const TFont font = settings->PinNumFont();
        for (const Pin& pin : pins)
            if (pin.PinPart() == head[offPartNumber]) DrawPinNumber(copy, pin, font);
    }
    if (settings->PinStrVisible() && head[offPinStyle] < 5) {
        const TFont font = settings->PinStrFont();
        for (const Pin& pin : pins) DrawPinName(copy, pin, font);
    }

    canvas.Draw(imageLeft, imageTop, copy);
}

void Bitmap::DrawPinNumber(TSurface& copy, const Pin& pin, const TFont& font) const
{
    if (pin.Hidden() || pin.bytes[2] == 0) return;
    const int s = ScreenSide(pin.SideByte());
    QPoint q = PinEdgePoint(pin);
    if (pin.Circle()) q = Outward(q, s, 2 * circleRadius);
    q = Outward(q, s, labelGap);

    const TSurface label = RenderLabel(pin.Number(), font, Turned(pin));
    const int wl = label.Width(), hl = label.Height();
    switch (s) {
    case sideLeft: copy.Draw(q.x() - wl, q.y(), label); break;
    case sideRight: copy.Draw(q.x(), q.y(), label); break;
    case sideBottom: copy.Draw(q.x() - wl - 2, q.y() + 2, label); break;
    default: copy.Draw(q.x() - wl - 2, q.y() - hl + 2, label); break;
    }
}

void Bitmap::DrawPinName(TSurface& copy, const Pin& pin, const TFont& font) const
{
    if (pin.Hidden() || pin.bytes[7] == 0) return;
    const int s = ScreenSide(pin.SideByte());
    const TSurface label = RenderLabel(DisplayPinName(pin.Name()), font, Turned(pin));
    QPoint q = PinEdgePoint(pin);
    if (pin.Wedge()) q = Outward(q, s, -wedgeDepth);
    q = Outward(q, s, -labelGap);

    const int wl = label.Width(), hl = label.Height();
    switch (s) {
    case sideLeft: copy.Draw(q.x(), q.y() - hl / 2, label); break;
    case sideRight: copy.Draw(q.x() - wl, q.y() - hl / 2, label); break;
    case sideBottom: copy.Draw(q.x() - wl / 2, q.y() - hl, label); break;
    default: copy.Draw(q.x() - wl / 2, q.y(), label); break;
    }
}

// ---------------------------------------------------------------------------
// Labels

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

QByteArray DisplayPinName(const QByteArray& text)
{
    QByteArray first, second;
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
