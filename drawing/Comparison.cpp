#include "drawing/Comparison.h"

#include <QHash>
#include <QPoint>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <typeinfo>
#include <utility>
#include <vector>

#include "app/Surface.h"
#include "drawing/Annotate.h"
#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Docbox.h"
#include "drawing/Drawing.h"
#include "drawing/Header.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"
#include "drawing/Naturalorder.h"

namespace {

// The size of the page image before any page is known.
constexpr int defaultPageWidth = 1090;
constexpr int defaultPageHeight = 713;

// Component head offsets that the report reads besides the getters.
constexpr int offFactors = 28;  // 4 bytes: the two picture area factors
constexpr int offDesignationX = 35;
constexpr int offDesignationY = 37;
constexpr int offValueX = 39;
constexpr int offValueY = 41;
constexpr int rotationBits = 0x03;
constexpr int flipBit = 0x04;

// The kinds of objects, in the order the report lists them after the components.
enum class TKind { Line, Junction, Annotation, DocBox, Marker, Header, Component, Other };
constexpr int recordKinds = 6;  // Line .. Header
const char* const kindNames[recordKinds] = {"lines",          "junctions", "annotations",
                                            "document boxes", "markers",   "headers"};

void Append(QByteArray& to, const std::uint8_t* bytes, std::size_t size)
{
    if (size > 0) to.append(reinterpret_cast<const char*>(bytes), qsizetype(size));
}

// Whether two components hold the same record: head, part blocks, pins and picture area.
bool SameComponent(const Bitmap& a, const Bitmap& b)
{
    if (a.GetHead() != b.GetHead() || a.GetPartBlocks() != b.GetPartBlocks() ||
        a.GetPictureArea() != b.GetPictureArea())
        return false;
    const auto& pa = a.GetPins();
    const auto& pb = b.GetPins();
    return pa.size() == pb.size() &&
           std::equal(pa.begin(), pa.end(), pb.begin(),
                      [](const Bitmap::Pin& x, const Bitmap::Pin& y) { return x.bytes == y.bytes; });
}

// An object's kind and record bytes: a view of the copy the object keeps, or
// bytes gathered from its parts (none for a component, which is compared
// part by part).
struct TRecord {
    TKind Kind = TKind::Other;
    std::string_view View;
    QByteArray Gathered;
    const QuorvidObject* Object = nullptr;

    std::string_view Bytes() const
    {
        return Gathered.isNull() ? View : std::string_view(Gathered.constData(), std::size_t(Gathered.size()));
    }
};

template <std::size_t N>
TRecord Viewed(TKind kind, const std::array<std::uint8_t, N>& bytes, const QuorvidObject& object)
{
    return {kind, std::string_view(reinterpret_cast<const char*>(bytes.data()), N), QByteArray(), &object};
}

TRecord RecordOf(const QuorvidObject& object)
{
    const std::type_info& type = typeid(object);
    if (type == typeid(LineData)) return Viewed(TKind::Line, static_cast<const LineData&>(object).Record(), object);
    if (type == typeid(Junction)) return Viewed(TKind::Junction, static_cast<const Junction&>(object).Record(), object);
    if (type == typeid(Annotate))
        return Viewed(TKind::Annotation, static_cast<const Annotate&>(object).Record(), object);
    if (type == typeid(Mod0x60)) return Viewed(TKind::Marker, static_cast<const Mod0x60&>(object).Record(), object);
    if (type == typeid(Header)) return Viewed(TKind::Header, static_cast<const Header&>(object).Record(), object);
    if (type == typeid(DocBox)) {
        const auto& box = static_cast<const DocBox&>(object);
        QByteArray bytes;
        Append(bytes, box.Record().data(), box.Record().size());
        Append(bytes, box.RecordText().data(), box.RecordText().size());
        return {TKind::DocBox, {}, bytes, &object};
    }
    if (type == typeid(Bitmap)) return {TKind::Component, {}, QByteArray(), &object};
    return {TKind::Other, {}, QByteArray(), &object};
}

bool SameRecord(const TRecord& a, const TRecord& b)
{
    if (a.Kind != b.Kind) return false;
    if (a.Kind == TKind::Component)
        return SameComponent(static_cast<const Bitmap&>(*a.Object), static_cast<const Bitmap&>(*b.Object));
    return a.Bytes() == b.Bytes();
}

std::vector<TRecord> RecordsOf(const TDrawing& drawing)
{
    std::vector<TRecord> records;
    records.reserve(drawing.Objects().size());
    for (const auto& object : drawing.Objects())
        if (object) records.push_back(RecordOf(*object));
    return records;
}

QString Text(const QByteArray& latin1) { return QString::fromLatin1(latin1); }
QString Quoted(const QByteArray& latin1) { return QLatin1Char('"') + Text(latin1) + QLatin1Char('"'); }
QString Point(int x, int y) { return QStringLiteral("%1,%2").arg(x).arg(y); }

// Pairs the entries of two lists sorted by `compare` (negative, zero,
// positive): equal ones pair in their order, the rest are left over. Calls
// pair(a, b), removed(a) and added(b) in the order of the merged lists.
template <typename T, typename Compare, typename Pair, typename Removed, typename Added>
void Merge(const std::vector<T>& a, const std::vector<T>& b, Compare compare, Pair pair, Removed removed, Added added)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        const int order = i == a.size() ? 1 : j == b.size() ? -1 : compare(a[i], b[j]);
        if (order == 0)
            pair(a[i++], b[j++]);
        else if (order < 0)
            removed(a[i++]);
        else
            added(b[j++]);
    }
}

// The lines of a report and where on the page each change is.
struct TReport {
    QStringList Lines;
    std::vector<QRect> Places;
    void Add(const QString& line, const QRect& place = QRect())
    {
        Lines << line;
        Places.push_back(place);
    }
};

// ------------------------------------------------------------------- nets

// A net of a drawing as the comparison sees it: its name and its pins ("R1
// pin 2", each once, in natural order) with their ends. Pins alone on their
// net are no net.
struct TNetPins {
    QString Name;
    bool Named = false;
    std::vector<std::pair<QString, QPoint>> Pins;  // each once, in the net's order
};

// The nets of a drawing, and the net of each pin ("R1 pin 2").
struct TNetList {
    std::vector<TNetPins> Nets;
    QHash<QString, std::size_t> NetOfPin;
    std::size_t Of(const QString& pin) const { return NetOfPin.value(pin, std::size_t(-1)); }
};

TNetList NetsOf(const TDrawing& drawing)
{
    const TConnectivity connectivity(drawing);
    TNetList list;
    for (const TNet& net : connectivity.Nets()) {
        if (net.Pins.empty() || net.Unconnected) continue;
        TNetPins n{net.Name, net.Named, {}};
        for (const TNetPin& pin : net.Pins) {
            const QString text = pin.Text();
            if (list.NetOfPin.contains(text)) continue;  // a pin drawn on several units
            list.NetOfPin.insert(text, list.Nets.size());
            n.Pins.emplace_back(text, pin.End);
        }
        list.Nets.push_back(std::move(n));
    }
    return list;
}

// One line per net whose pins changed, in the older drawing's net order, then
// the nets that are new: "net VOUT: + R5 pin 2, - C1 pin 1". Nets pair by
// name where both are named, else by the most pins in common; a net whose
// label changed says "renamed".
void CompareNets(const TDrawing& older, const TDrawing& newer, TReport& report)
{
    const TNetList listA = NetsOf(older), listB = NetsOf(newer);
    const std::vector<TNetPins>& a = listA.Nets;
    const std::vector<TNetPins>& b = listB.Nets;
    constexpr std::size_t none = std::size_t(-1);
    std::vector<std::size_t> pairOf(a.size(), none);
    std::vector<bool> taken(b.size(), false);
    QHash<QString, std::size_t> namedB;
    for (std::size_t j = 0; j < b.size(); ++j)
        if (b[j].Named && !namedB.contains(b[j].Name)) namedB.insert(b[j].Name, j);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!a[i].Named) continue;
        const std::size_t j = namedB.value(a[i].Name, none);
        if (j == none || taken[j]) continue;
        pairOf[i] = j;
        taken[j] = true;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (pairOf[i] != none) continue;
        std::vector<std::pair<std::size_t, int>> common;  // net of the newer, pins in common
        for (const auto& [pin, end] : a[i].Pins) {
            const std::size_t j = listB.Of(pin);
            if (j == none || taken[j]) continue;
            const auto at = std::find_if(common.begin(), common.end(), [&](const auto& c) { return c.first == j; });
            if (at == common.end())
                common.emplace_back(j, 1);
            else
                ++at->second;
        }
        std::size_t best = none;
        int most = 0;
        for (const auto& [j, n] : common)
            if (n > most || (n == most && j < best)) best = j, most = n;
        if (best == none) continue;
        pairOf[i] = best;
        taken[best] = true;
    }

    const auto line = [&](const QString& name, const QString& renamed, std::size_t from, std::size_t to) {
        QStringList changes;
        if (!renamed.isEmpty()) changes << QStringLiteral("renamed ") + renamed;
        QRect place;
        const auto mark = [&](QPoint p) { place |= QRect(p - QPoint(10, 10), QSize(21, 21)); };
        if (to != none)
            for (const auto& [pin, end] : b[to].Pins)
                if (from == none || listA.Of(pin) != from) changes << QStringLiteral("+ ") + pin, mark(end);
        if (from != none)
            for (const auto& [pin, end] : a[from].Pins)
                if (to == none || listB.Of(pin) != to) changes << QStringLiteral("- ") + pin, mark(end);
        if (changes.isEmpty()) return;
        report.Add(QStringLiteral("net ") + name + QStringLiteral(": ") + changes.join(QStringLiteral(", ")), place);
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::size_t j = pairOf[i];
        const bool renamed = j != none && (a[i].Named || b[j].Named) && a[i].Name != b[j].Name;
        line(a[i].Name, renamed ? b[j].Name : QString(), i, j);
    }
    for (std::size_t j = 0; j < b.size(); ++j)
        if (!taken[j]) line(b[j].Name, QString(), none, j);
}

// ------------------------------------------------------------- components

struct TComponent {
    const Bitmap* Object;
    QByteArray Designation;
    int Part;
};

int CompareComponents(const TComponent& a, const TComponent& b)
{
    const int order = NaturalCompare(a.Designation, b.Designation);
    if (order != 0) return order;
    return a.Part < b.Part ? -1 : a.Part > b.Part ? 1 : 0;
}

std::vector<TComponent> ComponentsOf(const std::vector<TRecord>& records)
{
    std::vector<TComponent> components;
    for (const TRecord& record : records) {
        if (record.Kind != TKind::Component) continue;
        const auto* c = static_cast<const Bitmap*>(record.Object);
        components.push_back({c, c->GetDesignation(), c->GetPartNumber()});
    }
    std::stable_sort(components.begin(), components.end(),
                     [](const TComponent& a, const TComponent& b) { return CompareComponents(a, b) < 0; });
    return components;
}

// The page pixels of a component's body.
QRect Body(const Bitmap& c)
{
    const int m = c.GetMargin();
    return QRect(QPoint(c.GetImageLeft() + m, c.GetImageTop() + m),
                 QPoint(c.GetImageLeft() + c.GetImageWidth() - m - 1, c.GetImageTop() + c.GetImageHeight() - m - 1));
}

QString Where(const Bitmap& c, QSize page)
{
    const QPoint anchor = c.GetAnchor();
    return Point(anchor.x(), anchor.y()) + QLatin1Char(' ') + SheetZone(anchor, page);
}

// A pin as the report shows it: "OUT" OUT R2 circle. A marked character of
// the name carries a combining overline.
QString PinText(const Bitmap::Pin& pin, bool severalParts)
{
    QString name;
    for (const char byte : pin.Name()) {
        name += QChar(uchar(byte) & 0x7F);
        if (uchar(byte) & 0x80) name += QChar(0x0305);
    }
    const char* const sides = "LBRT";
    const QChar side = pin.SideByte() < 4 ? QLatin1Char(sides[pin.SideByte()]) : QLatin1Char('?');
    QString text = QLatin1Char('"') + name + QStringLiteral("\" ") +
                   Text(Bitmap::ElectricalTypeName(pin.ElectricalType())) + QLatin1Char(' ') + side +
                   QString::number(pin.OffsetUnits());
    if (pin.Circle()) text += QStringLiteral(" circle");
    if (pin.Wedge()) text += QStringLiteral(" wedge");
    if (pin.Hidden()) text += QStringLiteral(" hidden");
    if (severalParts) text += QStringLiteral(" part %1").arg(pin.PinPart());
    return text;
}

// The pin lines of a matched pair: pins matched by number (in natural
// order; pins of the same number in pin order).
void ComparePins(const Bitmap& a, const Bitmap& b, QStringList& fields)
{
    struct TPin {
        const Bitmap::Pin* Pin;
        QByteArray Number;
        std::size_t Index;
    };
    const auto pinsOf = [](const Bitmap& c) {
        std::vector<TPin> pins;
        for (std::size_t i = 0; i < c.GetPins().size(); ++i)
            pins.push_back({&c.GetPins()[i], c.GetPins()[i].Number(), i});
        std::stable_sort(pins.begin(), pins.end(),
                         [](const TPin& x, const TPin& y) { return NaturalLess(x.Number, y.Number); });
        return pins;
    };
    const auto name = [](const TPin& pin) {
        return pin.Number.isEmpty() ? QStringLiteral("pin #%1").arg(pin.Index + 1)
                                    : QStringLiteral("pin ") + Text(pin.Number);
    };
    const bool partsA = a.GetPartCount() > 1, partsB = b.GetPartCount() > 1;
    Merge(
        pinsOf(a), pinsOf(b), [](const TPin& x, const TPin& y) { return NaturalCompare(x.Number, y.Number); },
        [&](const TPin& x, const TPin& y) {
            const QString before = PinText(*x.Pin, partsA), after = PinText(*y.Pin, partsB);
            if (before != after) fields << name(x) + QLatin1Char(' ') + before + QStringLiteral(" -> ") + after;
        },
        [&](const TPin& x) { fields << name(x) + QStringLiteral(" removed: ") + PinText(*x.Pin, partsA); },
        [&](const TPin& y) { fields << name(y) + QStringLiteral(" added: ") + PinText(*y.Pin, partsB); });
}

QString Offset(const Bitmap& c, int offX, int offY)
{
    const auto& head = c.GetHead();
    const QPoint anchor = c.GetAnchor();
    return Point(int(ReadU16(&head[std::size_t(offX)])) - anchor.x(),
                 int(ReadU16(&head[std::size_t(offY)])) - anchor.y());
}

// The fields in which two components of one designation and part differ.
QStringList ChangedFields(const TComponent& older, QSize oldPage, const TComponent& newer, QSize newPage)
{
    QStringList fields;
    const Bitmap& a = *older.Object;
    const Bitmap& b = *newer.Object;
    const auto change = [&fields](const QString& field, const QString& before, const QString& after) {
        if (before != after) fields << field + QLatin1Char(' ') + before + QStringLiteral(" -> ") + after;
    };
    change(QStringLiteral("Value"), Quoted(a.GetValue()), Quoted(b.GetValue()));
    change(QStringLiteral("Package"), Quoted(a.GetPackage()), Quoted(b.GetPackage()));
    if (a.GetAnchor() != b.GetAnchor()) change(QStringLiteral("position"), Where(a, oldPage), Where(b, newPage));
    const int oa = a.GetOrientation(), ob = b.GetOrientation();
    change(QStringLiteral("Angle"), QString::number(90 * (oa & rotationBits)),
           QString::number(90 * (ob & rotationBits)));
    const auto yesNo = [](bool yes) { return yes ? QStringLiteral("yes") : QStringLiteral("no"); };
    change(QStringLiteral("Mirrored"), yesNo(oa & flipBit), yesNo(ob & flipBit));
    ComparePins(a, b, fields);
    change(QStringLiteral("designation offset"), Offset(a, offDesignationX, offDesignationY),
           Offset(b, offDesignationX, offDesignationY));
    change(QStringLiteral("value offset"), Offset(a, offValueX, offValueY), Offset(b, offValueX, offValueY));
    change(QStringLiteral("parts"), QString::number(a.GetPartCount()), QString::number(b.GetPartCount()));
    change(QStringLiteral("pin style"), QString::number(a.GetPinStyle()), QString::number(b.GetPinStyle()));
    const auto size = [](const Bitmap& c) {
        return QStringLiteral("%1x%2").arg(c.GetBodyWidth()).arg(c.GetBodyHeight());
    };
    if (size(a) != size(b)) {
        change(QStringLiteral("body"), size(a), size(b));
    } else if (a.GetPartBlocks() != b.GetPartBlocks() || a.GetPictureArea() != b.GetPictureArea() ||
               std::memcmp(&a.GetHead()[offFactors], &b.GetHead()[offFactors], 4) != 0) {
        fields << QStringLiteral("body");
    }
    if (fields.isEmpty()) fields << QStringLiteral("other record bytes");
    return fields;
}

void CompareComponentLists(const std::vector<TRecord>& older, QSize oldPage, const std::vector<TRecord>& newer,
                           QSize newPage, TReport& report)
{
    const auto described = [](const Bitmap& c, QSize page) {
        return Text(c.GetName()) + QStringLiteral(" (") + Text(c.GetValue()) + QStringLiteral(", ") +
               Text(c.GetPackage()) + QStringLiteral(") at ") + Where(c, page);
    };
    Merge(
        ComponentsOf(older), ComponentsOf(newer), CompareComponents,
        [&](const TComponent& a, const TComponent& b) {
            if (SameComponent(*a.Object, *b.Object)) return;
            const QString name = QStringLiteral("changed ") + Text(a.Object->GetName()) + QStringLiteral(": ");
            const QRect place = Body(*a.Object).united(Body(*b.Object));
            for (const QString& field : ChangedFields(a, oldPage, b, newPage)) report.Add(name + field, place);
        },
        [&](const TComponent& a) {
            report.Add(QStringLiteral("removed ") + described(*a.Object, oldPage), Body(*a.Object));
        },
        [&](const TComponent& b) {
            report.Add(QStringLiteral("added ") + described(*b.Object, newPage), Body(*b.Object));
        });
}

// ---------------------------------------------------------- other records

// The records of one kind that only one side has: the others pair off by
// their bytes. In file order.
struct TUnmatched {
    std::vector<const TRecord*> Removed, Added;
};

// Sorting keys kept side by side: the first bytes of a record, then the rest.
struct TSortKey {
    std::array<char, 32> Prefix{};
    const TRecord* Record;

    explicit TSortKey(const TRecord* record) : Record(record)
    {
        const std::string_view bytes = record->Bytes();
        if (!bytes.empty()) std::memcpy(Prefix.data(), bytes.data(), std::min(bytes.size(), Prefix.size()));
    }
    int Compare(const TSortKey& other) const
    {
        const int prefix = std::memcmp(Prefix.data(), other.Prefix.data(), Prefix.size());
        return prefix != 0 ? prefix : Record->Bytes().compare(other.Record->Bytes());
    }
};

TUnmatched Unmatched(const std::vector<const TRecord*>& older, const std::vector<const TRecord*>& newer)
{
    // Records in the same place at either end pair off without sorting.
    std::size_t first = 0, lastA = older.size(), lastB = newer.size();
    while (first < lastA && first < lastB && SameRecord(*older[first], *newer[first])) ++first;
    while (lastA > first && lastB > first && SameRecord(*older[lastA - 1], *newer[lastB - 1])) --lastA, --lastB;
    const auto sorted = [first](const std::vector<const TRecord*>& records, std::size_t last) {
        std::vector<TSortKey> keys(records.begin() + std::ptrdiff_t(first), records.begin() + std::ptrdiff_t(last));
        std::sort(keys.begin(), keys.end(), [](const TSortKey& a, const TSortKey& b) { return a.Compare(b) < 0; });
        return keys;
    };
    TUnmatched result;
    Merge(
        sorted(older, lastA), sorted(newer, lastB), [](const TSortKey& a, const TSortKey& b) { return a.Compare(b); },
        [](const TSortKey&, const TSortKey&) {}, [&](const TSortKey& a) { result.Removed.push_back(a.Record); },
        [&](const TSortKey& b) { result.Added.push_back(b.Record); });
    // The records of a list lie in file order.
    std::sort(result.Removed.begin(), result.Removed.end());
    std::sort(result.Added.begin(), result.Added.end());
    return result;
}

QString Counts(const char* kind, const TUnmatched& unmatched)
{
    QStringList parts;
    if (!unmatched.Added.empty()) parts << QStringLiteral("%1 added").arg(unmatched.Added.size());
    if (!unmatched.Removed.empty()) parts << QStringLiteral("%1 removed").arg(unmatched.Removed.size());
    return QLatin1String(kind) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QRect AnchorOf(const TRecord& record)
{
    const auto& annotation = static_cast<const Annotate&>(*record.Object);
    return QRect(annotation.X(), annotation.Y(), 1, 1);
}

QString AnnotationText(const TRecord& record)
{
    const auto& annotation = static_cast<const Annotate&>(*record.Object);
    return Quoted(annotation.Text().AsText()) + QStringLiteral(" at ") + Point(annotation.X(), annotation.Y());
}

}  // namespace

// ----------------------------------------------------------------- public

QSize TComparison::PageOf(const TDrawing& drawing)
{
    const QSize size = drawing.Page().Size;
    return size.isEmpty() ? QSize(defaultPageWidth, defaultPageHeight) : size;
}

QString TComparison::PageName(const TDrawing& drawing)
{
    const QSize size = drawing.Page().Size;
    if (size.isEmpty()) return QStringLiteral("none");
    const QStringList& names = PageSizeNames();
    for (auto it = drawing.Objects().rbegin(); it != drawing.Objects().rend(); ++it) {
        if (const auto* header = dynamic_cast<const Header*>(it->get())) {
            const int index = header->GetPageIndex();
            if (index >= 0 && index < names.size() && GetPageSize(index) == size) return names[index];
            break;
        }
    }
    for (int index = 0; index < names.size(); ++index)
        if (GetPageSize(index) == size) return names[index];
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

bool TComparison::SameInOrder(const TDrawing& older, const TDrawing& newer)
{
    if (&older == &newer) return true;
    const auto& a = older.Objects();
    const auto& b = newer.Objects();
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!a[i] || !b[i]) {
            if (a[i] || b[i]) return false;
            continue;
        }
        if (!SameRecord(RecordOf(*a[i]), RecordOf(*b[i]))) return false;
    }
    return true;
}

QStringList TComparison::Differences(const TDrawing& older, const TDrawing& newer)
{
    return Changes(older, newer).first;
}

std::pair<QStringList, std::vector<QRect>> TComparison::Changes(const TDrawing& older, const TDrawing& newer)
{
    TReport report;
    if (&older == &newer) return {};
    const std::vector<TRecord> a = RecordsOf(older), b = RecordsOf(newer);
    CompareComponentLists(a, PageOf(older), b, PageOf(newer), report);
    CompareNets(older, newer, report);

    const QString oldPage = PageName(older), newPage = PageName(newer);
    const auto byKind = [](const std::vector<TRecord>& records) {
        std::array<std::vector<const TRecord*>, recordKinds> kinds;
        for (const TRecord& r : records)
            if (int(r.Kind) < recordKinds) kinds[std::size_t(r.Kind)].push_back(&r);
        return kinds;
    };
    const auto kindsA = byKind(a), kindsB = byKind(b);
    for (int kind = 0; kind < recordKinds; ++kind) {
        const auto& ofKindA = kindsA[std::size_t(kind)];
        const auto& ofKindB = kindsB[std::size_t(kind)];
        const TUnmatched unmatched = Unmatched(ofKindA, ofKindB);
        if (unmatched.Added.empty() && unmatched.Removed.empty()) continue;
        if (TKind(kind) == TKind::Header && oldPage != newPage) continue;  // the page line tells
        if (TKind(kind) == TKind::Annotation) {
            for (const TRecord* r : unmatched.Added)
                report.Add(QStringLiteral("annotations: added ") + AnnotationText(*r), AnchorOf(*r));
            for (const TRecord* r : unmatched.Removed)
                report.Add(QStringLiteral("annotations: removed ") + AnnotationText(*r), AnchorOf(*r));
            continue;
        }
        report.Add(Counts(kindNames[kind], unmatched));
    }
    if (oldPage != newPage) report.Add(QStringLiteral("page: ") + oldPage + QStringLiteral(" -> ") + newPage);
    return {report.Lines, report.Places};
}

namespace {
// Draws a drawing on its page as it is, but with a white page background,
// and restores the background afterwards.
void PaintOnWhite(TDrawing& drawing, TSurface& surface, const TObjectSettings& settings)
{
    const TColor background = drawing.Page().Background;
    drawing.Page().Background = clWhite;
    try {
        drawing.Paint(surface, settings);
    } catch (...) {
        drawing.Page().Background = background;
        throw;
    }
    drawing.Page().Background = background;
}

// Sets `bit` in every picture pixel whose surface pixel has ink.
void MarkInk(const TSurface& surface, QImage& picture, uchar bit)
{
    const QImage& image = surface.Image();
    const int width = std::min(image.width(), picture.width());
    const int height = std::min(image.height(), picture.height());
    for (int y = 0; y < height; ++y) {
        const QRgb* __restrict in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* __restrict out = picture.scanLine(y);
        for (int x = 0; x < width; ++x) out[x] |= uchar(-int((in[x] & 0xFFFFFFu) != 0xFFFFFFu)) & bit;
    }
}
}  // namespace

QImage TComparison::MakePicture(TDrawing& older, TDrawing& newer, const TObjectSettings& settings, bool sameObjects)
{
    const QSize a = PageOf(older), b = PageOf(newer);
    const QSize size(std::max(a.width(), b.width()), std::max(a.height(), b.height()));
    QImage picture(size, QImage::Format_Indexed8);
    if (picture.isNull()) return picture;
    picture.setColorTable({noInkColour, oldInkColour, newInkColour, bothInkColour});
    picture.fill(uint(inkNone));

    TSurface surface(size.width(), size.height());
    PaintOnWhite(older, surface, settings);
    MarkInk(surface, picture, sameObjects && a == b ? uchar(inkBoth) : uchar(inkOld));
    if (sameObjects && a == b) return picture;
    surface.Clear(clWhite);
    PaintOnWhite(newer, surface, settings);
    MarkInk(surface, picture, inkNew);
    return picture;
}

TComparison::TComparison(TDrawing& older, TDrawing& newer, const TObjectSettings& settings)
{
    std::tie(report_, places_) = Changes(older, newer);
    picture_ = MakePicture(older, newer, settings, report_.isEmpty() && SameInOrder(older, newer));
}
