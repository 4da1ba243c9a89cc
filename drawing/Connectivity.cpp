#include "drawing/Connectivity.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <tuple>

#include "drawing/Annotate.h"
#include "drawing/Bitmap.h"
#include "drawing/Drawing.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"
#include "drawing/Naturalorder.h"

namespace {

constexpr std::size_t npos = std::size_t(-1);
constexpr int pwrType = 5;

// Disjoint sets of the drawing's conductors.
class TUnion {
public:
    std::uint32_t Add()
    {
        parent_.push_back(std::uint32_t(parent_.size()));
        size_.push_back(1);
        return parent_.back();
    }
    void Reserve(std::size_t n)
    {
        parent_.reserve(n);
        size_.reserve(n);
    }
    std::uint32_t Find(std::uint32_t x)
    {
        while (parent_[x] != x) {
            parent_[x] = parent_[parent_[x]];
            x = parent_[x];
        }
        return x;
    }
    void Join(std::uint32_t a, std::uint32_t b)
    {
        a = Find(a), b = Find(b);
        if (a == b) return;
        if (size_[a] < size_[b]) std::swap(a, b);
        parent_[b] = a;
        size_[a] += size_[b];
    }
    std::size_t Size() const { return parent_.size(); }

private:
    std::vector<std::uint32_t> parent_;
    std::vector<std::uint32_t> size_;
};

struct TSegment {
    int X1, Y1, X2, Y2;
    QPoint A() const { return {X1, Y1}; }
    QPoint B() const { return {X2, Y2}; }
};

// Whether p is a pixel of the segment: between its ends and no more than
// half a pixel from its line (for a wire across or down, exactly its pixels).
bool OnSegment(QPoint p, const TSegment& s)
{
    const std::int64_t dx = s.X2 - s.X1, dy = s.Y2 - s.Y1;
    const std::int64_t px = p.x() - s.X1, py = p.y() - s.Y1;
    if (dx == 0 && dy == 0) return px == 0 && py == 0;
    const std::int64_t length2 = dx * dx + dy * dy;
    const std::int64_t dot = px * dx + py * dy;
    if (dot < 0 || dot > length2) return false;
    const std::int64_t cross = px * dy - py * dx;
    return 4 * cross * cross <= length2;
}

// The distance of p from the segment as the larger of the steps across and
// down, and the segment's point nearest to p in that measure.
std::pair<double, QPoint> DistanceToSegment(QPoint p, const TSegment& s)
{
    const double dx = s.X2 - s.X1, dy = s.Y2 - s.Y1;
    const double u = p.x() - s.X1, v = p.y() - s.Y1;
    double candidates[6] = {0, 1, 0, 0, 0, 0};
    int n = 2;
    if (dx != 0) candidates[n++] = u / dx;
    if (dy != 0) candidates[n++] = v / dy;
    if (dx != dy) candidates[n++] = (u - v) / (dx - dy);
    if (dx != -dy) candidates[n++] = (u + v) / (dx + dy);
    double best = 1e300, bestT = 0;
    for (int i = 0; i < n; ++i) {
        const double t = std::clamp(candidates[i], 0.0, 1.0);
        const double d = std::max(std::fabs(u - t * dx), std::fabs(v - t * dy));
        if (d < best) best = d, bestT = t;
    }
    return {best, QPoint(int(std::lround(s.X1 + bestT * dx)), int(std::lround(s.Y1 + bestT * dy)))};
}

int Chebyshev(QPoint a, QPoint b) { return std::max(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())); }

bool RowThenColumn(QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }

int NaturalCompare(const QString& a, const QString& b) { return ::NaturalCompare(a.toLatin1(), b.toLatin1()); }

}  // namespace

// The page cut into square cells, each listing the wires that pass through
// it and the points that lie in it.
struct TConnectivity::TGrid {
    int Cell = 32;
    int Columns = 1, Rows = 1;
    std::vector<std::uint32_t> WireStart, WireList;    // by cell: offsets into WireList
    std::vector<std::uint32_t> PointStart, PointList;  // by cell: offsets into PointList

    void Size(int maxX, int maxY)
    {
        const int extent = std::max(maxX, maxY) + 1;
        while (extent / Cell > 1024) Cell *= 2;
        Columns = maxX / Cell + 1;
        Rows = maxY / Cell + 1;
    }
    std::size_t Cells() const { return std::size_t(Columns) * std::size_t(Rows); }
    int Column(int x) const { return std::clamp(x / Cell, 0, Columns - 1); }
    int Row(int y) const { return std::clamp(y / Cell, 0, Rows - 1); }
    std::size_t At(int column, int row) const { return std::size_t(row) * std::size_t(Columns) + std::size_t(column); }

    // Every cell the segment passes through, with a pixel to spare.
    template <class F> void ForEachCell(const TSegment& s, F&& f) const
    {
        const int xMin = std::min(s.X1, s.X2), xMax = std::max(s.X1, s.X2);
        const int firstColumn = Column(std::max(0, xMin - 1)), lastColumn = Column(xMax + 1);
        for (int c = firstColumn; c <= lastColumn; ++c) {
            int yLow, yHigh;
            if (s.X1 == s.X2) {
                yLow = std::min(s.Y1, s.Y2), yHigh = std::max(s.Y1, s.Y2);
            } else {
                const double xa = std::max<double>(xMin, c * Cell - 1), xb = std::min<double>(xMax, (c + 1) * Cell);
                const double slope = double(s.Y2 - s.Y1) / double(s.X2 - s.X1);
                const double ya = s.Y1 + (xa - s.X1) * slope, yb = s.Y1 + (xb - s.X1) * slope;
                yLow = int(std::floor(std::min(ya, yb))), yHigh = int(std::ceil(std::max(ya, yb)));
            }
            const int firstRow = Row(std::max(0, yLow - 1)), lastRow = Row(std::max(0, yHigh + 1));
            for (int r = firstRow; r <= lastRow; ++r) f(At(c, r));
        }
    }

    void AddWires(const std::vector<TSegment>& wires)
    {
        WireStart.assign(Cells() + 1, 0);
        for (const TSegment& s : wires) ForEachCell(s, [&](std::size_t cell) { ++WireStart[cell + 1]; });
        std::partial_sum(WireStart.begin(), WireStart.end(), WireStart.begin());
        WireList.resize(WireStart.back());
        std::vector<std::uint32_t> fill(WireStart.begin(), WireStart.end() - 1);
        for (std::size_t w = 0; w < wires.size(); ++w)
            ForEachCell(wires[w], [&](std::size_t cell) { WireList[fill[cell]++] = std::uint32_t(w); });
    }
    void AddPoints(const std::vector<QPoint>& points)
    {
        PointStart.assign(Cells() + 1, 0);
        for (const QPoint& p : points) ++PointStart[At(Column(p.x()), Row(p.y())) + 1];
        std::partial_sum(PointStart.begin(), PointStart.end(), PointStart.begin());
        PointList.resize(PointStart.back());
        std::vector<std::uint32_t> fill(PointStart.begin(), PointStart.end() - 1);
        for (std::size_t i = 0; i < points.size(); ++i)
            PointList[fill[At(Column(points[i].x()), Row(points[i].y()))]++] = std::uint32_t(i);
    }
    // The wires listed in the cell of p (each wire through p is among them).
    template <class F> void WiresAt(QPoint p, F&& f) const
    {
        if (p.x() < 0 || p.y() < 0) return;
        const std::size_t cell = At(Column(p.x()), Row(p.y()));
        for (std::uint32_t i = WireStart[cell]; i < WireStart[cell + 1]; ++i) f(WireList[i]);
    }
    // The wires and points listed in the cells within `reach` of p; a wire
    // may come more than once.
    template <class F> void WiresNear(QPoint p, int reach, F&& f) const
    {
        for (int r = Row(std::max(0, p.y() - reach)); r <= Row(std::max(0, p.y() + reach)); ++r)
            for (int c = Column(std::max(0, p.x() - reach)); c <= Column(std::max(0, p.x() + reach)); ++c) {
                const std::size_t cell = At(c, r);
                for (std::uint32_t i = WireStart[cell]; i < WireStart[cell + 1]; ++i) f(WireList[i]);
            }
    }
    template <class F> void PointsNear(QPoint p, int reach, F&& f) const
    {
        for (int r = Row(std::max(0, p.y() - reach)); r <= Row(std::max(0, p.y() + reach)); ++r)
            for (int c = Column(std::max(0, p.x() - reach)); c <= Column(std::max(0, p.x() + reach)); ++c) {
                const std::size_t cell = At(c, r);
                for (std::uint32_t i = PointStart[cell]; i < PointStart[cell + 1]; ++i) f(PointList[i]);
            }
    }
};

QString TNetPin::Text() const { return Designation + QStringLiteral(" pin ") + PinNumber; }

TConnectivity::TConnectivity(const TDrawing& drawing) { Build(drawing); }

TConnectivity::~TConnectivity() = default;

bool TConnectivity::IsNetLabel(const QString& text)
{
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    return true;
}

bool TConnectivity::IsNetLabel(const Annotate& annotation)
{
    return IsNetLabel(QString::fromLatin1(annotation.Text().AsText()));
}

QString TConnectivity::TypeName(int electricalType)
{
    return QString::fromLatin1(Bitmap::ElectricalTypeName(electricalType));
}

bool TConnectivity::OnWire(QPoint pagePoint, const LineData& wire)
{
    return OnSegment(pagePoint, {wire.X1(), wire.Y1(), wire.X2(), wire.Y2()});
}

void TConnectivity::Build(const TDrawing& drawing)
{
    // The objects that take part, in file order.
    std::vector<const Bitmap*> components;
    std::vector<const Junction*> junctions;
    std::vector<const Annotate*> annotations;
    std::vector<QPoint> markers;
    for (const auto& object : drawing.Objects()) {
        const QuorvidObject* o = object.get();
        if (const auto* line = dynamic_cast<const LineData*>(o))
            wires_.push_back(line);
        else if (const auto* junction = dynamic_cast<const Junction*>(o))
            junctions.push_back(junction);
        else if (const auto* annotation = dynamic_cast<const Annotate*>(o))
            annotations.push_back(annotation);
        else if (const auto* marker = dynamic_cast<const Mod0x60*>(o))
            markers.emplace_back(marker->X(), marker->Y());
        else if (const auto* component = dynamic_cast<const Bitmap*>(o))
            components.push_back(component);
    }
    std::vector<TSegment> segments;
    segments.reserve(wires_.size());
    for (const LineData* w : wires_) segments.push_back({w->X1(), w->Y1(), w->X2(), w->Y2()});

    // The pins of every part. Records of one designation that show
    // different parts are units of one part; several records of one
    // designation and part are separate components (each its own copy).
    std::vector<std::size_t> pinKey;  // pins of one key are one pin
    {
        QHash<QByteArray, QSet<int>> partsShown;
        for (const Bitmap* c : components) partsShown[c->GetDesignation()].insert(c->GetPartNumber());
        QHash<QByteArray, int> copies;  // designation + part -> records so far
        QHash<QByteArray, std::size_t> keys;
        for (const Bitmap* c : components) {
            const QByteArray designation = c->GetDesignation();
            const QByteArray unit = designation + '\0' + QByteArray::number(c->GetPartNumber());
            const int copy = copies[unit]++;
            const QSet<int>& shown = partsShown[designation];
            const auto& pins = c->GetPins();
            for (std::size_t i = 0; i < pins.size(); ++i) {
                const Bitmap::Pin& pin = pins[i];
                if (pin.PinPart() != c->GetPartNumber() && shown.contains(pin.PinPart())) continue;
                TNetPin p;
                p.Component = c;
                p.Designation = QString::fromLatin1(designation);
                p.PinNumber = QString::fromLatin1(pin.Number());
                p.PinName = QString::fromLatin1(DisplayPinName(pin.Name()));
                p.ElectricalType = pin.ElectricalType();
                p.Type = TypeName(p.ElectricalType);
                p.End = c->PinEnd(pin);
                p.Hidden = pin.Hidden();
                p.Index = int(i);
                // A pin without a number is a pin of its own.
                QByteArray key = designation + '\0' + QByteArray::number(copy) + '\0' + pin.Number();
                if (pin.Number().isEmpty())
                    key += '\1' + QByteArray::number(quintptr(c)) + '\1' + QByteArray::number(qulonglong(i));
                const auto found = keys.constFind(key);
                pinKey.push_back(found != keys.constEnd() ? *found : keys.size());
                if (found == keys.constEnd()) keys.insert(key, pinKey.back());
                pins_.push_back(std::move(p));
            }
        }
    }

    // Nodes: the wires, the pins, the junctions, then one per name.
    const std::uint32_t wireBase = 0;
    const std::uint32_t pinBase = std::uint32_t(wires_.size());
    const std::uint32_t junctionBase = pinBase + std::uint32_t(pins_.size());
    TUnion sets;
    sets.Reserve(junctionBase + junctions.size() + 64);
    for (std::size_t i = 0; i < junctionBase + junctions.size(); ++i) sets.Add();
    {
        std::vector<std::uint32_t> firstOfKey(pins_.size(), std::uint32_t(-1));
        for (std::size_t i = 0; i < pins_.size(); ++i) {
            std::uint32_t& first = firstOfKey[pinKey[i]];
            if (first == std::uint32_t(-1))
                first = pinBase + std::uint32_t(i);
            else
                sets.Join(first, pinBase + std::uint32_t(i));
        }
    }

    // Connection points.
    enum class TKind : std::uint8_t { PinEnd, WireEnd, JunctionPoint };
    struct TPoint {
        QPoint At;
        std::uint32_t Node;
        TKind Kind;
        std::uint32_t Index;  // of the pin, wire or junction
        bool Touches = false;
    };
    std::vector<TPoint> points;
    points.reserve(pins_.size() + 2 * wires_.size() + junctions.size());
    for (std::size_t i = 0; i < pins_.size(); ++i)
        if (!pins_[i].Hidden) points.push_back({pins_[i].End, pinBase + std::uint32_t(i), TKind::PinEnd, std::uint32_t(i)});
    for (std::size_t w = 0; w < segments.size(); ++w) {
        points.push_back({segments[w].A(), wireBase + std::uint32_t(w), TKind::WireEnd, std::uint32_t(w)});
        points.push_back({segments[w].B(), wireBase + std::uint32_t(w), TKind::WireEnd, std::uint32_t(w)});
    }
    for (std::size_t j = 0; j < junctions.size(); ++j)
        points.push_back({QPoint(junctions[j]->X(), junctions[j]->Y()), junctionBase + std::uint32_t(j),
                          TKind::JunctionPoint, std::uint32_t(j)});

    // The grid over everything.
    int maxX = 0, maxY = 0;
    for (const TPoint& p : points) maxX = std::max(maxX, p.At.x()), maxY = std::max(maxY, p.At.y());
    for (const Annotate* a : annotations) maxX = std::max(maxX, a->X()), maxY = std::max(maxY, a->Y());
    grid_ = std::make_unique<TGrid>();
    grid_->Size(maxX, maxY);
    grid_->AddWires(segments);
    {
        std::vector<QPoint> at;
        at.reserve(points.size());
        for (const TPoint& p : points) at.push_back(p.At);
        grid_->AddPoints(at);
    }

    // Points at the same pixel.
    std::vector<std::uint32_t> byPlace(points.size());
    std::iota(byPlace.begin(), byPlace.end(), 0u);
    std::sort(byPlace.begin(), byPlace.end(), [&](std::uint32_t a, std::uint32_t b) {
        return RowThenColumn(points[a].At, points[b].At);
    });
    for (std::size_t i = 0; i < byPlace.size();) {
        std::size_t end = i + 1;
        while (end < byPlace.size() && points[byPlace[end]].At == points[byPlace[i]].At) ++end;
        for (std::size_t k = i + 1; k < end; ++k) sets.Join(points[byPlace[i]].Node, points[byPlace[k]].Node);
        // A point touches another when one there belongs to something else
        // (the two ends of a wire of no length are the same thing).
        for (std::size_t k = i; k < end; ++k)
            for (std::size_t m = i; m < end; ++m)
                if (points[byPlace[k]].Node != points[byPlace[m]].Node) {
                    points[byPlace[k]].Touches = true;
                    break;
                }
        i = end;
    }

    // Points on wires.
    for (TPoint& p : points) {
        const std::uint32_t own = p.Kind == TKind::WireEnd ? p.Index : std::uint32_t(-1);
        grid_->WiresAt(p.At, [&](std::uint32_t w) {
            if (w == own || !OnSegment(p.At, segments[w])) return;
            sets.Join(p.Node, wireBase + w);
            p.Touches = true;
            if (p.Kind != TKind::JunctionPoint && p.At != segments[w].A() && p.At != segments[w].B())
                joins_.push_back(p.At);
        });
    }

    // What is joined by the drawing's geometry alone, before names join nets.
    std::vector<std::uint32_t> geometric(sets.Size());
    for (std::size_t i = 0; i < geometric.size(); ++i) geometric[i] = sets.Find(std::uint32_t(i));

    // Names: net labels on wires and pin ends, hidden power pins.
    std::map<QString, std::uint32_t> nameNodes;
    const auto nameNode = [&](const QString& name) {
        const auto found = nameNodes.find(name);
        if (found != nameNodes.end()) return found->second;
        const std::uint32_t node = sets.Add();
        nameNodes.emplace(name, node);
        return node;
    };
    std::vector<std::uint32_t> labelNode(annotations.size(), std::uint32_t(-1));
    std::vector<bool> labelledWire(segments.size(), false);
    for (std::size_t a = 0; a < annotations.size(); ++a) {
        const Annotate& label = *annotations[a];
        if (!IsNetLabel(label)) continue;
        const QPoint anchor(label.X(), label.Y());
        const QString text = QString::fromLatin1(label.Text().AsText());
        bool on = false;
        std::uint32_t node = 0;
        const auto name = [&](std::uint32_t target) {
            if (!on) node = nameNode(text);
            on = true;
            sets.Join(node, target);
        };
        grid_->WiresAt(anchor, [&](std::uint32_t w) {
            if (!OnSegment(anchor, segments[w])) return;
            name(wireBase + w);
            labelledWire[w] = true;
        });
        grid_->PointsNear(anchor, 0, [&](std::uint32_t i) {
            if (points[i].Kind == TKind::PinEnd && points[i].At == anchor) {
                name(points[i].Node);
                points[i].Touches = true;
            }
        });
        if (on) {
            labelNode[a] = node;
            continue;
        }
        // Beside a wire but on nothing.
        TLabelOffWire off;
        off.Label = &label;
        double best = nearMissPixels + 0.5;
        grid_->WiresNear(anchor, nearMissPixels, [&](std::uint32_t w) {
            const auto [d, nearest] = DistanceToSegment(anchor, segments[w]);
            if (d <= nearMissPixels && d < best) {
                best = d;
                off.Near = nearest;
                off.Distance = std::max(1, int(std::ceil(d - 1e-9)));
            }
        });
        if (off.Distance > 0) labelsOffWire_.push_back(off);
    }
    for (std::size_t i = 0; i < pins_.size(); ++i) {
        const TNetPin& p = pins_[i];
        if (p.Hidden && p.ElectricalType == pwrType && !p.PinName.isEmpty())
            sets.Join(pinBase + std::uint32_t(i), nameNode(p.PinName));
    }

    // Ends that touch nothing; marked pins.
    QSet<std::uint64_t> marked;
    const auto placeKey = [](QPoint p) { return (std::uint64_t(std::uint32_t(p.y())) << 32) | std::uint32_t(p.x()); };
    for (const QPoint& m : markers) marked.insert(placeKey(m));
    for (const TPoint& p : points) {
        if (p.Kind == TKind::WireEnd && labelledWire[p.Index]) continue;
        if (p.Touches) continue;
        loosePoints_.push_back(p.At);
        if (p.Kind == TKind::WireEnd) danglingEnds_.push_back(p.At);
        if (p.Kind == TKind::PinEnd && !marked.contains(placeKey(p.At))) loosePins_.push_back(pins_[p.Index]);
    }
    for (const TPoint& p : points)
        if (p.Kind == TKind::PinEnd && marked.contains(placeKey(p.At))) noConnects_.push_back(pins_[p.Index]);

    // Near misses: the nearest wire or point within reach that the end
    // neither touches nor is joined to by the drawing.
    {
        QSet<QPair<std::uint64_t, std::uint64_t>> pairs;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const TPoint& p = points[i];
            if (p.Kind == TKind::JunctionPoint) continue;
            const std::uint32_t own = geometric[p.Node];
            TNearMiss miss;
            double best = nearMissPixels + 0.5;
            std::uint32_t nearPoint = std::uint32_t(-1);
            grid_->PointsNear(p.At, nearMissPixels, [&](std::uint32_t k) {
                const TPoint& q = points[k];
                const int d = Chebyshev(p.At, q.At);
                if (d == 0 || d > nearMissPixels || geometric[q.Node] == own) return;
                if (d < best || (d == best && q.Kind == TKind::PinEnd && nearPoint != std::uint32_t(-1) &&
                                 points[nearPoint].Kind != TKind::PinEnd)) {
                    best = d;
                    nearPoint = k;
                }
            });
            if (nearPoint != std::uint32_t(-1)) {
                miss.Near = points[nearPoint].At;
                miss.Distance = int(best);
                if (points[nearPoint].Kind == TKind::PinEnd) miss.NearPin = pins_[points[nearPoint].Index];
            }
            grid_->WiresNear(p.At, nearMissPixels, [&](std::uint32_t w) {
                if (geometric[wireBase + w] == own) return;
                const auto [d, nearest] = DistanceToSegment(p.At, segments[w]);
                if (d > nearMissPixels || d >= best - 1e-9 || OnSegment(p.At, segments[w])) return;
                best = d;
                nearPoint = std::uint32_t(-1);
                miss.Near = nearest;
                miss.NearWire = true;
                miss.NearPin.reset();
                miss.Distance = std::max(1, int(std::ceil(d - 1e-9)));
            });
            if (miss.Distance == 0) continue;
            miss.At = p.At;
            if (p.Kind == TKind::PinEnd) miss.Pin = pins_[p.Index];
            // Two ends that miss each other are one miss.
            if (!miss.NearWire) {
                const std::uint64_t a = placeKey(p.At), b = placeKey(miss.Near);
                const auto pair = qMakePair(std::min(a, b), std::max(a, b));
                if (pairs.contains(pair)) continue;
                pairs.insert(pair);
            }
            nearMisses_.push_back(std::move(miss));
        }
        std::stable_sort(nearMisses_.begin(), nearMisses_.end(),
                         [](const TNearMiss& a, const TNearMiss& b) { return RowThenColumn(a.At, b.At); });
    }

    // The nets: every set that holds a wire or a pin.
    std::vector<std::size_t> netOfRoot(sets.Size(), npos);
    std::vector<std::size_t> firstNode;  // by net: the node it was found from
    const auto netOf = [&](std::uint32_t node) {
        const std::uint32_t root = sets.Find(node);
        if (netOfRoot[root] == npos) {
            netOfRoot[root] = nets_.size();
            nets_.emplace_back();
            firstNode.push_back(node);
        }
        return netOfRoot[root];
    };
    wireNet_.resize(wires_.size());
    for (std::size_t w = 0; w < wires_.size(); ++w) {
        wireNet_[w] = netOf(wireBase + std::uint32_t(w));
        nets_[wireNet_[w]].Wires.push_back(wires_[w]);
    }
    pinNet_.resize(pins_.size());
    std::vector<std::vector<std::size_t>> netPinKeys;
    for (std::size_t i = 0; i < pins_.size(); ++i) {
        pinNet_[i] = netOf(pinBase + std::uint32_t(i));
        nets_[pinNet_[i]].Pins.push_back(pins_[i]);
        if (netPinKeys.size() < nets_.size()) netPinKeys.resize(nets_.size());
        netPinKeys[pinNet_[i]].push_back(pinKey[i]);
    }
    netPinKeys.resize(nets_.size());
    std::vector<bool> otherPoints(nets_.size(), false);
    for (const TPoint& p : points) {
        const std::size_t net = netOfRoot[sets.Find(p.Node)];
        if (net == npos) continue;
        nets_[net].Points.push_back(p.At);
        pointNets_.push_back({p.At, net});
        if (p.Kind != TKind::PinEnd) otherPoints[net] = true;
    }
    for (std::size_t a = 0; a < annotations.size(); ++a)
        if (labelNode[a] != std::uint32_t(-1)) {
            const std::size_t net = netOfRoot[sets.Find(labelNode[a])];
            if (net != npos) nets_[net].Labels.push_back(annotations[a]);
        }

    // Names.
    std::vector<std::vector<QString>> names(nets_.size());
    for (const auto& [name, node] : nameNodes) {
        const std::size_t net = netOfRoot[sets.Find(node)];
        if (net != npos) names[net].push_back(name);
    }
    for (std::size_t n = 0; n < nets_.size(); ++n) {
        TNet& net = nets_[n];
        std::stable_sort(net.Pins.begin(), net.Pins.end(), [](const TNetPin& a, const TNetPin& b) {
            const int byDesignation = NaturalCompare(a.Designation, b.Designation);
            if (byDesignation != 0) return byDesignation < 0;
            return NaturalCompare(a.PinNumber, b.PinNumber) < 0;
        });
        std::sort(net.Points.begin(), net.Points.end(), RowThenColumn);
        net.Points.erase(std::unique(net.Points.begin(), net.Points.end()), net.Points.end());
        // Label names first, then those of hidden power pins, each in natural order.
        std::vector<QString> labelNames, pinNames;
        for (const QString& name : names[n]) {
            const bool fromLabel = std::any_of(net.Labels.begin(), net.Labels.end(), [&](const Annotate* a) {
                return QString::fromLatin1(a->Text().AsText()) == name;
            });
            (fromLabel ? labelNames : pinNames).push_back(name);
        }
        const auto natural = [](const QString& a, const QString& b) { return NaturalCompare(a, b) < 0; };
        std::sort(labelNames.begin(), labelNames.end(), natural);
        std::sort(pinNames.begin(), pinNames.end(), natural);
        std::vector<std::size_t>& keys = netPinKeys[n];
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        if (!labelNames.empty() || !pinNames.empty()) {
            net.Name = !labelNames.empty() ? labelNames.front() : pinNames.front();
            net.Named = true;
        } else if (!net.Pins.empty()) {
            const TNetPin& first = net.Pins.front();
            net.Unconnected = net.Wires.empty() && keys.size() == 1 && !otherPoints[n];
            net.Name = (net.Unconnected ? QStringLiteral("unconnected-(") : QStringLiteral("Net-(")) +
                       first.Designation + QStringLiteral("-Pad") + first.PinNumber + QLatin1Char(')');
        } else {
            const LineData* w = net.Wires.front();
            net.Name = QStringLiteral("Net-(%1,%2)").arg(w->X1()).arg(w->Y1());
        }
    }

    // The order: named nets by name, then the others by name.
    std::vector<std::size_t> order(nets_.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (nets_[a].Named != nets_[b].Named) return nets_[a].Named;
        if (!nets_[a].Named && nets_[a].Pins.empty() != nets_[b].Pins.empty()) return nets_[b].Pins.empty();
        return NaturalCompare(nets_[a].Name, nets_[b].Name) < 0;
    });
    std::vector<std::size_t> place(nets_.size());
    for (std::size_t i = 0; i < order.size(); ++i) place[order[i]] = i;
    std::vector<TNet> sorted;
    sorted.reserve(nets_.size());
    for (std::size_t i : order) sorted.push_back(std::move(nets_[i]));
    nets_ = std::move(sorted);
    for (std::size_t& n : wireNet_) n = place[n];
    for (std::size_t& n : pinNet_) n = place[n];
    for (TPointNet& p : pointNets_) p.Net = place[p.Net];
    std::sort(pointNets_.begin(), pointNets_.end(),
              [](const TPointNet& a, const TPointNet& b) { return RowThenColumn(a.At, b.At); });

    std::sort(joins_.begin(), joins_.end(), RowThenColumn);
    joins_.erase(std::unique(joins_.begin(), joins_.end()), joins_.end());
    std::sort(loosePoints_.begin(), loosePoints_.end(), RowThenColumn);
    loosePoints_.erase(std::unique(loosePoints_.begin(), loosePoints_.end()), loosePoints_.end());
    std::sort(danglingEnds_.begin(), danglingEnds_.end(), RowThenColumn);
    const auto byPin = [](const TNetPin& a, const TNetPin& b) {
        const int byDesignation = NaturalCompare(a.Designation, b.Designation);
        if (byDesignation != 0) return byDesignation < 0;
        return NaturalCompare(a.PinNumber, b.PinNumber) < 0;
    };
    std::stable_sort(noConnects_.begin(), noConnects_.end(), byPin);
    std::stable_sort(loosePins_.begin(), loosePins_.end(), byPin);
}

std::optional<std::size_t> TConnectivity::NetAt(QPoint pagePoint) const
{
    const auto at = std::lower_bound(pointNets_.begin(), pointNets_.end(), pagePoint,
                                     [](const TPointNet& p, QPoint q) { return RowThenColumn(p.At, q); });
    if (at != pointNets_.end() && at->At == pagePoint) return at->Net;
    std::optional<std::size_t> net;
    if (!grid_) return net;
    grid_->WiresAt(pagePoint, [&](std::uint32_t w) {
        if (net) return;
        const LineData* line = wires_[w];
        if (OnSegment(pagePoint, {line->X1(), line->Y1(), line->X2(), line->Y2()})) net = wireNet_[w];
    });
    return net;
}
