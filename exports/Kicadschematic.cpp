#include "exports/Kicadschematic.h"

#include <QUuid>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/Parallel.h"
#include "drawing/Bitmap.h"
#include "drawing/Header.h"
#include "exports/Schematicsheet.h"
#include "exports/Textbuffer.h"

namespace {

constexpr int micronsPerPixel = 254;
using Mm = TTextBuffer::Mm;

Mm Px(int pixels) { return Mm{std::int64_t(pixels) * micronsPerPixel}; }

// A page point: "x y" in millimetres.
struct Xy {
    QPoint P;
};
TTextBuffer& operator<<(TTextBuffer& out, Xy xy) { return out << Px(xy.P.x()) << ' ' << Px(xy.P.y()); }

// A text in double quotes, with its quotes, backslashes and line ends
// escaped.
struct Quoted {
    const QString& Text;
};
TTextBuffer& operator<<(TTextBuffer& out, Quoted quoted)
{
    const QByteArray utf8 = quoted.Text.toUtf8();
    out << '"';
    qsizetype from = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c != '"' && c != '\\' && c != '\n') continue;
        out << QByteArray::fromRawData(utf8.constData() + from, i - from)
            << (c == '\n'  ? "\\n"
                : c == '"' ? "\\\""
                           : "\\\\");
        from = i + 1;
    }
    return out << QByteArray::fromRawData(utf8.constData() + from, utf8.size() - from) << '"';
}

// The pin's name in KiCad's notation: a marked half in an overbar, "~{CS}";
// a half marked before the slash is written after it ("R/~{W}"), as the
// drawing shows it. No name is "~".
QString KicadPinName(const TSchematicPin& pin)
{
    if (pin.Hidden && pin.ElectricalType == 5) return QString::fromLatin1(DisplayPinName(pin.Name));
    QString half[2];
    bool marked[2] = {false, false}, slash = false;
    int current = 0;
    for (const char c : pin.Name) {
        if (c == '/') {
            current = 1;
            slash = true;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        if (u & 0x80) marked[current] = true;
        half[current] += QChar(u & 0x7F);
    }
    const auto written = [&](int i) { return marked[i] ? QStringLiteral("~{") + half[i] + QLatin1Char('}') : half[i]; };
    QString name;
    if (!slash)
        name = written(0);
    else if (marked[0])
        name = half[1] + QLatin1Char('/') + written(0);
    else
        name = half[0] + QLatin1Char('/') + written(1);
    return name.isEmpty() ? QStringLiteral("~") : name;
}

const char* ElectricalType(int type)
{
    static const char* const names[] = {"input",          "output",   "bidirectional", "tri_state",
                                        "open_collector", "power_in", "passive"};
    return type >= 0 && type < 7 ? names[type] : "unspecified";
}

const char* PinShape(const TSchematicPin& pin)
{
    if (pin.Circle && pin.Wedge) return "inverted_clock";
    if (pin.Circle) return "inverted";
    if (pin.Wedge) return "clock";
    return "line";
}

// The angle of a pin: the direction from its connection point to the body
// in the library's axes (y up).
const char* PinAngle(const TSchematicPin& pin)
{
    const QPoint in = pin.Inward();
    if (in.x() > 0) return "0";
    if (in.x() < 0) return "180";
    return in.y() < 0 ? "90" : "270";
}

// A text's effects: its size, justification and whether it is hidden.
struct Effects {
    const TFont& Font;
    const char* Justify = nullptr;
    bool Hide = false;
};
TTextBuffer& operator<<(TTextBuffer& out, const Effects& e)
{
    const Mm size = Px(TSchematicSheet::TextSize(e.Font));
    out << "(effects (font (size " << size << ' ' << size << ')';
    if (e.Font.Bold) out << " bold";
    if (e.Font.Italic) out << " italic";
    out << ')';
    if (e.Justify) out << " (justify " << e.Justify << ')';
    if (e.Hide) out << " hide";
    return out << ')';
}

// The letters a reference starts with ("U" of "U12"), for the library
// symbol's own reference.
QString Prefix(const QString& reference)
{
    QString prefix;
    for (const QChar c : reference) {
        if (c.isDigit()) break;
        prefix += c;
    }
    return prefix.isEmpty() ? QStringLiteral("U") : prefix;
}

class TWriter {
public:
    TWriter(const TSchematicSheet& sheet, const QString& title, QIODevice& device)
        : sheet_(sheet),
          title_(title),
          root_(QUuid::createUuidV5(QUuid(QStringLiteral("{6b1c1f0e-7f4e-4d8a-9a52-2f1f8f3c0a11}")), title)),
          out_(device)
    {
        const QByteArray bytes = root_.toRfc4122();
        for (int i = 0; i < 8; ++i) seed_ = (seed_ << 8) | std::uint8_t(bytes[i] ^ bytes[i + 8]);
    }

    TResult Write()
    {
        const QSize page = sheet_.Page();
        out_ << "(kicad_sch (version 20211123) (generator tracery)\n\n";
        out_ << "  (uuid " << root_.toByteArray(QUuid::WithoutBraces) << ")\n\n";
        const QString paper = KicadPaper(page.width(), page.height());
        if (paper == QLatin1String("User"))
            out_ << "  (paper \"User\" " << Px(page.width()) << ' ' << Px(page.height()) << ")\n\n";
        else
            out_ << "  (paper " << Quoted{paper} << ")\n\n";
        out_ << "  (title_block\n    (title " << Quoted{title_} << ")\n  )\n\n";
        LibSymbols();
        for (const QPoint p : sheet_.Junctions())
            out_ << "  (junction (at " << Xy{p} << ") (diameter 0) (color 0 0 0 0)\n    (uuid " << Uuid("junction")
                 << ")\n  )\n\n";
        for (const QPoint p : sheet_.NoConnects())
            out_ << "  (no_connect (at " << Xy{p} << ") (uuid " << Uuid("nc") << "))\n";
        if (!sheet_.NoConnects().empty()) out_ << '\n';
        for (const QLine& w : sheet_.Wires()) Line("wire", w.p1(), w.p2());
        for (const QPoint p : sheet_.Crosses()) {
            Line("polyline", p + QPoint(-4, -4), p + QPoint(4, 4));
            Line("polyline", p + QPoint(-4, 4), p + QPoint(4, -4));
        }
        for (const TSchematicBox& box : sheet_.Boxes()) {
            const QRect r = box.Box;
            const QPoint corners[4] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
            for (int i = 0; i < 4; ++i) Line("polyline", corners[i], corners[(i + 1) % 4]);
        }
        for (const TSchematicText& text : sheet_.Texts()) Text("text", text, "left bottom");
        for (const TSchematicBox& box : sheet_.Boxes())
            if (!box.Lines.Text.isEmpty()) Text("text", box.Lines, "left top");
        for (const TSchematicLabel& label : sheet_.Labels())
            Text("label", TSchematicText{label.At, label.Text, label.Font}, "left bottom");
        for (std::size_t i = 0; i < sheet_.Symbols().size(); ++i) Symbol(i);
        out_ << "  (sheet_instances\n    (path \"/\" (page \"1\"))\n  )\n";
        if (!sheet_.Symbols().empty()) {
            out_ << "\n  (symbol_instances\n";
            for (std::size_t i = 0; i < sheet_.Symbols().size(); ++i) {
                const TSchematicSymbol& s = sheet_.Symbols()[i];
                out_ << "    (path \"/" << symbolUuids_[i] << "\"\n      (reference " << Quoted{Reference(s)}
                     << ") (unit " << s.Unit << ") (value " << Quoted{Value(s)} << ") (footprint "
                     << Quoted{Footprint(s)} << ")\n    )\n";
            }
            out_ << "  )\n";
        }
        out_ << ")\n";
        return out_.Flush() ? TResult() : TResult::Failure(QStringLiteral("the file could not be written"));
    }

private:
    // An identifier's 36 characters, written without a text of its own.
    struct TUuidText {
        char Text[36];
        friend TTextBuffer& operator<<(TTextBuffer& out, const TUuidText& uuid)
        {
            return out << QByteArray::fromRawData(uuid.Text, 36);
        }
    };
    // An identifier of its own for every item: the file's own, mixed with
    // the item's kind and number (the same drawing gives the same ones).
    TUuidText Uuid(const char* kind)
    {
        const int n = ++Count(kind);
        std::uint64_t h =
            seed_ ^ (std::uint64_t(std::uint8_t(kind[0])) << 56) ^ (std::uint64_t(std::uint8_t(kind[1])) << 48);
        const auto mix = [](std::uint64_t x) {  // splitmix64
            x += 0x9E3779B97F4A7C15ull;
            x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
            x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
            return x ^ (x >> 31);
        };
        std::uint64_t high = mix(h ^ std::uint64_t(n)), low = mix(high ^ 0x5DEECE66Dull);
        high = (high & ~0xF000ull) | 0x4000ull;                       // version 4
        low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // variant 1
        TUuidText uuid;
        char* const text = uuid.Text;
        static const char hex[] = "0123456789abcdef";
        int at = 0;
        for (int i = 0; i < 32; ++i) {
            if (i == 8 || i == 12 || i == 16 || i == 20) text[at++] = '-';
            const std::uint64_t word = i < 16 ? high : low;
            text[at++] = hex[(word >> (4 * (15 - i % 16))) & 0xF];
        }
        return uuid;
    }

    // How many identifiers of a kind were made: the kinds are a handful of
    // words, looked up by their text.
    int& Count(const char* kind)
    {
        for (auto& [name, count] : counts_)
            if (name == kind || std::strcmp(name, kind) == 0) return count;
        counts_.emplace_back(kind, 0);
        return counts_.back().second;
    }

    static QString Reference(const TSchematicSymbol& s)
    {
        return s.Reference.isEmpty() ? QStringLiteral("?") : s.Reference;
    }
    static QString Value(const TSchematicSymbol& s) { return QString::fromLatin1(s.Component->GetPackage()); }
    // The component's value text, never drawn, as the netlist has it.
    static QString Footprint(const TSchematicSymbol& s) { return QString::fromLatin1(s.Component->GetValue()); }

    void Line(const char* kind, QPoint a, QPoint b)
    {
        out_ << "  (" << kind << " (pts (xy " << Xy{a} << ") (xy " << Xy{b}
             << "))\n    (stroke (width 0) (type default) (color 0 0 0 0))\n    (uuid " << Uuid(kind) << ")\n  )\n\n";
    }

    void Text(const char* kind, const TSchematicText& text, const char* justify)
    {
        out_ << "  (" << kind << ' ' << Quoted{text.Text} << " (at " << Xy{text.At} << " 0)\n    "
             << Effects{text.Font, justify} << "\n    (uuid " << Uuid(kind) << ")\n  )\n\n";
    }

    // The library symbols, their bodies shared out between threads in
    // rounds of a few dozen bodies each, each thread's share written into a
    // piece of its own; the pieces go into the file in order after every
    // round, so that only a round's text is held at a time.
    void LibSymbols()
    {
        std::vector<const TSchematicSymbol*> first(sheet_.Bodies().size(), nullptr);
        for (const TSchematicSymbol& s : sheet_.Symbols())
            if (!first[s.Body]) first[s.Body] = &s;
        out_ << "  (lib_symbols";
        const std::size_t bodies = sheet_.Bodies().size();
        constexpr std::size_t share = 32;
        const int parts =
            int(std::min<std::size_t>(std::size_t(ThreadsFor(0)), std::max<std::size_t>(1, bodies / share)));
        std::vector<TTextBuffer> pieces(static_cast<std::size_t>(parts));
        for (std::size_t round = 0; round < bodies; round += share * std::size_t(parts)) {
            RunParts(parts, [&](int k) {
                const std::size_t from = std::min(bodies, round + share * std::size_t(k));
                const std::size_t to = std::min(bodies, from + share);
                for (std::size_t b = from; b < to; ++b) LibSymbol(pieces[std::size_t(k)], sheet_.Bodies()[b], first[b]);
            });
            for (TTextBuffer& piece : pieces) {
                out_ << piece;
                piece.Clear();
            }
        }
        out_ << "\n  )\n\n";
    }

    void LibSymbol(TTextBuffer& out, const TSchematicBody& body, const TSchematicSymbol* first) const
    {
        const TFont plain;
        out << "\n    (symbol " << Quoted{QStringLiteral("Tracery:") + body.Name} << " (pin_names (offset "
            << Px(Bitmap::labelGap) << ')' << (body.PinNames ? "" : " hide") << ") (in_bom yes) (on_board yes)\n";
        const QString fields[4][2] = {
            {QStringLiteral("Reference"), first ? Prefix(first->Reference) : QStringLiteral("U")},
            {QStringLiteral("Value"), body.Name},
            {QStringLiteral("Footprint"), QString()},
            {QStringLiteral("Datasheet"), QString()}};
        for (int id = 0; id < 4; ++id)
            out << "      (property " << Quoted{fields[id][0]} << ' ' << Quoted{fields[id][1]} << " (id " << id
                << ") (at 0 0 0)\n        " << Effects{plain, nullptr, id >= 2} << "\n      )\n";
        for (std::size_t u = 0; u < body.Units.size(); ++u) Unit(out, body, u);
        out << "    )";
    }

    // Body pixel (x, y) is the library point (x, -y); given in half pixels.
    struct Lib {
        std::int64_t X2, Y2;
    };
    friend TTextBuffer& operator<<(TTextBuffer& out, Lib p)
    {
        return out << Mm{p.X2 * micronsPerPixel / 2} << ' ' << Mm{-p.Y2 * micronsPerPixel / 2};
    }

    void Unit(TTextBuffer& out, const TSchematicBody& body, std::size_t u) const
    {
        const TSchematicUnit& unit = body.Units[u];
        out << "      (symbol " << Quoted{body.Name + QLatin1Char('_') + QString::number(u + 1) + QStringLiteral("_1")}
            << '\n';
        if (unit.Outline)
            out << "        (rectangle (start 0 0) (end "
                << Lib{2 * (unit.Size.width() - 1), 2 * (unit.Size.height() - 1)} << ")\n          (stroke (width "
                << Px(1) << ") (type default) (color 0 0 0 0))\n          (fill (type none))\n        )\n";
        // A pixel covers half a pixel either way of its point.
        for (const QRect& r : unit.Ink)
            out << "        (rectangle (start " << Lib{2 * r.left() - 1, 2 * r.top() - 1} << ") (end "
                << Lib{2 * r.right() + 1, 2 * r.bottom() + 1} << ") (stroke (width 0.001)) (fill (type outline)))\n";
        for (const TSchematicPin& pin : unit.Pins) {
            // A hidden pin joins nothing in the drawing (a hidden Pwr pin its
            // name's net), but KiCad joins a hidden pin at its connection
            // point: that point is put where the pin meets the body, out of
            // the wires' way, with no length.
            const bool apart = pin.Hidden && pin.ElectricalType != 5;
            const QPoint at = apart ? pin.End + pin.Length * pin.Inward() : pin.End;
            out << "        (pin " << ElectricalType(pin.ElectricalType) << ' ' << PinShape(pin) << " (at "
                << Px(at.x()) << ' ' << Px(-at.y()) << ' ' << PinAngle(pin) << ") (length "
                << Px(apart ? 0 : pin.Length) << ')' << (pin.Hidden ? " hide" : "") << "\n          (name "
                << Quoted{KicadPinName(pin)} << ' ' << Effects{sheet_.PinNameFont} << ")\n          (number "
                << Quoted{QString::fromLatin1(pin.Number)} << ' ' << Effects{sheet_.PinNumberFont} << ")\n        )\n";
        }
        out << "      )\n";
    }

    // A field whose text stands horizontal with its top-left corner at a
    // page point, whatever the turn and mirror of its symbol. KiCad turns a
    // field with its symbol, so a symbol turned a quarter gets a field
    // turned back a quarter, and it mirrors the field's box with the
    // symbol, so the justification is mirrored back.
    void Field(const TSchematicSymbol& s, const char* name, const QString& text, int id, QPoint at, const TFont& font,
               bool hide)
    {
        const bool quarter = s.Rotation & 1;
        const bool turnedHalf = (s.Rotation & 3) == 1 || (s.Rotation & 3) == 2;
        const bool right = turnedHalf != s.HFlip, bottom = turnedHalf != s.VFlip;
        const char* justify = right ? (bottom ? "right bottom" : "right top") : (bottom ? "left bottom" : "left top");
        out_ << "    (property " << Quoted{QString::fromLatin1(name)} << ' ' << Quoted{text} << " (id " << id
             << ") (at " << Xy{at} << (quarter ? " 90" : " 0") << ")\n      " << Effects{font, justify, hide}
             << "\n    )\n";
    }

    void Symbol(std::size_t i)
    {
        const TSchematicSymbol& s = sheet_.Symbols()[i];
        const Bitmap& c = *s.Component;
        const TSchematicBody& body = sheet_.Bodies()[s.Body];
        static const char* const angles[4] = {"0", "90", "180", "270"};
        out_ << "  (symbol (lib_id " << Quoted{QStringLiteral("Tracery:") + body.Name} << ") (at " << Xy{s.Anchor}
             << ' ' << angles[s.Rotation & 3] << ')'
             << (s.HFlip   ? " (mirror y)"
                 : s.VFlip ? " (mirror x)"
                           : "")
             << " (unit " << s.Unit << ")\n    (in_bom yes) (on_board yes)\n";
        symbolUuids_.push_back(Uuid("symbol"));
        out_ << "    (uuid " << symbolUuids_.back() << ")\n";
        const auto& head = c.GetHead();
        const QPoint designationAt(ReadU16(&head[35]), ReadU16(&head[37]));
        const QPoint valueAt(ReadU16(&head[39]), ReadU16(&head[41]));
        const QString value = Value(s);
        Field(s, "Reference", Reference(s), 0, designationAt, sheet_.DesignationFont, s.Reference.isEmpty());
        Field(s, "Value", value, 1, valueAt, sheet_.ValueFont, value.isEmpty());
        Field(s, "Footprint", Footprint(s), 2, s.Anchor, TFont(), true);
        Field(s, "Datasheet", QString(), 3, s.Anchor, TFont(), true);
        out_ << "  )\n\n";
    }

    const TSchematicSheet& sheet_;
    QString title_;
    QUuid root_;
    std::uint64_t seed_ = 0;
    TTextBuffer out_;
    std::vector<std::pair<const char*, int>> counts_;
    std::vector<TUuidText> symbolUuids_;
};

}  // namespace

QString KicadPaper(int width, int height)
{
    static const struct {
        int Index;
        const char* Name;
    } papers[] = {{1, "A4"}, {2, "A3"}, {3, "A2"}, {4, "A1"}, {5, "A0"}, {7, "B"}, {8, "C"}, {9, "D"}, {10, "E"}};
    for (const auto& paper : papers)
        if (GetPageSize(paper.Index) == QSize(width, height)) return QString::fromLatin1(paper.Name);
    return QStringLiteral("User");
}

TResult WriteKicadSchematic(const TSchematicSheet& sheet, const QString& title, QIODevice& device)
{
    return TWriter(sheet, title, device).Write();
}

QByteArray KicadSchematic(const TSchematicSheet& sheet, const QString& title)
{
    return WrittenText([&](QIODevice& device) { (void)WriteKicadSchematic(sheet, title, device); });
}
