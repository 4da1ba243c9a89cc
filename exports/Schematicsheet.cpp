#include "exports/Schematicsheet.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/Parallel.h"
#include "drawing/Annotate.h"
#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Docbox.h"
#include "drawing/Drawing.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"
#include "drawing/Objectsettings.h"

namespace {

bool RowThenColumn(QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }

void SortUnique(std::vector<QPoint>& points)
{
    std::sort(points.begin(), points.end(), RowThenColumn);
    points.erase(std::unique(points.begin(), points.end()), points.end());
}

// Whether p is one of the pixels a wire is drawn on: between its ends and no
// more than half a pixel from its line, as the drawing's connectivity counts
// it.
bool OnWire(QPoint p, const QLine& w)
{
    const std::int64_t dx = w.dx(), dy = w.dy();
    const std::int64_t px = p.x() - w.x1(), py = p.y() - w.y1();
    if (dx == 0 && dy == 0) return px == 0 && py == 0;
    const std::int64_t length2 = dx * dx + dy * dy;
    const std::int64_t dot = px * dx + py * dy;
    if (dot < 0 || dot > length2) return false;
    const std::int64_t cross = px * dy - py * dx;
    return 4 * cross * cross <= length2;
}

// The outward step of a side: left, bottom, right, top (y downwards).
QPoint Step(int side)
{
    static const QPoint steps[4] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    return steps[side & 3];
}

// A body name reduced to what a library name may hold.
QString NameOf(const QByteArray& text)
{
    QString name;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '-' || u == '_' ||
            u == '.' || u == '+')
            name += QChar(u);
    }
    return name.isEmpty() ? QStringLiteral("Part") : name;
}

// The ink of a part's picture as rectangles: the runs of ink pixels of each
// row, a run merged with the same run of the row above.
std::vector<QRect> InkOf(const std::vector<std::uint8_t>& area, int pictureIndex, QSize size)
{
    const std::size_t start = std::size_t(16) * std::size_t(pictureIndex - 1) + 1;  // after the Strange byte
    const std::size_t stride = std::size_t(size.width() + 7) / 8;
    const int width = size.width();
    struct TRun {
        int First, Last;
        std::size_t Rect;  // into done
    };
    std::vector<QRect> done;
    std::vector<TRun> above, row;
    for (int y = 0; y < size.height(); ++y) {
        row.clear();
        // The runs of the row, left to right; a byte of no ink is passed whole.
        const std::size_t rowStart = start + stride * std::size_t(y);
        const auto byteAt = [&](int x) {
            const std::size_t at = rowStart + std::size_t(x) / 8;
            return at < area.size() ? area[at] : std::uint8_t(0);
        };
        for (int x = 0; x < width;) {
            const std::uint8_t byte = byteAt(x);
            if (byte == 0 && x % 8 == 0) {
                x += 8;
                continue;
            }
            if (!((byte >> (7 - x % 8)) & 1)) {
                ++x;
                continue;
            }
            int last = x;
            while (last + 1 < width && (byteAt(last + 1) >> (7 - (last + 1) % 8)) & 1) ++last;
            row.push_back({x, last, 0});
            x = last + 1;
        }
        // A run the row above has too grows that rectangle; both lists run
        // left to right.
        std::size_t a = 0;
        for (TRun& run : row) {
            while (a < above.size() && above[a].First < run.First) ++a;
            if (a < above.size() && above[a].First == run.First && above[a].Last == run.Last) {
                run.Rect = above[a].Rect;
                done[run.Rect].setBottom(y);
            } else {
                run.Rect = done.size();
                done.push_back(QRect(QPoint(run.First, y), QPoint(run.Last, y)));
            }
        }
        std::swap(above, row);
    }
    std::sort(done.begin(), done.end(), [](const QRect& p, const QRect& q) {
        return p.top() != q.top() ? p.top() < q.top() : p.left() < q.left();
    });
    // Kept with the sheet: without the room it grew into.
    done.shrink_to_fit();
    return done;
}

}  // namespace

QPoint TSchematicPin::Inward() const { return -Step(Side); }

QPoint TSchematicSymbol::Place(QPoint body) const
{
    QPoint p = body;
    switch (Rotation & 3) {
    case 1: p = QPoint(p.y(), -p.x()); break;
    case 2: p = -p; break;
    case 3: p = QPoint(-p.y(), p.x()); break;
    default: break;
    }
    if (HFlip) p.setX(-p.x());
    if (VFlip) p.setY(-p.y());
    return Anchor + p;
}

int TSchematicSheet::TextSize(const TFont& font) { return std::max(1, (7 * std::abs(font.Height()) + 5) / 10); }

TSchematicSheet::TSchematicSheet(const TDrawing& drawing, const TConnectivity& connectivity,
                                 const TObjectSettings& settings, QSize page)
    : page_(page)
{
    if (settings.Bitmap) {
        DesignationFont = settings.Bitmap->DesigFont();
        ValueFont = settings.Bitmap->ValueFont();
        PinNumberFont = settings.Bitmap->PinNumFont();
        PinNameFont = settings.Bitmap->PinStrFont();
    }
    AddComponents(drawing);
    AddWires(drawing, connectivity);
    AddMarks(drawing, connectivity, settings);
}

void TSchematicSheet::AddComponents(const TDrawing& drawing)
{
    const std::vector<const Bitmap*> components = drawing.Components();
    // Records of one designation that show different parts are units of one
    // part; a pin of a part that no record of the designation shows goes
    // with every unit.
    QHash<QByteArray, QSet<int>> partsShown;
    for (const Bitmap* c : components) partsShown[c->GetDesignation()].insert(c->GetPartNumber());

    QHash<QByteArray, std::size_t> bodyOf;
    // The units whose picture's ink is to be found, once the bodies are known.
    struct TInkJob {
        std::size_t Body, Unit;
        const Bitmap* Component;
        int Picture;
    };
    std::vector<TInkJob> inkJobs;
    for (const Bitmap* c : components) {
        const QByteArray designation = c->GetDesignation();
        QList<int> shown = partsShown[designation].values();
        std::sort(shown.begin(), shown.end());
        const int partCount = c->GetPartCount(), partNumber = c->GetPartNumber();
        const bool ownPart = partNumber >= 1 && partNumber <= partCount;

        // The body: everything of the record but its place and texts.
        QByteArray key;
        key += char(partCount);
        key += char(c->GetPinStyle());
        key += char(ownPart ? 0 : partNumber);
        for (const auto& block : c->GetPartBlocks()) key.append(reinterpret_cast<const char*>(block.data()), 16);
        for (const Bitmap::Pin& pin : c->GetPins()) key.append(reinterpret_cast<const char*>(pin.bytes.data()), 16);
        key += QByteArray::number(qulonglong(c->GetPictureArea().size())) + ':';
        key.append(reinterpret_cast<const char*>(c->GetPictureArea().data()), qsizetype(c->GetPictureArea().size()));
        for (const int part : shown) key += ',' + QByteArray::number(part);

        auto found = bodyOf.constFind(key);
        if (found == bodyOf.constEnd()) {
            TSchematicBody body;
            body.PinNames = c->GetPinStyle() < 5;
            const int length = c->PinLength();
            const int units = std::max(1, partCount);
            for (int u = 1; u <= units; ++u) {
                TSchematicUnit unit;
                // A part beyond the descriptors shows the first one; none
                // at all, a 1 x 1 outline.
                const int k = u - 1 < partCount ? u - 1 : 0;
                if (!c->GetPartBlocks().empty()) {
                    const std::uint8_t* d = c->GetPartBlocks()[std::size_t(k / 2)].data() + 4 * (k % 2);
                    unit.Size = QSize(10 * d[2] + 1, 10 * d[3] + 1);
                    if (d[0] != 0) {
                        unit.Outline = false;
                        inkJobs.push_back({bodies_.size(), body.Units.size(), c, d[0]});
                    }
                }
                const int own = (u == 1 && !ownPart) ? partNumber : u;
                for (const Bitmap::Pin& pin : c->GetPins()) {
                    if (pin.PinPart() != own && std::binary_search(shown.begin(), shown.end(), pin.PinPart())) continue;
                    TSchematicPin p;
                    p.Number = pin.Number();
                    p.Name = pin.Name();
                    p.PinPart = pin.PinPart();
                    p.ElectricalType = pin.ElectricalType();
                    p.Circle = pin.Circle();
                    p.Wedge = pin.Wedge();
                    p.Hidden = pin.Hidden();
                    // The direction of a side above 3 is taken as the turn
                    // takes it (its signed value, modulo 4); its edge point
                    // is the body point (-1, -1).
                    p.Side = ((int(std::int8_t(pin.SideByte())) % 4) + 4) % 4;
                    const int o = 10 * pin.OffsetUnits(), w = unit.Size.width(), h = unit.Size.height();
                    QPoint edge(-1, -1);
                    switch (pin.SideByte()) {
                    case 0: edge = QPoint(0, o); break;
                    case 1: edge = QPoint(o, h - 1); break;
                    case 2: edge = QPoint(w - 1, o); break;
                    case 3: edge = QPoint(o, 0); break;
                    default: break;
                    }
                    p.Length = length;
                    p.End = edge + length * Step(p.Side);
                    unit.Pins.push_back(std::move(p));
                }
                body.Units.push_back(std::move(unit));
            }
            found = bodyOf.insert(key, bodies_.size());
            bodies_.push_back(std::move(body));
        }

        TSchematicSymbol symbol;
        symbol.Component = c;
        symbol.Body = *found;
        symbol.Unit = ownPart ? partNumber : 1;
        symbol.Reference = QString::fromLatin1(designation);
        symbol.Anchor = c->GetAnchor();
        symbol.Rotation = c->GetRotation();
        symbol.HFlip = c->GetHFlip();
        symbol.VFlip = c->GetVFlip();
        symbols_.push_back(symbol);
    }

    // The ink of the pictures, on every core (a lack of memory on any is
    // thrown here).
    const int parts =
        int(std::min<std::size_t>(std::size_t(ThreadsFor(0)), std::max<std::size_t>(1, inkJobs.size() / 16)));
    RunParts(parts, [&](int k) {
        for (std::size_t j = std::size_t(k); j < inkJobs.size(); j += std::size_t(parts)) {
            const TInkJob& job = inkJobs[j];
            TSchematicUnit& unit = bodies_[job.Body].Units[job.Unit];
            unit.Ink = InkOf(job.Component->GetPictureArea(), job.Picture, unit.Size);
        }
    });

    // Names: the package text that all of a body's components show, else
    // the letters its first designation starts with.
    std::vector<int> shownBy(bodies_.size(), 0);  // 1: one package text so far, 2: several
    std::vector<QByteArray> package(bodies_.size()), letters(bodies_.size());
    for (const TSchematicSymbol& s : symbols_) {
        const QByteArray text = s.Component->GetPackage();
        if (shownBy[s.Body] == 0) {
            package[s.Body] = text;
            QByteArray prefix = s.Component->GetDesignation();
            qsizetype digit = 0;
            while (digit < prefix.size() && !(prefix[digit] >= '0' && prefix[digit] <= '9')) ++digit;
            letters[s.Body] = prefix.left(digit);
            shownBy[s.Body] = 1;
        } else if (package[s.Body] != text) {
            shownBy[s.Body] = 2;
        }
    }
    QSet<QString> names;
    QHash<QString, int> next;  // the next number to try after a name
    for (std::size_t b = 0; b < bodies_.size(); ++b) {
        const QString base = NameOf(shownBy[b] == 1 && !package[b].isEmpty() ? package[b] : letters[b]);
        QString name = base;
        int& n = next[base.toLower()];
        if (n == 0) n = 2;
        while (names.contains(name.toLower())) name = base + QLatin1Char('_') + QString::number(n++);
        names.insert(name.toLower());
        bodies_[b].Name = name;
    }
}

void TSchematicSheet::AddWires(const TDrawing& drawing, const TConnectivity& connectivity)
{
    std::vector<const LineData*> lines;
    std::vector<QPoint> dots;
    for (const auto& object : drawing.Objects()) {
        if (const auto* line = dynamic_cast<const LineData*>(object.get()))
            lines.push_back(line);
        else if (const auto* dot = dynamic_cast<const ::Junction*>(object.get()))
            dots.emplace_back(dot->X(), dot->Y());
    }
    const std::vector<TNet>& nets = connectivity.Nets();
    QHash<const LineData*, std::size_t> lineIndex, lineNet;
    for (std::size_t i = 0; i < lines.size(); ++i) lineIndex.insert(lines[i], i);
    for (std::size_t n = 0; n < nets.size(); ++n)
        for (const LineData* w : nets[n].Wires) lineNet.insert(w, n);

    // Where the drawing joins something to the inside of a wire.
    std::vector<std::vector<QPoint>> cuts(lines.size());
    std::vector<QPoint> joined = connectivity.Joins();
    joined.insert(joined.end(), dots.begin(), dots.end());
    for (const TNet& net : nets)
        for (const Annotate* label : net.Labels) joined.emplace_back(label->X(), label->Y());
    SortUnique(joined);
    for (const QPoint p : joined) {
        const std::optional<std::size_t> net = connectivity.NetAt(p);
        if (!net) continue;
        for (const LineData* w : nets[*net].Wires) {
            const QLine line(w->X1(), w->Y1(), w->X2(), w->Y2());
            if (p != line.p1() && p != line.p2() && OnWire(p, line)) cuts[lineIndex.value(w)].push_back(p);
        }
    }

    nets_.reserve(nets.size());
    for (const TNet& net : nets) {
        TSchematicNet n{net.Name, -1, {}};
        for (const TNetPin& pin : net.Pins) n.Pins.push_back({pin.Component, pin.PinNumber, pin.Hidden});
        nets_.push_back(std::move(n));
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineData& w = *lines[i];
        const QPoint a(w.X1(), w.Y1()), b(w.X2(), w.Y2());
        if (a == b) continue;  // a wire of no length joins only what meets at its pixel anyway
        std::vector<QPoint>& at = cuts[i];
        const auto along = [&](QPoint p) {
            return std::int64_t(p.x() - a.x()) * (b.x() - a.x()) + std::int64_t(p.y() - a.y()) * (b.y() - a.y());
        };
        std::sort(at.begin(), at.end(), [&](QPoint p, QPoint q) { return along(p) < along(q); });
        at.erase(std::unique(at.begin(), at.end()), at.end());
        const std::size_t net = lineNet.value(lines[i], std::size_t(-1));
        QPoint from = a;
        at.push_back(b);
        for (const QPoint to : at) {
            if (net < nets_.size() && nets_[net].FirstWire < 0) nets_[net].FirstWire = std::ptrdiff_t(wires_.size());
            wires_.emplace_back(from, to);
            wireNets_.push_back(net);
            from = to;
        }
    }

    junctions_ = connectivity.Joins();
    junctions_.insert(junctions_.end(), dots.begin(), dots.end());
    SortUnique(junctions_);
}

void TSchematicSheet::AddMarks(const TDrawing& drawing, const TConnectivity& connectivity,
                               const TObjectSettings& settings)
{
    QHash<const Annotate*, std::size_t> labelNet;
    const std::vector<TNet>& nets = connectivity.Nets();
    for (std::size_t n = 0; n < nets.size(); ++n)
        for (const Annotate* label : nets[n].Labels) labelNet.insert(label, n);
    std::vector<std::vector<std::size_t>> netWires(nets_.size());
    for (std::size_t w = 0; w < wires_.size(); ++w)
        if (wireNets_[w] < nets_.size()) netWires[wireNets_[w]].push_back(w);
    for (const TNetPin* pin : connectivity.NoConnects()) noConnects_.push_back(pin->End);
    SortUnique(noConnects_);

    for (const auto& object : drawing.Objects()) {
        if (const auto* annotation = dynamic_cast<const Annotate*>(object.get())) {
            TFont font;
            if (settings.Annotate) settings.Annotate->ApplyFont(font, annotation->FontChoice());
            const QString text = QString::fromLatin1(annotation->Text().AsText());
            const auto net = labelNet.constFind(annotation);
            if (net != labelNet.constEnd()) {
                const QPoint at(annotation->X(), annotation->Y());
                std::ptrdiff_t wire = -1;
                for (const std::size_t w : netWires[*net])
                    if (OnWire(at, wires_[w])) {
                        wire = std::ptrdiff_t(w);
                        break;
                    }
                labels_.push_back({at, text, font, *net, wire});
            } else if (!text.isEmpty())
                texts_.push_back({QPoint(annotation->X() + 10, annotation->Y()), text, font});
        } else if (const auto* marker = dynamic_cast<const Mod0x60*>(object.get())) {
            const QPoint at(marker->X(), marker->Y());
            if (!std::binary_search(noConnects_.begin(), noConnects_.end(), at, RowThenColumn)) crosses_.push_back(at);
        } else if (const auto* box = dynamic_cast<const DocBox*>(object.get())) {
            TSchematicBox b;
            b.Box = QRect(QPoint(box->X1(), box->Y1()), QPoint(box->X2(), box->Y2())).normalized();
            if (settings.DocBox) settings.DocBox->ApplyFont(b.Lines.Font, 0);
            b.Lines.At = QPoint(box->X1() + 10, box->Y1() + 5);
            QStringList lines;
            for (const QByteArray& line : box->Lines()) lines << QString::fromLatin1(line);
            b.Lines.Text = lines.join(QLatin1Char('\n'));
            boxes_.push_back(std::move(b));
        }
    }
}
