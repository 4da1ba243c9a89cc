#pragma once
// The drawing as a circuit: which pin ends, wires and junctions are joined,
// read from the geometry of a loaded drawing alone, apart from any window.
//
// Connection points are the outer end of every pin that is not hidden (its
// edge point moved outward by the pin length, where the pin's line ends),
// both ends of every line record whatever its line type, and the point of
// every junction dot. A point connects to every wire it lies on, at an end
// or inside, and to every other point at the same page pixel. Wires that only
// cross do not connect; a junction dot on the crossing joins them. Only exact
// pixels count: an end one pixel beside a wire or a point is a near miss, not
// a connection. A point lies on a slanted wire when it is one of the pixels
// the wire is drawn on (no more than half a pixel from its line, between its
// ends).
//
// Net labels are annotations whose text is a single word (no blanks) and
// whose anchor lies on a wire or on a pin end; all nets that carry the same
// label text are one net. A hidden pin of electrical type Pwr joins the net
// its pin name (as shown) names. A crossed marker whose point is a pin end
// marks that pin as meant to be left unconnected.
//
// Components: the designation, without a part letter, is the reference of
// the part; the records of one designation with different part numbers are
// units of one part. A record's pins are those of its own part (pinPart
// equal to its part number) and those whose part number no record of its
// designation shows; copies of such a shared pin on several units are one
// pin. Pins of other parts that a record draws belong to those parts' own
// records and are not connection points of this one. A pin is named by its
// pin number.
//
// Nets are named by their label (the first in natural order when they carry
// several), else by their first pin in designation order, "Net-(R1-Pad2)";
// a pin that connects nothing is a net of its own, "unconnected-(R1-Pad1)",
// and a net of wires alone is named after the first end of its first wire,
// "Net-(120,340)".
//
// Building sorts the points by place, sweeps each row and column against
// the wires along it and looks for slanted wires in a grid of the page, so
// its time grows with the number of objects, not with their pairs.

#include <QPoint>
#include <QSize>
#include <QString>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class Annotate;
class Bitmap;
class LineData;
class TDrawing;

struct TNetPin {
    const Bitmap* Component = nullptr;  // the record the pin is drawn on
    QString Designation;                // the part's reference: the designation without a part letter
    QString PinNumber;
    QString PinName;  // as shown (marked characters give a leading "/" or a swapped name)
    QPoint End;       // the page point where the pin's line ends
    bool Hidden = false;
    // Its place in its component's pin list.
    int Index = 0;
    int ElectricalType = 0;  // its name: TConnectivity::TypeName

    // "R1 pin 2".
    QString Text() const;
};

// The lists of a net are views into the connectivity, which holds the
// lists of every net one after another; they live as long as it does.
struct TNet {
    QString Name;
    // Pin ends joined, by designation (natural order), then pin number; a
    // pin drawn on several units appears once per unit.
    std::span<const TNetPin> Pins;
    // In file order.
    std::span<const LineData* const> Wires;
    // Its connection points (pin ends, wire ends, junction points), each
    // once, by row then column.
    std::span<const QPoint> Points;
    // The labels naming it, in file order.
    std::span<const Annotate* const> Labels;
    // One pin that touches nothing: no wire, no label, no other point.
    bool Unconnected = false;
    // Named by a label or by a hidden power pin.
    bool Named = false;
};

// An end that comes within 3 pixels of a wire or of another point but does
// not touch it. Distances are the larger of the steps across and down.
struct TNearMiss {
    QPoint At;                       // the end that misses
    std::optional<TNetPin> Pin;      // the pin whose end it is; none for a wire end
    QPoint Near;                     // the nearest point of what it misses
    bool NearWire = false;           // it misses a wire (else a point)
    std::optional<TNetPin> NearPin;  // the pin whose end it misses
    bool NearJunction = false;       // it misses a junction point (else, with no pin, a wire end)
    int Distance = 0;                // 1 to 3
};

// A net label anchored beside a wire, within 3 pixels, but on nothing.
struct TLabelOffWire {
    const Annotate* Label = nullptr;
    QPoint Near;  // the nearest point of the wire
    int Distance = 0;
};

class TConnectivity {
public:
    // How far an end may be from a wire or a point to count as a near miss.
    static constexpr int nearMissPixels = 3;

    explicit TConnectivity(const TDrawing& drawing);
    ~TConnectivity();
    TConnectivity(const TConnectivity&) = delete;
    TConnectivity& operator=(const TConnectivity&) = delete;

    // Named nets by name in natural order, then the nets that join
    // something, then the pins alone, each by their first pin (so by name),
    // then the nets of wires alone in file order.
    const std::vector<TNet>& Nets() const { return nets_; }
    // The net of a point on a wire (a pixel it is drawn on), at a pin end, a
    // wire end or a junction point; none elsewhere.
    std::optional<std::size_t> NetAt(QPoint pagePoint) const;
    // Where a wire end or a pin end meets the inside of another wire: the
    // points that need a junction dot in a format that joins wires only at
    // their ends and at dots. By row then column.
    std::vector<QPoint> Joins() const { return joins_; }
    // Pins whose end carries a crossed marker, by designation then number,
    // each where it is in its net's Pins.
    const std::vector<const TNetPin*>& NoConnects() const { return noConnects_; }
    // Connection points that connect nothing: pin ends that touch nothing
    // (marked or not), wire ends that touch nothing but their own wire and
    // carry no label, junction points on no wire and no other point. By row
    // then column.
    std::vector<QPoint> LoosePoints() const { return loosePoints_; }
    // Pins whose end touches nothing and carries no crossed marker, each
    // where it is in its net's Pins.
    const std::vector<const TNetPin*>& LoosePins() const { return loosePins_; }
    // Wire ends that touch nothing but their own wire and carry no label.
    const std::vector<QPoint>& DanglingEnds() const { return danglingEnds_; }
    // By place, row then column. Looked for on the first call (the nets
    // need none of it); not to be called on two threads at once.
    const std::vector<TNearMiss>& NearMisses() const;
    const std::vector<TLabelOffWire>& LabelsOffWire() const { return labelsOffWire_; }
    // Every pin of every part, in file order of their records, hidden ones
    // included: each where it is in its net's Pins.
    const std::vector<const TNetPin*>& Pins() const { return pinRefs_; }
    // The net of each pin of Pins().
    std::size_t NetOfPin(std::size_t pin) const { return pinNet_[pin]; }

    // Whether an annotation's text can name a net: one word, no blanks.
    static bool IsNetLabel(const Annotate& annotation);
    static bool IsNetLabel(const QString& text);
    // The electrical type names of the drawing: "IN" ... "Passive", the
    // number for the others.
    static QString TypeName(int electricalType);
    // Whether a page pixel is one of the pixels a wire lies on, as the nets
    // see it (NetAt).
    static bool OnWire(QPoint pagePoint, const LineData& wire);

private:
    struct TGrid;
    struct TNearState;
    void Build(const TDrawing& drawing);
    void FindNearMisses() const;

    std::vector<TNet> nets_;
    // The lists of the nets, net after net.
    std::vector<TNetPin> netPins_;
    std::vector<const LineData*> netWires_;
    std::vector<QPoint> netPoints_;
    std::vector<const Annotate*> netLabels_;
    std::vector<const TNetPin*> pinRefs_;
    std::vector<std::size_t> pinNet_;
    std::vector<QPoint> joins_;
    std::vector<const TNetPin*> noConnects_;
    std::vector<QPoint> loosePoints_;
    std::vector<const TNetPin*> loosePins_;
    std::vector<QPoint> danglingEnds_;
    mutable std::vector<TNearMiss> nearMisses_;
    // What finding the near misses needs, until they are found.
    mutable std::unique_ptr<TNearState> nearState_;
    std::vector<TLabelOffWire> labelsOffWire_;

    // For NetAt: the wires in a grid, and the net of every wire and point.
    std::vector<const LineData*> wires_;
    std::vector<std::size_t> wireNet_;  // npos: none
    struct TPointNet {
        QPoint At;
        std::size_t Net;
    };
    std::vector<TPointNet> pointNets_;  // by row then column
    std::unique_ptr<TGrid> grid_;
};
