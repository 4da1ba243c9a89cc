#include "render/Vectortarget.h"

#include <QFont>
#include <QHash>
#include <QIODevice>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "base/Ownedbytes.h"
#include "base/Parallel.h"
#include "render/Glyphcache.h"
#include "render/Rasterops.h"
#include "render/Rasterruns.h"

namespace {

// How many threads write the document (see SetWriteThreads), and whether a
// paint's bodies are made into boxes on a thread of their own (more than one).
std::atomic<int> writeThreads{0};

// Where a pen of this width centres its stamp, from the top-left corner of
// the pixel it stands on: the pixel's centre for odd widths, its bottom-right
// corner for even ones.
double StampCentre(int width) { return (width % 2 == 1) ? 0.5 : 1.0; }

// The most bytes WriteNumber writes.
constexpr std::size_t maxNumberBytes = 32;

// A number as SVG text: whole numbers bare, others with at most two
// decimals. Writes at most maxNumberBytes bytes at `out` and returns the end.
char* WriteNumber(char* out, double value)
{
    if (value >= -1e9 && value <= 1e9) {
        // Whole numbers and halves, nearly all the numbers of a page (a
        // stroke runs along pixel centres), one way: no branch on which.
        const double twice = value * 2.0;
        const auto halves = static_cast<long long>(twice);
        if (double(halves) == twice) {
            const bool half = (halves & 1) != 0;
            if (halves < 0 && half && halves / 2 == 0) *out++ = '-';  // -0.5
            out = std::to_chars(out, out + maxNumberBytes - 3, halves / 2).ptr;
            out[0] = '.';  // (room for it either way)
            out[1] = '5';
            return out + (half ? 2 : 0);
        }
    }
    const double rounded = std::round(value * 100.0) / 100.0;
    const double twice = rounded * 2.0;
    if (std::fabs(rounded) < 1e15 && twice == std::floor(twice)) {
        // Whole numbers and halves, nearly all of them: integer digits.
        const long long halves = static_cast<long long>(twice);
        if (halves < 0 && halves % 2 != 0 && halves / 2 == 0) *out++ = '-';  // -0.5
        out = std::to_chars(out, out + maxNumberBytes - 3, halves / 2).ptr;
        if (halves % 2 != 0) {
            *out++ = '.';
            *out++ = '5';
        }
        return out;
    }
    if (!(std::fabs(rounded) < 1e15))  // beyond any page: the shortest form
        return std::to_chars(out, out + maxNumberBytes, std::isfinite(rounded) ? rounded : 0.0).ptr;
    char* end = std::to_chars(out, out + maxNumberBytes, rounded, std::chars_format::fixed, 2).ptr;
    while (end > out && end[-1] == '0') --end;
    if (end > out && end[-1] == '.') --end;
    return end;
}

// A coordinate kept in hundredths of a pixel as SVG text, as WriteNumber
// writes the same value: whole numbers bare, else one or two decimals.
char* WriteHundredths(char* out, std::int64_t hundredths)
{
    if (hundredths < 0) {
        *out++ = '-';
        hundredths = -hundredths;
    }
    out = std::to_chars(out, out + 20, hundredths / 100).ptr;
    const int fraction = int(hundredths % 100);
    if (fraction != 0) {
        *out++ = '.';
        *out++ = char('0' + fraction / 10);
        if (fraction % 10 != 0) *out++ = char('0' + fraction % 10);
    }
    return out;
}

void AppendNumber(std::string& out, double value)
{
    char buffer[maxNumberBytes];
    out.append(buffer, std::size_t(WriteNumber(buffer, value) - buffer));
}

char* WriteColour(char* out, QRgb rgb)
{
    static constexpr char digits[] = "0123456789abcdef";
    const char text[7] = {'#',
                          digits[qRed(rgb) >> 4],
                          digits[qRed(rgb) & 15],
                          digits[qGreen(rgb) >> 4],
                          digits[qGreen(rgb) & 15],
                          digits[qBlue(rgb) >> 4],
                          digits[qBlue(rgb) & 15]};
    std::memcpy(out, text, sizeof text);
    return out + sizeof text;
}

// Whether a character is shown: not the control characters, which show
// nothing, nor what XML cannot hold (U+FFFE, U+FFFF and halves of surrogate
// pairs on their own, which a font name from the settings file may carry).
bool Shown(char32_t c)
{
    return c >= 0x20 && !(c >= 0x7F && c < 0xA0) && !(c >= 0xD800 && c < 0xE000) && c != 0xFFFE && c != 0xFFFF;
}

// The characters of a text one by one, surrogate pairs as one character,
// halves on their own as themselves.
template <typename F>
void ForEachCharacter(const QString& text, F&& f)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            f(char32_t(c.unicode()));
        }
    }
}

// The most bytes WriteXmlCharacter writes ("&quot;").
constexpr std::size_t maxXmlCharacterBytes = 6;

// One shown character as XML character data in UTF-8, markup characters
// escaped: at most maxXmlCharacterBytes bytes at `out`; returns the end.
char* WriteXmlCharacter(char* out, char32_t c)
{
    const auto put = [&](const char* text, std::size_t length) {
        std::memcpy(out, text, length);
        return out + length;
    };
    switch (c) {
    case '&': return put("&amp;", 5);
    case '<': return put("&lt;", 4);
    case '>': return put("&gt;", 4);
    case '"': return put("&quot;", 6);
    }
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

// A text as XML character data.
void AppendXmlText(std::string& out, const QString& text)
{
    ForEachCharacter(text, [&](char32_t c) {
        char buffer[maxXmlCharacterBytes];
        if (Shown(c)) out.append(buffer, std::size_t(WriteXmlCharacter(buffer, c) - buffer));
    });
}

// The same for a text of single-byte (Latin-1) characters, without going
// through a QString: at most maxXmlCharacterBytes bytes for each.
char* WriteLatin1Text(char* out, const QByteArray& text)
{
    for (const char ch : text) {
        const auto c = char32_t(static_cast<unsigned char>(ch));
        if (Shown(c)) out = WriteXmlCharacter(out, c);
    }
    return out;
}

// The font of a text as Qt draws it.
QFont PageFont(const TFont& font) { return font.ToQFont(); }

}  // namespace

TVectorTarget::TVectorTarget(int width, int height) : width_(std::max(0, width)), height_(std::max(0, height)) {}

bool TVectorTarget::Visible(double x1, double y1, double x2, double y2, double margin) const
{
    return std::max(x1, x2) + margin >= 0 && std::max(y1, y2) + margin >= 0 && std::min(x1, x2) - margin <= width_ &&
           std::min(y1, y2) - margin <= height_;
}

void TVectorTarget::AddBox(long long x1, long long y1, long long x2, long long y2, QRgb colour)
{
    if (x1 >= x2 || y1 >= y2 || !Visible(double(x1), double(y1), double(x2), double(y2), 0)) return;
    shapes_.push_back({TKind::Box, false, colour, 0, double(x1), double(y1), double(x2), double(y2), 0});
}

void TVectorTarget::AddStroke(double x1, double y1, double x2, double y2, int width, QRgb colour)
{
    if (!Visible(x1, y1, x2, y2, width)) return;
    const double c = StampCentre(width);
    if (x1 == x2 && y1 == y2) {
        // One stamp: a square up to three pixels wide, a disc from four on.
        const double half = width / 2.0;
        const TKind kind = width <= 3 ? TKind::Box : TKind::Disc;
        shapes_.push_back({kind, false, colour, 0, x1 + c - half, y1 + c - half, x1 + c + half, y1 + c + half, 0});
        return;
    }
    shapes_.push_back({TKind::Stroke, width >= 4, colour, width, x1 + c, y1 + c, x2 + c, y2 + c, 0});
}

void TVectorTarget::MoveTo(int x, int y)
{
    PenPos = QPoint(x, y);
    dashPhase_ = 0;
}

void TVectorTarget::LineTo(int x, int y)
{
    StrokeSegment(PenPos, QPoint(x, y));
    PenPos = QPoint(x, y);
}

void TVectorTarget::Polyline(const std::vector<QPoint>& points)
{
    dashPhase_ = 0;
    for (std::size_t k = 1; k < points.size(); ++k) StrokeSegment(points[k - 1], points[k]);
}

void TVectorTarget::StrokeSegment(QPoint a, QPoint b)
{
    const long long x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
    const long long steps = std::max(std::llabs(x1 - x0), std::llabs(y1 - y0));
    if (Pen.Style == psClear || steps == 0) return;
    const int width = PenWidth(Pen);
    const QRgb colour = ColourToRgb(Pen.Colour);
    const std::vector<int>& pattern = width == 1 ? DashPattern(Pen.Style) : DashPattern(psSolid);
    const long long phase = dashPhase_;
    dashPhase_ = (phase + steps) % 960000;  // a multiple of every pattern period

    // Step k (0 .. steps - 1) on the straight line.
    const auto at = [&](long long k, double& x, double& y) {
        x = double(x0) + double(x1 - x0) * double(k) / double(steps);
        y = double(y0) + double(y1 - y0) * double(k) / double(steps);
    };
    double sx, sy, ex, ey;
    if (pattern.empty()) {
        at(0, sx, sy);
        at(steps - 1, ex, ey);
        AddStroke(sx, sy, ex, ey, width, colour);
        return;
    }
    long long period = 0;
    for (int run : pattern) period += run;
    // Walk the on-runs of the pattern from the phase on.
    long long position = phase % period;
    std::size_t run = 0;
    while (position >= pattern[run]) position -= pattern[run++];
    long long k = 0;
    long long left = pattern[run] - position;  // steps left in the current run
    while (k < steps) {
        const long long length = std::min(left, steps - k);
        if (run % 2 == 0) {
            at(k, sx, sy);
            at(k + length - 1, ex, ey);
            AddStroke(sx, sy, ex, ey, 1, colour);
        }
        k += length;
        left -= length;
        if (left == 0) {
            run = (run + 1) % pattern.size();
            left = pattern[run];
        }
    }
}

void TVectorTarget::Rectangle(int x1, int y1, int x2, int y2)
{
    const long long left = std::min(x1, x2), top = std::min(y1, y2), right = std::max(x1, x2),
                    bottom = std::max(y1, y2);
    if (left >= right || top >= bottom) return;
    const bool outline = Pen.Style != psClear;
    if (Brush.Style != bsClear) {
        const QRgb fill = ColourToRgb(Brush.Colour);
        if (outline)
            AddBox(left + 1, top + 1, right - 1, bottom - 1, fill);
        else
            AddBox(left, top, right, bottom, fill);
    }
    if (!outline) return;
    const int width = PenWidth(Pen);
    const QRgb colour = ColourToRgb(Pen.Colour);
    if (width > 1 && Pen.Style == psInsideFrame) {
        const long long w = std::min<long long>(width, std::max(right - left, bottom - top));
        AddBox(left, top, right, std::min(bottom, top + w), colour);
        AddBox(left, std::max(top, bottom - w), right, bottom, colour);
        AddBox(left, top, std::min(right, left + w), bottom, colour);
        AddBox(std::max(left, right - w), top, right, bottom, colour);
        return;
    }
    const int l = int(left), t = int(top), r = int(right - 1), b = int(bottom - 1);
    if (l == r && t == b) {
        AddStroke(l, t, l, t, width, colour);
        if (width > 1) AddBox(l, t, l + 1, t + 1, colour);
        return;
    }
    dashPhase_ = 0;
    StrokeSegment(QPoint(l, t), QPoint(r, t));
    StrokeSegment(QPoint(r, t), QPoint(r, b));
    StrokeSegment(QPoint(r, b), QPoint(l, b));
    StrokeSegment(QPoint(l, b), QPoint(l, t));
}

void TVectorTarget::Ellipse(int x1, int y1, int x2, int y2)
{
    const long long left = std::min(x1, x2), top = std::min(y1, y2), right = std::max(x1, x2),
                    bottom = std::max(y1, y2);
    if (left >= right || top >= bottom) return;
    if (right - left > maxEllipseSide || bottom - top > maxEllipseSide) return;
    if (!Visible(double(left), double(top), double(right), double(bottom), 0)) return;
    const bool outline = Pen.Style != psClear;
    const bool fill = Brush.Style != bsClear;
    const int width = PenWidth(Pen);
    if (!outline) {
        if (fill)
            shapes_.push_back({TKind::Disc, false, ColourToRgb(Brush.Colour), 0, double(left), double(top),
                               double(right), double(bottom), 0});
        return;
    }
    // The interior in the brush, then the outline as the band between the
    // shape and the shape of the box shrunk by the pen width.
    if (fill && right - left > 2 * width && bottom - top > 2 * width)
        shapes_.push_back({TKind::Disc, false, ColourToRgb(Brush.Colour), 0, double(left + width), double(top + width),
                           double(right - width), double(bottom - width), 0});
    shapes_.push_back({TKind::Ring, false, ColourToRgb(Pen.Colour), width, double(left), double(top), double(right),
                       double(bottom), 0});
}

void TVectorTarget::FillRect(int x1, int y1, int x2, int y2)
{
    if (Brush.Style == bsClear) return;
    AddBox(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), ColourToRgb(Brush.Colour));
}

void TVectorTarget::TextOut(int x, int y, const QByteArray& text)
{
    if (text.isEmpty()) return;
    const int width = FontTextWidth(Font, text);
    const long long right = static_cast<long long>(x) + width;
    const long long bottom = static_cast<long long>(y) + FontTextHeight(Font);
    if (Brush.Style != bsClear) AddBox(x, y, right, bottom, ColourToRgb(Brush.Colour));
    if (!Visible(x, y, double(right), double(bottom), 0)) return;
    AddText(x, y, text, width, false);
}

void TVectorTarget::TurnedTextOut(int x, int y, const QByteArray& text)
{
    if (text.isEmpty()) return;
    AddText(x, y, text, FontTextWidth(Font, text), true);
}

void TVectorTarget::AddText(int x, int y, const QByteArray& text, int width, bool turned)
{
    // A page's texts come in a handful of fonts: each is worked out once.
    const auto [font, added] = glyphFonts_.Add(Font);
    if (added) {
        std::string attributes = "\" font-family=\"";
        AppendXmlText(attributes, Font.Face);
        const QString family = FontFamily(Font);
        if (family.compare(Font.Face, Qt::CaseInsensitive) != 0) {
            attributes += ", ";
            AppendXmlText(attributes, family);
        }
        attributes += "\" font-size=\"";
        AppendNumber(attributes, PageFont(Font).pixelSize());
        attributes += "px\"";
        if (Font.Bold) attributes += " font-weight=\"bold\"";
        if (Font.Italic) attributes += " font-style=\"italic\"";
        if (Font.Underline || Font.StrikeOut) {
            attributes += " text-decoration=\"";
            attributes += Font.Underline && Font.StrikeOut ? "underline line-through"
                          : Font.Underline                 ? "underline"
                                                           : "line-through";
            attributes += '"';
        }
        fonts_.push_back({FontAscent(Font), std::move(attributes)});
    }
    shapes_.push_back(
        {TKind::Text, false, ColourToRgb(Font.Colour), 0, double(x), double(y), 0, 0, std::uint32_t(texts_.size())});
    TText kept;
    if (std::size_t(text.size()) <= TText::shortBytes) {
        std::copy(text.begin(), text.end(), kept.Short.begin());
        kept.ShortSize = std::uint8_t(text.size());
    } else {
        kept.Long = OwnedBytes(text);
        kept.ShortSize = 0;
    }
    kept.Font = font, kept.X = x, kept.Y = y, kept.Width = width, kept.Turned = turned;
    texts_.push_back(std::move(kept));
}

// Each body's boxes, made by whichever comes to it first: the helper, which
// goes through them in order, at most a window ahead of the paint, or the
// paint, which then waits for none.
struct TVectorTarget::TAhead {
    static constexpr std::size_t window = 256;
    enum : int { Free, Making, Made, Taken };
    struct TSlot {
        const TRasterRuns* Runs = nullptr;
        std::atomic<int> State{Free};
        std::vector<TRunBox> Boxes;
    };
    std::unique_ptr<TSlot[]> Slots;
    std::size_t Count = 0;
    QHash<const TRasterRuns*, std::size_t> SlotOf;  // the first slot of each runs
    std::atomic<std::size_t> Reached{0};            // slots before it the paint is past
    std::atomic<bool> Stop{false};
    std::thread Helper;

    // Makes slot k's boxes unless another has begun them.
    void Make(std::size_t k)
    {
        int expected = Free;
        if (!Slots[k].State.compare_exchange_strong(expected, Making, std::memory_order_acquire)) return;
        try {
            Slots[k].Boxes = Slots[k].Runs->Boxes();
        } catch (...) {
            // (No memory for them: free again, for the paint to try itself.)
            Slots[k].State.store(Free, std::memory_order_release);
            Slots[k].State.notify_all();
            throw;
        }
        Slots[k].State.store(Made, std::memory_order_release);
        Slots[k].State.notify_all();
    }
    void Help()
    {
        for (std::size_t k = 0; k < Count && !Stop.load(std::memory_order_relaxed); ++k) {
            for (std::size_t reached = Reached.load(); k >= reached + window; reached = Reached.load()) {
                if (Stop.load()) return;
                Reached.wait(reached);
            }
            try {
                Make(k);
            } catch (const std::bad_alloc&) {
                return;  // the paint makes the rest
            }
        }
    }
    ~TAhead()
    {
        Stop.store(true);
        Reached.fetch_add(1);
        Reached.notify_all();
        if (Helper.joinable()) Helper.join();
    }
};

TVectorTarget::~TVectorTarget() = default;
TVectorTarget::TVectorTarget(TVectorTarget&&) noexcept = default;
TVectorTarget& TVectorTarget::operator=(TVectorTarget&&) noexcept = default;

void TVectorTarget::PrepareRuns(std::vector<const TRasterRuns*> runs)
{
    // (A paint within a paint goes with the outer one.)
    if (ahead_ || runs.size() < 64 || ThreadsFor(writeThreads) < 2) return;
    auto ahead = std::make_unique<TAhead>();
    ahead->Count = runs.size();
    ahead->Slots = std::make_unique<TAhead::TSlot[]>(runs.size());
    ahead->SlotOf.reserve(qsizetype(runs.size()));
    for (std::size_t k = 0; k < runs.size(); ++k) {
        ahead->Slots[k].Runs = runs[k];
        if (!ahead->SlotOf.contains(runs[k])) ahead->SlotOf.insert(runs[k], k);
    }
    try {
        TAhead* a = ahead.get();
        ahead->Helper = std::thread([a] { a->Help(); });
    } catch (const std::system_error&) {
        return;  // the paint makes every body's boxes itself
    }
    ahead_ = std::move(ahead);
}

void TVectorTarget::EndPaint() { ahead_.reset(); }

void TVectorTarget::DrawRuns(const TRasterRuns& runs, int x, int y)
{
    // Runs of one colour that stand under each other at the same columns make
    // one rectangle; boxes keep the order of their first rows.
    std::vector<TRunBox> boxes;
    bool made = false;
    if (ahead_) {
        TAhead& a = *ahead_;
        const auto found = a.SlotOf.constFind(&runs);
        if (found != a.SlotOf.constEnd()) {
            const std::size_t k = *found;
            TAhead::TSlot& slot = a.Slots[k];
            a.Make(k);
            for (int state = slot.State.load(std::memory_order_acquire); state == TAhead::Making;
                 state = slot.State.load(std::memory_order_acquire))
                slot.State.wait(state);
            if (slot.State.load(std::memory_order_acquire) == TAhead::Made) {
                boxes = std::move(slot.Boxes);
                slot.State.store(TAhead::Taken);
                made = true;
            }
            // (The helper waits a window ahead: woken every few bodies, not
            // at each, which would cost a call to the system every time.)
            if (k + 1 > a.Reached.load()) {
                a.Reached.store(k + 1);
                if ((k + 1) % 32 == 0) a.Reached.notify_all();
            }
        }
    }
    if (!made) boxes = runs.Boxes();
    // A body within the page (nearly every one) needs no look at each box.
    const long long left = x, top = y, right = left + runs.Width(), bottom = top + runs.Height();
    if (left >= 0 && top >= 0 && right <= width_ && bottom <= height_) {
        for (const TRunBox& box : boxes)
            shapes_.push_back(
                TShape::Box(box.Colour, left + box.X, top + box.Top, left + box.X + box.Length, top + box.Bottom));
    } else {
        for (const TRunBox& box : boxes)
            AddBox(left + box.X, top + box.Top, left + box.X + box.Length, top + box.Bottom, box.Colour);
    }
}

// ---------------------------------------------------------------------------
// SVG

namespace {

// Text written into a byte array that grows by the room asked for ahead, so
// the pieces of a shape go in without a check each.
class TSvgWriter {
public:
    TSvgWriter(QByteArray& out, std::size_t expected) : out_(out)
    {
        out_.resize(qsizetype(expected));
        pos_ = out_.data();
        end_ = pos_ + out_.size();
    }
    ~TSvgWriter() { out_.resize(pos_ - out_.data()); }
    TSvgWriter(const TSvgWriter&) = delete;
    TSvgWriter& operator=(const TSvgWriter&) = delete;

    // Makes room for n more bytes.
    void Room(std::size_t n)
    {
        if (std::size_t(end_ - pos_) >= n) return;
        const qsizetype used = pos_ - out_.data();
        out_.resize(std::max<qsizetype>(2 * out_.size(), used + qsizetype(n)));
        pos_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    template <std::size_t N>
    void Put(const char (&text)[N])
    {
        std::memcpy(pos_, text, N - 1);
        pos_ += N - 1;
    }
    void Put(char c) { *pos_++ = c; }
    void Put(const std::string& text)
    {
        std::memcpy(pos_, text.data(), text.size());
        pos_ += text.size();
    }
    void Number(double value) { pos_ = WriteNumber(pos_, value); }
    // Two numbers with a space between (a point, a radius pair).
    void Pair(double a, double b)
    {
        Number(a);
        Put(' ');
        Number(b);
    }
    // Coordinates in hundredths of a pixel.
    void Fixed(std::int64_t hundredths) { pos_ = WriteHundredths(pos_, hundredths); }
    void FixedPair(std::int64_t a, std::int64_t b)
    {
        Fixed(a);
        Put(' ');
        Fixed(b);
    }
    void Colour(QRgb rgb) { pos_ = WriteColour(pos_, rgb); }
    void Latin1Text(const QByteArray& text) { pos_ = WriteLatin1Text(pos_, text); }

private:
    QByteArray& out_;
    char* pos_;
    char* end_;
};

// Shapes in one part of the document (about half a megabyte of it).
constexpr std::size_t shapesPerPart = 16384;

// Room enough for one shape's path data, or for a path element's start and end.
constexpr std::size_t shapeRoom = 24 * maxNumberBytes;
// Room for a text element, apart from its font attributes and its characters.
constexpr std::size_t textRoom = 8 * maxNumberBytes + 128;

// An ellipse in the box as a path: two half arcs.
void WriteEllipse(TSvgWriter& d, double x1, double y1, double x2, double y2)
{
    const double rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
    d.Put('M');
    d.Pair(x1, y1 + ry);
    for (int half = 0; half < 2; ++half) {
        d.Put('a');
        d.Pair(rx, ry);
        d.Put(" 0 1 0 ");
        d.Number(half == 0 ? 2 * rx : -2 * rx);
        d.Put(" 0");
    }
    d.Put('z');
}

}  // namespace

void TVectorTarget::SetWriteThreads(int threads) { writeThreads = std::max(threads, 0); }

void TVectorTarget::WriteShapes(std::size_t first, std::size_t last, QByteArray& text) const
{
    TSvgWriter out(text, (last - first) * 40 + 4096);
    std::size_t i = first;
    while (i < last) {
        const TShape& head = shapes_[i];
        if (head.Kind == TKind::Text) {
            const TText& t = texts_[head.Index()];
            const TTextFont& font = fonts_[t.Font];
            out.Room(textRoom + font.Attributes.size() + maxXmlCharacterBytes * std::size_t(t.Text().size()));
            out.Put("<text");
            if (t.Turned) {
                // The turned cell is text height wide and text width high;
                // the text runs up from its bottom-left corner.
                out.Put(" transform=\"translate(");
                out.Pair(t.X, double(t.Y) + t.Width);
                out.Put(") rotate(-90)\" x=\"0\" y=\"");
                out.Number(font.Ascent);
            } else {
                out.Put(" x=\"");
                out.Number(t.X);
                out.Put("\" y=\"");
                out.Number(double(t.Y) + font.Ascent);
            }
            out.Put(font.Attributes);
            out.Put(" fill=\"");
            out.Colour(head.Colour);
            out.Put("\" xml:space=\"preserve\">");
            out.Latin1Text(t.Text());
            out.Put("</text>\n");
            ++i;
            continue;
        }
        // A run of shapes of the same style: one path.
        out.Room(shapeRoom);
        out.Put("<path");
        if (head.Kind == TKind::Stroke) {
            out.Put(" fill=\"none\" stroke=\"");
            out.Colour(head.Colour);
            out.Put("\" stroke-width=\"");
            out.Number(head.Width);
            if (head.Round)
                out.Put("\" stroke-linecap=\"round\" stroke-linejoin=\"round\"");
            else
                out.Put("\" stroke-linecap=\"square\"");
        } else {
            out.Put(" fill=\"");
            out.Colour(head.Colour);
            out.Put('"');
            if (head.Kind == TKind::Ring) out.Put(" fill-rule=\"evenodd\"");
        }
        out.Put(" d=\"");
        for (; i < last && SameStyle(shapes_[i], head); ++i) {
            const TShape& s = shapes_[i];
            out.Room(shapeRoom);
            switch (s.Kind) {
            case TKind::Box:
                out.Put('M');
                out.FixedPair(s.X1, s.Y1);
                out.Put('h');
                out.Fixed(std::int64_t(s.X2) - s.X1);
                out.Put('v');
                out.Fixed(std::int64_t(s.Y2) - s.Y1);
                out.Put('h');
                out.Fixed(std::int64_t(s.X1) - s.X2);
                out.Put('z');
                break;
            case TKind::Stroke:
                out.Put('M');
                out.FixedPair(s.X1, s.Y1);
                out.Put('L');
                out.FixedPair(s.X2, s.Y2);
                break;
            case TKind::Disc: WriteEllipse(out, s.X1 / 100.0, s.Y1 / 100.0, s.X2 / 100.0, s.Y2 / 100.0); break;
            case TKind::Ring: {
                const double x1 = s.X1 / 100.0, y1 = s.Y1 / 100.0, x2 = s.X2 / 100.0, y2 = s.Y2 / 100.0;
                WriteEllipse(out, x1, y1, x2, y2);
                if (x2 - x1 > 2 * s.Width && y2 - y1 > 2 * s.Width)
                    WriteEllipse(out, x1 + s.Width, y1 + s.Width, x2 - s.Width, y2 - s.Width);
                break;
            }
            case TKind::Text: break;
            }
        }
        out.Room(shapeRoom);
        out.Put("\"/>\n");
    }
}

bool TVectorTarget::WriteSvgPieces(const std::function<bool(QByteArray&)>& consume) const
{
    std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    head += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    AppendNumber(head, width_);
    head += "\" height=\"";
    AppendNumber(head, height_);
    head += "\" viewBox=\"0 0 ";
    AppendNumber(head, width_);
    head += ' ';
    AppendNumber(head, height_);
    head += "\">\n";
    QByteArray piece(head.data(), qsizetype(head.size()));
    if (!consume(piece)) return false;

    // The elements in parts of about half a megabyte, each beginning where a run
    // of one style begins, so the parts joined are the document one thread
    // writes. A batch of parts is made on the threads at once and handed on
    // before the next is made.
    const std::size_t count = shapes_.size();
    std::vector<std::size_t> bounds{0};
    while (bounds.back() < count) {
        std::size_t at = std::min(count, bounds.back() + shapesPerPart);
        while (at < count && !RunStartsAt(at)) ++at;
        bounds.push_back(at);
    }
    const std::size_t parts = bounds.size() - 1;
    const std::size_t threads = std::clamp<std::size_t>(std::size_t(ThreadsFor(writeThreads)), 1, 16);
    std::vector<QByteArray> made;
    std::vector<std::exception_ptr> failures;
    for (std::size_t batch = 0; batch < parts; batch += threads) {
        const std::size_t inBatch = std::min(parts - batch, threads);
        made.assign(inBatch, QByteArray());
        failures.assign(inBatch, nullptr);
        const auto make = [&](int k) {
            try {
                WriteShapes(bounds[batch + std::size_t(k)], bounds[batch + std::size_t(k) + 1], made[std::size_t(k)]);
            } catch (...) {
                failures[std::size_t(k)] = std::current_exception();
            }
        };
        if (inBatch == 1)
            make(0);
        else
            RunParts(int(inBatch), make);
        for (const std::exception_ptr& failure : failures)
            if (failure) std::rethrow_exception(failure);
        for (QByteArray& part : made)
            if (!consume(part)) return false;
    }
    piece = QByteArrayLiteral("</svg>\n");
    return consume(piece);
}

QByteArray TVectorTarget::Svg() const
{
    QByteArray document;
    WriteSvgPieces([&](QByteArray& piece) {
        document.append(piece);
        piece = QByteArray();
        return true;
    });
    return document;
}

bool TVectorTarget::WriteSvg(QIODevice& device) const
{
    return WriteSvgPieces([&](QByteArray& piece) {
        const bool written = device.write(piece) == piece.size();
        piece = QByteArray();
        return written;
    });
}
