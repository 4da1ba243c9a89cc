#pragma once
// What changed between two drawings, the older and the newer revision of a
// sheet: a picture and a report.
//
// The picture: both drawings drawn with the same settings, each on a white
// page of the picture's size (the larger width and the larger height of their
// two pages), then every pixel classified by where it has ink (any colour but
// white): only in the older drawing red (#D00000), only in the newer green
// (#00A000), in both light grey (#B4B4B4), in neither white. It is an 8-bit
// indexed image of those four colours.
//
// The report: one line per change, components first, in natural designation
// order (then by part number). Components are matched by designation and part
// number (several of the same in file order); of a matched pair every field
// that differs gives a line:
//     changed R12: Value "10k" -> "12k"
//     changed R12: Package "0805" -> "0603"
//     changed R12: position 300,200 A2 -> 320,200 A2     (anchor and sheet zone)
//     changed R12: Angle 0 -> 90
//     changed R12: Mirrored no -> yes
//     changed U1: pin 6 "OUT" OUT R2 -> "Q" OUT R2       (name, type, side and offset, decorations)
//     changed U1: pin 8 added: "CLK" IN L4 wedge
//     changed U1: pin 7 removed: "V+" Pwr T3
//     changed U1: designation offset 70,-30 -> 70,-40    (the text from the anchor)
//     changed U1: value offset 70,50 -> 70,60
//     changed U2: parts 1 -> 2
//     changed U2: pin style 0 -> 1
//     changed U2: body 61x41 -> 71x41                    ("body" alone: same size, other picture)
//     changed U2: other record bytes                     (only bytes nothing reads differ)
// A component of several parts is named with its part ("U7:B"). Components
// without a match:
//     added U7 (74HC00, SO8) at 1200,800 C3              (value, package, anchor, zone)
//     removed C5 (100n, 0805) at 300,200 A2
// Then the nets (drawing/Connectivity.h) whose pins changed, one line each:
//     net VOUT: + R5 pin 2, - C1 pin 1                   (pins added, then removed)
//     net Net-(R1-Pad2): renamed FB                      (a label written on it)
//     net SIG: - U1 pin 3, - U2 pin 1                    (a net that is gone)
// in the older drawing's net order, then the nets that are new; nets pair by
// name where both carry one, else by the most pins in common. A pin alone on
// its net is in no net here: a pin whose wire was taken away shows as removed
// from its net, and an added component's unwired pins show nowhere.
// The other objects are compared by kind as multisets of their record bytes,
// so a moved line is one removed and one added:
//     lines: 3 added, 1 removed
//     junctions: 1 added
//     annotations: added "TEST POINT" at 400,90          (one line each, added first)
//     document boxes: 1 added, 1 removed
//     markers: 2 removed
//     headers: 1 added                                   (only when the page names agree)
//     page: A4 -> A3                                     (an unnamed size as WxH, none without one)
// Two drawings of the same objects, in whatever order, give no lines.

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class TDrawing;
struct TObjectSettings;

class TComparison {
public:
    // The picture's colours, by their index in its colour table.
    enum TInk : uchar { inkNone = 0, inkOld = 1, inkNew = 2, inkBoth = 3 };
    static constexpr QRgb noInkColour = 0xFFFFFFFFu;
    static constexpr QRgb oldInkColour = 0xFFD00000u;
    static constexpr QRgb newInkColour = 0xFF00A000u;
    static constexpr QRgb bothInkColour = 0xFFB4B4B4u;

    // Compares and draws both. The drawings are painted, so not const.
    TComparison(TDrawing& older, TDrawing& newer, const TObjectSettings& settings);

    const QStringList& Report() const { return report_; }
    // Where on the page each line's change is, by line: the body of its
    // component (of both places of a moved one), the anchor of its annotation;
    // empty for the others.
    const std::vector<QRect>& Places() const { return places_; }
    const QImage& Picture() const { return picture_; }
    // Both hold the same objects: the report is empty.
    bool Same() const { return report_.isEmpty(); }

    // The report alone, and with the places of its lines.
    static QStringList Differences(const TDrawing& older, const TDrawing& newer);
    static std::pair<QStringList, std::vector<QRect>> Changes(const TDrawing& older, const TDrawing& newer);
    // The picture alone. sameObjects: the drawings hold the same records in
    // the same order, so one of them is drawn for both.
    static QImage MakePicture(TDrawing& older, TDrawing& newer, const TObjectSettings& settings,
                              bool sameObjects = false);
    // Whether both hold the same records in the same order.
    static bool SameInOrder(const TDrawing& older, const TDrawing& newer);

    // The page a drawing is drawn on and its zones are read from: its page
    // size, or the size the page image has before any page is known.
    static QSize PageOf(const TDrawing& drawing);
    // The page size as the report names it: its name in the page size table
    // (the last header's entry where several have that size), else WxH;
    // "none" while the drawing has no page size.
    static QString PageName(const TDrawing& drawing);

private:
    QStringList report_;
    std::vector<QRect> places_;
    QImage picture_;
};
