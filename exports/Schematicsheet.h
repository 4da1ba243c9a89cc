#pragma once
// A loaded drawing as a schematic that another tool can take: the component
// bodies (each distinct one once, with its units, its ink as rectangles and
// its pins), where each component is placed, the wires cut where they are
// joined, the junctions, net labels, texts, no-connect marks and document
// boxes. The schematic writers (exports/Kicadschematic,
// exports/Leptonschematic) put it into their formats; the circuit is the one
// TConnectivity reads from the drawing.
//
// Body coordinates are pixels of the unturned body, x to the right and y
// downwards, (0, 0) being the body's origin pixel, which lands on the page at
// the component's anchor. A placed body point goes to the page by the
// component's turn (quarter turns anticlockwise) and then its flips:
//   page = anchor + flips(turn(point)).
//
// Wires are cut at every point where the drawing joins something to the
// inside of a wire (a wire end or pin end, a junction dot, a net label's
// anchor), so that every connection is made at the ends of wires: a tool
// that joins wires only at their ends, or only at dots, finds the same nets.

#include <QByteArray>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstddef>
#include <vector>

#include "app/Drawstyle.h"

class Annotate;
class Bitmap;
class TConnectivity;
class TDrawing;
struct TObjectSettings;

struct TSchematicPin {
    QByteArray Number;
    QByteArray Name;  // as recorded: a marked character keeps bit 7
    int PinPart = 1;  // the part its number belongs to
    int ElectricalType = 0;
    bool Circle = false;
    bool Wedge = false;
    bool Hidden = false;
    // The side of the unturned body it leaves from: 0 left, 1 bottom,
    // 2 right, 3 top.
    int Side = 0;
    // Its outer end, the connection point, in body coordinates.
    QPoint End;
    int Length = 31;

    // The direction from the outer end towards the body, in body
    // coordinates (y downwards).
    QPoint Inward() const;
};

struct TSchematicUnit {
    QSize Size{1, 1};  // body width and height in pixels
    // No picture: the body is drawn as the outline of its size.
    bool Outline = true;
    // The ink of the picture: runs of ink pixels of a row, merged with the
    // same run of the rows below; each rectangle covers whole pixels.
    std::vector<QRect> Ink;
    std::vector<TSchematicPin> Pins;
};

struct TSchematicBody {
    // A name for it, unique in the sheet: the package text all its
    // components show, else the letters their first designation starts
    // with, else "Part", reduced to letters, digits and "-_.+", with "_2",
    // "_3" ... after it when another body has the name.
    QString Name;
    // Unit 1 first; a component of several parts has a unit per part.
    std::vector<TSchematicUnit> Units;
    bool PinNames = true;  // pin style below 5
};

struct TSchematicSymbol {
    const Bitmap* Component = nullptr;
    std::size_t Body = 0;
    int Unit = 1;
    QString Reference;  // the designation, without a part letter
    QPoint Anchor;
    int Rotation = 0;  // quarter turns anticlockwise
    bool HFlip = false;
    bool VFlip = false;

    // The page point of a body point.
    QPoint Place(QPoint body) const;
};

struct TSchematicText {
    QPoint At;  // the text's bottom-left corner (annotations) or top-left (document boxes)
    QString Text;
    TFont Font;
};

struct TSchematicLabel {
    QPoint At;  // the annotation's anchor, on a wire or a pin end
    QString Text;
    TFont Font;
    std::size_t Net = 0;
    // The wire (an index into Wires) the anchor lies on; none (-1) for a
    // label on a pin end alone.
    std::ptrdiff_t Wire = -1;
};

struct TSchematicBox {
    QRect Box;             // from the record's first to its second point, both inside
    TSchematicText Lines;  // every line of the box, "\n" between them
};

struct TSchematicNetPin {
    const Bitmap* Component = nullptr;
    QString Number;
    bool Hidden = false;
};

struct TSchematicNet {
    QString Name;
    // The first wire of the net (an index into Wires), if it has one.
    std::ptrdiff_t FirstWire = -1;
    std::vector<TSchematicNetPin> Pins;
};

class TSchematicSheet {
public:
    TSchematicSheet(const TDrawing& drawing, const TConnectivity& connectivity, const TObjectSettings& settings,
                    QSize page);

    QSize Page() const { return page_; }
    const std::vector<TSchematicBody>& Bodies() const { return bodies_; }
    const std::vector<TSchematicSymbol>& Symbols() const { return symbols_; }
    const std::vector<QLine>& Wires() const { return wires_; }
    // The net of each wire.
    const std::vector<std::size_t>& WireNets() const { return wireNets_; }
    const std::vector<TSchematicNet>& Nets() const { return nets_; }
    // Junction dots of the drawing and the points where a wire end or a pin
    // end meets the inside of a wire, each once, by row then column.
    const std::vector<QPoint>& Junctions() const { return junctions_; }
    const std::vector<TSchematicLabel>& Labels() const { return labels_; }
    // The other annotations.
    const std::vector<TSchematicText>& Texts() const { return texts_; }
    // Pin ends that carry a crossed marker.
    const std::vector<QPoint>& NoConnects() const { return noConnects_; }
    // Crossed markers elsewhere: drawn as their cross, 4 pixels each way.
    const std::vector<QPoint>& Crosses() const { return crosses_; }
    const std::vector<TSchematicBox>& Boxes() const { return boxes_; }

    // Fonts the component texts are written in.
    TFont DesignationFont, ValueFont, PinNumberFont, PinNameFont;

    // A font's text size as another tool sizes text: the height of its
    // capitals, taken as 0.7 of the character height, in whole pixels (at
    // least 1).
    static int TextSize(const TFont& font);

private:
    void AddComponents(const TDrawing& drawing);
    void AddWires(const TDrawing& drawing, const TConnectivity& connectivity);
    void AddMarks(const TDrawing& drawing, const TConnectivity& connectivity, const TObjectSettings& settings);

    QSize page_;
    std::vector<TSchematicBody> bodies_;
    std::vector<TSchematicSymbol> symbols_;
    std::vector<QLine> wires_;
    std::vector<std::size_t> wireNets_;
    std::vector<TSchematicNet> nets_;
    std::vector<QPoint> junctions_;
    std::vector<TSchematicLabel> labels_;
    std::vector<TSchematicText> texts_;
    std::vector<QPoint> noConnects_;
    std::vector<QPoint> crosses_;
    std::vector<TSchematicBox> boxes_;
};
