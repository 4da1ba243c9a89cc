#include "drawing/Connectivity.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <numeric>
#include <string_view>
#include <typeinfo>

#include "base/Parallel.h"
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
    if (s.Y1 == s.Y2) return p.y() == s.Y1 && p.x() >= std::min(s.X1, s.X2) && p.x() <= std::max(s.X1, s.X2);
    if (s.X1 == s.X2) return p.x() == s.X1 && p.y() >= std::min(s.Y1, s.Y2) && p.y() <= std::max(s.Y1, s.Y2);
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

// A length-prefixed text field of a pin record as Bitmap::Pin reads it (the
// length cut to the field, a zero byte ending the text), without a copy: it
// lives as long as the record.
QByteArray PinField(const Bitmap::Pin& pin, int offset, int maxChars)
{
    const std::uint8_t* field = pin.bytes.data() + offset;
    const int length = std::min<int>(field[0], maxChars);
    int used = 0;
    while (used < length && field[1 + used] != 0) ++used;
    return QByteArray::fromRawData(reinterpret_cast<const char*>(field + 1), used);
}

int Chebyshev(QPoint a, QPoint b) { return std::max(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())); }

bool RowThenColumn(QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }

// A key of a page point that sorts by row, then column.
std::uint64_t PlaceKey(QPoint p)
{
    return (std::uint64_t(std::uint32_t(p.y()) ^ 0x80000000u) << 32) | (std::uint32_t(p.x()) ^ 0x80000000u);
}

// Texts one after another as one text, made at its size at once.
struct TTextPiece {
    TTextPiece(const char* text) : Latin1(text) {}
    TTextPiece(std::string_view text) : Latin1(text) {}
    TTextPiece(const QString& text) : Text(&text) {}
    std::string_view Latin1;
    const QString* Text = nullptr;
    qsizetype Size() const { return Text ? Text->size() : qsizetype(Latin1.size()); }
};
QString JoinedText(std::initializer_list<TTextPiece> pieces)
{
    qsizetype size = 0;
    for (const TTextPiece& piece : pieces) size += piece.Size();
    QString joined(size, Qt::Uninitialized);
    QChar* out = joined.data();
    for (const TTextPiece& piece : pieces)
        if (piece.Text)
            out = std::copy(piece.Text->cbegin(), piece.Text->cend(), out);
        else
            for (const char c : piece.Latin1) *out++ = QLatin1Char(c);
    return joined;
}

int NaturalCompare(const QString& a, const QString& b) { return ::NaturalCompare(a.toLatin1(), b.toLatin1()); }

// Texts that repeat, each kept once with its place in natural order.
struct TText {
    QByteArray Bytes;
    QString Text;
    std::uint32_t Rank = 0;
};
struct TTextTable {
    std::vector<TText> List;
    QHash<QByteArray, std::uint32_t> Index;
    // Texts of up to seven bytes (every pin number and name) are
    // looked up by their bytes and length in one word, in a table
    // of their own that is at most half full.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> Short =
        std::vector<std::pair<std::uint64_t, std::uint32_t>>(64, {0, 0});
    std::size_t ShortUsed = 0;
    std::uint32_t Add(const QByteArray& bytes, QString (*make)(const QByteArray&))
    {
        List.push_back({QByteArray(bytes.constData(), bytes.size()), make(bytes), 0});
        return std::uint32_t(List.size() - 1);
    }
    static std::size_t Slot(std::uint64_t key, std::size_t size)
    {
        return std::size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
    }
    std::uint32_t Of(const QByteArray& bytes, QString (*make)(const QByteArray&))
    {
        if (bytes.size() <= 7) {
            std::uint64_t key = std::uint64_t(bytes.size() + 1) << 56;
            std::memcpy(&key, bytes.constData(), std::size_t(bytes.size()));
            for (std::size_t i = Slot(key, Short.size());; i = (i + 1) & (Short.size() - 1)) {
                if (Short[i].first == key) return Short[i].second;
                if (Short[i].first != 0) continue;
                Short[i] = {key, Add(bytes, make)};
                if (++ShortUsed * 2 > Short.size()) Regrow();
                return std::uint32_t(List.size() - 1);
            }
        }
        const auto found = Index.constFind(bytes);
        if (found != Index.constEnd()) return *found;
        const std::uint32_t added = Add(bytes, make);
        Index.insert(List.back().Bytes, added);
        return added;
    }
    void Regrow()
    {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> old(Short.size() * 2, {0, 0});
        old.swap(Short);
        for (const auto& entry : old)
            if (entry.first != 0) {
                std::size_t i = Slot(entry.first, Short.size());
                while (Short[i].first != 0) i = (i + 1) & (Short.size() - 1);
                Short[i] = entry;
            }
    }
    // Each its place in natural order.
    void Rank()
    {
        std::vector<std::uint32_t> order(List.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return NaturalLess(List[a].Bytes, List[b].Bytes); });
        for (std::size_t k = 0; k < order.size(); ++k) List[order[k]].Rank = std::uint32_t(k);
    }
};

// Sorts items stably by their keys (keys[i] the key of items[i], none above
// largest), by radix: 8 bits a pass (few enough places to write to at once
// for the caches), as many passes as largest needs.
template <class T>
void RadixSort(std::vector<T>& items, std::vector<std::uint32_t> keys, std::uint32_t largest)
{
    std::vector<T> other(items.size());
    std::vector<std::uint32_t> otherKeys(items.size());
    for (int shift = 0; shift < 32 && largest >> shift; shift += 8) {
        std::uint32_t start[257] = {};
        for (std::uint32_t key : keys) ++start[((key >> shift) & 0xFF) + 1];
        std::partial_sum(std::begin(start), std::end(start), std::begin(start));
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::uint32_t to = start[(keys[i] >> shift) & 0xFF]++;
            other[to] = std::move(items[i]);
            otherKeys[to] = keys[i];
        }
        items.swap(other);
        keys.swap(otherKeys);
    }
}

// Sorts items stably by their place, row then column: by radix, on the
// place counted from the items' own corner, when the items span at most
// 2^32 places.
template <class T, class At>
void SortByPlace(std::vector<T>& items, At at)
{
    if (items.size() < 2) return;
    int left = at(items[0]).x(), right = left, top = at(items[0]).y(), bottom = top;
    for (const T& item : items) {
        const QPoint p = at(item);
        left = std::min(left, p.x()), right = std::max(right, p.x());
        top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
    }
    const std::uint64_t columns = std::uint64_t(std::int64_t(right) - left) + 1;
    const std::uint64_t places = columns * (std::uint64_t(std::int64_t(bottom) - top) + 1);
    if (places > (std::uint64_t(1) << 32)) {
        std::stable_sort(items.begin(), items.end(),
                         [&](const T& a, const T& b) { return PlaceKey(at(a)) < PlaceKey(at(b)); });
        return;
    }
    std::vector<std::uint32_t> keys(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QPoint p = at(items[i]);
        keys[i] = std::uint32_t(std::uint64_t(std::int64_t(p.y()) - top) * columns +
                                std::uint64_t(std::int64_t(p.x()) - left));
    }
    RadixSort(items, std::move(keys), std::uint32_t(places - 1));
}

}  // namespace

// The page cut into square cells, each listing the wires that pass through
// it and the points that lie in it.
struct TConnectivity::TGrid {
    int Cell = 16;
    int Columns = 1, Rows = 1;
    std::vector<std::uint32_t> WireStart, WireList;    // by cell: offsets into WireList
    std::vector<std::uint32_t> PointStart, PointList;  // by cell: offsets into PointList

    // Cells small enough to part the objects, large enough that the lists
    // of all cells stay within a few entries per object however long the
    // wires are.
    void Size(int maxX, int maxY, const std::vector<TSegment>& wires, const std::vector<std::uint32_t>& listed,
              int cell)
    {
        Cell = cell;
        const int extent = std::max(maxX, maxY) + 1;
        while (extent / Cell > 1024) Cell *= 2;
        const auto entries = [&](int side) {
            double total = 0;
            for (std::uint32_t w : listed) {
                const TSegment& s = wires[w];
                total += double(std::abs(s.X2 - s.X1) + std::abs(s.Y2 - s.Y1)) / side * 3 + 9;
            }
            return total;
        };
        const double budget = 16.0 * double(listed.size()) + double(1 << 20);
        while (Cell < 65536 && entries(Cell) > budget) Cell *= 2;
        Columns = maxX / Cell + 1;
        Rows = maxY / Cell + 1;
    }
    std::size_t Cells() const { return std::size_t(Columns) * std::size_t(Rows); }
    int Column(int x) const { return std::clamp(x / Cell, 0, Columns - 1); }
    int Row(int y) const { return std::clamp(y / Cell, 0, Rows - 1); }
    std::size_t At(int column, int row) const { return std::size_t(row) * std::size_t(Columns) + std::size_t(column); }

    // Every cell the segment passes through, with a pixel to spare.
    template <class F>
    void ForEachCell(const TSegment& s, F&& f) const
    {
        const int xMin = std::min(s.X1, s.X2), xMax = std::max(s.X1, s.X2);
        if (s.Y1 == s.Y2 || s.X1 == s.X2) {
            // Across or down: the cells of its box.
            const int yMin = std::min(s.Y1, s.Y2), yMax = std::max(s.Y1, s.Y2);
            const int firstRow = Row(std::max(0, yMin - 1)), lastRow = Row(yMax + 1);
            const int firstColumn = Column(std::max(0, xMin - 1)), lastColumn = Column(xMax + 1);
            for (int r = firstRow; r <= lastRow; ++r)
                for (int c = firstColumn; c <= lastColumn; ++c) f(At(c, r));
            return;
        }
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

    void AddWires(const std::vector<TSegment>& wires, const std::vector<std::uint32_t>& listed)
    {
        // The wires of each cell counted, then listed cell by cell.
        WireStart.assign(Cells() + 1, 0);
        for (std::uint32_t w : listed) ForEachCell(wires[w], [&](std::size_t cell) { ++WireStart[cell + 1]; });
        std::partial_sum(WireStart.begin(), WireStart.end(), WireStart.begin());
        WireList.resize(WireStart.back());
        std::vector<std::uint32_t> fill(WireStart.begin(), WireStart.end() - 1);
        for (std::uint32_t w : listed) ForEachCell(wires[w], [&](std::size_t cell) { WireList[fill[cell]++] = w; });
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
    template <class F>
    void WiresAt(QPoint p, F&& f) const
    {
        if (p.x() < 0 || p.y() < 0) return;
        const std::size_t cell = At(Column(p.x()), Row(p.y()));
        for (std::uint32_t i = WireStart[cell]; i < WireStart[cell + 1]; ++i) f(WireList[i]);
    }
    // The wires and points listed in the cells within `reach` of p; a wire
    // may come more than once.
    template <class F>
    void WiresNear(QPoint p, int reach, F&& f) const
    {
        for (int r = Row(std::max(0, p.y() - reach)); r <= Row(std::max(0, p.y() + reach)); ++r)
            for (int c = Column(std::max(0, p.x() - reach)); c <= Column(std::max(0, p.x() + reach)); ++c) {
                const std::size_t cell = At(c, r);
                for (std::uint32_t i = WireStart[cell]; i < WireStart[cell + 1]; ++i) f(WireList[i]);
            }
    }
    template <class F>
    void PointsNear(QPoint p, int reach, F&& f) const
    {
        for (int r = Row(std::max(0, p.y() - reach)); r <= Row(std::max(0, p.y() + reach)); ++r)
            for (int c = Column(std::max(0, p.x() - reach)); c <= Column(std::max(0, p.x() + reach)); ++c) {
                const std::size_t cell = At(c, r);
                for (std::uint32_t i = PointStart[cell]; i < PointStart[cell + 1]; ++i) f(PointList[i]);
            }
    }
};

// The state the near misses are looked for in: every pixel that holds
// points, with the pin whose end is there, whether a wire ends there and what
// the geometry joins it to; the wires and what the geometry joins each to.
struct TConnectivity::TNearState {
    struct TNearPixel {
        QPoint At;
        std::int64_t Pin;  // in Pins(), -1 for none
        bool WireEnd;
        std::uint32_t Root;
    };
    std::vector<TNearPixel> Pixels;
    std::vector<TSegment> Segments;
    std::vector<std::uint32_t> WireRoot;
    int MaxX = 0, MaxY = 0;
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
    // Large steps share two threads where the drawings' setting allows
    // more than one (a batch converting drawings side by side asks for one).
    const bool twoThreads = ThreadsFor(TDrawing::RenderThreads()) > 1;
    // The objects that take part, in file order.
    std::vector<const Bitmap*> components;
    std::vector<const Junction*> junctions;
    std::vector<const Annotate*> annotations;
    std::vector<QPoint> markers;
    for (const auto& object : drawing.Objects()) {
        const QuorvidObject* o = object.get();
        if (!o) continue;
        const std::type_info& type = typeid(*o);
        if (type == typeid(LineData))
            wires_.push_back(static_cast<const LineData*>(o));
        else if (type == typeid(Junction))
            junctions.push_back(static_cast<const Junction*>(o));
        else if (type == typeid(Annotate))
            annotations.push_back(static_cast<const Annotate*>(o));
        else if (type == typeid(Mod0x60))
            markers.emplace_back(static_cast<const Mod0x60*>(o)->X(), static_cast<const Mod0x60*>(o)->Y());
        else if (type == typeid(Bitmap))
            components.push_back(static_cast<const Bitmap*>(o));
    }
    std::vector<TSegment> segments;
    segments.reserve(wires_.size());
    for (const LineData* w : wires_) segments.push_back({w->X1(), w->Y1(), w->X2(), w->Y2()});

    // A connection point: a pin end, a wire end or a junction point.
    enum class TKind : std::uint8_t { PinEnd, WireEnd, JunctionPoint };
    struct TPoint {
        QPoint At;
        std::uint32_t Node;
        std::uint32_t Index : 30;  // of the pin, wire or junction
        std::uint32_t Kind : 2;    // TKind
        TKind KindOf() const { return TKind(Kind); }
    };
    const std::uint32_t wireBase = 0;
    const std::uint32_t pinBase = std::uint32_t(wires_.size());
    std::vector<TPoint> pinPoints, otherPoints;  // each by place (junctions' nodes counted from the first junction's)

    // The pins of every part. Records of one designation that show
    // different parts are units of one part; several records of one
    // designation and part are separate components (each its own copy).
    // Designations, pin numbers and names repeat from part to part: each is
    // made a text, and given its place in natural order, once.
    TTextTable designations, numbers, pinNames;
    struct TPinRecord {
        const Bitmap* Component;
        QPoint End;
        std::uint32_t Designation, Number, Name;  // in the tables of texts
        int Copy;                                 // of its record's designation and part
        int Index;                                // in its component's pin list
        int ElectricalType;
        bool Hidden;
        bool Shared;  // of a part no record shows
    };
    std::vector<TPinRecord> pins;
    std::vector<std::size_t> pinKey;                            // pins of one key are one pin
    std::vector<std::uint64_t> pinRank;                         // designation order, then pin number order
    std::vector<std::pair<std::uint64_t, std::size_t>> ranked;  // every pin by its rank
    const auto makePins = [&] {
        std::size_t allPins = 0;
        for (const Bitmap* c : components) allPins += c->GetPins().size();
        pins.reserve(allPins);
        const auto latin1 = [](const QByteArray& b) { return QString::fromLatin1(b); };
        const auto shown = [](const QByteArray& b) { return QString::fromLatin1(DisplayPinName(b)); };
        // Each record's designation; the parts its designation's records
        // show, each with the records of it so far.
        std::vector<std::uint32_t> designationOf(components.size());
        for (std::size_t k = 0; k < components.size(); ++k)
            designationOf[k] = designations.Of(components[k]->GetDesignation(), latin1);
        std::vector<std::vector<std::pair<int, int>>> partsShown(designations.List.size());
        const auto shownPart = [](std::vector<std::pair<int, int>>& parts, int part) {
            return std::find_if(parts.begin(), parts.end(), [&](const auto& p) { return p.first == part; });
        };
        for (std::size_t k = 0; k < components.size(); ++k) {
            auto& parts = partsShown[designationOf[k]];
            const int part = components[k]->GetPartNumber();
            if (shownPart(parts, part) == parts.end()) parts.emplace_back(part, 0);
        }
        for (std::size_t k = 0; k < components.size(); ++k) {
            const Bitmap* c = components[k];
            const std::uint32_t d = designationOf[k];
            auto& parts = partsShown[d];
            const int copy = shownPart(parts, c->GetPartNumber())->second++;
            const auto& drawnPins = c->GetPins();
            for (std::size_t i = 0; i < drawnPins.size(); ++i) {
                const Bitmap::Pin& pin = drawnPins[i];
                const bool own = pin.PinPart() == c->GetPartNumber();
                if (!own && shownPart(parts, pin.PinPart()) != parts.end()) continue;
                pins.push_back({c, c->PinEnd(pin), d, numbers.Of(PinField(pin, 2, 4), latin1),
                                pinNames.Of(PinField(pin, 7, 6), shown), copy, int(i), pin.ElectricalType(),
                                pin.Hidden(), !own});
            }
        }
        designations.Rank();
        numbers.Rank();
        pinRank.resize(pins.size());
        ranked.resize(pins.size());
        std::vector<std::uint32_t> rankKeys(pins.size());
        const std::uint64_t places = std::uint64_t(designations.List.size()) * numbers.List.size();
        for (std::size_t i = 0; i < pins.size(); ++i) {
            const std::uint32_t designation = designations.List[pins[i].Designation].Rank;
            const std::uint32_t number = numbers.List[pins[i].Number].Rank;
            pinRank[i] = (std::uint64_t(designation) << 32) | number;
            ranked[i] = {pinRank[i], i};
            rankKeys[i] = std::uint32_t(std::uint64_t(designation) * numbers.List.size() + number);
        }
        // By rank; pins of one rank in file order.
        if (!pins.empty() && places <= (std::uint64_t(1) << 32))
            RadixSort(ranked, std::move(rankKeys), std::uint32_t(places - 1));
        else
            std::sort(ranked.begin(), ranked.end());
        // Pins of one number on one record are one pin, and so are the
        // copies of a shared pin on the units of a part; a pin without a
        // number is a pin of its own. Such pins are neighbours in rank.
        pinKey.resize(pins.size());
        std::size_t keys = 0;
        for (std::size_t k = 0; k < ranked.size();) {
            std::size_t end = k + 1;
            while (end < ranked.size() && ranked[end].first == ranked[k].first) ++end;
            for (std::size_t a = k; a < end; ++a) {
                const std::size_t i = ranked[a].second;
                pinKey[i] = keys;
                if (!numbers.List[pins[i].Number].Bytes.isEmpty())
                    for (std::size_t b = k; b < a; ++b) {
                        const std::size_t j = ranked[b].second;
                        const bool sameRecord = pins[i].Component == pins[j].Component;
                        const bool sameShared = pins[i].Shared && pins[j].Shared && pins[i].Copy == pins[j].Copy;
                        if (sameRecord || sameShared) {
                            pinKey[i] = pinKey[j];
                            break;
                        }
                    }
                if (pinKey[i] == keys) ++keys;
            }
            k = end;
        }
        pinPoints.reserve(pins.size());
        for (std::size_t i = 0; i < pins.size(); ++i)
            if (!pins[i].Hidden)
                pinPoints.push_back(
                    {pins[i].End, pinBase + std::uint32_t(i), std::uint32_t(i), std::uint32_t(TKind::PinEnd)});
        SortByPlace(pinPoints, [](const TPoint& p) { return p.At; });
    };

    // Wires drawn twice over are one wire; only the first goes into the
    // grid, which lists the wires by where they pass.
    std::vector<std::uint32_t> gridWires;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sameWires;  // a wire and the copy of it in the grid
    grid_ = std::make_unique<TGrid>();
    const auto makeGrid = [&] {
        // Each wire by its ends, the lower one first, then its place in the
        // file (sorted by the higher end, then, keeping that order, by the lower).
        struct TEnds {
            QPoint Low, High;
            std::uint32_t Wire;
        };
        std::vector<TEnds> byEnds(segments.size());
        for (std::size_t w = 0; w < segments.size(); ++w) {
            const QPoint a = segments[w].A(), b = segments[w].B();
            byEnds[w] = RowThenColumn(b, a) ? TEnds{b, a, std::uint32_t(w)} : TEnds{a, b, std::uint32_t(w)};
        }
        SortByPlace(byEnds, [](const TEnds& e) { return e.High; });
        SortByPlace(byEnds, [](const TEnds& e) { return e.Low; });
        std::vector<std::uint32_t> inGrid(segments.size());  // the copy of each wire the grid holds
        for (std::size_t k = 0; k < byEnds.size(); ++k) {
            const TEnds& e = byEnds[k];
            const bool copy = k > 0 && byEnds[k - 1].Low == e.Low && byEnds[k - 1].High == e.High;
            inGrid[e.Wire] = copy ? inGrid[byEnds[k - 1].Wire] : e.Wire;
        }
        for (std::size_t w = 0; w < segments.size(); ++w) {
            if (inGrid[w] == w)
                gridWires.push_back(std::uint32_t(w));
            else
                sameWires.emplace_back(std::uint32_t(w), inGrid[w]);
        }
        // The grid covers the wires, the junctions and the labels; a point
        // beyond it is looked for in its edge cells, where no wire reaches it.
        int right = 0, bottom = 0;
        for (const TSegment& s : segments)
            right = std::max({right, s.X1, s.X2}), bottom = std::max({bottom, s.Y1, s.Y2});
        for (const Junction* j : junctions) right = std::max(right, j->X()), bottom = std::max(bottom, j->Y());
        for (const Annotate* a : annotations) right = std::max(right, a->X()), bottom = std::max(bottom, a->Y());
        grid_->Size(right, bottom, segments, gridWires, 16);
        grid_->AddWires(segments, gridWires);

        otherPoints.reserve(2 * segments.size() + junctions.size());
        for (std::size_t w = 0; w < segments.size(); ++w) {
            otherPoints.push_back(
                {segments[w].A(), wireBase + std::uint32_t(w), std::uint32_t(w), std::uint32_t(TKind::WireEnd)});
            otherPoints.push_back(
                {segments[w].B(), wireBase + std::uint32_t(w), std::uint32_t(w), std::uint32_t(TKind::WireEnd)});
        }
        for (std::size_t j = 0; j < junctions.size(); ++j)
            otherPoints.push_back({QPoint(junctions[j]->X(), junctions[j]->Y()), std::uint32_t(j), std::uint32_t(j),
                                   std::uint32_t(TKind::JunctionPoint)});
        SortByPlace(otherPoints, [](const TPoint& p) { return p.At; });
    };
    const int firstParts = twoThreads && segments.size() + components.size() > 4096 ? 2 : 1;
    RunParts(firstParts, [&](int part) { part == 0 ? makePins() : makeGrid(); });
    if (firstParts == 1) makeGrid();
    const auto pinLess = [&](std::size_t a, std::size_t b) { return pinRank[a] < pinRank[b]; };

    // Nodes: the wires, the pins, the junctions, then one per name.
    const std::uint32_t junctionBase = pinBase + std::uint32_t(pins.size());
    TUnion sets;
    sets.Reserve(junctionBase + junctions.size() + 64);
    for (std::size_t i = 0; i < junctionBase + junctions.size(); ++i) sets.Add();
    for (const auto& [w, copy] : sameWires) sets.Join(wireBase + copy, wireBase + w);
    {
        std::vector<std::uint32_t> firstOfKey(pins.size(), std::uint32_t(-1));
        for (std::size_t i = 0; i < pins.size(); ++i) {
            std::uint32_t& first = firstOfKey[pinKey[i]];
            if (first == std::uint32_t(-1))
                first = pinBase + std::uint32_t(i);
            else
                sets.Join(first, pinBase + std::uint32_t(i));
        }
    }

    // Connection points, by pixel (row, then column), in the order above
    // within a pixel: the pins' and the others', each sorted with the step
    // that makes them, merged.
    std::vector<TPoint> points(pinPoints.size() + otherPoints.size());
    {
        auto pin = pinPoints.begin(), other = otherPoints.begin();
        for (TPoint& p : points) {
            const bool takePin =
                other == otherPoints.end() || (pin != pinPoints.end() && !RowThenColumn(other->At, pin->At));
            p = takePin ? *pin++ : *other++;
            if (p.KindOf() == TKind::JunctionPoint) p.Node += junctionBase;
        }
        std::vector<TPoint>().swap(pinPoints);
        std::vector<TPoint>().swap(otherPoints);
    }

    // Every pixel that holds points once, with what it holds.
    struct TPixel {
        QPoint At;
        std::uint32_t First = 0, End = 0;  // its points: points[First, End)
        std::int64_t Pin = -1;             // a pin end there, by its point
        std::int64_t WireEnd = -1;         // a wire end there, by its point
        bool Mixed = false;                // points of more than one thing
        int Wires = 0;                     // wires through it (its own wires' ends included)
        bool Labelled = false;             // a net label's anchor
        bool NotOnlyPins = false;          // a wire end or a junction point there
        bool EndInside = false;            // an end there lies inside a wire
        std::uint32_t Node = 0;            // of its first point
        std::uint32_t Root = 0;            // what the geometry joins it to
    };
    std::vector<TPixel> pixels;
    {
        std::size_t distinct = 0;
        for (std::size_t i = 0; i < points.size(); ++i)
            if (i == 0 || points[i].At != points[i - 1].At) ++distinct;
        pixels.reserve(distinct);
    }
    for (std::size_t i = 0; i < points.size();) {
        TPixel pixel;
        pixel.At = points[i].At;
        pixel.First = std::uint32_t(i);
        std::size_t end = i;
        for (; end < points.size() && points[end].At == pixel.At; ++end) {
            const TPoint& p = points[end];
            if (p.KindOf() == TKind::PinEnd && pixel.Pin < 0) pixel.Pin = std::int64_t(end);
            if (p.KindOf() == TKind::WireEnd && pixel.WireEnd < 0) pixel.WireEnd = std::int64_t(end);
            if (p.KindOf() != TKind::PinEnd) pixel.NotOnlyPins = true;
            // The two ends of a wire of no length are the same thing.
            if (p.Node != points[i].Node) pixel.Mixed = true;
            sets.Join(points[i].Node, p.Node);
        }
        pixel.End = std::uint32_t(end);
        pixel.Node = points[i].Node;
        pixels.push_back(pixel);
        i = end;
    }
    const auto pixelAt = [&](QPoint at) -> TPixel* {
        const auto found = std::lower_bound(pixels.begin(), pixels.end(), at,
                                            [](const TPixel& p, QPoint q) { return RowThenColumn(p.At, q); });
        return found != pixels.end() && found->At == at ? &*found : nullptr;
    };
    const auto nodeOf = [](const TPixel& pixel) { return pixel.Node; };
    int maxX = 0, maxY = 0;
    for (const TPixel& p : pixels) maxX = std::max(maxX, p.At.x()), maxY = std::max(maxY, p.At.y());
    for (const Annotate* a : annotations) maxX = std::max(maxX, a->X()), maxY = std::max(maxY, a->Y());

    // Pixels on wires. A wire across is met as the pixels of its row go by,
    // left to right, and a wire down as those of its column go by, top to
    // bottom; a slanted wire is looked for in a grid of its own.
    {
        struct TSpan {
            int Line, From, To;  // the row (across) or the column (down), and the span along it
            std::uint32_t Wire;
        };
        std::vector<TSpan> across, down;
        std::vector<std::uint32_t> slanted;
        for (const std::uint32_t w : gridWires) {
            const TSegment& s = segments[w];
            if (s.Y1 == s.Y2)
                across.push_back({s.Y1, std::min(s.X1, s.X2), std::max(s.X1, s.X2), w});
            else if (s.X1 == s.X2)
                down.push_back({s.X1, std::min(s.Y1, s.Y2), std::max(s.Y1, s.Y2), w});
            else
                slanted.push_back(w);
        }
        // By line, then start.
        const auto byLine = [](const TSpan& span) { return QPoint(span.From, span.Line); };
        // Each pixel on a wire, with the wire.
        using TFound = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // pixel, wire
        std::vector<QPoint> at(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i) at[i] = pixels[i].At;
        // The pixels in order along the lines (line, then place on it), the
        // spans by line, then start.
        const auto sweep = [&](const std::vector<TSpan>& spans, const std::vector<std::uint32_t>& order, bool rows,
                               TFound& found) {
            std::vector<const TSpan*> open;  // spans of the line begun before the pixel
            std::size_t next = 0;
            bool started = false;
            int current = 0;
            for (const std::uint32_t i : order) {
                const QPoint p = at[i];
                const int line = rows ? p.y() : p.x(), along = rows ? p.x() : p.y();
                if (!started || line != current) open.clear(), started = true, current = line;
                for (; next < spans.size() &&
                       (spans[next].Line < line || (spans[next].Line == line && spans[next].From <= along));
                     ++next)
                    if (spans[next].Line == line) open.push_back(&spans[next]);
                if (open.empty()) continue;
                std::erase_if(open, [&](const TSpan* s) { return s->To < along; });
                for (const TSpan* s : open) found.emplace_back(i, s->Wire);
            }
        };
        // Across and slanted on one thread, down on another.
        TFound foundAcross, foundDown;
        const auto findAcross = [&] {
            foundAcross.reserve(pixels.size());
            SortByPlace(across, byLine);
            std::vector<std::uint32_t> order(pixels.size());
            std::iota(order.begin(), order.end(), 0u);
            if (!across.empty()) sweep(across, order, true, foundAcross);
            if (slanted.empty()) return;
            TGrid slantedGrid;
            int right = 0, bottom = 0;
            for (const QPoint p : at) right = std::max(right, p.x()), bottom = std::max(bottom, p.y());
            slantedGrid.Size(right, bottom, segments, slanted, 16);
            slantedGrid.AddWires(segments, slanted);
            for (std::size_t i = 0; i < at.size(); ++i)
                slantedGrid.WiresAt(at[i], [&](std::uint32_t w) {
                    if (OnSegment(at[i], segments[w])) foundAcross.emplace_back(std::uint32_t(i), w);
                });
        };
        const auto findDown = [&] {
            if (down.empty()) return;
            foundDown.reserve(pixels.size() / 2);
            SortByPlace(down, byLine);
            std::vector<std::uint32_t> order(pixels.size());
            std::iota(order.begin(), order.end(), 0u);
            SortByPlace(order, [&](std::uint32_t i) { return QPoint(at[i].y(), at[i].x()); });
            sweep(down, order, false, foundDown);
        };
        const int parts = twoThreads && pixels.size() > 8192 ? 2 : 1;
        RunParts(parts, [&](int part) { part == 0 ? findAcross() : findDown(); });
        if (parts == 1) findDown();
        // (What is joined does not hang on the order the pairs are taken in.)
        for (const TFound* found : {&foundAcross, &foundDown})
            for (const auto& [i, w] : *found) {
                TPixel& pixel = pixels[i];
                sets.Join(nodeOf(pixel), wireBase + w);
                ++pixel.Wires;
                if ((pixel.Pin >= 0 || pixel.WireEnd >= 0) && pixel.At != segments[w].A() &&
                    pixel.At != segments[w].B())
                    pixel.EndInside = true;
            }
        // Where a pin end or a wire end meets the inside of a wire.
        for (const TPixel& pixel : pixels)
            if (pixel.EndInside) joins_.push_back(pixel.At);
    }

    // What is joined by the drawing's geometry alone, before names join nets.
    std::vector<std::uint32_t> geometric(sets.Size());
    for (std::size_t i = 0; i < geometric.size(); ++i) geometric[i] = sets.Find(std::uint32_t(i));
    for (TPixel& pixel : pixels) pixel.Root = geometric[pixel.Node];

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
        if (TPixel* pixel = pixelAt(anchor); pixel && pixel->Pin >= 0) {
            name(nodeOf(*pixel));
            pixel->Labelled = true;
        }
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
    // A copy of a wire carries the label of the one in the grid.
    for (const auto& [w, inGrid] : sameWires)
        if (labelledWire[inGrid]) labelledWire[w] = true;
    for (std::size_t i = 0; i < pins.size(); ++i) {
        const TPinRecord& p = pins[i];
        const QString& name = pinNames.List[p.Name].Text;
        if (p.Hidden && p.ElectricalType == pwrType && !name.isEmpty())
            sets.Join(pinBase + std::uint32_t(i), nameNode(name));
    }

    // Ends that touch nothing; marked pins. A point touches something when
    // another thing has a point at its pixel, or a wire other than its own
    // passes through it, or a label names it.
    // (The markers by place, met as the pixels go.)
    SortByPlace(markers, [](QPoint p) { return p; });
    std::vector<std::size_t> loosePinIndices, markedPinIndices;
    std::size_t nextMarker = 0;
    for (const TPixel& pixel : pixels) {
        bool loose = false, dangling = false;
        while (nextMarker < markers.size() && RowThenColumn(markers[nextMarker], pixel.At)) ++nextMarker;
        const bool isMarked = pixel.Pin >= 0 && nextMarker < markers.size() && markers[nextMarker] == pixel.At;
        for (std::uint32_t k = pixel.First; k < pixel.End; ++k) {
            const TPoint& p = points[k];
            if (p.KindOf() == TKind::PinEnd && isMarked) markedPinIndices.push_back(p.Index);
            const bool touches = p.KindOf() == TKind::WireEnd ? pixel.Mixed || pixel.Wires >= 2 || labelledWire[p.Index]
                                                              : pixel.Mixed || pixel.Wires >= 1 || pixel.Labelled;
            if (touches) continue;
            loose = true;
            dangling = dangling || p.KindOf() == TKind::WireEnd;
            if (p.KindOf() == TKind::PinEnd && !isMarked) loosePinIndices.push_back(p.Index);
        }
        if (loose) loosePoints_.push_back(pixel.At);
        if (dangling) danglingEnds_.push_back(pixel.At);
    }

    std::stable_sort(markedPinIndices.begin(), markedPinIndices.end(), pinLess);
    std::stable_sort(loosePinIndices.begin(), loosePinIndices.end(), pinLess);

    // The nets: every set that holds a wire or a pin, numbered first as
    // their first wire or pin comes, then put in their order.
    std::vector<std::uint32_t> netOfRoot(sets.Size(), std::uint32_t(-1));
    std::size_t netCount = 0;
    const auto netOf = [&](std::uint32_t node) -> std::uint32_t {
        std::uint32_t& net = netOfRoot[sets.Find(node)];
        if (net == std::uint32_t(-1)) net = std::uint32_t(netCount++);
        return net;
    };
    const auto netOfNode = [&](std::uint32_t node) { return netOfRoot[sets.Find(node)]; };  // -1: none
    constexpr std::uint32_t none = std::uint32_t(-1);
    std::vector<std::uint32_t> wireNet(wires_.size()), pinNet(pins.size()), pixelNet(pixels.size());
    std::vector<std::uint32_t> labelNet(annotations.size(), none);
    for (std::size_t w = 0; w < wires_.size(); ++w) wireNet[w] = netOf(wireBase + std::uint32_t(w));
    for (std::size_t i = 0; i < pins.size(); ++i) pinNet[i] = netOf(pinBase + std::uint32_t(i));
    for (std::size_t k = 0; k < pixels.size(); ++k) pixelNet[k] = netOfNode(nodeOf(pixels[k]));
    for (std::size_t a = 0; a < annotations.size(); ++a)
        if (labelNode[a] != none) labelNet[a] = netOfNode(labelNode[a]);

    // What places each net: its names, its wires, its first pin and
    // whether all its pins are copies of one, its other points.
    struct TNetFacts {
        std::uint32_t Wires = 0, Pins = 0;
        std::uint32_t FirstWire = none;
        std::uint32_t FirstPin = none;  // in pins, the lowest in rank
        bool OnePin = true;
        bool OtherPoints = false;
        bool Unconnected = false;
        std::uint32_t Name = none;  // in nameList, for a named net
    };
    std::vector<TNetFacts> facts(netCount);
    for (std::size_t w = 0; w < wires_.size(); ++w) {
        TNetFacts& f = facts[wireNet[w]];
        if (f.Wires++ == 0) f.FirstWire = std::uint32_t(w);
    }
    for (const auto& [rank, i] : ranked) {
        TNetFacts& f = facts[pinNet[i]];
        if (f.Pins++ == 0)
            f.FirstPin = std::uint32_t(i);
        else if (pinKey[i] != pinKey[f.FirstPin])
            f.OnePin = false;
    }
    for (std::size_t k = 0; k < pixels.size(); ++k)
        if (pixelNet[k] != none && pixels[k].NotOnlyPins) facts[pixelNet[k]].OtherPoints = true;
    // A named net's name: of its label names the first in natural order, else
    // of the names of its hidden power pins.
    std::vector<QString> nameList;
    {
        std::vector<std::vector<const QString*>> namesOf(netCount);
        bool any = false;
        for (const auto& [name, node] : nameNodes)
            if (const std::uint32_t net = netOfNode(node); net != none) namesOf[net].push_back(&name), any = true;
        std::vector<std::vector<const Annotate*>> labelsOf(any ? netCount : 0);
        for (std::size_t a = 0; any && a < annotations.size(); ++a)
            if (labelNet[a] != none) labelsOf[labelNet[a]].push_back(annotations[a]);
        const auto natural = [](const QString* a, const QString* b) { return NaturalCompare(*a, *b) < 0; };
        for (std::size_t n = 0; any && n < netCount; ++n) {
            if (namesOf[n].empty()) continue;
            std::vector<const QString*> labelNames, powerNames;
            for (const QString* name : namesOf[n]) {
                const bool fromLabel = std::any_of(labelsOf[n].begin(), labelsOf[n].end(), [&](const Annotate* label) {
                    return QString::fromLatin1(label->Text().AsText()) == *name;
                });
                (fromLabel ? labelNames : powerNames).push_back(name);
            }
            std::sort(labelNames.begin(), labelNames.end(), natural);
            std::sort(powerNames.begin(), powerNames.end(), natural);
            facts[n].Name = std::uint32_t(nameList.size());
            nameList.push_back(!labelNames.empty() ? *labelNames.front() : *powerNames.front());
        }
    }
    for (TNetFacts& f : facts)
        f.Unconnected = f.Name == none && f.Pins > 0 && f.Wires == 0 && f.OnePin && !f.OtherPoints;

    // Named nets by name, nets that join something and pins alone each by
    // their first pin, nets of wires alone by their first wire.
    std::vector<std::uint32_t> place(netCount);
    {
        std::vector<std::uint32_t> byName(nameList.size());
        {
            std::vector<QByteArray> keys(nameList.size());
            for (std::size_t k = 0; k < nameList.size(); ++k) keys[k] = nameList[k].toLatin1();
            std::vector<std::uint32_t> order(nameList.size());
            std::iota(order.begin(), order.end(), 0u);
            std::stable_sort(order.begin(), order.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return NaturalLess(keys[a], keys[b]); });
            for (std::size_t k = 0; k < order.size(); ++k) byName[order[k]] = std::uint32_t(k);
        }
        // Each net's key: its group in the top bits, then its place among
        // the named, its first pin's rank (a designation's place and a
        // number's place, each under 2^31), or its number.
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(netCount);
        for (std::size_t n = 0; n < netCount; ++n) {
            const TNetFacts& f = facts[n];
            std::uint64_t key;
            if (f.Name != none)
                key = byName[f.Name];
            else if (f.Pins == 0)
                key = (std::uint64_t(3) << 62) | n;
            else
                key = (std::uint64_t(f.Unconnected ? 2 : 1) << 62) | pinRank[f.FirstPin];
            keyed[n] = {key, std::uint32_t(n)};
        }
        std::sort(keyed.begin(), keyed.end());
        std::vector<TNetFacts> ordered(netCount);
        for (std::size_t i = 0; i < netCount; ++i) {
            place[keyed[i].second] = std::uint32_t(i);
            ordered[i] = facts[keyed[i].second];
        }
        facts = std::move(ordered);
    }
    // The nets and their names are made on a thread of their own while
    // the lists and pins of the nets are laid out here; that thread makes
    // new texts and copies few, so the two pass few texts' counts between
    // them. (Making halves of the same lists on two threads would.)
    TWorkAside namesAside(
        [&] {
            nets_.resize(netCount);
            for (std::size_t n = 0; n < netCount; ++n) {
                TNet& net = nets_[n];
                const TNetFacts& f = facts[n];
                net.Unconnected = f.Unconnected;
                net.Named = f.Name != none;
                if (net.Named) {
                    net.Name = nameList[f.Name];
                } else if (f.Pins > 0) {
                    const QString& designation = designations.List[pins[f.FirstPin].Designation].Text;
                    const QString& number = numbers.List[pins[f.FirstPin].Number].Text;
                    net.Name =
                        JoinedText({f.Unconnected ? "unconnected-(" : "Net-(", designation, "-Pad", number, ")"});
                } else {
                    const LineData* w = wires_[f.FirstWire];
                    char text[40];
                    char* end = std::to_chars(text, text + 16, w->X1()).ptr;
                    *end++ = ',';
                    end = std::to_chars(end, end + 16, w->Y1()).ptr;
                    net.Name = JoinedText({"Net-(", std::string_view(text, std::size_t(end - text)), ")"});
                }
            }
        },
        twoThreads && netCount > 4096);
    for (std::uint32_t& n : wireNet) n = place[n];
    for (std::uint32_t& n : pinNet) n = place[n];
    for (std::uint32_t& n : pixelNet)
        if (n != none) n = place[n];
    for (std::uint32_t& n : labelNet)
        if (n != none) n = place[n];
    wireNet_.assign(wireNet.begin(), wireNet.end());
    pinNet_.assign(pinNet.begin(), pinNet.end());

    // Each list of every net, net after net: counted, then filled in order.
    struct TRanges {
        std::vector<std::uint32_t> Start;
        TRanges(std::size_t nets, const std::vector<std::uint32_t>& netOfItem) : Start(nets + 1, 0)
        {
            for (std::uint32_t n : netOfItem)
                if (n != none) ++Start[n + 1];
            std::partial_sum(Start.begin(), Start.end(), Start.begin());
        }
        std::vector<std::uint32_t> Fill() const { return {Start.begin(), Start.end() - 1}; }
        std::size_t Size(std::size_t net) const { return Start[net + 1] - Start[net]; }
    };
    const TRanges wireRanges(netCount, wireNet), pinRanges(netCount, pinNet), pointRanges(netCount, pixelNet),
        labelRanges(netCount, labelNet);
    netWires_.resize(wires_.size());
    {
        std::vector<std::uint32_t> fill = wireRanges.Fill();
        for (std::size_t w = 0; w < wires_.size(); ++w) netWires_[fill[wireNet[w]]++] = wires_[w];
    }
    // Pins in pin order; placeOfPin: where each pin is in netPins_.
    std::vector<std::uint32_t> placeOfPin(pins.size()), pinAt(pins.size());
    {
        std::vector<std::uint32_t> fill = pinRanges.Fill();
        for (const auto& [rank, i] : ranked) placeOfPin[i] = fill[pinNet[i]]++;
        for (std::size_t i = 0; i < pins.size(); ++i) pinAt[placeOfPin[i]] = std::uint32_t(i);
    }
    netPoints_.resize(pointRanges.Start.back());
    pointNets_.reserve(pixels.size());
    {
        std::vector<std::uint32_t> fill = pointRanges.Fill();
        for (std::size_t k = 0; k < pixels.size(); ++k)
            if (pixelNet[k] != none) {
                netPoints_[fill[pixelNet[k]]++] = pixels[k].At;
                pointNets_.push_back({pixels[k].At, pixelNet[k]});
            }
    }
    netLabels_.resize(labelRanges.Start.back());
    {
        std::vector<std::uint32_t> fill = labelRanges.Fill();
        for (std::size_t a = 0; a < annotations.size(); ++a)
            if (labelNet[a] != none) netLabels_[fill[labelNet[a]]++] = annotations[a];
    }

    // The pins of the nets.
    netPins_.resize(pins.size());
    for (std::size_t k = 0; k < pins.size(); ++k) {
        const TPinRecord& r = pins[pinAt[k]];
        TNetPin& p = netPins_[k];
        p.Component = r.Component;
        p.Designation = designations.List[r.Designation].Text;
        p.PinNumber = numbers.List[r.Number].Text;
        p.PinName = pinNames.List[r.Name].Text;
        p.End = r.End;
        p.Hidden = r.Hidden;
        p.Index = r.Index;
        p.ElectricalType = r.ElectricalType;
    }
    pinRefs_.resize(placeOfPin.size());
    for (std::size_t i = 0; i < placeOfPin.size(); ++i) pinRefs_[i] = &netPins_[placeOfPin[i]];
    noConnects_.reserve(markedPinIndices.size());
    for (std::size_t i : markedPinIndices) noConnects_.push_back(pinRefs_[i]);
    loosePins_.reserve(loosePinIndices.size());
    for (std::size_t i : loosePinIndices) loosePins_.push_back(pinRefs_[i]);

    // What the near misses are looked for in, later.
    nearState_ = std::make_unique<TNearState>();
    nearState_->WireRoot.resize(segments.size());
    for (std::size_t w = 0; w < segments.size(); ++w) nearState_->WireRoot[w] = geometric[wireBase + w];
    nearState_->Segments = std::move(segments);
    nearState_->Pixels.reserve(pixels.size());
    for (const TPixel& pixel : pixels)
        nearState_->Pixels.push_back({pixel.At,
                                      pixel.Pin >= 0 ? std::int64_t(points[std::size_t(pixel.Pin)].Index) : -1,
                                      pixel.WireEnd >= 0, pixel.Root});
    nearState_->MaxX = maxX, nearState_->MaxY = maxY;

    // The nets, named on their own thread, with their lists.
    namesAside.Finish();
    for (std::size_t n = 0; n < netCount; ++n) {
        TNet& net = nets_[n];
        net.Pins = {netPins_.data() + pinRanges.Start[n], pinRanges.Size(n)};
        net.Wires = {netWires_.data() + wireRanges.Start[n], wireRanges.Size(n)};
        net.Points = {netPoints_.data() + pointRanges.Start[n], pointRanges.Size(n)};
        net.Labels = {netLabels_.data() + labelRanges.Start[n], labelRanges.Size(n)};
    }
}

const std::vector<TNearMiss>& TConnectivity::NearMisses() const
{
    if (nearState_) {
        FindNearMisses();
        nearState_.reset();
    }
    return nearMisses_;
}

// From each pixel with an end, the nearest wire or pixel within reach that it
// neither touches nor is joined to by the drawing. The pixels are looked at
// on several threads, each its own share; the misses are then taken in pixel
// order.
void TConnectivity::FindNearMisses() const
{
    const TNearState& state = *nearState_;
    using TNearPixel = TNearState::TNearPixel;
    const std::vector<TNearPixel>& pixels = state.Pixels;
    const std::vector<TSegment>& segments = state.Segments;
    // The pixels in a finer grid of their own.
    TGrid pointGrid;
    pointGrid.Size(state.MaxX, state.MaxY, segments, {}, 8);
    {
        std::vector<QPoint> at;
        at.reserve(pixels.size());
        for (const TNearPixel& p : pixels) at.push_back(p.At);
        pointGrid.AddPoints(at);
    }
    // At the same distance a pin end before other points, a point before
    // a wire, then the lowest row and column.
    struct TCandidate {
        double Distance = nearMissPixels + 0.5;
        int Kind = 3;  // 0 pin end, 1 other point, 2 wire, 3 none
        std::uint64_t Place = 0;
        bool operator<(const TCandidate& o) const
        {
            if (std::fabs(Distance - o.Distance) > 1e-9) return Distance < o.Distance;
            return Kind != o.Kind ? Kind < o.Kind : Place < o.Place;
        }
    };
    struct TFound {
        TCandidate Best;
        std::uint32_t NearPixel = 0;
        QPoint NearWirePoint;
    };
    std::vector<TFound> found(pixels.size());
    const auto look = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const TNearPixel& pixel = pixels[i];
            if (pixel.Pin < 0 && !pixel.WireEnd) continue;
            const std::uint32_t own = pixel.Root;
            TFound& f = found[i];
            pointGrid.PointsNear(pixel.At, nearMissPixels, [&](std::uint32_t k) {
                const TNearPixel& q = pixels[k];
                const int d = Chebyshev(pixel.At, q.At);
                if (d == 0 || d > nearMissPixels || q.Root == own) return;
                const TCandidate candidate{double(d), q.Pin >= 0 ? 0 : 1, PlaceKey(q.At)};
                if (candidate < f.Best) f.Best = candidate, f.NearPixel = k;
            });
            grid_->WiresNear(pixel.At, nearMissPixels, [&](std::uint32_t w) {
                const TSegment& segment = segments[w];
                if (pixel.At.x() < std::min(segment.X1, segment.X2) - nearMissPixels ||
                    pixel.At.x() > std::max(segment.X1, segment.X2) + nearMissPixels ||
                    pixel.At.y() < std::min(segment.Y1, segment.Y2) - nearMissPixels ||
                    pixel.At.y() > std::max(segment.Y1, segment.Y2) + nearMissPixels || state.WireRoot[w] == own)
                    return;
                const auto [d, nearest] = DistanceToSegment(pixel.At, segment);
                if (d > nearMissPixels || OnSegment(pixel.At, segment)) return;
                const TCandidate candidate{d, 2, PlaceKey(nearest)};
                if (candidate < f.Best) f.Best = candidate, f.NearWirePoint = nearest;
            });
        }
    };
    const int parts = std::clamp(int(pixels.size() / 4096), 1, ThreadsFor(TDrawing::RenderThreads()));
    RunParts(parts, [&](int k) {
        look(pixels.size() * std::size_t(k) / std::size_t(parts),
             pixels.size() * std::size_t(k + 1) / std::size_t(parts));
    });

    // Pin ends first, so that of two ends that miss each other a pin end
    // is the one that misses.
    QSet<QPair<std::uint64_t, std::uint64_t>> pairs;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const TFound& f = found[i];
            if (f.Best.Kind == 3 || (pixels[i].Pin >= 0) != (pass == 0)) continue;
            const TNearPixel& pixel = pixels[i];
            TNearMiss miss;
            if (f.Best.Kind == 2) {
                miss.Near = f.NearWirePoint;
                miss.NearWire = true;
                miss.Distance = std::max(1, int(std::ceil(f.Best.Distance - 1e-9)));
            } else {
                const TNearPixel& nearPixel = pixels[f.NearPixel];
                miss.Near = nearPixel.At;
                miss.Distance = int(f.Best.Distance);
                if (nearPixel.Pin >= 0) miss.NearPin = *pinRefs_[std::size_t(nearPixel.Pin)];
                miss.NearJunction = nearPixel.Pin < 0 && !nearPixel.WireEnd;
                // Two ends that miss each other are one miss.
                const std::uint64_t a = PlaceKey(pixel.At), b = PlaceKey(miss.Near);
                const auto pair = qMakePair(std::min(a, b), std::max(a, b));
                if (pairs.contains(pair)) continue;
                pairs.insert(pair);
            }
            miss.At = pixel.At;
            if (pixel.Pin >= 0) miss.Pin = *pinRefs_[std::size_t(pixel.Pin)];
            nearMisses_.push_back(std::move(miss));
        }
    }
    std::stable_sort(nearMisses_.begin(), nearMisses_.end(),
                     [](const TNearMiss& a, const TNearMiss& b) { return PlaceKey(a.At) < PlaceKey(b.At); });
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
