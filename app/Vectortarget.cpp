#include "app/Vectortarget.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "app/Surface.h"

namespace {

constexpr int maxPenWidth = 256;
constexpr long long maxEllipseSide = 1LL << 28;

int PenWidth(const TPen& pen) { return std::clamp(pen.Width, 1, maxPenWidth); }

// Where a pen of this width centres its stamp, from the top-left corner of
// the pixel it stands on: the pixel's centre for odd widths, its bottom-right
// corner for even ones.
double StampCentre(int width) { return (width % 2 == 1) ? 0.5 : 1.0; }

// A number as SVG text: whole numbers bare, others with at most two decimals.
void AppendNumber(std::string& out, double value)
{
    char buffer[40];
    char* end = buffer;
    if (value >= -1e9 && value <= 1e9) {
        const auto whole = static_cast<long long>(value);
        if (double(whole) == value) {  // most numbers of a page
            end = std::to_chars(buffer, buffer + sizeof buffer, whole).ptr;
            out.append(buffer, std::size_t(end - buffer));
            return;
        }
    }
    const double rounded = std::round(value * 100.0) / 100.0;
    const double twice = rounded * 2.0;
    if (std::fabs(rounded) < 1e15 && twice == std::floor(twice)) {
        // Whole numbers and halves, nearly all of them: integer digits.
        const long long halves = static_cast<long long>(twice);
        if (halves < 0 && halves % 2 != 0 && halves / 2 == 0) *end++ = '-';  // -0.5
        end = std::to_chars(end, buffer + sizeof buffer, halves / 2).ptr;
        if (halves % 2 != 0) {
            *end++ = '.';
            *end++ = '5';
        }
    } else {
        end = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, 2).ptr;
        while (end > buffer && end[-1] == '0') --end;
        if (end > buffer && end[-1] == '.') --end;
    }
    out.append(buffer, std::size_t(end - buffer));
}

void AppendColour(std::string& out, QRgb rgb)
{
    static constexpr char digits[] = "0123456789abcdef";
    const char text[7] = {'#', digits[qRed(rgb) >> 4], digits[qRed(rgb) & 15], digits[qGreen(rgb) >> 4],
                          digits[qGreen(rgb) & 15], digits[qBlue(rgb) >> 4], digits[qBlue(rgb) & 15]};
    out.append(text, 7);
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

// A text as it is shown.
QString ShownText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    ForEachCharacter(text, [&](char32_t c) {
        if (Shown(c)) shown += QString::fromUcs4(&c, 1);
    });
    return shown;
}

// One shown character as XML character data in UTF-8, markup characters escaped.
void AppendXmlCharacter(std::string& out, char32_t c)
{
    switch (c) {
    case '&': out += "&amp;"; return;
    case '<': out += "&lt;"; return;
    case '>': out += "&gt;"; return;
    case '"': out += "&quot;"; return;
    }
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A text as XML character data.
void AppendXmlText(std::string& out, const QString& text)
{
    ForEachCharacter(text, [&](char32_t c) {
        if (Shown(c)) AppendXmlCharacter(out, c);
    });
}

// The same for a text of single-byte (Latin-1) characters, without going
// through a QString.
void AppendLatin1Text(std::string& out, const QByteArray& text)
{
    for (const char ch : text) {
        const auto c = char32_t(static_cast<unsigned char>(ch));
        if (Shown(c)) AppendXmlCharacter(out, c);
    }
}

// The font of a text as Qt paints it on a vector page.
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
    shapes_.push_back({TKind::Stroke, width >= 4, colour, float(width), x1 + c, y1 + c, x2 + c, y2 + c, 0});
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
        shapes_.push_back({TKind::Disc, false, ColourToRgb(Brush.Colour), 0, double(left + width),
                           double(top + width), double(right - width), double(bottom - width), 0});
    shapes_.push_back({TKind::Ring, false, ColourToRgb(Pen.Colour), float(width), double(left), double(top),
                       double(right), double(bottom), 0});
}

void TVectorTarget::FillRect(int x1, int y1, int x2, int y2)
{
    if (Brush.Style == bsClear) return;
    AddBox(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), ColourToRgb(Brush.Colour));
}

void TVectorTarget::TextOut(int x, int y, const QByteArray& text)
{
    if (text.isEmpty()) return;
    if (Brush.Style != bsClear)
        AddBox(x, y, static_cast<long long>(x) + FontTextWidth(Font, text),
               static_cast<long long>(y) + FontTextHeight(Font), ColourToRgb(Brush.Colour));
    if (!Visible(x, y, double(x) + FontTextWidth(Font, text), double(y) + FontTextHeight(Font), 0)) return;
    shapes_.push_back({TKind::Text, false, ColourToRgb(Font.Colour), 0, double(x), double(y), 0, 0,
                       std::uint32_t(texts_.size())});
    texts_.push_back({text, Font, x, y, false});
}

void TVectorTarget::TurnedTextOut(int x, int y, const QByteArray& text)
{
    if (text.isEmpty()) return;
    shapes_.push_back({TKind::Text, false, ColourToRgb(Font.Colour), 0, double(x), double(y), 0, 0,
                       std::uint32_t(texts_.size())});
    texts_.push_back({text, Font, x, y, true});
}

void TVectorTarget::DrawRuns(const TRasterRuns& runs, int x, int y)
{
    // Runs of one colour that stand under each other at the same columns make
    // one rectangle. The runs come row by row, left to right, so the boxes a
    // row's runs may continue are those the row above reached, in the same
    // order: one pass over both lists. Boxes keep the order of their first rows.
    struct Box {
        int X, Length;
        QRgb Colour;
        long long Top, Bottom;
    };
    thread_local std::vector<Box> boxes;
    thread_local std::vector<std::size_t> above, current;  // indices into boxes
    boxes.clear();
    above.clear();
    current.clear();
    long long currentRow = std::numeric_limits<long long>::min();
    std::size_t next = 0;  // the first box of `above` not passed yet
    runs.ForEachRun([&](int row, int column, int length, QRgb colour) {
        if (row != currentRow) {
            if (row == currentRow + 1)
                above.swap(current);
            else
                above.clear();
            current.clear();
            currentRow = row;
            next = 0;
        }
        while (next < above.size() && boxes[above[next]].X < column) ++next;
        if (next < above.size()) {
            Box& box = boxes[above[next]];
            if (box.X == column && box.Length == length && box.Colour == colour) {
                box.Bottom = row + 1;
                current.push_back(above[next]);
                ++next;
                return;
            }
        }
        current.push_back(boxes.size());
        boxes.push_back({column, length, colour, row, row + 1});
    });
    for (const Box& box : boxes)
        AddBox(static_cast<long long>(x) + box.X, static_cast<long long>(y) + box.Top,
               static_cast<long long>(x) + box.X + box.Length, static_cast<long long>(y) + box.Bottom, box.Colour);
    if (boxes.capacity() > (std::size_t(1) << 20)) {
        // Let a huge body's lists go.
        std::vector<Box>().swap(boxes);
        std::vector<std::size_t>().swap(above);
        std::vector<std::size_t>().swap(current);
    }
}

// ---------------------------------------------------------------------------
// SVG

namespace {

// An ellipse in the box as a path: two half arcs.
void AppendEllipse(std::string& d, double x1, double y1, double x2, double y2)
{
    const double rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
    d += 'M';
    AppendNumber(d, x1);
    d += ' ';
    AppendNumber(d, y1 + ry);
    for (int half = 0; half < 2; ++half) {
        d += 'a';
        AppendNumber(d, rx);
        d += ' ';
        AppendNumber(d, ry);
        d += " 0 1 0 ";
        AppendNumber(d, half == 0 ? 2 * rx : -2 * rx);
        d += " 0";
    }
    d += 'z';
}

}  // namespace

QByteArray TVectorTarget::Svg() const
{
    // Built as a std::string: appending its many small pieces is cheaper than
    // appending them to a QByteArray.
    std::string out;
    out.reserve(shapes_.size() * 40 + texts_.size() * 160 + 256);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    AppendNumber(out, width_);
    out += "\" height=\"";
    AppendNumber(out, height_);
    out += "\" viewBox=\"0 0 ";
    AppendNumber(out, width_);
    out += ' ';
    AppendNumber(out, height_);
    out += "\">\n";

    TFont font;
    bool fontKnown = false;
    int ascent = 0;
    std::string fontAttributes;
    std::size_t i = 0;
    while (i < shapes_.size()) {
        const TShape& first = shapes_[i];
        if (first.Kind == TKind::Text) {
            const TText& t = texts_[first.Index];
            if (!fontKnown || !(t.Font == font)) {
                // Texts come in runs of one font: its attributes are
                // worked out once for the run.
                font = t.Font;
                fontKnown = true;
                ascent = FontAscent(font);
                fontAttributes.clear();
                fontAttributes += "\" font-family=\"";
                AppendXmlText(fontAttributes, font.Face);
                const QString family = FontFamily(font);
                if (family.compare(font.Face, Qt::CaseInsensitive) != 0) {
                    fontAttributes += ", ";
                    AppendXmlText(fontAttributes, family);
                }
                fontAttributes += "\" font-size=\"";
                AppendNumber(fontAttributes, PageFont(font).pixelSize());
                fontAttributes += "px\"";
                if (font.Bold) fontAttributes += " font-weight=\"bold\"";
                if (font.Italic) fontAttributes += " font-style=\"italic\"";
                if (font.Underline || font.StrikeOut) {
                    fontAttributes += " text-decoration=\"";
                    fontAttributes += font.Underline && font.StrikeOut ? "underline line-through"
                                      : font.Underline                 ? "underline"
                                                                       : "line-through";
                    fontAttributes += '"';
                }
            }
            out += "<text";
            if (t.Turned) {
                // The turned cell is text height wide and text width high;
                // the text runs up from its bottom-left corner.
                out += " transform=\"translate(";
                AppendNumber(out, t.X);
                out += ' ';
                AppendNumber(out, t.Y + FontTextWidth(t.Font, t.Text));
                out += ") rotate(-90)\" x=\"0\" y=\"";
                AppendNumber(out, ascent);
            } else {
                out += " x=\"";
                AppendNumber(out, t.X);
                out += "\" y=\"";
                AppendNumber(out, t.Y + ascent);
            }
            out += fontAttributes;
            out += " fill=\"";
            AppendColour(out, first.Colour);
            out += "\" xml:space=\"preserve\">";
            AppendLatin1Text(out, t.Text);
            out += "</text>\n";
            ++i;
            continue;
        }
        // A run of shapes of the same style: one path.
        std::size_t end = i + 1;
        const auto sameStyle = [&](const TShape& s) {
            return s.Kind == first.Kind && s.Colour == first.Colour && s.Width == first.Width && s.Round == first.Round;
        };
        while (end < shapes_.size() && sameStyle(shapes_[end])) ++end;
        out += "<path";
        if (first.Kind == TKind::Stroke) {
            out += " fill=\"none\" stroke=\"";
            AppendColour(out, first.Colour);
            out += "\" stroke-width=\"";
            AppendNumber(out, first.Width);
            out += first.Round ? "\" stroke-linecap=\"round\" stroke-linejoin=\"round\""
                               : "\" stroke-linecap=\"square\"";
        } else {
            out += " fill=\"";
            AppendColour(out, first.Colour);
            out += '"';
            if (first.Kind == TKind::Ring) out += " fill-rule=\"evenodd\"";
        }
        out += " d=\"";
        std::string& d = out;
        for (std::size_t k = i; k < end; ++k) {
            const TShape& s = shapes_[k];
            switch (s.Kind) {
            case TKind::Box:
                d += 'M';
                AppendNumber(d, s.X1);
                d += ' ';
                AppendNumber(d, s.Y1);
                d += 'h';
                AppendNumber(d, s.X2 - s.X1);
                d += 'v';
                AppendNumber(d, s.Y2 - s.Y1);
                d += 'h';
                AppendNumber(d, s.X1 - s.X2);
                d += 'z';
                break;
            case TKind::Stroke:
                d += 'M';
                AppendNumber(d, s.X1);
                d += ' ';
                AppendNumber(d, s.Y1);
                d += 'L';
                AppendNumber(d, s.X2);
                d += ' ';
                AppendNumber(d, s.Y2);
                break;
            case TKind::Disc: AppendEllipse(d, s.X1, s.Y1, s.X2, s.Y2); break;
            case TKind::Ring:
                AppendEllipse(d, s.X1, s.Y1, s.X2, s.Y2);
                if (s.X2 - s.X1 > 2 * s.Width && s.Y2 - s.Y1 > 2 * s.Width)
                    AppendEllipse(d, s.X1 + s.Width, s.Y1 + s.Width, s.X2 - s.Width, s.Y2 - s.Width);
                break;
            case TKind::Text: break;
            }
        }
        out += "\"/>\n";
        i = end;
    }
    out += "</svg>\n";
    return QByteArray(out.data(), qsizetype(out.size()));
}

// ---------------------------------------------------------------------------
// Painting (PDF pages)

void TVectorTarget::Paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    std::size_t i = 0;
    while (i < shapes_.size()) {
        const TShape& first = shapes_[i];
        if (first.Kind == TKind::Text) {
            const TText& t = texts_[first.Index];
            painter.setFont(PageFont(t.Font));
            painter.setPen(QColor::fromRgb(first.Colour));
            const QString text = ShownText(QString::fromLatin1(t.Text));
            if (t.Turned) {
                painter.save();
                painter.translate(t.X, t.Y + FontTextWidth(t.Font, t.Text));
                painter.rotate(-90);
                painter.drawText(QPointF(0, FontAscent(t.Font)), text);
                painter.restore();
            } else {
                painter.drawText(QPointF(t.X, t.Y + FontAscent(t.Font)), text);
            }
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < shapes_.size() && shapes_[end].Kind == first.Kind && shapes_[end].Colour == first.Colour &&
               shapes_[end].Width == first.Width && shapes_[end].Round == first.Round)
            ++end;
        QPainterPath path;
        if (first.Kind == TKind::Ring) path.setFillRule(Qt::OddEvenFill);
        for (std::size_t k = i; k < end; ++k) {
            const TShape& s = shapes_[k];
            switch (s.Kind) {
            case TKind::Box: path.addRect(QRectF(QPointF(s.X1, s.Y1), QPointF(s.X2, s.Y2))); break;
            case TKind::Stroke:
                path.moveTo(s.X1, s.Y1);
                path.lineTo(s.X2, s.Y2);
                break;
            case TKind::Disc: path.addEllipse(QRectF(QPointF(s.X1, s.Y1), QPointF(s.X2, s.Y2))); break;
            case TKind::Ring:
                path.addEllipse(QRectF(QPointF(s.X1, s.Y1), QPointF(s.X2, s.Y2)));
                if (s.X2 - s.X1 > 2 * s.Width && s.Y2 - s.Y1 > 2 * s.Width)
                    path.addEllipse(QRectF(QPointF(s.X1 + s.Width, s.Y1 + s.Width), QPointF(s.X2 - s.Width, s.Y2 - s.Width)));
                break;
            case TKind::Text: break;
            }
        }
        const QColor colour = QColor::fromRgb(first.Colour);
        if (first.Kind == TKind::Stroke) {
            QPen pen(colour, first.Width, Qt::SolidLine, first.Round ? Qt::RoundCap : Qt::SquareCap,
                     first.Round ? Qt::RoundJoin : Qt::MiterJoin);
            painter.strokePath(path, pen);
        } else {
            painter.fillPath(path, colour);
        }
        i = end;
    }
    painter.restore();
}
