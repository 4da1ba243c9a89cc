#include "exports/Leptonschematic.h"

#include <QHash>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "drawing/Bitmap.h"
#include "exports/Schematicsheet.h"
#include "exports/Textbuffer.h"

namespace {

// Colours of the format's objects.
constexpr int pinColour = 1, graphicColour = 3, netColour = 4, attributeColour = 5, detachedColour = 8, textColour = 9;
// Text alignments: the corner or edge of the text that stands on its point.
constexpr int lowerLeft = 0, middleLeft = 1, upperLeft = 2, lowerMiddle = 3, middleRight = 7;

// The format's text size (points) for a font: the format's capitals are
// about 15 mil a point high, a pixel is 10 mil.
int Size(const TFont& font) { return std::max(1, (2 * TSchematicSheet::TextSize(font) + 1) / 3); }

// A pin name with a marked half in the format's overbar, "\_CS\_", a half
// marked before the slash written after it, as the drawing shows it.
QString LeptonPinName(const QByteArray& raw)
{
    QString half[2];
    bool marked[2] = {false, false}, slash = false;
    int current = 0;
    for (const char c : raw) {
        if (c == '/') {
            current = 1;
            slash = true;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        if (u & 0x80) marked[current] = true;
        half[current] += QChar(u & 0x7F);
    }
    const auto written = [&](int i) {
        return marked[i] && !half[i].isEmpty() ? QStringLiteral("\\_") + half[i] + QStringLiteral("\\_") : half[i];
    };
    if (!slash) return written(0);
    return marked[0] ? half[1] + QLatin1Char('/') + written(0) : half[0] + QLatin1Char('/') + written(1);
}

const char* PinType(int electricalType)
{
    static const char* const names[] = {"in", "out", "io", "tri", "oc", "pwr", "pas"};
    return electricalType >= 0 && electricalType < 7 ? names[electricalType] : "pas";
}

class TWriter {
public:
    TWriter(const TSchematicSheet& sheet, QIODevice& device)
        : sheet_(sheet),
          height_(sheet.Page().height()),
          out_(device)
    {
    }

    TResult Write()
    {
        out_ << "v 20210407 2\n";
        // The pins that no wire joins, and hidden pins, are joined to their
        // nets by name.
        for (const TSchematicNet& net : sheet_.Nets())
            for (const TSchematicNetPin& pin : net.Pins)
                if ((net.FirstWire < 0 || pin.Hidden) && !pin.Number.isEmpty())
                    netAttributes_[pin.Component].push_back(net.Name + QLatin1Char(':') + pin.Number);
        for (const TSchematicSymbol& symbol : sheet_.Symbols()) Component(symbol);
        Wires();
        for (const TSchematicText& text : sheet_.Texts()) Text(text, lowerLeft);
        for (const TSchematicBox& box : sheet_.Boxes()) {
            const QRect& r = box.Box;
            out_ << "B " << X(r.left()) << ' ' << Y(r.bottom()) << ' ' << std::int64_t(10 * (r.right() - r.left()))
                 << ' ' << std::int64_t(10 * (r.bottom() - r.top())) << ' ' << graphicColour
                 << " 0 0 0 -1 -1 0 -1 -1 -1 -1 -1\n";
            if (!box.Lines.Text.isEmpty()) Text(box.Lines, upperLeft);
        }
        for (const QPoint p : sheet_.Crosses()) Cross(p);
        for (const QPoint p : sheet_.NoConnects()) Cross(p);
        return out_.Flush() ? TResult() : TResult::Failure(QStringLiteral("the file could not be written"));
    }

private:
    std::int64_t X(int x) const { return 10 * std::int64_t(x); }
    std::int64_t Y(int y) const { return 10 * (std::int64_t(height_) - y); }
    struct TXy {
        std::int64_t X, Y;
    };
    friend TTextBuffer& operator<<(TTextBuffer& out, TXy p) { return out << p.X << ' ' << p.Y; }
    TXy Xy(QPoint p) const { return {X(p.x()), Y(p.y())}; }
    // In half pixels.
    std::int64_t X2(std::int64_t x) const { return 5 * x; }
    std::int64_t Y2(std::int64_t y) const { return 5 * (2 * std::int64_t(height_) - y); }

    void Attribute(QPoint at, int colour, int size, bool visible, int alignment, const QString& text, int angle = 0)
    {
        out_ << "T " << Xy(at) << ' ' << colour << ' ' << size << (visible ? " 1 1 " : " 0 1 ") << angle << ' '
             << alignment << " 1\n"
             << text.toUtf8() << '\n';
    }

    void Text(const TSchematicText& text, int alignment)
    {
        const QByteArray lines = text.Text.toUtf8();
        out_ << "T " << Xy(text.At) << ' ' << textColour << ' ' << std::int64_t(Size(text.Font)) << " 1 0 0 "
             << alignment << ' ' << std::int64_t(lines.count('\n') + 1) << '\n'
             << lines << '\n';
    }

    void Line(QPoint a, QPoint b, int colour, int width)
    {
        out_ << "L " << Xy(a) << ' ' << Xy(b) << ' ' << colour << ' ' << width << " 0 0 -1 -1\n";
    }

    void Cross(QPoint p)
    {
        Line(p + QPoint(-4, -4), p + QPoint(4, 4), graphicColour, 0);
        Line(p + QPoint(-4, 4), p + QPoint(4, -4), graphicColour, 0);
    }

    void Component(const TSchematicSymbol& s)
    {
        const TSchematicBody& body = sheet_.Bodies()[s.Body];
        const TSchematicUnit& unit = body.Units[std::size_t(s.Unit - 1)];
        // The symbol's own turn and mirror, as the format writes them: a
        // mirror (of x) first, then the turn anticlockwise.
        int angle = 90 * (s.Rotation & 3), mirror = 0;
        if (s.HFlip) mirror = 1, angle = (360 - angle) % 360;
        if (s.VFlip) mirror = 1, angle = (angle + 180) % 360;
        out_ << "C " << Xy(s.Anchor) << " 1 " << angle << ' ' << mirror << " EMBEDDED" << body.Name.toUtf8()
             << ".sym\n[\n";
        // A filled box covers whole pixels, half a pixel either way of the
        // pixels at its corners; an outline runs through the pixels' middles.
        const auto box = [&](QPoint from, QPoint to, int width, int fill) {
            const QPoint a = s.Place(from), b = s.Place(to);
            const int pad = fill ? 1 : 0;  // filled boxes cover whole pixels
            const int left = 2 * std::min(a.x(), b.x()) - pad, right = 2 * std::max(a.x(), b.x()) + pad;
            const int top = 2 * std::min(a.y(), b.y()) - pad, bottom = 2 * std::max(a.y(), b.y()) + pad;
            out_ << "B " << X2(left) << ' ' << Y2(bottom) << ' ' << std::int64_t(5 * (right - left)) << ' '
                 << std::int64_t(5 * (bottom - top)) << ' ' << graphicColour << ' ' << width << " 0 0 -1 -1 " << fill
                 << " -1 -1 -1 -1 -1\n";
        };
        if (unit.Outline) box(QPoint(0, 0), QPoint(unit.Size.width() - 1, unit.Size.height() - 1), 10, 0);
        for (const QRect& r : unit.Ink) box(r.topLeft(), r.bottomRight(), 0, 1);
        int seq = 0;
        for (const TSchematicPin& pin : unit.Pins) {
            ++seq;
            if (pin.Hidden) continue;
            const QPoint end = s.Place(pin.End), edge = s.Place(pin.End + pin.Length * pin.Inward());
            out_ << "P " << Xy(end) << ' ' << Xy(edge) << ' ' << pinColour << " 0 0\n{\n";
            const QPoint in = edge - end;
            const QPoint step(in.x() > 0 ? 1 : in.x() < 0 ? -1 : 0, in.y() > 0 ? 1 : in.y() < 0 ? -1 : 0);
            const bool across = step.y() == 0;  // the pin runs across the page
            const QPoint middle = end + in / 2;
            // Texts along a pin that runs down the page read upwards, as the
            // drawing turns them.
            const int along = across ? 0 : 90;
            if (!pin.Number.isEmpty())
                Attribute(middle + (across ? QPoint(0, -2) : QPoint(-2, 0)), attributeColour,
                          Size(sheet_.PinNumberFont), pin.PinPart == s.Component->GetPartNumber(), lowerMiddle,
                          QStringLiteral("pinnumber=") + pin.Number, along);
            Attribute(end, attributeColour, Size(sheet_.PinNumberFont), false, lowerLeft,
                      QStringLiteral("pinseq=") + QString::number(seq));
            const QString label = LeptonPinName(pin.Name);
            if (!label.isEmpty()) {
                // Inside the body, its near end at the pin.
                const bool nearEndLeft = step.x() > 0 || step.y() < 0;
                Attribute(edge + Bitmap::labelGap * step, attributeColour, Size(sheet_.PinNameFont), body.PinNames,
                          nearEndLeft ? middleLeft : middleRight, QStringLiteral("pinlabel=") + label, along);
            }
            Attribute(end, attributeColour, Size(sheet_.PinNumberFont), false, lowerLeft,
                      QStringLiteral("pintype=") + QString::fromLatin1(PinType(pin.ElectricalType)));
            out_ << "}\n";
        }
        out_ << "]\n{\n";
        const auto& head = s.Component->GetHead();
        const QPoint designationAt(ReadU16(&head[35]), ReadU16(&head[37]));
        const QPoint valueAt(ReadU16(&head[39]), ReadU16(&head[41]));
        Attribute(designationAt, detachedColour, Size(sheet_.DesignationFont), true, upperLeft,
                  QStringLiteral("refdes=") + (s.Reference.isEmpty() ? QStringLiteral("U?") : s.Reference));
        const QString value = QString::fromLatin1(s.Component->GetPackage());
        if (!value.isEmpty())
            Attribute(valueAt, detachedColour, Size(sheet_.ValueFont), true, upperLeft,
                      QStringLiteral("value=") + value);
        const QString footprint = QString::fromLatin1(s.Component->GetValue());
        Attribute(s.Anchor, detachedColour, Size(sheet_.ValueFont), false, lowerLeft,
                  QStringLiteral("footprint=") + (footprint.isEmpty() ? QStringLiteral("none") : footprint));
        for (const QString& net : netAttributes_.value(s.Component))
            Attribute(s.Anchor, detachedColour, Size(sheet_.ValueFont), false, lowerLeft, QStringLiteral("net=") + net);
        out_ << "}\n";
    }

    void Wires()
    {
        // The labels each wire carries, and the wire that carries a net's
        // name when no label names it.
        std::vector<std::vector<const TSchematicLabel*>> labelsOf(sheet_.Wires().size());
        std::vector<bool> labelled(sheet_.Nets().size(), false);
        for (const TSchematicLabel& label : sheet_.Labels()) {
            const std::ptrdiff_t wire = label.Wire >= 0 ? label.Wire : sheet_.Nets()[label.Net].FirstWire;
            if (wire < 0) continue;
            labelsOf[std::size_t(wire)].push_back(&label);
            labelled[label.Net] = true;
        }
        for (std::size_t w = 0; w < sheet_.Wires().size(); ++w) {
            const QLine& line = sheet_.Wires()[w];
            out_ << "N " << Xy(line.p1()) << ' ' << Xy(line.p2()) << ' ' << netColour << '\n';
            const std::size_t net = sheet_.WireNets()[w];
            const bool named =
                net < sheet_.Nets().size() && !labelled[net] && sheet_.Nets()[net].FirstWire == std::ptrdiff_t(w);
            if (labelsOf[w].empty() && !named) continue;
            out_ << "{\n";
            for (const TSchematicLabel* label : labelsOf[w])
                Attribute(label->At + QPoint(10, 0), attributeColour, Size(label->Font), true, lowerLeft,
                          QStringLiteral("netname=") + label->Text);
            if (named)
                Attribute(line.p1(), attributeColour, 10, false, lowerLeft,
                          QStringLiteral("netname=") + sheet_.Nets()[net].Name);
            out_ << "}\n";
        }
    }

    const TSchematicSheet& sheet_;
    int height_;
    TTextBuffer out_;
    QHash<const Bitmap*, QStringList> netAttributes_;
};

}  // namespace

TResult WriteLeptonSchematic(const TSchematicSheet& sheet, QIODevice& device) { return TWriter(sheet, device).Write(); }

QByteArray LeptonSchematic(const TSchematicSheet& sheet)
{
    return WrittenText([&](QIODevice& device) { (void)WriteLeptonSchematic(sheet, device); });
}
